// The pop-ups' shared rules: the extensions an upload may be stored under, the opener fields a
// script may name, and new names that never replace an earlier upload.
#include "articles/upload_rules.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace folirex::testing {
namespace {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(UploadRulesTest, ScriptAndMarkupTypesAreNeverAllowed) {
  // A channel that lists every kind still stores only the harmless ones.
  const std::string careless =
      "jpg|PHP|asp|Aspx|htm|html|shtml|svg|xml|js|exe|sh|pl|cgi|cer|asa|zip";
  struct Row {
    std::string ext;
    bool allowed;
  };
  for (const Row& row : std::vector<Row>{{"jpg", true},    {"JPG", true},        {"zip", true},
                                         {"php", false},   {"PhP", false},       {"asp", false},
                                         {"ASPX", false},  {"htm", false},       {"HTML", false},
                                         {"shtml", false}, {"svg", false},       {"xml", false},
                                         {"js", false},    {"exe", false},       {"sh", false},
                                         {"pl", false},    {"cgi", false},       {"cer", false},
                                         {"asa", false},   {"gif", false},  // not in the list
                                         {"", false},      {"jp g", false},      {"jpg ", false},
                                         {"a/jpg", false}, {"C:\\x\\jpg", false}}) {
    EXPECT_EQ(IsAllowedExtension(row.ext, careless), row.allowed) << row.ext;
  }
  EXPECT_TRUE(IsAllowedExtension("gif", " jpg | gif "));
  EXPECT_FALSE(IsAllowedExtension("jpg", ""));
  EXPECT_TRUE(IsStorableExtension("swf"));
  EXPECT_FALSE(IsStorableExtension("phtml"));
}

TEST(UploadRulesTest, OpenerFieldsArePlainFormDotField) {
  for (const char* good : {"form1.d_picurl", "myform.d_src", "_f.x1", "kelmira.upload"}) {
    EXPECT_TRUE(IsOpenerFieldPath(good)) << good;
  }
  for (const char* bad : {"", "form1", "form1.", ".x", "a.b.c", "1a.b", "a.b;alert(1)", "a.b=1",
                          "a.b\"", "a[0].b", "a. b", "表单.x"}) {
    EXPECT_FALSE(IsOpenerFieldPath(bad)) << bad;
  }
  // The value is escaped for its double-quoted string; the script can only end where it should.
  std::string script = OpenerFieldScript("f.x", "a\"b</script><script>alert(1)//\\", false);
  EXPECT_NE(script.find("opener.document.f.x.value = \"a\\\"b\\x3C/script>\\x3Cscript>"
                        "alert(1)//\\\\\";\r\n"),
            std::string::npos)
      << script;
  EXPECT_EQ(script.find("</script>"), script.rfind("</script>"));
  EXPECT_TRUE(script.ends_with("self.close();\r\n</script>\r\n"));
}

TEST(UploadRulesTest, UploadsInTheSameSecondNeverReplaceEachOther) {
  TempFolder folder;
  const DateTime now{2026, 12, 7, 9, 5, 3};
  EXPECT_EQ(Upload_NewFileName(now, 123, "jpg"), "20261207090503123.jpg");

  UpFile_Class first_upload, second_upload;
  const std::string body_one =
      "--b\r\nContent-Disposition: form-data; name=\"uploadfile\"; "
      "filename=\"a.jpg\"\r\n\r\nfirst\r\n--b--\r\n";
  std::string body_two = body_one;
  body_two.replace(body_two.find("first"), 5, "other");
  first_upload.Parse(body_one, 0);
  second_upload.Parse(body_two, 0);
  ASSERT_EQ(first_upload.Err, kUploadOk);
  ASSERT_EQ(second_upload.Err, kUploadOk);

  // Both draw 123 first: the second finds the name taken and draws again.
  std::vector<int> draws = {123, 123, 123, 456};
  size_t next = 0;
  auto draw = [&] { return draws.at(next++); };
  auto one = StoreUpload(first_upload.File.at("uploadfile"), folder.path(), "jpg", now, draw);
  auto two = StoreUpload(second_upload.File.at("uploadfile"), folder.path(), "jpg", now, draw);
  ASSERT_TRUE(one && two);
  EXPECT_EQ(*one, "20261207090503123.jpg");
  EXPECT_EQ(*two, "20261207090503456.jpg");
  EXPECT_EQ(ReadFile(folder.path() / *one), "first");
  EXPECT_EQ(ReadFile(folder.path() / *two), "other");
  // No temporary file is left beside them.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2);

  // A folder that is not there: the failure is answered, not a name.
  auto none = StoreUpload(first_upload.File.at("uploadfile"), folder.path() / "missing", "jpg", now,
                          [] { return 789; });
  EXPECT_FALSE(none);
  // Every name taken: no endless drawing, and nothing replaced.
  auto full = StoreUpload(second_upload.File.at("uploadfile"), folder.path(), "jpg", now,
                          [] { return 123; });
  EXPECT_FALSE(full);
  EXPECT_EQ(ReadFile(folder.path() / *one), "first");
}

}  // namespace
}  // namespace folirex::testing
