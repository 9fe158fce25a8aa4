#include "platform/text/codepage.h"

#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace folirex {
namespace {

// One descriptor per direction per thread, opened on first use and reset before each call.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts as much as possible. Returns the number of input bytes consumed; the output is
  // appended. Stops at the first sequence the converter rejects.
  size_t Convert(std::string_view in, std::string* out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in_ptr = const_cast<char*>(in.data());
    size_t in_left = in.size();
    char buffer[4096];
    while (in_left > 0) {
      char* out_ptr = buffer;
      size_t out_left = sizeof(buffer);
      size_t rc = iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left);
      out->append(buffer, out_ptr - buffer);
      if (rc == static_cast<size_t>(-1)) {
        if (errno == E2BIG) continue;
        break;  // EILSEQ or EINVAL: the caller handles the bad sequence
      }
    }
    return in.size() - in_left;
  }

 private:
  iconv_t cd_;
};

Converter& ToUtf8() {
  thread_local Converter converter("UTF-8", "CP936");
  return converter;
}

Converter& ToGbk() {
  thread_local Converter converter("CP936", "UTF-8");
  return converter;
}

void AppendUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool IsAscii(std::string_view text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

// The code page 936 bytes of every character of the Basic Multilingual Plane, as the converter
// gives them for that character: a page's text is converted by table look-ups instead of through
// iconv, which costs several times more per character. The encoding keeps no state between
// characters, so a text converts to the bytes of its characters one after the other. Built once,
// on first use (some tens of milliseconds); read-only afterwards.
class GbkTable {
 public:
  GbkTable() : entries_(0x10000) {
    Converter converter("CP936", "UTF-8");
    std::string utf8;
    std::string out;
    for (char32_t cp = 0x80; cp < 0x10000; ++cp) {
      if (cp >= 0xD800 && cp <= 0xDFFF) continue;
      utf8.clear();
      out.clear();
      AppendUtf8(cp, &utf8);
      if (converter.Convert(utf8, &out) != utf8.size() || out.empty() ||
          out.size() > sizeof(Entry::bytes)) {
        continue;
      }
      Entry& entry = entries_[cp];
      entry.size = static_cast<unsigned char>(out.size());
      out.copy(entry.bytes, out.size());
    }
  }

  struct Entry {
    unsigned char size = 0;  // 0: outside the code page
    char bytes[3] = {};
  };

  // The entry of a character of the plane (size 0: outside the code page).
  const Entry& At(char32_t cp) const { return entries_[cp]; }

  // The character's entry; null for a character outside the code page or the plane.
  const Entry* Find(char32_t cp) const {
    if (cp >= entries_.size() || entries_[cp].size == 0) return nullptr;
    return &entries_[cp];
  }

 private:
  std::vector<Entry> entries_;
};

const GbkTable& ToGbkTable() {
  static const GbkTable table;
  return table;
}

}  // namespace

char32_t NextCodePoint(std::string_view s, size_t* pos) {
  size_t i = *pos;
  unsigned char c = static_cast<unsigned char>(s[i]);
  int len = 0;
  char32_t cp = 0;
  if (c < 0x80) {
    *pos = i + 1;
    return c;
  } else if ((c & 0xE0) == 0xC0) {
    len = 2;
    cp = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3;
    cp = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4;
    cp = c & 0x07;
  } else {
    *pos = i + 1;
    return 0xFFFD;
  }
  if (i + len > s.size()) {
    *pos = i + 1;
    return 0xFFFD;
  }
  for (int k = 1; k < len; ++k) {
    unsigned char cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80) {
      *pos = i + 1;
      return 0xFFFD;
    }
    cp = (cp << 6) | (cc & 0x3F);
  }
  static const char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    *pos = i + 1;
    return 0xFFFD;
  }
  *pos = i + len;
  return cp;
}

std::string GbkToUtf8(std::string_view gbk) {
  if (IsAscii(gbk)) return std::string(gbk);
  std::string out;
  out.reserve(gbk.size() * 3 / 2);
  while (!gbk.empty()) {
    size_t used = ToUtf8().Convert(gbk, &out);
    gbk.remove_prefix(used);
    if (!gbk.empty()) {
      AppendUtf8(0xFFFD, &out);
      gbk.remove_prefix(1);
    }
  }
  return out;
}

namespace {

// The input that a conversion extends its output for at a time.
constexpr size_t kBlockBytes = 64 * 1024;

// The length of the run of ASCII bytes at the start of the text, eight bytes at a time.
size_t AsciiRun(const char* text, size_t size) {
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t word;
    std::memcpy(&word, text + i, sizeof(word));
    if ((word & 0x8080808080808080ULL) != 0) break;
  }
  while (i < size && static_cast<unsigned char>(text[i]) < 0x80) ++i;
  return i;
}

}  // namespace

