// Creating a new site folder: the site's starting files (siteroot/), the SQLite database
// data/site.db from the schema and shipped rows in db/, the settings file, and a random password
// for the shipped administrator. Nothing is left half-made: the site is built in a temporary
// folder beside the target and moved into place only when every step succeeded.
#ifndef FOLIREX_CORE_SITE_SETUP_H_
#define FOLIREX_CORE_SITE_SETUP_H_

#include <filesystem>
#include <string>

#include "core/settings_file.h"

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

// A random password of letters and digits.
std::string RandomPassword(int length);

}  // namespace folirex

#endif  // FOLIREX_CORE_SITE_SETUP_H_
