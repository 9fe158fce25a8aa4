#include "console/channel_page.h"

#include "console/admin_frame.h"
#include "console/id_list.h"
#include "core/messages.h"
#include "core/site_config.h"
#include "platform/text/html_escape.h"
#include "site/channel_loader.h"

namespace folirex {

ConsoleChannel OpenConsoleChannel(RequestState& state, bool site_allowed) {
  ConsoleChannel channel;
  // GetChannelID refuses what is not a plain id; a number too large to be one is refused alike.
  if (!ParseId(GetChannelID(state).ToString(), &channel.id)) {
    AlertBack(state, "提示：参数错误，请返回！");
  }
  channel.id_text = std::to_string(channel.id);
  if (channel.id == 0 && site_allowed) {
    channel.word = "系统";
    return channel;
  }
  state.channel = InitChannel(state, channel.id);
  channel.word = state.channel.ProjectName.ToString();
  return channel;
}

void ChannelNavi(RequestState& state, const ConsoleChannel& channel, std::string_view tail) {
  AdminNavi(state, "当前位置：" + HtmlEscapeText(channel.word) + "管理>>" + std::string(tail));
}

}  // namespace folirex
