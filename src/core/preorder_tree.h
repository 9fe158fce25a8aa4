// A forest kept in pre-order in one table, several forests side by side (one per scope, e.g. a
// channel), as the class tree and the navigation menu keep theirs. Listed by position the rows
// of a scope form a depth-first walk of its forest; a node and its descendants hold the positions
// order .. order + child (child counts all descendants); positions run 1..N without gaps; path
// lists the ids from the top node down to the node, each followed by ","; level is the number of
// those ids less one, root the first and pid the one before the last (0 at the top).
//
// Every change keeps those rules. Each runs its statements in one transaction on the connection,
// after taking the scope's own row (in another table) as a lock, so that two changes of one
// scope run one after the other: a failure rolls back and leaves the forest as it was. The
// number of statements does not grow with the number of nodes: positions move by ranges. A node
// is always looked up with its scope as a condition, so an id of another scope counts as none.
// Every id and value reaches SQL bound.
//
// A PreorderTree only describes a table; it holds no connection and may be shared. Not
// thread-safe beyond that (the connection is not). Database failures throw DbError after the
// rollback.
#ifndef FOLIREX_CORE_PREORDER_TREE_H_
#define FOLIREX_CORE_PREORDER_TREE_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"

namespace folirex {

// The names of a tree table and of its columns. The tables keep their own names; the defaults are
// the ones both trees use. `id` must be the autonumber that an added row is read back by (d_id).
struct PreorderTable {
  std::string_view table;
  std::string_view scope = "d_channelid";
  std::string_view id = "d_id";
  std::string_view pid = "d_pid";
  std::string_view order = "d_order";
  std::string_view child = "d_child";
  std::string_view level = "d_level";
  std::string_view root = "d_rootid";
  std::string_view path = "d_path";
  // The scope's own row, updated to itself as the lock of a change.
  std::string_view lock_table = "Vantrel_Channel";
  std::string_view lock_key = "d_id";
};

// The tree columns of one node.
struct PreorderNode {
  int64_t id = 0;
  int64_t pid = 0;
  int64_t order = 0;
  int64_t child = 0;
  int64_t level = 0;
  int64_t root_id = 0;
  std::string path;
};

enum class PreorderStatus {
  kDone,
  kNothingToDo,     // up on a first sibling, down on a last one, flattening a lower node
  kNoNode,          // the id (or an insert's parent) names no node of the scope, or its path is
                    // not a list of ids
  kNoTarget,        // a move's target names no node of the scope
  kSameNode,        // a move onto the node itself
  kSamePlace,       // a move to the parent the node already has
  kIntoOwnSubtree,  // a move under one of the node's own descendants
};

// Sets the columns of a new row that are not the tree's, on the recordset adding it.
using PreorderRowFill = std::function<void(Recordset&)>;

// The ids of a stored path ("5,12,40,"): the node and its ancestors, top first. False when the
// path is not a list of ids.
bool PathIds(std::string_view path, std::vector<int64_t>* ids);

class PreorderTree {
 public:
  class Change;

  constexpr explicit PreorderTree(PreorderTable table) : table_(table) {}

  // The node `id` of `scope`; nullopt when there is none.
  std::optional<PreorderNode> Find(Connection& conn, int64_t scope, int64_t id) const;

  // Adds a row as the last child of `parent` (0: the last top-level node); `fill` sets its own
  // columns; *new_id (when given) its id. kNoNode when the parent is not a node of the scope.
  PreorderStatus Insert(Connection& conn, int64_t scope, int64_t parent,
                        const PreorderRowFill& fill, int64_t* new_id) const;

  // Swaps the node (with its subtree) with its previous or next sibling's subtree. A subtree
  // ends at the first later row at its level or above.
  PreorderStatus MoveUp(Connection& conn, int64_t scope, int64_t id) const;
  PreorderStatus MoveDown(Connection& conn, int64_t scope, int64_t id) const;

  // Moves the node with its subtree to be the first child of `to`, or with `to` 0 the last
  // top-level node.
  PreorderStatus Move(Connection& conn, int64_t scope, int64_t id, int64_t to) const;

