// What the code declares of its statements, held against what SQLite says of them: the kinds of a
// list's conditions (core/list_query_check.h), and, over every public and console page of a
// seeded site, every kept read and write the pages run (the tests' statement audit,
// support/statement_checks.h) and every list of articles they make.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "core/list_query_check.h"
#include "platform/text/vb_text.h"
#include "support/site_fixture.h"
#include "support/statement_checks.h"

namespace folirex::testing {
namespace {

std::string Joined(const std::vector<std::string>& problems) {
  std::string text;
  for (const std::string& p : problems) text += p + "\n";
  return text;
}

TEST(ConditionKindsTest, AKindThatDoesNotSayWhatTheConditionReadsIsFound) {
  SiteFixture site;
  Connection& conn = *site.state.db.Conn;
  auto problems = [&conn](ConditionKind kind, const std::string& sql,
                          std::vector<Variant> values = {}) {
    ListQuery list;
    list.And(kind, sql, std::move(values));
    return Joined(ConditionKindProblems(conn, list));
  };
  // As declared.
  EXPECT_EQ(problems(ConditionKind::kLogged, "d_channelid = ? and d_author = ?",
                     {Variant(1), Variant("甲")}),
            "");
  EXPECT_EQ(problems(ConditionKind::kUnlogged, "d_content like ?", {Variant("%a%")}), "");
  EXPECT_EQ(problems(ConditionKind::kTimed, "datediff('y', d_addtime, now) <= ?", {Variant(3)}),
            "");
  // Otherwise.
  EXPECT_NE(problems(ConditionKind::kLogged, "d_content like ?", {Variant("%a%")})
                .find("a column the change log does not hold"),
            std::string::npos);
  EXPECT_NE(problems(ConditionKind::kLogged, "d_classid in (select d_id from Vantrel_ArticleClass)")
                .find("reads another table"),
            std::string::npos);
  EXPECT_NE(problems(ConditionKind::kLogged, "datediff('y', d_addtime, now) <= 3")
                .find("reads the clock"),
            std::string::npos);
  EXPECT_NE(problems(ConditionKind::kTimed, "d_addtime > '2024-01-01'").find("reads no clock"),
            std::string::npos);
  EXPECT_NE(problems(ConditionKind::kUnlogged, "d_channelid = ?", {Variant(1)})
                .find("only columns the change log holds"),
            std::string::npos);
  EXPECT_NE(problems(ConditionKind::kLogged, "d_classid = ?").find("holds 1 \"?\" for 0 values"),
            std::string::npos);
  // A narrowing stands beside the like that decides.
  ListQuery narrowed;
  narrowed.And(ConditionKind::kNarrowing,
               "d_id in (select d_id from Vantrel_ArticleClass where d_name = ?)", {Variant("x")});
  EXPECT_NE(Joined(ConditionKindProblems(conn, narrowed)).find("without a like"),
            std::string::npos);
  narrowed.And(ConditionKind::kLogged, "d_title like ?", {Variant("%x%")});
  EXPECT_EQ(Joined(ConditionKindProblems(conn, narrowed)), "");
}

// The console's actions that only show a page; any other may change something and is not asked
// for by the crawl (as bench/crawl.py).
bool OnlyShows(const std::map<std::string, std::string>& query) {
  static const std::set<std::string> kShowing = {"add",        "edit",      "modi",      "recycle",
                                                 "desc",       "preview",   "move",      "join",
                                                 "selectpage", "privilege", "showchange"};
  auto value = [&query](const std::string& key) {
    auto it = query.find(key);
    return it == query.end() ? std::string() : it->second;
  };
  const std::string page = value("m");
  const std::string action = value("action");
  if (page == "admin_login" && query.count("action") != 0) return false;
  for (const char* key : {"save", "token"}) {
    if (!value(key).empty() && value(key) != "0") return false;
  }
  if (action.empty() || kShowing.count(action) != 0) return true;
  if ((page == "admin_articlehtml" || page == "admin_defaulthtml") && action == "select") {
    return true;
  }
  if (page == "admin_articlenavi" && action == "set") return value("flag").empty();
  if (page == "admin_managerprivilege" && action == "set") return value("save").empty();
  return false;
}

// The pages a page links to, as paths with their queries: links, sources, form targets and the
// console addresses written in scripts, resolved against `from`; only the site's .asp pages.
std::vector<std::string> LinksOf(const std::string& from, const std::string& text, int port) {
  static const std::regex kAttribute(
      R"re((?:href|src|background|action)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>"']+)))re",
      std::regex::icase);
  static const std::regex kScript(R"re(['"]((?:[\w./-]*\.asp)?\?m=[^'"\s<>]*)['"])re");
  std::vector<std::string> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), kAttribute);
       it != std::sregex_iterator(); ++it) {
    for (int g = 1; g <= 3; ++g) {
      if ((*it)[g].matched) found.push_back((*it)[g].str());
    }
  }
  for (auto it = std::sregex_iterator(text.begin(), text.end(), kScript);
       it != std::sregex_iterator(); ++it) {
    found.push_back((*it)[1].str());
  }
  const std::string from_path = from.substr(0, from.find('?'));
  const std::string folder = from_path.substr(0, from_path.rfind('/') + 1);
  const std::string origin = "http://127.0.0.1:" + std::to_string(port);
  std::vector<std::string> links;
  for (std::string link : found) {
    link = Replace(link.substr(0, link.find('#')), "&amp;", "&");
    if (link.rfind(origin, 0) == 0) link = link.substr(origin.size());
    if (link.empty() || link.find(':') < link.find_first_of("/?")) continue;  // a scheme
    if (link[0] == '?') {
      link = from_path + link;
    } else if (link[0] != '/') {
      link = folder + link;
    }
    const size_t q = link.find('?');
    std::string path = std::filesystem::path(link.substr(0, q)).lexically_normal().string();
    if (path.size() < 4 || LCase(path.substr(path.size() - 4)) != ".asp") continue;
    links.push_back(path + (q == std::string::npos ? "" : link.substr(q)));
  }
  return links;
}

