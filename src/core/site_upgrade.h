// The rows that a site made by an earlier version of the program lacks and that the pages now
// rely on, added when the site is opened for serving. Today that is the function code of the
// advertisement page, XT_Manage_AD: a site made before that page has neither the code in its
// catalogue nor a grant of it, so every administrator is refused the page.
//
// UpgradeSiteRows adds the catalogue row and grants the code to every account that may grant
// rights (XT_Manage_ManagerPrivilege, which could give itself the code anyway), in one
// transaction, and only when the catalogue lacks the code: a grant an owner withdrew later is
// not given back at the next start. Safe on both database forms and from several hosts at once
// (the catalogue's unique code refuses a second insert, whose transaction then rolls back).
// Failures throw DbError.
//
// The index of the related-articles lookup that later schema scripts hold (idx_article_related)
// is made with the lists' indexes (core/list_structures.h), and the index of the articles'
// keywords (core/article_keywords.h) after the server listens (SearchIndexBuildThread).
#ifndef FOLIREX_CORE_SITE_UPGRADE_H_
#define FOLIREX_CORE_SITE_UPGRADE_H_

#include "platform/db/connection.h"

namespace folirex {

void UpgradeSiteRows(Connection& conn);

}  // namespace folirex

#endif  // FOLIREX_CORE_SITE_UPGRADE_H_
