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

PublicRequest ParsePublicRequest(const Request& request, RequestState* state) {
  PublicRequest r;
  r.values = RequestReader(request, state);
  r.query = r.values.Query();
  r.form = r.values.Form();
  const RequestReader& in = r.values;
  // A value the site's own links carry: trimmed, without quotes or ";". Ids are read from the
  // trimmed text as sent, so "1;2" is no id at all rather than 12.
  auto filtered = [&in](std::string_view key) { return FilterSql(in.Raw(key)); };

  r.m = LCase(filtered("m"));
  r.article_id = in.Id("articleid");
  r.class_id = in.Id("classid");
  r.subject_id = in.Id("subjectid");
  std::string channel = filtered("channelid");
  r.channel_id = in.Id("channelid");
  r.channel_given = !channel.empty();
  r.notice_id = in.Id("noticeid");

  r.search_type = filtered("searchtype");
  r.search_class = in.Id("searchclass");
  r.search_keyword = filtered("searchkeyword");
  r.search_order = in.Id("searchorder");
  r.flag = filtered("flag");

  r.mail_to = r.form.Text("mailto");
  r.mail_to_name = r.form.Text("mailtoname");

  r.parameter = in.Text("parameter");
  r.page_type = in.Text("pagetype");
  return r;
}

RequestedListPage ReadListPage(const RequestReader& values) {
  return {.number = values.Page(), .text = values.Text("page")};
}

int32_t RequestedPage(const RequestState& state) { return state.list_page.number; }

std::string RequestedPageText(const RequestState& state) { return state.list_page.text; }

}  // namespace folirex
