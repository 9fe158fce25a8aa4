#include "taxonomy/subject_files.h"

#include <algorithm>

#include "core/folder_names.h"
#include "core/site_files.h"
#include "platform/db/recordset.h"
#include "platform/text/vb_text.h"
#include "site/navigation.h"

namespace folirex {
namespace {

constexpr size_t kMaxDirLength = 20;

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool SameFolder(std::string_view a, std::string_view b) { return LCase(a) == LCase(b); }

}  // namespace

SubjectDirCheck CheckSubjectDir(std::string_view dir) {
  if (dir.empty()) return SubjectDirCheck::kEmpty;
  if (dir.size() > kMaxDirLength || !std::all_of(dir.begin(), dir.end(), IsLetter) ||
      !IsPlainFolderPath(dir)) {
    return SubjectDirCheck::kNotLetters;
  }
  if (IsReservedFolderPath(dir)) return SubjectDirCheck::kReserved;
  return SubjectDirCheck::kOk;
}

std::string SubjectFolder(const ChannelSettings& channel, std::string_view dir) {
  std::string name = Trim(dir);
  if (!IsPlainFolderPath(name)) return "";
  return channel.ChannelDir + "Subject/" + name;
}

bool CreateSubjectFolder(RequestState& state, const ChannelSettings& channel,
                         std::string_view dir) {
  std::string folder = SubjectFolder(channel, dir);
  if (folder.empty()) return false;
  return CreateFolderPath(state.host, std::string_view(folder));
}

bool WriteSubjectListJs(RequestState& state, const ChannelSettings& channel) {
  const std::string html = ShowSubjectNavi(state, channel, Variant(1));
  const std::string folder = channel.ChannelDir + "Js";
  CreateFolderPath(state.host, std::string_view(folder));
  return WriteTextFile(state.host, folder + "/subjectlist.js", HtmlToJsWrite(html));
}

bool DeleteSubjectPages(RequestState& state, const ChannelSettings& channel,
                        const std::vector<SubjectPages>& subjects,
                        const std::vector<std::string>& remaining, bool whole_folder) {
  bool ok = true;
  for (const SubjectPages& subject : subjects) {
    const std::string folder = SubjectFolder(channel, subject.dir);
    if (folder.empty()) continue;
    const std::string name = Trim(subject.dir);
    bool shared = std::any_of(remaining.begin(), remaining.end(), [&](const std::string& other) {
      return SameFolder(Trim(other), name);
    });
    if (shared) {
      ok = DeleteFilesIn(state.host, folder + "/",
                         "^List_" + std::to_string(subject.id) + "(_[0-9]+)?\\.[a-z]+$") &&
           ok;
    } else if (whole_folder) {
      ok = DeleteFolder(state.host, folder) && ok;
    } else {
      ok = DeleteFilesIn(state.host, folder + "/", "") && ok;
    }
  }
  return ok;
}

std::vector<std::string> OtherSubjectFolders(RequestState& state, int64_t channel,
                                             const std::vector<int64_t>& except) {
  std::vector<std::string> folders;
  Recordset rs;
  rs.Open("select d_id, d_dir from Vantrel_ArticleSubject where d_channelid = ?",
          {Variant(channel)}, *state.db.Conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) {
    int64_t id = rs["d_id"].ToInt64Or(0);
    if (std::find(except.begin(), except.end(), id) != except.end()) continue;
    folders.push_back(rs["d_dir"].ToString());
  }
  return folders;
}

}  // namespace folirex
