// The multipart/form-data parser of the upload pop-up: UpFile_Class cuts the raw body of a
// console upload into its ordinary fields (Form, decoded from code page 936) and its file parts
// (File, each a FileInfo_Class), and a file part writes its bytes to a new file.
//
// The parser never copies the body: it reads the request's body in place (RequestReader::Body), and
// a file part is an offset and a length into it. The body must therefore outlive the parser and its
// file parts; both belong to one request, on the request's worker.
//
// Failure: Parse never reads outside the body. An empty body, a body above the byte limit, a
// body that does not follow the multipart layout (no boundary line, a part without the blank
// line after its headers, a part without a following boundary), ordinary fields above
// kMaxFormBytes or more than kMaxUploadParts parts stop the parse: Err says which, and Form and
// File are left empty. What a parse holds besides the body is thus bounded by those two.
#ifndef FOLIREX_ARTICLES_UPLOAD_PARSER_H_
#define FOLIREX_ARTICLES_UPLOAD_PARSER_H_

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "platform/fs/site_path.h"

namespace folirex {

// UpFile_Class::Err.
inline constexpr int kUploadOk = -1;           // parsed
inline constexpr int kUploadEmpty = 1;         // the request had no body
inline constexpr int kUploadTooLarge = 2;      // the body is larger than the limit: not parsed
inline constexpr int kUploadMalformed = 3;     // not a multipart body, or cut short
inline constexpr int kUploadFormTooLarge = 4;  // the ordinary fields hold more than kMaxFormBytes
inline constexpr int kUploadTooManyParts = 5;  // more than kMaxUploadParts parts

// The ordinary fields of one upload hold at most this many bytes in all; an upload form carries
// a few short values beside its file, and a larger text would be a second copy of the body.
inline constexpr size_t kMaxFormBytes = 1 << 20;
// An upload holds at most this many parts; an upload form sends a few, and each part kept costs
// a dictionary entry however small it is.
inline constexpr size_t kMaxUploadParts = 1000;

// Orders names without regard to ASCII letter case (the dictionaries' text compare mode).
struct NoCaseLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

// One file part of a parsed body.
class FileInfo_Class {
 public:
  std::string FormName;   // the form field's name
  std::string FileName;   // the client's file name after its last "\"
  std::string FilePath;   // the client's folder up to and including its last "\", or ""
  int64_t FileSize = 0;   // data bytes
  std::string FileType;   // the part's Content-Type, "" when it sent none
  int64_t FileStart = 0;  // offset of the first data byte in the body
  std::string FileExt;    // the client's name after its last "." (the whole name without one)

  // The part's bytes, in place in the body.
  std::string_view Data() const { return data_; }

  enum class SaveResult { kSaved, kExists, kFailed };
  // Writes the part's bytes to a new file at path (a disk path the caller has confined). Never
  // replaces a file: kExists when the name is taken, so the caller can draw another. The file
  // appears whole or not at all. kFailed for any other failure (missing folder, no right).
  // `names`: the site's folder names, which the new file is noted in.
  SaveResult SaveToFile(const std::filesystem::path& path, SiteFolderNames* names = nullptr) const;

 private:
  friend class UpFile_Class;
  std::string_view data_;
};

// What SaveToFile does, for bytes from elsewhere (a downloaded file): a new file at path, never
// replacing one (kExists when the name is taken), whole or not at all.
FileInfo_Class::SaveResult SaveNewFile(const std::filesystem::path& path, std::string_view data,
                                       SiteFolderNames* names = nullptr);

class UpFile_Class {
 public:
  // Field name to value; a name sent more than once holds its values joined by ", ".
  std::map<std::string, std::string, NoCaseLess> Form;
  // Field name to file part; of two file parts with one name the first is kept.
  std::map<std::string, FileInfo_Class, NoCaseLess> File;
  int Err = kUploadOk;

  // Parses the body, which must outlive this object and its file parts; max_size is a byte limit,
  // 0 or less for none.
  void Parse(std::string_view body, int64_t max_size);

 private:
  void Fail(int err);
};

}  // namespace folirex

#endif  // FOLIREX_ARTICLES_UPLOAD_PARSER_H_
