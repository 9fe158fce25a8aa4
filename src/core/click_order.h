// The order of clicks on PostgreSQL. A click rewrites its article's row; when no index of
// Vantrel_Article holds a column the click changes, PostgreSQL writes the new row beside the old
// one on the same page and touches none of the table's indexes (a heap-only update).
// d_clicktimes is therefore indexed outside the table: Vantrel_ArticleClickOrder holds, for every
// article, the columns of a channel's list in the order of clicks (channel, recycle state,
// approval, pinning, clicks), kept in step by triggers on Vantrel_Article, so every writer on any
// host keeps it exact. SQLite, which has no such updates, keeps its index on the table.
#ifndef FOLIREX_CORE_CLICK_ORDER_H_
#define FOLIREX_CORE_CLICK_ORDER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace folirex {

// PostgreSQL: the table, its index and its triggers, which keep the rows of every article written
// from then on. Each statement may run again over structures made before.
std::vector<std::string> ClickOrderStatements();

// PostgreSQL: gives the articles with ids from `low` to `high` their rows, leaving those the
// triggers wrote meanwhile (they are the articles as they are now).
std::string ClickOrderFillStep(int64_t low, int64_t high);

// PostgreSQL: once every article has its row: the rows of articles removed while no trigger kept
// the table, and the end of the articles' own index of clicks, which the lists read until then.
std::vector<std::string> ClickOrderFinish();

// PostgreSQL: `columns` (a comma list of columns of Vantrel_Article) of channel `channel`'s live
// approved articles that also meet `cond` (in the pages' dialect, on Vantrel_Article's columns),
// read through the kept order: d_topflag and d_clicktimes are the kept order's copies, so that a
// select around this one in the order "d_topflag, d_clicktimes desc" reads the rows in the order
// of its index. With `count` above 0, its first `count` rows in that order; among equal clicks
// the older article first, as SQLite's index gives them.
std::string ClickOrderedSelect(int count, std::string_view columns, std::string_view channel,
                               std::string_view cond);

}  // namespace folirex

#endif  // FOLIREX_CORE_CLICK_ORDER_H_
