#include "collection/collect_steps.h"

#include <exception>
#include <filesystem>
#include <optional>
#include <random>
#include <system_error>
#include <unordered_set>
#include <utility>
#include <vector>

#include "articles/upload_rules.h"
#include "collection/url_rules.h"
#include "core/article_marks.h"
#include "core/folder_names.h"
#include "core/html_clean.h"
#include "core/regex_helpers.h"
#include "core/site_config.h"
#include "core/site_files.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"
#include "platform/fs/site_path.h"
#include "platform/host/server.h"
#include "platform/host/session.h"
#include "platform/regex/regexp.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

// The session value that lists the projects of the current run whose refused fetch has been
// written to the error output: ",3,7,".
constexpr char kRefusalsLogged[] = "collect_refusals_logged";

// Writes a refused fetch of `project` to the error output, the first of the project in this
// run only: a run over a refused site would otherwise write a line for each of its articles.
void LogRefusalOncePerRun(RequestState& state, const CollectProject& project,
                          std::string_view address) {
  Session& session = *state.host.Session;
  std::string logged = session.Get(kRefusalsLogged).ToString();
  if (logged.empty()) logged = ",";
  const std::string id = std::to_string(project.id) + ",";
  if (logged.find("," + id) != std::string::npos) return;
  session.Set(kRefusalsLogged, Variant(logged + id));
  LogCollectRefusal(project, address);
}

int RandomDraw() {
  thread_local std::mt19937 generator{std::random_device{}()};
  return std::uniform_int_distribution<int>(100, 999)(generator);
}

// Characters of a text column, not bytes: a cut never splits a character.
std::string CutToColumn(std::string_view text, size_t characters = kCollectTextColumn) {
  return Len(text) <= characters ? std::string(text) : Left(text, characters);
}

// Every occurrence of `find` in any letter case replaced by `with`, both taken literally.
std::string ReplaceNoCase(std::string_view text, std::string_view find, std::string_view with) {
  if (find.empty()) return std::string(text);
  RegExp re{RegexEscape(find), true, true};
  return re.Replace(text, Replace(with, "$", "$$"));
}

int64_t InsertLogRow(Connection& conn, int64_t project_id, int64_t channel_id,
                     const std::string& url, std::optional<int64_t> page_next) {
  Recordset rs;
  rs.Open(db::TableRows{.table = "Vantrel_CollectLog", .where = "1 = 0"}, conn, 1, 3);
  rs.AddNew();
  rs.Set("d_projectid", Variant(project_id));
  rs.Set("d_channelid", Variant(channel_id));
  rs.Set("d_url", Variant(url));
  if (page_next) {
    rs.Set("d_pagenext", Variant(*page_next));
  } else {
    rs.Set("d_flag", Variant(int64_t{0}));
    rs.Set("d_fileid", Variant(int64_t{0}));
  }
  rs.Update();
  int64_t id = rs["d_id"].ToInt64Or(0);
  rs.Close();
  return id;
}

void MarkFailed(Connection& conn, int64_t log_id) {
  try {
    conn.Execute("update Vantrel_CollectLog set d_flag = 3 where d_id = ?", {Variant(log_id)});
  } catch (const std::exception&) {
    // The message already says the step failed; a log that cannot be marked stays as it was.
  }
}

// The pictures a content step copied for its article, deleted when the step ends unless an
// article stored by it names them: a refused or failed article leaves no file behind. They are
// new files of this step, so no other article names them.
class StepPictures {
 public:
  StepPictures() = default;
  StepPictures(const StepPictures&) = delete;
  StepPictures& operator=(const StepPictures&) = delete;
  ~StepPictures() {
    for (const std::filesystem::path& file : files_) {
      std::error_code ignored;  // a file that cannot go is left; the step's answer stands
      std::filesystem::remove(file, ignored);
    }
  }

  void Hold(std::vector<std::filesystem::path> files) { files_ = std::move(files); }
  // An article names them now.
  void Keep() { files_.clear(); }

 private:
  std::vector<std::filesystem::path> files_;
};

