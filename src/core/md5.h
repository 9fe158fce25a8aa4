// The administrator password digest: 16 lowercase hexadecimal characters, characters 9 to 24 of
// the usual 32-character MD5 digest (RFC 1321).
//
// Digests already stored in a database must keep verifying, so the way characters become
// message bytes is part of the format: each character enters as its code in code page 936. A
// single-byte character is one message byte, as RFC 1321 reads a byte string. A double-byte
// character enters as (lead byte * 256 + trail byte) read as a signed 16-bit number: its trail
// byte at the character's position, its lead byte at the next one, and, the code being negative,
// 0xFF in the rest of the same 32-bit message word; it still counts as one byte of the message
// length. A character code page 936 lacks counts as "?" (a character beyond U+FFFF as two, one
// per UTF-16 half). Such a text therefore does not digest like its code page 936 bytes.
//
// Pure function: thread-safe, never fails.
#ifndef FOLIREX_CORE_MD5_H_
#define FOLIREX_CORE_MD5_H_

#include <string>
#include <string_view>

namespace folirex {

// The 16-character digest of the UTF-8 text (an empty text is allowed).
std::string MD5(std::string_view text);

}  // namespace folirex

#endif  // FOLIREX_CORE_MD5_H_
