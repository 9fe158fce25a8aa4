#include "publishing/navi_menu_tree.h"

#include <string>
#include <vector>

#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

std::string Num(int64_t value) { return std::to_string(value); }

// The channel's condition of every statement.
std::string InChannel(int64_t channel) { return " and d_channelid = " + Num(channel); }

// Takes the channel's row as a lock for the transaction, so that two changes of one channel's
// menu run one after the other.
void LockChannel(Connection& conn, int64_t channel) {
  conn.Execute("update Vantrel_Channel set d_navimenucss = d_navimenucss where d_id = " +
               Num(channel));
}

// The ids of a stored path ("12,40,") joined by ","; false when it holds anything but ids.
bool PathIds(const std::string& path, std::string* ids) {
  ids->clear();
  for (const std::string& part : Split(path, ",")) {
    if (part.empty()) continue;
    if (!IsDigits(part)) return false;
    *ids += (ids->empty() ? "" : ",") + part;
  }
  return !ids->empty();
}

int64_t ItemCount(Connection& conn, int64_t channel) {
  return conn
      .ExecuteScalar("select count(*) from Vantrel_NaviMenu where d_channelid = " + Num(channel))
      .ToInt64Or(0);
}

// One item to append: the columns that are not the tree's.
struct NewItem {
  std::string name;
  int64_t level = 0;  // relative depth within the appended block
  int64_t type_flag = 0;
  int64_t open_flag = 0;
  int64_t include_child = 1;
  std::string link_url;
  std::string pic_url;
};

// Inserts a row and answers its id; the tree columns are given, d_rootid and d_path follow.
int64_t InsertItem(Connection& conn, int64_t channel, const NewItem& item, int64_t pid,
                   int64_t level, int64_t child, int64_t order) {
  Recordset rs;
  rs.Open("select * from Vantrel_NaviMenu where 1 < 0", conn, 1, 3);
  rs.AddNew();
  rs.Set("d_channelid", Variant(channel));
  rs.Set("d_name", Variant(item.name));
  rs.Set("d_typeflag", Variant(item.type_flag));
  rs.Set("d_pid", Variant(pid));
  rs.Set("d_rootid", Variant(int64_t{0}));
  rs.Set("d_level", Variant(level));
  rs.Set("d_path", Variant(std::string("0")));
  rs.Set("d_child", Variant(child));
  rs.Set("d_order", Variant(order));
  rs.Set("d_openflag", Variant(item.open_flag));
  rs.Set("d_includechildflag", Variant(item.include_child));
  rs.Set("d_linkurl", Variant(item.link_url));
  rs.Set("d_picurl", Variant(item.pic_url));
  rs.Update();
  int64_t id = rs["d_id"].ToInt64Or(0);
  rs.Close();
  return id;
}

void SetRootAndPath(Connection& conn, int64_t id, int64_t root, const std::string& path) {
  conn.Execute("update Vantrel_NaviMenu set d_rootid = " + Num(root) +
                   ", d_path = ? where d_id = " + Num(id),
               {Variant(path)});
}

// Appends the items at the end of the channel's menu as a block in pre-order whose first item
// is top-level. Levels are taken as a walk: a level never steps down by more than one from the
// item before, so a source tree that breaks the rule still gives a sound menu; each item's
// descendant count is counted from the block itself.
void AppendBlock(Connection& conn, int64_t channel, std::vector<NewItem> items) {
  if (items.empty()) return;
  int64_t previous = -1;
  for (NewItem& item : items) {
    if (item.level < 0) item.level = 0;
    if (item.level > previous + 1) item.level = previous + 1;
    previous = item.level;
  }
  const int64_t n = ItemCount(conn, channel);
  struct Placed {
    int64_t id;
    int64_t root;
    std::string path;
  };
  std::vector<Placed> ancestors;  // by level: the nearest earlier item of each level
  for (size_t i = 0; i < items.size(); ++i) {
    const NewItem& item = items[i];
    int64_t child = 0;
    for (size_t j = i + 1; j < items.size() && items[j].level > item.level; ++j) ++child;
    ancestors.resize(static_cast<size_t>(item.level));
    const int64_t pid = ancestors.empty() ? 0 : ancestors.back().id;
    const int64_t id =
        InsertItem(conn, channel, item, pid, item.level, child, n + 1 + static_cast<int64_t>(i));
    Placed placed{id, ancestors.empty() ? id : ancestors.back().root,
                  (ancestors.empty() ? "" : ancestors.back().path) + Num(id) + ","};
    SetRootAndPath(conn, id, placed.root, placed.path);
    ancestors.push_back(placed);
  }
}

NewItem ClassCopy(const Recordset& rs, int64_t open_flag, int64_t include_child,
                  const ClassLinkRule& link) {
  NewItem item;
  item.name = rs["d_name"].ToString();
  item.level = rs["d_level"].ToInt64Or(0);
  item.type_flag = 0;
  item.open_flag = open_flag;
  item.include_child = include_child;
  const int64_t class_id = rs["d_id"].ToInt64Or(0);
  item.link_url = link ? link(class_id, rs["d_dir"].IsNull() ? "" : rs["d_dir"].ToString()) : "";
  return item;
}

