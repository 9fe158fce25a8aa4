#include "articles/upload_parser.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <vector>

#include "platform/fs/site_path.h"
#include "platform/text/codepage.h"

namespace folirex {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kBlankLine = "\r\n\r\n";
// A boundary line is "--" and 1 to 70 characters; a longer first line is no boundary.
constexpr size_t kMaxBoundaryLine = 72;

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiLower(x) == AsciiLower(y);
         });
}

std::string_view TrimBlanks(std::string_view text) {
  size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  size_t end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

// What a part's headers say about it.
struct PartHeaders {
  bool has_name = false;
  std::string name;
  bool has_filename = false;
  std::string filename;
  std::string content_type;
};

// The parameters of a Content-Disposition value ("form-data; name="a"; filename="b.jpg""). A
// quoted value runs to the next double quote: browsers send a quote inside a name as %22 and
// keep a backslash as it is (old browsers send a whole Windows path).
void ReadDisposition(std::string_view value, PartHeaders* headers) {
  size_t pos = value.find(';');
  while (pos != std::string_view::npos && pos < value.size()) {
    ++pos;  // past ';'
    size_t eq = value.find_first_of("=;", pos);
    if (eq == std::string_view::npos || value[eq] == ';') {
      pos = eq;
      continue;
    }
    std::string_view key = TrimBlanks(value.substr(pos, eq - pos));
    size_t start = eq + 1;
    while (start < value.size() && (value[start] == ' ' || value[start] == '\t')) ++start;
    std::string_view text;
    if (start < value.size() && value[start] == '"') {
      size_t close = value.find('"', start + 1);
      if (close == std::string_view::npos) close = value.size();
      text = value.substr(start + 1, close - start - 1);
      pos = value.find(';', close);
    } else {
      size_t end = value.find(';', start);
      text = TrimBlanks(value.substr(start, end == std::string_view::npos ? end : end - start));
      pos = end;
    }
    if (EqualsNoCase(key, "name") && !headers->has_name) {
      headers->has_name = true;
      headers->name = GbkToUtf8(text);
    } else if (EqualsNoCase(key, "filename") && !headers->has_filename) {
      headers->has_filename = true;
      headers->filename = GbkToUtf8(text);
    }
  }
}

PartHeaders ReadHeaders(std::string_view block) {
  PartHeaders headers;
  size_t pos = 0;
  while (pos <= block.size()) {
    size_t end = block.find(kCrLf, pos);
    if (end == std::string_view::npos) end = block.size();
    std::string_view line = block.substr(pos, end - pos);
    pos = end + kCrLf.size();
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view name = TrimBlanks(line.substr(0, colon));
    std::string_view value = line.substr(colon + 1);
    if (EqualsNoCase(name, "Content-Disposition")) {
      ReadDisposition(value, &headers);
    } else if (EqualsNoCase(name, "Content-Type")) {
      headers.content_type = GbkToUtf8(TrimBlanks(value));
    }
  }
  return headers;
}

}  // namespace

bool NoCaseLess::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return AsciiLower(x) < AsciiLower(y); });
}

void UpFile_Class::Fail(int err) {
  Err = err;
  Form.clear();
  File.clear();
}