struct Article {
  std::string title;
  std::string author;
  std::string content;
  std::string upload_list;
};

// The upload columns, set only when pictures were saved.
void SetUploadColumns(Recordset& rs, const std::string& upload_list) {
  if (upload_list.empty()) return;
  std::string files = upload_list.substr(0, upload_list.size() - 1);
  rs.Set("d_uploadfiles", Variant(files));
  rs.Set("d_picurl", Variant(CutToColumn(Trim(Split(files, "|")[0]))));
  rs.Set("d_titleprefix", Variant(int64_t{1}));
}

// Adds the article, points the log row at it and counts it in the channel, all or nothing.
void AddArticle(RequestState& state, const CollectRun& run, const CollectProject& project,
                int64_t log_id, const Article& a) {
  Connection& conn = *state.db.Conn;
  const int64_t channel = state.channel.ChannelID.ToInt64Or(0);
  const std::string user = state.host.Session->Get("User_Code").ToString();
  ScopedTransaction transaction(conn);
  Recordset rs;
  rs.Open(db::TableRows{.table = "Vantrel_Article", .where = "1 = 0"}, conn, 1, 3);
  rs.AddNew();
  rs.Set("d_channelid", Variant(channel));
  rs.Set("d_title", Variant(a.title));
  rs.Set("d_author", Variant(a.author));
  rs.Set("d_content", Variant(a.content));
  rs.Set("d_addtime", Variant(run.clock->LocalNow()));
  rs.Set("d_classid", Variant(project.class_id));
  rs.Set("d_subjectid", Variant(int64_t{0}));
  rs.Set("d_checked", Variant(true));
  rs.Set("d_keyword", Variant(std::string()));
  rs.Set("d_inputer", Variant(CutToColumn(user)));
  rs.Set("d_editor", Variant(CutToColumn(user)));
  SetUploadColumns(rs, a.upload_list);
  rs.Update();
  int64_t article_id = rs["d_id"].ToInt64Or(0);
  rs.Close();
  conn.Execute("update Vantrel_CollectLog set d_title = ?, d_fileid = ?, d_flag = 1 where d_id = ?",
               {Variant(CutToColumn(a.title)), Variant(article_id), Variant(log_id)});
  // The article is approved at once, so its class's lists must be written again.
  MarkClassAndSubject(conn, project.class_id, 0);
  ChangeChannelCounters(conn, channel, 1, 1);
  transaction.Commit();
}

// Overwrites article `article_id`; false when there is no such article.
bool OverwriteArticle(RequestState& state, const CollectProject& project, int64_t log_id,
                      int64_t article_id, const Article& a) {
  Connection& conn = *state.db.Conn;
  ScopedTransaction transaction(conn);
  Recordset rs;
  rs.Open(
      db::TableRows{
          .table = "Vantrel_Article", .where = "d_id = ?", .values = {Variant(article_id)}},
      conn, 1, 3);
  if (rs.Eof()) return false;
  const int64_t old_class = rs["d_classid"].ToInt64Or(0);
  const int64_t old_subject = rs["d_subjectid"].ToInt64Or(0);
  rs.Set("d_title", Variant(a.title));
  rs.Set("d_author", Variant(a.author));
  rs.Set("d_content", Variant(a.content));
  rs.Set("d_classid", Variant(project.class_id));
  rs.Set("d_checked", Variant(true));
  // Its page and the lists it was and is on are written again by the next generation.
  rs.Set("d_generatedflag", Variant(false));
  SetUploadColumns(rs, a.upload_list);
  rs.Update();
  rs.Close();
  conn.Execute("update Vantrel_CollectLog set d_title = ?, d_flag = 1 where d_id = ?",
               {Variant(CutToColumn(a.title)), Variant(log_id)});
  MarkClassAndSubject(conn, old_class, old_subject);
  MarkClassAndSubject(conn, project.class_id, 0);
  transaction.Commit();
  return true;
}

