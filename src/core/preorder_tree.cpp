#include "core/preorder_tree.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>

#include "core/public_request.h"
#include "platform/db/sql_params.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

Variant V(int64_t n) { return Variant(static_cast<long long>(n)); }

}  // namespace

bool PathIds(std::string_view path, std::vector<int64_t>* ids) {
  if (!path.empty() && path.back() == ',') path.remove_suffix(1);
  std::vector<int64_t> parsed;
  while (true) {
    const size_t comma = path.find(',');
    std::optional<int64_t> id = ParseId(Trim(std::string(path.substr(0, comma))));
    if (!id) return false;
    parsed.push_back(*id);
    if (comma == std::string_view::npos) break;
    path.remove_prefix(comma + 1);
  }
  *ids = std::move(parsed);
  return true;
}

std::string PreorderTree::Sql(std::string_view text) const {
  static constexpr std::pair<std::string_view, std::string_view PreorderTable::*> kNames[] = {
      {"table", &PreorderTable::table},
      {"scope", &PreorderTable::scope},
      {"id", &PreorderTable::id},
      {"pid", &PreorderTable::pid},
      {"order", &PreorderTable::order},
      {"child", &PreorderTable::child},
      {"level", &PreorderTable::level},
      {"root", &PreorderTable::root},
      {"path", &PreorderTable::path},
      {"lock_table", &PreorderTable::lock_table},
      {"lock_key", &PreorderTable::lock_key},
  };
  std::string sql;
  sql.reserve(text.size() + 64);
  while (!text.empty()) {
    const size_t open = text.find('{');
    sql += text.substr(0, open);
    if (open == std::string_view::npos) break;
    const size_t close = text.find('}', open);
    const std::string_view name = text.substr(open + 1, close - open - 1);
    const auto* found = std::find_if(std::begin(kNames), std::end(kNames),
                                     [&](const auto& entry) { return entry.first == name; });
    if (found == std::end(kNames)) {
      throw std::logic_error("no tree column named " + std::string(name));
    }
    sql += table_.*(found->second);
    text.remove_prefix(close + 1);
  }
  return sql;
}

std::optional<PreorderNode> PreorderTree::Find(Connection& conn, int64_t scope, int64_t id) const {
  Recordset rs;
  rs.Open(db::KeptRead{.tables = {table_.table},
                       .sql = Sql("select {id}, {pid}, {order}, {child}, {level}, {root}, {path} "
                                  "from {table} where {id} = ? and {scope} = ?"),
                       .values = {V(id), V(scope)}},
          conn);
  if (rs.Eof()) return std::nullopt;
  PreorderNode node;
  node.id = rs[table_.id].ToInt64Or(0);
  node.pid = rs[table_.pid].ToInt64Or(0);
  node.order = rs[table_.order].ToInt64Or(0);
  node.child = rs[table_.child].ToInt64Or(0);
  node.level = rs[table_.level].ToInt64Or(0);
  node.root_id = rs[table_.root].ToInt64Or(0);
  node.path = rs[table_.path].ToString();
  return node;
}

PreorderStatus PreorderTree::Insert(Connection& conn, int64_t scope, int64_t parent,
                                    const PreorderRowFill& fill, int64_t* new_id) const {
  Change change(*this, conn, scope);
  Change::Place place;
  if (parent == 0) {
    place.order = change.End();
  } else {
    std::optional<PreorderNode> p = change.Find(parent);
    std::vector<int64_t> ancestors;
    if (!p || !PathIds(p->path, &ancestors)) return PreorderStatus::kNoNode;
    place = {.pid = parent,
             .level = p->level + 1,
             .order = p->order + p->child + 1,
             .root = p->root_id,
             .prefix = p->path};
    change.Execute("update {table} set {order} = {order} + 1 where {scope} = ? and {order} >= ?",
                   {V(scope), V(place.order)});
    change.AddToCounts(ancestors, 1, 0);
  }
  const int64_t id = change.InsertRow(place, fill);
  change.Commit();
  if (new_id) *new_id = id;
  return PreorderStatus::kDone;
}

PreorderStatus PreorderTree::MoveUp(Connection& conn, int64_t scope, int64_t id) const {
  return SwapWithSibling(conn, scope, id, true);
}

PreorderStatus PreorderTree::MoveDown(Connection& conn, int64_t scope, int64_t id) const {
  return SwapWithSibling(conn, scope, id, false);
}

