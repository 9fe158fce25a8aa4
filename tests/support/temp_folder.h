// A unique empty folder under the system's temporary folder, removed with everything in it when
// the object goes away: the one scratch place of every test, so that tests run in parallel never
// share a file.
#ifndef FOLIREX_TESTS_SUPPORT_TEMP_FOLDER_H_
#define FOLIREX_TESTS_SUPPORT_TEMP_FOLDER_H_

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>

namespace folirex::testing {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "folirex-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Writes the bytes to a file below the folder, creating its folders; the file's path.
  std::filesystem::path Write(const std::string& relative, std::string_view bytes) const {
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

#endif  // FOLIREX_TESTS_SUPPORT_TEMP_FOLDER_H_
