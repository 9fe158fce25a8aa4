// Where a channel keeps its class list pages: GetClassListDir gives the URL
// folder of a class's static list pages by the channel's list folder rule;
// DeleteClassFolders removes the folders of the current channel's classes.
//
// Runs on the request's worker. DeleteClassFolders deletes only plain relative
// folders inside the channel folder, never one that holds another channel or
// the site's own folders; failures to delete are not reported (the static pages
// are rewritten anyway).
#ifndef FOLIREX_SITE_CLASS_FOLDERS_H_
#define FOLIREX_SITE_CLASS_FOLDERS_H_

#include <string>
#include <string_view>

#include "core/request_state.h"
#include "platform/db/variant.h"

namespace folirex {

// The absolute URL folder (ending in "/") of a class's list pages for list
// folder code `list_dir_type` ("0" class folder, "1" List/, "2" channel folder;
// "" for any other code), under the folder of channel state.channel.ChannelID
// as the database holds it. `channel_dir` does not enter the result.
std::string GetClassListDir(RequestState& state, const Variant& channel_dir,
                            const Variant& list_dir_type, const Variant& class_dir);

// The same folder from a channel path already looked up (GetChannelPath), for
// renderers that draw many class links of one channel. Pure.
std::string ClassListDirFor(std::string_view channel_path, const Variant& list_dir_type,
                            const Variant& class_dir);

// Deletes the folder of every class of channel state.channel.ChannelID that names one, inside
// that channel's folder as the database holds it. With keep_files the folders leave the site
// through SetFolderAside (site_files.h), their pages kept for the generation that follows.
void DeleteClassFolders(RequestState& state, bool keep_files = false);

}  // namespace folirex

#endif  // FOLIREX_SITE_CLASS_FOLDERS_H_
