// The client script of the article add page and the article manager, written after the page
// foot: the form check (checkForm), link mode (UseLinkUrl), the keyword boxes (checkRelative),
// the picture picker (doChange, SelectPicChange) and, on the manager, the confirmation and post
// of the bulk actions (checkAction). Constant text; pure.
#ifndef FOLIREX_ARTICLES_ARTICLE_SCRIPT_H_
#define FOLIREX_ARTICLES_ARTICLE_SCRIPT_H_

#include <string>

namespace folirex {

// manager: the article manager's block (with checkAction); otherwise the add page's.
std::string ArticleScript(bool manager);

}  // namespace folirex

#endif  // FOLIREX_ARTICLES_ARTICLE_SCRIPT_H_
