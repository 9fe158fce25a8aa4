// Pieces shared by the public list renderers (article and picture lists,
// sub-class blocks, navigation, search): the checks of chip parameter fields,
// the selection fields both list chips begin with, numbers placed into SQL
// text, the install path, URL encoding for page links, the "new article" test,
// and the settings of the channel a list chip names.
//
// Request thread only. The checks never throw.
#ifndef FOLIREX_SITE_LIST_SUPPORT_H_
#define FOLIREX_SITE_LIST_SUPPORT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/list_query.h"
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
// The same number as a value to bind: a whole number as an integer, any other
// as a double; 0 for a value that is not numeric.
Variant NumberValue(const Variant& value);

// Application("server_path"): the install folder as a URL path ending in "/".
std::string InstallPath(RequestState& state);

// Text percent-encoded as code page 936 bytes, the way the site's query strings
// carry it.
std::string UrlEncodeGbk(std::string_view text);

// An article is new when the day boundaries from its add time to now are at
// most days_of_new.
bool IsNewArticle(const Variant& add_time, const Variant& days_of_new);

// The channel a list chip lists, as SQL number text: its channel field, or the
// channel the page is drawn with (`channel`) when that field is "-1".
std::string ChipChannelId(const ChannelSettings& channel, const std::string& channel_field);
// The same as a value to bind (NumberValue).
Variant ChipChannelValue(const ChannelSettings& channel, const std::string& channel_field);

// The settings of a channel other than the page's, loaded as a value of its own
// (the page's settings are left as they are): a chip that lists another
// channel links its rows with them. nullopt when no channel has that id (a
// whole number of at most 9 digits).
std::optional<ChannelSettings> OtherChannelSettings(RequestState& state,
                                                    const std::string& channel_id);

// The folder of a channel as a site path: the install path and ChannelDir.
std::string ChannelPathOf(RequestState& state, const ChannelSettings& channel);

// The order codes 1 to 6 that the lists and the search share: by id, time added or clicks,
// ascending for odd codes.
enum class OrderCode {
  kIdAscending = 1,
  kIdDescending,
  kTimeAscending,
  kTimeDescending,
  kClicksAscending,
  kClicksDescending,
};
// The order code `code` names; nullopt for any other number.
std::optional<OrderCode> OrderCodeOf(int64_t code);
// The key an order code sorts by.
ListOrderKey OrderCodeKey(OrderCode code);
// The same for a number; nullopt for any number that names no order code.
std::optional<ListOrderKey> OrderCodeKey(int code);
// The order of the search's results by an order code: its key alone; none for any other code.
std::vector<ListOrderKey> OrderCodeKeys(int code);
// The order of an article or picture list by its order code (pinned articles first, then
// OrderCodeKey); none for any other code.
std::vector<ListOrderKey> ChipOrderKeys(int code);
// The same as " order by ..." ("" for any other code).
std::string ChipListOrder(int code);

// Fields 0 to 6, which the article and the picture list chips share, read from
// fields that passed their chip's checks. Flags count as on only when, lower-cased
// but not trimmed, they are exactly "true" (ChipFlagOn).
struct ChipSelection {
  std::string channel;              // 0: channel id as typed; "-1" the page's channel
  std::string class_id;             // 1: class id as typed; 0 or less: no class condition
  bool include_subclasses = false;  // 2: the class with all its descendants
  std::string subject_id;           // 3: subject id as typed; "0" none
  int count = 0;                    // 4: number of rows (16-bit reading; 0 when unreadable)
  bool hot_only = false;            // 5
  bool recommended_only = false;    // 6
};

// The selection fields of a split parameter text of at least 7 fields.
ChipSelection ReadChipSelection(const std::vector<std::string>& fields);

// The logged condition "column = id" (a class or a subject id, as NumberValue reads it): bound,
// or on PostgreSQL written into the text, so that the list is planned for the id.
ListCondition IdCondition(DatabaseState& db, const char* column, const Variant& id);
// The same for "column in (ids)", `ids` not empty.
ListCondition IdsCondition(DatabaseState& db, const char* column, const std::vector<int64_t>& ids);

// The conditions the article and picture chips share, each on the columns the change log holds
// (core/article_change_log.h), their ids as IdCondition writes them: the class (with its
// descendants when asked; a missing class gives no rows), the subject (the page's on a subject
// list, else the chip's unless "0"), and the hot and recommended flags. class_value: the class the
// list shows (already chosen from the chip or the page). Reads the class tree on db.Conn.
std::vector<ListCondition> ClassSubjectAndFlagConditions(DatabaseState& db,
                                                         const ChipSelection& selection,
                                                         const Variant& class_value,
                                                         const std::string& type,
                                                         std::optional<int64_t> subject_id);

// The page's class as a list's class value: its number, or "" (no class) without one.
Variant PageClassValue(std::optional<int64_t> class_id);

}  // namespace folirex

#endif  // FOLIREX_SITE_LIST_SUPPORT_H_
