#include "publishing/navi_menu_tree.h"

#include <string>
#include <utility>
#include <vector>

#include "platform/db/recordset.h"

namespace folirex {
namespace {

constexpr PreorderTree kMenuTree({.table = "Vantrel_NaviMenu"});

MenuTreeStatus MenuStatus(PreorderStatus status) {
  switch (status) {
    case PreorderStatus::kDone:
      return MenuTreeStatus::kDone;
    case PreorderStatus::kNothingToDo:
      return MenuTreeStatus::kNothingToDo;
    default:
      return MenuTreeStatus::kNoItem;
  }
}

// The columns of an item that are not the tree's.
struct NewItem {
  std::string name;
  int64_t type_flag = 0;
  int64_t open_flag = 0;
  int64_t include_child = 1;
  std::string link_url{};
  std::string pic_url{};
};

PreorderRowFill Fill(NewItem item) {
  return [item = std::move(item)](Recordset& rs) {
    rs.Set("d_name", Variant(item.name));
    rs.Set("d_typeflag", Variant(item.type_flag));
    rs.Set("d_openflag", Variant(item.open_flag));
    rs.Set("d_includechildflag", Variant(item.include_child));
    rs.Set("d_linkurl", Variant(item.link_url));
    rs.Set("d_picurl", Variant(item.pic_url));
  };
}

// The copy of the class at the recordset's row, at the class's own level.
PreorderTree::Change::BlockRow ClassCopy(const Recordset& rs, int64_t open_flag,
                                         int64_t include_child, const ClassLinkRule& link) {
  NewItem item{.name = rs["d_name"].ToString(),
               .type_flag = 0,
               .open_flag = open_flag,
               .include_child = include_child};
  const int64_t class_id = rs["d_id"].ToInt64Or(0);
  item.link_url = link ? link(class_id, rs["d_dir"].IsNull() ? "" : rs["d_dir"].ToString()) : "";
  return {.level = rs["d_level"].ToInt64Or(0), .fill = Fill(std::move(item))};
}

}  // namespace

std::optional<MenuNode> FindMenuItem(Connection& conn, int64_t channel, int64_t id) {
  return kMenuTree.Find(conn, channel, id);
}

MenuTreeStatus AddMenuItem(Connection& conn, int64_t channel, int64_t parent,
                           const MenuItemText& item, int64_t* new_id) {
  return MenuStatus(kMenuTree.Insert(conn, channel, parent,
                                     Fill({.name = item.name,
                                           .type_flag = 1,
                                           .open_flag = item.open_flag,
                                           .link_url = item.link_url,
                                           .pic_url = item.pic_url}),
                                     new_id));
}

MenuTreeStatus UpdateMenuItem(Connection& conn, int64_t channel, int64_t id,
                              const MenuItemText& item) {
  int64_t changed = conn.Execute(
      "update Vantrel_NaviMenu set d_name = ?, d_openflag = ?, d_linkurl = ?, d_picurl = ? "
      "where d_id = ? and d_channelid = ?",
      {Variant(item.name), Variant(item.open_flag), Variant(item.link_url), Variant(item.pic_url),
       Variant(id), Variant(channel)});
  return changed > 0 ? MenuTreeStatus::kDone : MenuTreeStatus::kNoItem;
}

MenuTreeStatus AddClassItems(Connection& conn, int64_t channel, int64_t class_id,
                             bool with_subclasses, int64_t open_flag, const ClassLinkRule& link) {
  PreorderTree::Change change(kMenuTree, conn, channel);
  Recordset rs;
  rs.Open("select d_order, d_child from Vantrel_ArticleClass where d_id = ? and d_channelid = ?",
          {Variant(class_id), Variant(channel)}, conn, 0, 1);
  if (rs.Eof()) return MenuTreeStatus::kNoClass;
  const int64_t order = rs["d_order"].ToInt64Or(0);
  const int64_t child = with_subclasses ? rs["d_child"].ToInt64Or(0) : 0;
  rs.Close();

  std::vector<PreorderTree::Change::BlockRow> rows;
  rs.Open(
      "select d_id, d_name, d_level, d_dir from Vantrel_ArticleClass where d_order >= ? and "
      "d_order <= ? and d_channelid = ? order by d_order",
      {Variant(order), Variant(order + child), Variant(channel)}, conn, 0, 1);
  int64_t base = -1;
  for (; !rs.Eof(); rs.MoveNext()) {
    // The picked class first (its own position), then its descendants.
    if (rows.empty() && rs["d_id"].ToInt64Or(0) != class_id) continue;
    PreorderTree::Change::BlockRow row = ClassCopy(rs, open_flag, with_subclasses ? 1 : 0, link);
    if (base < 0) base = row.level;
    row.level -= base;
    if (!rows.empty() && row.level <= 0) break;  // past the picked class's subtree
    rows.push_back(std::move(row));
  }
  rs.Close();
  if (rows.empty()) return MenuTreeStatus::kNoClass;
  change.AppendBlock(std::move(rows));
  change.Commit();
  return MenuTreeStatus::kDone;
}

void ImportClassTree(Connection& conn, int64_t channel, const std::string& home_link,
                     const ClassLinkRule& link) {
  PreorderTree::Change change(kMenuTree, conn, channel);
  std::vector<PreorderTree::Change::BlockRow> home;
  home.push_back({.fill = Fill({.name = "首 页", .link_url = home_link})});
  change.AppendBlock(std::move(home));
  std::vector<PreorderTree::Change::BlockRow> rows;
  Recordset rs;
  rs.Open(
      "select d_id, d_name, d_level, d_dir from Vantrel_ArticleClass where d_channelid = ? order "
      "by d_order",
      {Variant(channel)}, conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) rows.push_back(ClassCopy(rs, 0, 1, link));
  rs.Close();
  change.AppendBlock(std::move(rows));
  change.Commit();
}

MenuTreeStatus MoveMenuItemUp(Connection& conn, int64_t channel, int64_t id) {
  return MenuStatus(kMenuTree.MoveUp(conn, channel, id));
}

MenuTreeStatus MoveMenuItemDown(Connection& conn, int64_t channel, int64_t id) {
  return MenuStatus(kMenuTree.MoveDown(conn, channel, id));
}

MenuTreeStatus DeleteMenuItem(Connection& conn, int64_t channel, int64_t id) {
  return MenuStatus(kMenuTree.Delete(conn, channel, id));
}

void EmptyMenu(Connection& conn, int64_t channel) {
  conn.Execute("delete from Vantrel_NaviMenu where d_channelid = ?", {Variant(channel)});
}

}  // namespace folirex
