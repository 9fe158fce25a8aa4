#include "support/site_fixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <utility>

#include "core/md5.h"
#include "core/modules.h"
#include "core/public_request.h"
#include "core/request_reader.h"
#include "core/text_helpers.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/fs/site_path.h"
#include "platform/text/codepage.h"
#include "site/channel_loader.h"

namespace folirex::testing {
namespace {

int Flag(bool on) { return on ? -1 : 0; }

}  // namespace

int CountOf(const std::string& text, const std::string& needle) {
  int count = 0;
  for (size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
}

SiteFixture::SiteFixture() : runner_(*this) {
  application_.Set("server_path", Variant("/"));
  server_ = std::make_unique<Server>(root(), "/", &caches().folder_names);
  session_ = std::make_unique<Session>(sessions_.Attach(""));
  state.host.Application = &application_;
  state.host.Server = server_.get();
  state.host.Session = session_.get();
  state.site_caches = &caches();
  state.db.Lists = &caches().lists;
  SetQuery("");
  state.db.Conn = std::make_unique<Connection>();
  state.db.Conn->Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                      (root() / settings().DBPath).string() + ";");
  state.db.Rs = std::make_unique<Recordset>();
  SetChannel(1, "d_templateid = " + std::to_string(kTestTemplateSet));
}

SiteFixture::~SiteFixture() {
  Stop();
  state.db.Rs.reset();
  state.db.Conn.reset();
}

void SiteFixture::Exec(const std::string& sql, const std::vector<Variant>& params) {
  state.db.Conn->Execute(sql, params);
}

int64_t SiteFixture::LastId(const std::string& table) {
  return state.db.Conn->ExecuteScalar("select max(d_id) from " + table).ToInt64Or(0);
}

int64_t SiteFixture::Add(const ChannelRow& c) {
  Exec(
      "insert into Vantrel_Channel (d_id, d_channelname, d_channeldir, d_order, d_channeltype, "
      "d_shownameflag, d_disabledflag, d_templateid, d_opentype, d_projectname, d_projectunit, "
      "d_uploaddir, d_generatehtml, d_listdir, d_contentfiletype, d_firstfileext, "
      "d_listfileext, d_contentfileext, d_daysofnew, d_clicksofhot, d_groupnum, d_itemcount, "
      "d_itemcountchecked, d_commentcount, d_subjectcount, d_clickcount, d_navimenucss, "
      "d_moduletype) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
      "?, ?, ?, ?, ?, 1)",
      {c.id == 0 ? Variant::Null() : Variant(static_cast<long long>(c.id)),
       c.name,
       c.dir,
       c.order,
       c.type,
       Flag(c.show_name),
       Flag(c.disabled),
       c.template_id,
       c.open_type,
       c.project_name,
       c.project_unit,
       c.upload_dir,
       c.generate_html,
       c.list_dir,
       c.content_file_type,
       c.first_file_ext,
       c.list_file_ext,
       c.content_file_ext,
       c.days_of_new,
       c.clicks_of_hot,
       c.group_num,
       c.item_count,
       c.item_count_checked,
       c.comment_count,
       c.subject_count,
       c.click_count,
       c.navi_menu_css});
  return c.id == 0 ? LastId("Vantrel_Channel") : c.id;
}

int64_t SiteFixture::Add(const ClassRow& c) {
  std::string parent_path =
      c.parent == 0 ? ""
                    : state.db.Conn
                          ->ExecuteScalar("select d_path from Vantrel_ArticleClass where d_id = ?",
                                          {static_cast<long long>(c.parent)})
                          .ToString();
  Exec(
      "insert into Vantrel_ArticleClass (d_channelid, d_pid, d_name, d_dir, d_commentflag, "
      "d_commentcheckflag, d_pagenum, d_templatepageid) values (?, ?, ?, ?, ?, ?, ?, ?)",
      {static_cast<long long>(c.channel), static_cast<long long>(c.parent), c.name, c.dir,
       Flag(c.comments), Flag(c.comments_checked), c.page_size,
       static_cast<long long>(c.template_page)});
  int64_t id = LastId("Vantrel_ArticleClass");
  Exec("update Vantrel_ArticleClass set d_path = ? where d_id = ?",
       {parent_path + std::to_string(id) + ",", static_cast<long long>(id)});
  RebuildTree(c.channel);
  return id;
}

// Fills d_order (pre-order position from 1), d_child (all descendants), d_level and d_rootid of
// a channel's classes from their parents, children in the order they were added.
void SiteFixture::RebuildTree(int64_t channel) {
  std::map<int64_t, std::vector<int64_t>> children;
  Recordset rs;
  rs.Open("select d_id, d_pid from Vantrel_ArticleClass where d_channelid = " +
              std::to_string(channel) + " order by d_id",
          *state.db.Conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) {
    children[rs["d_pid"].ToInt64Or(0)].push_back(rs["d_id"].ToInt64Or(0));
  }
  rs.Close();
  int64_t position = 0;
  std::function<int64_t(int64_t, int, int64_t)> visit = [&](int64_t id, int level,
                                                            int64_t root) -> int64_t {
    const int64_t mine = ++position;
    int64_t below = 0;
    for (int64_t child : children[id]) below += 1 + visit(child, level + 1, root);
    Exec(
        "update Vantrel_ArticleClass set d_order = ?, d_child = ?, d_level = ?, d_rootid = ? "
        "where d_id = ?",
        {static_cast<long long>(mine), static_cast<long long>(below), level,
         static_cast<long long>(root), static_cast<long long>(id)});
    return below;
  };
  for (int64_t top : children[0]) visit(top, 0, top);
}

int64_t SiteFixture::Add(const SubjectRow& s) {
  Exec(
      "insert into Vantrel_ArticleSubject (d_channelid, d_name, d_dir, d_order) values (?, ?, "
      "?, ?)",
      {static_cast<long long>(s.channel), s.name, s.dir, s.order});
  return LastId("Vantrel_ArticleSubject");
}

int64_t SiteFixture::Add(const ArticleRow& a) {
  Exec(
      "insert into Vantrel_Article (d_title, d_content, d_channelid, d_classid, d_subjectid, "
      "d_author, d_inputer, d_addtime, d_checked, d_deleted, d_topflag, d_hotflag, "
      "d_recommendflag, d_clicktimes, d_dayclicktimes, d_weekclicktimes, d_monthclicktimes, "
      "d_keyword, d_relativeflag, d_picurl, d_summary, d_linkurl, d_subtitle, d_longtitle, "
      "d_titleprefix, d_fontshape, d_titlecolor, d_comefrom, d_editor, d_stars, d_metakeyword, "
      "d_metarelativeflag, d_paginationtype, d_maxcharperpage, d_templatepageid, "
      "d_generatedflag) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
      "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
      {a.title,
       a.content,
       static_cast<long long>(a.channel),
       static_cast<long long>(a.class_id),
       static_cast<long long>(a.subject),
       a.author,
       a.inputer,
       a.add_time,
       Flag(a.checked),
       Flag(a.deleted),
       Flag(a.top),
       Flag(a.hot),
       Flag(a.recommend),
       a.clicks,
       a.day_clicks,
       a.week_clicks,
       a.month_clicks,
       a.keyword,
       Flag(a.relative),
       a.pic_url,
       a.summary,
       a.link_url,
       a.subtitle,
       a.long_title,
       a.title_prefix,
       a.font_shape,
       a.title_color,
       a.come_from,
       a.editor,
       a.stars,
       a.meta_keyword,
       Flag(a.meta_relative),
       a.pagination,
       a.chars_per_page,
       static_cast<long long>(a.template_page),
       Flag(a.generated)});
  return LastId("Vantrel_Article");
}

int64_t SiteFixture::Add(const CommentRow& c) {
  Exec(
      "insert into Vantrel_ArticleComment (d_channelid, d_infoid, d_username, d_score, "
      "d_comment, d_addtime, d_checked, d_reply, d_replyuser, d_replytime) values (?, ?, ?, ?, "
      "?, ?, ?, ?, ?, ?)",
      {static_cast<long long>(c.channel), static_cast<long long>(c.article), c.name, c.score,
       c.text, c.add_time, Flag(c.checked), c.reply, c.reply_user, c.reply_time});
  return LastId("Vantrel_ArticleComment");
}

int64_t SiteFixture::Add(const AnnounceRow& a) {
  Exec(
      "insert into Vantrel_Announce (d_channelid, d_title, d_content, d_author, d_addtime, "
      "d_selectedflag) values (?, ?, ?, ?, ?, ?)",
      {static_cast<long long>(a.channel), a.title,
       a.content.empty() ? "<p>" + a.title + "的内容</p>" : a.content, a.author, a.add_time,
       Flag(a.selected)});
  return LastId("Vantrel_Announce");
}

int64_t SiteFixture::Add(const KeywordRow& k) {
  Exec("insert into Vantrel_Keyword (d_channelid, d_name, d_order) values (?, ?, ?)",
       {static_cast<long long>(k.channel), k.name, k.order});
  return LastId("Vantrel_Keyword");
}

int64_t SiteFixture::Add(const UserRow& u) {
  Exec(
      "insert into Vantrel_User (d_nickname, d_articlenum, d_commentnum, d_rmb) values (?, ?, ?, "
      "?)",
      {u.nickname, u.articles, u.comments, u.rmb});
  return LastId("Vantrel_User");
}

int64_t SiteFixture::Add(const AdminRow& a) {
  Exec(
      "insert into Vantrel_Admin (d_name, d_password, d_regtime, d_adduser) values (?, ?, ?, "
      "'admin')",
      {a.name, MD5(a.password), a.regtime});
  int64_t id = LastId("Vantrel_Admin");
  for (const std::string& code : a.rights) {
    Exec("insert into Vantrel_ManagerFunction (d_adminname, d_functioncode) values (?, ?)",
         {a.name, code});
  }
  return id;
}

int64_t SiteFixture::Add(const LogRow& l) {
  Exec(
      "insert into Vantrel_Log (d_adminname, d_ip, d_thisloginnum, d_logintime) values (?, ?, "
      "?, ?)",
      {l.admin, l.ip, l.login_num, l.login_time});
  return LastId("Vantrel_Log");
}

void SiteFixture::SetChannel(int64_t id, const std::string& assignments) {
  Sql("update Vantrel_Channel set " + assignments + " where d_id = " + std::to_string(id));
}

int64_t SiteFixture::AddTemplatePage(const std::string& type, const std::string& content, int skin,
                                     int64_t channel) {
  Exec(
      "insert into Vantrel_TemplatePage (d_channelid, d_name, d_type, d_content, d_skinid) "
      "values (?, ?, ?, ?, ?)",
      {static_cast<long long>(channel), "test " + type, type, content, skin});
  return LastId("Vantrel_TemplatePage");
}

int64_t SiteFixture::SetPage(const std::string& type, const std::string& content, int skin,
                             int set) {
  int64_t id = AddTemplatePage(type, content, skin);
  Exec("delete from Vantrel_TemplateAndPage where d_templateid = ? and d_type = ?", {set, type});
  Exec(
      "insert into Vantrel_TemplateAndPage (d_channelid, d_templateid, d_pageid, d_type) "
      "values (1, ?, ?, ?)",
      {set, static_cast<long long>(id), type});
  return id;
}

int64_t SiteFixture::SetHomePage(const std::string& content, int skin) {
  int64_t id = AddTemplatePage("default", content, skin, 0);
  Exec("update Vantrel_Config set d_templatepageid = ?", {static_cast<long long>(id)});
  return id;
}

std::string SiteFixture::Page(const std::string& path_and_query) {
  HttpAnswer answer = Get(path_and_query);
  EXPECT_EQ(answer.status, 200) << path_and_query;
  return answer.text;
}

std::string SiteFixture::FileText(const std::string& relative) const {
  // Looked up as the server looks up addresses: letter case ignored, so "Js/x.js" finds the
  // file in the site's "js" folder.
  std::optional<std::filesystem::path> path = fs::ResolveInside(root(), relative);
  if (!path) return "";
  std::ifstream in(*path, std::ios::binary);
  if (!in) return "";
  return GbkToUtf8(std::string(std::istreambuf_iterator<char>(in), {}));
}

void SiteFixture::InRequest(const std::function<void(RequestState&)>& fn, int64_t channel,
                            const std::string& query, const std::string& form) {
  ModuleRegistry modules;
  modules.SetChannelLoader(InitChannel);
  modules.SetFirstPage([&fn](RequestState& s, const auto&) {
    fn(s);
    return std::string();
  });
  runner_.NewRequest("/asp.asp?channelid=" + std::to_string(channel) + query, form);
  runner_.Run(EntryKind::kPublic, modules);
}

void SiteFixture::InConsole(const std::function<void(RequestState&)>& fn,
                            const std::string& query) {
  ModuleRegistry modules;
  modules.AddAdminRoute(
      {"admin_set", "Set_Main", [&fn](RequestState& s, const ConsoleRequest&) { fn(s); }});
  runner_.NewRequest("/admin.asp?m=admin_set" + query);
  runner_.Run(EntryKind::kAdmin, modules);
}

void SiteFixture::SetQuery(const std::string& query) {
  RawRequest raw;
  raw.method = "GET";
  raw.path = "/asp.asp";
  raw.query = query;
  request_ = std::make_unique<Request>(std::move(raw));
  state.list_page = ReadListPage(RequestReader(*request_, nullptr));
}

void SiteFixture::UseChannel(int64_t id) {
  state.caches.ChannelRows.reset();
  state.channel.ChannelID = Variant(static_cast<long long>(id));
  Recordset rs;
  rs.Open("select * from Vantrel_Channel where d_id = " + std::to_string(id), *state.db.Conn, 0, 1);
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

}  // namespace folirex::testing
