#include "core/md5.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/text/codepage.h"

namespace folirex {
namespace {

// Characters 9 to 24 (counting from 1) of a 32-character digest.
std::string Middle(const std::string& digest32) { return digest32.substr(8, 16); }

// A second, plainly written MD5 over message words that are already padded, with the sine
// constants computed as RFC 1321 defines them rather than copied. Returns the 32-character form.
std::string ReferenceMd5(const std::vector<uint32_t>& words) {
  uint32_t t[64];
  for (int i = 0; i < 64; ++i) {
    t[i] = static_cast<uint32_t>(std::floor(std::fabs(std::sin(i + 1.0)) * 4294967296.0));
  }
  auto rotl = [](uint32_t x, int s) { return (x << s) | (x >> (32 - s)); };
  uint32_t h[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  for (size_t block = 0; block + 16 <= words.size(); block += 16) {
    const uint32_t* x = &words[block];
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
    static const int s1[4] = {7, 12, 17, 22}, s2[4] = {5, 9, 14, 20}, s3[4] = {4, 11, 16, 23},
                     s4[4] = {6, 10, 15, 21};
    for (int i = 0; i < 16; ++i) {
      uint32_t r = b + rotl(a + ((b & c) | (~b & d)) + x[i] + t[i], s1[i % 4]);
      a = d, d = c, c = b, b = r;
    }
    for (int i = 0; i < 16; ++i) {
      uint32_t r = b + rotl(a + ((b & d) | (c & ~d)) + x[(1 + 5 * i) % 16] + t[16 + i], s2[i % 4]);
      a = d, d = c, c = b, b = r;
    }
    for (int i = 0; i < 16; ++i) {
      uint32_t r = b + rotl(a + (b ^ c ^ d) + x[(5 + 3 * i) % 16] + t[32 + i], s3[i % 4]);
      a = d, d = c, c = b, b = r;
    }
    for (int i = 0; i < 16; ++i) {
      uint32_t r = b + rotl(a + (c ^ (b | ~d)) + x[(7 * i) % 16] + t[48 + i], s4[i % 4]);
      a = d, d = c, c = b, b = r;
    }
    h[0] += a, h[1] += b, h[2] += c, h[3] += d;
  }
  std::string out;
  char hex[3];
  for (uint32_t word : h) {
    for (int byte = 0; byte < 4; ++byte) {
      snprintf(hex, sizeof(hex), "%02x", (word >> (8 * byte)) & 0xFF);
      out += hex;
    }
  }
  return out;
}

// The message words of the stored-password format, built from code page 936 bytes: each
// single-byte character is its byte; each double-byte character is (lead * 256 + trail) read as
// a signed 16-bit code, sign-extended, shifted to its byte position and OR-ed into its word; the
// padding and the length count characters, not bytes.
std::vector<uint32_t> StoredFormatWords(const std::string& gbk) {
  std::vector<int32_t> codes;
  for (size_t i = 0; i < gbk.size(); ++i) {
    unsigned char lead = static_cast<unsigned char>(gbk[i]);
    if (lead >= 0x81 && lead <= 0xFE && i + 1 < gbk.size()) {
      unsigned char trail = static_cast<unsigned char>(gbk[++i]);
      codes.push_back(static_cast<int16_t>(static_cast<uint16_t>(lead * 256 + trail)));
    } else {
      codes.push_back(lead);
    }
  }
  size_t n = codes.size();
  std::vector<uint32_t> words(((n + 8) / 64 + 1) * 16, 0);
  for (size_t i = 0; i < n; ++i) words[i / 4] |= static_cast<uint32_t>(codes[i]) << (8 * (i % 4));
  words[n / 4] |= 0x80u << (8 * (n % 4));
  words[words.size() - 2] = static_cast<uint32_t>(n * 8);
  words[words.size() - 1] = static_cast<uint32_t>(n >> 29);
  return words;
}

// --- Single-byte text: the standard digest ----------------------------------------------------

TEST(MD5Test, Rfc1321VectorsCharactersNineToTwentyFour) {
  const std::pair<const char*, const char*> vectors[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [text, digest] : vectors) {
    EXPECT_EQ(MD5(text), Middle(digest)) << text;
  }
}

TEST(MD5Test, AgreesWithReferenceAroundTheBlockBoundary) {
  // 55 characters fit one block with the padding; 56 need a second; 64 and 119/120 likewise.
  for (size_t length : {54u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 200u}) {
    std::string text;
    for (size_t i = 0; i < length; ++i) text.push_back(static_cast<char>('!' + (i * 7) % 90));
    EXPECT_EQ(MD5(text), Middle(ReferenceMd5(StoredFormatWords(text)))) << length;
  }
}

TEST(MD5Test, ReferenceItselfMatchesKnownDigest) {
  EXPECT_EQ(ReferenceMd5(StoredFormatWords("abc")), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(MD5Test, CaseMattersAndResultIsLowerCase) {
  EXPECT_NE(MD5("Admin"), MD5("admin"));
  for (const char* text : {"admin", "Admin", "P@ssw0rd!", "中文密码"}) {
    std::string digest = MD5(text);
    ASSERT_EQ(digest.size(), 16u);
    for (char c : digest) EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) << text;
  }
}

// --- Double-byte characters: the stored format ---------------------------------------------

TEST(MD5Test, ChinesePasswordFollowsTheSignedCodeRule) {
  for (const char* password : {"中", "密码", "管理员123", "a中b文c", "中文密码中文密码中文密码"}) {
    std::string gbk = Utf8ToGbk(password, Unmappable::kQuestion);
    std::string expected = Middle(ReferenceMd5(StoredFormatWords(gbk)));
    EXPECT_EQ(MD5(password), expected) << password;
  }
}

TEST(MD5Test, DoubleByteCharacterIsNotItsCodePageBytes) {
  // "中" is D6 D0 in code page 936. As the fourth character (byte position 3 of the first word)
  // only its trail byte D0 fits in the word; the lead byte and the sign bits are shifted out,
  // and the message length is 4. So "abc中" digests exactly like the four bytes 61 62 63 D0,
  // whose standard digest (md5sum of those bytes) is 34a3d53acf9543d17b55ca74c71df56d.
  EXPECT_EQ(MD5("abc中"), Middle("34a3d53acf9543d17b55ca74c71df56d"));
  // At byte position 0 the code FFFFD6D0 fills the whole first word: not the bytes D6 D0.
  std::vector<uint32_t> plain_bytes(16, 0);
  plain_bytes[0] = 0x0080D0D6;  // D6 D0, then the padding byte
  plain_bytes[14] = 16;
  EXPECT_NE(MD5("中"), Middle(ReferenceMd5(plain_bytes)));
  std::vector<uint32_t> rule(16, 0);
  rule[0] = 0xFFFFD6D0;  // trail D0, lead D6, then the sign bits; the padding bit is already set
  rule[14] = 8;          // one character
  EXPECT_EQ(MD5("中"), Middle(ReferenceMd5(rule)));
}

TEST(MD5Test, CharacterOutsideCodePageCountsAsQuestionMark) {
  // U+0E01 (Thai) has no code in code page 936.
  EXPECT_EQ(MD5("a\u0E01b"), MD5("a?b"));
  // Beyond U+FFFF: two halves, two question marks.
  EXPECT_EQ(MD5("x\U0001F600"), MD5("x??"));
}

}  // namespace
}  // namespace folirex
