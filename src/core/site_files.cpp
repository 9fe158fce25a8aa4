#include "core/site_files.h"

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>

#include "core/regex_helpers.h"
#include "platform/cache/lru_cache.h"
#include "platform/fs/file_system.h"
#include "platform/fs/site_path.h"
#include "platform/regex/regex_error.h"

namespace folirex {

namespace {

namespace stdfs = std::filesystem;

// The disk path of a site path; nullopt when there is no host or MapPath refuses it (a path that
// would leave the site).
std::optional<stdfs::path> Map(const HostObjects& host, std::string_view path) {
  if (host.Server == nullptr) return std::nullopt;
  try {
    return host.Server->MapPath(path);
  } catch (const HostError&) {
    return std::nullopt;
  }
}

// The site's folder names the host's Server keeps, which what the site creates is noted in.
SiteFolderNames* Names(const HostObjects& host) { return host.Server->folder_names(); }

// True when the folder may be deleted or renamed as a whole: it lies below the site root and is
// neither the root nor the install folder, whose loss would take the whole site with it.
bool MayRemoveWhole(const HostObjects& host, const stdfs::path& folder) {
  const stdfs::path& root = host.Server->site_root();
  if (!fs::IsBelow(root, folder)) return false;
  if (std::optional<stdfs::path> install = Map(host, host.Server->install_dir())) {
    std::error_code error;
    if (stdfs::equivalent(*install, folder, error)) return false;
  }
  return true;
}

// Where SetFolderAside keeps a folder's files: "data/cleared/" below the site root, then the
// folder's path from the root. nullopt for a folder outside the root or inside the data folder.
std::optional<stdfs::path> KeptFolderOf(const HostObjects& host, const stdfs::path& folder) {
  const stdfs::path& root = host.Server->site_root();
  if (!fs::IsBelow(root, folder)) return std::nullopt;
  const stdfs::path relative = folder.lexically_relative(root);
  if (relative.empty() || relative.begin()->native() == "." || relative.begin()->native() == "..") {
    return std::nullopt;
  }
  std::string first = relative.begin()->native();
  for (char& c : first) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (first == "data") return std::nullopt;
  return root / "data" / "cleared" / relative;
}

// The name test of the pattern deletes: every name for an empty pattern, else a case-insensitive
// regular-expression search. A pattern the regular-expression object rejects takes no name.
fs::NameFilter PatternFilter(std::string_view pattern, bool* bad_pattern) {
  if (pattern.empty()) return fs::NameFilter{};
  std::string kept(pattern);
  return [kept, bad_pattern](const std::string& name) {
    try {
      return RegexTest(kept, name);
    } catch (const RegexError&) {
      *bad_pattern = true;
      return false;
    }
  };
}

void AppendEscapedLine(std::string_view part, std::string* out) {
  out->append("document.write(\"");
  for (size_t i = 0; i < part.size(); ++i) {
    char c = part[i];
    switch (c) {
      case '\\':
        out->append("\\\\");
        break;
      case '"':
        out->append("\\\"");
        break;
      // A line break inside a script string ends the statement with a syntax error, which would
      // take every later line of the snippet with it.
      case '\r':
        out->append("\\r");
        break;
      case '\n':
        out->append("\\n");
        break;
      case '\xE2':
        // U+2028 and U+2029 end a line in older script engines too.
        if (i + 2 < part.size() && part[i + 1] == '\x80' &&
            (part[i + 2] == '\xA8' || part[i + 2] == '\xA9')) {
          out->append(part[i + 2] == '\xA8' ? "\\u2028" : "\\u2029");
          i += 2;
        } else {
          out->push_back(c);
        }
        break;
      default:
        out->push_back(c);
    }
  }
  out->append("\");\r\n");
}

}  // namespace

bool WriteTextFile(const HostObjects& host, std::string_view path, std::string_view text) {
  std::optional<stdfs::path> disk = Map(host, path);
  return disk && fs::WriteTextFile(*disk, text, nullptr, Names(host));
}

std::string ReadTextFile(const HostObjects& host, std::string_view path) {
  std::optional<stdfs::path> disk = Map(host, path);
  if (!disk) return "";
  return fs::ReadTextFile(*disk).value_or("");
}

std::optional<TextFilesSeen::Seen> TextFilesSeen::Find(const std::string& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  const Seen* seen = files_.Find(key);
  return seen == nullptr ? std::nullopt : std::optional<Seen>(*seen);
}

void TextFilesSeen::Keep(const std::string& key, Seen seen) {
  const size_t charge = key.size() + seen.disk.native().size() + seen.text.size() + 128;
  std::lock_guard<std::mutex> lock(mutex_);
  files_.Insert(key, std::move(seen), charge);
}

bool TextFileHolds(TextFilesSeen* files, const HostObjects& host, std::string_view path,
                   std::string_view text) {
  if (host.Server == nullptr) return text.empty();
  std::string key = host.Server->site_root().native();
  key.append(1, '\0').append(host.Server->install_dir()).append(1, '\0').append(path);
  if (files != nullptr) {
    if (std::optional<TextFilesSeen::Seen> seen = files->Find(key); seen && seen->text == text) {
      if (fs::StateOf(seen->disk) == seen->state) return true;
    }
  }
  std::optional<stdfs::path> disk = Map(host, path);
  if (!disk) return text.empty();
  const std::optional<fs::FileState> before = fs::StateOf(*disk);
  std::string found = fs::ReadTextFile(*disk).value_or("");
  if (found != text) return false;
  // Kept only when nothing wrote the file while it was read.
  if (files != nullptr && before && fs::StateOf(*disk) == before) {
    files->Keep(key, {*disk, *before, std::move(found)});
  }
  return true;
}

std::string HtmlToJsWrite(std::string_view html) {
  std::string out;
  if (html.empty()) return out;
  out.reserve(html.size() + html.size() / 8 + 24);
  size_t start = 0;
  while (true) {
    size_t end = html.find("\r\n", start);
    if (end == std::string_view::npos) {
      AppendEscapedLine(html.substr(start), &out);
      break;
    }
    AppendEscapedLine(html.substr(start, end - start), &out);
    start = end + 2;
  }
  return out;
}

bool CreateFolderPath(const HostObjects& host, std::string& path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return CreateFolderPath(host, std::string_view(path));
}

bool CreateFolderPath(const HostObjects& host, std::string_view path) {
  std::string slashed(path);
  for (char& c : slashed) {
    if (c == '\\') c = '/';
  }
  // MapPath resolves the whole path inside the site; creating it creates every missing folder
  // along it, as walking the parts one by one would.
  std::optional<stdfs::path> disk = Map(host, slashed);
  return disk && fs::CreateFolderPath(*disk, nullptr, Names(host));
}

bool CopyFolder(const HostObjects& host, std::string_view source, std::string_view destination,
                bool overwrite) {
  std::optional<stdfs::path> from = Map(host, source);
  std::optional<stdfs::path> to = Map(host, destination);
  if (!from || !to || !fs::FolderExists(*from)) return false;
  return fs::CopyFolder(*from, *to, overwrite, nullptr, Names(host));
}

bool RenameFolder(const HostObjects& host, std::string_view path, std::string_view new_name) {
  std::optional<stdfs::path> disk = Map(host, path);
  if (!disk) return false;
  if (!fs::FolderExists(*disk)) return CreateFolderPath(host, path);
  if (!MayRemoveWhole(host, *disk)) return false;
  return fs::RenameFolder(*disk, new_name, nullptr, Names(host));
}

bool DeleteFolder(const HostObjects& host, std::string_view path) {
  std::optional<stdfs::path> disk = Map(host, path);
  if (!disk) return false;
  if (!fs::FolderExists(*disk)) return !fs::FileExists(*disk);
  if (!MayRemoveWhole(host, *disk)) return false;
  return fs::DeleteFolder(*disk);
}

bool SetFolderAside(const HostObjects& host, std::string_view path) {
  std::optional<stdfs::path> disk = Map(host, path);
  if (!disk) return false;
  if (!fs::FolderExists(*disk)) return !fs::FileExists(*disk);
  if (!MayRemoveWhole(host, *disk)) return false;
  const std::optional<stdfs::path> kept = KeptFolderOf(host, *disk);
  return kept ? fs::SetFolderAside(*disk, *kept) : fs::DeleteFolder(*disk);
}

bool DeleteSubFolders(const HostObjects& host, std::string_view folder, std::string_view pattern) {
  std::optional<stdfs::path> disk = Map(host, folder);
  if (!disk) return false;
  bool bad_pattern = false;
  bool refused = false;
  fs::NameFilter matches = PatternFilter(pattern, &bad_pattern);
  stdfs::path parent = *disk;
  fs::NameFilter take = [&](const std::string& name) {
    if (matches && !matches(name)) return false;
    if (!MayRemoveWhole(host, parent / name)) {
      refused = true;
      return false;
    }
    return true;
  };
  bool ok = fs::DeleteSubFolders(*disk, take);
  return ok && !bad_pattern && !refused;
}

bool DeleteFilesIn(const HostObjects& host, std::string_view folder, std::string_view pattern) {
  std::optional<stdfs::path> disk = Map(host, folder);
  if (!disk) return false;
  bool bad_pattern = false;
  bool ok = fs::DeleteFilesIn(*disk, PatternFilter(pattern, &bad_pattern));
  return ok && !bad_pattern;
}

bool DeleteFile(const HostObjects& host, std::string_view path) {
  std::optional<stdfs::path> disk = Map(host, path);
  return disk && fs::DeleteFile(*disk);
}

namespace {

// Past this many names a folder is not read: each page then takes the site path helpers, so that
// a step costs the same in a folder of a million pages as in a small one.
constexpr size_t kMaxReadNames = 16384;

// The name with ASCII letters in lower case, hashed: the site matches names without regard to
// case, and a hash that two names share only sends a page the long way.
uint64_t FoldedHash(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return std::hash<std::string>{}(folded);
}

bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\\\0", 3)) == std::string::npos;
}

}  // namespace

