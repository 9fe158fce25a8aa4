#include "platform/fs/site_path.h"

#include <dirent.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <deque>
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
// Reading a folder again after every change would make filling it quadratic (a static
// generation writes thousands of new files into its class and list folders, each one first
// looked up, and its pages looked up again for stale ones). A listing therefore still answers
// "no such name" after the folder changed, as long as the names this process created there
// meanwhile have been added to it (NoteCreated), for kReuseFactor times its reading time when it
// holds at least kLargeFolder names, and for at least kFillingReuse while this process is filling
// the folder (it has noted a name there since the reading). Names it holds are confirmed on the
// disk as always; what can be missed is only a case variant that another process made in that
// short while. Other folders are read again after every change. kFillingReuse is long enough
// that a generation writing its pages round the class folders in turn (each folder changing
// every few milliseconds) reads each folder a few times a second, not once for every file.
constexpr size_t kLargeFolder = 1000;
constexpr int64_t kReuseFactor = 20;
constexpr int64_t kFillingReuseNs = 250'000'000;
// Names created while a folder is being read are added to the listing afterwards from the last
// kRecentNotes names noted there.
constexpr size_t kRecentNotes = 64;

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

int64_t NowNanoseconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return ToNanoseconds(now);
}

// The cache's key for a folder: its path as given, without trailing separators, so that the
// folder a lookup walked through and the parent of a path built from it give the same key.
std::string FolderKey(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

// One folder's names by their folded form, and what the folder looked like when they were read.
struct FolderNames {
  dev_t device = 0;
  ino_t inode = 0;
  int64_t changed_ns = 0;
  // True when the listing was taken well after the folder's last change, so a name missing
  // from it is truly missing while the folder keeps the same change time.
  bool settled = false;
  // False when a name this process created in the folder while the listing was being read could
  // not be added to it afterwards, so the listing may lack it and must not answer for a changed
  // folder.
  bool complete = true;
  // True when this process has created a name in the folder since the listing was read.
  bool filling = false;
  int64_t read_at_ns = 0;  // monotonic clock
  int64_t read_cost_ns = 0;
  std::unordered_map<std::string, std::string> by_folded;

  void Add(std::string_view name) {
    auto [it, inserted] = by_folded.try_emplace(FoldCase(name), name);
    if (!inserted && name < it->second) it->second = name;
  }
};

struct NameMatch {
  std::string name;
  bool is_link = false;
};

enum class Answer { kFound, kMissing, kUnknown };

std::optional<NameMatch> Confirm(const std::string& folder, const std::string& name) {
  std::string full = folder;
  if (full.empty() || full.back() != '/') full += '/';
  full += name;
  struct stat entry_stat {};
  if (lstat(full.c_str(), &entry_stat) != 0) return std::nullopt;
  return NameMatch{name, S_ISLNK(entry_stat.st_mode)};
}

// Reads the folder's names. The folder's state is the one taken before reading, so a change
// made while reading gives a newer change time and the listing is read again next time.
std::shared_ptr<FolderNames> Scan(const std::string& folder, const struct stat& folder_stat) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return nullptr;
  auto names = std::make_shared<FolderNames>();
  names->device = folder_stat.st_dev;
  names->inode = folder_stat.st_ino;
  names->changed_ns = ToNanoseconds(folder_stat.st_ctim);
  names->settled = NowNanoseconds(CLOCK_REALTIME) - names->changed_ns > kRacyWindowNs;
  names->read_at_ns = NowNanoseconds(CLOCK_MONOTONIC);
  while (dirent* entry = readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name != "." && name != "..") names->Add(name);
  }
  closedir(dir);
  names->read_cost_ns = NowNanoseconds(CLOCK_MONOTONIC) - names->read_at_ns;
  return names;
}

// The entry of `folder` whose name equals `segment` without regard to ASCII case, read from
// the folder itself: a lookup without the site's names.
std::optional<NameMatch> FindReading(const std::string& folder_path, std::string_view segment) {
  const std::string folder = FolderKey(folder_path);
  struct stat folder_stat {};
  if (stat(folder.c_str(), &folder_stat) != 0 || !S_ISDIR(folder_stat.st_mode)) {
    return std::nullopt;
  }
  std::shared_ptr<FolderNames> names = Scan(folder, folder_stat);
  if (!names) return std::nullopt;
  auto hit = names->by_folded.find(FoldCase(segment));
  if (hit == names->by_folded.end()) return std::nullopt;
  return Confirm(folder, hit->second);
}

}  // namespace

