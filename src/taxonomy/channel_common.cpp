#include "taxonomy/channel_common.h"

#include <filesystem>

#include "core/site_files.h"
#include "platform/fs/file_system.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {

std::string ChannelMessage(std::string_view message, std::string_view links,
                           const FileFailures& failures) {
  std::string html =
      "<table border=0 cellspacing=1 align=center class=Msg><tr><td><span class=red><b>" +
      std::string(message) + "</b></span>" + std::string(links);
  for (const std::string& failure : failures) {
    html += "<br><font color=red>文件操作失败：" + HtmlEscapeText(failure) + "</font>";
  }
  return html + "</td></tr></table>";
}

bool SiteFolderExists(const HostObjects& host, std::string_view path) {
  if (host.Server == nullptr) return false;
  try {
    return fs::FolderExists(host.Server->MapPath(path));
  } catch (const std::exception&) {
    return false;
  }
}

bool CopyFolderNoted(const HostObjects& host, std::string_view from, std::string_view to,
                     FileFailures& failures) {
  if (!SiteFolderExists(host, from)) return true;
  if (CopyFolder(host, from, to, true)) return true;
  failures.push_back(std::string(to));
  return false;
}

bool MoveFolderNoted(const HostObjects& host, std::string_view from, std::string_view to,
                     FileFailures& failures) {
  if (!SiteFolderExists(host, from)) {
    if (CreateFolderPath(host, to)) return true;
    failures.push_back(std::string(to));
    return false;
  }
  const std::string to_text(to);
  const std::string from_text(from);
  if (LCase(from_text) == LCase(to_text)) {
    // The same folder (the site ignores letter case): at most its name's case changes.
    if (from_text == to_text) return true;
    const size_t cut = to_text.find_last_of('/');
    if (RenameFolder(host, from, cut == std::string::npos ? to_text : to_text.substr(cut + 1))) {
      return true;
    }
    failures.push_back(to_text);
    return false;
  }
  const size_t slash = to_text.find_last_of('/');
  const size_t from_slash = from_text.find_last_of('/');
  const bool same_parent =
      (slash == std::string::npos ? std::string() : to_text.substr(0, slash)) ==
      (from_slash == std::string::npos ? std::string() : from_text.substr(0, from_slash));
  if (same_parent && !SiteFolderExists(host, to) &&
      RenameFolder(host, from, slash == std::string::npos ? to_text : to_text.substr(slash + 1))) {
    return true;
  }
  if (!CopyFolder(host, from, to, true)) {
    failures.push_back(to_text);
    return false;
  }
  if (!DeleteFolder(host, from)) {
    failures.push_back(from_text);
    return false;
  }
  return true;
}

}  // namespace folirex
