#include "publishing/article_html.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/messages.h"
#include "core/public_request.h"
#include "core/site_config.h"
#include "core/site_files.h"
#include "platform/db/db_error.h"
#include "platform/db/recordset.h"
#include "platform/fs/file_system.h"
#include "platform/text/vb_text.h"
#include "site/article_loader.h"
#include "site/interaction_text.h"
#include "site/public_pages.h"
#include "site/template_engine.h"
#include "site/template_lookup.h"

namespace folirex {

namespace {

// The file name of content page n: "_n" before every "." of the first page's name.
std::string PageFileName(const std::string& first_name, int64_t n) {
  if (n <= 1) return first_name;
  return Replace(first_name, ".", "_" + std::to_string(n) + ".");
}

}  // namespace

ArticlePageRow ReadArticlePageRow(const Recordset& rs) {
  return ArticlePageRowOf({rs["d_id"], rs["d_classid"], rs["d_subjectid"], rs["d_addtime"],
                           rs["d_templatepageid"], rs["d_dir"]});
}

ArticlePageRow ArticlePageRowOf(std::vector<Variant> values) {
  if (values.size() != 6)
    throw DbError("the article page row has " + std::to_string(values.size()) + " columns, not 6");
  return ArticlePageRow{values[0].ToInt64(),           ParseId(values[1].ToString()),
                        ParseId(values[2].ToString()), std::move(values[3]),
                        std::move(values[4]),          values[5].ToString()};
}

bool WriteArticleHtml(RequestState& state, std::optional<int64_t> article_id) {
  if (!interaction::IsId(article_id)) AlertBack(state, "提示：文章id错误");
  std::optional<ArticlePageRow> row;
  {
    Recordset rs;
    rs.Open(std::string(kArticlePageColumns) + " where a.d_id = ?",
            {Variant(static_cast<long long>(*article_id))}, *state.db.Conn, 0, 1);
    if (!rs.Eof()) row = ReadArticlePageRow(rs);
  }
  if (!row) AlertBack(state, "提示：文章id错误");
  return WriteArticleHtml(state, *row);
}

namespace {

// The article's content page drawn from its own template page or else the channel's.
ParsedPage RenderArticlePage(RequestState& state, const ArticlePageRow& row,
                             PageValueCache* shared) {
  const ChannelSettings& channel = state.channel;
  std::string page;
  PageSkin skin;
  const std::string own_page = row.template_page_id.ToString();
  if (own_page.empty() || own_page == "0") {
    page = LoadTemplatePage(state.db, state.caches, channel.ChannelTemplateID, "content");
    skin = GetPageSkin(state, channel, channel.ChannelTemplateID, "", "content");
  } else {
    page = LoadTemplatePageById(state.db, state.caches, row.template_page_id);
    skin = GetPageSkin(state, channel, "", row.template_page_id, "content");
  }
  // The content pages are those of this article only: a template that never loads the article
  // has none.
  return ParseTemplatePage(state, channel, skin, page,
                           {.page_type = "content",
                            .generate_html = channel.GenerateHtml.ToString(),
                            .article_id = row.id,
                            .class_id = row.class_id,
                            .subject_id = row.subject_id},
                           shared);
}

// Writes the page's files under file_folder: one file, or one a content page with the bar of
// links to them all (under link_folder). The number of pages written (0 when none was tried);
// *ok turns false on a failed write.
int64_t WriteContentPages(SiteFolder& files, const ParsedPage& parsed,
                          const std::string& link_folder, const std::string& name, bool* ok) {
  if (parsed.article_pages.find(kPageSeparator) == std::string::npos) {
    *ok = files.WriteText(name, parsed.html) && *ok;
    return 1;
  }
  std::vector<std::string> parts = Split(parsed.article_pages, kPageSeparator);
  const int64_t page_count = static_cast<int64_t>(parts.size()) - 1;  // the last part is empty
  std::string bar;
  for (int64_t n = 1; n <= page_count; ++n) {
    bar += "[<a href='" + link_folder + PageFileName(name, n) + "'>" + std::to_string(n) + "</a>]";
  }
  for (int64_t n = 1; n <= page_count; ++n) {
    std::string text =
        Replace(parsed.html, kPagePlaceholder, parts[n - 1] + "<p align=right>" + bar + "</p>");
    *ok = files.WriteText(PageFileName(name, n), text) && *ok;
  }
  return page_count;
}

// Pages beyond the last one belong to a longer, earlier version of the article: a reader who
// kept a link to one would read text the article no longer has. False when one stays.
bool DeleteStalePages(SiteFolder& files, const std::string& name, int64_t page_count) {
  bool ok = true;
  for (int64_t n = std::max<int64_t>(page_count + 1, 2);; ++n) {
    const std::string stale = PageFileName(name, n);
    if (!files.HoldsFile(stale)) break;
    ok = files.Delete(stale) && ok;
  }
  return ok;
}

}  // namespace

bool WriteArticleHtml(RequestState& state, const ArticlePageRow& row, ArticleBatch* batch) {
  const ParsedPage parsed =
      RenderArticlePage(state, row, batch == nullptr ? nullptr : &batch->shared);

  const std::string folder_part = row.class_dir.empty() ? "" : row.class_dir + "/";
  const ChannelFolder channel =
      GetChannelFolder(state.host, state.db, state.caches, state.channel.ChannelID);
  const std::string link_folder = channel.path + folder_part;
  const std::string file_folder = channel.dir + folder_part;
  bool ok = true;
  std::optional<SiteFolder> single;
  SiteFolder* files = nullptr;
  if (batch != nullptr) {
    auto made = batch->folders.find(link_folder);
    if (made != batch->folders.end()) files = &made->second;
  }
  if (files == nullptr) {
    ok = CreateFolderPath(state.host, std::string_view(link_folder));
    if (ok && batch != nullptr) {
      files = &batch->folders.try_emplace(link_folder, state.host, file_folder, true).first->second;
    } else {
      files = &single.emplace(state.host, file_folder, false);
    }
  }
  const std::string name =
      GetContentFileName(channel.dir, Variant(static_cast<long long>(row.id)), row.add_time,
                         state.channel.ContentFileType, state.channel.ContentFileExt);
  // A file-naming code the channel does not know: no file to write.
  if (name.empty()) return false;
  const int64_t page_count = WriteContentPages(*files, parsed, link_folder, name, &ok);
  return (page_count <= 0 || DeleteStalePages(*files, name, page_count)) && ok;
}

bool CreateArticleHtml(RequestState& state, std::optional<int64_t> article_id) {
  const bool ok = WriteArticleHtml(state, article_id);
  // The flag tells the generation pages whether the article's files are up to date, so it is
  // only set when every file was written.
  state.db.Conn->Execute(std::string("update Vantrel_Article set d_generatedflag = ") +
                             (ok ? "true" : "false") + " where d_id = ?",
                         {Variant(static_cast<long long>(*article_id))});
  return ok;
}

}  // namespace folirex
