#include "site/channel_loader.h"

#include <cstdint>
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
  state.Sql = "select * from Vantrel_Channel where d_id = " + state.ChannelID.ToString();
  Recordset rs;
  rs.Open(state.Sql, *state.Conn, 0, 1);
  if (rs.Eof()) {
    rs.Close();
    AlertBack(state, kNoChannel);
  }
  state.ChannelName = Trimmed(rs["d_channelname"]);
  state.ChannelType = Trimmed(rs["d_channeltype"]);
  state.ChannelOpenType = Trimmed(rs["d_opentype"]);
  state.ChannelDisabled = rs["d_disabledflag"];
  std::string dir = Trim(rs["d_channeldir"].ToString());
  state.ChannelDir = dir.empty() ? std::string() : dir + "/";
  state.ProjectName = Trimmed(rs["d_projectname"]);
  state.ProjectUnit = Trimmed(rs["d_projectunit"]);
  state.ClicksOfHot = Trimmed(rs["d_clicksofhot"]);
  state.DaysOfNew = Trimmed(rs["d_daysofnew"]);
  state.GenerateHtml = Trimmed(rs["d_generatehtml"]);
  state.ContentFileType = Trimmed(rs["d_contentfiletype"]);
  state.FirstFileExt = FileExtName(rs["d_firstfileext"]);
  state.ListFileExt = FileExtName(rs["d_listfileext"]);
  state.ContentFileExt = FileExtName(rs["d_contentfileext"]);
  state.ListDirType = Trimmed(rs["d_listdir"]);
  state.ChannelTemplateID = Trimmed(rs["d_templateid"]);
  state.ItemCount = Trimmed(rs["d_itemcount"]);
  state.ItemCountChecked = Trimmed(rs["d_itemcountchecked"]);
  state.CommentCount = Trimmed(rs["d_commentcount"]);
  state.SubjectCount = Trimmed(rs["d_subjectcount"]);
  state.ClickCount = Trimmed(rs["d_clickcount"]);
  state.GroupNum = Trimmed(rs["d_groupnum"]);
  state.UploadDir = Trimmed(rs["d_uploaddir"]);
  state.NaviMenuCss = Trimmed(rs["d_navimenucss"]);
  rs.Close();
  // Kept for the session's console pages; an anonymous visitor's session is not created for it
  // (a stored session per crawler request would only fill the store).
  if (state.Session != nullptr && !state.Session->SessionID().empty()) {
    state.Session->Set("channel_path", "../" + state.ChannelDir + state.UploadDir.ToString() + "/");
  }
  state.ChannelStatHtml = ChannelStat(state);
}

}  // namespace folirex
