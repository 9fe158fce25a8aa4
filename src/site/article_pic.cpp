#include "site/article_pic.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "core/reads_ahead.h"
#include "core/select_boxes.h"
#include "core/site_config.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "site/article_loader.h"
#include "site/list_support.h"

namespace folirex {
namespace {

constexpr int kFieldCount = 16;

// The picture list's order: the list order of the code, or none (" ").
std::string PicOrderOf(int code) {
  const std::string order = ChipListOrder(code);
  return order.empty() ? " " : order;
}

// Digits read as a 16-bit number further on: beyond that range the chip is
// refused.
bool IsSmallDigits(const std::string& field) { return IsDigits(field) && ChipInt16(field); }

bool FieldsValid(const std::vector<std::string>& f) {
  if (static_cast<int>(f.size()) != kFieldCount) return false;
  if (!IsChipNumber(f[0]) || !IsChipNumber(f[1]) || !ChipInt16(f[1])) return false;
  if (!IsChipFlag(f[2]) || !IsChipNumber(f[3]) || !IsSmallDigits(f[4])) return false;
  if (!IsChipFlag(f[5]) || !IsChipFlag(f[6])) return false;
  for (int i = 7; i <= 12; ++i) {
    if (!IsSmallDigits(f[i])) return false;
  }
  return IsChipFlag(f[14]) && IsSmallDigits(f[15]);
}

// The select of a chip that passed its checks, and its values.
BoundSql PicSql(DatabaseState& db, const ChannelSettings& channel, const ArticlePicChip& chip,
                const Variant& page_type, std::optional<int64_t> class_id,
                std::optional<int64_t> subject_id) {
  const ChipSelection& selection = chip.selection;
  BoundSql select;
  std::string cond =
      " d_picurl <> '' and (d_picurl is not null) and d_deleted "
      "= false and d_checked = true and "
      "d_channelid = ?";
  select.params.push_back(ChipChannelValue(channel, selection.channel));

  const std::string type = page_type.ToString();
  Variant class_value(selection.class_id);
  if (type == "classlist") {
    class_value = PageClassValue(class_id);
  } else if (*ChipInt16(selection.class_id) < 0) {
    class_value = Variant("0");
  }
  for (const ListCondition& c :
       ClassSubjectAndFlagConditions(db, selection, class_value, type, subject_id)) {
    cond += " and " + c.sql;
    select.params.insert(select.params.end(), c.values.begin(), c.values.end());
  }
  if (chip.days > 0) {
    cond += " and datediff('y', d_addtime, now) <= ?";
    select.params.emplace_back(static_cast<long long>(chip.days));
  }

  select.sql = "select top " + std::to_string(selection.count) +
               " d_id, d_title, d_author, d_addtime, d_picurl, d_summary, d_classid "
               "from "
               "Vantrel_Article where " +
               cond + PicOrderOf(chip.order_code);
  return select;
}

}  // namespace

std::optional<ArticlePicChip> ParseArticlePicChip(const Variant& params) {
  const std::vector<std::string> f = SplitChipParams(params);
  if (!FieldsValid(f)) return std::nullopt;
  ArticlePicChip chip;
  chip.selection = ReadChipSelection(f);
  chip.days = *ChipInt16(f[7]);
  chip.title_length = *ChipInt16(f[8]);
  chip.summary_length = *ChipInt16(f[9]);
  chip.columns = *ChipInt16(f[10]);
  chip.picture_width = f[11];
  chip.picture_height = f[12];
  chip.layout = f[13];
  chip.show_tips = ChipFlagOn(f[14]);
  chip.order_code = *ChipInt16(f[15]);
  return chip;
}

BoundSql GetArticlePicSql(DatabaseState& db, const ChannelSettings& channel, const Variant& params,
                          const Variant& page_type, std::optional<int64_t> class_id,
                          std::optional<int64_t> subject_id) {
  const std::optional<ArticlePicChip> chip = ParseArticlePicChip(params);
  if (!chip) return {};
  return PicSql(db, channel, *chip, page_type, class_id, subject_id);
}

std::string ShowArticlePic(RequestState& state, const Variant& params, const Variant& page_type,
                           std::optional<int64_t> class_id, std::optional<int64_t> subject_id) {
  const std::optional<ArticlePicChip> chip = ParseArticlePicChip(params);
  if (!chip) return "";
  return ShowArticlePic(state, state.channel, *chip, page_type, class_id, subject_id);
}

namespace {

// What every picture cell of one chip is drawn with.
struct PicContext {
  DatabaseState& db;
  const ChannelSettings& channel;  // the channel whose pictures are shown
  const ArticlePicChip& chip;
  std::string base_path;
  std::string install;
  std::string channel_id;
  std::string mode;                               // the channel's HTML mode
  std::map<std::string, std::string> class_dirs;  // looked up once per class, not per picture
};

// The address of the article of the row: its dynamic page, or its static file.
std::string PicAddress(PicContext& ctx, const Recordset& rs) {
  const Variant id = rs["d_id"];
  if (ctx.mode == "0") {
    return ctx.install + "asp.asp?m=content&articleid=" + id.ToString() +
           "&channelid=" + ctx.channel_id;
  }
  const std::string class_key = rs["d_classid"].ToString();
  auto found = ctx.class_dirs.find(class_key);
  if (found == ctx.class_dirs.end()) {
    found = ctx.class_dirs
                .emplace(class_key, GetDirByID(ctx.db, "Vantrel_ArticleClass", rs["d_classid"]))
                .first;
  }
  const ChannelSettings& channel = ctx.channel;
  const std::string file = GetContentFileName(channel.ChannelDir, id, rs["d_addtime"],
                                              channel.ContentFileType, channel.ContentFileExt);
  return found->second.empty() ? ctx.base_path + file : ctx.base_path + found->second + "/" + file;
}

// The cell of the row in the chip's layout.
std::string PicCell(PicContext& ctx, const Recordset& rs) {
  const ArticlePicChip& chip = ctx.chip;
  const int title_width = chip.title_length == 0 ? 120 : chip.title_length;
  const int summary_width = chip.summary_length == 0 ? 120 : chip.summary_length;
  const std::string& layout = chip.layout;
  const Variant title = rs["d_title"];
  std::string tip;
  if (chip.show_tips) {
    tip = "文章标题：" + title.ToString() + "\r\n文章作者：" + rs["d_author"].ToString() +
          "\r\n更新时间：" + rs["d_addtime"].ToString();
  }
  const std::string address = PicAddress(ctx, rs);

  const Variant shown_title =
      layout == "1" && ctx.mode == "0" ? Variant(Trim(title.ToString())) : title;
  const std::string tt = HtmlEscapeText(CutStr(shown_title, title_width));
  const std::string st = HtmlEscapeText(CutStr(rs["d_summary"], summary_width));
  const std::string title_attr = "' title=\"" + HtmlEscapeAttr(tip) + "\">";
  const std::string picture_link = "<a href='" + address + title_attr + "<img src='" +
                                   HtmlEscapeAttr(rs["d_picurl"].ToString()) +
                                   "' border=0 width='" + chip.picture_width + "' height='" +
                                   chip.picture_height + "'><br>";
  const std::string text_link = "<a href='" + address + title_attr;

  if (ctx.mode != "0" && ctx.mode != "1" && ctx.mode != "2") return "";
  if (layout == "1") return picture_link + tt + "<br>" + st + "</a>";
  if (layout == "2") {
    return "<table width='100%' align=center><tr><td width='60%'>" + picture_link + tt +
           "</a></td><td width='40%'>" + text_link + st + "</a></td></tr></table>";
  }
  if (layout == "3") {
    return "<table width='100%' align=center><tr><td width='60%'>" + text_link + st +
           "</a></td><td width='40%'>" + picture_link + tt + "</a></td></tr></table>";
  }
  return "";
}

}  // namespace

// What goes into the page: see the header (markup built here, text encoded for its place).
std::string ShowArticlePic(RequestState& state, const ChannelSettings& page_channel,
                           const ArticlePicChip& chip, const Variant& page_type,
                           std::optional<int64_t> class_id, std::optional<int64_t> subject_id) {
  const BoundSql sql = PicSql(state.db, page_channel, chip, page_type, class_id, subject_id);

  // A chip that shows another channel's pictures links them with that channel's
  // settings, loaded into a value of its own.
  const std::string channel_number = ChipChannelId(page_channel, chip.selection.channel);
  std::optional<ChannelSettings> other;
  if (channel_number != SqlNumber(page_channel.ChannelID)) {
    other = OtherChannelSettings(state, channel_number);
    if (!other) return "<li>暂时没有本类数据！</li>";
  }
  const ChannelSettings& channel = other ? *other : page_channel;
  PicContext ctx{state.db,
                 channel,
                 chip,
                 ChannelPathOf(state, channel),
                 InstallPath(state),
                 channel.ChannelID.ToString(),
                 channel.GenerateHtml.ToString(),
                 {}};
  const int columns = std::max<int>(1, chip.columns);

  Recordset rs;
  OpenReadAhead(state, rs, sql.sql, sql.params);
  if (rs.Eof()) return "<li>暂时没有本类数据！</li>";

  std::string html =
      "<table width='100%' border='0' align='center' "
      "cellpadding='3' cellspacing='0'>";
  int64_t counter = 0;
  int64_t position = 0;
  for (; !rs.Eof(); rs.MoveNext()) {
    ++counter;
    position = counter % columns;
    if ((counter - 1) % columns == 0) html += "<tr>";
    html += "<td>" + PicCell(ctx, rs) + "</td>";
    if (position == 0) html += "</tr>";
  }
  if (position > 0) {
    for (int64_t k = position; k < columns; ++k) html += "<td>&nbsp;</td>";
    html += "</tr>";
  }
  html += "</table>";
  return html;
}

}  // namespace folirex
