// Resolving site addresses to disk paths inside one root folder. Each existing segment is
// matched exactly first, then without regard to letter case (the site's links rely on a file
// system that ignores case); segments that do not exist yet are kept as given. Nothing resolves
// outside the root: "..", absolute paths, NUL bytes and links that lead out are refused.
//
// Thread-safe; the case-insensitive lookups are cached and the cache is checked against the
// disk before it is trusted.
#ifndef FOLIREX_PLATFORM_FS_SITE_PATH_H_
#define FOLIREX_PLATFORM_FS_SITE_PATH_H_

#include <filesystem>
#include <optional>
#include <string_view>

namespace folirex::fs {

// relative: "/"- or "\"-separated, leading "/" allowed (read as relative to root). Empty or "."
// segments are skipped. Returns nullopt when the path would leave root.
std::optional<std::filesystem::path> ResolveInside(const std::filesystem::path& root,
                                                   std::string_view relative);

// True when path (existing or not) lies inside root after resolving links of its existing part.
bool IsInside(const std::filesystem::path& root, const std::filesystem::path& path);

}  // namespace folirex::fs

#endif  // FOLIREX_PLATFORM_FS_SITE_PATH_H_