// Logs the article's further pages (the first time its page is read) and answers the page
// number value: "0" none, "1" the first page of a paged article.
std::string LogFurtherPages(RequestState& state, const CollectProject& project, int64_t log_id,
                            const std::string& url, const std::string& page,
                            std::string_view dataflag) {
  std::string number = "0";
  if (!project.page_next_match.empty() && !project.page_next_url.empty()) {
    std::string area =
        ArticleCollect_RegExpLastMatch(page, ArticleCollect_MarkerToRegex(project.page_next_match));
    std::vector<std::string> links =
        ArticleCollect_RegExpLinks(area, ArticleCollect_MarkerToRegex(project.page_next_url), url);
    std::vector<std::string> further;
    for (size_t i = 1; i < links.size(); ++i) {
      if (links[i] != url) further.push_back(links[i]);
    }
    if (!further.empty()) {
      number = "1";
      Connection& conn = *state.db.Conn;
      const int64_t channel = state.channel.ChannelID.ToInt64Or(0);
      std::string ids;
      for (size_t i = further.size(); i-- > 0;) {
        int64_t id =
            InsertLogRow(conn, project.id, channel, further[i], static_cast<int64_t>(i) + 2);
        if (!ids.empty()) ids += ",";
        ids += std::to_string(id);
      }
      // The ids are numbers and the flag one of its two values: nothing else reaches the script.
      state.host.Response->Write("<script language=javascript>parent.addDataID2('" + ids + "', '" +
                                 std::string(dataflag) + "');</script>");
    }
  }
  state.db.Conn->Execute("update Vantrel_CollectLog set d_pagenext = ? where d_id = ?",
                         {Variant(std::stoll(number)), Variant(log_id)});
  return number;
}

// Cuts title, author and content out of the page; "" or the message of the marker not found.
std::string CutArticle(const CollectProject& p, std::string text, Article* a) {
  if (!CutAfter(text, p.header)) return "未找到内容页头关键字";
  std::string area;
  if (!CutBefore(text, p.footer, &area)) return "未找到内容页尾关键字";
  text = std::move(area);
  if (!p.title1.empty() && !CutAfter(text, p.title1)) return "未找到内容页标题前关键字";
  if (!CutBefore(text, p.title2, &a->title)) return "未找到内容页标题后关键字";
  if (!p.author1.empty() && !CutAfter(text, p.author1)) return "未找到内容页作者前关键字";
  if (!p.author2.empty() && !CutBefore(text, p.author2, &a->author)) {
    return "未找到内容页作者后关键字";
  }
  if (!p.content1.empty() && !CutAfter(text, p.content1)) return "未找到内容页内容前关键字";
  if (p.content2.empty()) {
    a->content = std::move(text);
  } else if (!CutBefore(text, p.content2, &a->content)) {
    return "未找到内容页内容后关键字";
  }
  return "";
}

}  // namespace

std::string CleanCollectedField(std::string_view text, int width) {
  std::string value = StripTags(text);
  value = Replace(Replace(value, "'", ""), "\"", "");
  for (std::string_view entity : {"&quot;", "&amp;", "&lt;", "&gt;"}) {
    value = ReplaceNoCase(value, entity, "");
  }
  value = Trim(RegexReplace(value, "\\s+", " "));
  return CutStr(Variant(value), Variant(int64_t{width}));
}

std::string CollectPlainText(std::string content) {
  content = ArticleCollect_RemoveBlocks("<script", "</script>", std::move(content));
  content = ArticleCollect_RemoveBlocks("<style", "</style>", std::move(content));
  // The cleaner drops what the exact-case removal left (a "<SCRIPT>" block) and writes the kept
  // tags on one line each, so the tag removal below takes every tag.
  content = CleanCollectedHtml(content);
  content = Replace(content, "\r\n", "");
  for (std::string_view pattern : {"</?p[^>]*>", "<br>", "<br/>"}) {
    content = RegexReplace(content, pattern, "\r\n");
  }
  content = RegexReplace(content, "<[^>]*>", "");
  std::vector<std::string> lines = Split(content, "\r\n");
  content.clear();
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) content += "<BR>";
    content += RegexReplace(lines[i], "\\s+", " ");
  }
  return RegexReplace(content, "(<BR>)+", "<BR>");
}