void UpFile_Class::Parse(std::string_view body, int64_t max_size) {
  Form.clear();
  File.clear();
  Err = kUploadOk;
  if (body.empty()) return Fail(kUploadEmpty);
  if (max_size > 0 && body.size() > static_cast<uint64_t>(max_size)) {
    return Fail(kUploadTooLarge);
  }

  // The first line is the boundary with its leading "--"; every later boundary follows a CR LF.
  size_t line_end = body.find(kCrLf);
  if (line_end == std::string_view::npos || line_end < 3 || line_end > kMaxBoundaryLine ||
      !body.starts_with("--")) {
    return Fail(kUploadMalformed);
  }
  const std::string delimiter = std::string(kCrLf) + std::string(body.substr(0, line_end));
  const std::boyer_moore_horspool_searcher find_delimiter(delimiter.begin(), delimiter.end());
  size_t form_bytes = 0;
  size_t parts = 0;

  // pos: the first byte after a boundary line's CR LF, where a part's headers begin. The blank
  // line after the headers is sought from the CR LF before pos, so a part without headers has
  // an empty header block.
  size_t pos = line_end + kCrLf.size();
  for (;;) {
    if (++parts > kMaxUploadParts) return Fail(kUploadTooManyParts);
    size_t header_end = body.find(kBlankLine, pos - kCrLf.size());
    if (header_end == std::string_view::npos) return Fail(kUploadMalformed);
    size_t data_start = header_end + kBlankLine.size();
    auto found = std::search(body.begin() + (pos - kCrLf.size()), body.end(), find_delimiter);
    if (found == body.end()) return Fail(kUploadMalformed);
    size_t part_end = static_cast<size_t>(found - body.begin());
    // The next boundary comes before the blank line: this part's headers never ended.
    if (part_end < data_start) return Fail(kUploadMalformed);

    std::string_view header_block =
        header_end > pos ? body.substr(pos, header_end - pos) : std::string_view();
    std::string_view data = body.substr(data_start, part_end - data_start);
    PartHeaders headers = ReadHeaders(header_block);
    if (headers.has_name && headers.has_filename) {
      if (!File.contains(headers.name)) {
        FileInfo_Class file;
        file.FormName = headers.name;
        const std::string& value = headers.filename;
        size_t slash = value.rfind('\\');
        file.FileName = slash == std::string::npos ? value : value.substr(slash + 1);
        file.FilePath = slash == std::string::npos ? "" : value.substr(0, slash + 1);
        size_t dot = value.rfind('.');
        file.FileExt = dot == std::string::npos ? value : value.substr(dot + 1);
        file.FileType = headers.content_type;
        file.FileStart = static_cast<int64_t>(data_start);
        file.FileSize = static_cast<int64_t>(data.size());
        file.data_ = data;
        File.emplace(headers.name, std::move(file));
      }
    } else if (headers.has_name) {
      form_bytes += data.size();
      if (form_bytes > kMaxFormBytes) return Fail(kUploadFormTooLarge);
      std::string value = GbkToUtf8(data);
      auto [entry, added] = Form.try_emplace(headers.name, value);
      if (!added) entry->second += ", " + value;
    }

    // After a boundary: "--" closes the body (also when the CR LF after it is missing), CR LF
    // begins the next part; a body that ends right after a boundary has no more parts.
    size_t after = part_end + delimiter.size();
    std::string_view rest = body.substr(after, 2);
    if (rest.empty() || rest == "--") return;
    if (rest != kCrLf) return Fail(kUploadMalformed);
    pos = after + kCrLf.size();
  }
}

FileInfo_Class::SaveResult FileInfo_Class::SaveToFile(const std::filesystem::path& path,
                                                      SiteFolderNames* names) const {
  return SaveNewFile(path, data_, names);
}

FileInfo_Class::SaveResult SaveNewFile(const std::filesystem::path& path, std::string_view data,
                                       SiteFolderNames* names) {
  using SaveResult = FileInfo_Class::SaveResult;
  auto write_all = [data](int fd) {
    std::string_view rest = data;
    while (!rest.empty()) {
      ssize_t n = ::write(fd, rest.data(), rest.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      rest.remove_prefix(static_cast<size_t>(n));
    }
    return true;
  };

  // The bytes go to a temporary file of the same folder, which is then linked under the name:
  // the link fails when the name is taken, and a reader never sees a part of the file.
  std::string temp = (path.parent_path() / ".upload-XXXXXX").string();
  std::vector<char> temp_name(temp.begin(), temp.end());
  temp_name.push_back('\0');
  int fd = ::mkstemp(temp_name.data());
  if (fd < 0) return SaveResult::kFailed;
  mode_t mask = ::umask(0);
  ::umask(mask);
  bool written = ::fchmod(fd, 0666 & ~mask) == 0 && write_all(fd);
  written = ::close(fd) == 0 && written;
  if (!written) {
    ::unlink(temp_name.data());
    return SaveResult::kFailed;
  }
  int linked = ::link(temp_name.data(), path.c_str());
  int link_error = errno;
  ::unlink(temp_name.data());
  if (linked == 0) {
    fs::NoteCreated(names, path);
    return SaveResult::kSaved;
  }
  if (link_error == EEXIST) return SaveResult::kExists;
  if (link_error != EPERM && link_error != ENOTSUP && link_error != EXDEV) {
    return SaveResult::kFailed;
  }

  // A file system without links: the file is created under its name, exclusively.
  fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return errno == EEXIST ? SaveResult::kExists : SaveResult::kFailed;
  written = write_all(fd);
  written = ::close(fd) == 0 && written;
  if (!written) {
    ::unlink(path.c_str());
    return SaveResult::kFailed;
  }
  fs::NoteCreated(names, path);
  return SaveResult::kSaved;
}

}  // namespace folirex
