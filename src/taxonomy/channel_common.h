// Pieces the channel actions share: the answer of a done change (the message box with its links
// and the files that could not be written), the script that reloads the console's menu frame,
// and the folder steps of a change that report what failed.
//
// Paths are site paths from the install folder ("news/Skin"), mapped through the site's file
// helpers, so nothing reaches outside the site. Call on the request's worker.
#ifndef FOLIREX_TAXONOMY_CHANNEL_COMMON_H_
#define FOLIREX_TAXONOMY_CHANNEL_COMMON_H_

#include <string>
#include <string_view>
#include <vector>

#include "core/request_state.h"

namespace folirex {

// Reloads the menu frame, so that it shows the channels' menu items as they now are.
inline constexpr const char* kReloadMenuScript =
    "<script>top.frame_left.location.href='?m=admin_menu';</script>";

// The files and folders a change could not write, copy or remove, in the order met.
using FileFailures = std::vector<std::string>;

// The message table of a done change: `message` in red bold, then `links` (the page's own
// "<li><a ...>" markup); each failure follows as a line of its own.
std::string ChannelMessage(std::string_view message, std::string_view links,
                           const FileFailures& failures);

// True when a folder is at the site path.
bool SiteFolderExists(const HostObjects& host, std::string_view path);

// Copies the folder's content into `to` (overwriting); a missing source copies nothing and is no
// failure. False, noted in `failures`, when something could not be copied.
bool CopyFolderNoted(const HostObjects& host, std::string_view from, std::string_view to,
                     FileFailures& failures);

// Moves folder `from` to `to` (both in one parent or anywhere in the site): a rename when `to`
// is free, else its content copied over and `from` removed once every file arrived. A missing
// `from` leaves `to` created. False, noted, when anything failed; `from` then stays.
bool MoveFolderNoted(const HostObjects& host, std::string_view from, std::string_view to,
                     FileFailures& failures);

}  // namespace folirex

#endif  // FOLIREX_TAXONOMY_CHANNEL_COMMON_H_