// What a SiteFolderNames holds.
class FolderNameCache {
 public:
  // The entry of `folder` whose name equals `segment` without regard to ASCII case. The entry
  // is confirmed on the disk before it is returned.
  std::optional<NameMatch> Find(const std::string& folder_path, std::string_view segment) {
    const std::string folder = FolderKey(folder_path);
    struct stat folder_stat {};
    if (stat(folder.c_str(), &folder_stat) != 0 || !S_ISDIR(folder_stat.st_mode)) {
      return std::nullopt;
    }
    const std::string folded = FoldCase(segment);
    std::string cached_name;
    uint64_t notes_before = 0;
    uint64_t clears_before = 0;
    Answer answer = Answer::kUnknown;
    {
      std::shared_lock lock(mutex_);
      clears_before = clears_;
      auto it = folders_.find(folder);
      if (it != folders_.end()) {
        notes_before = it->second.last_note;
        if (const FolderNames* names = it->second.names.get()) {
          auto hit = names->by_folded.find(folded);
          if (hit != names->by_folded.end()) {
            cached_name = hit->second;
            answer = Answer::kFound;
          } else if (SameFolder(*names, folder_stat) &&
                     ((SameFolderState(*names, folder_stat) && names->settled) ||
                      StillFreshForMisses(*names))) {
            answer = Answer::kMissing;
          }
        }
      }
    }
    if (answer == Answer::kMissing) return std::nullopt;
    if (answer == Answer::kFound) {
      if (auto match = Confirm(folder, cached_name)) return match;
    }

    std::shared_ptr<FolderNames> names = Scan(folder, folder_stat);
    if (!names) return std::nullopt;
    std::optional<std::string> found;
    {
      std::unique_lock lock(mutex_);
      if (folders_.size() >= kMaxCachedFolders) Clear();
      auto it = folders_.try_emplace(folder).first;
      // Notes made while reading are added; those lost when the cache started over are not.
      names->complete = it->second.AddNotedSince(notes_before, *names) && clears_ == clears_before;
      auto hit = names->by_folded.find(folded);
      if (hit != names->by_folded.end()) found = hit->second;
      it->second.names = std::move(names);
    }
    if (!found) return std::nullopt;
    return Confirm(folder, *found);
  }

  void NoteCreated(const std::string& folder_path, std::string_view name) {
    const std::string folder = FolderKey(folder_path);
    std::unique_lock lock(mutex_);
    auto it = folders_.find(folder);
    if (it == folders_.end()) {
      if (folders_.size() >= kMaxCachedFolders) Clear();
      it = folders_.try_emplace(folder).first;
    }
    it->second.Note(++note_counter_, name);
    if (FolderNames* names = it->second.names.get()) {
      names->Add(name);
      names->filling = true;
    }
  }

 private:
  struct Folder {
    std::shared_ptr<FolderNames> names;  // null until the folder is first read
    uint64_t last_note = 0;              // note_counter_ at the last NoteCreated
    // The latest names noted, with their note_counter_ values, so that a listing read while
    // other threads were creating names can still be made whole; forgotten_note is the value of
    // the newest note no longer kept.
    std::deque<std::pair<uint64_t, std::string>> recent_notes;
    uint64_t forgotten_note = 0;

    void Note(uint64_t counter, std::string_view name) {
      last_note = counter;
      recent_notes.emplace_back(counter, name);
      if (recent_notes.size() > kRecentNotes) {
        forgotten_note = recent_notes.front().first;
        recent_notes.pop_front();
      }
    }

    // Adds the names noted after `counter` to a listing read meanwhile; false when some of them
    // are no longer known, so the listing may lack a name this process created.
    bool AddNotedSince(uint64_t counter, FolderNames& names) const {
      if (forgotten_note > counter) return false;
      for (const auto& [noted, name] : recent_notes) {
        if (noted <= counter) continue;
        names.Add(name);
        names.filling = true;
      }
      return true;
    }
  };

  static bool SameFolder(const FolderNames& names, const struct stat& folder_stat) {
    return names.device == folder_stat.st_dev && names.inode == folder_stat.st_ino;
  }

  static bool SameFolderState(const FolderNames& names, const struct stat& folder_stat) {
    return SameFolder(names, folder_stat) && names.changed_ns == ToNanoseconds(folder_stat.st_ctim);
  }

  static bool StillFreshForMisses(const FolderNames& names) {
    if (!names.complete) return false;
    int64_t reuse_ns = 0;
    if (names.by_folded.size() >= kLargeFolder) reuse_ns = kReuseFactor * names.read_cost_ns;
    if (names.filling) reuse_ns = std::max(reuse_ns, kFillingReuseNs);
    return NowNanoseconds(CLOCK_MONOTONIC) - names.read_at_ns < reuse_ns;
  }

  void Clear() {
    folders_.clear();
    ++clears_;
  }

  // Guards folders_, note_counter_, clears_ and the contents of every FolderNames it holds.
  std::shared_mutex mutex_;
  std::unordered_map<std::string, Folder> folders_;
  uint64_t note_counter_ = 0;
  uint64_t clears_ = 0;  // times folders_ started over
};

class FolderLookup {
 public:
  // The entry of `folder` named `segment` in any ASCII case, through the names when there are.
  static std::optional<NameMatch> Find(SiteFolderNames* names, const std::string& folder,
                                       std::string_view segment) {
    return names == nullptr ? FindReading(folder, segment) : names->names_->Find(folder, segment);
  }
};

namespace {

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

std::optional<stdfs::path> ResolveInside(const stdfs::path& root, std::string_view relative,
                                         SiteFolderNames* names) {
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
    std::optional<NameMatch> match = FolderLookup::Find(names, result.native(), segment);
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

namespace folirex {

SiteFolderNames::SiteFolderNames() : names_(std::make_unique<fs::FolderNameCache>()) {}
SiteFolderNames::~SiteFolderNames() = default;

void SiteFolderNames::NoteCreated(const std::filesystem::path& entry) {
  std::filesystem::path name = entry.filename();
  if (name.empty() || name == "." || name == "..") return;
  names_->NoteCreated(entry.parent_path().native(), name.native());
}

}  // namespace folirex
