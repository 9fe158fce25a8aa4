#include "site/module.h"

#include <string>
#include <vector>

#include "core/public_request.h"
#include "site/article_loader.h"
#include "site/channel_loader.h"
#include "site/click_counter.h"
#include "site/comments.h"
#include "site/interaction_text.h"
#include "site/public_pages.h"
#include "site/search.h"
#include "site/tell_friend.h"

namespace folirex {

void RegisterSiteModule(ModuleRegistry& registry) {
  registry.SetChannelLoader(InitChannel);
  // An article page reads its article whatever its template holds; a search with a keyword, the
  // kept count of its sequence.
  registry.SetPublicFirstReads([](const PublicRequest& request) {
    std::vector<BoundSql> reads;
    if (request.m == "content" && interaction::IsId(request.article_id)) {
      reads.push_back(ArticleSelect(*request.article_id));
    }
    if (request.m == "search") reads = SearchFirstReads(request);
    return reads;
  });
  using Req = const PublicRequest&;
  registry.AddPublicRoute("search", [](RequestState& s, Req r) {
    return ShowSearch(s, r.search_type, r.search_class, r.search_keyword, r.search_order);
  });
  registry.AddPublicRoute("print",
                          [](RequestState& s, Req r) { return ShowPrint(s, r.article_id); });
  registry.AddPublicRoute("click",
                          [](RequestState& s, Req r) { return ShowClick(s, r.article_id); });
  registry.AddPublicRoute("comment", ShowComment);
  registry.AddPublicRoute("commentlist", [](RequestState& s, Req r) {
    return ShowCommentList(s, r.parameter, r.page_type, r.article_id);
  });
  registry.AddPublicRoute("tellfriend", ShowTellFriend);
  registry.AddPublicRoute("userlist", [](RequestState& s, Req) { return ShowUserList(s); });
  registry.AddPublicRoute("content",
                          [](RequestState& s, Req r) { return ShowContent(s, r.article_id); });
  registry.AddPublicRoute("classlist",
                          [](RequestState& s, Req r) { return ShowClassList(s, r.class_id, ""); });
  registry.AddPublicRoute("subjectlist",
                          [](RequestState& s, Req r) { return ShowSubjectList(s, r.subject_id); });
  registry.AddPublicRoute("hotlist", [](RequestState& s, Req) { return ShowHotList(s); });
  registry.AddPublicRoute("recommendlist",
                          [](RequestState& s, Req) { return ShowRecommendList(s); });
  registry.AddPublicRoute("newlist", [](RequestState& s, Req) { return ShowNewList(s); });
  registry.AddPublicRoute("notice",
                          [](RequestState& s, Req r) { return ShowNotice(s, r.notice_id); });
  registry.SetHomePage([](RequestState& s, Req) { return ShowDefault(s); });
  registry.SetFirstPage([](RequestState& s, Req) { return ShowFirst(s); });
}

}  // namespace folirex
