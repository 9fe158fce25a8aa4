// The temporary site of the tests above the platform layer: a TestSite (a folder made like
// `folirex init`, served on 127.0.0.1) whose channel 1 uses a template set of the test's own, so
// that pages do not depend on the shipped design, with
//   - rows added by named structs (ChannelRow, ClassRow, ArticleRow, ...) and one Add each;
//   - template pages of the test's set (SetPage, SetHomePage);
//   - pages run in-process through the real entry (InRequest, InConsole), to call a procedure
//     and look at the request state or the answer afterwards;
//   - a request state over the site's database (state, SetQuery, UseChannel) for calling the
//     renderers directly.
//
// Each fixture owns its site, so tests run in parallel. Not thread-safe itself.
#ifndef FOLIREX_TESTS_SUPPORT_SITE_FIXTURE_H_
#define FOLIREX_TESTS_SUPPORT_SITE_FIXTURE_H_

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/request_state.h"
#include "platform/host/application.h"
#include "platform/host/request.h"
#include "platform/host/server.h"
#include "platform/host/session.h"
#include "support/page_runner.h"
#include "support/test_site.h"

namespace folirex::testing {

// The template set that channel 1 and new channels use; the shipped design uses other ids.
inline constexpr int kTestTemplateSet = 901;

struct ChannelRow {
  std::string name = "频道";
  std::string dir = "news";
  int64_t id = 0;  // 0: the next autonumber
  int order = 10;
  int type = 1;  // 1 internal, 2 an outside link
  bool show_name = true;
  bool disabled = false;
  int template_id = kTestTemplateSet;
  int open_type = 0;
  std::string project_name = "文章";
  std::string project_unit = "篇";
  std::string upload_dir = "uploadfile";
  int generate_html = 0;  // 0 dynamic, 1 static, 2 first and article pages static
  int list_dir = 0;
  int content_file_type = 0;
  int first_file_ext = 0;
  int list_file_ext = 0;     // 0 .html
  int content_file_ext = 0;  // 0 .html
  int days_of_new = 3;
  int clicks_of_hot = 0;
  int group_num = 30;
  int item_count = 0;
  int item_count_checked = 0;
  int comment_count = 0;
  int subject_count = 0;
  int click_count = 0;
  std::string navi_menu_css{};
};

// A class with its path and pre-order tree columns kept by Add.
struct ClassRow {
  std::string name = "分类";
  std::string dir{};
  int64_t parent = 0;
  int64_t channel = 1;
  bool comments = false;
  bool comments_checked = false;  // comments wait for approval
  int page_size = 20;
  int64_t template_page = 0;
};

struct SubjectRow {
  std::string name = "专题";
  std::string dir{};
  int order = 0;
  int64_t channel = 1;
};

// An approved, live article of channel 1 unless told otherwise.
struct ArticleRow {
  std::string title = "标题";
  std::string content = "正文";
  int64_t channel = 1;
  int64_t class_id = 0;
  int64_t subject = 0;
  std::string author{};
  std::string inputer{};
  std::string add_time = "2024-03-05 08:09:10";
  bool checked = true;
  bool deleted = false;
  bool top = false;
  bool hot = false;
  bool recommend = false;
  int clicks = 0;
  int day_clicks = 0;
  int week_clicks = 0;
  int month_clicks = 0;
  std::string keyword{};  // "|a|b|"
  bool relative = false;
  std::string pic_url{};
  Variant summary = "";
  std::string link_url{};
  std::string subtitle{};
  std::string long_title{};
  int title_prefix = 0;
  int font_shape = 0;
  std::string title_color{};
  std::string come_from{};
  std::string editor{};
  int stars = 0;
  std::string meta_keyword{};
  bool meta_relative = false;
  int pagination = 0;  // 0 none, 1 by characters, 2 at the editor's breaks
  int chars_per_page = 0;
  int64_t template_page = 0;
  bool generated = false;
};

struct CommentRow {
  int64_t article = 0;
  std::string name = "读者";
  std::string text = "评论";
  std::string add_time = "2024-03-05 08:09:10";
  bool checked = true;
  std::string reply{};
  int score = 3;
  int64_t channel = 1;
  std::string reply_user = "admin";
  std::string reply_time = "2024-05-06 07:08:09";
};

struct AnnounceRow {
  std::string title = "公告";
  std::string add_time = "2024-03-05 08:09:10";
  int64_t channel = 1;  // 0: the whole site
  bool selected = true;
  std::string author = "编辑部";
  std::string content{};  // "<p>title的内容</p>" when empty
};

struct KeywordRow {
  std::string name{};
  int64_t channel = 1;
  int order = 0;
};

struct UserRow {
  std::string nickname{};
  int articles = 0;
  int comments = 0;
  double rmb = 0;
};

// A console account with its rights.
struct AdminRow {
  std::string name{};
  std::string password = "password1";
  std::vector<std::string> rights{};
  std::string regtime = "2026-02-01 00:00:00";
};

struct LogRow {
  std::string admin{};
  std::string ip{};
  int login_num = 1;
  std::string login_time = "2026-02-01 00:00:00";
};

// The number of non-overlapping occurrences of needle in text.
int CountOf(const std::string& text, const std::string& needle);

class SiteFixture : public TestSite {
 public:
  SiteFixture();
  ~SiteFixture();

