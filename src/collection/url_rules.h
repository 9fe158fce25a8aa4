// The small text rules every collection step shares: project markers turned into patterns, the
// last match of a pattern, the distinct links a pattern finds, links made absolute against the
// page they were found on, the cutting of a page at its markers, the removal of blocks between
// two markers, and the address of a project's list page.
//
// Markers are compared exactly (letter case counts) and found at their first occurrence; link
// patterns ignore case. Pure functions over UTF-8 text; any thread. The pattern functions throw
// RegexSyntaxError for a pattern the engine refuses (a "(" typed without its ")") and
// RegexLimitError when a match runs past the engine's limit.
#ifndef FOLIREX_COLLECTION_URL_RULES_H_
#define FOLIREX_COLLECTION_URL_RULES_H_

#include <string>
#include <string_view>
#include <vector>

namespace folirex {

// The marker as a pattern: the characters \ . [ ] ? * + $ ^ escaped, "{id}" as "[0-9]+" and
// "{c}" as ".+" (lower case only); "(", ")" and "|" keep their meaning.
std::string ArticleCollect_MarkerToRegex(std::string_view marker);

// The text of the last match of the pattern (ignoring case), or "" when there is none.
std::string ArticleCollect_RegExpLastMatch(std::string_view text, std::string_view pattern);

// The link list: element 0 is "", elements 1..n the distinct absolute links in the order first
// found. A match's link is its text, or the text of the pattern's last group when it has groups.
std::vector<std::string> ArticleCollect_RegExpLinks(std::string_view text, std::string_view pattern,
                                                    std::string_view base_url);

// The link made absolute against the base address: "/x" goes under the base's scheme and host,
// a link holding "://" stays as it is, anything else replaces the base's last path segment,
// each leading "../" climbing one folder more, never above the host.
std::string ArticleCollect_JoinUrl(std::string_view base_url, std::string_view link);

// The text without the blocks that run from the first start marker to the first end marker,
// repeated while both are found with the end after the start.
std::string ArticleCollect_RemoveBlocks(std::string_view start_marker, std::string_view end_marker,
                                        std::string text);

// Cuts `text` at the first occurrence of `marker`: false when it is not there (text unchanged).
// CutAfter keeps what follows the marker; CutBefore gives what precedes it in *before and keeps
// what follows it in `text`. An empty marker is found at the start.
bool CutAfter(std::string& text, std::string_view marker);
bool CutBefore(std::string& text, std::string_view marker, std::string* before);

// The address of list page `page` of a project: for page 1 of a project whose first page has a
// name of its own, page_url up to its last "/" followed by that name; otherwise page_url with
// every "{page}" replaced by the page number.
std::string CollectListPageUrl(std::string_view page_url, bool first_diff,
                               std::string_view first_file_name, std::string_view page);

}  // namespace folirex

#endif  // FOLIREX_COLLECTION_URL_RULES_H_
