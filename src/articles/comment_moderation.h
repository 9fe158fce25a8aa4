// The comment moderation page (m=admin_articlecomment, right XT_Manage_ArticleComment): the
// readers' comments of one channel listed by article (filtered by class and approval) or by time,
// answered (which approves them), approved, unapproved and deleted.
//
// Every list, approval and deletion is limited to the channel of the request; the reply form and
// the reply save also refuse a comment of another channel. Deleting comments lowers the
// channel's d_commentcount by the rows the delete removed, in the same transaction, so the
// counter stays equal to the channel's comments; approving and answering leave it alone. Every
// change is taken only from a posted form; a refused request (a bad id or id list, a missing
// comment, an over-long answer) answers with an alert and changes nothing.
#ifndef FOLIREX_ARTICLES_COMMENT_MODERATION_H_
#define FOLIREX_ARTICLES_COMMENT_MODERATION_H_

#include <string>

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

void ArticleComment_Main(RequestState& state, const ConsolePage& page);
// The page's script, written after the console footer.
void ArticleComment_WriteScript(RequestState& state);

// "会员" for the user type "1", "游客" for any other.
std::string ArticleComment_UserTypeName(const Variant& user_type);

}  // namespace folirex

#endif  // FOLIREX_ARTICLES_COMMENT_MODERATION_H_
