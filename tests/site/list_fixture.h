// A seeded site for the list renderers: a real site folder made like `folirex
// init` (schema and shipped rows in SQLite), a request state over it with real
// host objects, and helpers that add channels, classes (with their pre-order
// tree columns), subjects and articles.
//
// Each fixture owns its own temporary site, so tests run in parallel. With
// serve = true the site is also served over HTTP on 127.0.0.1 (an ephemeral
// port).
#ifndef FOLIREX_TESTS_SITE_LIST_FIXTURE_H_
#define FOLIREX_TESTS_SITE_LIST_FIXTURE_H_

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/request_state.h"
#include "core/text_helpers.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/host/application.h"
#include "platform/host/request.h"
#include "platform/host/server.h"
#include "platform/host/session.h"
#include "support/test_site.h"

namespace folirex::testing {

struct ChannelSpec {
  std::string name = "频道";
  std::string dir = "news";
  int generate_html = 0;
  int list_dir = 0;
  int list_ext = 0;  // .html
  int content_type = 0;
  int content_ext = 0;  // .html
  int days_of_new = 3;
  bool show_name = true;
  bool disabled = false;
  int order = 10;
  int type = 1;
  int template_id = 1;
};

struct ArticleSpec {
  int64_t channel = 1;
  int64_t class_id = 0;
  int64_t subject = 0;
  std::string title = "标题";
  std::string author = "作者";
  std::string inputer = "admin";
  std::string add_time = "2020-01-02 03:04:05";
  bool hot = false;
  bool recommend = false;
  bool top = false;
  int clicks = 0;
  bool deleted = false;
  bool checked = true;
  std::string pic_url;
  std::string summary;
  std::string link_url;
  int title_prefix = 0;
  int font_shape = 0;
  std::string title_color;
};

class ListSite {
 public:
  explicit ListSite(bool serve = false) : site(serve) {
    application_.Set("server_path", Variant("/"));
    server_ = std::make_unique<Server>(site.root(), "/");
    session_ = std::make_unique<Session>(sessions_.Attach(""));
    state.host.Application = &application_;
    state.host.Server = server_.get();
    state.host.Session = session_.get();
    SetQuery("");
    state.db.Conn = std::make_unique<Connection>();
    state.db.Conn->Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                        (site.root() / site.settings().DBPath).string() + ";");
    state.db.Rs = std::make_unique<Recordset>();
  }
  ~ListSite() {
    state.db.Rs.reset();
    state.db.Conn.reset();
  }
  ListSite(const ListSite&) = delete;
  ListSite& operator=(const ListSite&) = delete;

  // The request of the page: a GET of asp.asp with this query string.
  void SetQuery(const std::string& query) {
    RawRequest raw;
    raw.method = "GET";
    raw.path = "/asp.asp";
    raw.query = query;
    request_ = std::make_unique<Request>(std::move(raw));
    state.host.Request = request_.get();
  }

  void Exec(const std::string& sql, const std::vector<Variant>& params = {}) {
    state.db.Conn->Execute(sql, params);
  }
  int64_t LastId(const std::string& table) {
    return state.db.Conn->ExecuteScalar("select max(d_id) from " + table).ToInt64Or(0);
  }

  int64_t AddChannel(const ChannelSpec& c) {
    Exec(
        "insert into Vantrel_Channel (d_order, d_channelname, d_channeltype, "
        "d_channeldir, "
        "d_projectname, d_projectunit, d_templateid, d_shownameflag, "
        "d_disabledflag, "
        "d_uploaddir, d_daysofnew, d_generatehtml, d_listdir, "
        "d_contentfiletype, d_firstfileext, "
        "d_listfileext, d_contentfileext, d_moduletype) values (?, ?, ?, ?, "
        "'文章', '篇', ?, ?, ?, "
        "'uploadfile', ?, ?, ?, ?, 0, ?, ?, 1)",
        {c.order, c.name, c.type, c.dir, c.template_id, c.show_name ? -1 : 0, c.disabled ? -1 : 0,
         c.days_of_new, c.generate_html, c.list_dir, c.content_type, c.list_ext, c.content_ext});
    return LastId("Vantrel_Channel");
  }

  // A class; call RebuildTree(channel) after the last class of a channel.
  int64_t AddClass(int64_t channel, int64_t parent, const std::string& name, const std::string& dir,
                   bool comments = false, int page_num = 20) {
    Exec(
        "insert into Vantrel_ArticleClass (d_channelid, d_pid, d_name, d_dir, "
        "d_commentflag, "
        "d_pagenum) values (?, ?, ?, ?, ?, ?)",
        {channel, parent, name, dir, comments ? -1 : 0, page_num});
    return LastId("Vantrel_ArticleClass");
  }

