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

// True when `segment` (compared without letter case) is the name of a file that publishing writes
// into a folder or that the site keeps for itself, so that a folder of that name would stand where
// the file belongs or would never be served: a first page or redirect page ("default" with any
// extension the settings offer), the folder pages "index.html" and "index.htm", a class list page
// ("List_<id>" or "List_<id>_<n>" with those extensions), the settings file and the database
// files (the names the host never serves).
bool IsSiteFileName(std::string_view segment);

// The folder rule of the class, subject and channel forms: true when the first segment of `path`
// is a reserved site folder (IsReservedSiteFolder) or any of its segments is a site file name.
bool IsReservedFolderPath(std::string_view path);

}  // namespace folirex

#endif  // FOLIREX_CORE_FOLDER_NAMES_H_
