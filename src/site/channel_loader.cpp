#include "site/channel_loader.h"

#include <cstdint>
#include <map>
#include <string>

#include "core/messages.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

constexpr const char* kNoChannel = "提示：请先设置频道信息表！";

// A column's text trimmed; a Null column stays Null.
Variant Trimmed(const Variant& value) {
  if (value.IsNull()) return Variant::Null();
  return Variant(Trim(value.ToString()));
}

std::string ChannelStat(const RequestState& state) {
  std::string project = state.ProjectName.ToString();
  std::string unit = state.ProjectUnit.ToString();
  // Counters the console keeps are whole numbers; anything else counts as 0 here.
  int64_t waiting = state.ItemCount.ToInt64Or(0) - state.ItemCountChecked.ToInt64Or(0);
  std::string html = "<table width='100%' align=center><tr><td>";
  html += project + "总数：" + state.ItemCount.ToString() + " " + unit + "</td></tr>";
  html += "<tr><td>待审" + project + "：" + std::to_string(waiting) + " " + unit + "</td></tr>";
  html += "<tr><td>评论总数：" + state.CommentCount.ToString() + " 条</td></tr>";
  html += "<tr><td>专题总数：" + state.SubjectCount.ToString() + " " + unit + "</td></tr>";
  html += "<tr><td>" + project + "阅读：" + state.ClickCount.ToString() + " 人次</td></tr>";
  html += "</table>";
  return html;
}

}  // namespace

void InitChannel(RequestState& state) {
  // The public entry hands the channel id over unchecked: only a plain number reaches SQL.
  if (!IsDigits(state.ChannelID)) AlertBack(state, kNoChannel);
  // A page that shows several channels loads each one again and again: read each row once.
  const std::string key = state.ChannelID.ToString();
  auto cached = state.ChannelRowCache.find(key);
  if (cached == state.ChannelRowCache.end()) {
    state.Sql = "select * from Vantrel_Channel where d_id = " + key;
    Recordset rs;
    rs.Open(state.Sql, *state.Conn, 0, 1);
    if (rs.Eof()) {
      rs.Close();
      AlertBack(state, kNoChannel);
    }
    std::map<std::string, Variant> columns;
    for (int i = 0; i < rs.FieldCount(); ++i) columns[LCase(rs.FieldName(i))] = rs.Field(i);
    rs.Close();
    cached = state.ChannelRowCache.emplace(key, std::move(columns)).first;
  }
  const std::map<std::string, Variant>& row = cached->second;
  auto column = [&row](const char* name) -> const Variant& {
    static const Variant kMissing = Variant::Null();
    auto it = row.find(name);
    return it == row.end() ? kMissing : it->second;
  };
  state.ChannelName = Trimmed(column("d_channelname"));
  state.ChannelType = Trimmed(column("d_channeltype"));
  state.ChannelOpenType = Trimmed(column("d_opentype"));
  state.ChannelDisabled = column("d_disabledflag");
  std::string dir = Trim(column("d_channeldir").ToString());
  state.ChannelDir = dir.empty() ? std::string() : dir + "/";
  state.ProjectName = Trimmed(column("d_projectname"));
  state.ProjectUnit = Trimmed(column("d_projectunit"));
  state.ClicksOfHot = Trimmed(column("d_clicksofhot"));
  state.DaysOfNew = Trimmed(column("d_daysofnew"));
  state.GenerateHtml = Trimmed(column("d_generatehtml"));
  state.ContentFileType = Trimmed(column("d_contentfiletype"));
  state.FirstFileExt = FileExtName(column("d_firstfileext"));
  state.ListFileExt = FileExtName(column("d_listfileext"));
  state.ContentFileExt = FileExtName(column("d_contentfileext"));
  state.ListDirType = Trimmed(column("d_listdir"));
  state.ChannelTemplateID = Trimmed(column("d_templateid"));
  state.ItemCount = Trimmed(column("d_itemcount"));
  state.ItemCountChecked = Trimmed(column("d_itemcountchecked"));
  state.CommentCount = Trimmed(column("d_commentcount"));
  state.SubjectCount = Trimmed(column("d_subjectcount"));
  state.ClickCount = Trimmed(column("d_clickcount"));
  state.GroupNum = Trimmed(column("d_groupnum"));
  state.UploadDir = Trimmed(column("d_uploaddir"));
  state.NaviMenuCss = Trimmed(column("d_navimenucss"));
  // Kept for the session's console pages; an anonymous visitor's session is not created for it
  // (a stored session per crawler request would only fill the store).
  if (state.Session != nullptr && !state.Session->SessionID().empty()) {
    state.Session->Set("channel_path", "../" + state.ChannelDir + state.UploadDir.ToString() + "/");
  }
  state.ChannelStatHtml = ChannelStat(state);
}

}  // namespace folirex
