#include "articles/article_channel.h"

#include "console/id_list.h"
#include "core/messages.h"
#include "core/site_config.h"
#include "platform/text/vb_text.h"
#include "site/channel_loader.h"

namespace folirex {

ArticleChannel LoadArticleChannel(RequestState& state) {
  Variant id = GetChannelID(state);
  ArticleChannel channel;
  if (!ParseId(id.ToString(), &channel.id)) AlertBack(state, "提示：参数错误，请返回！");
  channel.id_text = std::to_string(channel.id);
  state.channel.ChannelID = Variant(channel.id_text);
  InitChannel(state);
  channel.word = state.channel.ProjectName.ToString();
  channel.publishes = Trim(state.channel.GenerateHtml.ToString()) != "0";
  channel.clicks_of_hot = state.channel.ClicksOfHot.ToInt64Or(0);
  return channel;
}

std::string TrimmedValue(RequestState& state, const char* key) {
  return Trim((*state.host.Request)(key));
}

}  // namespace folirex
