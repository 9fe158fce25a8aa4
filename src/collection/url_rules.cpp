#include "collection/url_rules.h"

#include <algorithm>

#include "platform/regex/regexp.h"
#include "platform/text/vb_text.h"

namespace folirex {

std::string ArticleCollect_MarkerToRegex(std::string_view marker) {
  // The backslash goes first, so the backslashes added after it are not doubled.
  static constexpr std::pair<std::string_view, std::string_view> kSteps[] = {
      {"\\", "\\\\"}, {".", "\\."}, {"[", "\\["}, {"]", "\\]"},       {"?", "\\?"}, {"*", "\\*"},
      {"+", "\\+"},   {"$", "\\$"}, {"^", "\\^"}, {"{id}", "[0-9]+"}, {"{c}", ".+"}};
  std::string pattern(marker);
  for (const auto& [find, with] : kSteps) pattern = Replace(pattern, find, with);
  return pattern;
}

std::string ArticleCollect_RegExpLastMatch(std::string_view text, std::string_view pattern) {
  RegExp re{std::string(pattern), true, true};
  std::string last;
  re.Scan(text, [&last](const RegexMatchRef& match) {
    last = std::string(match.Value());
    return true;
  });
  return last;
}

std::vector<std::string> ArticleCollect_RegExpLinks(std::string_view text, std::string_view pattern,
                                                    std::string_view base_url) {
  RegExp re{std::string(pattern), true, true};
  std::vector<std::string> links{""};
  re.Scan(text, [&](const RegexMatchRef& match) {
    std::string_view link =
        match.SubMatchCount() > 0 ? match.SubMatch(match.SubMatchCount() - 1) : match.Value();
    std::string absolute = ArticleCollect_JoinUrl(base_url, link);
    if (std::find(links.begin() + 1, links.end(), absolute) == links.end()) {
      links.push_back(std::move(absolute));
    }
    return true;
  });
  return links;
}

std::string ArticleCollect_JoinUrl(std::string_view base_url, std::string_view link) {
  size_t scheme = base_url.find("://");
  size_t search_from = scheme == std::string_view::npos ? 2 : scheme + 3;
  size_t host_end =
      search_from < base_url.size() ? base_url.find('/', search_from) : std::string_view::npos;
  std::string_view host = base_url.substr(0, host_end);
  if (link.starts_with("/")) return std::string(host) + std::string(link);
  if (link.find("://") != std::string_view::npos) return std::string(link);

  // Cuts before the last "/", never shorter than the host part.
  auto parent = [host](std::string_view path) {
    size_t slash = path.rfind('/');
    if (slash == std::string_view::npos || slash < host.size()) return host;
    return path.substr(0, slash);
  };
  std::string_view directory = parent(base_url);
  while (link.starts_with("../")) {
    link.remove_prefix(3);
    directory = parent(directory);
  }
  return std::string(directory) + "/" + std::string(link);
}

std::string ArticleCollect_RemoveBlocks(std::string_view start_marker, std::string_view end_marker,
                                        std::string text) {
  if (start_marker.empty() || end_marker.empty()) return text;
  for (;;) {
    size_t start = text.find(start_marker);
    size_t end = text.find(end_marker);
    if (start == std::string::npos || end == std::string::npos || end <= start) return text;
    text.erase(start, end + end_marker.size() - start);
  }
}

bool CutAfter(std::string& text, std::string_view marker) {
  size_t at = text.find(marker);
  if (at == std::string::npos) return false;
  text.erase(0, at + marker.size());
  return true;
}

bool CutBefore(std::string& text, std::string_view marker, std::string* before) {
  size_t at = text.find(marker);
  if (at == std::string::npos) return false;
  *before = text.substr(0, at);
  text.erase(0, at + marker.size());
  return true;
}

std::string CollectListPageUrl(std::string_view page_url, bool first_diff,
                               std::string_view first_file_name, std::string_view page) {
  if (page == "1" && first_diff) {
    size_t slash = page_url.rfind('/');
    std::string_view folder =
        slash == std::string_view::npos ? std::string_view() : page_url.substr(0, slash + 1);
    return std::string(folder) + std::string(first_file_name);
  }
  return Replace(page_url, "{page}", page);
}

}  // namespace folirex
