#include "site/article_loader.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "core/reads_ahead.h"
#include "core/regex_helpers.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

constexpr size_t kSummaryLength = 130;
// A summary is made from the first kSummaryWindow bytes of a body when they give it; the last
// kSummaryCutMargin characters of a cut body's text may differ from the whole body's.
constexpr size_t kSummaryWindow = 8192;
constexpr size_t kSummaryCutMargin = 8;
constexpr size_t kMaxEntityLength = 32;

bool IsAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool OpensTag(std::string_view text, size_t at) {
  if (at + 1 >= text.size()) return false;
  char next = text[at + 1];
  return (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z') || next == '/' ||
         next == '!' || next == '?';
}

// The byte offset of the ";" that ends an entity ("&amp;", "&#8212;", "&#x4e2d;") starting at
// `at`, or npos when the "&" begins none.
size_t EntityEnd(std::string_view text, size_t at) {
  size_t i = at + 1;
  if (i < text.size() && text[i] == '#') ++i;
  size_t first = i;
  while (i < text.size() && i - at <= kMaxEntityLength && IsAsciiAlnum(text[i])) ++i;
  if (i == first || i >= text.size() || text[i] != ';') return std::string_view::npos;
  return i;
}

// Walks a text a character at a time, knowing whether a cut in front of the character leaves
// every tag (quoted attribute values included) and every entity whole. It may start at any place
// where such a cut is safe: nothing of the text before that place matters after it.
class CutScanner {
 public:
  CutScanner(std::string_view text, size_t from) : text_(text), at_(from) {}

  bool AtEnd() const { return at_ >= text_.size(); }
  // The byte offset of the character it stands in front of.
  size_t offset() const { return at_; }
  // A page may end in front of this character.
  bool Safe() const { return in_ == In::kText; }
  // Goes past the character and any byte that continues it.
  void Next() {
    do {
      Step();
      ++at_;
    } while (at_ < text_.size() && (static_cast<unsigned char>(text_[at_]) & 0xC0) == 0x80);
  }

 private:
  void Step() {
    const char c = text_[at_];
    switch (in_) {
      case In::kText:
        if (c == '<' && OpensTag(text_, at_)) {
          in_ = In::kTag;
          quote_ = 0;
          last_in_tag_ = '<';
        } else if (c == '&') {
          const size_t end = EntityEnd(text_, at_);
          if (end != std::string_view::npos) {
            in_ = In::kEntity;
            entity_end_ = end;
          }
        }
        break;
      case In::kTag:
        if (quote_ != 0) {
          if (c == quote_) quote_ = 0;
        } else if ((c == '"' || c == '\'') && last_in_tag_ == '=') {
          // Only a value's quote opens a quoted run, so an apostrophe in an unquoted value or in
          // a comment cannot hide the end of the tag.
          quote_ = c;
        } else if (c == '>') {
          in_ = In::kText;
        }
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') last_in_tag_ = c;
        break;
      case In::kEntity:
        if (at_ == entity_end_) in_ = In::kText;
        break;
    }
  }

  enum class In { kText, kTag, kEntity };
  std::string_view text_;
  size_t at_;
  In in_ = In::kText;
  char quote_ = 0;
  char last_in_tag_ = 0;  // the last non-blank character of the tag so far
  size_t entity_end_ = 0;
};

}  // namespace

std::vector<std::string_view> CutContentPages(std::string_view text, size_t size) {
  std::vector<std::string_view> pages;
  // Each page is read from its start, which is a safe cut, to its own end, and a little past it:
  // the text is read about twice, and nothing is kept for every character.
  size_t start = 0;
  while (start < text.size() && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) ++start;
  while (start < text.size()) {
    CutScanner scan(text, start);
    size_t last_safe = std::string_view::npos;  // the last safe cut within `size` characters
    for (size_t chars = 0; chars < size && !scan.AtEnd(); ++chars) {
      scan.Next();
      if (!scan.AtEnd() && scan.Safe()) last_safe = scan.offset();
    }
    size_t cut = text.size();
    if (!scan.AtEnd()) {
      if (last_safe != std::string_view::npos) {
        cut = last_safe;
      } else {
        while (!scan.AtEnd() && !scan.Safe()) scan.Next();
        cut = scan.offset();
      }
    }
    pages.push_back(text.substr(start, cut - start));
    start = cut;
  }
  return pages;
}

