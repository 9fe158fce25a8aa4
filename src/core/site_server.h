// Serving a site folder: the life cycle of the component for one page request, as the two host
// pages ran it (create, OnStartPage, set the five database settings, one entry, OnEndPage), and
// the host options for a site.
#ifndef FOLIREX_CORE_SITE_SERVER_H_
#define FOLIREX_CORE_SITE_SERVER_H_

#include <atomic>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <thread>

#include "core/article_keywords.h"
#include "core/settings_file.h"
#include "core/site_caches.h"
#include "platform/host/http_host.h"

namespace folirex {

// The host options that come from the site's settings file and its routes: the memory bodies
// and waiting answers may take (MaxBodyMemory, MaxAnswerMemory), what one client address may
// hold (MaxClientConnections, MaxClientBodyMemory, MaxClientAnswerMemory) and each request's body
// limit and share (RequestBodyLimit). False with a
// one-line reason in *error when a setting is not valid.
bool SetSiteHostOptions(const SiteSettings& settings, HostOptions* options, std::string* error);

// Runs one admin.asp or asp.asp request with the server's caches (which must outlive it).
// OnEndPage runs whatever the entry did.
void ServePage(const SiteSettings& settings, SiteCaches& caches, EntryKind kind,
               PageObjects& objects);

// The install folder from the configuration row as a site address ("/" or "/sub/"); "/" when
// the database cannot be read.
std::string ReadInstallDir(const std::filesystem::path& site, const SiteSettings& settings);

// Makes sure the site's database has the tables and triggers that keep the lists flat (core/
// list_structures.h) and adds the rows a site made by an earlier version lacks (core/
// site_upgrade.h); run before serving (they take moments). The lists' indexes, the order of clicks
// and the related-articles index of a large site that lacks them, and the search's structures,
// which take seconds to minutes, are built after: SearchIndexBuildThread. False with the reason in
// *error when the database cannot be opened or the structures or rows cannot be made.
// `lists`: the serving server's (SiteCaches::lists), which then knows the database made sure of.
bool PrepareListStructures(const std::filesystem::path& site, const SiteSettings& settings,
                           ListCaches* lists, std::string* error);

// Builds what a site made by an earlier version or copied in lacks, on a thread of its own while
// the server answers: first the lists' indexes, the order of clicks and the related-articles index
// (BuildListStructures; the lists read the articles until they are ready), written to `out` in
// lines that begin "list structures: " (every tenth, then "ready", "stopped" or "cannot be built";
// the first before the constructor returns); then the index of the articles' keywords (core/
// article_keywords.h; the related-articles block reads the channel until it is ready), then the
// search structures (core/search_structures.h) when the database says they are not ready;
// writes to `out`, in lines that begin "search index: ", how far it is (every tenth of the
// search's build, and on PostgreSQL the index under way every 30 s) and, when there was anything
// to build, a last line "ready", "stopped" or "cannot be built" (the first line is written before
// the constructor returns when the keyword index is to be built).
// Made before the server listens, so that no page makes the keyword index itself. Destroying it
// stops the lists' build between two steps and the search's build between two batches (the keyword
// index, one transaction, is let finish) and waits for the thread; a later start goes on from
// there. `out` must outlive it.
class SearchIndexBuildThread {
 public:
  // `keyword_index` and `list_caches`: the serving server's marks and lists (SiteCaches), which its
  // pages read; they must outlive the object.
  SearchIndexBuildThread(const std::filesystem::path& site, const SiteSettings& settings,
                         KeywordIndexMarks& keyword_index, ListCaches& list_caches,
                         std::ostream& out);
  ~SearchIndexBuildThread();
  SearchIndexBuildThread(const SearchIndexBuildThread&) = delete;
  SearchIndexBuildThread& operator=(const SearchIndexBuildThread&) = delete;

 private:
  struct Database;
  std::unique_ptr<Database> database_;
  std::unique_ptr<ArticleKeywordIndexBuild> keywords_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace folirex

#endif  // FOLIREX_CORE_SITE_SERVER_H_