  // Fills d_order (pre-order position from 1), d_child (all descendants),
  // d_level and d_rootid of a channel's classes from their parents, children in
  // the order they were added.
  void RebuildTree(int64_t channel) {
    std::map<int64_t, std::vector<int64_t>> children;
    Recordset rs;
    rs.Open("select d_id, d_pid from Vantrel_ArticleClass where d_channelid = " +
                std::to_string(channel) + " order by d_id",
            *state.db.Conn, 0, 1);
    while (!rs.Eof()) {
      children[rs["d_pid"].ToInt64Or(0)].push_back(rs["d_id"].ToInt64Or(0));
      rs.MoveNext();
    }
    rs.Close();
    int64_t position = 0;
    std::function<int64_t(int64_t, int, int64_t)> visit = [&](int64_t id, int level,
                                                              int64_t root) -> int64_t {
      const int64_t mine = ++position;
      int64_t below = 0;
      for (int64_t child : children[id]) below += 1 + visit(child, level + 1, root);
      Exec(
          "update Vantrel_ArticleClass set d_order = ?, d_child = ?, d_level "
          "= ?, d_rootid = ? "
          "where d_id = ?",
          {mine, below, level, root, id});
      return below;
    };
    for (int64_t top : children[0]) visit(top, 0, top);
  }

  int64_t AddSubject(int64_t channel, const std::string& name, const std::string& dir, int order) {
    Exec(
        "insert into Vantrel_ArticleSubject (d_channelid, d_name, d_dir, "
        "d_order) values (?, ?, "
        "?, ?)",
        {channel, name, dir, order});
    return LastId("Vantrel_ArticleSubject");
  }

  int64_t AddArticle(const ArticleSpec& a) {
    Exec(
        "insert into Vantrel_Article (d_channelid, d_classid, d_subjectid, "
        "d_title, d_author, "
        "d_inputer, d_addtime, d_hotflag, d_recommendflag, d_topflag, "
        "d_clicktimes, d_deleted, "
        "d_checked, d_picurl, d_summary, d_linkurl, d_titleprefix, "
        "d_fontshape, d_titlecolor, "
        "d_content) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
        "?, ?, ?, 'text')",
        {a.channel, a.class_id, a.subject, a.title, a.author, a.inputer, a.add_time, a.hot ? -1 : 0,
         a.recommend ? -1 : 0, a.top ? -1 : 0, a.clicks, a.deleted ? -1 : 0, a.checked ? -1 : 0,
         a.pic_url, a.summary, a.link_url, a.title_prefix, a.font_shape, a.title_color});
    return LastId("Vantrel_Article");
  }

  // Makes the channel current with the settings the channel loader gives it.
  // Loads the channel as a new request would (rows read by earlier calls are forgotten).
  void UseChannel(int64_t id) {
    state.caches.ChannelRowCache.clear();
    state.caches.ChannelDirCache.clear();
    state.channel.ChannelID = Variant(static_cast<long long>(id));
    Recordset rs;
    rs.Open("select * from Vantrel_Channel where d_id = " + std::to_string(id), *state.db.Conn, 0,
            1);
    ASSERT_FALSE(rs.Eof()) << "no channel " << id;
    std::string dir = rs["d_channeldir"].ToString();
    state.channel.ChannelDir = dir.empty() ? "" : dir + "/";
    state.channel.GenerateHtml = Variant(rs["d_generatehtml"].ToString());
    state.channel.ListDirType = Variant(rs["d_listdir"].ToString());
    state.channel.ContentFileType = Variant(rs["d_contentfiletype"].ToString());
    state.channel.ListFileExt = FileExtName(rs["d_listfileext"]);
    state.channel.ContentFileExt = FileExtName(rs["d_contentfileext"]);
    state.channel.FirstFileExt = FileExtName(rs["d_firstfileext"]);
    state.channel.DaysOfNew = Variant(rs["d_daysofnew"].ToString());
    state.channel.UploadDir = Variant(rs["d_uploaddir"].ToString());
    state.channel.ChannelTemplateID = Variant(rs["d_templateid"].ToString());
  }

  // A template page of a channel (0: the site itself) with its skin number, and its id.
  int64_t AddTemplatePage(int64_t channel, const std::string& type, const std::string& content,
                          int skin = 1) {
    Exec(
        "insert into Vantrel_TemplatePage (d_channelid, d_name, d_type, d_content, d_skinid) "
        "values (?, ?, ?, ?, ?)",
        {channel, "list test " + type, type, content, skin});
    return LastId("Vantrel_TemplatePage");
  }

  // Gives a page type of template set `set` this content and skin.
  int64_t SetPage(int set, const std::string& type, const std::string& content, int skin = 1) {
    int64_t id = AddTemplatePage(0, type, content, skin);
    Exec("delete from Vantrel_TemplateAndPage where d_templateid = ? and d_type = ?", {set, type});
    Exec(
        "insert into Vantrel_TemplateAndPage (d_channelid, d_templateid, d_pageid, d_type) "
        "values (0, ?, ?, ?)",
        {set, id, type});
    return id;
  }

  // The site home page template, named by the configuration.
  void SetHomePage(const std::string& content, int skin = 1) {
    int64_t id = AddTemplatePage(0, "default", content, skin);
    Exec("update Vantrel_Config set d_templatepageid = ?", {id});
  }

  // A page of the served site (the query's non-ASCII text goes as code page 936).
  HttpAnswer Get(const std::string& path_and_query) { return site.Get(path_and_query); }

  TestSite site;
  RequestState state;

 private:
  Application application_;
  SessionStore sessions_;
  std::unique_ptr<Server> server_;
  std::unique_ptr<Session> session_;
  std::unique_ptr<Request> request_;
};

// The number of non-overlapping occurrences of `needle` in `text`.
inline int CountOf(const std::string& text, const std::string& needle) {
  int n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
    ++n;
  }
  return n;
}

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_SITE_LIST_FIXTURE_H_