// The position just past the block of the item at `order` whose level is `level`: the first
// later position at that level or above, else past the last item.
int64_t BlockEnd(Connection& conn, int64_t channel, int64_t order, int64_t level) {
  Variant end =
      conn.ExecuteScalar("select min(d_order) from Vantrel_NaviMenu where d_order > " + Num(order) +
                         " and d_level <= " + Num(level) + InChannel(channel));
  if (!end.IsNull()) return end.ToInt64Or(0);
  return conn.ExecuteScalar("select max(d_order) from Vantrel_NaviMenu where d_channelid = " +
                            Num(channel))
             .ToInt64Or(0) +
         1;
}

// Swaps the adjacent blocks [first, middle) and [middle, end) of the channel's positions.
void SwapBlocks(Connection& conn, int64_t channel, int64_t first, int64_t middle, int64_t end) {
  conn.Execute("update Vantrel_NaviMenu set d_order = 0 - d_order where d_order >= " + Num(middle) +
               " and d_order < " + Num(end) + InChannel(channel));
  conn.Execute("update Vantrel_NaviMenu set d_order = d_order + " + Num(end - middle) +
               " where d_order >= " + Num(first) + " and d_order < " + Num(middle) +
               InChannel(channel));
  conn.Execute("update Vantrel_NaviMenu set d_order = (0 - d_order) - " + Num(middle - first) +
               " where d_order < 0" + InChannel(channel));
}

}  // namespace

std::optional<MenuNode> FindMenuItem(Connection& conn, int64_t channel, int64_t id) {
  Recordset rs;
  rs.Open(
      "select d_id, d_pid, d_rootid, d_level, d_child, d_order, d_path from "
      "Vantrel_NaviMenu where d_id = " +
          Num(id) + InChannel(channel),
      conn, 0, 1);
  if (rs.Eof()) return std::nullopt;
  MenuNode node;
  node.id = rs["d_id"].ToInt64Or(0);
  node.pid = rs["d_pid"].ToInt64Or(0);
  node.root_id = rs["d_rootid"].ToInt64Or(0);
  node.level = rs["d_level"].ToInt64Or(0);
  node.child = rs["d_child"].ToInt64Or(0);
  node.order = rs["d_order"].ToInt64Or(0);
  node.path = rs["d_path"].ToString();
  return node;
}

MenuTreeStatus AddMenuItem(Connection& conn, int64_t channel, int64_t parent,
                           const MenuItemText& item, int64_t* new_id) {
  ScopedTransaction transaction(conn);
  LockChannel(conn, channel);
  NewItem row{item.name, 0, 1, item.open_flag, 1, item.link_url, item.pic_url};
  int64_t id = 0;
  if (parent == 0) {
    id = InsertItem(conn, channel, row, 0, 0, 0, ItemCount(conn, channel) + 1);
    SetRootAndPath(conn, id, id, Num(id) + ",");
  } else {
    std::optional<MenuNode> up = FindMenuItem(conn, channel, parent);
    std::string ancestors;
    if (!up || !PathIds(up->path, &ancestors)) return MenuTreeStatus::kNoItem;
    const int64_t position = up->order + up->child + 1;
    conn.Execute("update Vantrel_NaviMenu set d_order = d_order + 1 where d_order >= " +
                 Num(position) + InChannel(channel));
    conn.Execute("update Vantrel_NaviMenu set d_child = d_child + 1 where d_id in (" + ancestors +
                 ")" + InChannel(channel));
    id = InsertItem(conn, channel, row, parent, up->level + 1, 0, position);
    SetRootAndPath(conn, id, up->root_id, up->path + Num(id) + ",");
  }
  transaction.Commit();
  if (new_id) *new_id = id;
  return MenuTreeStatus::kDone;
}

MenuTreeStatus UpdateMenuItem(Connection& conn, int64_t channel, int64_t id,
                              const MenuItemText& item) {
  int64_t changed = conn.Execute(
      "update Vantrel_NaviMenu set d_name = ?, d_openflag = ?, d_linkurl = ?, d_picurl = ? "
      "where d_id = " +
          Num(id) + InChannel(channel),
      {Variant(item.name), Variant(item.open_flag), Variant(item.link_url), Variant(item.pic_url)});
  return changed > 0 ? MenuTreeStatus::kDone : MenuTreeStatus::kNoItem;
}

