#include "articles/upload_references.h"

#include <algorithm>
#include <set>

#include "platform/text/html_escape.h"

namespace folirex {
namespace {

void LowerInto(std::string_view text, std::string* out) {
  out->assign(text);
  for (char& c : *out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
}

std::string Lower(std::string_view text) {
  std::string out;
  LowerInto(text, &out);
  return out;
}

}  // namespace

UploadReferences::UploadReferences(std::string_view prefix,
                                   const std::vector<std::string>& addresses)
    : referenced_(addresses.size(), false) {
  prefix_ = Lower(prefix);
  if (prefix_.empty()) return;
  std::set<size_t> lengths;
  auto add = [&](std::string key, size_t index) {
    if (key.compare(0, prefix_.size(), prefix_) != 0) return;
    lengths.insert(key.size());
    keys_.emplace(std::move(key), index);
  };
  for (size_t i = 0; i < addresses.size(); ++i) {
    std::string key = Lower(addresses[i]);
    // A front-page picture's address is stored HTML-encoded: "&" as "&amp;" and so on.
    std::string text = HtmlEscapeText(key);
    std::string attr = HtmlEscapeAttr(key);
    if (attr != key && attr != text) add(attr, i);
    if (text != key) add(text, i);
    add(std::move(key), i);
  }
  lengths_.assign(lengths.begin(), lengths.end());
}

void UploadReferences::Scan(std::string_view stored) {
  if (keys_.empty() || stored.empty()) return;
  LowerInto(stored, &lowered_);
  std::string_view text = lowered_;
  for (size_t at = text.find(prefix_); at != std::string_view::npos;
       at = text.find(prefix_, at + 1)) {
    for (size_t length : lengths_) {
      if (at + length > text.size()) break;
      auto found = keys_.find(text.substr(at, length));
      if (found != keys_.end()) referenced_[found->second] = true;
    }
  }
}

}  // namespace folirex
