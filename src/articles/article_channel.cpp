#include "articles/article_channel.h"

#include "platform/text/vb_text.h"

namespace folirex {

ArticleChannel LoadArticleChannel(RequestState& state, std::optional<int64_t> channel_id) {
  ArticleChannel channel;
  static_cast<ConsoleChannel&>(channel) = OpenConsoleChannel(state, channel_id);
  channel.publishes = Trim(channel.settings.GenerateHtml.ToString()) != "0";
  channel.clicks_of_hot = channel.settings.ClicksOfHot.ToInt64Or(0);
  return channel;
}

}  // namespace folirex
