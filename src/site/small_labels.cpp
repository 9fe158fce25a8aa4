#include "site/small_labels.h"

namespace folirex {

std::string GetChannelName(RequestState &state, const Variant &channel_id) { return ""; }
std::string GetProjectName(RequestState &state, const Variant &channel_id) { return ""; }
std::string ShowChannelStat(RequestState &state) { return ""; }
std::string GetMatchedKeywords(RequestState &state, const Variant &relative_flag,
                               const Variant &title, const Variant &meta_keyword) {
  return "";
}
std::string GetClassLinkUrl(RequestState &state, const Variant &class_id) { return ""; }
std::string GetHotListUrl(RequestState &state) { return ""; }
std::string GetRecommendListUrl(RequestState &state) { return ""; }
std::string GetNewListUrl(RequestState &state) { return ""; }

}  // namespace folirex
