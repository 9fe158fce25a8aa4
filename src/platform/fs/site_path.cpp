#include "platform/fs/site_path.h"

#include <dirent.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace folirex::fs {
namespace {

namespace stdfs = std::filesystem;

// Bounds the memory of the name cache; past it the cache starts over.
constexpr size_t kMaxCachedFolders = 4096;
// A listing taken this soon after the folder last changed may have missed a change made within
// the same tick of the file system's clock, so a name it lacks is looked up again. The folder's
// status-change time is the one compared: unlike the modification time, no tool can set it back
// (an unpacked archive or a copy that keeps times restores the modification time).
constexpr int64_t kRacyWindowNs = 2'000'000'000;

std::string FoldCase(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

int64_t ToNanoseconds(const timespec& t) {
  return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

int64_t NowNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return ToNanoseconds(now);
}

// One folder's names by their folded form, and what the folder looked like when they were read.
struct FolderNames {
  dev_t device = 0;
  ino_t inode = 0;
  int64_t changed_ns = 0;
  // True when the listing was taken well after the folder's last change, so a name missing
  // from it is truly missing while the folder keeps the same change time.
  bool settled = false;
  std::unordered_map<std::string, std::string> by_folded;
};

struct NameMatch {
  std::string name;
  bool is_link = false;
};

class NameCache {
 public:
  // The entry of `folder` whose name equals `segment` without regard to ASCII case. The entry
  // is confirmed on the disk before it is returned.
  std::optional<NameMatch> Find(const std::string& folder, std::string_view segment) {
    struct stat folder_stat {};
    if (stat(folder.c_str(), &folder_stat) != 0 || !S_ISDIR(folder_stat.st_mode)) {
      return std::nullopt;
    }
    const std::string folded = FoldCase(segment);
    std::shared_ptr<const FolderNames> names;
    {
      std::shared_lock lock(mutex_);
      auto it = folders_.find(folder);
      if (it != folders_.end()) names = it->second;
    }
    if (names && SameFolderState(*names, folder_stat)) {
      auto hit = names->by_folded.find(folded);
      if (hit != names->by_folded.end()) {
        if (auto match = Confirm(folder, hit->second)) return match;
      } else if (names->settled) {
        return std::nullopt;
      }
    }
    names = Scan(folder, folder_stat);
    if (!names) return std::nullopt;
    {
      std::unique_lock lock(mutex_);
      if (folders_.size() >= kMaxCachedFolders) folders_.clear();
      folders_[folder] = names;
    }
    auto hit = names->by_folded.find(folded);
    if (hit == names->by_folded.end()) return std::nullopt;
    return Confirm(folder, hit->second);
  }

 private:
  static bool SameFolderState(const FolderNames& names, const struct stat& folder_stat) {
    return names.device == folder_stat.st_dev && names.inode == folder_stat.st_ino &&
           names.changed_ns == ToNanoseconds(folder_stat.st_ctim);
  }

  static std::optional<NameMatch> Confirm(const std::string& folder, const std::string& name) {
    std::string full = folder;
    if (full.empty() || full.back() != '/') full += '/';
    full += name;
    struct stat entry_stat {};
    if (lstat(full.c_str(), &entry_stat) != 0) return std::nullopt;
    return NameMatch{name, S_ISLNK(entry_stat.st_mode)};
  }

  // Reads the folder's names. The folder's state is the one taken before reading, so a change
  // made while reading gives a newer change time and the listing is read again next time.
  static std::shared_ptr<const FolderNames> Scan(const std::string& folder,
                                                 const struct stat& folder_stat) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return nullptr;
    auto names = std::make_shared<FolderNames>();
    names->device = folder_stat.st_dev;
    names->inode = folder_stat.st_ino;
    names->changed_ns = ToNanoseconds(folder_stat.st_ctim);
    names->settled = NowNanoseconds() - names->changed_ns > kRacyWindowNs;
    while (dirent* entry = readdir(dir)) {
      std::string_view name = entry->d_name;
      if (name == "." || name == "..") continue;
      auto [it, inserted] = names->by_folded.try_emplace(FoldCase(name), name);
      if (!inserted && name < it->second) it->second = name;
    }
    closedir(dir);
    return names;
  }

  std::shared_mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<const FolderNames>> folders_;
};

NameCache& Cache() {
  static NameCache* cache = new NameCache();  // process-wide, never destroyed
  return *cache;
}

// The path with every link of its existing part resolved, "." dropped and ".." applied to the
// resolved folder; the missing part is appended as given. nullopt for a dangling link, a link
// loop, a ".." in the missing part or a folder that cannot be searched.
std::optional<stdfs::path> ResolveExisting(const stdfs::path& absolute) {
  stdfs::path current = absolute.root_path();
  bool missing = false;
  for (const stdfs::path& part : absolute.relative_path()) {
    const std::string& piece = part.native();
    if (piece.empty() || piece == ".") continue;
    if (missing) {
      if (piece == "..") return std::nullopt;
      current /= part;
      continue;
    }
    if (piece == "..") {
      current = current.parent_path();  // current has no links, so this is the real parent
      continue;
    }
    stdfs::path next = current / part;
    struct stat entry_stat {};
    if (lstat(next.c_str(), &entry_stat) != 0) {
      if (errno != ENOENT && errno != ENOTDIR) return std::nullopt;
      missing = true;
      current = std::move(next);
      continue;
    }
    if (S_ISLNK(entry_stat.st_mode)) {
      std::error_code error;
      stdfs::path target = stdfs::canonical(next, error);
      if (error) return std::nullopt;
      current = std::move(target);
    } else {
      current = std::move(next);
    }
  }
  return current;
}

// -1: path is not inside root; 0: path is root; 1: path lies below root.
int Placement(const stdfs::path& root, const stdfs::path& path) {
  std::error_code error;
  stdfs::path real_root = stdfs::canonical(root, error);
  if (error) return -1;
  stdfs::path absolute = stdfs::absolute(path, error);
  if (error) return -1;
  std::optional<stdfs::path> real_path = ResolveExisting(absolute);
  if (!real_path) return -1;
  auto root_it = real_root.begin();
  auto path_it = real_path->begin();
  for (; root_it != real_root.end(); ++root_it, ++path_it) {
    if (path_it == real_path->end() || *root_it != *path_it) return -1;
  }
  for (; path_it != real_path->end(); ++path_it) {
    if (!path_it->empty()) return 1;  // a trailing separator gives an empty last element
  }
  return 0;
}

}  // namespace

