#include "site/article_list.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/reads_ahead.h"
#include "core/script_link.h"
#include "core/select_boxes.h"
#include "core/site_config.h"
#include "core/text_helpers.h"
#include "platform/db/db_error.h"
#include "platform/db/kept_reads.h"
#include "platform/db/recordset.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "site/article_list_sql.h"
#include "site/article_loader.h"
#include "site/class_folders.h"
#include "site/list_support.h"

namespace folirex {
namespace {

constexpr const char* kTableStart =
    "<table width='100%' border='0' align='center' cellpadding='3' "
    "cellspacing='0'>";
constexpr const char* kEmptyList = "<li>暂时没有本类数据！</li>";
constexpr const char* kEmptyPage = "暂时没有数据<br>";

// Whether a page of `type` (lower case) is one of the list pages, whose chips may be paged.
bool IsListPage(std::string_view type) {
  return type == "classlist" || type == "subjectlist" || type == "hotlist" ||
         type == "recommendlist" || type == "newlist";
}

// Whether ShowArticleList draws the chip's list whole (its rows read by one select), on a page
// of `type` (lower case).
bool DrawnWhole(std::string_view type, const ArticleListChip& chip) {
  return type == "first" || (IsListPage(type) && !chip.paged);
}

// The values of one list row, by the positions of the list query.
struct ListRow {
  Variant id, class_id, title, title_prefix, font_shape, add_time, title_color, hot, recommend, top,
      author, clicks, link_url, class_dir, class_name, comment_flag;
};

ListRow RowFromRecordset(const Recordset& rs) {
  return ListRow{rs["d_id"],          rs["d_classid"],   rs["d_title"],
                 rs["d_titleprefix"], rs["d_fontshape"], rs["d_addtime"],
                 rs["d_titlecolor"],  rs["d_hotflag"],   rs["d_recommendflag"],
                 rs["d_topflag"],     rs["d_author"],    rs["d_clicktimes"],
                 rs["d_linkurl"],     rs["d_dir"],       rs["d_name"],
                 rs["d_commentflag"]};
}

ListRow RowFromArray(const std::vector<Variant>& row) {
  auto at = [&row](size_t i) { return i < row.size() ? row[i] : Variant::Null(); };
  return ListRow{at(0), at(1), at(2),  at(3),  at(4),  at(5),  at(6),  at(7),
                 at(8), at(9), at(10), at(11), at(12), at(13), at(14), at(15)};
}

bool IsTrue(const Variant& flag) { return flag == Variant(true); }

bool IsNullOrEmpty(const Variant& v) { return v.IsNull() || v.ToString().empty(); }

std::string TitlePrefix(const Variant& code) {
  const std::string c = code.ToString();
  if (c == "1") return "<font color=green>[图文]</font>";
  if (c == "2") return "<font color=blue>[组图]</font>";
  if (c == "3") return "<font color=red>[推荐]</font>";
  if (c == "4") return "<font color=red>[注意]</font>";
  return "";
}

// What the drawing of every row needs, read once per list: the settings of the
// channel whose articles the list shows.
struct DrawContext {
  const ChannelSettings& channel;
  std::string install_path;
  std::string channel_path;
  std::string channel_id;
  std::string mode;  // GenerateHtml as text
};

DrawContext MakeContext(RequestState& state, const ChannelSettings& channel) {
  return DrawContext{channel, InstallPath(state), ChannelPathOf(state, channel),
                     channel.ChannelID.ToString(), channel.GenerateHtml.ToString()};
}

// The title prefix and the class link in front of the title.
std::string ItemLead(const ArticleListChip& chip, const DrawContext& ctx, const ListRow& row) {
  const ChannelSettings& channel = ctx.channel;
  std::string lead;
  if (chip.show_prefix) lead = TitlePrefix(row.title_prefix);
  if (chip.show_class && !row.class_name.IsNull()) {
    const std::string name = HtmlEscapeText(row.class_name.ToString());
    if (ctx.mode == "0" || ctx.mode == "2") {
      lead += "<a href='" + ctx.install_path +
              "asp.asp?m=classlist&classid=" + row.class_id.ToString() +
              "&channelid=" + ctx.channel_id + "'>[" + name + "]</a>";
    } else if (ctx.mode == "1") {
      lead += "<a href='" + ClassListDirFor(ctx.channel_path, channel.ListDirType, row.class_dir) +
              "list_" + row.class_id.ToString() + channel.ListFileExt + "'>[" + name + "]</a>";
    }
  }
  return lead;
}

// The title, styled and cut, linked to the article (its redirect link, its dynamic page or its
// static file, by the channel's mode).
std::string ItemLink(const ArticleListChip& chip, const DrawContext& ctx, const ListRow& row) {
  const ChannelSettings& channel = ctx.channel;
  const std::string title = row.title.ToString();
  const std::string title_text =
      chip.title_length > 0 ? CutStr(row.title, chip.title_length) : title;
  const std::string shape = Trim(row.font_shape.ToString());
  std::string open = "<font color='";
  std::string close = "</font>";
  if (shape == "1") {
    open = "<b><font color='", close = "</font></b>";
  } else if (shape == "2") {
    open = "<i><font color='", close = "</font></i>";
  } else if (shape == "3") {
    open = "<b><i><font color='", close = "</font></i></b>";
  }
  const std::string styled =
      open + HtmlEscapeAttr(row.title_color.ToString()) + "'>" + HtmlEscapeText(title_text) + close;

  const std::string tip = "\"" + HtmlEscapeAttr(title) + "\">";
  std::string link;
  if (!IsNullOrEmpty(row.link_url)) {
    // A script link stored before such links were refused is drawn harmless.
    link = "<a href='" + HtmlEscapeAttr(SafeLink(row.link_url.ToString())) +
           "' target='_blank' title=" + tip + styled + "</a>";
  } else if (ctx.mode == "0") {
    link = "<a href='" + ctx.install_path + "asp.asp?m=content&articleid=" + row.id.ToString() +
           "&channelid=" + ctx.channel_id + "' title=" + tip + styled + "</a>";
  } else if (ctx.mode == "1" || ctx.mode == "2") {
    std::string href = ctx.channel_path;
    if (!IsNullOrEmpty(row.class_dir)) href += row.class_dir.ToString() + "/";
    href += GetContentFileName(channel.ChannelDir, row.id, row.add_time, channel.ContentFileType,
                               channel.ContentFileExt);
    link = "<a href='" + href + "' title=" + tip + styled + "</a>";
  }
  return link;
}

// What follows the title: comment link, marks, author, date cell and clicks.
std::string ItemTail(const ArticleListChip& chip, const DrawContext& ctx, const ListRow& row) {
  std::string tail;
  if (chip.show_comment_link && IsTrue(row.comment_flag)) {
    tail += "<a href='" + ctx.install_path + "asp.asp?m=comment&articleid=" + row.id.ToString() +
            "&channelid=" + ctx.channel_id + "'>[评论]</a>";
  }
  if (chip.marks == 1) {
    if (IsTrue(row.hot) && chip.show_hot_mark) {
      tail += "<img src='" + ctx.install_path + "images/hot.gif' border=0>";
    }
    if (IsTrue(row.recommend)) {
      tail += "<img src='" + ctx.install_path + "images/recommend.gif' border=0>";
    }
    if (IsTrue(row.top)) tail += "<img src='" + ctx.install_path + "images/top.gif' border=0>";
  } else if (chip.marks == 2) {
    if (IsTrue(row.hot) && chip.show_hot_mark) tail += "<font color=red>热</font>";
    if (IsTrue(row.recommend)) tail += "<font color=green>荐</font>";
    if (IsTrue(row.top)) tail += "<font color=blue>顶</font>";
  }
  const bool is_new = IsNewArticle(row.add_time, ctx.channel.DaysOfNew);
  if (chip.show_new_mark && is_new) {
    tail += "<img src='" + ctx.install_path + "Images/new.gif' border=0>";
  }
  if (chip.show_author) tail += "  " + HtmlEscapeText(row.author.ToString());
  if (chip.date_style >= 1 && chip.date_style <= 3) {
    static constexpr int kFormat[] = {0, 2, 6, 7};
    const std::string date = FormatDate(row.add_time, kFormat[chip.date_style]);
    // The date stands in a cell of its own at the right of the title's cell.
    if (is_new) {
      tail += " </td><td align=right><font color=red>" + date + "</font></td>";
    } else {
      tail += " </td><td align=right>" + date + "</td>";
    }
  }
  if (chip.show_clicks) tail += " " + row.clicks.ToString();
  return tail;
}

// One item of the list. What goes into the page is the header's decision: the markup built here
// as it is, the title, class name, author, colour code and link address encoded for their place,
// and a redirect link that would run script written as "#".
std::string DrawItem(const ArticleListChip& chip, const DrawContext& ctx, const ListRow& row) {
  return ItemLead(chip, ctx, row) + ItemLink(chip, ctx, row) + " " + ItemTail(chip, ctx, row);
}

// Draws the rows into the list table; `cell_start` opens each item's cell.
template <typename NextRow>
std::string DrawTable(const ArticleListChip& chip, const DrawContext& ctx,
                      const std::string& cell_start, NextRow next_row) {
  std::string html = kTableStart;
  const int64_t cols = chip.columns;
  int64_t i = 0;
  ListRow row;
  while (next_row(&row)) {
    ++i;
    if ((i - 1) % cols == 0) html += "<tr>";
    html += cell_start + DrawItem(chip, ctx, row) + "</td>";
    if (i % cols == 0) html += "</tr>";
  }
  if (i % cols > 0) {
    for (int64_t k = i % cols; k < cols; ++k) html += "<td>&nbsp;</td>";
    html += "</tr>";
  }
  html += "</table>";
  return html;
}

// True when the chip's channel field names another channel than the one the page is drawn for.
bool ListsAnotherChannel(const ChannelSettings& channel, const ArticleListChip& chip) {
  return ChipChannelId(channel, chip.selection.channel) != SqlNumber(channel.ChannelID);
}

}  // namespace

std::string RenderArticleList(RequestState& state, const std::vector<std::string>& fields,
                              const BoundSql& sql, const Variant& /*page_type*/) {
  if (fields.size() != 22) return "";
  return RenderArticleList(state, state.channel, ReadArticleListFields(fields), sql);
}

std::string RenderArticleList(RequestState& state, const ChannelSettings& page_channel,
                              const ArticleListChip& chip, const BoundSql& sql) {
  if (Trim(sql.sql).empty()) return "";

  // A chip that lists another channel links its articles with that channel's
  // folder, mode and file names, loaded into a value of its own.
  std::optional<ChannelSettings> other;
  if (ListsAnotherChannel(page_channel, chip)) {
    other = OtherChannelSettings(state, ChipChannelId(page_channel, chip.selection.channel));
    if (!other) return kEmptyList;
  }
  const ChannelSettings& channel = other ? *other : page_channel;

  Recordset rs;
  OpenReadAhead(state, rs, sql.sql, sql.params);
  const DrawContext ctx = MakeContext(state, channel);
  if (rs.Eof()) return kEmptyList;
  const std::string cell_start =
      "<td><img src='" + ctx.channel_path + "images/arrow.gif' valign='absmiddle' border=0>&nbsp;";
  std::string html = DrawTable(chip, ctx, cell_start, [&rs](ListRow* row) {
    if (rs.Eof()) return false;
    *row = RowFromRecordset(rs);
    rs.MoveNext();
    return true;
  });
  rs.Close();
  return html;
}

namespace {

// What of the pager decides which rows it reads: the page (the chip's, else the request's; on
// a published channel's lists the one given), its size, the select and its list.
void SetPagerReads(Cls_Pagination& pager, const ChannelSettings& page_channel,
                   const ArticleListChip& chip, const ArticleListQuery& query,
                   std::optional<int64_t> page_number, int64_t page_size) {
  const std::string mode = page_channel.GenerateHtml.ToString();
  pager.PositionFlag(Variant(mode == "0" || mode == "2" ? "0" : "1"));
  // Without a page number the pager reads the request's.
  pager.RequestPage(page_number ? Variant(static_cast<long long>(*page_number)) : Variant(""));
  pager.PageSize(Variant(static_cast<long long>(page_size)));
  pager.Sql(query.select);
  pager.Articles(query.list);
  // Clicks do not move the article data version: a list in their order keeps no head.
  if (chip.order_code != 5 && chip.order_code != 6) {
    pager.DeepPages([order_code = chip.order_code](const std::string& source) {
      return ArticleListSelectFrom(source, order_code);
    });
  }
}

}  // namespace

std::string RenderArticleListPaged(RequestState& state, const ChannelSettings& page_channel,
                                   const ArticleListChip& chip, Cls_Pagination& pager) {
  Cls_Pagination::Rows rows = pager.ResultSet();
  std::string html;
  if (pager.TotalRecord() <= 0) {
    html = kEmptyPage;
  } else {
    // Another channel that does not exist: the rows link with the page's channel.
    std::optional<ChannelSettings> other;
    if (ListsAnotherChannel(page_channel, chip)) {
      other = OtherChannelSettings(state, ChipChannelId(page_channel, chip.selection.channel));
    }
    const DrawContext ctx = MakeContext(state, other ? *other : page_channel);
    size_t next = 0;
    html = DrawTable(chip, ctx, "<td>", [&rows, &next](ListRow* row) {
      if (next >= rows.size()) return false;
      *row = RowFromArray(rows[next++]);
      return true;
    });
  }
  html += "<p align=right>" + pager.ShowPage() + "</p>";
  return html;
}

std::string ShowArticleList(RequestState& state, const Variant& params, const Variant& page_type,
                            std::optional<int64_t> page_number, int64_t page_size,
                            std::optional<int64_t> class_id, std::optional<int64_t> subject_id) {
  const std::optional<ArticleListChip> chip = ParseArticleListChip(params);
  if (!chip) return "";
  return ShowArticleList(state, state.channel, *chip, page_type, page_number, page_size, class_id,
                         subject_id);
}

std::string ShowArticleList(RequestState& state, const ChannelSettings& page_channel,
                            const ArticleListChip& chip, const Variant& page_type,
                            std::optional<int64_t> page_number, int64_t page_size,
                            std::optional<int64_t> class_id, std::optional<int64_t> subject_id) {
  const std::string channel_path =
      GetChannelPath(state.host, state.db, state.caches, page_channel.ChannelID);
  const ArticleListQuery query =
      BuildArticleListQuery(state.db, page_channel, chip, page_type, class_id, subject_id);

  const std::string type = LCase(page_type.ToString());
  const BoundSql select{query.select, query.params};
  if (DrawnWhole(type, chip)) return RenderArticleList(state, page_channel, chip, select);
  if (!IsListPage(type)) return "";

  // Paged: the pager reads only the rows of the page it shows, counted over the
  // inner select.
  const std::string install = InstallPath(state);
  const std::string channel = SqlNumber(page_channel.ChannelID);
  const std::string mode = page_channel.GenerateHtml.ToString();
  const bool dynamic = mode == "0" || mode == "2";
  std::string url;
  int num_size = 6;
  if (type == "classlist") {
    const std::string id = std::to_string(class_id.value_or(0));
    if (dynamic) {
      url = install + "asp.asp?m=classlist&classid=" + id + "&channelid=" + channel + "&";
    } else if (mode == "1") {
      url = ClassListDirFor(channel_path, page_channel.ListDirType,
                            GetDirByID(state.db, "Vantrel_ArticleClass", id)) +
            "list_" + id + page_channel.ListFileExt;
    }
  } else if (type == "subjectlist") {
    const std::string id = std::to_string(subject_id.value_or(0));
    num_size = 10;
    if (dynamic) {
      url = install + "asp.asp?m=subjectlist&subjectid=" + id + "&channelid=" + channel + "&";
    } else if (mode == "1") {
      url = channel_path + "subject/" + GetDirByID(state.db, "Vantrel_ArticleSubject", id) +
            "/list_" + id + page_channel.ListFileExt;
    }
  } else {
    const std::string kind = type == "hotlist"         ? "hot"
                             : type == "recommendlist" ? "recommend"
                                                       : "new";
    if (type == "newlist") num_size = 5;
    if (dynamic) {
      url = install + "asp.asp?m=" + type + "&channelid=" + channel + "&";
    } else if (mode == "1") {
      url = channel_path + "listhot/list_" + kind + page_channel.ListFileExt;
    }
  }

  Cls_Pagination pager(state);
  SetPagerReads(pager, page_channel, chip, query, page_number, page_size);
  pager.DbType("ACCESS");
  pager.Url(url);
  pager.NumSize(Variant(num_size));
  return RenderArticleListPaged(state, page_channel, chip, pager);
}

std::optional<Connection::TogetherRead> PagedListRead(
    RequestState& state, const ChannelSettings& channel, const ArticleListChip& chip,
    const Variant& page_type, std::optional<int64_t> page_number, int64_t page_size,
    std::optional<int64_t> class_id, std::optional<int64_t> subject_id) {
  const std::string type = LCase(page_type.ToString());
  if (DrawnWhole(type, chip) || !IsListPage(type)) return std::nullopt;
  const ArticleListQuery query =
      BuildArticleListQuery(state.db, channel, chip, page_type, class_id, subject_id);
  if (Trim(query.select).empty()) return std::nullopt;
  Cls_Pagination pager(state);
  SetPagerReads(pager, channel, chip, query, page_number, page_size);
  return pager.PlannedRead();
}

std::optional<BoundSql> WholeListSelect(DatabaseState& db, const ChannelSettings& channel,
                                        const ArticleListChip& chip, const Variant& page_type,
                                        std::optional<int64_t> class_id,
                                        std::optional<int64_t> subject_id) {
  if (!DrawnWhole(LCase(page_type.ToString()), chip)) return std::nullopt;
  ArticleListQuery query =
      BuildArticleListQuery(db, channel, chip, page_type, class_id, subject_id);
  if (Trim(query.select).empty()) return std::nullopt;
  return BoundSql{std::move(query.select), std::move(query.params)};
}

}  // namespace folirex
