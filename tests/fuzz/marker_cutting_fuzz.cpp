// libFuzzer target for the collector's marker cutting: a marker (the input up to its first line
// feed) applied to a page (the rest) by every cutting rule, the marker as a link pattern, the
// join of links, and the HTML cleaner under both policies. Cuts must give back pieces of the page,
// link lists distinct links after the empty element 0, the cleaner a fixed point, and the collected
// policy's output free of active markup.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "collection/url_rules.h"
#include "core/html_clean.h"
#include "platform/regex/regex_error.h"

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  size_t split = input.find('\n');
  std::string marker = input.substr(0, std::min(split, size_t{64}));
  const std::string page = split == std::string::npos ? "" : input.substr(split + 1);

  std::string after = page;
  if (folirex::CutAfter(after, marker) && !page.ends_with(after)) std::abort();
  std::string rest = page;
  std::string before;
  if (folirex::CutBefore(rest, marker, &before) && before + marker + rest != page) std::abort();
  if (folirex::ArticleCollect_RemoveBlocks(marker, "</" + marker, page).size() > page.size()) {
    std::abort();
  }

  try {
    std::vector<std::string> links = folirex::ArticleCollect_RegExpLinks(
        page, folirex::ArticleCollect_MarkerToRegex(marker), "http://a.cn/b/c.htm");
    if (links.empty() || !links[0].empty()) std::abort();
    for (size_t i = 1; i < links.size(); ++i) {
      if (std::count(links.begin() + 1, links.end(), links[i]) != 1) std::abort();
    }
  } catch (const folirex::RegexError&) {
    // A marker that is no valid pattern fails the step, as the steps report.
  }
  folirex::ArticleCollect_JoinUrl(marker, page.substr(0, 256));

  std::string typed = folirex::CleanTypedHtml(page);
  if (folirex::CleanTypedHtml(typed) != typed) std::abort();
  std::string clean = folirex::CleanCollectedHtml(page);
  if (folirex::CleanCollectedHtml(clean) != clean) std::abort();
  std::string lower = Lower(clean);
  for (const char* active : {"<script", "<style", "<iframe", "<object", "<svg", "<embed"}) {
    if (lower.find(active) != std::string::npos) std::abort();
  }
  return 0;
}
