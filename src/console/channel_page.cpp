#include "console/channel_page.h"

#include "console/admin_frame.h"
#include "core/messages.h"
#include "platform/text/html_escape.h"
#include "site/channel_loader.h"

namespace folirex {

ConsoleChannel OpenConsoleChannel(RequestState& state, std::optional<int64_t> id,
                                  bool site_allowed) {
  ConsoleChannel channel;
  if (!id) AlertBack(state, "提示：参数错误，请返回！");
  channel.id = *id;
  channel.id_text = std::to_string(channel.id);
  if (channel.id == 0 && site_allowed) {
    channel.word = "系统";
    return channel;
  }
  channel.settings = InitChannel(state, channel.id);
  channel.word = channel.settings.ProjectName.ToString();
  state.channel = channel.settings;
  return channel;
}

void ChannelNavi(RequestState& state, const ConsoleChannel& channel, std::string_view tail) {
  AdminNavi(state, "当前位置：" + HtmlEscapeText(channel.word) + "管理>>" + std::string(tail));
}

}  // namespace folirex