std::string ArticleCollect_GetImageSrc(std::string_view tag) {
  return Trim(ArticleCollect_RegExpLastMatch(tag, "[^=\\n\\\"\\']+?\\.(gif|jpg|jpeg|swf)"));
}

SavedImages ArticleCollect_SaveRemoteImages(RequestState& state, const CollectRun& run,
                                            std::string content, std::string_view page_url,
                                            Clock::TimePoint deadline) {
  SavedImages saved;
  const std::string upload_dir = Trim(state.channel.UploadDir.ToString());
  // The channel's upload folder is a plain relative name, so the pictures stay inside it.
  if (!IsPlainFolderPath(upload_dir)) {
    saved.content = std::move(content);
    return saved;
  }
  const DateTime now = run.clock->LocalNow();
  const std::string folder =
      GetChannelPath(state.host, state.db, state.caches, state.channel.ChannelID) + upload_dir +
      "/" + FormatDate(Variant(now), Variant(int64_t{11})) + "/";
  std::filesystem::path disk_folder;
  bool folder_ready = CreateFolderPath(state.host, std::string_view(folder));
  if (folder_ready) {
    try {
      disk_folder = state.host.Server->MapPath(folder);
      folder_ready = fs::IsInside(state.host.Server->site_root(), disk_folder);
    } catch (const std::exception&) {
      folder_ready = false;
    }
  }

  struct Candidate {
    std::string written;
    std::string absolute;
  };
  std::vector<Candidate> candidates;
  std::unordered_set<std::string> seen;  // the absolute addresses in upper case
  RegExp tags{"<(img|embed)[^>]+?>", true, true};
  tags.Scan(content, [&](const RegexMatchRef& match) {
    std::string src = ArticleCollect_GetImageSrc(match.Value());
    if (src.empty()) return true;
    std::string absolute = ArticleCollect_JoinUrl(page_url, src);
    if (absolute.empty() || !seen.insert(UCase(absolute)).second) return true;
    candidates.push_back({src, absolute});
    return true;
  });

  FetchOptions options = CollectFetchOptions(run.limits, true);
  const std::function<int()> draw = run.draw ? run.draw : std::function<int()>(RandomDraw);
  size_t fetched = 0;
  for (const Candidate& c : candidates) {
    if (!folder_ready) break;
    size_t dot = c.absolute.rfind('.');
    std::string ext = dot == std::string::npos ? "" : c.absolute.substr(dot + 1);
    if (!IsStorableExtension(ext)) continue;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - run.clock->Now());
    if (fetched == run.limits.max_images || left.count() <= 0) {
      ++saved.skipped;
      continue;
    }
    ++fetched;
    options.time_left = left;
    // The address as the page's markup writes it: an "&" of a query is written "&amp;".
    FetchResult result = Fetch(Replace(c.absolute, "&amp;", "&"), options);
    if (!result.ok) {
      if (result.refused && saved.refused++ == 0) saved.refused_address = result.refused_address;
      continue;
    }
    std::optional<std::string> name = StoreUploadBytes(result.body, disk_folder, ext, now, draw,
                                                       state.host.Server->folder_names());
    if (!name) continue;
    saved.files.push_back(disk_folder / *name);
    const std::string local = folder + *name;
    saved.upload_list = local + "|" + saved.upload_list;
    content = ReplaceNoCase(content, c.written, local);
    std::string encoded = Replace(c.written, " ", "%20");
    if (encoded != c.written) content = ReplaceNoCase(content, encoded, local);
  }
  saved.content = std::move(content);
  return saved;
}

void ArticleCollect_BeginRun(RequestState& state) { state.host.Session->Remove(kRefusalsLogged); }

