#include "site/public_pages.h"

#include <optional>
#include <string>

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

// The engine with the arguments a page type does not use left empty.
struct PageArgs {
  Variant article_id = "";
  Variant class_id = "";
  Variant subject_id = "";
  Variant page_size = "";
  Variant search_type = "";
  Variant search_class = "";
  Variant search_keyword = "";
  Variant search_order = "";
  Variant notice_id = "";
};

// The skin of a template page, linked under the folder of `channel` (the install folder on the
// home page).
PageSkin SkinOf(RequestState& state, const ChannelSettings& channel, const Variant& template_id,
                const Variant& template_page_id, const Variant& page_type) {
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

ParsedPage RenderPage(RequestState& state, const ChannelSettings& channel, const PageSkin& skin,
                      std::string& template_text, const char* page_type, const PageArgs& a) {
  return ParseTemplatePage(state, channel, skin, template_text, page_type, channel.GenerateHtml,
                           a.article_id, a.class_id, a.subject_id, "", a.page_size, a.search_type,
                           a.search_class, a.search_keyword, a.search_order, a.notice_id);
}

std::string Render(RequestState& state, const ChannelSettings& channel, const PageSkin& skin,
                   std::string& template_text, const char* page_type, const PageArgs& a) {
  return RenderPage(state, channel, skin, template_text, page_type, a).html;
}

// The channel's template page of the type, with its skin; then the engine.
ParsedPage ChannelParsedPage(RequestState& state, const char* page_type, const PageArgs& args) {
  std::string text =
      LoadTemplatePage(state.db, state.caches, state.channel.ChannelTemplateID, page_type);
  if (!TemplatePageFound(state.db, state.caches, state.channel.ChannelTemplateID, "", page_type)) {
    return ParsedPage{kMissingTemplate, ""};
  }
  const PageSkin skin = GetPageSkin(state, state.channel.ChannelTemplateID, "", page_type);
  return RenderPage(state, state.channel, skin, text, page_type, args);
}

std::string ChannelPage(RequestState& state, const char* page_type, const PageArgs& args) {
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
  *skin = SkinOf(state, channel, set, page, page_type);
  if (!TemplatePageFound(state.db, state.caches, set, page, page_type)) return std::nullopt;
  return text;
}

bool IsPublished(const Recordset& rs) {
  return !rs["d_deleted"].ToBoolOr(false) && rs["d_checked"].ToBoolOr(false);
}

bool IsPublishedRow(RequestState& state, int64_t article_id) {
  Recordset rs;
  rs.Open(
      "select d_deleted, d_checked from Vantrel_Article where d_id = " + std::to_string(article_id),
      *state.db.Conn, 0, 1);
  bool published = !rs.Eof() && IsPublished(rs);
  rs.Close();
  return published;
}

// A paged article's placeholder replaced by all its content pages, one after the other, as the
// dynamic pages show them.
std::string WithContentPages(const ParsedPage& page) {
  if (page.article_pages.empty()) return page.html;
  return Replace(page.html, kPagePlaceholder, Replace(page.article_pages, kPageSeparator, ""));
}

// A class's or subject's page size: 20 when it is empty or not above 0.
Variant PageSize(const Variant& stored) {
  if (stored.IsBlank() || stored.ToDoubleOr(0) <= 0) return kDefaultPageSize;
  return stored;
}

}  // namespace

bool IsPublishedArticle(RequestState& state, const Variant& article_id) {
  std::optional<int64_t> id = ParseId(article_id.ToString());
  return id && IsPublishedRow(state, *id);
}

std::string ShowDefault(RequestState& state) {
  std::string text = LoadTemplatePageById(state.db, state.caches, state.site.DefaultTemplatePageID);
  if (!TemplatePageFound(state.db, state.caches, "", state.site.DefaultTemplatePageID, "default")) {
    return kMissingTemplate;
  }
  const PageSkin skin = GetPageSkin(state, "", state.site.DefaultTemplatePageID, "default");
  state.host.Response->Write(Render(state, state.channel, skin, text, "default", PageArgs{}));
  return "";
}

std::string ShowArticlePage(RequestState& state, const char* page_type, const Variant& article_id) {
  PageArgs args;
  args.article_id = article_id;
  return ChannelPage(state, page_type, args);
}

std::string ShowFirst(RequestState& state) { return ChannelPage(state, "first", PageArgs{}); }

std::string ShowSearch(RequestState& state, std::string_view search_type,
                       std::optional<int64_t> search_class, std::string_view search_keyword,
                       std::optional<int64_t> search_order) {
  PageArgs args;
  args.search_type = search_type;
  args.search_class = IdText(search_class);
  args.search_keyword = search_keyword;
  args.search_order = IdText(search_order);
  return ChannelPage(state, "search", args);
}

