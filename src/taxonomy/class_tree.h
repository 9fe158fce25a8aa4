// The class tree of a channel (Vantrel_ArticleClass), kept in pre-order so that every reader gets
// a subtree or an ancestor chain with one query: listed by d_order the classes of a channel form
// a depth-first walk of its forest, a class and its descendants hold the positions d_order ..
// d_order + d_child, positions run 1..N without gaps, d_path lists the ids from the top class down
// to the class (each followed by ","), d_level is the number of those ids less one, d_rootid the
// first and d_pid the one before the last (0 at the top). The tree is a PreorderTree
// (core/preorder_tree.h); what is the class tree's own here is its settings and its articles.
//
// Every change here keeps those rules. Each runs its statements in one transaction on `conn`
// (after taking the channel's row as a lock, so two changes of one channel run one after the
// other): a failure rolls back and leaves the tree as it was. The number of statements does not
// grow with the number of classes: positions move by ranges. A class is always looked up with
// its channel as a condition, so an id of another channel's class counts as no class.
//
// Not thread-safe (the connection is not). Database failures throw DbError after the rollback.
#ifndef FOLIREX_TAXONOMY_CLASS_TREE_H_
#define FOLIREX_TAXONOMY_CLASS_TREE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/preorder_tree.h"
#include "platform/db/connection.h"

namespace folirex {

// The tree columns of one class.
using ClassNode = PreorderNode;

// The settings of a class, as the add form and the settings update write them.
struct ClassSettings {
  std::string name;
  std::string dir;
  int64_t page_size = 20;
  bool comments = true;
  bool comments_checked = true;
  bool add_article = true;
  int64_t points = 1;
  int64_t template_page = 0;
};

enum class ClassTreeStatus {
  kDone,
  kNothingToDo,     // up on a first sibling, down on a last one, reset of a lower class
  kNoClass,         // the id names no class of the channel (or its stored path is not ids)
  kNoTarget,        // the move's target names no class of the channel
  kSameClass,       // a move onto the class itself
  kSamePlace,       // a move to the parent the class already has
  kIntoOwnSubtree,  // a move under one of the class's own descendants
};

// The class `id` of `channel`; nullopt when there is none.
std::optional<ClassNode> FindClass(Connection& conn, int64_t channel, int64_t id);

// Adds a class as the last child of `parent` (0: the last top-level class); *new_id its id.
// kNoClass when the parent is not a class of the channel.
ClassTreeStatus AddClass(Connection& conn, int64_t channel, int64_t parent,
                         const ClassSettings& settings, int64_t* new_id);

// Swaps the class (with its subtree) with its previous or next sibling's subtree.
ClassTreeStatus MoveClassUp(Connection& conn, int64_t channel, int64_t id);
ClassTreeStatus MoveClassDown(Connection& conn, int64_t channel, int64_t id);

// Makes every descendant of the top-level class `id` its direct child (a leaf), positions kept.
// kNothingToDo for a class that is not top-level.
ClassTreeStatus ResetClass(Connection& conn, int64_t channel, int64_t id);

// Moves the class with its subtree to be the first child of `to`, or with `to` 0 the last
// top-level class.
ClassTreeStatus MoveClass(Connection& conn, int64_t channel, int64_t id, int64_t to);

// Deletes the class, its descendants and their articles for good; the later positions close up.
ClassTreeStatus DeleteClass(Connection& conn, int64_t channel, int64_t id);

// Moves the articles of the classes and of their descendants to the recycle bin (their static
// pages stale). kNoClass, nothing changed, when any id is not a class of the channel or the list
// is empty.
ClassTreeStatus EmptyClasses(Connection& conn, int64_t channel, const std::vector<int64_t>& ids);

// The repair: gives the channel's classes the positions 1..N in their present order (equal
// positions in id order). Nothing else changes.
void RenumberClasses(Connection& conn, int64_t channel);

}  // namespace folirex

#endif  // FOLIREX_TAXONOMY_CLASS_TREE_H_
