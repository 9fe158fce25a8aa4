// The file-system object the pages work through: reading and writing whole files, creating,
// copying, renaming and deleting folders, deleting files by a name test, and listing a folder's
// files and sub-folders with their sizes and dates.
//
// Every function takes disk paths that the caller has already mapped from a site address and
// confined to the folder it means (ResolveInside / IsInside in site_path.h); nothing here maps,
// folds letter case or checks confinement. No change reaches through a link: copies skip links,
// deletions remove the link itself and writes replace it, never what it points to. A listing
// describes a link by what it points to.
//
// Writes are atomic: the bytes go to a temporary file in the same folder, which then replaces the
// target by a rename, so a reader (the static file handler, another request) sees the whole old
// or the whole new content, never a part. The folder must already exist. The file is not synced
// to the disk before the rename: a crash may lose the latest write, never mix two.
//
// Failure: no function throws for a file-system error. Operations return true on success and
// false on failure, and fill *error (when given) with the cause; success clears it. The site's
// page helpers ignore failures, but a caller that records what it wrote (a page marked as
// generated) can tell.
//
// What they create (files, folders, a folder's new name) they note in `names`, the site's folder
// names (site_path.h), when they are given.
//
// Thread-safe: the functions keep no state. Concurrent writes to one file end with one of the
// written contents whole.
#ifndef FOLIREX_PLATFORM_FS_FILE_SYSTEM_H_
#define FOLIREX_PLATFORM_FS_FILE_SYSTEM_H_

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/db/variant.h"

namespace folirex {
class SiteFolderNames;  // site_path.h
}  // namespace folirex

