#include "platform/db/statement_audit.h"

#include <algorithm>
#include <atomic>

#include "platform/text/vb_text.h"

namespace folirex::db {

namespace {
std::atomic<StatementAudit*> g_audit{nullptr};

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& n : names) text += (text.empty() ? "" : ", ") + n;
  return text.empty() ? "none" : text;
}
}  // namespace

StatementAudit* SetStatementAudit(StatementAudit* audit) {
  return g_audit.exchange(audit, std::memory_order_acq_rel);
}

StatementAudit* InstalledStatementAudit() { return g_audit.load(std::memory_order_acquire); }

std::string KeptReadMismatch(const KeptRead& read, const StatementTouches& touches) {
  std::vector<std::string> declared;
  for (std::string_view table : read.tables) {
    const bool seen = std::any_of(declared.begin(), declared.end(), [table](const std::string& d) {
      return EqualsIgnoreCase(d, table);
    });
    if (!seen) declared.emplace_back(table);
  }
  bool same = declared.size() == touches.reads.size();
  for (const std::string& table : declared) same = same && touches.Reads(table);
  if (same) return "";
  return "the read names " + Joined(declared) + " but reads " + Joined(touches.reads);
}

}  // namespace folirex::db
