#include "core/public_request.h"

#include <charconv>

#include "core/text_helpers.h"
#include "platform/text/vb_text.h"

namespace folirex {

std::optional<int64_t> ParseId(std::string_view text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  // "0" is an id (of no row); "007" is not one.
  if (text.size() > 1 && text.front() == '0') return std::nullopt;
  int64_t id = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return id;
}

std::string IdText(const std::optional<int64_t>& id) {
  return id ? std::to_string(*id) : std::string();
}

PublicRequest ParsePublicRequest(const Request& request) {
  // A value the site's own links carry: trimmed, without quotes or ";". Ids are read from the
  // trimmed text as sent, so "1;2" is no id at all rather than 12.
  auto filtered = [&request](std::string_view key) { return FilterSql(request(key)); };
  auto trimmed = [&request](std::string_view key) { return Trim(request(key)); };

  PublicRequest r;
  r.m = LCase(filtered("m"));
  r.article_id = ParseId(trimmed("articleid"));
  r.class_id = ParseId(trimmed("classid"));
  r.subject_id = ParseId(trimmed("subjectid"));
  std::string channel = filtered("channelid");
  r.channel_id = ParseId(trimmed("channelid"));
  r.channel_given = !channel.empty();
  r.notice_id = ParseId(trimmed("noticeid"));

  r.search_type = filtered("searchtype");
  r.search_class = ParseId(trimmed("searchclass"));
  r.search_keyword = filtered("searchkeyword");
  r.search_order = ParseId(trimmed("searchorder"));
  r.flag = filtered("flag");

  r.mail_to = Trim(request.Form("mailto"));
  r.mail_to_name = Trim(request.Form("mailtoname"));

  r.parameter = trimmed("parameter");
  r.page_type = trimmed("pagetype");
  return r;
}

}  // namespace folirex
