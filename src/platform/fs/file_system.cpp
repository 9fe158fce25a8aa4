#include "platform/fs/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <random>
#include <thread>
#include <utility>

#include "platform/fs/site_path.h"
#include "platform/text/codepage.h"

namespace folirex::fs {
namespace {

namespace stdfs = std::filesystem;

constexpr size_t kCopyChunk = 1 << 16;
constexpr int kTempNameTries = 16;

std::error_code LastError() { return std::error_code(errno, std::generic_category()); }

bool Fail(std::error_code* out, std::error_code error) {
  if (out != nullptr) *out = error;
  return false;
}

bool Fail(std::error_code* out, std::errc code) { return Fail(out, std::make_error_code(code)); }

bool Succeed(std::error_code* out) {
  if (out != nullptr) out->clear();
  return true;
}

// The path without trailing separators and "." elements, so that its last element names the
// entry itself: "linked/" or "linked/." would reach through a link to what it points to.
stdfs::path EntryPath(stdfs::path path) {
  while (path.has_relative_path() && (!path.has_filename() || path.filename() == ".")) {
    path = path.parent_path();
  }
  return path;
}

stdfs::path FolderOf(const stdfs::path& file) {
  stdfs::path folder = file.parent_path();
  return folder.empty() ? stdfs::path(".") : folder;
}

std::string FoldCase(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return folded;
}

char FoldChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Compares without regard to ASCII case, bytes taken as unsigned.
int CompareFolded(std::string_view a, std::string_view b) {
  size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    auto ca = static_cast<unsigned char>(FoldChar(a[i]));
    auto cb = static_cast<unsigned char>(FoldChar(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Closes a descriptor when it goes out of scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Hands the descriptor over, e.g. to close it where its result counts.
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

std::string TempName() {
  thread_local std::mt19937_64 random(std::random_device{}() ^
                                      std::hash<std::thread::id>{}(std::this_thread::get_id()) ^
                                      static_cast<uint64_t>(getpid()));
  static constexpr char kHex[] = "0123456789abcdef";
  std::string name = ".fx";
  uint64_t bits = random();
  for (int i = 0; i < 16; ++i, bits >>= 4) name += kHex[bits & 0xf];
  name += ".tmp";
  return name;
}

// A new file under a unique name in the target's folder that either replaces the target by a
// rename (Commit) or is removed when it goes out of scope.
class TempFile {
 public:
  explicit TempFile(const stdfs::path& target) : target_(target) {
    stdfs::path folder = FolderOf(target);
    for (int attempt = 0; attempt < kTempNameTries; ++attempt) {
      path_ = folder / TempName();
      fd_ = open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ >= 0) return;
      error_ = LastError();
      if (errno != EEXIST) break;
    }
    path_.clear();
  }
  ~TempFile() {
    if (fd_ >= 0) close(fd_);
    if (!path_.empty()) unlink(path_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  const std::error_code& error() const { return error_; }

  // Gives the new file the permission bits of the file it replaces.
  void KeepModeOf(const struct stat& old_stat) {
    if (S_ISREG(old_stat.st_mode)) fchmod(fd_, old_stat.st_mode & 07777);
  }

  bool Commit(std::error_code* error) {
    // close may be the first to report a failed write (a full disk on a network file system).
    if (close(std::exchange(fd_, -1)) != 0) return Fail(error, LastError());
    if (rename(path_.c_str(), target_.c_str()) != 0) return Fail(error, LastError());
    path_.clear();
    return Succeed(error);
  }

 private:
  stdfs::path target_;
  stdfs::path path_;
  int fd_ = -1;
  std::error_code error_;
};

// Copies one regular file through a temporary file beside the target, keeping its modification
// time, so that a page being served never shows half a copy.
bool CopyFileAtomically(const stdfs::path& source, const stdfs::path& target,
                        std::error_code* error) {
  FileDescriptor in(open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in.valid()) return Fail(error, LastError());
  struct stat source_stat {};
  if (fstat(in.get(), &source_stat) != 0) return Fail(error, LastError());
  TempFile out(target);
  if (!out.ok()) return Fail(error, out.error());
  std::string buffer(kCopyChunk, '\0');
  for (;;) {
    ssize_t got = read(in.get(), buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return Fail(error, LastError());
    }
    if (got == 0) break;
    if (!WriteAll(out.fd(), std::string_view(buffer.data(), static_cast<size_t>(got)))) {
      return Fail(error, LastError());
    }
  }
  const timespec times[2] = {source_stat.st_atim, source_stat.st_mtim};
  futimens(out.fd(), times);
  return out.Commit(error);
}

std::string ExtensionOf(const std::string& name) {
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

// An entry of a folder as seen through a link, with whether the entry itself is a link.
struct RawEntry {
  std::string name;
  struct stat target_stat {};
  bool is_link = false;
};

// Reads the folder's entries (without "." and ".."). Entries that vanish while reading, and
// links that lead nowhere, are left out.
std::optional<std::vector<RawEntry>> ReadEntries(const stdfs::path& folder,
                                                 std::error_code* error) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    Fail(error, LastError());
    return std::nullopt;
  }
  std::vector<RawEntry> entries;
  int dir_fd = dirfd(dir);
  errno = 0;
  while (dirent* found = readdir(dir)) {
    std::string_view name = found->d_name;
    if (name == "." || name == "..") continue;
    RawEntry entry;
    entry.name = std::string(name);
    struct stat link_stat {};
    if (fstatat(dir_fd, found->d_name, &link_stat, AT_SYMLINK_NOFOLLOW) != 0) continue;
    entry.is_link = S_ISLNK(link_stat.st_mode);
    if (!entry.is_link) {
      entry.target_stat = link_stat;
    } else if (fstatat(dir_fd, found->d_name, &entry.target_stat, 0) != 0) {
      continue;
    }
    entries.push_back(std::move(entry));
  }
  closedir(dir);
  Succeed(error);
  return entries;
}

bool NameTaken(const NameFilter& take, const std::string& name) { return !take || take(name); }

bool SameOrInside(const stdfs::path& outer, const stdfs::path& inner) {
  auto outer_it = outer.begin();
  auto inner_it = inner.begin();
  for (; outer_it != outer.end(); ++outer_it, ++inner_it) {
    if (outer_it->empty()) continue;
    if (inner_it == inner.end() || *outer_it != *inner_it) return false;
  }
  return true;
}

// Copies the source folder's entries into the existing target folder; the first error is kept.
void CopyContents(const stdfs::path& source, const stdfs::path& target, bool overwrite,
                  std::error_code* first_error, SiteFolderNames* names) {
  auto note = [&](std::error_code error) {
    if (!*first_error) *first_error = error;
  };
  std::error_code error;
  std::optional<std::vector<RawEntry>> entries = ReadEntries(source, &error);
  if (!entries) return note(error);
  for (const RawEntry& entry : *entries) {
    if (entry.is_link) continue;
    stdfs::path from = source / entry.name;
    stdfs::path to = target / entry.name;
    struct stat existing {};
    bool exists = lstat(to.c_str(), &existing) == 0;
    if (S_ISDIR(entry.target_stat.st_mode)) {
      if (!exists) {
        if (mkdir(to.c_str(), 0777) != 0) {
          note(LastError());
          continue;
        }
        NoteCreated(names, to);
      } else if (!S_ISDIR(existing.st_mode)) {
        note(std::make_error_code(std::errc::not_a_directory));
        continue;
      }
      CopyContents(from, to, overwrite, first_error, names);
    } else if (S_ISREG(entry.target_stat.st_mode)) {
      if (exists && S_ISDIR(existing.st_mode)) {
        note(std::make_error_code(std::errc::is_a_directory));
        continue;
      }
      if (exists && !overwrite) continue;
      if (!CopyFileAtomically(from, to, &error)) {
        note(error);
      } else if (!exists) {
        NoteCreated(names, to);
      }
    }
    // Devices, pipes and sockets have no place in a site and are not copied.
  }
}

}  // namespace

bool FileExists(const stdfs::path& path) {
  struct stat entry_stat {};
  return stat(path.c_str(), &entry_stat) == 0 && !S_ISDIR(entry_stat.st_mode);
}

bool FolderExists(const stdfs::path& path) {
  struct stat entry_stat {};
  return stat(path.c_str(), &entry_stat) == 0 && S_ISDIR(entry_stat.st_mode);
}

std::optional<std::string> ReadFile(const stdfs::path& path, std::error_code* error) {
  FileDescriptor in(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in.valid()) {
    Fail(error, LastError());
    return std::nullopt;
  }
  struct stat file_stat {};
  if (fstat(in.get(), &file_stat) != 0) {
    Fail(error, LastError());
    return std::nullopt;
  }
  if (S_ISDIR(file_stat.st_mode)) {
    Fail(error, std::errc::is_a_directory);
    return std::nullopt;
  }
  std::string bytes;
  if (file_stat.st_size > 0) bytes.reserve(static_cast<size_t>(file_stat.st_size));
  std::string buffer(kCopyChunk, '\0');
  for (;;) {
    ssize_t got = read(in.get(), buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      Fail(error, LastError());
      return std::nullopt;
    }
    if (got == 0) break;
    bytes.append(buffer.data(), static_cast<size_t>(got));
  }
  Succeed(error);
  return bytes;
}

std::optional<FileState> StateOf(const stdfs::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  auto ns = [](const struct timespec& t) {
    return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + static_cast<int64_t>(t.tv_nsec);
  };
  return FileState{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                   static_cast<int64_t>(st.st_size), ns(st.st_mtim), ns(st.st_ctim)};
}

std::optional<std::string> ReadTextFile(const stdfs::path& path, std::error_code* error) {
  std::optional<std::string> bytes = ReadFile(path, error);
  if (!bytes) return std::nullopt;
  return GbkToUtf8(*bytes);
}

namespace {

// How a write through an unnamed file or a spare ended.
enum class UnnamedWrite {
  kWritten,   // the target holds the new bytes
  kFailed,    // it could not be written and never will be (error set)
  kNotTried,  // no unnamed file, no link to it or no usable spare; nothing left behind
};

// A spare at least this large is left alone: the host streams such a file from the open file,
// so a reader of the old page may still be reading it.
constexpr off_t kMaxSpareBytes = off_t{1} << 20;

#ifdef O_TMPFILE
// Gives the open unnamed file a name, as linkat does: straight from the descriptor where the
// kernel lets the process that opened the file do that (Linux 6.10 and later, or a process that
// may read any folder), else through the descriptor's link under /proc, which costs a look-up of
// that path. Once the kernel has refused the first way while the second worked, it is not tried
// again.
class FileLinker {
 public:
  explicit FileLinker(int fd) : fd_(fd) {}

  // 0 when the name was made; -1 with errno set otherwise.
  int operator()(const stdfs::path& target) const {
    if (!by_descriptor_refused_.load(std::memory_order_relaxed)) {
      if (linkat(fd_, "", AT_FDCWD, target.c_str(), AT_EMPTY_PATH) == 0) return 0;
      // The kernel answers a refused descriptor as a missing file; any other failure is the
      // target's own.
      if (errno != ENOENT && errno != EPERM) return -1;
      if (ByProc(target) != 0) return -1;
      by_descriptor_refused_.store(true, std::memory_order_relaxed);
      return 0;
    }
    return ByProc(target);
  }

 private:
  int ByProc(const stdfs::path& target) const {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW);
  }

  int fd_;
  static inline std::atomic<bool> by_descriptor_refused_{false};
};
#endif

// A file written without a name until it is whole: an unnamed file in the target's folder
// (O_TMPFILE), given the target's name once written, so that a new target gets one new entry
// instead of a temporary one made and then renamed. The name is not looked up first (each look-up
// of a name the folder lacks waits for the folder's lock, which the other writers filling it hold
// to link their files); when the target exists, the written file gets the old one's permission
// bits and a temporary name, and replaces it by a rename. kNotTried when the file system offers
// no unnamed files or anything else fails; the caller then writes through a named temporary
// file, which reports the failure if there is one.
UnnamedWrite WriteUnnamed(const stdfs::path& path, std::string_view bytes, std::error_code* error,
                          SiteFolderNames* names) {
#ifdef O_TMPFILE
  const stdfs::path folder = FolderOf(path);
  FileDescriptor fd(open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
  if (!fd.valid() || !WriteAll(fd.get(), bytes)) return UnnamedWrite::kNotTried;
  const FileLinker link(fd.get());
  if (link(path) == 0) {
    // close may be the first to report a failed write: the file then goes again.
    if (close(fd.release()) != 0) {
      unlink(path.c_str());
      return UnnamedWrite::kNotTried;
    }
    NoteCreated(names, path);
    Succeed(error);
    return UnnamedWrite::kWritten;
  }
  if (errno != EEXIST) return UnnamedWrite::kNotTried;
  struct stat old_stat {};
  if (stat(path.c_str(), &old_stat) != 0) return UnnamedWrite::kNotTried;
  if (S_ISDIR(old_stat.st_mode)) {
    Fail(error, std::errc::is_a_directory);
    return UnnamedWrite::kFailed;
  }
  if (S_ISREG(old_stat.st_mode)) fchmod(fd.get(), old_stat.st_mode & 07777);
  stdfs::path temp;
  for (int attempt = 0; attempt < kTempNameTries && temp.empty(); ++attempt) {
    stdfs::path candidate = folder / TempName();
    if (link(candidate) == 0) {
      temp = std::move(candidate);
    } else if (errno != EEXIST) {
      break;
    }
  }
  if (temp.empty()) return UnnamedWrite::kNotTried;
  if (close(fd.release()) != 0 || rename(temp.c_str(), path.c_str()) != 0) {
    unlink(temp.c_str());
    return UnnamedWrite::kNotTried;
  }
  Succeed(error);
  return UnnamedWrite::kWritten;
#else
  (void)path;
  (void)bytes;
  (void)error;
  (void)names;
  return UnnamedWrite::kNotTried;
#endif
}

// Removes a spare that cannot be used, as the folder set aside would be.
void RemoveSpare(const stdfs::path& spare) {
  if (unlink(spare.c_str()) != 0 && errno == EISDIR) {
    std::error_code ignored;
    stdfs::remove_all(spare, ignored);
  }
}

// Writes the bytes over the spare and moves it to the path (WriteFileReusing). The spare is
// claimed by an exclusive lock on the open file, taken without waiting, and kept until it has
// taken the path's name: a writer that does not get the lock, or finds the spare's name no longer
// on the file it opened (another writer has moved it meanwhile), leaves it alone. A spare that
// cannot be used is removed, as the folder set aside would be.
UnnamedWrite WriteOverSpare(const stdfs::path& path, std::string_view bytes,
                            const stdfs::path& spare, std::error_code* error,
                            SiteFolderNames* names) {
  FileDescriptor fd(open(spare.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) {
    // No spare of that name, or one that cannot be written (a link, a folder, no right).
    if (errno != ENOENT) RemoveSpare(spare);
    return UnnamedWrite::kNotTried;
  }
  struct stat spare_stat {};
  struct stat named_stat {};
  if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || fstat(fd.get(), &spare_stat) != 0 ||
      lstat(spare.c_str(), &named_stat) != 0 || named_stat.st_dev != spare_stat.st_dev ||
      named_stat.st_ino != spare_stat.st_ino) {
    return UnnamedWrite::kNotTried;
  }
  // Ours from here on, until it is closed.
  if (!S_ISREG(spare_stat.st_mode) || spare_stat.st_nlink != 1 ||
      spare_stat.st_size >= kMaxSpareBytes || !WriteAll(fd.get(), bytes) ||
      ftruncate(fd.get(), static_cast<off_t>(bytes.size())) != 0) {
    RemoveSpare(spare);
    return UnnamedWrite::kNotTried;
  }
  // close may be the first to report a failed write: the page then goes again.
  auto close_named = [&](const stdfs::path& named) {
    if (close(fd.release()) == 0) return true;
    unlink(named.c_str());
    return false;
  };
  if (renameat2(AT_FDCWD, spare.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) {
    if (!close_named(path)) return UnnamedWrite::kNotTried;
    NoteCreated(names, path);
    Succeed(error);
    return UnnamedWrite::kWritten;
  }
  struct stat old_stat {};
  if (errno == EEXIST && stat(path.c_str(), &old_stat) == 0) {
    if (S_ISDIR(old_stat.st_mode)) {
      RemoveSpare(spare);
      Fail(error, std::errc::is_a_directory);
      return UnnamedWrite::kFailed;
    }
    if (S_ISREG(old_stat.st_mode)) fchmod(fd.get(), old_stat.st_mode & 07777);
    if (rename(spare.c_str(), path.c_str()) == 0) {
      if (!close_named(path)) return UnnamedWrite::kNotTried;
      Succeed(error);
      return UnnamedWrite::kWritten;
    }
  }
  RemoveSpare(spare);
  return UnnamedWrite::kNotTried;
}

}  // namespace

bool WriteFileReusing(const stdfs::path& path, std::string_view bytes, const stdfs::path& spare,
                      std::error_code* error, SiteFolderNames* names) {
  const UnnamedWrite over_spare = WriteOverSpare(path, bytes, spare, error, names);
  if (over_spare != UnnamedWrite::kNotTried) return over_spare == UnnamedWrite::kWritten;
  return WriteFile(path, bytes, error, names);
}

bool WriteTextFileReusing(const stdfs::path& path, std::string_view text, const stdfs::path& spare,
                          std::error_code* error, SiteFolderNames* names) {
  return WriteFileReusing(path, Utf8ToGbk(text, Unmappable::kCharRef), spare, error, names);
}

bool WriteFile(const stdfs::path& path, std::string_view bytes, std::error_code* error,
               SiteFolderNames* names) {
  switch (WriteUnnamed(path, bytes, error, names)) {
    case UnnamedWrite::kWritten:
      return true;
    case UnnamedWrite::kFailed:
      return false;
    case UnnamedWrite::kNotTried:
      break;
  }
  struct stat old_stat {};
  bool replacing = stat(path.c_str(), &old_stat) == 0;
  if (replacing && S_ISDIR(old_stat.st_mode)) return Fail(error, std::errc::is_a_directory);
  TempFile temp(path);
  if (!temp.ok()) return Fail(error, temp.error());
  if (replacing) temp.KeepModeOf(old_stat);
  if (!WriteAll(temp.fd(), bytes)) return Fail(error, LastError());
  if (!temp.Commit(error)) return false;
  if (!replacing) NoteCreated(names, path);
  return true;
}

bool WriteTextFile(const stdfs::path& path, std::string_view text, std::error_code* error,
                   SiteFolderNames* names) {
  return WriteFile(path, Utf8ToGbk(text, Unmappable::kCharRef), error, names);
}

bool CreateFolderPath(const stdfs::path& path, std::error_code* error, SiteFolderNames* names) {
  std::vector<stdfs::path> missing;
  for (stdfs::path level = EntryPath(path); !level.empty() && level != level.parent_path();
       level = level.parent_path()) {
    struct stat level_stat {};
    if (lstat(level.c_str(), &level_stat) == 0) break;
    missing.push_back(level);
  }
  std::error_code failure;
  stdfs::create_directories(path, failure);
  for (const stdfs::path& level : missing) NoteCreated(names, level);
  if (FolderExists(path)) return Succeed(error);
  return Fail(error, failure ? failure : std::make_error_code(std::errc::not_a_directory));
}

bool CopyFolder(const stdfs::path& source, const stdfs::path& destination, bool overwrite,
                std::error_code* error, SiteFolderNames* names) {
  if (!FolderExists(source)) {
    return Fail(error, FileExists(source) ? std::errc::not_a_directory
                                          : std::errc::no_such_file_or_directory);
  }
  std::error_code failure;
  stdfs::path real_source = stdfs::canonical(source, failure);
  if (failure) return Fail(error, failure);
  stdfs::path real_destination = stdfs::weakly_canonical(destination, failure);
  if (failure) return Fail(error, failure);
  // Copying a folder into itself would never end.
  if (SameOrInside(real_source, real_destination)) return Fail(error, std::errc::invalid_argument);
  if (!CreateFolderPath(destination, error, names)) return false;
  failure.clear();
  CopyContents(source, destination, overwrite, &failure, names);
  if (failure) return Fail(error, failure);
  return Succeed(error);
}

bool RenameFolder(const stdfs::path& folder, std::string_view new_name, std::error_code* error,
                  SiteFolderNames* names) {
  if (new_name.empty() || new_name == "." || new_name == ".." ||
      new_name.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos) {
    return Fail(error, std::errc::invalid_argument);
  }
  stdfs::path old_path = EntryPath(folder);
  struct stat folder_stat {};
  if (lstat(old_path.c_str(), &folder_stat) != 0) return Fail(error, LastError());
  if (!S_ISDIR(folder_stat.st_mode)) return Fail(error, std::errc::not_a_directory);
  const std::string old_name = old_path.filename().native();
  if (old_name == new_name) return Succeed(error);

  stdfs::path parent = FolderOf(old_path);
  const std::string folded_new = FoldCase(new_name);
  std::optional<std::vector<RawEntry>> siblings = ReadEntries(parent, error);
  if (!siblings) return false;
  for (const RawEntry& sibling : *siblings) {
    if (sibling.name != old_name && FoldCase(sibling.name) == folded_new) {
      return Fail(error, std::errc::file_exists);
    }
  }
  stdfs::path new_path = parent / std::string(new_name);
  // RENAME_NOREPLACE: a plain rename would silently replace an empty folder of that name made
  // since the check above.
  if (renameat2(AT_FDCWD, old_path.c_str(), AT_FDCWD, new_path.c_str(), RENAME_NOREPLACE) != 0) {
    if (errno != EINVAL && errno != ENOSYS) return Fail(error, LastError());
    struct stat taken {};
    if (lstat(new_path.c_str(), &taken) == 0) return Fail(error, std::errc::file_exists);
    if (rename(old_path.c_str(), new_path.c_str()) != 0) return Fail(error, LastError());
  }
  NoteCreated(names, new_path);
  return Succeed(error);
}

bool DeleteFolder(const stdfs::path& folder, std::error_code* error) {
  struct stat folder_stat {};
  if (stat(folder.c_str(), &folder_stat) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return Succeed(error);
    return Fail(error, LastError());
  }
  if (!S_ISDIR(folder_stat.st_mode)) return Fail(error, std::errc::not_a_directory);
  std::error_code failure;
  // remove_all removes a link itself, never what it points to.
  stdfs::remove_all(EntryPath(folder), failure);
  if (failure) return Fail(error, failure);
  return Succeed(error);
}

bool SetFolderAside(const stdfs::path& folder, const stdfs::path& aside, std::error_code* error) {
  const stdfs::path entry = EntryPath(folder);
  struct stat folder_stat {};
  // A link is deleted, never moved: what it points to is not the site's to keep.
  if (lstat(entry.c_str(), &folder_stat) != 0 || !S_ISDIR(folder_stat.st_mode)) {
    return DeleteFolder(folder, error);
  }
  std::error_code failure;
  stdfs::remove_all(aside, failure);
  if (!failure) stdfs::create_directories(FolderOf(aside), failure);
  if (failure || rename(entry.c_str(), aside.c_str()) != 0) return DeleteFolder(folder, error);
  return Succeed(error);
}

bool DeleteFile(const stdfs::path& path, std::error_code* error) {
  struct stat file_stat {};
  if (stat(path.c_str(), &file_stat) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return Succeed(error);
    return Fail(error, LastError());
  }
  if (S_ISDIR(file_stat.st_mode)) return Fail(error, std::errc::is_a_directory);
  if (unlink(path.c_str()) != 0 && errno != ENOENT) return Fail(error, LastError());
  return Succeed(error);
}

bool DeleteFilesIn(const stdfs::path& folder, const NameFilter& take, std::error_code* error) {
  if (!FolderExists(folder)) return Succeed(error);
  std::optional<std::vector<RawEntry>> entries = ReadEntries(folder, error);
  if (!entries) return false;
  std::error_code first_error;
  for (const RawEntry& entry : *entries) {
    if (S_ISDIR(entry.target_stat.st_mode) || !NameTaken(take, entry.name)) continue;
    stdfs::path file = folder / entry.name;
    if (unlink(file.c_str()) != 0 && errno != ENOENT && !first_error) first_error = LastError();
  }
  if (first_error) return Fail(error, first_error);
  return Succeed(error);
}

bool DeleteSubFolders(const stdfs::path& folder, const NameFilter& take, std::error_code* error) {
  if (!FolderExists(folder)) return Succeed(error);
  std::optional<std::vector<RawEntry>> entries = ReadEntries(folder, error);
  if (!entries) return false;
  std::error_code first_error;
  for (const RawEntry& entry : *entries) {
    if (!S_ISDIR(entry.target_stat.st_mode) || !NameTaken(take, entry.name)) continue;
    std::error_code failure;
    stdfs::remove_all(folder / entry.name, failure);
    if (failure && !first_error) first_error = failure;
  }
  if (first_error) return Fail(error, first_error);
  return Succeed(error);
}

std::optional<FolderListing> ListFolder(const stdfs::path& folder, std::error_code* error) {
  std::optional<std::vector<RawEntry>> entries = ReadEntries(folder, error);
  if (!entries) return std::nullopt;
  FolderListing listing;
  for (RawEntry& entry : *entries) {
    EntryInfo info;
    info.path = folder / entry.name;
    info.date_last_modified = DateTime::FromLocalTime(entry.target_stat.st_mtim.tv_sec);
    info.extension = ExtensionOf(entry.name);
    if (S_ISDIR(entry.target_stat.st_mode)) {
      info.name = std::move(entry.name);
      listing.folders.push_back(std::move(info));
    } else {
      info.size = static_cast<std::uintmax_t>(entry.target_stat.st_size);
      info.name = std::move(entry.name);
      listing.files.push_back(std::move(info));
    }
  }
  auto by_name = [](const EntryInfo& a, const EntryInfo& b) {
    int folded = CompareFolded(a.name, b.name);
    return folded != 0 ? folded < 0 : a.name < b.name;
  };
  std::sort(listing.files.begin(), listing.files.end(), by_name);
  std::sort(listing.folders.begin(), listing.folders.end(), by_name);
  return listing;
}

}  // namespace folirex::fs
