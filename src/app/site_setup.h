// Creating a new site folder: the site's starting files (siteroot/), its database, the settings
// file, and a random password for the shipped administrator. The database is either the SQLite
// file data/site.db (DbType "0") or an empty database on a server reached through ODBC (any
// other DbType: DBServer, DBPath the database's name, DBUser, DBPwd), loaded with db/'s schema
// for that engine and every shipped_*.sql in name order.
//
// Nothing is left half-made: the site is built in a temporary folder beside the target and moved
// into place only when every step succeeded; a server database is loaded in one transaction that
// commits only after the folder is in place, so a failure leaves the database as empty as it was.
#ifndef FOLIREX_APP_SITE_SETUP_H_
#define FOLIREX_APP_SITE_SETUP_H_

#include <filesystem>
#include <string>
#include <vector>

#include "core/settings_file.h"
#include "platform/db/connection.h"

namespace folirex {

// Where siteroot/ and db/ are: FOLIREX_SHARE from the environment, else the source folder the
// program was built from.
std::filesystem::path ShareFolder();

struct CreatedSite {
  std::string admin_name;
  std::string admin_password;
};

// Creates the site in dir (which must not exist, or be empty). False with a one-line reason in
// *error when dir already holds a site or a step fails.
bool CreateSite(const std::filesystem::path& dir, const SiteSettings& settings,
                CreatedSite* created, std::string* error);

// The scripts that make a new database for the engine: its schema, then every shipped_*.sql of
// db_folder in name order.
std::vector<std::filesystem::path> DatabaseScripts(const std::filesystem::path& db_folder,
                                                   SqlEngine engine);

// Runs those scripts on conn, statement by statement and as written (no dialect translation),
// inside the caller's transaction if there is one. On PostgreSQL the few statements of the
// shipped files that only SQLite knows are run in their PostgreSQL form: setting a table's
// autonumber through sqlite_sequence sets the sequence behind the table's d_id. Throws DbError
// naming the file and the statement's first words.
void LoadDatabaseScripts(Connection& conn, const std::filesystem::path& db_folder);

// A random password of letters and digits.
std::string RandomPassword(int length);

}  // namespace folirex

#endif  // FOLIREX_APP_SITE_SETUP_H_
