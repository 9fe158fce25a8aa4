// Serving a site folder: the life cycle of the component for one page request, as the two host
// pages ran it (create, OnStartPage, set the five database settings, one entry, OnEndPage), and
// the host options for a site.
#ifndef FOLIREX_CORE_SITE_SERVER_H_
#define FOLIREX_CORE_SITE_SERVER_H_

#include <filesystem>
#include <string>

#include "core/settings_file.h"
#include "platform/host/http_host.h"

namespace folirex {

// The host options that come from the site's settings file and its routes: the memory bodies
// and waiting answers may take (MaxBodyMemory, MaxAnswerMemory), what one client address may
// hold (MaxClientConnections, MaxClientBodyMemory, MaxClientAnswerMemory) and each request's body
// limit and share (RequestBodyLimit). False with a
// one-line reason in *error when a setting is not valid.
bool SetSiteHostOptions(const SiteSettings& settings, HostOptions* options, std::string* error);

// Runs one admin.asp or asp.asp request. OnEndPage runs whatever the entry did.
void ServePage(const SiteSettings& settings, EntryKind kind, PageObjects& objects);

// The install folder from the configuration row as a site address ("/" or "/sub/"); "/" when
// the database cannot be read.
std::string ReadInstallDir(const std::filesystem::path& site, const SiteSettings& settings);

// Makes sure the site's database has the structures that keep the lists and the search flat
// (core/list_structures.h), building them from the articles when the site predates them, and
// adds the rows a site made by an earlier version lacks (core/site_upgrade.h); run before
// serving, so that no page waits for the build. False with the reason in *error when the
// database cannot be opened or the structures or rows cannot be made.
bool PrepareListStructures(const std::filesystem::path& site, const SiteSettings& settings,
                           std::string* error);

}  // namespace folirex

#endif  // FOLIREX_CORE_SITE_SERVER_H_
