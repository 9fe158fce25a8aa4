// The settings version: a number that the database itself moves on every change to the tables a
// page reads on every request and that change seldom against how often they are read (the
// configuration, classes, templates and template pages, skins, menus, scripts, announcements, the
// administrators' rights and the readers' comments). Triggers on those tables keep it (row 3 of
// Vantrel_ArticleVersion), so every writer on any host moves it; the selects of those tables alone
// are then answered from rows kept in memory for as long as it stays the same
// (Connection::KeepReads, platform/db/kept_reads.h).
//
// EnsureSettingsVersion makes the row and its triggers on a database that lacks them, once per
// database and process (EnsureListStructures calls it); a database without them keeps nothing.
#ifndef FOLIREX_CORE_SETTINGS_VERSION_H_
#define FOLIREX_CORE_SETTINGS_VERSION_H_

#include "platform/db/connection.h"
#include "platform/db/kept_reads.h"

namespace folirex {

// The tables kept and the statement that reads their version.
const db::KeptReadsPolicy& SettingsReads();

// Makes the version row and its triggers unless the database has them (a site made before
// them). Not inside a transaction of the caller's.
void EnsureSettingsVersion(Connection& conn);

}  // namespace folirex

#endif  // FOLIREX_CORE_SETTINGS_VERSION_H_