PreorderStatus PreorderTree::SwapWithSibling(Connection& conn, int64_t scope, int64_t id,
                                             bool previous) const {
  Change change(*this, conn, scope);
  std::optional<PreorderNode> x = change.Find(id);
  if (!x) return PreorderStatus::kNoNode;
  Variant sibling = change.Scalar(
      previous ? "select max({order}) from {table} where {scope} = ? and {pid} = ? and {order} < ?"
               : "select min({order}) from {table} where {scope} = ? and {pid} = ? and {order} > ?",
      {V(scope), V(x->pid), V(x->order)});
  if (sibling.IsNull()) return PreorderStatus::kNothingToDo;
  const int64_t s = sibling.ToInt64Or(0);
  if (previous) {
    change.SwapRanges(s, x->order, change.SubtreeEnd(x->order, x->level));
  } else {
    change.SwapRanges(x->order, s, change.SubtreeEnd(s, x->level));
  }
  change.Commit();
  return PreorderStatus::kDone;
}

PreorderStatus PreorderTree::Move(Connection& conn, int64_t scope, int64_t id, int64_t to) const {
  if (id == to) return PreorderStatus::kSameNode;
  Change change(*this, conn, scope);
  std::optional<PreorderNode> x = change.Find(id);
  std::vector<int64_t> old_line;
  if (!x || !PathIds(x->path, &old_line)) return PreorderStatus::kNoNode;
  if (to == x->pid) return PreorderStatus::kSamePlace;
  Change::Place place;
  std::vector<int64_t> new_line;
  const PreorderStatus status = change.PlaceMoved(*x, to, &place, &new_line);
  if (status != PreorderStatus::kDone) return status;
  change.MoveSubtree(*x, old_line, place, new_line);
  change.Commit();
  return PreorderStatus::kDone;
}

PreorderStatus PreorderTree::Flatten(Connection& conn, int64_t scope, int64_t id) const {
  Change change(*this, conn, scope);
  std::optional<PreorderNode> x = change.Find(id);
  if (!x) return PreorderStatus::kNoNode;
  if (x->pid != 0) return PreorderStatus::kNothingToDo;
  change.Execute(
      "update {table} set {pid} = ?, {level} = 1, {child} = 0, {path} = cstr({root}) + ',' + "
      "cstr({id}) + ',' where {scope} = ? and {root} = ? and {level} <> 0",
      {V(id), V(scope), V(id)});
  change.Commit();
  return PreorderStatus::kDone;
}

PreorderStatus PreorderTree::Delete(Connection& conn, int64_t scope, int64_t id,
                                    const std::function<void(const PreorderNode&)>& before) const {
  Change change(*this, conn, scope);
  std::optional<PreorderNode> x = change.Find(id);
  std::vector<int64_t> line;
  if (!x || !PathIds(x->path, &line)) return PreorderStatus::kNoNode;
  if (before) before(*x);
  const int64_t last = x->order + x->child;
  change.Execute("delete from {table} where {scope} = ? and {order} >= ? and {order} <= ?",
                 {V(scope), V(x->order), V(last)});
  change.AddToCounts(line, -(x->child + 1), x->id);
  // The gap closes: left open, an ancestor's range would miss its last descendants.
  change.Execute("update {table} set {order} = {order} - ? where {scope} = ? and {order} > ?",
                 {V(x->child + 1), V(scope), V(last)});
  change.Commit();
  return PreorderStatus::kDone;
}

void PreorderTree::Renumber(Connection& conn, int64_t scope) const {
  Change change(*this, conn, scope);
  change.Execute(
      "update {table} set {order} = r.n from (select {id} as rid, row_number() over (order by "
      "{order}, {id}) as n from {table} where {scope} = ?) r where {table}.{id} = r.rid",
      {V(scope)});
  change.Commit();
}

PreorderTree::Change::Change(const PreorderTree& tree, Connection& conn, int64_t scope)
    : tree_(tree), conn_(conn), scope_(scope), transaction_(conn) {
  // The first statement of every change, so that a second change of the same scope waits for
  // this one (a row lock on a server database, the write lock on a database file) instead of
  // reading positions this one is about to move.
  Execute("update {lock_table} set {lock_key} = {lock_key} where {lock_key} = ?", {V(scope)});
}

void PreorderTree::Change::AppendBlock(std::vector<BlockRow> rows) {
  int64_t previous = -1;
  for (BlockRow& row : rows) {
    if (row.level < 0) row.level = 0;
    if (row.level > previous + 1) row.level = previous + 1;
    previous = row.level;
  }
  const int64_t start = rows.empty() ? 0 : End();
  std::vector<Place> ancestors;  // by level: the nearest earlier row of each level
  for (size_t i = 0; i < rows.size(); ++i) {
    const int64_t level = rows[i].level;
    int64_t child = 0;
    for (size_t j = i + 1; j < rows.size() && rows[j].level > level; ++j) ++child;
    ancestors.resize(static_cast<size_t>(level));
    Place place{.level = level, .child = child, .order = start + static_cast<int64_t>(i)};
    if (!ancestors.empty()) {
      place.pid = ancestors.back().pid;
      place.root = ancestors.back().root;
      place.prefix = ancestors.back().prefix;
    }
    const int64_t id = InsertRow(place, rows[i].fill);
    // Kept for the rows below it: their parent, root and path prefix.
    ancestors.push_back({.pid = id,
                         .root = place.root == 0 ? id : place.root,
                         .prefix = place.prefix + std::to_string(id) + ","});
  }
}

