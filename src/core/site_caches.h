// SiteCaches: what a site server keeps between its requests, made by the server (ServePage's
// caller) and handed to each request's state, as a database hands its options to its parts. Two
// servers in one process keep apart what each has seen. A part a deep function reads is passed
// in to it; a state without caches (null) serves without keeping anything.
//
// It must outlive every request it is handed to; its parts may be used from several workers at
// once, each under its own lock.
#ifndef FOLIREX_CORE_SITE_CACHES_H_
#define FOLIREX_CORE_SITE_CACHES_H_

#include "core/article_keywords.h"
#include "core/site_files.h"

namespace folirex {

struct SiteCaches {
  // The script files lately found to hold what a page would write into them.
  TextFilesSeen text_files;
  // The keyword index's and the channels' counts the related-articles block chooses its read by.
  KeywordCounts keyword_counts;
};

}  // namespace folirex

#endif  // FOLIREX_CORE_SITE_CACHES_H_
