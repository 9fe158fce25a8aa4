// Text, date and validation helpers that every page uses: the id check, the SQL character
// filter, the pages' HTMLEncode, display length and cutting with double-width characters, dates by
// style code, search-word highlighting, the e-mail check, the tick mark and the file extension of
// an extension code.
//
// Pure functions: they touch no database, response or request state, and may be called from any
// thread. Arguments are values as the pages hold them (request text, fields, numbers, dates);
// each converts as stated. Text is UTF-8; a character outside ASCII counts 2 in display widths,
// as a double-byte character of code page 936 does on the pages.
#ifndef FOLIREX_CORE_TEXT_HELPERS_H_
#define FOLIREX_CORE_TEXT_HELPERS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/db/variant.h"
#include "platform/text/html_escape.h"  // HtmlEscapeText, HtmlEscapeAttr: the pages use both

namespace folirex {

// Text for one line of the server's log: printable characters as they are; a control, a line
// or paragraph separator, a direction mark, a backslash or a double quote as \xNN or \u{N}, so
// that what a visitor typed can neither begin a line of its own nor pass for the log's framing.
std::string LogText(std::string_view text);

// The date (or text that reads as one) formatted by style code (1 and "1" are the same):
//   1 yyyy-mm-dd hh:nn:ss   2 yyyy-mm-dd   3 hh:nn:ss   4 yyyy年mm月dd日
//   5 yyyy年mm月dd日 hh:nn:ss   6 "mm月dd日 "   7 mm-dd   10 yyyymmddhhnnss   11 yyyymm
// Every part but the year has two digits. Not a date, or any other style: "".
std::string FormatDate(const Variant& date, const Variant& style);

// Display length: characters, plus one more for each double-width character.
int64_t StrLength(const Variant& text);

// The text unchanged when its display length is at most width; otherwise cut from the end until
// it is at most width - 3, followed by "..." (so at most width in all; a width below 3 leaves
// only "..."). Throws VariantError when width is not a number.
std::string CutStr(const Variant& text, const Variant& width);

// The pages' own encoder, for element text only: the value's text through HtmlEscapeText with
// each line feed as "<br>" (a carriage return stays). Null gives "". An attribute value takes
// HtmlEscapeAttr (platform/text/html_escape.h).
std::string HTMLEncode(const Variant& text);

// The id and number check: not null, not blank, only the digits 0-9 (no sign, point or space),
// and no leading "0" unless the value is "0". No upper limit on the number of digits.
bool IsDigits(const Variant& value);

// The value trimmed of spaces, with every single quote, double quote and ";" deleted.
std::string FilterSql(const Variant& value);

// Text for inside a single-quoted SQL literal: every single quote doubled.
std::string SqlQuote(std::string_view text);

// Every occurrence of the keyword in the text, in any letter case, wrapped in
// "<font color=red>...</font>", each keeping its own case. The keyword is matched literally.
// An empty keyword leaves the text unchanged.
std::string HighlightKeyword(const Variant& text, const Variant& keyword);

// The e-mail address check of the tell-a-friend form: one "@"; both parts non-empty, of ASCII
// letters, digits, "_", "-" and ".", neither beginning nor ending with "."; a "." in the domain
// and 2 or 3 characters after its last "."; no ".." anywhere.
bool IsValidEmail(const Variant& text);

// "√" when the flag equals true (the database's boolean true), else a red "×".
std::string CheckMark(const Variant& flag);

// The file extension of an extension code: "0" .html, "1" .htm, "2" .shtml, "3" .shtm,
// "4" .asp, anything else .html. The code is compared as a value (2 and "2" are the same).
std::string FileExtName(const Variant& code);

}  // namespace folirex

#endif  // FOLIREX_CORE_TEXT_HELPERS_H_
