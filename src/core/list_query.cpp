#include "core/list_query.h"

#include <atomic>
#include <utility>

#include "platform/db/kept_reads.h"

namespace folirex {

namespace {
std::atomic<ListQueryObserver*> g_observer{nullptr};

void Show(const ListQuery& list) {
  if (ListQueryObserver* observer = g_observer.load(std::memory_order_acquire)) {
    observer->Made(list);
  }
}
}  // namespace

ListQueryObserver* SetListQueryObserver(ListQueryObserver* observer) {
  return g_observer.exchange(observer, std::memory_order_acq_rel);
}

ListQuery& ListQuery::And(ConditionKind kind, std::string sql, std::vector<Variant> values) {
  conditions.push_back(ListCondition{std::move(sql), std::move(values), kind});
  return *this;
}

ListQuery& ListQuery::And(ListCondition condition) {
  conditions.push_back(std::move(condition));
  return *this;
}

std::string ListQuery::Condition() const {
  Show(*this);
  std::string where;
  for (const ListCondition& c : conditions) {
    where += (where.empty() ? "" : " and ") + c.sql;
  }
  return where;
}

std::vector<Variant> ListQuery::Values() const {
  std::vector<Variant> values;
  for (const ListCondition& c : conditions)
    values.insert(values.end(), c.values.begin(), c.values.end());
  return values;
}

std::string ListQuery::WhereClause() const {
  return conditions.empty() ? std::string() : " where " + Condition();
}

std::string ListQuery::Source() const {
  return table + (hint.empty() ? "" : " " + hint) + WhereClause();
}

std::string OrderByClause(const std::vector<ListOrderKey>& order, std::string_view prefix) {
  std::string text;
  for (const ListOrderKey& key : order) {
    text += (text.empty() ? " order by " : ", ") + std::string(prefix) + key.column +
            (key.descending ? " desc" : "");
  }
  return text;
}

std::string ListQuery::OrderBy(std::string_view prefix) const {
  return OrderByClause(order, prefix);
}

std::string ListQuery::Select(std::string_view columns) const {
  return "select " + (first_rows > 0 ? "top " + std::to_string(first_rows) + " " : std::string()) +
         std::string(columns) + " from " + Source() + OrderBy();
}

std::string ListQuery::Rows(std::string_view columns) const {
  if (first_rows > 0) return Select(columns);
  return "select " + std::string(columns) + " from " + Source();
}

std::string ListQuery::CountSql(std::string_view beside) const {
  const std::string head = "select count(*)" + std::string(beside) + " from ";
  if (first_rows > 0) return head + "(" + Select(id_column) + ") ";
  return head + Source();
}

std::optional<BoundSql> ListQuery::MergedRows(std::string_view columns) const {
  if (first_rows <= 0 || order.empty()) return std::nullopt;
  std::optional<size_t> split;
  for (size_t i = 0; i < conditions.size(); ++i) {
    if (conditions[i].in_ids.size() > 1) split = i;
  }
  if (!split) return std::nullopt;
  const ListCondition& in = conditions[*split];
  BoundSql merged;
  std::string parts;
  for (int64_t id : in.in_ids) {
    ListQuery part = *this;
    part.conditions[*split] = ListCondition{in.in_column + " = " + std::to_string(id), {}, in.kind};
    parts += (parts.empty() ? "(" : " union all (") + part.Select(columns) + ")";
    std::vector<Variant> values = part.Values();
    merged.params.insert(merged.params.end(), values.begin(), values.end());
  }
  merged.sql = "select top " + std::to_string(first_rows) + " " + std::string(columns) + " from (" +
               parts + ") merged" + OrderBy();
  return merged;
}

std::string ListQuery::Key() const {
  std::string key =
      table + ' ' + hint + '\n' + id_column + '\n' + std::to_string(first_rows) + OrderBy();
  for (const ListCondition& c : conditions) {
    key +=
        '\n' + std::to_string(static_cast<int>(c.kind)) + ' ' + db::StatementKey(c.sql, c.values);
  }
  return key;
}

ListQuery ListQuery::Whole() const {
  ListQuery whole = *this;
  whole.first_rows = 0;
  whole.order.clear();
  return whole;
}

bool ListQuery::DependsOnTime() const {
  for (const ListCondition& c : conditions) {
    if (c.kind == ConditionKind::kTimed) return true;
  }
  return false;
}

std::optional<LoggedCondition> ListQuery::Logged() const {
  if (first_rows > 0 || table != "Vantrel_Article") return std::nullopt;
  Show(*this);
  LoggedCondition logged;
  for (const ListCondition& c : conditions) {
    if (c.kind == ConditionKind::kNarrowing) continue;
    if (c.kind != ConditionKind::kLogged) return std::nullopt;
    logged.where += (logged.where.empty() ? "" : " and ") + ("(" + c.sql + ")");
    logged.values.insert(logged.values.end(), c.values.begin(), c.values.end());
  }
  return logged;
}

}  // namespace folirex