namespace folirex::fs {

// One file or sub-folder of a listed folder. A link is described by what it points to; a link
// that leads nowhere is not listed.
struct EntryInfo {
  std::string name;             // the name on the disk
  std::filesystem::path path;   // the listed folder joined with the name
  std::uintmax_t size = 0;      // bytes; 0 for a folder
  DateTime date_last_modified;  // local time, whole seconds
  std::string extension;        // text after the name's last ".", without it; "" for none
};

// A folder's files and sub-folders, each sorted by name without regard to ASCII case (then byte
// by byte), so that pages that page through a folder see the same order on every request.
struct FolderListing {
  std::vector<EntryInfo> files;
  std::vector<EntryInfo> folders;
};

// Decides by an entry's name whether it is taken. An empty NameFilter takes every name.
using NameFilter = std::function<bool(const std::string& name)>;

// True when a file (or, for FolderExists, a folder) is at the path, following links.
bool FileExists(const std::filesystem::path& path);
bool FolderExists(const std::filesystem::path& path);

// What tells one state of a file from another without reading it: the file (device and inode),
// its size and its modification and change times. Equal states are taken for equal contents.
struct FileState {
  uint64_t device = 0, inode = 0;
  int64_t size = 0, modified_ns = 0, changed_ns = 0;
  bool operator==(const FileState&) const = default;
};
// The state of the file at the path (links followed); nullopt when there is no such file.
std::optional<FileState> StateOf(const std::filesystem::path& path);

// The whole file as bytes; nullopt when it cannot be read (missing, a folder, no right).
std::optional<std::string> ReadFile(const std::filesystem::path& path,
                                    std::error_code* error = nullptr);

// The whole text file, decoded from code page 936 to UTF-8 (bytes that are not valid code page
// 936 become U+FFFD); nullopt when it cannot be read.
std::optional<std::string> ReadTextFile(const std::filesystem::path& path,
                                        std::error_code* error = nullptr);

// Creates or replaces the file with the bytes, atomically. A file being replaced keeps its
// permission bits. Fails when the folder is missing or the path is a folder.
bool WriteFile(const std::filesystem::path& path, std::string_view bytes,
               std::error_code* error = nullptr, SiteFolderNames* names = nullptr);

// WriteFile that first tries to take over the storage of `spare`, a file of a folder set aside
// (SetFolderAside): the spare is claimed by an exclusive lock on it, the bytes are written over
// its content, and it then takes the path's name whole. Making a new file costs a search of
// the free inodes, and on a file system that has just deleted the old pages (ext4 without a
// journal passes over every recently freed inode) that search costs more than writing the page.
// A new file keeps the spare's permission bits (those of the file set aside under that name); a
// file being replaced keeps its own. The spare is taken only when it is a regular file with one
// link and smaller than 1 MiB: the host reads such a file whole at once, while a larger one may
// still be streaming to a reader of the old page. Without a usable spare, as WriteFile.
bool WriteFileReusing(const std::filesystem::path& path, std::string_view bytes,
                      const std::filesystem::path& spare, std::error_code* error = nullptr,
                      SiteFolderNames* names = nullptr);

// WriteFile of the UTF-8 text converted to code page 936, without a byte-order mark and without
// an added line end. A character outside the code page is written as the HTML character
// reference "&#N;": the site's text files are pages, scripts that write HTML and stylesheets, and
// a page served live shows such a character the same way, so the static copy shows what the live
// page shows instead of a "?".
bool WriteTextFile(const std::filesystem::path& path, std::string_view text,
                   std::error_code* error = nullptr, SiteFolderNames* names = nullptr);

// WriteTextFile through WriteFileReusing.
bool WriteTextFileReusing(const std::filesystem::path& path, std::string_view text,
                          const std::filesystem::path& spare, std::error_code* error = nullptr,
                          SiteFolderNames* names = nullptr);

// Creates every missing folder along the path. True when the folder exists afterwards.
bool CreateFolderPath(const std::filesystem::path& path, std::error_code* error = nullptr,
                      SiteFolderNames* names = nullptr);

// Copies what the source folder holds into the destination folder, creating it (and its
// missing parents) when needed and merging into it when it exists. An existing file of the
// destination is replaced when overwrite is true and kept otherwise. Links inside the source are
// not copied. A failing entry does not stop the others; the result is false when any failed.
// Refused when the destination lies inside the source or is the source.
bool CopyFolder(const std::filesystem::path& source, const std::filesystem::path& destination,
                bool overwrite, std::error_code* error = nullptr, SiteFolderNames* names = nullptr);

// Gives the folder a new name in the same parent. new_name is a plain name (no "/", "\", NUL,
// "." or ".."). Refused, leaving the folder as it was, when the folder is missing or when the
// parent already holds the new name in any letter case (the site ignores case, so two names
// differing only in case would hide one another); a change of case only is allowed.
bool RenameFolder(const std::filesystem::path& folder, std::string_view new_name,
                  std::error_code* error = nullptr, SiteFolderNames* names = nullptr);

// Deletes the folder with everything in it. True when no folder is at the path afterwards
// (a missing folder included); false, deleting nothing, when the path is a file.
bool DeleteFolder(const std::filesystem::path& folder, std::error_code* error = nullptr);

// DeleteFolder that keeps the folder's files for the writes that follow (WriteFileReusing): the
// folder is moved, with everything in it, to `aside` (a path on the same file system that is not
// served), replacing what an earlier call left there; its missing parents are created. When the
// folder cannot be moved it is deleted. A missing folder leaves `aside` as it is. True when no
// folder is at the path afterwards (a missing folder included); false, changing nothing, when
// the path is a file.
bool SetFolderAside(const std::filesystem::path& folder, const std::filesystem::path& aside,
                    std::error_code* error = nullptr);

// Deletes the file. True when no file is at the path afterwards (a missing file included);
// false, deleting nothing, when the path is a folder.
bool DeleteFile(const std::filesystem::path& path, std::error_code* error = nullptr);

// Deletes the files directly in the folder whose names the filter takes; sub-folders and their
// files stay. True when every taken file was deleted (a missing folder included).
bool DeleteFilesIn(const std::filesystem::path& folder, const NameFilter& take,
                   std::error_code* error = nullptr);

// Deletes, with everything in them, the sub-folders of the folder whose names the filter takes;
// the folder's files stay. True when every taken sub-folder was deleted (a missing folder
// included).
bool DeleteSubFolders(const std::filesystem::path& folder, const NameFilter& take,
                      std::error_code* error = nullptr);

// The folder's files and sub-folders; nullopt when it cannot be opened (missing, a file, no
// right), which the pages report as an invalid folder.
std::optional<FolderListing> ListFolder(const std::filesystem::path& folder,
                                        std::error_code* error = nullptr);

}  // namespace folirex::fs

#endif  // FOLIREX_PLATFORM_FS_FILE_SYSTEM_H_
