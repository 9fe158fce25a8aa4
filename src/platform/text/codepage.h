// Conversion between the program's UTF-8 text and code page 936 (GBK, a superset of GB2312),
// the encoding of every page, request and text file of the site.
//
// The functions are pure and thread-safe (each thread uses its own iconv descriptors; the table
// that Utf8ToGbk reads is built once, on its first call, from the converter's own answers).
#ifndef FOLIREX_PLATFORM_TEXT_CODEPAGE_H_
#define FOLIREX_PLATFORM_TEXT_CODEPAGE_H_

#include <string>
#include <string_view>

namespace folirex {

// Code page 936 bytes to UTF-8. A byte sequence that is not valid code page 936 becomes U+FFFD;
// nothing is dropped silently and the call never fails.
std::string GbkToUtf8(std::string_view gbk);

// How UTF-8 text with a character outside code page 936 is written.
enum class Unmappable {
  kCharRef,   // as the HTML character reference "&#N;" (pages)
  kQuestion,  // as "?" (text files, mail headers)
};

// UTF-8 to code page 936 bytes. Invalid UTF-8 bytes become "?". The conversion goes character by
// character, so a text converts to the bytes of its pieces one after the other, cut anywhere
// but inside a character.
std::string Utf8ToGbk(std::string_view utf8, Unmappable unmappable = Unmappable::kCharRef);
// The same, appended to `out` in place: a page's whole answer converted at once, with no text of
// its own for any piece. `out` may grow by up to the UTF-8 text's size while it is written.
void AppendUtf8ToGbk(std::string_view utf8, std::string& out,
                     Unmappable unmappable = Unmappable::kCharRef);

// True when every character of the UTF-8 text maps into code page 936.
bool IsGbkRepresentable(std::string_view utf8);

// The width the pages give a character: 1 for ASCII (code below 256 in the code page), 2 for a
// character that takes two bytes in code page 936 (and for unmappable characters).
int GbkDisplayWidth(char32_t code_point);

// Decodes one UTF-8 character at *pos and advances *pos; an invalid byte gives U+FFFD and
// advances by one.
char32_t NextCodePoint(std::string_view utf8, size_t* pos);

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_TEXT_CODEPAGE_H_
