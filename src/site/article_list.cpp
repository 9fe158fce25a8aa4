#include "site/article_list.h"

#include <cstdint>
#include <optional>

#include "core/select_boxes.h"
#include "core/site_config.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/text/vb_text.h"
#include "site/article_list_sql.h"
#include "site/article_loader.h"
#include "site/channel_loader.h"
#include "site/class_folders.h"
#include "site/list_support.h"

namespace folirex {
namespace {

constexpr const char* kTableStart =
    "<table width='100%' border='0' align='center' cellpadding='3' "
    "cellspacing='0'>";
constexpr const char* kEmptyList = "<li>暂时没有本类数据！</li>";
constexpr const char* kEmptyPage = "暂时没有数据<br>";

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

// What the drawing of every row needs, read once per list.
struct DrawContext {
  std::string install_path;
  std::string channel_path;
  std::string channel_id;
  std::string mode;  // GenerateHtml as text
  int cols = 1;
};

DrawContext MakeContext(RequestState& state, const std::vector<std::string>& f) {
  DrawContext ctx;
  ctx.install_path = InstallPath(state);
  ctx.channel_path = GetChannelPath(state, state.channel.ChannelID);
  ctx.channel_id = state.channel.ChannelID.ToString();
  ctx.mode = state.channel.GenerateHtml.ToString();
  std::optional<int16_t> cols = f.size() > 10 ? ChipInt16(f[10]) : std::nullopt;
  ctx.cols = cols && *cols > 0 ? *cols : 1;
  return ctx;
}

std::string DrawItem(RequestState& state, const std::vector<std::string>& f, const DrawContext& ctx,
                     const ListRow& row) {
  std::string lead;
  if (ChipFlagOn(f[11])) lead = TitlePrefix(row.title_prefix);
  if (ChipFlagOn(f[14]) && !row.class_name.IsNull()) {
    if (ctx.mode == "0" || ctx.mode == "2") {
      lead += "<a href='" + ctx.install_path +
              "asp.asp?m=classlist&classid=" + row.class_id.ToString() +
              "&channelid=" + ctx.channel_id + "'>[" + row.class_name.ToString() + "]</a>";
    } else if (ctx.mode == "1") {
      lead += "<a href='" +
              ClassListDirFor(ctx.channel_path, state.channel.ListDirType, row.class_dir) +
              "list_" + row.class_id.ToString() + state.channel.ListFileExt + "'>[" +
              row.class_name.ToString() + "]</a>";
    }
  }

  const int width = ChipInt16(f[9]).value_or(0);
  const std::string title_text = width > 0 ? CutStr(row.title, width) : row.title.ToString();
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
  const std::string styled = open + row.title_color.ToString() + "'>" + title_text + close;

  // Titles may come from other sites: the tool tip carries them encoded for the
  // attribute.
  const std::string tip = "\"" + HtmlEscapeAttr(row.title.ToString()) + "\">";
  std::string link;
  if (!IsNullOrEmpty(row.link_url)) {
    link =
        "<a href='" + row.link_url.ToString() + "' target='_blank' title=" + tip + styled + "</a>";
  } else if (ctx.mode == "0") {
    link = "<a href='" + ctx.install_path + "asp.asp?m=content&articleid=" + row.id.ToString() +
           "&channelid=" + ctx.channel_id + "' title=" + tip + styled + "</a>";
  } else if (ctx.mode == "1" || ctx.mode == "2") {
    std::string href = ctx.channel_path;
    if (!IsNullOrEmpty(row.class_dir)) href += row.class_dir.ToString() + "/";
    href += GetContentFileName(state.channel.ChannelDir, row.id, row.add_time,
                               state.channel.ContentFileType, state.channel.ContentFileExt);
    link = "<a href='" + href + "' title=" + tip + styled + "</a>";
  }

  std::string tail;
  if (ChipFlagOn(f[20]) && IsTrue(row.comment_flag)) {
    tail += "<a href='" + ctx.install_path + "asp.asp?m=comment&articleid=" + row.id.ToString() +
            "&channelid=" + ctx.channel_id + "'>[评论]</a>";
  }
  const int marks = ChipInt16(f[12]).value_or(0);
  if (marks == 1) {
    if (IsTrue(row.hot) && ChipFlagOn(f[16])) {
      tail += "<img src='" + ctx.install_path + "images/hot.gif' border=0>";
    }
    if (IsTrue(row.recommend)) {
      tail += "<img src='" + ctx.install_path + "images/recommend.gif' border=0>";
    }
    if (IsTrue(row.top)) tail += "<img src='" + ctx.install_path + "images/top.gif' border=0>";
  } else if (marks == 2) {
    if (IsTrue(row.hot) && ChipFlagOn(f[16])) tail += "<font color=red>热</font>";
    if (IsTrue(row.recommend)) tail += "<font color=green>荐</font>";
    if (IsTrue(row.top)) tail += "<font color=blue>顶</font>";
  }
  const bool is_new = IsNewArticle(row.add_time, state.channel.DaysOfNew);
  if (ChipFlagOn(f[17]) && is_new) {
    tail += "<img src='" + ctx.install_path + "Images/new.gif' border=0>";
  }
  if (ChipFlagOn(f[18])) tail += "  " + row.author.ToString();
  const int date_style = ChipInt16(f[13]).value_or(0);
  if (date_style >= 1 && date_style <= 3) {
    static constexpr int kFormat[] = {0, 2, 6, 7};
    const std::string date = FormatDate(row.add_time, kFormat[date_style]);
    // The date stands in a cell of its own at the right of the title's cell.
    if (is_new) {
      tail += " </td><td align=right><font color=red>" + date + "</font></td>";
    } else {
      tail += " </td><td align=right>" + date + "</td>";
    }
  }
  if (ChipFlagOn(f[15])) tail += " " + row.clicks.ToString();

  return lead + link + " " + tail;
}

// Draws the rows into the list table; `arrow` is the image before each item of
// a whole list.
template <typename NextRow>
std::string DrawTable(RequestState& state, const std::vector<std::string>& f,
                      const DrawContext& ctx, const std::string& cell_start, NextRow next_row) {
  std::string html = kTableStart;
  int64_t i = 0;
  ListRow row;
  while (next_row(&row)) {
    ++i;
    if ((i - 1) % ctx.cols == 0) html += "<tr>";
    html += cell_start + DrawItem(state, f, ctx, row) + "</td>";
    if (i % ctx.cols == 0) html += "</tr>";
  }
  if (i % ctx.cols > 0) {
    for (int64_t k = i % ctx.cols; k < ctx.cols; ++k) html += "<td>&nbsp;</td>";
    html += "</tr>";
  }
  html += "</table>";
  return html;
}

// The channel whose articles a chip lists: field 0, "-1" for the current one.
std::string ListChannel(RequestState& state, const std::vector<std::string>& f) {
  if (f.empty() || f[0] == "-1") return SqlNumber(state.channel.ChannelID);
  return SqlNumber(f[0]);
}

}  // namespace

std::string RenderArticleList(RequestState& state, const std::vector<std::string>& fields,
                              const Variant& sql, const Variant& /*page_type*/) {
  const std::string text = sql.ToString();
  if (fields.size() != 22 || Trim(text).empty()) return "";

  // A chip that lists another channel links its articles with that channel's
  // folder, mode and file names; the page's own channel comes back afterwards.
  const std::string channel = ListChannel(state, fields);
  std::optional<ChannelSettingsScope> other_channel;
  if (channel != SqlNumber(state.channel.ChannelID)) {
    if (!ChannelExists(state, channel)) return kEmptyList;
    other_channel.emplace(state);
    state.channel.ChannelID = Variant(channel);
  }

  Recordset rs;
  rs.Open(text, *state.db.Conn, 0, 1);
  InitChannel(state);
  DrawContext ctx = MakeContext(state, fields);
  if (rs.Eof()) return kEmptyList;
  const std::string cell_start =
      "<td><img src='" + ctx.channel_path + "images/arrow.gif' valign='absmiddle' border=0>&nbsp;";
  std::string html = DrawTable(state, fields, ctx, cell_start, [&rs](ListRow* row) {
    if (rs.Eof()) return false;
    *row = RowFromRecordset(rs);
    rs.MoveNext();
    return true;
  });
  rs.Close();
  return html;
}

std::string RenderArticleListPaged(RequestState& state, const std::vector<std::string>& fields,
                                   Cls_Pagination& pager) {
  if (fields.size() != 22) return "";
  Cls_Pagination::Rows rows = pager.ResultSet();
  std::string html;
  if (pager.TotalRecord() <= 0) {
    html = kEmptyPage;
  } else {
    const std::string channel = ListChannel(state, fields);
    std::optional<ChannelSettingsScope> other_channel;
    if (channel != SqlNumber(state.channel.ChannelID) && ChannelExists(state, channel)) {
      other_channel.emplace(state);
      state.channel.ChannelID = Variant(channel);
      InitChannel(state);
    }
    DrawContext ctx = MakeContext(state, fields);
    size_t next = 0;
    html = DrawTable(state, fields, ctx, "<td>", [&rows, &next](ListRow* row) {
      if (next >= rows.size()) return false;
      *row = RowFromArray(rows[next++]);
      return true;
    });
  }
  html += "<p align=right>" + pager.ShowPage() + "</p>";
  return html;
}

std::string ShowArticleList(RequestState& state, const Variant& params, const Variant& page_type,
                            const Variant& page_number, const Variant& page_size,
                            const Variant& class_id, const Variant& subject_id) {
  const std::vector<std::string> fields = SplitChipParams(params);
  const std::string channel_path = GetChannelPath(state, state.channel.ChannelID);
  std::optional<ArticleListQuery> query =
      BuildArticleListQuery(state, params, page_type, class_id, subject_id);
  if (!query) return "";
  state.db.Sql = query->select;

  const std::string type = LCase(page_type.ToString());
  if (type == "first") return RenderArticleList(state, fields, Variant(query->select), "first");
  if (type != "classlist" && type != "subjectlist" && type != "hotlist" &&
      type != "recommendlist" && type != "newlist") {
    return "";
  }
  if (LCase(Trim(fields[19])) != "true") {
    return RenderArticleList(state, fields, Variant(query->select), Variant(type));
  }

  // Paged: the pager reads only the rows of the page it shows, counted over the
  // inner select.
  const std::string install = InstallPath(state);
  const std::string channel = SqlNumber(state.channel.ChannelID);
  const std::string mode = state.channel.GenerateHtml.ToString();
  const bool dynamic = mode == "0" || mode == "2";
  std::string url;
  std::string flag = "1";
  int num_size = 6;
  if (dynamic) flag = "0";
  if (type == "classlist") {
    const std::string id = SqlNumber(class_id);
    if (dynamic) {
      url = install + "asp.asp?m=classlist&classid=" + id + "&channelid=" + channel + "&";
    } else if (mode == "1") {
      url = ClassListDirFor(channel_path, state.channel.ListDirType,
                            GetDirByID(state, "Vantrel_ArticleClass", id)) +
            "list_" + id + state.channel.ListFileExt;
    }
  } else if (type == "subjectlist") {
    const std::string id = SqlNumber(subject_id);
    num_size = 10;
    if (dynamic) {
      url = install + "asp.asp?m=subjectlist&subjectid=" + id + "&channelid=" + channel + "&";
    } else if (mode == "1") {
      url = channel_path + "subject/" + GetDirByID(state, "Vantrel_ArticleSubject", id) + "/list_" +
            id + state.channel.ListFileExt;
    }
  } else {
    const std::string kind = type == "hotlist"         ? "hot"
                             : type == "recommendlist" ? "recommend"
                                                       : "new";
    if (type == "newlist") num_size = 5;
    if (dynamic) {
      url = install + "asp.asp?m=" + type + "&channelid=" + channel + "&";
    } else if (mode == "1") {
      url = channel_path + "listhot/list_" + kind + state.channel.ListFileExt;
    }
  }

  Cls_Pagination pager(state);
  pager.DbType("ACCESS");
  pager.Url(url);
  pager.PositionFlag(Variant(flag));
  pager.RequestPage(page_number);
  pager.PageSize(page_size);
  pager.NumSize(Variant(num_size));
  pager.Sql(query->select);
  pager.SqlCount("select Count(*) from (" + query->inner + ") ");
  return RenderArticleListPaged(state, fields, pager);
}

}  // namespace folirex
