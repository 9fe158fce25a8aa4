#include "core/md5.h"

#include <cstdint>
#include <vector>

#include "platform/text/codepage.h"

namespace folirex {
namespace {

constexpr int32_t kQuestionMark = '?';

// The code page 936 code of each character of the text, as the digest takes it: 0..255 for a
// single byte, the signed 16-bit (lead * 256 + trail) for a double byte.
std::vector<int32_t> CharacterCodes(std::string_view text) {
  std::vector<int32_t> codes;
  codes.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    size_t start = pos;
    char32_t cp = NextCodePoint(text, &pos);
    if (cp < 0x80) {
      codes.push_back(static_cast<int32_t>(cp));
      continue;
    }
    if (cp > 0xFFFF) {
      // Two UTF-16 halves, neither of which has a code in the code page.
      codes.push_back(kQuestionMark);
      codes.push_back(kQuestionMark);
      continue;
    }
    std::string gbk = Utf8ToGbk(text.substr(start, pos - start), Unmappable::kQuestion);
    if (gbk.size() == 2) {
      uint16_t code = static_cast<uint16_t>((static_cast<unsigned char>(gbk[0]) << 8) |
                                            static_cast<unsigned char>(gbk[1]));
      codes.push_back(static_cast<int16_t>(code));
    } else if (gbk.size() == 1) {
      codes.push_back(static_cast<unsigned char>(gbk[0]));
    } else {
      codes.push_back(kQuestionMark);
    }
  }
  return codes;
}

uint32_t RotateLeft(uint32_t value, int bits) { return (value << bits) | (value >> (32 - bits)); }

// RFC 1321 section 3.4, over 16-word blocks.
void Transform(const uint32_t* block, uint32_t state[4]) {
  static constexpr uint32_t kSine[64] = {
      0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
      0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
      0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
      0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
      0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
      0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
      0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
      0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
      0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
      0xeb86d391};
  static constexpr int kShift[4][4] = {
      {7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (int step = 0; step < 64; ++step) {
    int round = step / 16;
    uint32_t f;
    int k;
    switch (round) {
      case 0:  // F
        f = (b & c) | (~b & d);
        k = step;
        break;
      case 1:  // G
        f = (b & d) | (c & ~d);
        k = (5 * step + 1) % 16;
        break;
      case 2:  // H
        f = b ^ c ^ d;
        k = (3 * step + 5) % 16;
        break;
      default:  // I
        f = c ^ (b | ~d);
        k = (7 * step) % 16;
        break;
    }
    uint32_t rotated = RotateLeft(a + f + block[k] + kSine[step], kShift[round][step % 4]);
    a = d;
    d = c;
    c = b;
    b = b + rotated;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

void AppendHexWord(uint32_t word, std::string* out) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (int byte = 0; byte < 4; ++byte) {
    uint32_t value = (word >> (8 * byte)) & 0xFF;
    out->push_back(kHex[value >> 4]);
    out->push_back(kHex[value & 0xF]);
  }
}

}  // namespace

std::string MD5(std::string_view text) {
  std::vector<int32_t> codes = CharacterCodes(text);
  size_t n = codes.size();
  std::vector<uint32_t> words(((n + 8) / 64 + 1) * 16, 0);
  for (size_t i = 0; i < n; ++i) {
    // Sign-extended, then shifted within 32 bits: a double-byte code also fills the higher byte
    // positions of its word, which is what stored digests were made with.
    words[i / 4] |= static_cast<uint32_t>(codes[i]) << (8 * (i % 4));
  }
  words[n / 4] |= 0x80u << (8 * (n % 4));
  words[words.size() - 2] = static_cast<uint32_t>(n << 3);
  words[words.size() - 1] = static_cast<uint32_t>(n >> 29);

  uint32_t state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  for (size_t block = 0; block < words.size(); block += 16) Transform(&words[block], state);

  std::string digest;
  digest.reserve(16);
  AppendHexWord(state[1], &digest);
  AppendHexWord(state[2], &digest);
  return digest;
}

}  // namespace folirex
