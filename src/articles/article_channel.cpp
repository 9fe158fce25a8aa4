#include "articles/article_channel.h"

#include "core/console_request.h"
#include "platform/text/vb_text.h"

namespace folirex {

ArticleChannel LoadArticleChannel(RequestState& state) {
  ArticleChannel channel;
  static_cast<ConsoleChannel&>(channel) =
      OpenConsoleChannel(state, ParseConsoleRequest(*state.host.Request).channel_id);
  channel.publishes = Trim(channel.settings.GenerateHtml.ToString()) != "0";
  channel.clicks_of_hot = channel.settings.ClicksOfHot.ToInt64Or(0);
  return channel;
}

}  // namespace folirex