std::optional<stdfs::path> ResolveInside(const stdfs::path& root, std::string_view relative) {
  if (relative.find('\0') != std::string_view::npos) return std::nullopt;
  std::vector<std::string_view> segments;
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = relative.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = relative.size();
    std::string_view segment = relative.substr(start, end - start);
    start = end + 1;
    if (segment.empty() || segment == ".") continue;
    if (segment == "..") {
      if (segments.empty()) return std::nullopt;
      segments.pop_back();
      continue;
    }
    segments.push_back(segment);
  }

  stdfs::path result = root;
  bool on_disk = true;
  bool through_link = false;
  for (std::string_view segment : segments) {
    if (!on_disk) {
      result /= segment;
      continue;
    }
    stdfs::path exact = result / segment;
    struct stat entry_stat {};
    if (lstat(exact.c_str(), &entry_stat) == 0) {
      through_link = through_link || S_ISLNK(entry_stat.st_mode);
      result = std::move(exact);
      continue;
    }
    std::optional<NameMatch> match = Cache().Find(result.native(), segment);
    if (match) {
      through_link = through_link || match->is_link;
      result /= match->name;
    } else {
      on_disk = false;
      result = std::move(exact);
    }
  }
  // Without a link on the way, the joined segments cannot climb out of root.
  if (through_link && !IsInside(root, result)) return std::nullopt;
  return result;
}

bool IsInside(const stdfs::path& root, const stdfs::path& path) {
  return Placement(root, path) >= 0;
}

bool IsBelow(const stdfs::path& root, const stdfs::path& path) { return Placement(root, path) > 0; }

}  // namespace folirex::fs
