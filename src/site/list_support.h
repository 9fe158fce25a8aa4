// Pieces shared by the public list renderers (article and picture lists,
// sub-class blocks, navigation, search): the checks of chip parameter fields,
// numbers placed into SQL text, the install path, URL encoding for page links,
// the "new article" test, and ChannelSettingsScope, which puts the page's own
// channel settings back after a renderer has loaded another channel's.
//
// Request thread only. The checks never throw; ChannelSettingsScope never
// throws from its destructor.
#ifndef FOLIREX_SITE_LIST_SUPPORT_H_
#define FOLIREX_SITE_LIST_SUPPORT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/request_state.h"
#include "platform/db/variant.h"

namespace folirex {

// The parameter text of a chip split at every "," (no trimming, no escaping).
std::vector<std::string> SplitChipParams(const Variant& params);

// A flag field: "true" or "false" after trimming and lower-casing.
bool IsChipFlag(std::string_view field);
// A flag counts as on only when, lower-cased but not trimmed, it is exactly
// "true" (a field " true" passes the check and still counts as off, as stored
// chips rely on).
bool ChipFlagOn(std::string_view field);
// A numeric field: reads as a number (sign, decimals and blanks allowed).
bool IsChipNumber(std::string_view field);
// A whole-number reading in the 16-bit range (rounded half to even); nullopt
// when the field is not numeric or lies outside -32768..32767.
std::optional<int16_t> ChipInt16(std::string_view field);

// The number a numeric field holds, as plain SQL number text ("&H10" gives
// "16", " 3" gives "3"); "0" for a value that is not numeric. Keeps anything
// but a number out of the SQL text.
std::string SqlNumber(const Variant& value);

// Application("server_path"): the install folder as a URL path ending in "/".
std::string InstallPath(RequestState& state);

// Text percent-encoded as code page 936 bytes, the way the site's query strings
// carry it.
std::string UrlEncodeGbk(std::string_view text);

// An article is new when the day boundaries from its add time to now are at
// most days_of_new.
bool IsNewArticle(const Variant& add_time, const Variant& days_of_new);

// True when Vantrel_Channel has a row with that id (a whole number).
bool ChannelExists(RequestState& state, const Variant& channel_id);

// The order of an article or picture list by its order code 1 to 6 (pinned articles first,
// then by id, time added or clicks, ascending for odd codes); "" for any other code.
const char* ChipListOrder(int code);

// The conditions the article and picture chips share, each beginning " and": the class (with
// its descendants when field 2 is "true"; a missing class gives no rows), the subject (the page's
// on a subject list, else field 3 unless "0"), and the hot and recommended flags (fields 5, 6).
// class_value: the class the list shows (already chosen from the chip or the page).
std::string ClassSubjectAndFlagConditions(RequestState& state, const std::vector<std::string>& f,
                                          const Variant& class_value, const std::string& type,
                                          const Variant& subject_id);

// Saves ChannelID, every channel setting InitChannel loads (ChannelDir,
// GenerateHtml, the file extensions, ChannelStatHtml, ...), SkinCssLink, SkinID
// and the session's channel_path; the destructor puts them all back.
class ChannelSettingsScope {
 public:
  explicit ChannelSettingsScope(RequestState& state);
  ~ChannelSettingsScope();
  ChannelSettingsScope(const ChannelSettingsScope&) = delete;
  ChannelSettingsScope& operator=(const ChannelSettingsScope&) = delete;

 private:
  RequestState& state_;
  Variant channel_id_;
  Variant channel_name_, channel_type_, channel_open_type_, channel_disabled_;
  std::string channel_dir_;
  Variant project_name_, project_unit_, clicks_of_hot_, days_of_new_, generate_html_;
  Variant content_file_type_;
  std::string first_file_ext_, list_file_ext_, content_file_ext_;
  Variant list_dir_type_, channel_template_id_, upload_dir_;
  Variant item_count_, item_count_checked_, comment_count_, subject_count_, click_count_;
  Variant group_num_, navi_menu_css_;
  std::string channel_stat_html_;
  std::string skin_css_link_;
  Variant skin_id_;
  Variant channel_path_;
};

}  // namespace folirex

#endif  // FOLIREX_SITE_LIST_SUPPORT_H_
