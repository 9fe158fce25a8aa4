// The navigation menu of a channel (Vantrel_NaviMenu), a forest kept in pre-order like the class
// tree: listed by d_order the items of a channel form a depth-first walk, an item and its
// descendants hold the positions d_order .. d_order + d_child (d_child counts all descendants),
// positions run 1..N without gaps, d_path lists the ids from the top item down to the item (each
// followed by ","), d_level is the number of those ids less one, d_rootid the first and d_pid
// the one before the last (0 at the top). The menu is a PreorderTree (core/preorder_tree.h); what
// is the menu's own here is its items' texts and links and the copies of classes.
//
// Every change keeps those rules, also the delete, which closes the gap its subtree leaves. Each
// runs in one transaction on `conn` (after taking the channel's row as a lock, so two changes of
// one channel run one after the other): a failure rolls back and leaves the menu as it was.
// Items and classes are always looked up with the channel as a condition, so an id of another
// channel counts as none.
//
// Not thread-safe (the connection is not). Database failures throw DbError after the rollback.
#ifndef FOLIREX_PUBLISHING_NAVI_MENU_TREE_H_
#define FOLIREX_PUBLISHING_NAVI_MENU_TREE_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/preorder_tree.h"
#include "platform/db/connection.h"

namespace folirex {

// The tree columns of one item.
using MenuNode = PreorderNode;

// What a custom item's form sets: its text, open mode (0 same window, 1 new window), link and
// icon address.
struct MenuItemText {
  std::string name;
  int64_t open_flag = 0;
  std::string link_url;
  std::string pic_url;
};

enum class MenuTreeStatus {
  kDone,
  kNothingToDo,  // up on a first sibling, down on a last one
  kNoItem,       // the id names no item of the channel (or its stored path is not ids)
  kNoClass,      // the id names no class of the channel
};

// The link of an item made from a class: (class id, class folder) to the address.
using ClassLinkRule = std::function<std::string(int64_t, const std::string&)>;

std::optional<MenuNode> FindMenuItem(Connection& conn, int64_t channel, int64_t id);

// Adds a custom item (type 1) as the last child of `parent` (0: the last top-level item); *new_id
// its id. kNoItem when the parent is not an item of the channel.
MenuTreeStatus AddMenuItem(Connection& conn, int64_t channel, int64_t parent,
                           const MenuItemText& item, int64_t* new_id);

// Changes the text, open mode, link and icon of an item; its place in the tree stays.
MenuTreeStatus UpdateMenuItem(Connection& conn, int64_t channel, int64_t id,
                              const MenuItemText& item);

// Appends a copy of the class `class_id` at the end of the menu as a top-level item: alone
// (with_subclasses false), or with its sub-classes below it in their shape. The copies are class
// items (type 0) opening with `open_flag`, linked by `link`.
MenuTreeStatus AddClassItems(Connection& conn, int64_t channel, int64_t class_id,
                             bool with_subclasses, int64_t open_flag, const ClassLinkRule& link);

// Appends the home item "首 页" (linked to `home_link`) and a copy of the channel's whole class
// tree, its top classes as top-level items.
void ImportClassTree(Connection& conn, int64_t channel, const std::string& home_link,
                     const ClassLinkRule& link);

// Swaps the item (with its subtree) with its previous or next sibling's subtree.
MenuTreeStatus MoveMenuItemUp(Connection& conn, int64_t channel, int64_t id);
MenuTreeStatus MoveMenuItemDown(Connection& conn, int64_t channel, int64_t id);

// Deletes the item with its subtree; its ancestors lose the deleted count and the later positions
// close up.
MenuTreeStatus DeleteMenuItem(Connection& conn, int64_t channel, int64_t id);

// Deletes every item of the channel.
void EmptyMenu(Connection& conn, int64_t channel);

}  // namespace folirex

#endif  // FOLIREX_PUBLISHING_NAVI_MENU_TREE_H_
