#include "site/channel_loader.h"

#include <cstdint>
#include <map>
#include <string>

#include "core/messages.h"
#include "core/site_config.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

constexpr const char* kNoChannel = "提示：请先设置频道信息表！";

// A column's text trimmed; a Null column stays Null.
Variant Trimmed(const Variant& value) {
  if (value.IsNull()) return Variant::Null();
  return Variant(Trim(value.ToString()));
}

}  // namespace

std::string ChannelStatHtml(const ChannelSettings& channel) {
  const std::string project = HtmlEscapeAttr(channel.ProjectName.ToString());
  const std::string unit = HtmlEscapeAttr(channel.ProjectUnit.ToString());
  // Counters the console keeps are whole numbers; anything else counts as 0 here.
  int64_t waiting = channel.ItemCount.ToInt64Or(0) - channel.ItemCountChecked.ToInt64Or(0);
  std::string html = "<table width='100%' align=center><tr><td>";
  html += project + "总数：" + channel.ItemCount.ToString() + " " + unit + "</td></tr>";
  html += "<tr><td>待审" + project + "：" + std::to_string(waiting) + " " + unit + "</td></tr>";
  html += "<tr><td>评论总数：" + channel.CommentCount.ToString() + " 条</td></tr>";
  html += "<tr><td>专题总数：" + channel.SubjectCount.ToString() + " " + unit + "</td></tr>";
  html += "<tr><td>" + project + "阅读：" + channel.ClickCount.ToString() + " 人次</td></tr>";
  html += "</table>";
  return html;
}

std::optional<ChannelSettings> LoadChannelSettings(DatabaseState& db, RequestCaches& caches,
                                                   std::optional<int64_t> id) {
  if (!id) return std::nullopt;
  const RequestCaches::ChannelRow* found = FindChannelRow(db, caches, *id);
  if (found == nullptr) return std::nullopt;
  const RequestCaches::ChannelRow& row = *found;
  auto column = [&row](const char* name) -> const Variant& { return ChannelValue(row, name); };
  ChannelSettings channel;
  channel.ChannelID = Variant(static_cast<long long>(*id));
  channel.ChannelName = Trimmed(column("d_channelname"));
  channel.ChannelType = Trimmed(column("d_channeltype"));
  channel.ChannelOpenType = Trimmed(column("d_opentype"));
  channel.ChannelDisabled = column("d_disabledflag");
  std::string dir = Trim(column("d_channeldir").ToString());
  channel.ChannelDir = dir.empty() ? std::string() : dir + "/";
  channel.ProjectName = Trimmed(column("d_projectname"));
  channel.ProjectUnit = Trimmed(column("d_projectunit"));
  channel.ClicksOfHot = Trimmed(column("d_clicksofhot"));
  channel.DaysOfNew = Trimmed(column("d_daysofnew"));
  channel.GenerateHtml = Trimmed(column("d_generatehtml"));
  channel.ContentFileType = Trimmed(column("d_contentfiletype"));
  channel.FirstFileExt = FileExtName(column("d_firstfileext"));
  channel.ListFileExt = FileExtName(column("d_listfileext"));
  channel.ContentFileExt = FileExtName(column("d_contentfileext"));
  channel.ListDirType = Trimmed(column("d_listdir"));
  channel.ChannelTemplateID = Trimmed(column("d_templateid"));
  channel.ItemCount = Trimmed(column("d_itemcount"));
  channel.ItemCountChecked = Trimmed(column("d_itemcountchecked"));
  channel.CommentCount = Trimmed(column("d_commentcount"));
  channel.SubjectCount = Trimmed(column("d_subjectcount"));
  channel.ClickCount = Trimmed(column("d_clickcount"));
  channel.GroupNum = Trimmed(column("d_groupnum"));
  channel.UploadDir = Trimmed(column("d_uploaddir"));
  channel.NaviMenuCss = Trimmed(column("d_navimenucss"));
  return channel;
}

ChannelSettings InitChannel(RequestState& state, std::optional<int64_t> id) {
  std::optional<ChannelSettings> channel = LoadChannelSettings(state.db, state.caches, id);
  if (!channel) AlertBack(state, kNoChannel);
  // Kept for the session's console pages; an anonymous visitor's session is not created for it
  // (a stored session per crawler request would only fill the store).
  if (state.host.Session != nullptr && !state.host.Session->SessionID().empty()) {
    state.host.Session->Set("channel_path",
                            "../" + channel->ChannelDir + channel->UploadDir.ToString() + "/");
  }
  return std::move(*channel);
}

}  // namespace folirex
