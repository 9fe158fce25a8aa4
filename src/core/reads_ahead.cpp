#include "core/reads_ahead.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/site_caches.h"
#include "platform/db/kept_reads.h"
#include "platform/db/provider.h"
#include "platform/text/vb_text.h"

namespace folirex {

namespace {

// The arms of one statement of lists at the most.
constexpr size_t kListsReadTogether = 16;

// Whether every value is a whole number, which a select over rows of values can take as one.
bool WholeNumbers(const std::vector<Variant>& values) {
  return std::all_of(values.begin(), values.end(),
                     [](const Variant& v) { return v.type() == Variant::Type::kInteger; });
}

// The lists of `arms` as the arms of one statement: each list's rows as its select alone gives
// them, each row with its list's number and its place in the list's own order. The rows are put
// in order here (SplitArms), not by the server, whose sort of every row cost more than the read
// of a short list. Lists of one select that differ only in the whole numbers they bind (the
// newest articles of each channel on the home page) are one arm, run for each row of a list of
// their values: the server starts that arm once, where it started every arm of a union, which
// cost it more than the reads. (Through the union a yes/no column comes back as its stored
// number, -1 or 0, which the lists test as yes or no all the same.)
BoundSql ListsStatement(const std::vector<const BoundSql*>& arms) {
  BoundSql statement;
  std::string& sql = statement.sql;
  std::vector<bool> placed(arms.size(), false);
  for (size_t i = 0; i < arms.size(); ++i) {
    if (placed[i]) continue;
    const BoundSql& arm = *arms[i];
    std::vector<size_t> alike = {i};
    if (!arm.params.empty() && WholeNumbers(arm.params)) {
      for (size_t j = i + 1; j < arms.size(); ++j) {
        if (!placed[j] && arms[j]->sql == arm.sql && WholeNumbers(arms[j]->params)) {
          alike.push_back(j);
        }
      }
    }
    if (!sql.empty()) sql += " union all ";
    const std::string name = "x" + std::to_string(i);
    if (alike.size() == 1) {
      placed[i] = true;
      sql += "select " + std::to_string(i) +
             " as folirex_arm, row_number() over () as folirex_row, " + name + ".* from (" +
             arm.sql + ") " + name;
      statement.params.insert(statement.params.end(), arm.params.begin(), arm.params.end());
      continue;
    }
    sql += "select folirex_v.folirex_arm, " + name + ".* from (values ";
    for (size_t k = 0; k < alike.size(); ++k) {
      placed[alike[k]] = true;
      sql += (k == 0 ? "(" : ", (") + std::to_string(alike[k]);
      for (size_t p = 0; p < arm.params.size(); ++p) sql += ", cast(? as bigint)";
      sql += ")";
      const std::vector<Variant>& values = arms[alike[k]]->params;
      statement.params.insert(statement.params.end(), values.begin(), values.end());
    }
    sql += ") folirex_v(folirex_arm";
    for (size_t p = 0; p < arm.params.size(); ++p) sql += ", folirex_p" + std::to_string(p);
    sql += ") cross join lateral (select row_number() over () as folirex_row, y.* from (" +
           ReplacePlaceholders(arm.sql,
                               [](size_t p) { return "folirex_v.folirex_p" + std::to_string(p); }) +
           ") y) " + name;
  }
  return statement;
}

// The rows of each arm of a ListsStatement's answer in the arm's order, with the lists' own
// column names.
std::vector<std::shared_ptr<db::KeptRows>> SplitArms(const db::KeptRows& answer, size_t arms) {
  std::vector<std::vector<std::pair<int64_t, const std::vector<Variant>*>>> numbered(arms);
  for (const std::vector<Variant>& row : answer.rows) {
    const int64_t arm = row.size() < 2 ? -1 : row[0].ToInt64Or(-1);
    if (arm < 0 || arm >= static_cast<int64_t>(arms)) continue;
    numbered[static_cast<size_t>(arm)].emplace_back(row[1].ToInt64Or(0), &row);
  }
  std::vector<std::shared_ptr<db::KeptRows>> lists(arms);
  for (size_t arm = 0; arm < arms; ++arm) {
    auto list = std::make_shared<db::KeptRows>();
    if (answer.names.size() > 2) list->names.assign(answer.names.begin() + 2, answer.names.end());
    std::vector<std::pair<int64_t, const std::vector<Variant>*>>& rows = numbered[arm];
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    list->rows.reserve(rows.size());
    for (const auto& [number, row] : rows) list->rows.emplace_back(row->begin() + 2, row->end());
    lists[arm] = std::move(list);
  }
  return lists;
}

// What a read is kept under until it is drawn: a window by its place too.
std::string ReadKey(const std::string& sql, const std::vector<Variant>& params, int64_t offset,
                    int64_t count) {
  std::string key = db::StatementKey(sql, params);
  if (count > 0) key += '\x1f' + std::to_string(offset) + ',' + std::to_string(count);
  return key;
}

}  // namespace

bool ReadsAhead(const DatabaseState& db) {
  return db.Conn != nullptr && db.Conn->IsOpen() && db.Conn->engine() == SqlEngine::kPostgres;
}

ReadFlight FlightOf(const RequestCaches& caches, const PageReads& reads) {
  ReadFlight flight;
  std::vector<std::string> taken;
  // A read once: the same select twice, or one read ahead already and not drawn yet, is read once.
  const auto fresh = [&](const BoundSql& read, int64_t offset = 0, int64_t count = 0) {
    std::string key = ReadKey(read.sql, read.params, offset, count);
    if (caches.ReadAhead.count(key) != 0 ||
        std::find(taken.begin(), taken.end(), key) != taken.end()) {
      return false;
    }
    taken.push_back(std::move(key));
    return true;
  };
  std::vector<const BoundSql*> lists;
  for (const BoundSql& list : reads.lists) {
    if (!fresh(list)) continue;
    lists.push_back(&list);
    flight.list_keys.push_back(taken.back());
  }
  for (size_t start = 0; start < lists.size(); start += kListsReadTogether) {
    const size_t end = std::min(lists.size(), start + kListsReadTogether);
    if (end - start == 1) {
      flight.statements.push_back({*lists[start]});
      flight.answers.push_back({0, 0, flight.list_keys[start]});
      continue;
    }
    flight.statements.push_back({ListsStatement({lists.begin() + start, lists.begin() + end})});
    flight.answers.push_back({start, end - start, {}});
  }
  for (const BoundSql& other : reads.others) {
    if (!fresh(other)) continue;
    flight.statements.push_back({other});
    flight.answers.push_back({0, 0, taken.back()});
  }
  for (const Connection::TogetherRead& page : reads.pages) {
    if (!fresh(page.select, page.offset, page.count)) continue;
    flight.statements.push_back(page);
    flight.answers.push_back({0, 0, taken.back()});
  }
  return flight;
}

void KeepFlight(RequestCaches& caches, const ReadFlight& flight,
                const std::vector<std::shared_ptr<const db::KeptRows>>& rows, size_t first) {
  for (size_t i = 0; i < flight.answers.size() && first + i < rows.size(); ++i) {
    const std::shared_ptr<const db::KeptRows>& answer = rows[first + i];
    if (answer == nullptr) continue;  // each is read where it is drawn
    const ReadFlight::Answer& what = flight.answers[i];
    if (what.count == 0) {
      caches.ReadAhead[what.key] = answer;
      continue;
    }
    std::vector<std::shared_ptr<db::KeptRows>> arms = SplitArms(*answer, what.count);
    for (size_t arm = 0; arm < arms.size(); ++arm) {
      caches.ReadAhead[flight.list_keys[what.first + arm]] = std::move(arms[arm]);
    }
  }
}

namespace {

// How many reads `reads` holds.
size_t ReadsIn(const PageReads& reads) {
  return reads.lists.size() + reads.others.size() + reads.pages.size();
}

// Whether `read` binds a value its connection plans its statements for (PlannedForValues): read
// ahead with the channels, before that is set, it would run the general plan.
bool PlannedForItsValues(Connection& conn, const BoundSql& read) {
  if (!conn.IsOpen()) return false;
  const std::vector<std::string>& planned = conn.session().planned_values();
  return std::any_of(read.params.begin(), read.params.end(), [&planned](const Variant& value) {
    return value.type() == Variant::Type::kText &&
           std::find(planned.begin(), planned.end(), value.ToString()) != planned.end();
  });
}

}  // namespace

void ReadAhead(RequestState& state, PageReads reads) {
  if (!ReadsAhead(state.db)) return;
  RequestCaches& caches = state.caches;
  const ReadFlight flight = FlightOf(caches, reads);
  // A read alone gains nothing by going ahead of its drawing.
  if (flight.statements.size() >= 2 ||
      (!flight.answers.empty() && flight.answers.front().count > 0)) {
    KeepFlight(caches, flight, state.db.Conn->ReadTogether(flight.statements), 0);
  }
  if (caches.PageReadsKey.empty()) return;
  if (!flight.statements.empty()) caches.ReadsUnforetold = true;
  // What is planned for its values is read where it is drawn, every time.
  Connection& conn = *state.db.Conn;
  const auto planned = [&conn](const BoundSql& read) { return PlannedForItsValues(conn, read); };
  std::erase_if(reads.lists, planned);
  std::erase_if(reads.others, planned);
  std::erase_if(reads.pages,
                [&planned](const Connection::TogetherRead& read) { return planned(read.select); });
  if (caches.ReadsMade == nullptr) {
    caches.ReadsMade = std::make_shared<PageReads>(std::move(reads));
    return;
  }
  const auto append = [](auto& to, auto& from) {
    to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
  };
  append(caches.ReadsMade->lists, reads.lists);
  append(caches.ReadsMade->others, reads.others);
  append(caches.ReadsMade->pages, reads.pages);
}

std::string PageReadsKey(const PublicRequest& request, int32_t page) {
  static const char* const kKeptPages[] = {"",        "content", "classlist",     "subjectlist",
                                           "newlist", "hotlist", "recommendlist", "search"};
  const std::string& m = request.m;
  if (std::find(std::begin(kKeptPages), std::end(kKeptPages), m) == std::end(kKeptPages)) {
    return "";
  }
  const auto id = [](const std::optional<int64_t>& value) {
    return value ? std::to_string(*value) : std::string("-");
  };
  std::string key = m + ' ' + id(request.channel_id) + ' ' + id(request.class_id) + ' ' +
                    id(request.subject_id) + ' ' + id(request.article_id) + ' ' +
                    std::to_string(page);
  if (m == "search") {
    // The keyword goes last, whole: it may hold spaces.
    key += ' ' + request.search_type + ' ' + id(request.search_class) + ' ' +
           id(request.search_order) + ' ' + request.search_keyword;
  }
  return key;
}

std::string PageReadsKey(const ConsoleRequest& request, int32_t page) {
  // A posted list may carry an action on the articles.
  const std::string& action = request.action;
  if (request.m != "admin_article" || (!action.empty() && action != "recycle") || request.posted ||
      !request.channel_id) {
    return "";
  }
  // The title searched for goes last, whole: it may hold spaces.
  return "console " + request.m + ' ' + action + ' ' + std::to_string(*request.channel_id) + ' ' +
         LCase(Trim(request.values.Text("qcheckstate"))) + ' ' + std::to_string(page) + ' ' +
         request.values.Text("qtitle");
}

void ForetellReads(RequestCaches& caches, KeptPageReads* kept, std::string key) {
  if (kept == nullptr || key.empty()) return;
  caches.ForetoldReads = kept->Find(key);
  if (caches.ForetoldReads != nullptr) caches.ForetoldCount = ReadsIn(*caches.ForetoldReads);
  caches.PageReadsKey = std::move(key);
}

void KeepPageReads(RequestCaches& caches, KeptPageReads* kept) {
  if (kept == nullptr || caches.PageReadsKey.empty() || caches.ReadsMade == nullptr) return;
  const PageReads& made = *caches.ReadsMade;
  // All read with the channels, and nothing read there in vain: the kept reads stand.
  if (!caches.ReadsUnforetold && caches.ForetoldCount == ReadsIn(made)) return;
  size_t charge = caches.PageReadsKey.size() + sizeof(PageReads);
  const auto add = [&](const BoundSql& read) {
    charge += sizeof(BoundSql) + read.sql.size() + read.params.size() * sizeof(Variant);
    for (const Variant& value : read.params) {
      if (value.type() == Variant::Type::kText) charge += value.ToString().size();
    }
  };
  for (const BoundSql& read : made.lists) add(read);
  for (const BoundSql& read : made.others) add(read);
  for (const Connection::TogetherRead& read : made.pages) add(read.select);
  kept->Keep(caches.PageReadsKey, std::move(caches.ReadsMade), charge);
  caches.ReadsMade.reset();
}

void KeepReadAhead(RequestCaches& caches, const BoundSql& read,
                   std::shared_ptr<const db::KeptRows> rows) {
  caches.ReadAhead[ReadKey(read.sql, read.params, 0, 0)] = std::move(rows);
}

std::shared_ptr<const db::KeptRows> TakeReadAhead(RequestCaches& caches, const std::string& sql,
                                                  const std::vector<Variant>& params,
                                                  int64_t offset, int64_t count) {
  if (caches.ReadAhead.empty()) return nullptr;
  auto found = caches.ReadAhead.find(ReadKey(sql, params, offset, count));
  if (found == caches.ReadAhead.end()) return nullptr;
  std::shared_ptr<const db::KeptRows> rows = std::move(found->second);
  caches.ReadAhead.erase(found);
  return rows;
}

void OpenReadAhead(RequestCaches& caches, Connection& conn, Recordset& rs, const std::string& sql,
                   const std::vector<Variant>& params) {
  std::shared_ptr<const db::KeptRows> rows = TakeReadAhead(caches, sql, params);
  if (rows == nullptr) {
    rs.Open(sql, params, conn, 0, 1);
    return;
  }
  rs.Open(std::move(rows), conn);
}

void OpenReadAhead(RequestState& state, Recordset& rs, const std::string& sql,
                   const std::vector<Variant>& params) {
  OpenReadAhead(state.caches, *state.db.Conn, rs, sql, params);
}

}  // namespace folirex
