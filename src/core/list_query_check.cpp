#include "core/list_query_check.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "core/article_change_log.h"
#include "platform/db/provider.h"
#include "platform/text/vb_text.h"

namespace folirex {

namespace {

// The functions through which a condition reads the clock: SQLite's date and time functions,
// which "now" and datediff are translated to.
bool ReadsClock(const db::StatementTouches& touches) {
  static constexpr std::string_view kClock[] = {
      "date",      "time",         "datetime",          "julianday",    "strftime",
      "unixepoch", "current_date", "current_timestamp", "current_time",
  };
  return std::any_of(touches.functions.begin(), touches.functions.end(), [](const std::string& f) {
    return std::find(std::begin(kClock), std::end(kClock), f) != std::end(kClock);
  });
}

// Whether a condition tests the text itself: a like, or folirex_holds for a keyword without
// letter case or wildcards.
bool Likes(const db::StatementTouches& touches) {
  return std::any_of(touches.functions.begin(), touches.functions.end(), [](const std::string& f) {
    return f == "like" || f == "glob" || f == "folirex_holds";
  });
}

const char* NameOf(ConditionKind kind) {
  switch (kind) {
    case ConditionKind::kLogged:
      return "logged";
    case ConditionKind::kNarrowing:
      return "narrowing";
    case ConditionKind::kUnlogged:
      return "unlogged";
    case ConditionKind::kTimed:
      return "timed";
  }
  return "?";
}

}  // namespace

std::vector<std::string> ConditionKindProblems(Connection& conn, const ListQuery& list) {
  std::vector<std::string> problems;
  const bool articles = EqualsIgnoreCase(list.table, "Vantrel_Article");
  bool narrowed = false;
  bool liked = false;
  for (const ListCondition& c : list.conditions) {
    const std::optional<db::StatementTouches> touches =
        conn.session().Describe("select 1 from " + list.table + " where " + c.sql);
    if (!touches) return {};
    auto problem = [&](const std::string& what) {
      problems.push_back(list.table + ", " + NameOf(c.kind) + " \"" + c.sql + "\": " + what);
    };
    if (touches->parameters != static_cast<int>(c.values.size())) {
      problem("holds " + std::to_string(touches->parameters) + " \"?\" for " +
              std::to_string(c.values.size()) + " values");
    }
    bool other_table = false;
    bool unlogged_column = false;
    for (const db::TableColumn& read : touches->columns) {
      if (!EqualsIgnoreCase(read.table, list.table)) {
        other_table = true;
      } else if (articles && !read.column.empty() && !IsLoggedColumn(LCase(read.column))) {
        unlogged_column = true;
      }
    }
    const bool clock = ReadsClock(*touches);
    switch (c.kind) {
      case ConditionKind::kLogged:
        if (other_table) problem("reads another table");
        if (unlogged_column) problem("reads a column the change log does not hold");
        if (clock) problem("reads the clock");
        break;
      case ConditionKind::kUnlogged:
        if (articles && !other_table && !unlogged_column) {
          problem("reads only columns the change log holds");
        }
        if (clock) problem("reads the clock");
        break;
      case ConditionKind::kTimed:
        if (!clock) problem("reads no clock");
        break;
      case ConditionKind::kNarrowing:
        narrowed = true;
        if (!other_table) problem("reads no index beside the list's table");
        if (clock) problem("reads the clock");
        break;
    }
    if (c.kind != ConditionKind::kNarrowing && Likes(*touches)) liked = true;
  }
  if (narrowed && !liked) problems.push_back(list.table + ": a narrowing without a like beside it");
  return problems;
}

}  // namespace folirex
