// Creating a channel (admin.asp?m=admin_channel&action=save): the checked channel row under the
// table's autonumber and, for an internal channel, a copy of its module channel (a system
// channel, in practice the article channel 1): console menu items with the new item word and
// channel id, template pages with their set links, template sets, skins and snippet
// definitions as rows; the folder with its upload folder, the skins' style sheets, Js/default.js,
// the Images and Skin folders and the menu stylesheets (core/menu_stylesheets.h) as files.
//
// The rows are written in one transaction; the files after it commits. A file or folder that
// could not be written is named in the answer. Runs on the request's worker with its open
// database; refusals end the request through AlertBack before anything is written.
#ifndef FOLIREX_TAXONOMY_CHANNEL_CREATE_H_
#define FOLIREX_TAXONOMY_CHANNEL_CREATE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "core/console_request.h"
#include "core/request_state.h"
#include "platform/db/connection.h"

namespace folirex {

// The action "save" of the channel page.
void Channel_Save(RequestState& state, const ConsoleRequest& request);

// One skin of the module channel and its copy.
struct SkinCopy {
  int64_t source = 0;
  int64_t copy = 0;
  std::string content;
};

// Copies the module channel `source`'s menu items, template pages, set links, template sets,
// skins and snippet definitions to the new channel `id` whose item word is `project_name`,
// inside the caller's transaction; answers the skins copied.
std::vector<SkinCopy> CloneModuleRows(Connection& conn, int64_t source, int64_t id,
                                      const std::string& project_name);

}  // namespace folirex

#endif  // FOLIREX_TAXONOMY_CHANNEL_CREATE_H_
