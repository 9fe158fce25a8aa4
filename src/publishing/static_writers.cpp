#include "publishing/static_writers.h"

#include <algorithm>
#include <string_view>

#include "core/channel_rows.h"
#include "core/folder_names.h"
#include "core/pagination.h"
#include "core/public_request.h"
#include "core/regex_helpers.h"
#include "core/site_files.h"
#include "platform/db/recordset.h"
#include "platform/host/host_text.h"
#include "platform/text/vb_text.h"
#include "publishing/js_snippet_writer.h"
#include "site/article_list_sql.h"
#include "site/public_pages.h"
#include "site/template_engine.h"
#include "site/template_lookup.h"

namespace folirex {
namespace {

constexpr int64_t kTopListPageSize = 20;  // the hot, recommended and newest lists' page size
constexpr int64_t kDefaultPageSize = 20;
// A ListArticleList chip of a template, its kind and parameters in the last group.
constexpr const char* kListChipPattern =
    "((<img[^>]+?TemplateChip=\"((?:ListArticleList):.+?)\"[^>]*>))";

// A class's or subject's page size as the dynamic list takes it: 20 when empty or not above 0.
int64_t StoredPageSize(const Variant& stored) {
  if (stored.IsBlank()) return kDefaultPageSize;
  const double size = stored.ToDoubleOr(0);
  if (size <= 0) return kDefaultPageSize;
  return std::min<int64_t>(static_cast<int64_t>(size), 32767);
}

// The hot, recommended and newest lists always use the channel's template set; a class or
// subject uses its own template page unless it names none (0).
bool UsesChannelSet(const ListTarget& target) {
  const bool own_row = target.kind == ListKind::kClass || target.kind == ListKind::kSubject;
  return !own_row || target.template_page_id.ToInt64Or(0) == 0;
}

// The list's template text and its skin, as the dynamic list page finds them.
std::string ListTemplate(RequestState& state, const ListTarget& target, PageSkin* skin) {
  const char* type = ListPageType(target.kind);
  if (UsesChannelSet(target)) {
    if (skin != nullptr) {
      *skin = GetPageSkin(state, state.channel, state.channel.ChannelTemplateID, "", type);
    }
    return LoadTemplatePage(state.db, state.caches, state.channel.ChannelTemplateID, type);
  }
  if (skin != nullptr) *skin = GetPageSkin(state, state.channel, "", target.template_page_id, type);
  return LoadTemplatePageById(state.db, state.caches, target.template_page_id);
}

// The page's class or subject: the target's id on a class or subject list.
std::optional<int64_t> ClassOf(const ListTarget& target) {
  return target.kind == ListKind::kClass ? target.id : std::nullopt;
}
std::optional<int64_t> SubjectOf(const ListTarget& target) {
  return target.kind == ListKind::kSubject ? target.id : std::nullopt;
}

// The channel's folder without its closing "/" ("" for a channel without folder).
std::string ChannelFolderOf(const ChannelSettings& channel) {
  const std::string& dir = channel.ChannelDir;
  return dir.empty() ? "" : dir.substr(0, dir.size() - 1);
}

std::string PageSuffix(int64_t n) { return n <= 1 ? "" : "_" + std::to_string(n); }

bool Write(RequestState& state, const std::string& path, const std::string& folder,
           const std::string& text) {
  if (path.empty()) return false;
  if (!folder.empty() && !CreateFolderPath(state.host, std::string_view(folder))) return false;
  return WriteTextFile(state.host, path, text);
}

void SetListFlag(RequestState& state, const ListTarget& target, bool generated) {
  const char* table =
      target.kind == ListKind::kClass ? "Vantrel_ArticleClass" : "Vantrel_ArticleSubject";
  state.db.Conn->Execute(std::string("update ") + table + " set d_generatedflag = " +
                             (generated ? "true" : "false") + " where d_id = ?",
                         {Variant(static_cast<long long>(target.id.value_or(0)))});
}

}  // namespace

const char* ListPageType(ListKind kind) {
  switch (kind) {
    case ListKind::kClass:
      return "classlist";
    case ListKind::kSubject:
      return "subjectlist";
    case ListKind::kHot:
      return "hotlist";
    case ListKind::kRecommend:
      return "recommendlist";
    case ListKind::kNew:
      return "newlist";
  }
  return "";
}

ListTarget MakeListTarget(ListKind kind, int64_t id, const Variant& dir, const Variant& page_num,
                          const Variant& template_page_id) {
  ListTarget target;
  target.kind = kind;
  target.id = id;
  target.dir = Trim(dir.ToString());
  target.page_size = StoredPageSize(page_num);
  target.template_page_id = template_page_id;
  return target;
}

std::optional<ListTarget> LoadListTarget(RequestState& state, ListKind kind,
                                         std::optional<int64_t> id) {
  ListTarget target;
  target.kind = kind;
  if (kind != ListKind::kClass && kind != ListKind::kSubject) {
    target.page_size = kTopListPageSize;
    return target;
  }
  if (!id) return std::nullopt;
  const char* table = kind == ListKind::kClass ? "Vantrel_ArticleClass" : "Vantrel_ArticleSubject";
  Recordset rs;
  rs.Open(db::KeptRead{.tables = {table},
                       .sql = std::string("select d_dir, d_pagenum, d_templatepageid from ") +
                              table + " where d_id = ? and d_channelid = ?",
                       .values = {Variant(static_cast<long long>(*id)),
                                  Variant(state.channel.ChannelID.ToInt64Or(-1))}},
          *state.db.Conn);
  if (rs.Eof()) return std::nullopt;
  target = MakeListTarget(kind, *id, rs["d_dir"], rs["d_pagenum"], rs["d_templatepageid"]);
  rs.Close();
  return target;
}

std::optional<int64_t> CountListPages(RequestState& state, const ListTarget& target) {
  const bool own_row = target.kind == ListKind::kClass || target.kind == ListKind::kSubject;
  const std::string text = ListTemplate(state, target, nullptr);
  const UniqueMatches found = CollectUniqueMatches(text, kListChipPattern);
  // The paged chip is the one whose page bar the page shows (a sub-class block's lists before it
  // are not paged).
  std::optional<ArticleListChip> chip;
  bool any_chip = false;
  for (size_t i = 1; i < found.groups.size() && !chip; ++i) {
    // The parameters: the chip text between its first and second ":".
    const std::string& chip_text = found.groups[i];
    const size_t colon = chip_text.find(':');
    const size_t next = chip_text.find(':', colon + 1);
    std::optional<ArticleListChip> read = ParseArticleListChip(chip_text.substr(
        colon + 1, next == std::string::npos ? std::string::npos : next - colon - 1));
    if (!read) continue;
    any_chip = true;
    if (read->paged) chip = read;
  }
  if (!chip) return own_row || any_chip ? std::optional<int64_t>(1) : std::nullopt;
  const char* type = ListPageType(target.kind);
  const ArticleListQuery query = BuildArticleListQuery(state.db, state.channel, *chip, type,
                                                       ClassOf(target), SubjectOf(target));
  const int64_t rows =
      state.db.Conn->ExecuteScalar(query.list.CountSql(), query.list.Values()).ToInt64Or(0);
  return std::max<int64_t>(1, PageCountOf(rows, target.page_size));
}

ListFile ListPageFile(const ChannelSettings& channel, const ListTarget& target, int64_t n) {
  const std::string& base = channel.ChannelDir;
  const std::string ext = channel.ListFileExt;
  const std::string name = "List_" + IdText(target.id) + PageSuffix(n) + ext;
  switch (target.kind) {
    case ListKind::kClass: {
      const std::string code = channel.ListDirType.ToString();
      if (code == "0" && !target.dir.empty()) {
        // The class folder is one or more plain names ("china/politics" for a sub-class), each
        // checked, so that it stays inside the channel folder; anything else gets no file.
        if (!IsPlainFolderPath(target.dir)) return {};
        return {base + target.dir + "/" + name, base + target.dir};
      }
      if (code == "0" || code == "2") return {base + name, ChannelFolderOf(channel)};
      if (code == "1") return {base + "List/" + name, base + "List"};
      return {};
    }
    case ListKind::kSubject:
      if (!IsPlainFolderSegment(target.dir)) return {};
      return {base + "Subject/" + target.dir + "/" + name, base + "Subject/" + target.dir};
    case ListKind::kHot:
      return {base + "listhot/list_hot" + PageSuffix(n) + ext, base + "listhot"};
    case ListKind::kRecommend:
      return {base + "listhot/list_recommend" + PageSuffix(n) + ext, base + "listhot"};
    case ListKind::kNew:
      return {base + "listhot/list_new" + PageSuffix(n) + ext, base + "listhot"};
  }
  return {};
}

WriteResult ArticleHtml_CreateFirst(RequestState& state) {
  WriteResult result;
  const std::string path = state.channel.ChannelDir + "default" + state.channel.FirstFileExt;
  // A first page named default.asp never replaces a redirect page there (the site home's, when
  // the channel has no folder of its own).
  if (IsRedirectPageFile(state.host, path)) {
    ++result.failed;
    return result;
  }
  const std::string html = ShowFirst(state);
  (Write(state, path, ChannelFolderOf(state.channel), html) ? result.written : result.failed)++;
  return result;
}

WriteResult ArticleHtml_CreateJsAll(RequestState& state) {
  struct Snippet {
    Variant file_name, config, type;
  };
  std::vector<Snippet> snippets;
  {
    Recordset rs;
    rs.Open(ChannelRowsRead("Vantrel_JS", "d_filename, d_config, d_typeflag",
                            state.channel.ChannelID.ToInt64Or(-1), "d_id"),
            *state.db.Conn);
    for (; !rs.Eof(); rs.MoveNext()) {
      snippets.push_back({rs["d_filename"], rs["d_config"], rs["d_typeflag"]});
    }
  }
  WriteResult result;
  for (const Snippet& s : snippets) {
    const Variant params =
        s.config.IsBlank() ? s.config : Variant(Replace(s.config.ToString(), "|", ","));
    (CreateJsFile(state, state.channel, s.file_name, params, s.type) ? result.written
                                                                     : result.failed)++;
  }
  return result;
}

WriteResult ArticleHtml_CreateList(RequestState& state, const ListTarget& target, int64_t first,
                                   int64_t last, int64_t page_count) {
  WriteResult result;
  PageSkin skin;
  const std::string text = ListTemplate(state, target, &skin);
  const char* type = ListPageType(target.kind);
  PageValueCache shared;  // the parts that are the same on every page of the list
  // The list's rows are read ahead for the pages that follow; nothing is written meanwhile.
  state.caches.ListPagesAhead = last - first + 1;
  struct ReadAheadEnd {
    RequestCaches& caches;
    ~ReadAheadEnd() {
      caches.ListPagesAhead = 0;
      caches.ListRows = RequestCaches::ListRowsWindow();
    }
  } read_ahead_end{state.caches};
  // The list's folder, made and read once at its first page (every page of a list lies in one).
  std::optional<SiteFolder> files;
  for (int64_t n = first; n <= last; ++n) {
    const ListFile file = ListPageFile(state.channel, target, n);
    if (file.path.empty()) {
      ++result.failed;
      continue;
    }
    std::string page_text = text;  // the engine rewrites its template argument
    const std::string html =
        ParseTemplatePage(state, state.channel, skin, page_text,
                          {.page_type = type,
                           .generate_html = state.channel.GenerateHtml.ToString(),
                           .class_id = ClassOf(target),
                           .subject_id = SubjectOf(target),
                           .page_number = n,
                           .page_size = target.page_size},
                          &shared)
            .html;
    const size_t name_at = file.path.rfind('/') + 1;  // 0 without a folder
    if (!files) {
      if (!file.folder.empty() && !CreateFolderPath(state.host, std::string_view(file.folder))) {
        ++result.failed;
        continue;
      }
      files.emplace(state.host, file.path.substr(0, name_at), true);
    }
    (files->WriteText(file.path.substr(name_at), html) ? result.written : result.failed)++;
  }
  if (target.kind == ListKind::kClass || target.kind == ListKind::kSubject) {
    // The flag says every page of the list is up to date: set at the list's last page when all
    // of this call's files were written; a failed file leaves the list to be generated again.
    if (!result.ok()) {
      SetListFlag(state, target, false);
    } else if (last >= page_count) {
      SetListFlag(state, target, true);
    }
  }
  return result;
}

std::string RedirectPageText(const std::string& target) {
  return "<%\r\nResponse.Redirect \"" + target + "\"\r\n%>";
}

bool IsRedirectPageFile(const HostObjects& host, const std::string& path) {
  if (!host::EndsWithNoCase(path, ".asp")) return false;
  const std::string text = ReadTextFile(host, path);
  return Trim(text).rfind("<%", 0) == 0;
}

}  // namespace folirex