SiteFolder::SiteFolder(const HostObjects& host, std::string folder, bool read_names)
    : host_(host), folder_(std::move(folder)) {
  if (!read_names) return;
  std::optional<stdfs::path> disk = Map(host, folder_);
  if (!disk) return;
  std::error_code error;
  stdfs::directory_iterator it(*disk, error);
  if (error) return;
  for (; it != stdfs::directory_iterator(); it.increment(error)) {
    if (error || names_.size() >= kMaxReadNames) {
      names_.clear();
      return;
    }
    names_.insert(FoldedHash(it->path().filename().native()));
  }
  if (std::optional<stdfs::path> kept = KeptFolderOf(host, *disk)) {
    if (fs::FolderExists(*kept)) kept_ = std::move(kept);
  }
  disk_ = std::move(disk);
}

bool SiteFolder::Known(const std::string& name) const { return names_.count(FoldedHash(name)); }

bool SiteFolder::WriteText(const std::string& name, std::string_view text) {
  // A name the folder may hold (in any case) takes the site path's mapping, which picks the
  // file of that name whatever its case.
  if (!disk_ || !IsPlainName(name) || Known(name)) {
    return WriteTextFile(host_, folder_ + name, text);
  }
  SiteFolderNames* names = Names(host_);
  const bool written =
      kept_ ? fs::WriteTextFileReusing(*disk_ / name, text, *kept_ / name, nullptr, names)
            : fs::WriteTextFile(*disk_ / name, text, nullptr, names);
  if (!written) return false;
  names_.insert(FoldedHash(name));
  return true;
}

bool SiteFolder::HoldsFile(const std::string& name) const {
  // A name the folder did not hold is missing without a look; one it may hold is looked up, as it
  // may be a folder or gone since.
  if (disk_ && IsPlainName(name) && !Known(name)) return false;
  std::optional<stdfs::path> disk = Map(host_, folder_ + name);
  return disk && fs::FileExists(*disk);
}

bool SiteFolder::Delete(const std::string& name) { return DeleteFile(host_, folder_ + name); }

}  // namespace folirex
