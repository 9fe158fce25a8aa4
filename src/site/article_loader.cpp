#include "site/article_loader.h"

namespace folirex {

std::optional<ArticleValues> LoadArticle(RequestState &state, const Variant &article_id) {
  return std::nullopt;
}

std::string GetContentFileName(const Variant &channel_dir, const Variant &article_id,
                               const Variant &add_time, const Variant &file_type,
                               const Variant &extension) {
  return "";
}

}  // namespace folirex
