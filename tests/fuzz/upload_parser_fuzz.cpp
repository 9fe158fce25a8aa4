// libFuzzer target for the multipart parser: any body, with and without a limit, must end in an
// error code or in parts that lie inside the body, without reading outside it (AddressSanitizer
// watches every read).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "articles/upload_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The body in a buffer of its own size, so that a read past its end is caught.
  std::string body(reinterpret_cast<const char*>(data), size);
  for (int64_t limit : {int64_t{0}, static_cast<int64_t>(size / 2)}) {
    folirex::UpFile_Class upload;
    upload.Parse(body, limit);
    bool parsed = upload.Err == folirex::kUploadOk;
    if (!parsed && (!upload.Form.empty() || !upload.File.empty())) std::abort();
    for (const auto& [name, file] : upload.File) {
      std::string_view bytes = file.Data();
      if (file.FileStart < 0 || file.FileSize < 0 ||
          static_cast<size_t>(file.FileStart) + static_cast<size_t>(file.FileSize) > size ||
          bytes.data() != body.data() + file.FileStart ||
          bytes.size() != static_cast<size_t>(file.FileSize)) {
        std::abort();
      }
    }
  }
  return 0;
}
