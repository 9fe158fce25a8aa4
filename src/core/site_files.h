// The site's file helpers: every page that writes static pages, script files, stylesheets or
// folders under the web site goes through them. Each takes site paths (as Server.MapPath takes
// them: rooted with "/" from the web root, otherwise from the install folder), maps them, and
// does one file-system step through the file-system object. They use only host.Server (MapPath
// and the site's root and install folder); without a Server every step fails.
//
// Failure: nothing throws. A path that MapPath refuses (one that would leave the site) or a step
// that fails leaves the disk unchanged and the function returns false (ReadTextFile returns the
// empty text), so the pages can go on as they always did, while a caller that records what it
// wrote can tell. No whole-folder step (DeleteFolder, RenameFolder, DeleteSubFolders) ever
// removes or renames the site root or the install folder itself.
//
// Thread-safe as far as the file-system object is: writes are atomic, so concurrent writers of
// one file leave one whole content.
#ifndef FOLIREX_CORE_SITE_FILES_H_
#define FOLIREX_CORE_SITE_FILES_H_

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "core/request_state.h"
#include "platform/cache/lru_cache.h"
#include "platform/fs/file_system.h"

namespace folirex {

// Creates or replaces the file with the text (code page 936). The folder must exist.
bool WriteTextFile(const HostObjects& host, std::string_view path, std::string_view text);

// The whole text of the file; empty when it cannot be read.
std::string ReadTextFile(const HostObjects& host, std::string_view path);

// The text files lately found to hold what a page would write into them, by site and path, with
// the state each was in then: the site server's (SiteCaches::text_files). Thread-safe.
class TextFilesSeen {
 public:
  struct Seen {
    std::filesystem::path disk;
    fs::FileState state;
    std::string text;
  };
  // What they may hold in all: the script files of a site's announcements and menus.
  static constexpr size_t kBytes = 1 << 20;

  std::optional<Seen> Find(const std::string& key);
  void Keep(const std::string& key, Seen seen);

 private:
  std::mutex mutex_;
  LruCache<std::string, Seen> files_{kBytes};
};

// Whether ReadTextFile would give `text`: a file found to hold it before (in `files`) and
// unchanged on the disk since (fs::StateOf) is not read again. (A file written over in place at
// the same size within one tick of the file system's clock looks unchanged; the site's own writes
// replace the file, which gives it another inode.) Without `files` the file is always read.
bool TextFileHolds(TextFilesSeen* files, const HostObjects& host, std::string_view path,
                   std::string_view text);

// The body of a script file that writes the html into a page: one document.write("...") line,
// ended by CR LF, per CR LF-separated line of the html. Backslashes, double quotes and stray CR
// or LF characters are escaped so that no line of html can break the script. Pure.
std::string HtmlToJsWrite(std::string_view html);

// Creates every missing folder along the path. The first form rewrites the caller's path with
// "\" turned into "/". True when the folder exists afterwards.
bool CreateFolderPath(const HostObjects& host, std::string& path);
bool CreateFolderPath(const HostObjects& host, std::string_view path);

// Copies the source folder's content into the destination folder (created when missing),
// replacing existing files when overwrite is true. False when the source is missing.
bool CopyFolder(const HostObjects& host, std::string_view source, std::string_view destination,
                bool overwrite);

// Renames the folder within its parent; when the folder is missing it is created under its
// current path instead (and nothing is renamed).
bool RenameFolder(const HostObjects& host, std::string_view path, std::string_view new_name);

// Deletes the folder with everything in it when it exists (true when none is there afterwards).
bool DeleteFolder(const HostObjects& host, std::string_view path);

// DeleteFolder for a folder of generated pages that are about to be written again: the folder
// leaves the site as DeleteFolder would, but its files are kept under the data folder (which is
// never served), in "data/cleared/" at the folder's place below the site root, replacing what
// the previous call left there, so that the pages written next into a folder of that path
// (SiteFolder) take over their storage instead of making new files. Deletes as DeleteFolder does
// when the folder cannot be kept so (it lies in the data folder, or another file system).
bool SetFolderAside(const HostObjects& host, std::string_view path);

// Deletes the sub-folders (DeleteSubFolders) or the files (DeleteFilesIn) directly in the folder
// whose names the pattern matches (RegexTest: case-insensitive, unanchored unless the pattern
// anchors itself); an empty pattern takes every name. Callers pass the folder ending in "/".
// False when a taken entry could not be deleted or the pattern is not a valid one.
bool DeleteSubFolders(const HostObjects& host, std::string_view folder, std::string_view pattern);
bool DeleteFilesIn(const HostObjects& host, std::string_view folder, std::string_view pattern);

// Deletes the file when it exists (true when none is there afterwards).
bool DeleteFile(const HostObjects& host, std::string_view path);

// One folder that a run of writes fills (a generation step writing hundreds of pages into a class
// folder): the folder is mapped once and its names read once, so that writing a new page there
// and looking for the pages an article no longer has cost no mapping and no look-up each. Every
// call does what the helper above of the same site path (folder + name) does; a name that is not
// a plain one, or that the folder may already hold in any letter case, goes through those helpers.
// A folder of more than 16,384 names is not read: all its pages go through the helpers.
//
// The names are those of the reading plus the ones written through this object: a case variant
// that someone else creates meanwhile is not seen (a file of the very name is replaced as always).
// Keep one no longer than a step. Not thread-safe; it belongs to one request.
//
// A page written as a new name of the folder takes over the file of that name that
// SetFolderAside kept for the folder, when there is one (fs::WriteFileReusing).
class SiteFolder {
 public:
  // folder: the site path of an existing folder, ending in "/" (or empty for the install folder).
  // Without read_names every call goes through the helpers above: for a single page, where
  // reading a large folder would cost more than it saves.
  SiteFolder(const HostObjects& host, std::string folder, bool read_names);

  // WriteTextFile(host, folder + name, text).
  bool WriteText(const std::string& name, std::string_view text);
  // True when a file (not a folder) is at folder + name.
  bool HoldsFile(const std::string& name) const;
  // DeleteFile(host, folder + name).
  bool Delete(const std::string& name);

 private:
  // True when the folder may hold the name, in any letter case.
  bool Known(const std::string& name) const;

  const HostObjects& host_;
  std::string folder_;
  std::optional<std::filesystem::path> disk_;  // nullopt: not read (or could not be)
  std::optional<std::filesystem::path> kept_;  // the folder's files set aside, when any
  std::unordered_set<uint64_t> names_;         // hashes of the names, letter case folded
};

}  // namespace folirex

#endif  // FOLIREX_CORE_SITE_FILES_H_
