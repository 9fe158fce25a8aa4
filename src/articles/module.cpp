#include "articles/module.h"

#include "articles/comment_moderation.h"
#include "articles/upload_folder.h"

namespace folirex {

void RegisterArticlesModule(ModuleRegistry& registry) {
  // The upload folder browser and comment moderation.
  registry.AddAdminEntry("UploadFile_Main", UploadFile_Main);
  registry.AddAdminEntry("ArticleComment_Main", ArticleComment_Main);
}

}  // namespace folirex