void AppendUtf8ToGbk(std::string_view utf8, std::string& out, Unmappable unmappable) {
  const size_t size = utf8.size();
  size_t at = AsciiRun(utf8.data(), size);
  if (at == size) {
    out.append(utf8);
    return;
  }
  const GbkTable& table = ToGbkTable();
  // A character of the code page takes no more bytes in it than in UTF-8, and "?" stands for at
  // least one byte, so room for the text's own size is reserved; a character reference grows
  // the buffer further. The buffer is extended a block of the text at a time, so that only what
  // is written is touched: Chinese text takes two thirds of its UTF-8 size.
  out.reserve(out.size() + size);
  out.append(utf8.data(), at);
  size_t written = out.size();
  const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  while (at < size) {
    // The block's room: its bytes, and those of a character that starts in it and ends after it.
    const size_t block_end = std::min(size, at + kBlockBytes);
    if (written + (block_end - at) + 3 > out.size()) out.resize(written + (block_end - at) + 3);
    while (at < block_end) {
      if (bytes[at] < 0x80) {
        const size_t ascii = AsciiRun(utf8.data() + at, block_end - at);
        std::memcpy(out.data() + written, utf8.data() + at, ascii);
        written += ascii;
        at += ascii;
        continue;
      }
      // Chinese text, character after character of three bytes that the code page holds: its
      // bytes (one or two) stored at once, as the output has room for the three they replace.
      while (at < block_end && at + 2 < size && (bytes[at] & 0xF0) == 0xE0 &&
             (bytes[at + 1] & 0xC0) == 0x80 && (bytes[at + 2] & 0xC0) == 0x80) {
        const char32_t cp = (char32_t{bytes[at] & 0x0Fu} << 12) |
                            (char32_t{bytes[at + 1] & 0x3Fu} << 6) |
                            char32_t{bytes[at + 2] & 0x3Fu};
        if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) break;
        const GbkTable::Entry& entry = table.At(cp);
        if (entry.size == 0 || entry.size > 2) break;
        char* to = out.data() + written;
        to[0] = entry.bytes[0];
        to[1] = entry.bytes[1];
        written += entry.size;
        at += 3;
      }
      if (at >= block_end || bytes[at] < 0x80) continue;
      size_t pos = at;
      char32_t cp;
      bool invalid;
      if ((bytes[at] & 0xF0) == 0xE0 && at + 2 < size && (bytes[at + 1] & 0xC0) == 0x80 &&
          (bytes[at + 2] & 0xC0) == 0x80) {
        // A character of three bytes outside the code page, or a form that is overlong or a
        // surrogate, which goes the long way.
        cp = (char32_t{bytes[at] & 0x0Fu} << 12) | (char32_t{bytes[at + 1] & 0x3Fu} << 6) |
             char32_t{bytes[at + 2] & 0x3Fu};
        if (cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF)) {
          pos = at + 3;
          invalid = false;
        } else {
          cp = NextCodePoint(utf8, &pos);
          invalid = cp == 0xFFFD && !(pos - at == 3 && utf8.substr(at, 3) == "\xEF\xBF\xBD");
        }
      } else {
        cp = NextCodePoint(utf8, &pos);
        invalid = cp == 0xFFFD && !(pos - at == 3 && utf8.substr(at, 3) == "\xEF\xBF\xBD");
      }
      // What the rest of the block and a character cut at its end still need.
      const size_t rest = block_end + 3 - pos;
      const GbkTable::Entry* entry = invalid ? nullptr : table.Find(cp);
      if (entry != nullptr) {
        if (written + entry->size + rest > out.size()) out.resize(written + entry->size + rest);
        std::memcpy(out.data() + written, entry->bytes, entry->size);
        written += entry->size;
      } else if (unmappable == Unmappable::kCharRef && !invalid) {
        const std::string ref = "&#" + std::to_string(static_cast<uint32_t>(cp)) + ";";
        if (written + ref.size() + rest > out.size()) out.resize(written + ref.size() + rest);
        std::memcpy(out.data() + written, ref.data(), ref.size());
        written += ref.size();
      } else {
        out[written++] = '?';
      }
      at = pos;
    }
  }
  out.resize(written);
}

std::string Utf8ToGbk(std::string_view utf8, Unmappable unmappable) {
  std::string out;
  AppendUtf8ToGbk(utf8, out, unmappable);
  return out;
}

bool IsGbkRepresentable(std::string_view utf8) {
  if (IsAscii(utf8)) return true;
  std::string out;
  return ToGbk().Convert(utf8, &out) == utf8.size();
}

int GbkDisplayWidth(char32_t cp) {
  // Code page 936 keeps every character below 0x80 as one byte; everything else takes two
  // (a few single-byte extras such as 0x80 are not produced by conversion from Unicode text).
  return cp < 0x80 ? 1 : 2;
}

}  // namespace folirex
