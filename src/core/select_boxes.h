// Select-box builders and row lookups. The builders return the HTML of a one-line drop-down list
// whose options come from a select (column 0 the shown text, column 1 the value) or from two
// parallel arrays, with the option whose value equals `selected` (compared as text, so "2"
// matches 2) marked " selected". Option texts and values are encoded for their place; the name,
// the first text, the attributes and the onchange script are the caller's markup and are placed
// unchanged. The lookups read one text column of one row by its id: GetNameByID the name of a
// class or subject, GetDirByID its folder, the id bound as a number.
//
// Every call that reads the database opens and closes a recordset of its own on `db.Conn`, so the
// shared recordset and db.Sql are not disturbed; the connection must be open. Not thread-safe
// (they belong to the request's worker). Database failures throw DbError; a table name that is
// not a plain name or an id that is not a whole number throws DbError before any SQL is built.
#ifndef FOLIREX_CORE_SELECT_BOXES_H_
#define FOLIREX_CORE_SELECT_BOXES_H_

#include <string>
#include <string_view>
#include <vector>

#include "core/request_state.h"
#include "platform/db/kept_reads.h"
#include "platform/db/variant.h"

namespace folirex {

// "<select name='name' size=1>", then "<option value=''>first_text</option>" when first_text
// is not empty, then one option per row of `sql` when it is not empty, else one per element of
// `texts` (with the value of the same index of `values`, which must be at least as long:
// std::out_of_range otherwise), then "</select>".
std::string BuildSelect(DatabaseState& db, std::string_view name, const std::vector<Variant>& texts,
                        const std::vector<Variant>& values, const Variant& selected,
                        std::string_view sql, std::string_view first_text);

// As BuildSelect over the rows of `sql` (not empty), its "?" placeholders bound to `params` in
// order.
std::string BuildBoundSelect(DatabaseState& db, std::string_view name, const Variant& selected,
                             std::string_view sql, const std::vector<Variant>& params,
                             std::string_view first_text);

// The same over a kept read (platform/db/kept_reads.h): its rows come from memory while the
// settings tables it names stay the same.
std::string BuildBoundSelect(DatabaseState& db, std::string_view name, const Variant& selected,
                             const db::KeptRead& read, std::string_view first_text);

// As BuildSelect, with "<select name='name' size=1 " + attributes + ">" (the blank stays when
// the attributes are empty).
std::string BuildSelectAttr(DatabaseState& db, std::string_view name,
                            const std::vector<Variant>& texts, const std::vector<Variant>& values,
                            const Variant& selected, std::string_view sql,
                            std::string_view first_text, std::string_view attributes);

// As BuildSelect, with ` onchange="script"` in the select tag when the script is not empty.
std::string BuildSelectOnChange(DatabaseState& db, std::string_view name,
                                const std::vector<Variant>& texts,
                                const std::vector<Variant>& values, const Variant& selected,
                                std::string_view sql, std::string_view first_text,
                                std::string_view onchange);

// A select of the template sets (`page_type` empty) or of the template pages of `page_type` of
// every channel, in id order. Sets and pages of different channels often share a name (each
// channel's copy of "默认方案"), so each option reads "name（channel name）", "系统" standing for
// the site's own pages; the value is the row's d_id. Otherwise as BuildSelect.
std::string BuildTemplateSelect(DatabaseState& db, std::string_view name,
                                std::string_view page_type, const Variant& selected,
                                std::string_view first_text);

// The trimmed d_name of the row of `table` with d_id = id, or "不属于任何分类" when there is no
// such row.
std::string GetNameByID(DatabaseState& db, std::string_view table, const Variant& id);

// The trimmed d_dir of the row of `table` with d_id = id, or empty text when there is no such
// row or the folder is Null.
std::string GetDirByID(DatabaseState& db, std::string_view table, const Variant& id);

}  // namespace folirex

#endif  // FOLIREX_CORE_SELECT_BOXES_H_
