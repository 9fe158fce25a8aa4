// The rules for folder names that console forms take from an administrator and that later
// become paths under the site folder: class folders, subject folders and channel folders.
#ifndef FOLIREX_CORE_FOLDER_NAMES_H_
#define FOLIREX_CORE_FOLDER_NAMES_H_

#include <string_view>

namespace folirex {

// One plain segment: letters, digits, '_', '-' and '.', but never "." or ".." alone.
bool IsPlainFolderSegment(std::string_view name);

// Plain segments joined by "/" ("news" or "news/2026"): no leading, trailing or doubled "/",
// no backslash. The empty text is not a folder path.
bool IsPlainFolderPath(std::string_view path);

// True when `name` (compared without letter case, a trailing "/" ignored) is a folder that the
// site or a channel keeps for itself: the console, the database, shared images and scripts,
// skins, snippets, menus, the editor, uploads and the list folders that static publishing
// writes. Only the first segment of a path is looked at.
bool IsReservedSiteFolder(std::string_view name);

}  // namespace folirex

#endif  // FOLIREX_CORE_FOLDER_NAMES_H_
