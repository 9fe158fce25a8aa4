#include "articles/article_channel.h"

#include "core/console_request.h"
#include "core/messages.h"
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

void OpenRowOrRefuse(RequestState& state, Recordset& rs, std::string_view sql,
                     const std::vector<Variant>& params, RowUse use, std::string_view missing) {
  if (use == RowUse::kChange) {
    rs.Open(sql, params, *state.db.Conn, 1, 3);
  } else {
    rs.Open(sql, params, *state.db.Conn, 0, 1);
  }
  if (rs.Eof()) {
    rs.Close();
    AlertBack(state, missing);
  }
}

}  // namespace folirex
