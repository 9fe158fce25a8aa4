#include "support/statement_checks.h"

#include <gtest/gtest.h>

namespace folirex::testing {

namespace {
const char* NameOf(db::AuditCheck check) {
  switch (check) {
    case db::AuditCheck::kKeptRead:
      return "kept read";
    case db::AuditCheck::kWrite:
      return "write";
    case db::AuditCheck::kRowTable:
      return "updatable select";
  }
  return "statement";
}
}  // namespace

StatementChecks& StatementChecks::Install() {
  static StatementChecks* checks = [] {
    auto* c = new StatementChecks();
    db::SetStatementAudit(c);
    SetListQueryObserver(c);
    return c;
  }();
  return *checks;
}

void StatementChecks::Checked(db::AuditCheck check, std::string_view) {
  checked_[static_cast<size_t>(check)].fetch_add(1, std::memory_order_relaxed);
}

void StatementChecks::Disagrees(db::AuditCheck check, std::string_view sql,
                                const std::string& what) {
  ADD_FAILURE() << NameOf(check) << " [" << sql << "]: " << what;
}

void StatementChecks::Made(const ListQuery& list) {
  if (!keeping_.load(std::memory_order_acquire)) return;
  std::string key = list.Key();
  std::lock_guard<std::mutex> lock(mu_);
  lists_.try_emplace(std::move(key), list);
}

int64_t StatementChecks::checked(db::AuditCheck check) const {
  return checked_[static_cast<size_t>(check)].load(std::memory_order_relaxed);
}

void StatementChecks::KeepLists() { keeping_.store(true, std::memory_order_release); }

std::vector<ListQuery> StatementChecks::TakeLists() {
  keeping_.store(false, std::memory_order_release);
  std::lock_guard<std::mutex> lock(mu_);
  std::vector<ListQuery> lists;
  for (auto& [key, list] : lists_) lists.push_back(std::move(list));
  lists_.clear();
  return lists;
}

}  // namespace folirex::testing
