// UploadReferences: which files of an upload folder the stored addresses of the content rows
// refer to, found in one pass over the stored values. A file counts as referred to when a stored
// value contains its address (as seen from the install folder, "news/pic/a.jpg", without regard
// to letter case), as written or HTML-encoded (front-page pictures are stored encoded); so a
// stored "/site/anews/pic/a.jpg" keeps "news/pic/a.jpg".
//
// Every address begins with the upload folder's address (the prefix), so a stored value is
// searched only where the prefix occurs, and there only for the lengths the addresses have: the
// time is linear in the stored text and the number of files. Not thread-safe; pure otherwise.
#ifndef FOLIREX_ARTICLES_UPLOAD_REFERENCES_H_
#define FOLIREX_ARTICLES_UPLOAD_REFERENCES_H_

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace folirex {

class UploadReferences {
 public:
  // prefix: the upload folder's address ("news/pic/": plain folder names, which HTML encoding
  // leaves alone); addresses: the files' addresses, each beginning with the prefix (an address
  // that does not is never found).
  UploadReferences(std::string_view prefix, const std::vector<std::string>& addresses);

  // Marks the files whose address the stored value contains.
  void Scan(std::string_view stored);
  bool Referenced(size_t index) const { return referenced_[index]; }

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
  };
  std::string prefix_;
  std::unordered_map<std::string, size_t, Hash, std::equal_to<>> keys_;
  std::vector<size_t> lengths_;
  std::vector<bool> referenced_;
  std::string lowered_;
};

}  // namespace folirex

#endif  // FOLIREX_ARTICLES_UPLOAD_REFERENCES_H_
