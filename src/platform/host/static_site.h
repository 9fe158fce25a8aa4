// StaticSite: the answers the host gives without running a page: static files of the site root,
// the "default.asp" redirect pages the publishing pages write, folder pages, and the host's own
// error pages. Every answer is a HostReply that the connection sends as it stands.
//
// Files are found segment by segment without regard to letter case, never outside the site root,
// never through a link that leads out, and never from the data folder ("data" at the root), the
// settings file (folirex.conf) or a database file (.db, .db-wal, .db-shm, .mdb, .sqlite): these
// are judged both on the address and on where the opened file really lies, so that no link or
// folder alias inside the site reaches them (a link to an ordinary file of the site is served). No
// other .asp file is executed: one without "<%" is served as HTML, one with it answers 404. A
// folder's address serves the first of default.html, default.htm, default.shtml, default.shtm,
// default.asp, index.html, index.htm (a folder address without its final "/" is redirected to
// it first); there is no folder listing.
//
// Small files found under the exact name asked for are kept in memory, shared by every answer,
// and checked against the disk (device, inode, size, change time) on every request, so a file
// replaced or removed by anyone is seen at once; every other file is answered open, to be sent
// from the disk. A file that cannot be opened for want of descriptors is answered 503. Serve may
// be called from several threads at once.
#ifndef FOLIREX_PLATFORM_HOST_STATIC_SITE_H_
#define FOLIREX_PLATFORM_HOST_STATIC_SITE_H_

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/fs/site_path.h"

namespace folirex {

// A file opened to be sent from the disk, closed when its holder goes. Move-only.
class OpenFile {
 public:
  OpenFile() = default;
  explicit OpenFile(int fd) : fd_(fd) {}
  OpenFile(OpenFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  OpenFile& operator=(OpenFile&& other) noexcept;
  ~OpenFile() { Close(); }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  int fd() const { return fd_; }
  bool is_open() const { return fd_ >= 0; }
  void Close();

 private:
  int fd_ = -1;
};

// One answer ready to send: its body is `body`, a kept file's bytes in `shared_body`, or the open
// `file` of `file_size` bytes, which the connection hands to the socket from the disk (so that
// an answer waiting on its client holds a descriptor, never the file's bytes). Move-only.
struct HostReply {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;  // besides Content-Length
  std::string body;
  std::shared_ptr<const std::string> shared_body;
  OpenFile file;
  uint64_t file_size = 0;

  void SetHeader(std::string name, std::string value);
  bool streams_file() const { return file.is_open(); }
  const std::string& Body() const { return shared_body ? *shared_body : body; }
};

// The host's own page for an error status (GB2312 bytes), with its content type set.
HostReply ErrorReply(int status);

// The reason phrase of a status code ("Not Found").
std::string_view StatusReason(int status);

class StaticSite {
 public:
  // `root` must be an absolute, normalised folder path.
  // `folder_names`: the site's folder names, kept between lookups; null reads the folders each
  // time. Must outlive the StaticSite.
  explicit StaticSite(std::filesystem::path root, SiteFolderNames* folder_names = nullptr);
  StaticSite(const StaticSite&) = delete;
  StaticSite& operator=(const StaticSite&) = delete;

  // The answer for a GET or HEAD of `raw_path` (as sent, still percent-encoded) whose decoded
  // form is `path` (UTF-8, beginning with "/"). `if_modified_since` is the request's header of
  // that name or empty.
  HostReply Serve(std::string_view method, const std::string& raw_path, const std::string& path,
                  const std::string& query, std::string_view if_modified_since) const;

 private:
  struct KeptFile {
    std::filesystem::path path;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    int64_t changed_ns = 0;  // the status change time, which any write or rename moves
    std::string content_type;
    std::string last_modified;
    std::shared_ptr<const std::string> bytes;
  };

  HostReply ServeFile(const std::filesystem::path& path, const std::string& raw_dir,
                      std::string_view if_modified_since, const std::string* keep_as) const;
  // The kept answer for `path` if the file on the disk is still the one kept.
  bool ServeKept(const std::string& path, std::string_view if_modified_since,
                 HostReply* reply) const;

  // Whether the open file lies inside the site root, once every link on its way is followed,
  // and outside the data folder, the settings file and the database files.
  bool MayBeSent(int fd, const std::filesystem::path& path) const;
  // Whether a file of more than one name (`info` of the open file) is, under another name, the
  // settings file or a file of the data folder.
  bool IsHardLinkToKept(const struct ::stat& info) const;

  std::filesystem::path root_;
  std::filesystem::path real_root_;  // root_ with its own links followed
  SiteFolderNames* folder_names_;
  mutable std::shared_mutex kept_mutex_;
  // Shared with the requests that read an entry, so that a reader copies a pointer only.
  mutable std::unordered_map<std::string, std::shared_ptr<const KeptFile>> kept_;
  mutable size_t kept_bytes_ = 0;
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_HOST_STATIC_SITE_H_
