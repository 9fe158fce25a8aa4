#include "site/tell_friend.h"

#include <string>

#include "core/messages.h"
#include "core/text_helpers.h"
#include "platform/text/html_escape.h"
#include "site/article_loader.h"
#include "site/interaction_text.h"
#include "site/public_pages.h"
#include "site/tell_friend_limits.h"
#include "site/template_engine.h"
#include "site/template_lookup.h"

namespace folirex {

namespace {

// The text without control characters: a line break in a recipient's name or address would
// otherwise start a header line of its own in the mail.
std::string WithoutControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) continue;
    out.push_back(c);
  }
  return out;
}

// The longest name and address of a friend, in characters (the form takes 20 and 50).
constexpr size_t kMaxNameChars = 50;
constexpr size_t kMaxAddressChars = 50;

// Ends the request with an alert when the limits keep this mail back.
void TakeSendingLimits(RequestState& state, const std::string& client, int64_t article_id,
                       const std::string& address) {
  TellFriendLimits& limits =
      state.host.Application->Shared<TellFriendLimits>(TellFriendLimits::kSharedName);
  switch (limits.Take(client, std::to_string(article_id), address)) {
    case TellFriendLimits::Verdict::kSend:
      return;
    case TellFriendLimits::Verdict::kClientTooFast:
      AlertBack(state, "提示：发送邮件太频繁，请过一分钟再试！");
    case TellFriendLimits::Verdict::kRecipientRecently:
      AlertBack(state, "提示：这篇文章刚刚推荐给这个邮箱，请过一小时再试！");
  }
}

}  // namespace

std::string ShowTellFriend(RequestState& state, const PublicRequest& request) {
  const std::optional<int64_t> article_id = request.article_id;
  if (request.flag != "1") {
    // An article that is not on the site gets the content page's answer for a missing one.
    if (!IsPublishedArticle(state, article_id)) return kBadArticle;
    return ShowArticlePage(state, "tellfriend", article_id);
  }

  // The form posts (the entry reads the friend's name and address from the posted form only).
  if (!request.values.IsPost()) AlertBack(state, "提示：参数错误！");
  std::string name = WithoutControls(FilterSql(request.mail_to_name));
  std::string address = WithoutControls(request.mail_to);
  if (name.empty()) AlertBack(state, "提示：收件人不能为空！");
  if (interaction::CharCount(name) > kMaxNameChars) {
    AlertBack(state, "提示：收件人不能超过50个字符！");
  }
  if (address.empty()) AlertBack(state, "提示：收件人邮件不能为空！");
  if (interaction::CharCount(address) > kMaxAddressChars) {
    AlertBack(state, "提示：收件人邮件不能超过50个字符！");
  }
  if (!IsValidEmail(address)) AlertBack(state, "提示：邮件格式不对！");

  std::string result = "获取文章信息失败，发送邮件失败！";
  // Only an article on the site is sent: one in the recycle bin or waiting for approval is not
  // the visitor's to pass on.
  if (interaction::IsId(article_id) && IsPublishedArticle(state, article_id)) {
    if (std::optional<LoadedArticle> article = LoadArticle(state.db, state.channel, article_id)) {
      // The whole stored content, not the content pages of a paged article. The mail is HTML:
      // the content is the site's own, the title, the site's name and its address are text.
      std::string subject = name + "，您的朋友给您推荐一篇文章，具体内容如下";
      std::string body = "文章的标题是：" + HtmlEscapeAttr((*article)[kArticleTitle].ToString()) +
                         "\r\n" + "具体内容是：" + (*article)[kArticleRawContent].ToString() +
                         "\r\n" + "更多内容请访问<a href='" +
                         HtmlEscapeAttr(state.site.SiteUrl.ToString()) + "'>" +
                         HtmlEscapeAttr(state.site.SiteName.ToString()) + "</a>";
      TakeSendingLimits(state, request.values.ClientAddress(), *article_id, address);
      result = SendMail(state.db, state.site, subject, body, address);
    }
  }
  // The mail layer's message may carry a server's own words: escaped for the script string.
  std::string channel_id =
      interaction::IsId(state.channel.ChannelID) ? state.channel.ChannelID.ToString() : "";
  std::string back = interaction::IsId(article_id) ? std::to_string(*article_id) : "";
  return "<script>alert('" + interaction::ScriptStringEncode(result) +
         "');location.href='asp.asp?m=tellfriend&articleid=" + back + "&channelid=" + channel_id +
         "'</script>";
}

}  // namespace folirex