namespace {

std::vector<std::string_view> SplitAtMarker(std::string_view text, std::string_view marker) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  while (true) {
    size_t found = text.find(marker, start);
    if (found == std::string_view::npos) break;
    pieces.push_back(text.substr(start, found - start));
    start = found + marker.size();
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

// The summary's text of a body whose page breaks are taken out: the whole of it, trimmed, before
// it is cut to length.
std::string SummaryText(std::string_view body) {
  std::string text = RegexReplace(body, "<.+?>", "");
  text = RegexReplace(text, "\\s", " ");
  text = RegexReplace(text, "&quot;|&nbsp;|&amp;", "");
  text = RegexReplace(text, " {2,}", " ");
  text = RegexReplace(text, "['\"<>]", "");
  return Trim(text);
}

// The largest cut of the text at most `end`, at a character boundary, that no match of "<.+?>"
// in the whole text crosses: the match tried at each "<" before the cut is settled by a ">" after
// its next character or by a line feed ("." takes none) before the cut. When the last "<" is
// settled so is every earlier one, whose match ends at that ">" or line feed at the latest.
size_t TagSafeCut(std::string_view text, size_t end) {
  while (end > 0 && end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
    --end;
  }
  while (end > 0) {
    const size_t open = text.rfind('<', end - 1);
    if (open == std::string_view::npos) return end;
    for (size_t i = open + 1; i < end; ++i) {
      if (text[i] == '\n' || (text[i] == '>' && i >= open + 2)) return end;
    }
    end = open;
  }
  return 0;
}

}  // namespace

std::string ArticleSummary(std::string_view content) {
  // A long body's summary is made from its start: a cut that no page break or tag crosses gives
  // the text of the whole body but for its last few characters (an entity or a run of spaces cut
  // in two), so once the cut's text is longer than the summary by those, the summary is the
  // whole body's. Else a cut four times as long is tried.
  for (size_t window = kSummaryWindow; window < content.size(); window *= 4) {
    const std::string start = Replace(content.substr(0, window), kManualPageBreak, "");
    // A page break that the window cuts in two is not taken out of the window's end.
    const size_t marker_tail = std::string_view(kManualPageBreak).size() - 1;
    if (start.size() <= marker_tail) continue;
    const size_t cut = TagSafeCut(start, start.size() - marker_tail);
    if (cut == 0) continue;
    const std::string text = SummaryText(std::string_view(start).substr(0, cut));
    if (Len(text) >= kSummaryLength + kSummaryCutMargin) return Left(text, kSummaryLength);
  }
  // A manual page break is an editing mark, not text of the article.
  return Left(SummaryText(Replace(content, kManualPageBreak, "")), kSummaryLength);
}

namespace {

std::string PropertyMarks(const Recordset& rs) {
  std::string marks;
  if (rs["d_topflag"].ToBoolOr(false)) marks += "<font color=blue>顶</font> ";
  if (rs["d_hotflag"].ToBoolOr(false)) marks += "<font color=red> 热</font>";
  if (rs["d_recommendflag"].ToBoolOr(false)) marks += "<font color=green> 荐</font> ";
  int64_t stars = rs["d_stars"].ToInt64Or(0);
  if (stars >= 1 && stars <= 5) {
    for (int64_t i = 0; i < stars; ++i) marks += "★";
  }
  return marks;
}

std::string OrUnknown(std::string text) { return text.empty() ? "未知" : text; }

// The text of a value without a copy when it holds text; else its text, kept in `scratch`.
std::string_view TextOf(const Variant& value, std::string& scratch) {
  if (const auto* text = std::get_if<std::string>(&value.raw())) return *text;
  scratch = value.ToString();
  return scratch;
}

// Slot 16 and the content pages by the article's paging type, from the stored body in slot 7.
// Pages exist only for channels that publish static pages; an article of one page is not paged.
void PageContent(const ChannelSettings& channel, const Recordset& rs, LoadedArticle& article) {
  ArticleValues& values = article.values;
  std::string scratch;
  const std::string_view content = TextOf(values[kArticleRawContent], scratch);
  std::string type = rs["d_paginationtype"].ToString();
  // The stored body is the content value, kept once (LoadedArticle::operator[]).
  article.content_as_stored = true;
  if (channel.GenerateHtml.ToString() == "0") {
    // One page after all: the editor's page breaks are not text for the reader.
    if (type == "2" && content.find(kManualPageBreak) != std::string_view::npos) {
      values[kArticleContent] = Replace(content, kManualPageBreak, "");
      article.content_as_stored = false;
    }
    return;
  }
  std::vector<std::string_view> pages;
  if (type == "1") {
    int64_t size = rs["d_maxcharperpage"].ToInt64Or(0);
    if (size < 1 || Len(content) <= static_cast<size_t>(size)) return;
    pages = CutContentPages(content, static_cast<size_t>(size));
    if (pages.size() < 2) return;
  } else if (type == "2") {
    if (content.find(kManualPageBreak) == std::string::npos) return;
    pages = SplitAtMarker(content, kManualPageBreak);
  } else {
    return;
  }
  values[kArticleContent] = kPagePlaceholder;
  article.content_as_stored = false;
  for (std::string_view page : pages) {
    article.page_spans.push_back({static_cast<size_t>(page.data() - content.data()), page.size()});
  }
  // The pages are places in the stored body's text.
  if (!scratch.empty()) values[kArticleRawContent] = std::move(scratch);
}

}  // namespace

std::string_view LoadedArticle::Page(size_t i) const {
  const auto& body = std::get<std::string>(values[kArticleRawContent].raw());
  return std::string_view(body).substr(page_spans[i].start, page_spans[i].size);
}

std::string LoadedArticle::JoinedPages() const {
  std::string joined;
  for (size_t i = 0; i < page_spans.size(); ++i) {
    joined.append(Page(i));
    joined.append(kPageSeparator);
  }
  return joined;
}

void ChargeLongArticle(RequestState& state, const LoadedArticle& article) {
  constexpr size_t kLongBody = 64 * 1024;
  const auto* body = std::get_if<std::string>(&article.values[kArticleRawContent].raw());
  if (state.host.Response != nullptr && body != nullptr && body->size() >= kLongBody) {
    state.host.Response->Reserve(2 * body->size());
  }
}

BoundSql ArticleSelect(int64_t article_id) {
  // The id is bound, so that every article page runs the same statement text.
  return {
      "select a.*, b.d_dir, b.d_name, b.d_commentflag, b.d_commentcheckflag from (select * "
      "from Vantrel_Article where d_id = ?) a left outer join (select d_id,d_dir, d_name, "
      "d_commentflag, d_commentcheckflag from Vantrel_ArticleClass) b on a.d_classid=b.d_id",
      {Variant(static_cast<long long>(article_id))}};
}

std::optional<LoadedArticle> LoadArticle(DatabaseState& db, const ChannelSettings& channel,
                                         std::optional<int64_t> article_id,
                                         RequestCaches* read_ahead) {
  // An id of more than 18 digits names no article.
  if (!article_id || *article_id > 999'999'999'999'999'999) return std::nullopt;
  const BoundSql select = ArticleSelect(*article_id);
  Recordset rs;
  if (read_ahead != nullptr) {
    OpenReadAhead(*read_ahead, *db.Conn, rs, select.sql, select.params);
  } else {
    rs.Open(select.sql, select.params, *db.Conn, 0, 1);
  }
  if (rs.Eof()) {
    rs.Close();
    return std::nullopt;
  }
  LoadedArticle article;
  ArticleValues& values = article.values;
  values[kArticleTitle] = rs["d_title"];
  values[kArticleSubtitle] = rs["d_subtitle"];
  values[kArticleLongTitle] = rs["d_longtitle"].IsBlank() ? rs["d_title"] : rs["d_longtitle"];
  values[kArticleClassId] = rs["d_classid"].ToString();
  values[kArticleClassDir] = rs["d_dir"].IsNull() ? Variant("") : rs["d_dir"];
  values[kArticleAuthor] = OrUnknown(HTMLEncode(rs["d_author"]));
  values[kArticleAddTime] = rs["d_addtime"];
  // The body is read once: moved out of the row, not copied.
  values[kArticleRawContent] = rs.TakeField("d_content");
  values[kArticleInputer] = HTMLEncode(rs["d_inputer"]);
  values[kArticleEditor] = HTMLEncode(rs["d_editor"]);
  values[kArticleComeFrom] = OrUnknown(HTMLEncode(rs["d_comefrom"]));
  values[kArticleLinkUrl] = rs["d_linkurl"];
  values[kArticleClicks] = rs["d_clicktimes"];
  values[kArticleKeyword] = rs["d_keyword"];
  values[kArticleProperty] = PropertyMarks(rs);
  values[kArticleTemplatePage] = rs["d_templatepageid"];
  PageContent(channel, rs, article);
  // An article without a class row takes comments, and they wait for approval.
  values[kArticleCommentFlag] = rs["d_commentflag"].IsNull() ? Variant(true) : rs["d_commentflag"];
  values[kArticleCommentCheckFlag] =
      rs["d_commentcheckflag"].IsNull() ? Variant(true) : rs["d_commentcheckflag"];
  // A typed summary is text; one made from the content holds no tag, quote or angle bracket.
  std::string scratch;
  values[kArticleSummary] =
      rs["d_summary"].IsBlank()
          ? Variant(ArticleSummary(TextOf(values[kArticleRawContent], scratch)))
          : Variant(HtmlEscapeAttr(rs["d_summary"].ToString()));
  values[kArticleMetaRelative] = rs["d_metarelativeflag"];
  values[kArticleMetaKeyword] = rs["d_metakeyword"];
  values[kArticleRelativeFlag] = rs["d_relativeflag"];
  values[kArticleSubjectId] = rs["d_subjectid"].ToString();
  values[kArticlePublished] =
      Variant(!rs["d_deleted"].ToBoolOr(false) && rs["d_checked"].ToBoolOr(false));
  rs.Close();
  return article;
}

std::string GetContentFileName(const Variant& channel_dir, const Variant& article_id,
                               const Variant& add_time, const Variant& file_type,
                               const Variant& extension) {
  std::string prefix = channel_dir.ToString();
  if (!prefix.empty() && prefix.back() == '/') prefix.pop_back();
  if (!prefix.empty()) prefix += "_";
  std::string type = file_type.ToString();
  std::string ext = extension.ToString();
  if (type == "0") return article_id.ToString() + ext;
  if (type == "1") return FormatDate(add_time, 10) + ext;
  if (type == "2") return prefix + article_id.ToString() + ext;
  if (type == "3") return prefix + FormatDate(add_time, 10) + ext;
  return "";
}

}  // namespace folirex
