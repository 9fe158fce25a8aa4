// The multipart parser on bodies that headless Chromium posted from a GB2312 page (captured by
// data/capture_chromium_bodies.mjs) and on malformed, truncated and over-size variants of them,
// as one table: each row a body, a limit, the error code and what Form and File must hold.
#include "articles/upload_parser.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace folirex::testing {
namespace {

std::string ReadData(const std::string& name) {
  std::ifstream in(std::string(FOLIREX_SOURCE_DIR) + "/tests/articles/data/" + name,
                   std::ios::binary);
  EXPECT_TRUE(in) << name;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct ExpectedFile {
  std::string file_name;
  std::string file_path;
  std::string file_ext;
  std::string file_type;
  std::string data;
};

struct ParseCase {
  std::string what;
  std::string body;
  int64_t max_size = 0;
  int err = kUploadOk;
  std::map<std::string, std::string> form{};
  std::map<std::string, ExpectedFile> files{};
};

// A body of the layout browsers send, with the given parts (each its header lines and data).
std::string Body(const std::vector<std::pair<std::string, std::string>>& parts,
                 const std::string& end = "--\r\n") {
  const std::string boundary = "----WebKitFormBoundaryAbC123";
  std::string body;
  for (const auto& [headers, data] : parts) {
    body += boundary + "\r\n" + headers + "\r\n\r\n" + data + "\r\n";
  }
  return body + boundary + end;
}

std::string FileHeaders(const std::string& name, const std::string& filename,
                        const std::string& type = "Content-Type: image/jpeg\r\n") {
  std::string headers =
      "Content-Disposition: form-data; name=\"" + name + "\"; filename=\"" + filename + "\"";
  if (!type.empty()) headers += "\r\n" + type.substr(0, type.size() - 2);
  return headers;
}

std::string FieldHeaders(const std::string& name) {
  return "Content-Disposition: form-data; name=\"" + name + "\"";
}

TEST(UploadParserTest, BodiesFromChromiumAndBrokenOnes) {
  const std::string full = ReadData("chromium_full.body");
  const std::string photo = ReadData("photo.bin");
  const std::string short_name = ReadData("chromium_short.body");
  ASSERT_FALSE(full.empty());
  ASSERT_TRUE(full.ends_with("--\r\n"));
  const std::map<std::string, std::string> full_form = {{"title", "中文标题 A, B"}};
  const std::map<std::string, ExpectedFile> full_files = {
      {"uploadfile", {"PHOTO.JPG", "", "JPG", "image/jpeg", photo}},
      {"other", {"", "", "", "application/octet-stream", ""}}};
  const size_t in_photo = full.find("not-the-boundary");
  const size_t in_headers = full.find("filename=\"PHOTO");

  const std::vector<ParseCase> cases = {
      {"Chromium: two values of one name in two cases, a binary file, an empty file input", full, 0,
       kUploadOk, full_form, full_files},
      {"Chromium: a one-letter file field with a Chinese file name",
       short_name,
       0,
       kUploadOk,
       {},
       {{"f", {"图片.png", "", "png", "image/png", "PNG\r\n"}}}},
      {"the limit is the body's size", full, static_cast<int64_t>(full.size()), kUploadOk,
       full_form, full_files},
      {"one byte over the limit is not parsed", full, static_cast<int64_t>(full.size()) - 1,
       kUploadTooLarge},
      {"an empty body", "", 0, kUploadEmpty},
      {"the closing \"--\" without its line end", full.substr(0, full.size() - 2), 0, kUploadOk,
       full_form, full_files},
      {"a body that ends right after its last boundary", full.substr(0, full.size() - 4), 0,
       kUploadOk, full_form, full_files},
      {"cut inside the file's data", full.substr(0, in_photo), 0, kUploadMalformed},
      {"cut inside a part's headers", full.substr(0, in_headers), 0, kUploadMalformed},
      {"cut inside the first boundary line", full.substr(0, 20), 0, kUploadMalformed},
      {"no line end at all", "--abc", 0, kUploadMalformed},
      {"a first line that is no boundary", "abc\r\n" + full, 0, kUploadMalformed},
      {"a part without the blank line after its headers",
       "--b0\r\nContent-Disposition: form-data; name=\"a\"\r\n--b0--\r\n", 0, kUploadMalformed},
      {"text after a boundary that is neither \"--\" nor a line end",
       Body({{FieldHeaders("a"), "1"}}, "xx"), 0, kUploadMalformed},
      {"a Windows path: name, folder and extension cut at the last \\ and .",
       Body({{FileHeaders("uploadfile", "C:\\a.b\\b.JPG"), "x"}}),
       0,
       kUploadOk,
       {},
       {{"uploadfile", {"b.JPG", "C:\\a.b\\", "JPG", "image/jpeg", "x"}}}},
      {"a name without a dot is its own extension, path included",
       Body({{FileHeaders("uploadfile", "C:\\x\\jpg", ""), "y"}}),
       0,
       kUploadOk,
       {},
       {{"uploadfile", {"jpg", "C:\\x\\", "C:\\x\\jpg", "", "y"}}}},
      {"a second file part of the same name (another case) leaves the first",
       Body({{FileHeaders("up", "1.gif"), "one"}, {FileHeaders("UP", "2.gif"), "two"}}),
       0,
       kUploadOk,
       {},
       {{"up", {"1.gif", "", "gif", "image/jpeg", "one"}}}},
      {"a part without headers and one without a name are passed over",
       Body({{"", "lost"}, {"Content-Disposition: form-data", "lost"}, {FieldHeaders("a"), "1"}}),
       0,
       kUploadOk,
       {{"a", "1"}}},
      {"a thousand parts are parsed",
       Body(std::vector(kMaxUploadParts, std::pair(FieldHeaders("a"), std::string()))),
       0,
       kUploadOk,
       {{"a",
         [] {
           std::string joined;  // a thousand empty values
           for (size_t i = 1; i < kMaxUploadParts; ++i) joined += ", ";
           return joined;
         }()}}},
      {"one part more is not",
       Body(std::vector(kMaxUploadParts + 1, std::pair(FieldHeaders("a"), std::string()))), 0,
       kUploadTooManyParts},
      {"ordinary fields above their limit",
       Body({{FieldHeaders("a"), std::string(kMaxFormBytes, 'x')}, {FieldHeaders("b"), "1"}}), 0,
       kUploadFormTooLarge},
  };

  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.what);
    UpFile_Class upload;
    upload.Parse(c.body, c.max_size);
    EXPECT_EQ(upload.Err, c.err);
    std::map<std::string, std::string> form(upload.Form.begin(), upload.Form.end());
    EXPECT_EQ(form, c.form);
    ASSERT_EQ(upload.File.size(), c.files.size());
    for (const auto& [name, expected] : c.files) {
      auto found = upload.File.find(name);
      ASSERT_NE(found, upload.File.end()) << name;
      const FileInfo_Class& file = found->second;
      EXPECT_EQ(file.FormName, name);
      EXPECT_EQ(file.FileName, expected.file_name);
      EXPECT_EQ(file.FilePath, expected.file_path);
      EXPECT_EQ(file.FileExt, expected.file_ext);
      EXPECT_EQ(file.FileType, expected.file_type);
      EXPECT_EQ(file.Data(), expected.data);
      EXPECT_EQ(file.FileSize, static_cast<int64_t>(expected.data.size()));
      // The part is a view into the body itself: its place there holds its bytes.
      EXPECT_EQ(c.body.substr(file.FileStart, file.FileSize), expected.data);
      EXPECT_EQ(file.Data().data(), c.body.data() + file.FileStart);
    }
  }
}

}  // namespace
}  // namespace folirex::testing
