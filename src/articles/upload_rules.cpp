#include "articles/upload_rules.h"

#include <algorithm>
#include <array>

#include "core/text_helpers.h"
#include "platform/text/vb_text.h"
#include "site/interaction_text.h"

namespace folirex {
namespace {

// Types that a server runs or that a browser renders as a page or runs as script (and their
// usual variants). A channel's list of allowed types never lets one of them through.
constexpr std::array<std::string_view, 46> kNeverStored = {
    "asp", "asa",  "aspx",  "cer",  "cdx",  "ascx",  "ashx", "asmx", "asax",  "axd",
    "php", "php3", "php4",  "php5", "php7", "phtml", "pht",  "phar", "cgi",   "pl",
    "py",  "sh",   "exe",   "bat",  "cmd",  "com",   "dll",  "vbs",  "wsf",   "jsp",
    "htm", "html", "shtml", "shtm", "stm",  "xhtml", "xht",  "mht",  "mhtml", "hta",
    "htc", "svg",  "svgz",  "xml",  "xsl",  "js"};

bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }

bool IsPlainName(std::string_view name) {
  return !name.empty() && IsNameStart(name.front()) &&
         std::all_of(name.begin(), name.end(), IsNameChar);
}

}  // namespace

bool IsOpenerFieldPath(std::string_view field) {
  size_t dot = field.find('.');
  if (dot == std::string_view::npos) return false;
  return IsPlainName(field.substr(0, dot)) && IsPlainName(field.substr(dot + 1));
}

std::string OpenerFieldScript(std::string_view field, std::string_view text,
                              bool leading_line_end) {
  std::string target = "opener.document." + std::string(field);
  std::string script = leading_line_end ? "\r\n" : "";
  script += "<script language=javascript>\r\n";
  script += target + ".value = \"" + interaction::ScriptStringEncode(text) + "\";\r\n";
  script += "try { " + target + ".dispatchEvent(new Event('change')); } catch (e) {}\r\n";
  script += "self.close();\r\n</script>\r\n";
  return script;
}

bool IsStorableExtension(std::string_view ext) {
  if (ext.empty() || !std::all_of(ext.begin(), ext.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
      })) {
    return false;
  }
  std::string lower = LCase(ext);
  return std::find(kNeverStored.begin(), kNeverStored.end(), lower) == kNeverStored.end();
}

bool IsAllowedExtension(std::string_view ext, std::string_view allow_ext) {
  if (!IsStorableExtension(ext)) return false;
  std::string lower = LCase(ext);
  size_t pos = 0;
  while (pos <= allow_ext.size()) {
    size_t bar = allow_ext.find('|', pos);
    if (bar == std::string_view::npos) bar = allow_ext.size();
    if (LCase(Trim(allow_ext.substr(pos, bar - pos))) == lower) return true;
    pos = bar + 1;
  }
  return false;
}

std::string Upload_NewFileName(const DateTime& now, int number, std::string_view ext) {
  return FormatDate(Variant(now), Variant(10)) + std::to_string(number) + "." + std::string(ext);
}

std::optional<std::string> StoreUpload(const FileInfo_Class& file,
                                       const std::filesystem::path& folder, std::string_view ext,
                                       const DateTime& now, const std::function<int()>& draw,
                                       SiteFolderNames* names) {
  return StoreUploadBytes(file.Data(), folder, ext, now, draw, names);
}

std::optional<std::string> StoreUploadBytes(std::string_view data,
                                            const std::filesystem::path& folder,
                                            std::string_view ext, const DateTime& now,
                                            const std::function<int()>& draw,
                                            SiteFolderNames* names) {
  // 900 names a second: many draws in a row that all hit a taken name mean a full second, or a
  // folder that answers every name as taken.
  constexpr int kDraws = 64;
  for (int i = 0; i < kDraws; ++i) {
    std::string name = Upload_NewFileName(now, draw(), ext);
    switch (SaveNewFile(folder / name, data, names)) {
      case FileInfo_Class::SaveResult::kSaved:
        return name;
      case FileInfo_Class::SaveResult::kExists:
        continue;
      case FileInfo_Class::SaveResult::kFailed:
        return std::nullopt;
    }
  }
  return std::nullopt;
}

}  // namespace folirex
