// The rules the console's pop-ups share: which opener field a pop-up may write into and the
// script that writes it, which file extensions an upload may be stored under, and how an upload
// gets its new, never reused name in its folder.
//
// Pure functions, except StoreUpload, which writes one file. Any thread.
#ifndef FOLIREX_ARTICLES_UPLOAD_RULES_H_
#define FOLIREX_ARTICLES_UPLOAD_RULES_H_

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "articles/upload_parser.h"
#include "platform/db/variant.h"

namespace folirex {

// A field of the opener as the forms name it: "form.field", two names of ASCII letters, digits
// and "_", each beginning with a letter or "_". Nothing else is written into the opener script.
bool IsOpenerFieldPath(std::string_view field);

// The script that gives the opener's field (an IsOpenerFieldPath value) the text and closes the
// pop-up, lines ended by CR LF. The text is escaped for a double-quoted script string. The
// field's change event is fired, as for a value typed in, so that a listener (the editor's
// picture list) sees the new value. leading_line_end: one CR LF before the script.
std::string OpenerFieldScript(std::string_view field, std::string_view text, bool leading_line_end);

// An extension an upload may be stored under: letters and digits only, and not a type that a
// browser or a server would run or render as a page (asp, php, htm, svg, js and the like), in
// any letter case, whatever a channel allows.
bool IsStorableExtension(std::string_view ext);

// True when the lower-case extension is IsStorableExtension and one of the "|"-separated
// entries of allow_ext (compared in lower case, blanks around an entry ignored).
bool IsAllowedExtension(std::string_view ext, std::string_view allow_ext);

// The name of a saved upload: the time as yyyymmddhhnnss, the number (100 to 999), "." and ext.
std::string Upload_NewFileName(const DateTime& now, int number, std::string_view ext);

// Saves the part under a new name in folder (a disk path the caller has confined): names are
// drawn from now and draw() (a number from 100 to 999) until one is free, so an upload never
// replaces another, however many arrive in the same second. Answers the name, or nothing when
// the file could not be written (or no free name came in many draws). `names`: the site's folder
// names, which the new file is noted in.
std::optional<std::string> StoreUpload(const FileInfo_Class& file,
                                       const std::filesystem::path& folder, std::string_view ext,
                                       const DateTime& now, const std::function<int()>& draw,
                                       SiteFolderNames* names = nullptr);

// The same for bytes received from elsewhere (a collected picture).
std::optional<std::string> StoreUploadBytes(std::string_view data,
                                            const std::filesystem::path& folder,
                                            std::string_view ext, const DateTime& now,
                                            const std::function<int()>& draw,
                                            SiteFolderNames* names = nullptr);

}  // namespace folirex

#endif  // FOLIREX_ARTICLES_UPLOAD_RULES_H_
