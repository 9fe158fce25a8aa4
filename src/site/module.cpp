#include "site/module.h"

#include <string>
#include <vector>

#include "site/channel_loader.h"
#include "site/click_counter.h"
#include "site/comments.h"
#include "site/public_pages.h"
#include "site/tell_friend.h"

namespace folirex {
namespace {

// The entry passes exactly the values its table names; a shorter list reads as empty values.
Variant Arg(const std::vector<std::string>& args, size_t i) {
  return i < args.size() ? Variant(args[i]) : Variant("");
}

}  // namespace

void RegisterSiteModule(ModuleRegistry& registry) {
  registry.SetChannelLoader(InitChannel);
  using Args = const std::vector<std::string>&;
  registry.AddPublicHandler("ShowSearch", [](RequestState& s, Args a) {
    return ShowSearch(s, Arg(a, 0), Arg(a, 1), Arg(a, 2), Arg(a, 3));
  });
  registry.AddPublicHandler("ShowPrint",
                            [](RequestState& s, Args a) { return ShowPrint(s, Arg(a, 0)); });
  registry.AddPublicHandler("ShowClick",
                            [](RequestState& s, Args a) { return ShowClick(s, Arg(a, 0)); });
  registry.AddPublicHandler("ShowComment", [](RequestState& s, Args a) {
    return ShowComment(s, Arg(a, 0), Arg(a, 1), Arg(a, 2));
  });
  registry.AddPublicHandler("ShowCommentList", [](RequestState& s, Args a) {
    return ShowCommentList(s, Arg(a, 0), Arg(a, 1), Arg(a, 2));
  });
  registry.AddPublicHandler("ShowTellFriend", [](RequestState& s, Args a) {
    return ShowTellFriend(s, Arg(a, 0), Arg(a, 1), Arg(a, 2), Arg(a, 3));
  });
  registry.AddPublicHandler("ShowUserList", [](RequestState& s, Args) { return ShowUserList(s); });
  registry.AddPublicHandler("ShowContent",
                            [](RequestState& s, Args a) { return ShowContent(s, Arg(a, 0)); });
  registry.AddPublicHandler("ShowClassList", [](RequestState& s, Args a) {
    return ShowClassList(s, Arg(a, 0), a.size() > 1 ? a[1] : std::string());
  });
  registry.AddPublicHandler("ShowSubjectList",
                            [](RequestState& s, Args a) { return ShowSubjectList(s, Arg(a, 0)); });
  registry.AddPublicHandler("ShowHotList", [](RequestState& s, Args) { return ShowHotList(s); });
  registry.AddPublicHandler("ShowRecommendList",
                            [](RequestState& s, Args) { return ShowRecommendList(s); });
  registry.AddPublicHandler("ShowNewList", [](RequestState& s, Args) { return ShowNewList(s); });
  registry.AddPublicHandler("ShowNotice",
                            [](RequestState& s, Args a) { return ShowNotice(s, Arg(a, 0)); });
  registry.AddPublicHandler("ShowDefault", [](RequestState& s, Args) { return ShowDefault(s); });
  registry.AddPublicHandler("ShowFirst", [](RequestState& s, Args) { return ShowFirst(s); });
}

}  // namespace folirex
