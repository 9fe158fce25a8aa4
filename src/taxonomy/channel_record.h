// The channel record as the console writes it: the channel posted by the add and edit forms, the
// checks and defaults that a creation and an update apply to it, the rule for a channel's folder
// names, and the new channel row, whose id comes from the table's autonumber.
//
// Call on the request's worker with the request's open database. The Read functions end the
// request through AlertBack (before anything is written) when they refuse the posted channel;
// database failures throw DbError.
#ifndef FOLIREX_TAXONOMY_CHANNEL_RECORD_H_
#define FOLIREX_TAXONOMY_CHANNEL_RECORD_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "core/request_reader.h"
#include "core/request_state.h"
#include "core/script_link.h"
#include "platform/db/connection.h"

namespace folirex {

// Ids 1 to 10 belong to the system channels that come with the database; a created channel
// gets 11 or more, and a system channel is never deleted.
inline constexpr int64_t kLastSystemChannel = 10;

// A channel's values as the forms post them, checked and with their defaults applied.
struct PostedChannel {
  std::string channelname;
  std::string desc;
  int opentype = 0;
  bool disabled = false;
  int channeltype = 1;  // 1 internal, 2 an outside link
  std::string linkurl;
  int64_t moduletype = 1;
  std::string channeldir;  // "" for the install folder itself
  std::string projectname;
  std::string projectunit;
  int64_t templateid = 0;
  bool showname = true;
  bool upload = true;
  std::string uploaddir;
  int64_t maxfilesize = 0;
  std::string upfiletype;
  int64_t clicksofhot = 0;
  int64_t daysofnew = 0;
  int generatehtml = 0;
  int listdir = 0;
  int contentfiletype = 0;
  int firstfileext = 0;
  int listfileext = 0;
  int contentfileext = 0;
  int64_t groupnum = 30;
};

// What an update keeps from the stored row rather than from the request: the type never changes,
// and the folders and item word the files and menu items are moved from are the stored ones.
struct StoredChannel {
  int64_t id = 0;
  int channeltype = 1;
  std::string channeldir;
  std::string uploaddir;
  std::string projectname;
  bool upload = false;
};

// The stored row of channel `id`; false when there is none.
bool ReadStoredChannel(Connection& conn, int64_t id, StoredChannel* out);

// The add form's post, through the creation checks in their order; refusals end the request.
PostedChannel ReadNewChannel(RequestState& state, const RequestReader& form);

// The edit form's post for the stored channel, through the update checks and the creation's
// folder checks; refusals end the request. An outside link takes only its common fields.
PostedChannel ReadChannelUpdate(RequestState& state, const RequestReader& form,
                                const StoredChannel& stored);

// A channel or upload folder name: 1 to 50 ASCII letters.
bool IsChannelFolderName(std::string_view name);

// A name a channel folder may never take, in any letter case: the site's own folders and file
// names (IsReservedFolderPath) and those the console keeps for itself.
bool IsReservedChannelFolder(std::string_view name);

// True when `name` (letter case ignored) is the folder of a channel other than `except_id`, or
// the upload folder of an internal channel that lies in the install folder itself.
bool ChannelFolderTaken(Connection& conn, std::string_view name, int64_t except_id);

// Inserts the channel row at the end of the order and answers its id: the table's autonumber,
// and never below 11 (a table whose autonumber still stands among the system ids gets 11).
int64_t InsertChannelRow(Connection& conn, const PostedChannel& channel);

// Writes the posted values of an update into the stored row.
void UpdateChannelRow(Connection& conn, const StoredChannel& stored, const PostedChannel& channel);

// Every occurrence of `from` in `text` replaced by `to`, case-sensitive; an empty `from` changes
// nothing.
std::string ReplaceWord(std::string_view text, std::string_view from, std::string_view to);

// "channelid=<from>" replaced by "channelid=<to>" wherever no further digit follows the number,
// so that "channelid=1" never touches "channelid=15".
std::string ReplaceChannelIdInLink(std::string_view link, int64_t from, int64_t to);

}  // namespace folirex

#endif  // FOLIREX_TAXONOMY_CHANNEL_RECORD_H_
