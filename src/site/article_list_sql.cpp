#include "site/article_list_sql.h"

#include <cstdint>

#include "core/click_order.h"
#include "core/list_structures.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/db/sql_params.h"
#include "platform/text/vb_text.h"
#include "site/list_support.h"

namespace folirex {
namespace {

constexpr int kFieldCount = 22;

constexpr const char* kListColumns =
    "d_id,d_classid, d_title, d_titleprefix, d_fontshape, d_addtime, "
    "d_titlecolor, d_hotflag, "
    "d_recommendflag, d_topflag, d_author, d_clicktimes, d_linkurl";

// The order of a list by its order code, for the joined select (alias a); any other code leaves
// the rows unsorted.
std::string OuterOrder(int code) {
  const std::string order = OrderByClause(ChipOrderKeys(code), "a.");
  return order.empty() ? " " : order;
}

// Digits that also fit the 16-bit reading every number field of a chip gets.
bool IsSmallDigits(const std::string& field, int max_value = 32767) {
  if (!IsDigits(field)) return false;
  std::optional<int16_t> n = ChipInt16(field);
  return n.has_value() && *n <= max_value;
}

bool FieldsValid(const std::vector<std::string>& f) {
  if (static_cast<int>(f.size()) != kFieldCount) return false;
  // Fields 1 and 8 are read as 16-bit numbers further on: a value beyond that
  // range is refused here rather than failing the page.
  if (!IsChipNumber(f[0])) return false;
  if (!IsChipNumber(f[1]) || !ChipInt16(f[1])) return false;
  if (!IsChipFlag(f[2])) return false;
  if (!IsChipNumber(f[3])) return false;
  if (!IsSmallDigits(f[4])) return false;
  if (!IsChipFlag(f[5]) || !IsChipFlag(f[6])) return false;
  if (!IsSmallDigits(f[8]) || !IsSmallDigits(f[9]) || !IsSmallDigits(f[10])) return false;
  if (!IsChipFlag(f[11])) return false;
  if (!IsSmallDigits(f[12], 2) || !IsSmallDigits(f[13], 3)) return false;
  for (int i = 14; i <= 20; ++i) {
    if (!IsChipFlag(f[i])) return false;
  }
  return IsSmallDigits(f[21]);
}

}  // namespace

ArticleListChip ReadArticleListFields(const std::vector<std::string>& f) {
  ArticleListChip chip;
  chip.selection = ReadChipSelection(f);
  chip.author = Trim(f[7]);
  chip.days = ChipInt16(f[8]).value_or(0);
  chip.title_length = ChipInt16(f[9]).value_or(0);
  const int columns = ChipInt16(f[10]).value_or(0);
  chip.columns = columns > 0 ? columns : 1;
  chip.show_prefix = ChipFlagOn(f[11]);
  chip.marks = ChipInt16(f[12]).value_or(0);
  chip.date_style = ChipInt16(f[13]).value_or(0);
  chip.show_class = ChipFlagOn(f[14]);
  chip.show_clicks = ChipFlagOn(f[15]);
  chip.show_hot_mark = ChipFlagOn(f[16]);
  chip.show_new_mark = ChipFlagOn(f[17]);
  chip.show_author = ChipFlagOn(f[18]);
  // The paging flag alone is trimmed before it is compared.
  chip.paged = LCase(Trim(f[19])) == "true";
  chip.show_comment_link = ChipFlagOn(f[20]);
  chip.order_code = ChipInt16(f[21]).value_or(0);
  return chip;
}

std::optional<ArticleListChip> ParseArticleListChip(const Variant& params) {
  std::vector<std::string> f = SplitChipParams(params);
  if (!FieldsValid(f)) return std::nullopt;
  return ReadArticleListFields(f);
}

std::string ArticleListSelect(const std::string& inner, int order_code) {
  return "select a.d_id,a.d_classid, a.d_title, a.d_titleprefix, "
         "a.d_fontshape, a.d_addtime, "
         "a.d_titlecolor, a.d_hotflag, a.d_recommendflag, a.d_topflag, "
         "a.d_author, a.d_clicktimes, "
         "a.d_linkurl, b.d_dir, b.d_name, b.d_commentflag, "
         "b.d_commentcheckflag from (" +
         inner +
         ") a left outer join (select d_id,d_dir, d_name, d_commentflag, "
         "d_commentcheckflag from "
         "Vantrel_ArticleClass) b on a.d_classid=b.d_id " +
         OuterOrder(order_code);
}

std::string ArticleListSelectFrom(const std::string& source, int order_code) {
  return ArticleListSelect(std::string("select ") + kListColumns + " from " + source, order_code);
}

ArticleListQuery BuildArticleListQuery(DatabaseState& db, const ChannelSettings& channel,
                                       const ArticleListChip& chip, const Variant& page_type,
                                       std::optional<int64_t> class_id,
                                       std::optional<int64_t> subject_id) {
  const ChipSelection& selection = chip.selection;
  ArticleListQuery q;
  ListQuery& list = q.list;
  list.And(ConditionKind::kLogged, "d_deleted = false")
      .And(ConditionKind::kLogged, "d_checked = true")
      .And(ConditionKind::kLogged, "d_channelid = ?",
           {ChipChannelValue(channel, selection.channel)});

  const std::string type = page_type.ToString();
  // The page's class may be any whole number; the chip's own field was checked above.
  Variant class_value(selection.class_id);
  int count = selection.count;
  if (type == "classlist") {
    class_value = PageClassValue(class_id);
  } else if (type == "subjectlist" || type == "hotlist" || type == "newlist" ||
             type == "recommendlist") {
    count = 0;
  }

  for (ListCondition& c :
       ClassSubjectAndFlagConditions(db, selection, class_value, type, subject_id)) {
    list.And(std::move(c));
  }

  if (!chip.author.empty()) {
    list.And(ConditionKind::kLogged, "d_author = ?", {Variant(chip.author)});
  }

  if (chip.days > 0) {
    list.And(ConditionKind::kTimed, "datediff('y', d_addtime, now) <= ?",
             {Variant(static_cast<long long>(chip.days))});
  }

  // A top-N select takes the list's own order, so that the N rows are the first
  // N of the list and not whichever rows the database meets first.
  list.first_rows = count == 0 && type == "first" ? 10 : count;
  list.order = ChipOrderKeys(chip.order_code);
  q.params = list.Values();
  const bool postgres = db.Conn->engine() == SqlEngine::kPostgres;
  // PostgreSQL reads the most clicked first through the order of clicks kept beside the
  // articles: the same rows in the same order, once it is built (ListStructuresReady). The
  // pager's count still counts the articles.
  if (chip.order_code == 6 && postgres && ListStructuresReady(*db.Conn, db.Lists)) {
    q.select = ArticleListSelect(
        ClickOrderedSelect(static_cast<int>(list.first_rows), kListColumns,
                           ChipChannelId(channel, selection.channel), " " + list.Condition()),
        chip.order_code);
    return q;
  }
  // A class with its sub-classes: PostgreSQL reads "d_classid in (...)" in the list's order
  // only by walking the whole channel's list and testing each row, a hundred rows and more for
  // a page of a small class; each class's first rows come from its own index instead. A paged
  // list's pager reads its pages from `list` itself.
  if (postgres && !chip.paged) {
    if (std::optional<BoundSql> merged = list.MergedRows(kListColumns)) {
      q.select = ArticleListSelect(merged->sql, chip.order_code);
      q.params = std::move(merged->params);
      return q;
    }
  }
  q.select = ArticleListSelect(list.Rows(kListColumns), chip.order_code);
  return q;
}

BoundSql GetArticleListSql(DatabaseState& db, const ChannelSettings& channel, const Variant& params,
                           const Variant& page_type, std::optional<int64_t> class_id,
                           std::optional<int64_t> subject_id) {
  std::optional<ArticleListChip> chip = ParseArticleListChip(params);
  if (!chip) return {};
  ArticleListQuery q = BuildArticleListQuery(db, channel, *chip, page_type, class_id, subject_id);
  return BoundSql{std::move(q.select), std::move(q.params)};
}

std::string GetClassAndChildIds(DatabaseState& db, const Variant& class_id) {
  std::string ids;
  for (int64_t id : ClassAndChildIds(db, class_id)) {
    ids += (ids.empty() ? "" : ",") + std::to_string(id);
  }
  return ids;
}

std::vector<int64_t> ClassAndChildIds(DatabaseState& db, const Variant& class_id) {
  Variant id(Trim(class_id.ToString()));
  if (!IsDigits(id) || id.ToString().size() > 9) return {};
  Recordset rs;
  rs.Open(db::KeptRead{.tables = {"Vantrel_ArticleClass"},
                       .sql = "select d_channelid, d_child, d_order from Vantrel_ArticleClass "
                              "where d_id = ?",
                       .values = {Variant(id.ToInt64())}},
          *db.Conn);
  if (rs.Eof()) {
    rs.Close();
    return {};
  }
  const int64_t child = rs["d_child"].ToInt64Or(0);
  const int64_t order = rs["d_order"].ToInt64Or(0);
  const int64_t channel = rs["d_channelid"].ToInt64Or(0);
  rs.Close();

  // The subtree is the run of pre-order positions from the class's own to its
  // last descendant.
  rs.Open(db::KeptRead{.tables = {"Vantrel_ArticleClass"},
                       .sql = "select d_id from Vantrel_ArticleClass where d_order >= ? and "
                              "d_order <= ? and d_channelid = ?",
                       .values = {SqlNumber(order), SqlNumber(order + (child > 0 ? child : 0)),
                                  SqlNumber(channel)}},
          *db.Conn);
  std::vector<int64_t> ids;
  while (!rs.Eof()) {
    ids.push_back(rs["d_id"].ToInt64Or(0));
    rs.MoveNext();
  }
  rs.Close();
  return ids;
}

}  // namespace folirex
