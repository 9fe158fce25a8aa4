#include "design/template_blocks.h"

#include "console/admin_blocks.h"
#include "console/id_list.h"
#include "core/messages.h"
#include "core/site_config.h"
#include "platform/text/html_escape.h"
#include "site/channel_loader.h"

namespace folirex {

DesignChannel OpenDesignChannel(RequestState& state, bool site_allowed) {
  DesignChannel channel;
  // GetChannelID refuses what is not a plain id; a number too large to be one is refused alike.
  if (!ParseId(GetChannelID(state).ToString(), &channel.id)) {
    AlertBack(state, "提示：参数错误，请返回！");
  }
  channel.id_text = std::to_string(channel.id);
  if (channel.id == 0 && site_allowed) {
    channel.label = "系统";
    return channel;
  }
  state.channel.ChannelID = channel.id_text;
  InitChannel(state);
  channel.label = state.channel.ProjectName.ToString();
  return channel;
}

std::string TipBox(std::initializer_list<std::string_view> items) {
  std::string html =
      "<table border=0 cellspacing=1 align=center class=Msg><tr><td><b class=blue>提示：</b>";
  for (std::string_view item : items) html += "<li>" + std::string(item) + "</li>";
  return html + "</td></tr></table>\r\n";
}

std::string BulkDeleteRow(int columns) {
  return "<tr><td align=right colspan=" + std::to_string(columns) +
         "> 操作：<select size=1 name=checkaction><option value='del'>删除</option></select> "
         "<input type=button value='执行' onclick=\"doAction(this)\"></td></tr>\r\n";
}

std::string TextAreaContent(std::string_view text) { return "\r\n" + HtmlEscapeAttr(text); }

std::string PageLink(std::string_view url, std::string_view text) {
  return LinkItem(HtmlEscapeAttr(url), text);
}

int64_t CharacterCount(std::string_view text) {
  int64_t count = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

}  // namespace folirex