std::string ArticleCollect_GetList(RequestState& state, const CollectRun& run, int64_t project_id,
                                   int64_t page) {
  Connection& conn = *state.db.Conn;
  const int64_t channel = state.channel.ChannelID.ToInt64Or(0);
  try {
    std::optional<CollectProject> project = LoadCollectProject(conn, project_id, channel);
    if (!project) return "失败或页面不存在";
    std::string url = CollectListPageUrl(project->page_url, project->first_diff,
                                         project->first_file_name, std::to_string(page));
    FetchResult failure;
    std::optional<std::string> text =
        ArticleCollect_GetHttpPage(url, CollectFetchOptions(run.limits, false), &failure);
    if (!text && failure.refused) {
      LogRefusalOncePerRun(state, *project, failure.refused_address);
      return "失败：" + CollectRefusalText(failure.refused_address);
    }
    if (!text) return "失败或页面不存在";
    if (!CutAfter(*text, project->page_header)) return "未找到列表页头关键字";
    std::string area;
    if (!CutBefore(*text, project->page_footer, &area)) return "未找到列表页尾关键字";
    std::vector<std::string> links = ArticleCollect_RegExpLinks(
        area, ArticleCollect_MarkerToRegex(project->id_url), project->page_url);

    std::string message = "成功";
    std::string ids;
    for (size_t i = 1; i < links.size(); ++i) {
      Variant known = conn.ExecuteScalar(
          "select count(*) from Vantrel_CollectLog where d_projectid = ? and d_url = ?",
          {Variant(project->id), Variant(links[i])});
      if (known.ToInt64Or(0) > 0) {
        message = "完成";
        break;
      }
      int64_t id = InsertLogRow(conn, project->id, channel, links[i], std::nullopt);
      if (!ids.empty()) ids += ",";
      ids += std::to_string(id);
    }
    if (ids.empty()) message = "完成";
    return message + "|" + ids;
  } catch (const ResponseEnd&) {
    throw;
  } catch (const std::exception&) {
    return "失败";
  }
}

namespace {

// What became of the article's pictures, for the step's message.
struct PictureNotes {
  int skipped = 0;
  std::string refused;  // the note on pictures the address rule refused

  std::string Text() const {
    return (skipped > 0 ? "(跳过" + std::to_string(skipped) + "个图片)" : "") + refused;
  }
};

// The article's body as the project keeps it: without scripts and styles and with its pictures
// saved here (held by `pictures` until the article is stored), or as plain text.
PictureNotes TakeArticleBody(RequestState& state, const CollectRun& run,
                             const CollectProject& project, const std::string& url,
                             Clock::TimePoint deadline, Article& article, StepPictures& pictures) {
  PictureNotes notes;
  if (project.do_flag == "0") {
    article.content = CollectPlainText(std::move(article.content));
    return notes;
  }
  std::string content =
      ArticleCollect_RemoveBlocks("<script", "</script>", std::move(article.content));
  content = ArticleCollect_RemoveBlocks("<style", "</style>", std::move(content));
  SavedImages saved =
      ArticleCollect_SaveRemoteImages(state, run, CleanCollectedHtml(content), url, deadline);
  article.content = std::move(saved.content);
  article.upload_list = std::move(saved.upload_list);
  pictures.Hold(std::move(saved.files));
  notes.skipped = saved.skipped;
  if (saved.refused > 0) {
    LogRefusalOncePerRun(state, project, saved.refused_address);
    notes.refused = "(" + std::to_string(saved.refused) + "个图片未获取：" +
                    CollectRefusalText(saved.refused_address) + ")";
  }
  return notes;
}

// A collected article ready to store, and what its step keeps of it.
struct CollectedArticle {
  const CollectProject& project;
  int64_t log_id;
  int64_t file_id;  // the article collected from the row before; 0 for none
  std::string_view dataflag;
  const Article& article;
  StepPictures& pictures;
  const PictureNotes& notes;
};

// Stores the article as the step asks: over the one the row collected before or as a new one
// ("select"), else as a new one unless an article has its title; the step's message.
std::string StoreCollected(RequestState& state, const CollectRun& run, const CollectedArticle& c) {
  Connection& conn = *state.db.Conn;
  const CollectProject& project = c.project;
  const int64_t log_id = c.log_id;
  const Article& article = c.article;
  const std::string skipped = c.notes.Text();
  try {
    if (c.dataflag == "select") {
      if (c.file_id > 0 && OverwriteArticle(state, project, log_id, c.file_id, article)) {
        c.pictures.Keep();
        return "成功：重获取" + skipped;
      }
      AddArticle(state, run, project, log_id, article);
      c.pictures.Keep();
      return "成功：手动新增" + skipped;
    }
    Variant same = conn.ExecuteScalar("select count(*) from Vantrel_Article where d_title = ?",
                                      {Variant(article.title)});
    if (same.ToInt64Or(0) > 0) {
      // A row collected before keeps its article: run again, its title is that article's own.
      conn.Execute("update Vantrel_CollectLog set d_title = ?, d_flag = 2 where d_id = ?",
                   {Variant(CutToColumn(article.title)), Variant(log_id)});
      return "成功：标题重复" + skipped;
    }
    AddArticle(state, run, project, log_id, article);
    c.pictures.Keep();
    return "成功：新增" + skipped;
  } catch (const ResponseEnd&) {
    throw;
  } catch (const std::exception&) {
    MarkFailed(conn, log_id);
    return "失败";
  }
}

}  // namespace

