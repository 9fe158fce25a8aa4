// The shared test site with the console's usual steps: signing in and reading the alert text of
// a refused request.
#ifndef FOLIREX_TESTS_CONSOLE_CONSOLE_SITE_H_
#define FOLIREX_TESTS_CONSOLE_CONSOLE_SITE_H_

#include <string>

#include "core/md5.h"
#include "support/site_fixture.h"

namespace folirex::testing {

class ConsoleSite : public SiteFixture {
 public:
  // Posts the login form; answers the sign-in's own answer (a redirect when it succeeds).
  HttpAnswer SignIn(const std::string& name, const std::string& password) {
    return Post("/admin.asp?m=admin_login&action=check",
                {{"usercode", name}, {"password", password}});
  }
  HttpAnswer SignInAsAdmin() { return SignIn(admin_name(), admin_password()); }
};

// The text of the first alert('...') of a page, "" when it has none.
inline std::string AlertText(const std::string& page) {
  const std::string open = "alert('";
  size_t begin = page.find(open);
  if (begin == std::string::npos) return "";
  begin += open.size();
  size_t end = page.find("')", begin);
  return page.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_CONSOLE_CONSOLE_SITE_H_
