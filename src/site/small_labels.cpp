#include "site/small_labels.h"

#include "core/public_request.h"
#include "core/select_boxes.h"
#include "core/site_config.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/text/html_escape.h"
#include "site/class_folders.h"

namespace folirex {
namespace {

// A column of a channel's row; "" when there is none.
std::string ChannelColumn(DatabaseState& db, RequestCaches& caches, const Variant& channel_id,
                          const char* column) {
  // A number too large for an id names no channel either.
  const std::optional<int64_t> id = ParseId(channel_id.ToString());
  const RequestCaches::ChannelRow* row = id ? FindChannelRow(db, caches, *id) : nullptr;
  return row == nullptr ? std::string() : ChannelValue(*row, column).ToString();
}

bool StaticLists(const ChannelSettings& channel) {
  std::string mode = channel.GenerateHtml.ToString();
  return mode == "1" || mode == "2";
}

std::string ListUrl(RequestState& state, const ChannelSettings& channel, const char* dynamic_head,
                    const char* static_name) {
  std::string path = GetChannelPath(state.host, state.db, state.caches, channel.ChannelID);
  if (StaticLists(channel)) return path + static_name + channel.ListFileExt;
  return state.host.Application->Get("server_path").ToString() + dynamic_head +
         channel.ChannelID.ToString();
}

}  // namespace

std::string GetChannelName(DatabaseState& db, RequestCaches& caches, const Variant& channel_id) {
  return ChannelColumn(db, caches, channel_id, "d_channelname");
}

std::string GetProjectName(DatabaseState& db, RequestCaches& caches, const Variant& channel_id) {
  return ChannelColumn(db, caches, channel_id, "d_projectname");
}

std::string ShowChannelStat(DatabaseState& db, RequestCaches& caches) {
  std::string html;
  for (const RequestCaches::ChannelRow* row : ShownChannels(db, caches)) {
    auto field = [row](const char* name) { return ChannelValue(*row, name).ToString(); };
    const std::string name = HtmlEscapeAttr(field("d_channelname"));
    const std::string unit = HtmlEscapeAttr(field("d_projectunit"));
    html +=
        name + "：" + field("d_itemcount") + unit + HtmlEscapeAttr(field("d_projectname")) + "<br>";
    html += name + "：" + field("d_itemcountchecked") + unit + "已审核<br>";
  }
  return html;
}

std::string GetMatchedKeywords(DatabaseState& db, const ChannelSettings& channel,
                               const Variant& relative_flag, const Variant& title,
                               const Variant& meta_keyword) {
  // The flag is a yes/no column: "0", 0 and false all mean the typed keywords.
  if (relative_flag.Equals(Variant(0))) return meta_keyword.ToString();
  if (!IsDigits(channel.ChannelID)) return "";
  // The title is bound as a value, so a quote in it cannot end the text literal.
  Recordset rs;
  rs.Open("select d_name from Vantrel_Keyword where d_channelid = ? and ? like '%' + d_name + '%'",
          {Variant(channel.ChannelID.ToInt64Or(-1)), Variant(title.ToString())}, *db.Conn, 0, 1);
  std::string names;
  for (; !rs.Eof(); rs.MoveNext()) names += rs["d_name"].ToString() + ",";
  rs.Close();
  if (!names.empty()) names.pop_back();
  return names;
}

std::string GetClassLinkUrl(RequestState& state, const ChannelSettings& channel,
                            std::optional<int64_t> class_id) {
  // Without a class the addresses name none.
  const std::string id = class_id ? std::to_string(*class_id) : std::string();
  if (channel.GenerateHtml.ToString() == "1") {
    std::string dir = class_id ? GetDirByID(state.db, "Vantrel_ArticleClass", id) : std::string();
    return ClassListDirFor(GetChannelPath(state.host, state.db, state.caches, channel.ChannelID),
                           channel.ListDirType, dir) +
           "list_" + id + channel.ListFileExt;
  }
  return state.host.Application->Get("server_path").ToString() +
         "asp.asp?m=classlist&classid=" + id + "&channelid=" + channel.ChannelID.ToString();
}

std::string GetHotListUrl(RequestState& state, const ChannelSettings& channel) {
  return ListUrl(state, channel, "asp.asp?m=hotlist&channelid=", "listhot/list_hot");
}

std::string GetRecommendListUrl(RequestState& state, const ChannelSettings& channel) {
  return ListUrl(state, channel, "asp.asp?m=recommendlist&channelid=", "listhot/list_recommend");
}

std::string GetNewListUrl(RequestState& state, const ChannelSettings& channel) {
  return ListUrl(state, channel, "asp.asp?m=newlist&channelid=", "listhot/list_new");
}

}  // namespace folirex
