// SiteCaches: what a site server keeps between its requests, made by the server (ServePage's
// caller) and handed to each request's state, as a database hands its options to its parts. Two
// servers in one process keep apart what each has seen. A part a deep function reads is passed
// in to it; a state without caches (null) serves without keeping anything.
//
// It must outlive every request it is handed to; its parts may be used from several workers at
// once, each under its own lock.
#ifndef FOLIREX_CORE_SITE_CACHES_H_
#define FOLIREX_CORE_SITE_CACHES_H_

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

#include "core/article_keywords.h"
#include "core/asked_lists.h"
#include "core/list_structures.h"
#include "core/reads_ahead.h"
#include "core/search_index.h"
#include "core/site_files.h"
#include "platform/cache/lru_cache.h"
#include "platform/fs/site_path.h"

namespace folirex {

struct TemplateScan;  // site/template_engine.cpp

// Values shared by key between requests, each charged the bytes it holds (near enough), the
// least recently used going first past `bytes`; used from any worker under its own lock.
template <class T>
class KeptShared {
 public:
  explicit KeptShared(size_t bytes) : kept_(bytes) {}

  std::shared_ptr<const T> Find(const std::string& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::shared_ptr<const T>* kept = kept_.Find(key);
    return kept == nullptr ? nullptr : *kept;
  }
  void Keep(const std::string& key, std::shared_ptr<const T> value, size_t charge) {
    std::lock_guard<std::mutex> lock(mutex_);
    kept_.Insert(key, std::move(value), charge);
  }

 private:
  std::mutex mutex_;
  LruCache<std::string, std::shared_ptr<const T>> kept_;
};

// What the template engine found in the template texts drawn lately (site/template_engine.cpp):
// a scan depends on nothing but its text and pattern, and pages are drawn from a few texts.
class KeptTemplateScans : public KeptShared<TemplateScan> {
 public:
  // What the kept scans may hold in all: some hundred texts of the size a template has.
  static constexpr size_t kBytes = 4 << 20;
  KeptTemplateScans() : KeptShared(kBytes) {}
};

// What the public pages read ahead when last drawn, by their key (PageReadsKey,
// core/reads_ahead.h), read with the first read of their next asking.
class KeptPageReads : public KeptShared<PageReads> {
 public:
  // Some thousand pages' reads: a page's are a few kilobytes of select text.
  static constexpr size_t kBytes = 4 << 20;
  KeptPageReads() : KeptShared(kBytes) {}
};

// The click script's batches (site/click_counter.cpp): clicks on one article that arrive while a
// transaction counts its clicks wait, and the next transaction counts them all at once, so that
// under many readers of one article the clicks no longer queue one by one on its row lock. Every
// click waits for the transaction that counts it, so none is left waiting when the server stops.
struct ClickBatches {
  struct Batch {
    int64_t clicks = 0;  // clicks that joined; fixed once the batch is taken up
    bool lead = false;   // its first click may count it now
    bool done = false;
    int64_t total = -1;        // the article's total after the batch; -1 when no row changed
    std::exception_ptr error;  // what failed the batch's transaction
    std::condition_variable changed;
  };
  struct Article {
    bool counting = false;        // a transaction is counting clicks of the article
    std::shared_ptr<Batch> next;  // the clicks that wait for it
  };
  std::mutex mutex;
  // By the database's pool key and the article id.
  std::unordered_map<std::string, Article> by_article;
};

struct SiteCaches {
  // The names of the site's folders as found on disk, handed to the host (HostOptions), whose
  // static files and pages resolve addresses through them.
  SiteFolderNames folder_names;
  // The databases whose keyword index is made sure of or being built; the server's build thread
  // (core/site_server.h) marks them too.
  KeywordIndexMarks keyword_index;
  // The kept template scans.
  KeptTemplateScans template_scans;
  // What the public pages read ahead when last drawn.
  KeptPageReads page_reads;
  // The clicks waiting for their counting transaction.
  ClickBatches clicks;
  // The script files lately found to hold what a page would write into them.
  TextFilesSeen text_files;
  // The keyword index's and the channels' counts the related-articles block chooses its read by.
  KeywordCounts keyword_counts;
  // The lists the searches asked for, by which a keyword's matches are kept from its second ask.
  AskedLists asked_lists;
  // The databases whose list structures are made sure of and built, and the lists' kept counts,
  // heads and ids; handed to each request with its database (DatabaseState::Lists).
  ListCaches lists;
  // The searches' kept matches and text lengths, and the turns at reading an index whole.
  SearchCaches search;
};

}  // namespace folirex

#endif  // FOLIREX_CORE_SITE_CACHES_H_
