#include "articles/article_channel.h"

#include "platform/text/vb_text.h"

namespace folirex {

ArticleChannel LoadArticleChannel(RequestState& state) {
  ArticleChannel channel;
  static_cast<ConsoleChannel&>(channel) = OpenConsoleChannel(state);
  channel.publishes = Trim(state.channel.GenerateHtml.ToString()) != "0";
  channel.clicks_of_hot = state.channel.ClicksOfHot.ToInt64Or(0);
  return channel;
}

}  // namespace folirex
