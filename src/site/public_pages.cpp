#include "site/public_pages.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/public_request.h"
#include "core/site_config.h"
#include "platform/db/recordset.h"
#include "platform/text/vb_text.h"
#include "site/article_loader.h"
#include "site/template_engine.h"
#include "site/template_lookup.h"

namespace folirex {
namespace {

constexpr const char* kBadClass = "<script>alert('传入分类ID错误！');history.go(-1)</script>";
constexpr const char* kBadSubject = "<script>alert('传入专题id错误！');history.go(-1)</script>";
// The answer of a page whose template page is gone (its set maps no page of the type, or its
// own page id names none): a page that says so, where the template would give an empty one.
constexpr const char* kMissingTemplate =
    "<html><head><meta http-equiv='Content-Type' content='text/html; charset=gb2312'>"
    "<title>模板页不存在</title></head><body><p>提示：本页使用的模板页不存在，请管理员在后台为本"
    "频道重新选择模板方案或模板页！</p></body></html>";
constexpr int kHotListPageSize = 20;
constexpr int kDefaultPageSize = 20;

ParsedPage RenderPage(RequestState& state, const ChannelSettings& channel, const PageSkin& skin,
                      std::string& template_text, const char* page_type, TemplateArgs args) {
  args.page_type = page_type;
  args.generate_html = channel.GenerateHtml.ToString();
  return ParseTemplatePage(state, channel, skin, template_text, args);
}

std::string Render(RequestState& state, const ChannelSettings& channel, const PageSkin& skin,
                   std::string& template_text, const char* page_type, const TemplateArgs& args) {
  return RenderPage(state, channel, skin, template_text, page_type, args).html;
}

// The channel's template page of the type, with its skin; then the engine.
ParsedPage ChannelParsedPage(RequestState& state, const char* page_type, const TemplateArgs& args) {
  const ChannelSettings& channel = state.channel;
  std::string text = LoadTemplatePage(state.db, state.caches, channel.ChannelTemplateID, page_type);
  if (!TemplatePageFound(state.db, state.caches, channel.ChannelTemplateID, "", page_type)) {
    return ParsedPage{kMissingTemplate, ""};
  }
  const PageSkin skin = GetPageSkin(state, channel, channel.ChannelTemplateID, "", page_type);
  return RenderPage(state, channel, skin, text, page_type, args);
}

std::string ChannelPage(RequestState& state, const char* page_type, const TemplateArgs& args) {
  return ChannelParsedPage(state, page_type, args).html;
}

// An own template page (id not 0) or else the channel's page of the type: the text and the
// skin; none when the page is not there.
std::optional<std::string> PageTextFor(RequestState& state, const ChannelSettings& channel,
                                       const Variant& template_page_id, const char* page_type,
                                       PageSkin* skin) {
  const bool own = template_page_id.ToInt64Or(0) != 0;
  const Variant set = own ? Variant("") : channel.ChannelTemplateID;
  const Variant page = own ? template_page_id : Variant("");
  std::string text = own ? LoadTemplatePageById(state.db, state.caches, template_page_id)
                         : LoadTemplatePage(state.db, state.caches, set, page_type);
  *skin = GetPageSkin(state, channel, set, page, page_type);
  if (!TemplatePageFound(state.db, state.caches, set, page, page_type)) return std::nullopt;
  return text;
}

bool IsPublished(const Recordset& rs) {
  return !rs["d_deleted"].ToBoolOr(false) && rs["d_checked"].ToBoolOr(false);
}

bool IsPublishedRow(RequestState& state, int64_t article_id) {
  Recordset rs;
  rs.Open("select d_deleted, d_checked from Vantrel_Article where d_id = ?",
          {Variant(static_cast<long long>(article_id))}, *state.db.Conn, 0, 1);
  bool published = !rs.Eof() && IsPublished(rs);
  rs.Close();
  return published;
}

// Appends the text with every occurrence of `find` taken out, as Replace(text, find, "") gives it.
void AppendWithout(std::string& out, std::string_view text, std::string_view find) {
  size_t start = 0;
  for (size_t at; (at = text.find(find, start)) != std::string_view::npos;
       start = at + find.size()) {
    out.append(text.substr(start, at - start));
  }
  out.append(text.substr(start));
}

// A paged article's placeholder replaced by all its content pages, one after the other, as the
// dynamic pages show them: each page's text without any kPageSeparator typed into it. The page is
// written once, at its size: the body is not copied into a text of its own first.
std::string WithContentPages(std::string html, const std::vector<std::string_view>& pages) {
  if (pages.empty()) return html;
  const std::string_view placeholder = kPagePlaceholder;
  const std::string_view separator = kPageSeparator;
  size_t body = 0;
  for (std::string_view page : pages) {
    body += page.size();
    for (size_t at = 0; (at = page.find(separator, at)) != std::string_view::npos;
         at += separator.size()) {
      body -= separator.size();
    }
  }
  size_t size = html.size();
  for (size_t at = 0; (at = html.find(placeholder, at)) != std::string::npos;
       at += placeholder.size()) {
    size += body - placeholder.size();
  }
  std::string page;
  page.reserve(size);
  size_t start = 0;
  for (size_t at; (at = html.find(placeholder, start)) != std::string::npos;
       start = at + placeholder.size()) {
    page.append(html, start, at - start);
    for (std::string_view text : pages) AppendWithout(page, text, separator);
  }
  page.append(html, start);
  return page;
}

// The content pages of a page's joined pages (each followed by kPageSeparator), as the publishing
// pages cut them.
std::vector<std::string_view> SplitPages(std::string_view joined) {
  std::vector<std::string_view> pages;
  for (size_t start = 0, at; (at = joined.find(kPageSeparator, start)) != std::string_view::npos;
       start = at + std::string_view(kPageSeparator).size()) {
    pages.push_back(joined.substr(start, at - start));
  }
  return pages;
}

// A loaded article's content pages.
std::vector<std::string_view> PagesOf(const LoadedArticle& article) {
  std::vector<std::string_view> pages;
  for (size_t i = 0; i < article.page_spans.size(); ++i) pages.push_back(article.Page(i));
  return pages;
}

// A class's or subject's page size: 20 when it is empty or not above 0; a fraction rounds half to
// even, as the pager reads it.
int64_t PageSize(const Variant& stored) {
  const double size = stored.IsBlank() ? 0 : stored.ToDoubleOr(0);
  if (size <= 0) return kDefaultPageSize;
  if (size >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
    return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int64_t>(std::nearbyint(size));
}

// The class or subject row of a list page: its page size and own template page; none when the
// row is not there.
struct ListRow {
  int64_t page_size = 0;
  Variant template_page_id;
};

std::optional<ListRow> LoadListRow(RequestState& state, const char* table, int64_t id) {
  Recordset rs;
  rs.Open(db::KeptRead{.tables = {table},
                       .sql = "select d_pagenum, d_templatepageid from " + std::string(table) +
                              " where d_id = ?",
                       .values = {Variant(static_cast<long long>(id))}},
          *state.db.Conn);
  if (rs.Eof()) return std::nullopt;
  return ListRow{PageSize(rs["d_pagenum"]), rs["d_templatepageid"]};
}

}  // namespace

bool IsPublishedArticle(RequestState& state, std::optional<int64_t> article_id) {
  return article_id && IsPublishedRow(state, *article_id);
}

std::string ShowDefault(RequestState& state) {
  std::string text = LoadTemplatePageById(state.db, state.caches, state.site.DefaultTemplatePageID);
  if (!TemplatePageFound(state.db, state.caches, "", state.site.DefaultTemplatePageID, "default")) {
    return kMissingTemplate;
  }
  const PageSkin skin =
      GetPageSkin(state, state.channel, "", state.site.DefaultTemplatePageID, "default");
  state.host.Response->Write(Render(state, state.channel, skin, text, "default", {}));
  return "";
}

std::string ShowArticlePage(RequestState& state, const char* page_type,
                            std::optional<int64_t> article_id) {
  return ChannelPage(state, page_type, {.article_id = article_id});
}

std::string ShowFirst(RequestState& state) { return ChannelPage(state, "first", {}); }

std::string ShowSearch(RequestState& state, std::string_view search_type,
                       std::optional<int64_t> search_class, std::string_view search_keyword,
                       std::optional<int64_t> search_order) {
  return ChannelPage(state, "search",
                     {.search_type = std::string(search_type),
                      .search_class = search_class,
                      .search_keyword = std::string(search_keyword),
                      .search_order = search_order});
}

std::string ShowPrint(RequestState& state, std::optional<int64_t> article_id) {
  // An article that is missing or not on the site gets the content page's alert: an empty page
  // would leave the visitor in front of a blank window with no word of what went wrong.
  if (!article_id || !IsPublishedRow(state, *article_id)) return kBadArticle;
  // A paged article prints whole, not as its placeholder.
  ParsedPage page = ChannelParsedPage(state, "print", {.article_id = article_id});
  return WithContentPages(std::move(page.html), SplitPages(page.article_pages));
}

std::string ShowNotice(RequestState& state, std::optional<int64_t> notice_id) {
  return ChannelPage(state, "notice", {.notice_id = notice_id});
}

std::string ShowUserList(RequestState& state) { return ""; }

std::string ShowContent(RequestState& state, std::optional<int64_t> article_id) {
  if (!article_id) return kBadArticle;
  // The article is read once: its row decides the page and is the one the page shows.
  const std::optional<LoadedArticle> article =
      LoadArticle(state.db, state.channel, article_id, &state.caches);
  // An article in the recycle bin or waiting for approval is not on the site.
  if (!article || !(*article)[kArticlePublished].ToBoolOr(false)) return kBadArticle;
  ChargeLongArticle(state, *article);
  TemplateArgs args{.article_id = article_id, .article = &*article};
  args.class_id = ParseId((*article)[kArticleClassId].ToString());
  args.subject_id = ParseId((*article)[kArticleSubjectId].ToString());
  const Variant& template_page_id = (*article)[kArticleTemplatePage];

  PageSkin skin;
  std::optional<std::string> text =
      PageTextFor(state, state.channel, template_page_id, "content", &skin);
  if (!text) return kMissingTemplate;
  // Only this article's pages may stand in for its placeholder; the engine reads the article
  // where it is, and its pages are this one's.
  ParsedPage page = RenderPage(state, state.channel, skin, *text, "content", args);
  return WithContentPages(std::move(page.html), PagesOf(*article));
}

std::string ShowClassList(RequestState& state, std::optional<int64_t> class_id,
                          std::string_view template_text) {
  return ShowClassList(state, state.channel, class_id, template_text);
}

std::string ShowClassList(RequestState& state, const ChannelSettings& channel,
                          std::optional<int64_t> class_id, std::string_view template_text) {
  const std::optional<ListRow> row =
      class_id ? LoadListRow(state, "Vantrel_ArticleClass", *class_id) : std::nullopt;
  if (!row) return kBadClass;
  PageSkin skin;
  std::optional<std::string> text =
      PageTextFor(state, channel, row->template_page_id, "classlist", &skin);
  // A block body stands in for the class's template page.
  if (!template_text.empty()) text = std::string(template_text);
  if (!text) return kMissingTemplate;
  return Render(state, channel, skin, *text, "classlist",
                {.class_id = class_id, .page_size = row->page_size});
}

std::string ShowSubjectList(RequestState& state, std::optional<int64_t> subject_id) {
  const std::optional<ListRow> row =
      subject_id ? LoadListRow(state, "Vantrel_ArticleSubject", *subject_id) : std::nullopt;
  if (!row) return kBadSubject;
  PageSkin skin;
  std::optional<std::string> text =
      PageTextFor(state, state.channel, row->template_page_id, "subjectlist", &skin);
  if (!text) return kMissingTemplate;
  return Render(state, state.channel, skin, *text, "subjectlist",
                {.subject_id = subject_id, .page_size = row->page_size});
}

std::string ShowHotList(RequestState& state) {
  return ChannelPage(state, "hotlist", {.page_size = kHotListPageSize});
}

std::string ShowRecommendList(RequestState& state) {
  return ChannelPage(state, "recommendlist", {.page_size = kHotListPageSize});
}

std::string ShowNewList(RequestState& state) {
  return ChannelPage(state, "newlist", {.page_size = kHotListPageSize});
}

PageSkin GetPageSkin(RequestState& state, const ChannelSettings& channel,
                     const Variant& template_id, const Variant& template_page_id,
                     const Variant& page_type) {
  std::string type = page_type.ToString();
  std::string base = type == "default"
                         ? state.host.Application->Get("server_path").ToString()
                         : GetChannelPath(state.host, state.db, state.caches, channel.ChannelID);
  // The page's skin comes with the template page the page was rendered from, read once.
  const std::string skin_id =
      TemplatePageSkinId(state.db, state.caches, template_id, template_page_id, page_type)
          .ToString();
  return PageSkin{
      "<link href='" + base + "Skin/" + skin_id + ".css' rel='stylesheet' type='text/css'>",
      skin_id};
}

std::string GetSkinCssLink(RequestState& state, const ChannelSettings& channel,
                           const Variant& template_id, const Variant& template_page_id,
                           const Variant& page_type) {
  return GetPageSkin(state, channel, template_id, template_page_id, page_type).css_link;
}

}  // namespace folirex
