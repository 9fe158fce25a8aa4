#include "site/class_folders.h"

#include <vector>

#include "core/folder_names.h"
#include "core/site_config.h"
#include "core/site_files.h"
#include "platform/db/recordset.h"
#include "platform/text/vb_text.h"
#include "site/list_support.h"

namespace folirex {
namespace {

// One plain folder name: no separator, no "." or "..", nothing a path could be
// steered with.
bool IsSafeStoredName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  if (name.front() == ' ' || name.back() == ' ' || name.back() == '.') return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' ||
        c == '<' || c == '>' || c == '|') {
      return false;
    }
  }
  return true;
}

// A channel folder as ChannelDir holds it: "" or plain names each followed by
// "/".
bool IsSafeStoredPath(std::string_view path) {
  if (path.empty()) return true;
  if (path.back() != '/') return false;
  size_t start = 0;
  while (start < path.size()) {
    size_t slash = path.find('/', start);
    if (!IsSafeStoredName(path.substr(start, slash - start))) return false;
    start = slash + 1;
  }
  return true;
}

// "a/b/" -> "a/b" in lower case, for comparing folders.
std::string FolderKey(std::string_view path) {
  std::string key = LCase(Trim(path));
  while (!key.empty() && (key.back() == '/' || key.back() == '\\')) key.pop_back();
  for (char& c : key) {
    if (c == '\\') c = '/';
  }
  return key;
}

}  // namespace

std::string ClassListDirFor(std::string_view channel_path, const Variant& list_dir_type,
                            const Variant& class_dir) {
  const std::string code = list_dir_type.ToString();
  if (code == "0") {
    const std::string dir = class_dir.ToString();
    if (dir.empty()) return std::string(channel_path);
    return std::string(channel_path) + dir + "/";
  }
  if (code == "1") return std::string(channel_path) + "List/";
  if (code == "2") return std::string(channel_path);
  return "";
}

std::string GetClassListDir(RequestState& state, const Variant& /*channel_dir*/,
                            const Variant& list_dir_type, const Variant& class_dir) {
  return ClassListDirFor(
      GetChannelPath(state.host, state.db, state.caches, state.channel.ChannelID), list_dir_type,
      class_dir);
}

void DeleteClassFolders(RequestState& state, bool keep_files) {
  const std::string channel = SqlNumber(state.channel.ChannelID);
  const std::string channel_dir = GetChannelFolder(state.host, state.db, state.caches, channel).dir;
  if (!IsSafeStoredPath(channel_dir)) return;

  std::vector<std::string> dirs;
  {
    Recordset rs;
    rs.Open(db::KeptRead{.tables = {"Vantrel_ArticleClass"},
                         .sql = "select d_dir from Vantrel_ArticleClass where d_channelid = ?",
                         .values = {Variant(state.channel.ChannelID.ToInt64Or(0))}},
            *state.db.Conn);
    for (; !rs.Eof(); rs.MoveNext()) dirs.push_back(rs["d_dir"].ToString());
  }
  if (dirs.empty()) return;

  // Folders of every channel (this one's included): a class folder that is one
  // of them, or holds one, is never deleted.
  std::vector<std::string> channel_folders;
  {
    Recordset rs;
    rs.Open("select d_channeldir from Vantrel_Channel", *state.db.Conn, 0, 1);
    while (!rs.Eof()) {
      std::string key = FolderKey(rs["d_channeldir"].ToString());
      if (!key.empty()) channel_folders.push_back(key);
      rs.MoveNext();
    }
  }
  const std::string upload_dir = LCase(Trim(state.channel.UploadDir.ToString()));

  for (const std::string& dir : dirs) {
    if (dir.empty() || !IsSafeStoredName(dir)) continue;
    const std::string lower = LCase(dir);
    if (lower == upload_dir || IsReservedSiteFolder(lower)) continue;
    const std::string key = FolderKey(channel_dir + dir);
    bool holds_channel = false;
    for (const std::string& folder : channel_folders) {
      if (folder == key || folder.rfind(key + "/", 0) == 0) holds_channel = true;
    }
    if (holds_channel) continue;
    if (keep_files) {
      SetFolderAside(state.host, channel_dir + dir);
    } else {
      DeleteFolder(state.host, channel_dir + dir);
    }
  }
}

}  // namespace folirex
