// The SQLite provider: a Session over one SQLite file, opened read-write (never created: a
// missing file is a DbError), in WAL mode with a 5-second busy timeout. Each session keeps a small
// cache of compiled statements, and registers the functions the translated SQL calls
// (vb_datediff, vb_cstr). After each commit the session checkpoints the write-ahead log itself,
// so that the log starts over and shrinks back although readers never pause; a checkpoint that
// cannot finish never fails the commit. Columns declared as dates come back as dates, flags
// (BOOLEAN, BIT, YESNO) as booleans; flags are written as -1/0 and dates as "yyyy-mm-dd hh:mm:ss".
//
// The database handle and every compiled statement have owners that close and finalize them, on
// the way out of a failure too; a statement given back goes into the cache or is finalized.
//
// One thread at a time per session (the pool in provider.cpp hands each to one Connection).
#ifndef FOLIREX_PLATFORM_DB_SQLITE_PROVIDER_H_
#define FOLIREX_PLATFORM_DB_SQLITE_PROVIDER_H_

#include <memory>
#include <string>

#include "platform/db/provider.h"

namespace folirex::db {

// Opens the file at `path` (already resolved); `pool_key` is what the session reports back.
std::unique_ptr<Session> OpenSqliteSession(const std::string& path, std::string pool_key);

}  // namespace folirex::db

#endif  // FOLIREX_PLATFORM_DB_SQLITE_PROVIDER_H_
