#include "platform/host/static_site.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <optional>
#include <system_error>

#include "platform/fs/site_path.h"
#include "platform/host/host_text.h"
#include "platform/text/codepage.h"

namespace folirex {

namespace {

namespace stdfs = std::filesystem;
using host::AsciiLower;
using host::EndsWithNoCase;
using host::EqualsNoCase;

// Files up to this size are kept in memory, up to kKeepTotal bytes in all (past it the kept
// files are dropped and kept afresh as they are asked for).
constexpr uintmax_t kKeepFileBytes = 256u << 10;
constexpr size_t kKeepTotal = 64u << 20;

int64_t ChangedNs(const struct stat& info) {
  return static_cast<int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
}
// An .asp file is read to see whether it holds script; none of ours is near this size.
constexpr uintmax_t kAspReadLimit = 4u << 20;

// A folder's page, in this order: the static first pages the publishing pages write
// ("default" with the channel's or the site's extension), the dynamic redirect page
// "default.asp" (never present together with those after a mode switch), then the first page
// of a class list folder.
constexpr std::array<const char*, 7> kFolderPages = {"default.html", "default.htm", "default.shtml",
                                                     "default.shtm", "default.asp", "index.html",
                                                     "index.htm"};

constexpr std::array<const char*, 5> kDatabaseSuffixes = {".db", ".db-wal", ".db-shm", ".mdb",
                                                          ".sqlite"};

std::string ContentTypeFor(std::string_view name) {
  std::string lower = AsciiLower(name);
  size_t dot = lower.rfind('.');
  std::string ext = dot == std::string::npos ? std::string() : lower.substr(dot + 1);
  struct Type {
    const char* ext;
    const char* type;
  };
  // The site's text files are written in code page 936.
  static constexpr Type kTypes[] = {
      {"html", "text/html; charset=gb2312"},
      {"htm", "text/html; charset=gb2312"},
      {"shtml", "text/html; charset=gb2312"},
      {"shtm", "text/html; charset=gb2312"},
      {"asp", "text/html; charset=gb2312"},
      {"css", "text/css; charset=gb2312"},
      {"js", "application/javascript; charset=gb2312"},
      {"txt", "text/plain; charset=gb2312"},
      {"htc", "text/x-component; charset=gb2312"},
      {"xml", "text/xml"},
      {"json", "application/json"},
      {"gif", "image/gif"},
      {"jpg", "image/jpeg"},
      {"jpeg", "image/jpeg"},
      {"jpe", "image/jpeg"},
      {"png", "image/png"},
      {"bmp", "image/bmp"},
      {"ico", "image/x-icon"},
      {"svg", "image/svg+xml"},
      {"webp", "image/webp"},
      {"swf", "application/x-shockwave-flash"},
      {"flv", "video/x-flv"},
      {"mp3", "audio/mpeg"},
      {"wav", "audio/wav"},
      {"wma", "audio/x-ms-wma"},
      {"wmv", "video/x-ms-wmv"},
      {"mp4", "video/mp4"},
      {"avi", "video/x-msvideo"},
      {"mid", "audio/midi"},
      {"rm", "application/vnd.rn-realmedia"},
      {"zip", "application/zip"},
      {"rar", "application/x-rar-compressed"},
      {"7z", "application/x-7z-compressed"},
      {"gz", "application/gzip"},
      {"pdf", "application/pdf"},
      {"doc", "application/msword"},
      {"xls", "application/vnd.ms-excel"},
      {"ppt", "application/vnd.ms-powerpoint"},
      {"woff", "font/woff"},
      {"woff2", "font/woff2"},
      {"ttf", "font/ttf"},
  };
  for (const Type& t : kTypes) {
    if (ext == t.ext) return t.type;
  }
  return "application/octet-stream";
}

bool IsForbiddenName(std::string_view name) {
  if (EqualsNoCase(name, "folirex.conf")) return true;
  for (const char* suffix : kDatabaseSuffixes) {
    if (EndsWithNoCase(name, suffix)) return true;
  }
  return false;
}

// The data folder at the root, the settings file and database files anywhere.
bool IsForbidden(const std::vector<std::string>& segments) {
  if (!segments.empty() && EqualsNoCase(segments.front(), "data")) return true;
  for (const std::string& segment : segments) {
    if (IsForbiddenName(segment)) return true;
  }
  return false;
}

std::vector<std::string> SplitSegments(std::string_view path) {
  std::vector<std::string> segments;
  std::string current;
  for (char c : path) {
    if (c == '/' || c == '\\') {
      if (!current.empty() && current != ".") segments.push_back(current);
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  if (!current.empty() && current != ".") segments.push_back(current);
  return segments;
}

std::string JoinSegments(const std::vector<std::string>& segments) {
  std::string joined;
  for (const std::string& s : segments) {
    if (!joined.empty()) joined.push_back('/');
    joined += s;
  }
  return joined;
}

// The redirect page the publishing pages write: "<%", Response.Redirect "target", "%>".
std::optional<std::string> RedirectTarget(std::string_view content) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start <= content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string_view::npos) end = content.size();
    std::string_view line = content.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
      line.remove_suffix(1);
    }
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    lines.push_back(line);
    start = end + 1;
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  if (lines.size() != 3 || lines[0] != "<%" || lines[2] != "%>") return std::nullopt;
  std::string_view statement = lines[1];
  constexpr std::string_view kKeyword = "response.redirect";
  if (!host::StartsWithNoCase(statement, kKeyword)) return std::nullopt;
  statement.remove_prefix(kKeyword.size());
  if (statement.empty() || (statement.front() != ' ' && statement.front() != '\t')) {
    return std::nullopt;
  }
  while (!statement.empty() && (statement.front() == ' ' || statement.front() == '\t')) {
    statement.remove_prefix(1);
  }
  if (statement.size() < 2 || statement.front() != '"' || statement.back() != '"') {
    return std::nullopt;
  }
  std::string_view target = statement.substr(1, statement.size() - 2);
  if (target.find('"') != std::string_view::npos) return std::nullopt;
  return std::string(target);
}

// The file's first `size` bytes; false when it holds fewer.
bool ReadOpenFile(int fd, size_t size, std::string* out) {
  out->resize(size);
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd, out->data() + done, size - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

OpenFile& OpenFile::operator=(OpenFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

void OpenFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void HostReply::SetHeader(std::string name, std::string value) {
  for (auto& [n, v] : headers) {
    if (EqualsNoCase(n, name)) {
      v = std::move(value);
      return;
    }
  }
  headers.emplace_back(std::move(name), std::move(value));
}

std::string_view StatusReason(int status) {
  switch (status) {
    case 100:
      return "Continue";
    case 200:
      return "OK";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 304:
      return "Not Modified";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 411:
      return "Length Required";
    case 413:
      return "Payload Too Large";
    case 414:
      return "URI Too Long";
    case 415:
      return "Unsupported Media Type";
    case 417:
      return "Expectation Failed";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 501:
      return "Not Implemented";
    case 503:
      return "Service Unavailable";
    case 505:
      return "HTTP Version Not Supported";
    default:
      return status < 400 ? "OK" : "Error";
  }
}

HostReply ErrorReply(int status) {
  const char* text = "请求无法完成。";
  switch (status) {
    case 400:
      text = "请求格式错误。";
      break;
    case 404:
      text = "找不到该页面或文件。";
      break;
    case 405:
      text = "不支持该请求方法。";
      break;
    case 408:
      text = "请求超时。";
      break;
    case 413:
      text = "提交的内容太大。";
      break;
    case 414:
      text = "请求的网址太长。";
      break;
    case 415:
      text = "不接受压缩或编码过的提交内容。";
      break;
    case 431:
      text = "请求头太大。";
      break;
    case 500:
      text = "服务器处理页面时出错，请稍后再试。";
      break;
    case 503:
      text = "服务器正忙，请稍后再试。";
      break;
    default:
      break;
  }
  std::string page =
      "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
      "charset=gb2312\"><title>" +
      std::to_string(status) + "</title></head><body><p>" + text + "</p></body></html>";
  HostReply reply;
  reply.status = status;
  reply.body = Utf8ToGbk(page, Unmappable::kQuestion);
  reply.SetHeader("Content-Type", "text/html; charset=gb2312");
  return reply;
}

StaticSite::StaticSite(stdfs::path root, SiteFolderNames* folder_names)
    : root_(std::move(root)), folder_names_(folder_names) {
  std::error_code ec;
  real_root_ = stdfs::canonical(root_, ec);
  if (ec) real_root_ = root_;
}

bool StaticSite::MayBeSent(int fd, const stdfs::path& path) const {
  // The descriptor's own path names the file that will be sent, whatever was renamed or relinked
  // since it was found; realpath of the name found is the fallback where /proc is not mounted.
  std::string real(PATH_MAX, '\0');
  std::string link = "/proc/self/fd/" + std::to_string(fd);
  ssize_t n = ::readlink(link.c_str(), real.data(), real.size());
  if (n > 0 && real.front() == '/') {
    real.resize(static_cast<size_t>(n));
  } else {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return false;
    real = resolved;
    std::free(resolved);
  }
  stdfs::path real_path(real);
  auto root_it = real_root_.begin();
  auto path_it = real_path.begin();
  for (; root_it != real_root_.end(); ++root_it, ++path_it) {
    if (root_it->empty()) continue;  // a trailing separator of the root
    if (path_it == real_path.end() || *root_it != *path_it) return false;
  }
  std::vector<std::string> below;
  for (; path_it != real_path.end(); ++path_it) {
    if (!path_it->empty()) below.push_back(path_it->string());
  }
  return !below.empty() && !IsForbidden(below);
}

bool StaticSite::IsHardLinkToKept(const struct ::stat& info) const {
  // A hard link has no path of its own to follow: one inside the site to the database or the
  // password file names neither, so a file of several names is compared with each of them.
  if (info.st_nlink <= 1) return false;
  const auto same = [&info](const stdfs::path& other) {
    struct stat o {};
    return ::stat(other.c_str(), &o) == 0 && o.st_dev == info.st_dev && o.st_ino == info.st_ino;
  };
  if (same(real_root_ / "folirex.conf")) return true;
  std::error_code ec;
  for (stdfs::recursive_directory_iterator it(real_root_ / "data", ec), end; !ec && it != end;
       it.increment(ec)) {
    if (same(it->path())) return true;
  }
  return false;
}

HostReply StaticSite::Serve(std::string_view method, const std::string& raw_path,
                            const std::string& path, const std::string& query,
                            std::string_view if_modified_since) const {
  if (method != "GET" && method != "HEAD") {
    HostReply reply = ErrorReply(405);
    reply.SetHeader("Allow", "GET, HEAD");
    return reply;
  }
  HostReply kept;
  if (ServeKept(path, if_modified_since, &kept)) return kept;
  std::vector<std::string> segments = SplitSegments(path);
  for (const std::string& segment : segments) {
    if (segment == "..") return ErrorReply(404);
  }
  if (IsForbidden(segments)) return ErrorReply(404);
  std::optional<stdfs::path> resolved =
      fs::ResolveInside(root_, JoinSegments(segments), folder_names_);
  if (!resolved) return ErrorReply(404);
  // Checked again on the names found on the disk, whatever letter case the request used.
  std::vector<std::string> found;
  for (const stdfs::path& part : resolved->lexically_relative(root_)) {
    std::string s = part.string();
    if (!s.empty() && s != ".") found.push_back(s);
  }
  if (IsForbidden(found)) return ErrorReply(404);
  std::error_code ec;
  stdfs::file_status status = stdfs::status(*resolved, ec);
  if (!ec && stdfs::is_directory(status)) {
    if (raw_path.back() != '/') {
      // Relative links in the folder's page need the address to end with "/".
      HostReply reply;
      reply.status = 301;
      reply.SetHeader("Location", raw_path + "/" + (query.empty() ? "" : "?" + query));
      return reply;
    }
    std::string folder = JoinSegments(segments);
    for (const char* page : kFolderPages) {
      std::optional<stdfs::path> candidate = fs::ResolveInside(
          root_, folder.empty() ? std::string(page) : folder + "/" + page, folder_names_);
      if (candidate && stdfs::is_regular_file(*candidate, ec)) {
        return ServeFile(*candidate, raw_path, if_modified_since, nullptr);
      }
    }
    return ErrorReply(404);
  }
  // A file is not a folder: "page.html/" names nothing.
  if (ec || !stdfs::is_regular_file(status) || raw_path.back() == '/') return ErrorReply(404);
  // Kept only when found under the very name asked for: a case variant created later must win.
  bool exact = JoinSegments(found) == JoinSegments(segments);
  return ServeFile(*resolved, raw_path.substr(0, raw_path.rfind('/') + 1), if_modified_since,
                   exact ? &path : nullptr);
}

namespace {

// Last-Modified counts whole seconds, so a file changed in the current second may change again
// within it under the same date: a browser holding the first version would then be told 304 for
// the second. Such a file is sent without the date (and never answered 304) until its second
// has passed.
bool IsSettledDate(std::time_t modified) { return modified < std::time(nullptr); }

}  // namespace

bool StaticSite::ServeKept(const std::string& path, std::string_view if_modified_since,
                           HostReply* reply) const {
  std::shared_ptr<const KeptFile> file;
  {
    std::shared_lock lock(kept_mutex_);
    auto it = kept_.find(path);
    if (it == kept_.end()) return false;
    file = it->second;
  }
  struct stat info {};
  if (::stat(file->path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
      info.st_dev != file->device || info.st_ino != file->inode || info.st_size != file->size ||
      ChangedNs(info) != file->changed_ns) {
    std::unique_lock lock(kept_mutex_);
    auto it = kept_.find(path);
    if (it != kept_.end() && it->second == file) {
      kept_bytes_ -= file->bytes->size();
      kept_.erase(it);
    }
    return false;
  }
  reply->headers.reserve(3);
  if (IsSettledDate(info.st_mtime)) {
    reply->SetHeader("Last-Modified", file->last_modified);
    std::time_t since = 0;
    if (!if_modified_since.empty() && host::ParseHttpDate(if_modified_since, &since) &&
        info.st_mtime <= since) {
      reply->status = 304;
      return true;
    }
  }
  reply->SetHeader("X-Content-Type-Options", "nosniff");
  reply->SetHeader("Content-Type", file->content_type);
  reply->shared_body = file->bytes;
  return true;
}

HostReply StaticSite::ServeFile(const stdfs::path& path, const std::string& raw_dir,
                                std::string_view if_modified_since,
                                const std::string* keep_as) const {
  // Opened before it is looked at, so that what is checked is what is sent; without waiting,
  // so that a pipe put in the site cannot hold the thread.
  OpenFile file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!file.is_open()) {
    if (errno != EMFILE && errno != ENFILE) return ErrorReply(404);
    HostReply busy = ErrorReply(503);
    busy.SetHeader("Retry-After", "5");
    return busy;
  }
  struct stat info {};
  if (::fstat(file.fd(), &info) != 0 || !S_ISREG(info.st_mode)) return ErrorReply(404);
  if (!MayBeSent(file.fd(), path) || IsHardLinkToKept(info)) return ErrorReply(404);
  const uintmax_t size = static_cast<uintmax_t>(info.st_size);
  std::string name = path.filename().string();
  HostReply reply;
  if (EndsWithNoCase(name, ".asp")) {
    std::string content;
    if (size > kAspReadLimit || !ReadOpenFile(file.fd(), size, &content)) return ErrorReply(404);
    if (EqualsNoCase(name, "default.asp")) {
      if (std::optional<std::string> target = RedirectTarget(content)) {
        bool absolute = (!target->empty() && target->front() == '/') ||
                        target->find("://") != std::string::npos;
        reply.status = 302;
        reply.SetHeader("Location", host::HeaderSafe(absolute ? *target : raw_dir + *target));
        return reply;
      }
    }
    // No other script is run, and script text is never shown.
    if (content.find("<%") != std::string::npos) return ErrorReply(404);
    reply.SetHeader("Content-Type", "text/html; charset=gb2312");
    reply.file = std::move(file);
    reply.file_size = size;
    return reply;
  }

  std::time_t modified = info.st_mtime;
  if (IsSettledDate(modified)) {
    reply.SetHeader("Last-Modified", host::HttpDate(modified));
    std::time_t since = 0;
    if (!if_modified_since.empty() && host::ParseHttpDate(if_modified_since, &since) &&
        modified <= since) {
      reply.status = 304;
      return reply;
    }
  }
  reply.SetHeader("X-Content-Type-Options", "nosniff");
  reply.SetHeader("Content-Type", ContentTypeFor(name));
  // A file cut short while it was read is being rewritten in place: it is sent, not kept.
  std::string bytes;
  if (keep_as != nullptr && size <= kKeepFileBytes && ReadOpenFile(file.fd(), size, &bytes)) {
    auto kept = std::make_shared<KeptFile>();
    kept->path = path;
    kept->device = info.st_dev;
    kept->inode = info.st_ino;
    kept->size = info.st_size;
    kept->changed_ns = ChangedNs(info);
    kept->content_type = ContentTypeFor(name);
    kept->last_modified = host::HttpDate(modified);
    kept->bytes = std::make_shared<const std::string>(std::move(bytes));
    reply.shared_body = kept->bytes;
    std::unique_lock lock(kept_mutex_);
    if (kept_bytes_ + size > kKeepTotal) {
      kept_.clear();
      kept_bytes_ = 0;
    }
    auto [it, added] = kept_.try_emplace(*keep_as, std::move(kept));
    if (added) kept_bytes_ += size;
    return reply;
  }
  reply.file = std::move(file);
  reply.file_size = size;
  return reply;
}

}  // namespace folirex
