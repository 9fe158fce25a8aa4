#include "taxonomy/class_tree.h"

#include <set>
#include <string>
#include <string_view>

#include "console/id_list.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"

namespace folirex {
namespace {

using Params = std::vector<Variant>;

Variant V(int64_t n) { return Variant(static_cast<long long>(n)); }

// Takes the channel's row as the lock of its tree: the first statement of every change, so that
// a second change of the same channel waits for this one (a row lock on a server database, the
// write lock on a database file) instead of reading positions this one is about to move.
void LockTree(Connection& conn, int64_t channel) {
  conn.Execute("update Vantrel_Channel set d_id = d_id where d_id = ?", {V(channel)});
}

// The ids of a stored path ("5,12,40,"): the class and its ancestors, top first, ready for an
// "in (...)" condition. False when the path is not a list of ids.
bool PathIds(std::string_view path, IdList* ids) {
  if (!path.empty() && path.back() == ',') path.remove_suffix(1);
  return ParseIdList(path, ids);
}

ClassNode NodeOf(const Recordset& rs) {
  ClassNode node;
  node.id = rs["d_id"].ToInt64Or(0);
  node.pid = rs["d_pid"].ToInt64Or(0);
  node.order = rs["d_order"].ToInt64Or(0);
  node.child = rs["d_child"].ToInt64Or(0);
  node.level = rs["d_level"].ToInt64Or(0);
  node.root_id = rs["d_rootid"].ToInt64Or(0);
  node.path = rs["d_path"].ToString();
  return node;
}

constexpr const char* kNodeColumns =
    "select d_id, d_pid, d_order, d_child, d_level, d_rootid, d_path from Vantrel_ArticleClass ";

// `delta` descendants more (or fewer) for the classes of the path's ids, less `except`.
void AddToCounts(Connection& conn, int64_t channel, const IdList& ids, int64_t delta,
                 int64_t except) {
  conn.Execute(
      "update Vantrel_ArticleClass set d_child = d_child + ? where d_channelid = ? and "
      "d_id in (" +
          ids.sql + ") and d_id <> ?",
      {V(delta), V(channel), V(except)});
}

}  // namespace

std::optional<ClassNode> FindClass(Connection& conn, int64_t channel, int64_t id) {
  Recordset rs;
  rs.Open(std::string(kNodeColumns) + "where d_id = ? and d_channelid = ?", {V(id), V(channel)},
          conn, 0, 1);
  if (rs.Eof()) return std::nullopt;
  ClassNode node = NodeOf(rs);
  rs.Close();
  return node;
}

ClassTreeStatus AddClass(Connection& conn, int64_t channel, int64_t parent,
                         const ClassSettings& settings, int64_t* new_id) {
  ScopedTransaction transaction(conn);
  LockTree(conn, channel);
  int64_t level = 0;
  int64_t position = 1;
  std::optional<ClassNode> p;
  if (parent == 0) {
    Variant last = conn.ExecuteScalar(
        "select max(d_order) from Vantrel_ArticleClass where d_channelid = ?", {V(channel)});
    if (!last.IsNull()) position = last.ToInt64Or(0) + 1;
  } else {
    p = FindClass(conn, channel, parent);
    IdList ancestors;
    if (!p || !PathIds(p->path, &ancestors)) return ClassTreeStatus::kNoClass;
    level = p->level + 1;
    position = p->order + p->child + 1;
    conn.Execute(
        "update Vantrel_ArticleClass set d_order = d_order + 1 where d_channelid = ? and "
        "d_order >= ?",
        {V(channel), V(position)});
    AddToCounts(conn, channel, ancestors, 1, 0);
  }

  Recordset rs;
  rs.Open("select * from Vantrel_ArticleClass where 1 < 0", conn, 1, 3);
  rs.AddNew();
  rs.Set("d_channelid", V(channel));
  rs.Set("d_pid", V(parent));
  rs.Set("d_name", Variant(settings.name));
  rs.Set("d_child", V(0));
  rs.Set("d_dir", Variant(settings.dir));
  rs.Set("d_pagenum", V(settings.page_size));
  rs.Set("d_commentflag", Variant(settings.comments));
  rs.Set("d_commentcheckflag", Variant(settings.comments_checked));
  rs.Set("d_addarticleflag", Variant(settings.add_article));
  rs.Set("d_pointperarticle", V(settings.points));
  rs.Set("d_templatepageid", V(settings.template_page));
  rs.Set("d_level", V(level));
  rs.Set("d_order", V(position));
  rs.Set("d_generatedflag", Variant(false));
  rs.Update();
  const int64_t id = rs["d_id"].ToInt64Or(0);
  rs.Close();

  const std::string path = (p ? p->path : std::string()) + std::to_string(id) + ",";
  conn.Execute("update Vantrel_ArticleClass set d_path = ?, d_rootid = ? where d_id = ?",
               {Variant(path), V(p ? p->root_id : id), V(id)});
  transaction.Commit();
  *new_id = id;
  return ClassTreeStatus::kDone;
}

ClassTreeStatus MoveClassUp(Connection& conn, int64_t channel, int64_t id) {
  ScopedTransaction transaction(conn);
  LockTree(conn, channel);
  std::optional<ClassNode> x = FindClass(conn, channel, id);
  if (!x) return ClassTreeStatus::kNoClass;
  Variant previous = conn.ExecuteScalar(
      "select max(d_order) from Vantrel_ArticleClass where d_channelid = ? and d_pid = ? and "
      "d_order < ?",
      {V(channel), V(x->pid), V(x->order)});
  if (previous.IsNull()) return ClassTreeStatus::kNothingToDo;
  // The sibling's subtree fills the positions from its own up to the class's.
  const int64_t start = previous.ToInt64Or(0);
  const int64_t size = x->child + 1;
  conn.Execute(
      "update Vantrel_ArticleClass set d_order = case when d_order >= ? then d_order - ? else "
      "d_order + ? end where d_channelid = ? and d_order >= ? and d_order < ?",
      {V(x->order), V(x->order - start), V(size), V(channel), V(start), V(x->order + size)});
  transaction.Commit();
  return ClassTreeStatus::kDone;
}

ClassTreeStatus MoveClassDown(Connection& conn, int64_t channel, int64_t id) {
  ScopedTransaction transaction(conn);
  LockTree(conn, channel);
  std::optional<ClassNode> x = FindClass(conn, channel, id);
  if (!x) return ClassTreeStatus::kNoClass;
  Recordset rs;
  rs.Open(
      "select d_order, d_child from Vantrel_ArticleClass where d_channelid = ? and d_pid = ? "
      "and d_order > ? order by d_order",
      {V(channel), V(x->pid), V(x->order)}, conn, 0, 1);
  if (rs.Eof()) return ClassTreeStatus::kNothingToDo;
  const int64_t next = rs["d_order"].ToInt64Or(0);
  const int64_t next_size = rs["d_child"].ToInt64Or(0) + 1;
  rs.Close();
  const int64_t size = x->child + 1;
  conn.Execute(
      "update Vantrel_ArticleClass set d_order = case when d_order >= ? then d_order - ? else "
      "d_order + ? end where d_channelid = ? and d_order >= ? and d_order < ?",
      {V(next), V(size), V(next_size), V(channel), V(x->order), V(next + next_size)});
  transaction.Commit();
  return ClassTreeStatus::kDone;
}

ClassTreeStatus ResetClass(Connection& conn, int64_t channel, int64_t id) {
  ScopedTransaction transaction(conn);
  LockTree(conn, channel);
  std::optional<ClassNode> x = FindClass(conn, channel, id);
  if (!x) return ClassTreeStatus::kNoClass;
  if (x->pid != 0) return ClassTreeStatus::kNothingToDo;
  conn.Execute(
      "update Vantrel_ArticleClass set d_pid = ?, d_level = 1, d_child = 0, d_path = "
      "cstr(d_rootid) + ',' + cstr(d_id) + ',' where d_channelid = ? and d_rootid = ? and "
      "d_level <> 0",
      {V(id), V(channel), V(id)});
  transaction.Commit();
  return ClassTreeStatus::kDone;
}

ClassTreeStatus MoveClass(Connection& conn, int64_t channel, int64_t id, int64_t to) {
  if (id == to) return ClassTreeStatus::kSameClass;
  ScopedTransaction transaction(conn);
  LockTree(conn, channel);
  std::optional<ClassNode> x = FindClass(conn, channel, id);
  IdList old_line;
  if (!x || !PathIds(x->path, &old_line)) return ClassTreeStatus::kNoClass;
  if (to == x->pid) return ClassTreeStatus::kSamePlace;
  const int64_t o = x->order;
  const int64_t n = x->child + 1;

  // Where the subtree goes (it is placed before the row now at `dest`), and what its rows'
  // level, root and path prefix become.
  int64_t dest = 0;
  int64_t level_delta = 0;
  int64_t root = 0;
  std::string prefix;
  IdList new_line;
  if (to == 0) {
    dest = conn.ExecuteScalar("select max(d_order) from Vantrel_ArticleClass where d_channelid = ?",
                              {V(channel)})
               .ToInt64Or(0) +
           1;
    level_delta = -x->level;
    root = x->id;
  } else {
    std::optional<ClassNode> t = FindClass(conn, channel, to);
    if (!t || !PathIds(t->path, &new_line)) return ClassTreeStatus::kNoTarget;
    if (t->order >= o && t->order < o + n) return ClassTreeStatus::kIntoOwnSubtree;
    dest = t->order + 1;
    level_delta = t->level + 1 - x->level;
    root = t->root_id;
    prefix = t->path;
  }
  // The old parent's path is the class's own less its last id.
  const int64_t kept_from = static_cast<int64_t>(x->path.size()) -
                            static_cast<int64_t>(std::to_string(x->id).size() + 1) + 1;

  AddToCounts(conn, channel, old_line, -n, x->id);
  conn.Execute(
      "update Vantrel_ArticleClass set d_level = d_level + ?, d_rootid = ?, d_path = ? + "
      "mid(d_path, ?) where d_channelid = ? and d_order >= ? and d_order < ?",
      {V(level_delta), V(root), Variant(prefix), V(kept_from), V(channel), V(o), V(o + n)});
  if (dest >= o + n) {
    // Later: the rows between move up over the subtree's old place.
    conn.Execute(
        "update Vantrel_ArticleClass set d_order = case when d_order < ? then d_order + ? else "
        "d_order - ? end where d_channelid = ? and d_order >= ? and d_order < ?",
        {V(o + n), V(dest - o - n), V(n), V(channel), V(o), V(dest)});
  } else {
    // Earlier: the rows between move down past the subtree.
    conn.Execute(
        "update Vantrel_ArticleClass set d_order = case when d_order >= ? then d_order - ? else "
        "d_order + ? end where d_channelid = ? and d_order >= ? and d_order < ?",
        {V(o), V(o - dest), V(n), V(channel), V(dest), V(o + n)});
  }
  if (to != 0) AddToCounts(conn, channel, new_line, n, 0);
  conn.Execute("update Vantrel_ArticleClass set d_pid = ? where d_id = ?", {V(to), V(x->id)});
  transaction.Commit();
  return ClassTreeStatus::kDone;
}

ClassTreeStatus DeleteClass(Connection& conn, int64_t channel, int64_t id) {
  ScopedTransaction transaction(conn);
  LockTree(conn, channel);
  std::optional<ClassNode> x = FindClass(conn, channel, id);
  IdList line;
  if (!x || !PathIds(x->path, &line)) return ClassTreeStatus::kNoClass;
  const int64_t first = x->order;
  const int64_t last = x->order + x->child;
  conn.Execute(
      "delete from Vantrel_Article where d_channelid = ? and d_classid in (select d_id from "
      "Vantrel_ArticleClass where d_channelid = ? and d_order >= ? and d_order <= ?)",
      {V(channel), V(channel), V(first), V(last)});
  conn.Execute(
      "delete from Vantrel_ArticleClass where d_channelid = ? and d_order >= ? and d_order <= ?",
      {V(channel), V(first), V(last)});
  AddToCounts(conn, channel, line, -(x->child + 1), x->id);
  // The gap closes: left open, an ancestor's range would miss its last descendants.
  conn.Execute(
      "update Vantrel_ArticleClass set d_order = d_order - ? where d_channelid = ? and d_order > ?",
      {V(x->child + 1), V(channel), V(last)});
  transaction.Commit();
  return ClassTreeStatus::kDone;
}

ClassTreeStatus EmptyClasses(Connection& conn, int64_t channel, const std::vector<int64_t>& ids) {
  if (ids.empty()) return ClassTreeStatus::kNoClass;
  const std::set<int64_t> distinct(ids.begin(), ids.end());
  std::string list;
  for (int64_t id : distinct) list += (list.empty() ? "" : ",") + std::to_string(id);
  ScopedTransaction transaction(conn);
  LockTree(conn, channel);
  const int64_t found =
      conn.ExecuteScalar(
              "select count(*) from Vantrel_ArticleClass where d_channelid = ? and "
              "d_id in (" +
                  list + ")",
              {V(channel)})
          .ToInt64Or(0);
  if (found != static_cast<int64_t>(distinct.size())) return ClassTreeStatus::kNoClass;
  conn.Execute(
      "update Vantrel_Article set d_deleted = true, d_generatedflag = false where d_classid in "
      "(select b.d_id from Vantrel_ArticleClass b, Vantrel_ArticleClass x where x.d_channelid = ? "
      "and x.d_id in (" +
          list +
          ") and b.d_channelid = x.d_channelid and b.d_order >= x.d_order "
          "and b.d_order <= x.d_order + x.d_child)",
      {V(channel)});
  transaction.Commit();
  return ClassTreeStatus::kDone;
}

void RenumberClasses(Connection& conn, int64_t channel) {
  ScopedTransaction transaction(conn);
  LockTree(conn, channel);
  conn.Execute(
      "update Vantrel_ArticleClass set d_order = r.n from (select d_id as rid, row_number() over "
      "(order by d_order, d_id) as n from Vantrel_ArticleClass where d_channelid = ?) r where "
      "Vantrel_ArticleClass.d_id = r.rid",
      {V(channel)});
  transaction.Commit();
}

}  // namespace folirex
