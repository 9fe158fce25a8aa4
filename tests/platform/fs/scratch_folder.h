// A fresh folder under the system's temporary folder for one test, removed with everything in
// it when the test ends. Names carry the process id and a counter so that tests run in parallel
// never share one.
#ifndef FOLIREX_TESTS_PLATFORM_FS_SCRATCH_FOLDER_H_
#define FOLIREX_TESTS_PLATFORM_FS_SCRATCH_FOLDER_H_

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

namespace folirex::testing {

class ScratchFolder {
 public:
  ScratchFolder() {
    static std::atomic<int> counter{0};
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("folirex-fs-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + "-" +
             std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Creates the file (and its folders) with the given bytes.
  std::filesystem::path Put(const std::string& relative, std::string_view bytes) const {
    std::filesystem::path file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write test file " + file.string());
    return file;
  }

  std::filesystem::path MakeFolder(const std::string& relative) const {
    std::filesystem::path folder = path_ / relative;
    std::filesystem::create_directories(folder);
    return folder;
  }

 private:
  std::filesystem::path path_;
};

// The whole content of a file as bytes; empty when it cannot be read.
inline std::string Slurp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_PLATFORM_FS_SCRATCH_FOLDER_H_