PreorderStatus PreorderTree::Change::PlaceMoved(const PreorderNode& x, int64_t to, Place* place,
                                                std::vector<int64_t>* new_line) {
  if (to == 0) {
    *place = {.pid = 0, .level = 0, .order = End(), .root = x.id};
    return PreorderStatus::kDone;
  }
  std::optional<PreorderNode> t = Find(to);
  if (!t || !PathIds(t->path, new_line)) return PreorderStatus::kNoTarget;
  if (t->order >= x.order && t->order <= x.order + x.child) {
    return PreorderStatus::kIntoOwnSubtree;
  }
  *place = {.pid = to,
            .level = t->level + 1,
            .order = t->order + 1,
            .root = t->root_id,
            .prefix = t->path};
  return PreorderStatus::kDone;
}

void PreorderTree::Change::MoveSubtree(const PreorderNode& x, const std::vector<int64_t>& old_line,
                                       const Place& place, const std::vector<int64_t>& new_line) {
  const int64_t o = x.order;
  const int64_t n = x.child + 1;
  // The old parent's path is the node's own less its last id.
  const int64_t kept_from = static_cast<int64_t>(x.path.size()) -
                            static_cast<int64_t>(std::to_string(x.id).size() + 1) + 1;
  AddToCounts(old_line, -n, x.id);
  Execute(
      "update {table} set {level} = {level} + ?, {root} = ?, {path} = ? + mid({path}, ?) "
      "where {scope} = ? and {order} >= ? and {order} < ?",
      {V(place.level - x.level), V(place.root), Variant(place.prefix), V(kept_from), V(scope_),
       V(o), V(o + n)});
  if (place.order >= o + n) {
    SwapRanges(o, o + n, place.order);  // later: the rows between move up over its old place
  } else {
    SwapRanges(place.order, o, o + n);  // earlier: the rows between move down past it
  }
  if (place.pid != 0) AddToCounts(new_line, n, 0);
  Execute("update {table} set {pid} = ? where {id} = ?", {V(place.pid), V(x.id)});
}

int64_t PreorderTree::Change::Execute(std::string_view sql, const std::vector<Variant>& params) {
  return conn_.Execute(tree_.Sql(sql), params);
}

Variant PreorderTree::Change::Scalar(std::string_view sql, const std::vector<Variant>& params) {
  return conn_.ExecuteScalar(tree_.Sql(sql), params);
}

int64_t PreorderTree::Change::End() {
  Variant last = Scalar("select max({order}) from {table} where {scope} = ?", {V(scope_)});
  return last.IsNull() ? 1 : last.ToInt64Or(0) + 1;
}

int64_t PreorderTree::Change::SubtreeEnd(int64_t order, int64_t level) {
  Variant end =
      Scalar("select min({order}) from {table} where {scope} = ? and {order} > ? and {level} <= ?",
             {V(scope_), V(order), V(level)});
  return end.IsNull() ? End() : end.ToInt64Or(0);
}

void PreorderTree::Change::SwapRanges(int64_t first, int64_t middle, int64_t end) {
  Execute(
      "update {table} set {order} = case when {order} >= ? then {order} - ? else {order} + ? "
      "end where {scope} = ? and {order} >= ? and {order} < ?",
      {V(middle), V(middle - first), V(end - middle), V(scope_), V(first), V(end)});
}

void PreorderTree::Change::AddToCounts(const std::vector<int64_t>& ids, int64_t delta,
                                       int64_t except) {
  std::vector<Variant> params{V(delta), V(scope_)};
  for (int64_t id : ids) params.push_back(V(id));
  params.push_back(V(except));
  Execute("update {table} set {child} = {child} + ? where {scope} = ? and {id} in (" +
              Placeholders(ids.size()) + ") and {id} <> ?",
          params);
}

int64_t PreorderTree::Change::InsertRow(const Place& place, const PreorderRowFill& fill) {
  const PreorderTable& t = tree_.table_;
  Recordset rs;
  rs.Open(db::TableRows{.table = std::string(t.table), .where = "1 < 0"}, conn_, 1, 3);
  rs.AddNew();
  rs.Set(t.scope, V(scope_));
  rs.Set(t.pid, V(place.pid));
  rs.Set(t.level, V(place.level));
  rs.Set(t.child, V(place.child));
  rs.Set(t.order, V(place.order));
  if (fill) fill(rs);
  rs.Update();
  const int64_t id = rs[t.id].ToInt64Or(0);
  rs.Close();
  Execute("update {table} set {path} = ?, {root} = ? where {id} = ?",
          {Variant(place.prefix + std::to_string(id) + ","), V(place.root == 0 ? id : place.root),
           V(id)});
  return id;
}

}  // namespace folirex