std::map<std::string, std::string> QueryOf(const std::string& link) {
  std::map<std::string, std::string> query;
  const size_t q = link.find('?');
  if (q == std::string::npos) return query;
  for (const std::string& pair : Split(link.substr(q + 1), "&")) {
    const size_t eq = pair.find('=');
    query.emplace(LCase(pair.substr(0, eq)),
                  eq == std::string::npos ? "" : LCase(pair.substr(eq + 1)));
  }
  return query;
}

TEST(DeclaredStatementsTest, EveryPageOfASeededSiteKeepsToWhatItsStatementsDeclare) {
  StatementChecks& checks = StatementChecks::Install();
  SiteFixture site;
  // The shipped design, its lists and chips; home pages with the chips' other conditions too
  // (an author, the last days).
  site.SetChannel(1, "d_templateid = 1");
  site.Sql(
      "update Vantrel_TemplatePage set d_content = d_content || '<img "
      "TemplateChip=\"ListArticleList:1,0,true,0,5,false,false,张伟,3650,30,1,false,0,0,false,"
      "false,false,false,false,false,false,2\" alt=\"\"><img "
      "TemplateChip=\"ListArticlePic:1,0,true,0,4,false,false,3650,20,20,2,120,80,1,false,4\" "
      "alt=\"\">' where d_type in ('default', 'first')");
  const int64_t news = site.Add(ClassRow{.name = "新闻", .dir = "news", .comments = true});
  const int64_t local = site.Add(ClassRow{.name = "本地", .dir = "local", .parent = news});
  const int64_t subject = site.Add(SubjectRow{.name = "专题", .dir = "special"});
  for (int i = 0; i < 30; ++i) {
    const int64_t id = site.Add(ArticleRow{.title = "经济新闻" + std::to_string(i),
                                           .content = "正文经济" + std::to_string(i),
                                           .class_id = i % 3 == 0 ? news : local,
                                           .subject = i % 4 == 0 ? subject : 0,
                                           .author = i % 2 == 0 ? "张伟" : "李娜",
                                           .top = i % 7 == 0,
                                           .hot = i % 3 == 1,
                                           .recommend = i % 5 == 2,
                                           .clicks = i,
                                           .keyword = "|经济|",
                                           .pic_url = i % 2 == 0 ? "/p.jpg" : ""});
    if (i % 6 == 0) site.Add(CommentRow{.article = id, .checked = i % 12 == 0});
  }
  site.Add(AnnounceRow{.title = "站点公告", .channel = 0});
  site.Add(AnnounceRow{.title = "频道公告"});
  site.Add(KeywordRow{.name = "经济"});
  const int64_t kept_before = checks.checked(db::AuditCheck::kKeptRead);
  const int64_t writes_before = checks.checked(db::AuditCheck::kWrite);
  checks.KeepLists();

  ASSERT_EQ(site.Post("/admin.asp?m=admin_login&action=check",
                      {{"usercode", site.admin_name()}, {"password", site.admin_password()}})
                .status,
            302);
  std::deque<std::string> queue = {
      "/",
      "/asp.asp",
      "/admin.asp",
      "/admin.asp?m=admin_menu",
      "/asp.asp?m=search&channelid=1&searchtype=d_title&searchkeyword=经济",
      "/asp.asp?m=search&channelid=1&searchtype=d_author&searchkeyword=张伟&searchorder=3",
      "/asp.asp?m=search&channelid=1&searchtype=d_content&searchkeyword=经&searchclass=" +
          std::to_string(news),
      "/asp.asp?m=search&channelid=1&searchtype=d_content&searchkeyword=正文经济1",
      "/admin.asp?m=admin_article&channelid=1&qtitle=经济新闻2",
      "/asp.asp?m=notice&noticeid=1",
      "/asp.asp?m=notice&noticeid=2&channelid=1"};
  std::set<std::string> asked(queue.begin(), queue.end());
  std::map<std::tuple<std::string, std::string, std::string, std::string>, int> kinds;
  int pages = 0;
  constexpr int kMostPages = 600;
  constexpr int kMostOfAKind = 6;
  while (!queue.empty() && pages < kMostPages) {
    const std::string url = queue.front();
    queue.pop_front();
    const HttpAnswer answer = site.Get(url);
    ++pages;
    for (const std::string& link : LinksOf(url, answer.text, site.port())) {
      if (asked.count(link) != 0) continue;
      const std::map<std::string, std::string> query = QueryOf(link);
      if (!OnlyShows(query)) continue;
      std::string names;
      for (const auto& [name, value] : query) names += name + ",";
      const auto value = [&query](const char* key) {
        auto it = query.find(key);
        return it == query.end() ? std::string() : it->second;
      };
      auto kind = std::make_tuple(LCase(link.substr(0, link.find('?'))), value("m"),
                                  value("action"), names);
      if (++kinds[kind] > kMostOfAKind) continue;
      asked.insert(link);
      queue.push_back(link);
    }
  }
  const std::vector<ListQuery> lists = checks.TakeLists();

  // The crawl reached the console and the public lists, and the audit held their statements.
  EXPECT_GT(pages, 150);
  EXPECT_GT(checks.checked(db::AuditCheck::kKeptRead) - kept_before, 500);
  EXPECT_GT(checks.checked(db::AuditCheck::kWrite) - writes_before, 0);
  // Every list the pages made keeps to its declared kinds.
  std::map<ConditionKind, int> conditions;
  for (const ListQuery& list : lists) {
    for (const ListCondition& c : list.conditions) {
      ++conditions[c.kind];
      // Every value is bound: no text is written into a condition (datediff's unit is the
      // dialect's, and so is the wildcard a like's pattern is made of around its bound keyword).
      static const std::regex kSyntax(R"(datediff\('[a-z]+'|'%'\+\?\+'%')", std::regex::icase);
      EXPECT_EQ(std::regex_replace(c.sql, kSyntax, "").find('\''), std::string::npos) << c.sql;
    }
    EXPECT_EQ(Joined(ConditionKindProblems(*site.state.db.Conn, list)), "") << list.Key();
  }
  EXPECT_GT(lists.size(), 20u);
  EXPECT_GT(conditions[ConditionKind::kLogged], 0);
  EXPECT_GT(conditions[ConditionKind::kNarrowing], 0);
  EXPECT_GT(conditions[ConditionKind::kTimed], 0);
}

}  // namespace
}  // namespace folirex::testing
