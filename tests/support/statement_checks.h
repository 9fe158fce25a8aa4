// The statement audit every test runs under (platform/db/statement_audit.h), installed by the
// tests' main: a kept read that names other tables than SQLite says it reads, a write whose kept
// tables the engines would decide apart, an updatable select whose table they would read apart,
// each fails the test that is running, from whichever thread met it (the site's workers too).
// It counts what it checked, and keeps the lists of articles the pages make (core/list_query.h)
// while asked to, for the test that holds each against its declared kinds.
//
// Thread-safe; one for the process.
#ifndef FOLIREX_TESTS_SUPPORT_STATEMENT_CHECKS_H_
#define FOLIREX_TESTS_SUPPORT_STATEMENT_CHECKS_H_

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/list_query.h"
#include "platform/db/statement_audit.h"

namespace folirex::testing {

class StatementChecks : public db::StatementAudit, public ListQueryObserver {
 public:
  // Installs the checks (as the audit and the list observer) the first time.
  static StatementChecks& Install();

  void Checked(db::AuditCheck check, std::string_view sql) override;
  void Disagrees(db::AuditCheck check, std::string_view sql, const std::string& what) override;
  void Made(const ListQuery& list) override;

  // Checks of one kind made so far.
  int64_t checked(db::AuditCheck check) const;
  // Keeps each list made from now on (one per key), until TakeLists answers them and stops.
  void KeepLists();
  std::vector<ListQuery> TakeLists();

 private:
  StatementChecks() = default;
  std::array<std::atomic<int64_t>, 3> checked_{};
  std::atomic<bool> keeping_{false};
  std::mutex mu_;
  std::map<std::string, ListQuery> lists_;
};

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_SUPPORT_STATEMENT_CHECKS_H_
