// The rows that name template sets and template pages, and the system set or page that takes the
// place of one that goes. Channels name a set (d_templateid); the sets' page maps, classes,
// subjects, articles and the site settings name pages (d_pageid, d_templatepageid). Every
// deletion of a set or a page, and of a channel with its sets and pages, re-points those rows
// first, in its own transaction, so that no remaining row names a set or page that is gone.
//
// The functions run their statements on the caller's connection and leave the transaction to
// the caller. Every id is bound, so nothing posted reaches the statement text. Database failures
// throw DbError. Not thread-safe, as the connection is not.
#ifndef FOLIREX_CORE_TEMPLATE_REFERENCES_H_
#define FOLIREX_CORE_TEMPLATE_REFERENCES_H_

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/db/connection.h"

namespace folirex {

// A set or page that goes, and the one that takes its place.
struct TemplateReplacement {
  int64_t from = 0;
  int64_t to = 0;
};

// The lowest-id system set that belongs to none of `leaving_channels`; 0 when there is none.
int64_t LowestSystemSet(Connection& conn, const std::vector<int64_t>& leaving_channels = {});

// The lowest-id system page of `type` that belongs to none of `leaving_channels`; 0 when there
// is none.
int64_t LowestSystemPage(Connection& conn, std::string_view type,
                         const std::vector<int64_t>& leaving_channels = {});

// Channels that name a set of `sets` name its replacement.
void RepointTemplateSets(Connection& conn, const std::vector<TemplateReplacement>& sets);

// Page maps, classes, subjects, articles and the site settings that name a page of `pages` name
// its replacement; the classes, subjects and articles are marked for generation again, as their
// static pages were written with the page that goes. One statement per table.
void RepointTemplatePages(Connection& conn, const std::vector<TemplateReplacement>& pages);

}  // namespace folirex

#endif  // FOLIREX_CORE_TEMPLATE_REFERENCES_H_