std::string ShowPrint(RequestState& state, std::optional<int64_t> article_id) {
  // An article that is missing or not on the site gets the content page's alert: an empty page
  // would leave the visitor in front of a blank window with no word of what went wrong.
  if (!article_id || !IsPublishedRow(state, *article_id)) return kBadArticle;
  PageArgs args;
  args.article_id = IdText(article_id);
  // A paged article prints whole, not as its placeholder.
  return WithContentPages(ChannelParsedPage(state, "print", args));
}

std::string ShowNotice(RequestState& state, std::optional<int64_t> notice_id) {
  PageArgs args;
  args.notice_id = IdText(notice_id);
  return ChannelPage(state, "notice", args);
}

std::string ShowUserList(RequestState& state) { return ""; }

std::string ShowContent(RequestState& state, std::optional<int64_t> article_id) {
  if (!article_id) return kBadArticle;
  Recordset& rs = *state.db.Rs;
  rs.Open(
      "select d_classid, d_subjectid, d_templatepageid, d_deleted, d_checked from "
      "Vantrel_Article where d_id = " +
          IdText(article_id),
      *state.db.Conn, 0, 1);
  // An article in the recycle bin or waiting for approval is not on the site.
  if (rs.Eof() || !IsPublished(rs)) {
    rs.Close();
    return kBadArticle;
  }
  PageArgs args;
  args.article_id = IdText(article_id);
  args.class_id = rs["d_classid"];
  args.subject_id = rs["d_subjectid"];
  Variant template_page_id = rs["d_templatepageid"];
  rs.Close();

  PageSkin skin;
  std::optional<std::string> text =
      PageTextFor(state, state.channel, template_page_id, "content", &skin);
  if (!text) return kMissingTemplate;
  // Only this article's pages may stand in for its placeholder.
  return WithContentPages(RenderPage(state, state.channel, skin, *text, "content", args));
}

std::string ShowClassList(RequestState& state, std::optional<int64_t> class_id,
                          std::string_view template_text) {
  return ShowClassList(state, state.channel, class_id, template_text);
}

std::string ShowClassList(RequestState& state, const ChannelSettings& channel,
                          std::optional<int64_t> class_id, std::string_view template_text) {
  if (!class_id) return kBadClass;
  Recordset& rs = *state.db.Rs;
  rs.Open("select d_pagenum, d_templatepageid from Vantrel_ArticleClass where d_id = " +
              IdText(class_id),
          *state.db.Conn, 0, 1);
  if (rs.Eof()) {
    rs.Close();
    return kBadClass;
  }
  PageArgs args;
  args.class_id = IdText(class_id);
  args.page_size = PageSize(rs["d_pagenum"]);
  Variant template_page_id = rs["d_templatepageid"];
  rs.Close();

  PageSkin skin;
  std::optional<std::string> text =
      PageTextFor(state, channel, template_page_id, "classlist", &skin);
  // A block body stands in for the class's template page.
  if (!template_text.empty()) text = std::string(template_text);
  if (!text) return kMissingTemplate;
  return Render(state, channel, skin, *text, "classlist", args);
}

std::string ShowSubjectList(RequestState& state, std::optional<int64_t> subject_id) {
  if (!subject_id) return kBadSubject;
  Recordset& rs = *state.db.Rs;
  rs.Open("select d_pagenum, d_templatepageid from Vantrel_ArticleSubject where d_id = " +
              IdText(subject_id),
          *state.db.Conn, 0, 1);
  if (rs.Eof()) {
    rs.Close();
    return kBadSubject;
  }
  PageArgs args;
  args.subject_id = IdText(subject_id);
  args.page_size = PageSize(rs["d_pagenum"]);
  Variant template_page_id = rs["d_templatepageid"];
  rs.Close();

  PageSkin skin;
  std::optional<std::string> text =
      PageTextFor(state, state.channel, template_page_id, "subjectlist", &skin);
  if (!text) return kMissingTemplate;
  return Render(state, state.channel, skin, *text, "subjectlist", args);
}

std::string ShowHotList(RequestState& state) {
  PageArgs args;
  args.page_size = kHotListPageSize;
  return ChannelPage(state, "hotlist", args);
}

std::string ShowRecommendList(RequestState& state) {
  PageArgs args;
  args.page_size = kHotListPageSize;
  return ChannelPage(state, "recommendlist", args);
}

std::string ShowNewList(RequestState& state) {
  PageArgs args;
  args.page_size = kHotListPageSize;
  return ChannelPage(state, "newlist", args);
}

PageSkin GetPageSkin(RequestState& state, const Variant& template_id,
                     const Variant& template_page_id, const Variant& page_type) {
  return SkinOf(state, state.channel, template_id, template_page_id, page_type);
}

std::string GetSkinCssLink(RequestState& state, const Variant& template_id,
                           const Variant& template_page_id, const Variant& page_type) {
  return GetPageSkin(state, template_id, template_page_id, page_type).css_link;
}

}  // namespace folirex