MenuTreeStatus AddClassItems(Connection& conn, int64_t channel, int64_t class_id,
                             bool with_subclasses, int64_t open_flag, const ClassLinkRule& link) {
  ScopedTransaction transaction(conn);
  LockChannel(conn, channel);
  Recordset rs;
  rs.Open("select d_order, d_child from Vantrel_ArticleClass where d_id = " + Num(class_id) +
              InChannel(channel),
          conn, 0, 1);
  if (rs.Eof()) return MenuTreeStatus::kNoClass;
  const int64_t order = rs["d_order"].ToInt64Or(0);
  const int64_t child = with_subclasses ? rs["d_child"].ToInt64Or(0) : 0;
  rs.Close();

  std::vector<NewItem> items;
  rs.Open("select d_id, d_name, d_level, d_dir from Vantrel_ArticleClass where d_order >= " +
              Num(order) + " and d_order <= " + Num(order + child) + InChannel(channel) +
              " order by d_order",
          conn, 0, 1);
  int64_t base = -1;
  for (; !rs.Eof(); rs.MoveNext()) {
    // The picked class first (its own position), then its descendants.
    if (items.empty() && rs["d_id"].ToInt64Or(0) != class_id) continue;
    NewItem item = ClassCopy(rs, open_flag, with_subclasses ? 1 : 0, link);
    if (base < 0) base = item.level;
    item.level -= base;
    if (!items.empty() && item.level <= 0) break;  // past the picked class's subtree
    items.push_back(item);
  }
  rs.Close();
  if (items.empty()) return MenuTreeStatus::kNoClass;
  AppendBlock(conn, channel, std::move(items));
  transaction.Commit();
  return MenuTreeStatus::kDone;
}

void ImportClassTree(Connection& conn, int64_t channel, const std::string& home_link,
                     const ClassLinkRule& link) {
  ScopedTransaction transaction(conn);
  LockChannel(conn, channel);
  std::vector<NewItem> home{NewItem{"首 页", 0, 0, 0, 1, home_link, ""}};
  AppendBlock(conn, channel, std::move(home));
  std::vector<NewItem> items;
  Recordset rs;
  rs.Open("select d_id, d_name, d_level, d_dir from Vantrel_ArticleClass where d_channelid = " +
              Num(channel) + " order by d_order",
          conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) items.push_back(ClassCopy(rs, 0, 1, link));
  rs.Close();
  AppendBlock(conn, channel, std::move(items));
  transaction.Commit();
}

MenuTreeStatus MoveMenuItemUp(Connection& conn, int64_t channel, int64_t id) {
  ScopedTransaction transaction(conn);
  LockChannel(conn, channel);
  std::optional<MenuNode> item = FindMenuItem(conn, channel, id);
  if (!item) return MenuTreeStatus::kNoItem;
  Variant sibling = conn.ExecuteScalar(
      "select max(d_order) from Vantrel_NaviMenu where d_order < " + Num(item->order) +
      " and d_pid = " + Num(item->pid) + " and d_level = " + Num(item->level) + InChannel(channel));
  if (sibling.IsNull()) return MenuTreeStatus::kNothingToDo;
  const int64_t end = BlockEnd(conn, channel, item->order, item->level);
  SwapBlocks(conn, channel, sibling.ToInt64Or(0), item->order, end);
  transaction.Commit();
  return MenuTreeStatus::kDone;
}

MenuTreeStatus MoveMenuItemDown(Connection& conn, int64_t channel, int64_t id) {
  ScopedTransaction transaction(conn);
  LockChannel(conn, channel);
  std::optional<MenuNode> item = FindMenuItem(conn, channel, id);
  if (!item) return MenuTreeStatus::kNoItem;
  Variant sibling = conn.ExecuteScalar(
      "select min(d_order) from Vantrel_NaviMenu where d_order > " + Num(item->order) +
      " and d_pid = " + Num(item->pid) + " and d_level = " + Num(item->level) + InChannel(channel));
  if (sibling.IsNull()) return MenuTreeStatus::kNothingToDo;
  const int64_t next = sibling.ToInt64Or(0);
  const int64_t end = BlockEnd(conn, channel, next, item->level);
  SwapBlocks(conn, channel, item->order, next, end);
  transaction.Commit();
  return MenuTreeStatus::kDone;
}

MenuTreeStatus DeleteMenuItem(Connection& conn, int64_t channel, int64_t id) {
  ScopedTransaction transaction(conn);
  LockChannel(conn, channel);
  std::optional<MenuNode> item = FindMenuItem(conn, channel, id);
  std::string ancestors;
  if (!item || !PathIds(item->path, &ancestors)) return MenuTreeStatus::kNoItem;
  const int64_t last = item->order + item->child;
  conn.Execute("delete from Vantrel_NaviMenu where d_order >= " + Num(item->order) +
               " and d_order <= " + Num(last) + InChannel(channel));
  conn.Execute("update Vantrel_NaviMenu set d_child = d_child - " + Num(item->child + 1) +
               " where d_id in (" + ancestors + ") and d_id <> " + Num(id) + InChannel(channel));
  // The later positions close up, so that the channel's positions run 1..N again.
  conn.Execute("update Vantrel_NaviMenu set d_order = d_order - " + Num(item->child + 1) +
               " where d_order > " + Num(last) + InChannel(channel));
  transaction.Commit();
  return MenuTreeStatus::kDone;
}

void EmptyMenu(Connection& conn, int64_t channel) {
  conn.Execute("delete from Vantrel_NaviMenu where d_channelid = " + Num(channel));
}

}  // namespace folirex
