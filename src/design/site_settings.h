// The site settings page (m=admin_set): the form over the one row of Vantrel_Config, its save,
// and the logo and banner scripts Js/ShowLogo.js and Js/ShowBanner.js that carry the logo and
// banner to pages outside the template system.
//
// The table keeps one row: a save updates it when it is there and inserts it only into an empty
// table. After the row is stored the request's site values (and Application("server_path")) are
// read again, so the rest of the request and every later one see the new settings. The mail
// password is never written into the form; an empty password field keeps the stored one. The
// copyright line, HTML on every public page, is stored cleaned of script by the typed-HTML
// cleaner (core/html_clean.h); a logo or banner address that would run script is refused.
//
// Call on the request's worker. Refusals end the request through AlertBack with nothing stored.
#ifndef FOLIREX_DESIGN_SITE_SETTINGS_H_
#define FOLIREX_DESIGN_SITE_SETTINGS_H_

#include <string>

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

// The page entry: right XT_Manage_Set; action "add" (first save), "edit" (save of the row
// named by the query's id), anything else the form.
void Set_Main(RequestState& state, const ConsolePage& page);

// The install folder as the settings store it: trimmed, with a leading and a trailing "/"
// added where missing ("" stays "").
std::string NormalizeInstallDir(const std::string& text);

}  // namespace folirex

#endif  // FOLIREX_DESIGN_SITE_SETTINGS_H_
