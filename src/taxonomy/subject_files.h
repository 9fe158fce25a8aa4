// The files of a channel's subjects: the subject folder <channel folder>Subject/<d_dir>/ where
// the static generation writes a subject's list pages (List_<id>[_<n>]<ext>), and the subject
// navigation script <channel folder>Js/subjectlist.js (the channel's subjects in one column, the
// same file as the JS snippet of type 5).
//
// Paths are site paths under the folder of the channel whose settings are passed (ChannelDir, as
// InitChannel loaded it). A stored folder name is used only when it is a plain folder path;
// another is left alone, so no stored value can steer a delete out of the Subject folder.
// Nothing throws for file-system failures: each step answers whether it succeeded, so a page
// can report a file it could not write. Request thread only.
#ifndef FOLIREX_TAXONOMY_SUBJECT_FILES_H_
#define FOLIREX_TAXONOMY_SUBJECT_FILES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/request_state.h"

namespace folirex {

// The rule for a subject folder name posted by a form: 1 to 20 letters A-Z or a-z, a plain
// folder name, and not one of the folders the site keeps for itself.
enum class SubjectDirCheck { kOk, kEmpty, kNotLetters, kReserved };
SubjectDirCheck CheckSubjectDir(std::string_view dir);

// "<channel folder>Subject/<dir>" for the channel; "" when `dir` (trimmed) is not a
// plain folder path.
std::string SubjectFolder(const ChannelSettings& channel, std::string_view dir);

// Creates the subject folder (and any missing folder above it).
bool CreateSubjectFolder(RequestState& state, const ChannelSettings& channel, std::string_view dir);

// Rewrites Js/subjectlist.js of the channel from its subjects in ascending d_order
// ("没有专题列表" when it has none). Reads the database; DbError propagates.
bool WriteSubjectListJs(RequestState& state, const ChannelSettings& channel);

// A subject whose pages go: its id and folder.
struct SubjectPages {
  int64_t id = 0;
  std::string dir;
};

// Deletes the pages of the subjects. A folder that no remaining subject of the channel uses
// (d_dir compared without letter case) goes whole when `whole_folder`, or is emptied of its
// files otherwise; in a folder another subject still uses, only the listed subjects' own pages
// (List_<id>.*, List_<id>_<n>.*) are deleted. `remaining` are the folders of the subjects that
// stay. A missing folder is no failure. False when something could not be deleted.
bool DeleteSubjectPages(RequestState& state, const ChannelSettings& channel,
                        const std::vector<SubjectPages>& subjects,
                        const std::vector<std::string>& remaining, bool whole_folder);

// The d_dir of every subject of the channel but those listed.
std::vector<std::string> OtherSubjectFolders(RequestState& state, int64_t channel,
                                             const std::vector<int64_t>& except);

}  // namespace folirex

#endif  // FOLIREX_TAXONOMY_SUBJECT_FILES_H_