  // Each answers the new row's id.
  int64_t Add(const ChannelRow& row);
  int64_t Add(const ClassRow& row);
  int64_t Add(const SubjectRow& row);
  int64_t Add(const ArticleRow& row);
  int64_t Add(const CommentRow& row);
  int64_t Add(const AnnounceRow& row);
  int64_t Add(const KeywordRow& row);
  int64_t Add(const UserRow& row);
  int64_t Add(const AdminRow& row);
  int64_t Add(const LogRow& row);

  void SetChannel(int64_t id, const std::string& assignments);
  // A template page of a channel (0: the site itself) and its id.
  int64_t AddTemplatePage(const std::string& type, const std::string& content, int skin = 1,
                          int64_t channel = 1);
  // Gives the page type of a template set this content (replacing an earlier one); its id.
  int64_t SetPage(const std::string& type, const std::string& content, int skin = 1,
                  int set = kTestTemplateSet);
  // The site home template page, named by the configuration.
  int64_t SetHomePage(const std::string& content, int skin = 1);

  // The first column of the first row of the select, as a number.
  int64_t Number(const std::string& sql) { return std::stoll(SqlValue(sql)); }
  // Runs SQL on the request state's connection (in the pages' dialect, with parameters).
  void Exec(const std::string& sql, const std::vector<Variant>& params = {});

  // GET of a page of the site (a 200 expected): the decoded text.
  std::string Page(const std::string& path_and_query);
  std::filesystem::path Disk(const std::string& relative) const { return root() / relative; }
  // A file of the site, decoded from code page 936; "" when missing.
  std::string FileText(const std::string& relative) const;

  // Runs fn inside a public request of the channel (database open, configuration and channel
  // loaded) through the real entry; query adds request values ("&page=2"), form posts a body.
  void InRequest(const std::function<void(RequestState&)>& fn, int64_t channel = 1,
                 const std::string& query = "", const std::string& form = "");
  // Runs fn inside a console request ("/admin.asp?m=admin_set" + query) as its module.
  void InConsole(const std::function<void(RequestState&)>& fn, const std::string& query = "");
  // What the last in-process request wrote.
  std::string RequestBody() { return runner_.response().body(); }
  PageRunner& runner() { return runner_; }

  // A request state over the site's database with host objects of its own, for renderers called
  // directly. SetQuery gives it a GET of asp.asp; UseChannel loads a channel as a new request
  // would (rows cached by earlier calls are forgotten).
  void SetQuery(const std::string& query);
  void UseChannel(int64_t id);
  RequestState state;

 private:
  int64_t LastId(const std::string& table);
  void RebuildTree(int64_t channel);

  PageRunner runner_;
  Application application_;
  SessionStore sessions_;
  std::unique_ptr<Server> server_;
  std::unique_ptr<Session> session_;
  std::unique_ptr<Request> request_;
};

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_SUPPORT_SITE_FIXTURE_H_
