// Resolving site addresses to disk paths inside one root folder. Each existing segment is
// matched exactly first, then without regard to letter case (the site's links rely on a file
// system that ignores case); segments that do not exist yet are kept as given. Nothing resolves
// outside the root: ".." that would climb above it, NUL bytes and links that lead out are
// refused, and a leading "/" is read as the root itself, never as the disk's top.
//
// Letter case is folded for ASCII only; other bytes of a UTF-8 name must match exactly. When a
// folder holds several names that differ only in case and none matches exactly, the smallest in
// byte order is taken, so the choice does not depend on the directory's order.
//
// Thread-safe; the case-insensitive lookups are kept per folder by a SiteFolderNames (the site
// server's, handed down to its host and pages; without one each lookup reads the folder), and
// what is kept is checked against the disk (the folder's identity and change time, the entry's
// presence) before it is trusted, so renames and deletions made by anyone are seen on the next
// lookup. One exception keeps filling a folder linear: a folder that this process is creating names
// in (NoteCreated), or one of a thousand names or more, is not read again for a few milliseconds
// after its last reading, so a case variant that another process creates there meanwhile is found
// only after that short while (names this process creates are noted at once).
#ifndef FOLIREX_PLATFORM_FS_SITE_PATH_H_
#define FOLIREX_PLATFORM_FS_SITE_PATH_H_

#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

namespace folirex {

namespace fs {
class FolderLookup;
class FolderNameCache;
}  // namespace fs

// The names of a site's folders as found on disk, by folder, for the case-insensitive lookups of
// ResolveInside. One for each site: whoever serves the site owns it and hands it to what resolves
// and creates the site's files.
class SiteFolderNames {
 public:
  SiteFolderNames();
  ~SiteFolderNames();
  SiteFolderNames(const SiteFolderNames&) = delete;
  SiteFolderNames& operator=(const SiteFolderNames&) = delete;

  // Tells the names that this process has just created entry (a file or folder), so that
  // case-insensitive lookups in a large, busy folder see it at once. The file-system object
  // calls it after every creation it is handed the names for; code that creates site files by
  // other means should call it too.
  void NoteCreated(const std::filesystem::path& entry);

 private:
  friend class fs::FolderLookup;  // site_path.cpp: ResolveInside's reach into the names
  std::unique_ptr<fs::FolderNameCache> names_;
};

}  // namespace folirex

namespace folirex::fs {

// relative: "/"- or "\"-separated, leading "/" allowed (read as relative to root). Empty or "."
// segments are skipped; ".." takes back the segment before it. Returns nullopt when the path
// would leave root (a ".." above it, a NUL byte, or a link on the way that leads out). The
// result is root joined with the resolved segments; root itself is not rewritten. `names`: the
// site's folder names kept between lookups; null reads each folder a lookup needs.
std::optional<std::filesystem::path> ResolveInside(const std::filesystem::path& root,
                                                   std::string_view relative,
                                                   SiteFolderNames* names = nullptr);

// True when path (existing or not) lies inside root after resolving links of its existing part.
// root itself counts as inside. A path whose missing part holds "..", a dangling link, a link
// loop or a folder that cannot be searched gives false. A relative path is taken from the
// current folder.
bool IsInside(const std::filesystem::path& root, const std::filesystem::path& path);

// As IsInside, but root itself does not count: for steps that must never touch the root folder
// as a whole (deleting or renaming a folder).
bool IsBelow(const std::filesystem::path& root, const std::filesystem::path& path);

// names->NoteCreated(entry) when there are names.
inline void NoteCreated(SiteFolderNames* names, const std::filesystem::path& entry) {
  if (names != nullptr) names->NoteCreated(entry);
}

}  // namespace folirex::fs

#endif  // FOLIREX_PLATFORM_FS_SITE_PATH_H_