std::string ArticleCollect_GetContent(RequestState& state, const CollectRun& run, int64_t log_id,
                                      std::string_view dataflag, std::string_view doflag) {
  Connection& conn = *state.db.Conn;
  const int64_t channel = state.channel.ChannelID.ToInt64Or(0);
  const Clock::TimePoint deadline = run.clock->Now() + run.limits.step_time;
  std::string message;
  PictureNotes notes;
  Article article;
  std::string page_number;
  int64_t file_id = 0;
  std::optional<CollectProject> project;
  StepPictures pictures;
  try {
    Recordset rs;
    rs.Open("select * from Vantrel_CollectLog where d_id = ? and d_channelid = ?",
            {Variant(log_id), Variant(channel)}, conn, 0, 1);
    if (rs.Eof()) return "失败";  // no such row of this channel: nothing to mark
    const std::string url = rs["d_url"].ToString();
    const int64_t project_id = rs["d_projectid"].ToInt64Or(0);
    file_id = rs["d_fileid"].ToInt64Or(0);
    page_number = std::to_string(rs["d_pagenext"].ToInt64Or(-1));
    rs.Close();

    project = LoadCollectProject(conn, project_id);
    if (!project) throw std::runtime_error("the row's project is gone");
    if (!doflag.empty()) project->do_flag = std::string(doflag);

    FetchOptions page_options = CollectFetchOptions(run.limits, false);
    page_options.time_left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - run.clock->Now());
    FetchResult failure;
    std::optional<std::string> page = ArticleCollect_GetHttpPage(url, page_options, &failure);
    if (!page) message = "远程获取失败";
    if (!page && failure.refused) {
      LogRefusalOncePerRun(state, *project, failure.refused_address);
      message += "：" + CollectRefusalText(failure.refused_address);
    }
    if (message.empty() && page_number == "-1") {
      page_number = LogFurtherPages(state, *project, log_id, url, *page, dataflag);
    }
    if (message.empty()) message = CutArticle(*project, std::move(*page), &article);
    if (message.empty()) {
      article.author = CleanCollectedField(article.author, kCollectAuthorWidth);
      article.title = CleanCollectedField(article.title, kCollectTitleWidth);
      notes = TakeArticleBody(state, run, *project, url, deadline, article, pictures);
      if (article.title.empty() || Trim(article.content).empty()) message = "标题或内容为空";
    }
  } catch (const ResponseEnd&) {
    throw;
  } catch (const std::exception&) {
    if (message.empty()) message = "失败";
  }
  if (!message.empty()) {
    MarkFailed(conn, log_id);
    return message;
  }

  if (page_number != "-1" && page_number != "0") {
    article.title += "(" + page_number + ")";
  }
  return StoreCollected(state, run,
                        {.project = *project,
                         .log_id = log_id,
                         .file_id = file_id,
                         .dataflag = dataflag,
                         .article = article,
                         .pictures = pictures,
                         .notes = notes});
}

}  // namespace folirex
