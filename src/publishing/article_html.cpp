#include "publishing/article_html.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/messages.h"
#include "core/site_config.h"
#include "core/site_files.h"
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

bool SiteFileExists(const HostObjects& host, const std::string& path) {
  try {
    return fs::FileExists(host.Server->MapPath(path));
  } catch (const HostError&) {
    return false;
  }
}

}  // namespace

bool WriteArticleHtml(RequestState& state, const Variant& article_id) {
  if (!interaction::IsId(article_id)) AlertBack(state, "提示：文章id错误");
  const std::string id = article_id.ToString();

  const std::string sql =
      "select a.d_classid, a.d_subjectid, a.d_addtime, a.d_templatepageid, b.d_dir from (select "
      "d_id, d_classid, d_subjectid, d_addtime, d_templatepageid from Vantrel_Article where d_id=" +
      id + ") a left outer join Vantrel_ArticleClass b on a.d_classid = b.d_id";
  Variant class_id;
  Variant subject_id;
  Variant add_time;
  Variant template_page_id;
  std::string class_dir;
  {
    Recordset rs;
    rs.Open(sql, *state.db.Conn, 0, 1);
    if (rs.Eof()) {
      rs.Close();
      AlertBack(state, "提示：文章id错误");
    }
    class_id = rs["d_classid"];
    subject_id = rs["d_subjectid"];
    add_time = rs["d_addtime"];
    template_page_id = rs["d_templatepageid"];
    class_dir = rs["d_dir"].ToString();
    rs.Close();
  }

  std::string page;
  PageSkin skin;
  const std::string own_page = template_page_id.ToString();
  if (own_page.empty() || own_page == "0") {
    page = LoadTemplatePage(state.db, state.caches, state.channel.ChannelTemplateID, "content");
    skin = GetPageSkin(state, state.channel.ChannelTemplateID, "", "content");
  } else {
    page = LoadTemplatePageById(state.db, state.caches, template_page_id);
    skin = GetPageSkin(state, "", template_page_id, "content");
  }

  // The content pages are those of this article only: a template that never loads the article
  // has none.
  const ParsedPage parsed =
      ParseTemplatePage(state, state.channel, skin, page, "content", state.channel.GenerateHtml,
                        article_id, class_id, subject_id, "", "", "", "", "", "", "");
  const std::string& html = parsed.html;
  const std::string& page_nav = parsed.article_pages;

  const std::string folder_part = class_dir.empty() ? "" : class_dir + "/";
  const ChannelFolder channel =
      GetChannelFolder(state.host, state.db, state.caches, state.channel.ChannelID);
  const std::string link_folder = channel.path + folder_part;
  const std::string file_folder = channel.dir + folder_part;
  bool ok = CreateFolderPath(state.host, std::string_view(link_folder));
  const std::string name =
      GetContentFileName(channel.dir, article_id, add_time, state.channel.ContentFileType,
                         state.channel.ContentFileExt);
  int64_t page_count = 0;
  if (name.empty()) {
    ok = false;  // a file-naming code the channel does not know: no file to write
  } else if (page_nav.find(kPageSeparator) == std::string::npos) {
    page_count = 1;
    ok = WriteTextFile(state.host, file_folder + name, html) && ok;
  } else {
    std::vector<std::string> parts = Split(page_nav, kPageSeparator);
    page_count = static_cast<int64_t>(parts.size()) - 1;  // the part after the last one is empty
    std::string bar;
    for (int64_t n = 1; n <= page_count; ++n) {
      bar +=
          "[<a href='" + link_folder + PageFileName(name, n) + "'>" + std::to_string(n) + "</a>]";
    }
    for (int64_t n = 1; n <= page_count; ++n) {
      std::string text =
          Replace(html, kPagePlaceholder, parts[n - 1] + "<p align=right>" + bar + "</p>");
      ok = WriteTextFile(state.host, file_folder + PageFileName(name, n), text) && ok;
    }
  }

  // Pages beyond the last one belong to a longer, earlier version of the article: a reader who
  // kept a link to one would read text the article no longer has.
  if (page_count > 0) {
    for (int64_t n = std::max<int64_t>(page_count + 1, 2);; ++n) {
      std::string stale = file_folder + PageFileName(name, n);
      if (!SiteFileExists(state.host, stale)) break;
      ok = DeleteFile(state.host, stale) && ok;
    }
  }

  return ok;
}

bool CreateArticleHtml(RequestState& state, const Variant& article_id) {
  const bool ok = WriteArticleHtml(state, article_id);
  // The flag tells the generation pages whether the article's files are up to date, so it is
  // only set when every file was written.
  state.db.Conn->Execute(std::string("update Vantrel_Article set d_generatedflag = ") +
                         (ok ? "true" : "false") + " where d_id = " + article_id.ToString());
  return ok;
}

}  // namespace folirex