  // Makes every descendant of the top-level node `id` its direct child (a leaf), positions kept.
  // kNothingToDo for a node that is not top-level.
  PreorderStatus Flatten(Connection& conn, int64_t scope, int64_t id) const;

  // Deletes the node with its subtree; its ancestors lose the deleted count and the later
  // positions close up. `before`, when given, runs inside the change before the rows go (the
  // subtree is then still at the positions node.order .. node.order + node.child).
  PreorderStatus Delete(Connection& conn, int64_t scope, int64_t id,
                        const std::function<void(const PreorderNode&)>& before = nullptr) const;

  // The repair: gives the scope's nodes the positions 1..N in their present order (equal
  // positions in id order). Nothing else changes.
  void Renumber(Connection& conn, int64_t scope) const;

 private:
  // MoveUp (previous) and MoveDown.
  PreorderStatus SwapWithSibling(Connection& conn, int64_t scope, int64_t id, bool previous) const;

  // The SQL text with "{table}", "{id}", "{order}", ... (the fields of PreorderTable) replaced by
  // the table's names.
  std::string Sql(std::string_view text) const;

  PreorderTable table_;
};

// One change of one scope's forest: a transaction, begun by taking the scope's row as the lock.
// It rolls back unless committed. For changes that read or write other tables in the same
// transaction; the tree's own changes above each make one of their own.
class PreorderTree::Change {
 public:
  // One row of a block to append: its depth within the block and a fill for its own columns.
  struct BlockRow {
    int64_t level = 0;
    PreorderRowFill fill;
  };

  // Begins the change; the tree must outlive it. Throws DbError when the lock cannot be taken.
  Change(const PreorderTree& tree, Connection& conn, int64_t scope);
  Change(const Change&) = delete;
  Change& operator=(const Change&) = delete;

  std::optional<PreorderNode> Find(int64_t id) const { return tree_.Find(conn_, scope_, id); }

  // Appends the rows at the end of the scope as a block in pre-order whose first row is
  // top-level. Levels are taken as a walk: a level never steps down by more than one from the
  // row before, so a source tree that breaks the rule still gives a sound forest; each row's
  // descendant count is counted from the block itself.
  void AppendBlock(std::vector<BlockRow> rows);

  void Commit() { transaction_.Commit(); }

 private:
  friend class PreorderTree;

  // Where a new or moved row goes: its tree columns but root and path, and what those follow
  // from (a moved subtree is placed before the row now at `order`).
  struct Place {
    int64_t pid = 0;
    int64_t level = 0;
    int64_t child = 0;
    int64_t order = 0;
    int64_t root = 0;      // 0: the new row is top-level, its own root
    std::string prefix{};  // the parent's path
  };

  int64_t Execute(std::string_view sql, const std::vector<Variant>& params);
  Variant Scalar(std::string_view sql, const std::vector<Variant>& params);
  // The position after the scope's last row (1 for an empty scope).
  int64_t End();
  // The position just past the subtree of the row at `order` whose level is `level`.
  int64_t SubtreeEnd(int64_t order, int64_t level);
  // Swaps the adjacent position ranges [first, middle) and [middle, end).
  void SwapRanges(int64_t first, int64_t middle, int64_t end);
  // `delta` descendants more (or fewer) for the nodes `ids`, less `except`.
  void AddToCounts(const std::vector<int64_t>& ids, int64_t delta, int64_t except);
  // Where the subtree of `x` goes in a move under `to` (0: the top level), and the ids of `to`'s
  // line; kNoTarget or kIntoOwnSubtree when it cannot go there.
  PreorderStatus PlaceMoved(const PreorderNode& x, int64_t to, Place* place,
                            std::vector<int64_t>* new_line);
  // Moves the subtree of `x` (whose line of ids is `old_line`) to `place`.
  void MoveSubtree(const PreorderNode& x, const std::vector<int64_t>& old_line, const Place& place,
                   const std::vector<int64_t>& new_line);
  // Adds the row, completes its root and path, and answers its id.
  int64_t InsertRow(const Place& place, const PreorderRowFill& fill);

  const PreorderTree& tree_;
  Connection& conn_;
  const int64_t scope_;
  ScopedTransaction transaction_;
};

}  // namespace folirex

#endif  // FOLIREX_CORE_PREORDER_TREE_H_
