#include "articles/module.h"

#include "articles/article_form.h"
#include "articles/article_manager.h"
#include "articles/comment_moderation.h"
#include "articles/keyword_pick.h"
#include "articles/upload_folder.h"
#include "articles/upload_popup.h"
#include "console/admin_frame.h"

namespace folirex {

void RegisterArticlesModule(ModuleRegistry& registry) {
  using enum ConsoleAccess;
  // Pop-ups of the console forms, open to every signed-in administrator: uploads and the
  // keyword pick list.
  // Its save reads the upload as a raw multipart body.
  AddConsoleRoute(registry, {.m = "uploadfile",
                             .procedure = "Upload_Main",
                             .access = kSignedIn,
                             .page = Upload_Main,
                             .upload_action = "save"});
  AddConsoleRoute(registry, {.m = "admin_selectmore",
                             .procedure = "SelectMore_Main",
                             .access = kSignedIn,
                             .page = SelectMore_Main});
  // The article add page and the article manager open the channel as an article channel.
  AddConsoleRoute(registry, {.m = "admin_articleadd",
                             .procedure = "ArticleAdd_Main",
                             .code = "XT_Manage_ArticleAdd",
                             .page = ArticleAdd_Main});
  AddConsoleRoute(registry, {.m = "admin_article",
                             .procedure = "Article_Main",
                             .code = "XT_Manage_Article",
                             .page = Article_Main});
  // The upload folder browser reads the channel's folders itself; comment moderation.
  AddConsoleRoute(registry, {.m = "admin_uploadfile",
                             .procedure = "UploadFile_Main",
                             .code = "XT_Manage_ArticleUpload",
                             .page = UploadFile_Main});
  AddConsoleRoute(registry, {.m = "admin_articlecomment",
                             .procedure = "ArticleComment_Main",
                             .code = "XT_Manage_ArticleComment",
                             .channel = ConsoleChannelUse::kChannel,
                             .navi = "评论管理",
                             .page = ArticleComment_Main,
                             .trailer = ArticleComment_WriteScript});
}

}  // namespace folirex
