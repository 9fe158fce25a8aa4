// The subjects of a channel (admin.asp?m=admin_articlesubject&channelid=N): the list with its
// order arrows and bulk delete, the add form and its save, the edit form and its update; the
// merge, delete and empty actions of the same page live in subject_merge.h.
//
// A subject is a Vantrel_ArticleSubject row of one channel with its folder
// <channel folder>Subject/<d_dir>/; every change of the channel's subjects or of their order
// rewrites the channel's Js/subjectlist.js (subject_files.h) after the rows are committed, and
// a file that could not be written is named in the answer. Every action works inside the
// page's channel: a row of another channel is a bad id. Changes come only from posted forms and
// run in one transaction each.
#ifndef FOLIREX_TAXONOMY_SUBJECT_PAGES_H_
#define FOLIREX_TAXONOMY_SUBJECT_PAGES_H_

#include <cstdint>
#include <string>

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

// Inside the console frame (the route needs XT_Manage_ArticleSubject): action "down", "up", "add",
// "save", "edit", "update", "del", "empty", "join", "savejoin", anything else the list.
void ArticleSubject_Main(RequestState& state, const ConsolePage& page);

// The list address of the channel's subject page.
std::string SubjectListUrl(int64_t channel);

// The note added under a done action's message when a file step failed ("" when none did).
std::string SubjectFileNotes(bool folder_ok, bool script_ok);

}  // namespace folirex

#endif  // FOLIREX_TAXONOMY_SUBJECT_PAGES_H_
