#include "site/article_pic.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "core/select_boxes.h"
#include "core/site_config.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/text/vb_text.h"
#include "site/article_list_sql.h"
#include "site/article_loader.h"
#include "site/channel_loader.h"
#include "site/list_support.h"

namespace folirex {
namespace {

constexpr int kFieldCount = 16;

// The picture list's order: the list order of the code, or none (" ").
const char* PicOrderOf(int code) {
  const char* order = ChipListOrder(code);
  return *order == '\0' ? " " : order;
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

}  // namespace

std::string GetArticlePicSql(RequestState& state, const Variant& params, const Variant& page_type,
                             const Variant& class_id, const Variant& subject_id) {
  std::vector<std::string> f = SplitChipParams(params);
  if (!FieldsValid(f)) return "";

  const std::string channel = f[0] == "-1" ? SqlNumber(state.channel.ChannelID) : SqlNumber(f[0]);
  std::string cond =
      " d_picurl <> '' and (d_picurl is not null) and d_deleted "
      "= false and d_checked = true and "
      "d_channelid = " +
      channel;

  const std::string type = page_type.ToString();
  Variant class_value(f[1]);
  if (type == "classlist") {
    class_value = Variant(class_id.ToString());
  } else if (*ChipInt16(f[1]) < 0) {
    class_value = Variant("0");
  }
  cond += ClassSubjectAndFlagConditions(state, f, class_value, type, subject_id);
  const int days = *ChipInt16(f[7]);
  if (days > 0) cond += " and datediff('y', d_addtime, now) <= " + std::to_string(days);

  return "select top " + std::to_string(*ChipInt16(f[4])) +
         " d_id, d_title, d_author, d_addtime, d_picurl, d_summary, d_classid "
         "from "
         "Vantrel_Article where " +
         cond + PicOrderOf(*ChipInt16(f[15]));
}

std::string ShowArticlePic(RequestState& state, const Variant& params, const Variant& page_type,
                           const Variant& class_id, const Variant& subject_id) {
  const std::vector<std::string> f = SplitChipParams(params);
  const std::string sql = GetArticlePicSql(state, params, page_type, class_id, subject_id);
  if (sql.empty()) return "";
  state.db.Sql = sql;

  // A chip that shows another channel's pictures links them with that channel's
  // settings; the page's own channel comes back afterwards.
  const std::string channel = f[0] == "-1" ? SqlNumber(state.channel.ChannelID) : SqlNumber(f[0]);
  std::optional<ChannelSettingsScope> other_channel;
  if (channel != SqlNumber(state.channel.ChannelID)) {
    if (!ChannelExists(state, channel)) return "<li>暂时没有本类数据！</li>";
    other_channel.emplace(state);
    state.channel.ChannelID = Variant(channel);
  }
  InitChannel(state);
  const std::string base_path = GetChannelPath(state, state.channel.ChannelID);
  const std::string install = InstallPath(state);
  const std::string channel_id = state.channel.ChannelID.ToString();
  const std::string mode = state.channel.GenerateHtml.ToString();

  const int columns = std::max<int>(1, *ChipInt16(f[10]));
  const int title_width = *ChipInt16(f[8]) == 0 ? 120 : *ChipInt16(f[8]);
  const int summary_width = *ChipInt16(f[9]) == 0 ? 120 : *ChipInt16(f[9]);
  const std::string& width = f[11];
  const std::string& height = f[12];
  const std::string& layout = f[13];
  const bool tips = ChipFlagOn(f[14]);

  Recordset rs;
  rs.Open(sql, *state.db.Conn, 0, 1);
  if (rs.Eof()) return "<li>暂时没有本类数据！</li>";

  // Class folders looked up once per class, not once per picture.
  std::map<std::string, std::string> class_dirs;
  std::string html =
      "<table width='100%' border='0' align='center' "
      "cellpadding='3' cellspacing='0'>";
  int64_t counter = 0;
  int64_t position = 0;
  while (!rs.Eof()) {
    ++counter;
    position = counter % columns;
    if ((counter - 1) % columns == 0) html += "<tr>";

    const Variant id = rs["d_id"];
    const Variant title = rs["d_title"];
    const Variant add_time = rs["d_addtime"];
    std::string tip;
    if (tips) {
      tip = "文章标题：" + title.ToString() + "\r\n文章作者：" + rs["d_author"].ToString() +
            "\r\n更新时间：" + add_time.ToString();
    }

    std::string address;
    if (mode == "0") {
      address =
          install + "asp.asp?m=content&articleid=" + id.ToString() + "&channelid=" + channel_id;
    } else {
      const std::string class_key = rs["d_classid"].ToString();
      auto found = class_dirs.find(class_key);
      if (found == class_dirs.end()) {
        found = class_dirs
                    .emplace(class_key, GetDirByID(state, "Vantrel_ArticleClass", rs["d_classid"]))
                    .first;
      }
      const std::string file =
          GetContentFileName(state.channel.ChannelDir, id, add_time, state.channel.ContentFileType,
                             state.channel.ContentFileExt);
      address = found->second.empty() ? base_path + file : base_path + found->second + "/" + file;
    }

    const Variant shown_title =
        layout == "1" && mode == "0" ? Variant(Trim(title.ToString())) : title;
    const std::string tt = CutStr(shown_title, title_width);
    const std::string st = CutStr(rs["d_summary"], summary_width);
    // Titles may come from other sites: the tool tip is encoded for the
    // attribute.
    const std::string title_attr = "' title=\"" + HtmlEscapeAttr(tip) + "\">";
    const std::string picture_link = "<a href='" + address + title_attr + "<img src='" +
                                     rs["d_picurl"].ToString() + "' border=0 width='" + width +
                                     "' height='" + height + "'><br>";
    const std::string text_link = "<a href='" + address + title_attr;

    std::string cell;
    if (mode == "0" || mode == "1" || mode == "2") {
      if (layout == "1") {
        cell = picture_link + tt + "<br>" + st + "</a>";
      } else if (layout == "2") {
        cell = "<table width='100%' align=center><tr><td width='60%'>" + picture_link + tt +
               "</a></td><td width='40%'>" + text_link + st + "</a></td></tr></table>";
      } else if (layout == "3") {
        cell = "<table width='100%' align=center><tr><td width='60%'>" + text_link + st +
               "</a></td><td width='40%'>" + picture_link + tt + "</a></td></tr></table>";
      }
    }
    html += "<td>" + cell + "</td>";
    if (position == 0) html += "</tr>";
    rs.MoveNext();
  }
  if (position > 0) {
    for (int64_t k = position; k < columns; ++k) html += "<td>&nbsp;</td>";
    html += "</tr>";
  }
  html += "</table>";
  rs.Close();
  return html;
}

}  // namespace folirex
