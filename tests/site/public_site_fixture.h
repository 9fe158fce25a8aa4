// A real site for the public pages' tests: a TestSite whose channel 1 uses a template set of the
// test's own (so the pages do not depend on the shipped design), with helpers that add template
// pages, channels, classes, subjects and articles by SQL, and a way to run code inside one
// request of the site (database open, configuration and channel loaded) to look at the request
// state afterwards.
#ifndef FOLIREX_TESTS_SITE_PUBLIC_SITE_FIXTURE_H_
#define FOLIREX_TESTS_SITE_PUBLIC_SITE_FIXTURE_H_

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "core/modules.h"
#include "support/page_runner.h"
#include "site/channel_loader.h"
#include "support/test_site.h"

namespace folirex::testing {

// The template set the tests give channel 1; the shipped design uses other ids.
inline constexpr int kTestTemplateSet = 901;

// Text as an SQL string literal.
inline std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

class PublicSite {
 public:
  explicit PublicSite(bool start = true) : site(start), runner_(site) {
    site.Sql("update Vantrel_Channel set d_templateid = " + std::to_string(kTestTemplateSet) +
             " where d_id = 1");
  }

  // A template page of a channel (0: the site itself) and its id.
  int AddTemplatePage(int channel, const std::string& type, const std::string& content,
                      int skin = 1) {
    site.Sql(
        "insert into Vantrel_TemplatePage (d_channelid, d_name, d_type, d_content, d_skinid) "
        "values (" +
        std::to_string(channel) + ", 'test " + type + "', " + Quote(type) + ", " + Quote(content) +
        ", " + std::to_string(skin) + ")");
    return LastId("Vantrel_TemplatePage");
  }

  // Gives the page type of a template set this content (replacing an earlier assignment).
  int SetPage(const std::string& type, const std::string& content, int skin = 1,
              int set = kTestTemplateSet) {
    int id = AddTemplatePage(1, type, content, skin);
    site.Sql("delete from Vantrel_TemplateAndPage where d_templateid = " + std::to_string(set) +
             " and d_type = " + Quote(type));
    site.Sql(
        "insert into Vantrel_TemplateAndPage (d_channelid, d_templateid, d_pageid, d_type) "
        "values (1, " +
        std::to_string(set) + ", " + std::to_string(id) + ", " + Quote(type) + ")");
    return id;
  }

  // The site home template page, named by the configuration.
  int SetHomePage(const std::string& content, int skin = 1) {
    int id = AddTemplatePage(0, "default", content, skin);
    site.Sql("update Vantrel_Config set d_templatepageid = " + std::to_string(id));
    return id;
  }

  // A shown, enabled internal channel with the given folder and columns (column -> SQL value).
  int AddChannel(const std::string& name, const std::string& dir,
                 const std::map<std::string, std::string>& more = {}) {
    std::map<std::string, std::string> all = {{"d_channelname", Quote(name)},
                                              {"d_channeldir", Quote(dir)},
                                              {"d_channeltype", "1"},
                                              {"d_shownameflag", "-1"},
                                              {"d_disabledflag", "0"},
                                              {"d_templateid", std::to_string(kTestTemplateSet)},
                                              {"d_projectname", "'文章'"},
                                              {"d_projectunit", "'篇'"},
                                              {"d_order", "2"}};
    for (const auto& [column, value] : more) all[column] = value;
    Insert("Vantrel_Channel", all);
    return LastId("Vantrel_Channel");
  }

  void SetChannel(int id, const std::string& assignments) {
    site.Sql("update Vantrel_Channel set " + assignments + " where d_id = " + std::to_string(id));
  }

  // A class of channel 1 under parent (0: top), with its pre-order path filled in.
  int AddClass(const std::string& name, int parent = 0, const std::string& dir = "",
               const std::string& more_columns = "", const std::string& more_values = "") {
    std::string parent_path =
        parent == 0 ? ""
                    : site.SqlValue("select d_path from Vantrel_ArticleClass where d_id = " +
                                    std::to_string(parent));
    site.Sql("insert into Vantrel_ArticleClass (d_channelid, d_pid, d_name, d_dir" + more_columns +
             ") values (1, " + std::to_string(parent) + ", " + Quote(name) + ", " + Quote(dir) +
             more_values + ")");
    int id = LastId("Vantrel_ArticleClass");
    site.Sql("update Vantrel_ArticleClass set d_path = " +
             Quote(parent_path + std::to_string(id) + ",") + " where d_id = " + std::to_string(id));
    return id;
  }

  int AddSubject(const std::string& name, const std::string& more_columns = "",
                 const std::string& more_values = "") {
    site.Sql("insert into Vantrel_ArticleSubject (d_channelid, d_name" + more_columns +
             ") values (1, " + Quote(name) + more_values + ")");
    return LastId("Vantrel_ArticleSubject");
  }

  // An approved, live article of channel 1; columns add to or override the defaults.
  int AddArticle(const std::string& title, const std::string& content,
                 const std::map<std::string, std::string>& columns = {}) {
    std::map<std::string, std::string> all = {
        {"d_channelid", "1"}, {"d_title", Quote(title)}, {"d_content", Quote(content)},
        {"d_checked", "-1"},  {"d_deleted", "0"},        {"d_addtime", "'2024-03-05 08:09:10'"}};
    for (const auto& [column, value] : columns) all[column] = value;
    Insert("Vantrel_Article", all);
    return LastId("Vantrel_Article");
  }

  // One row of column -> SQL value.
  void Insert(const std::string& table, const std::map<std::string, std::string>& row) {
    std::string names, values;
    for (const auto& [column, value] : row) {
      names += (names.empty() ? "" : ", ") + column;
      values += (values.empty() ? "" : ", ") + value;
    }
    site.Sql("insert into " + table + " (" + names + ") values (" + values + ")");
  }

  int LastId(const std::string& table) {
    return std::stoi(site.SqlValue("select max(d_id) from " + table));
  }

  // GET of the public page; the decoded text.
  std::string Page(const std::string& query) {
    HttpAnswer answer = site.Get("/asp.asp" + query);
    EXPECT_EQ(answer.status, 200) << query;
    return answer.text;
  }

  // Runs fn inside a public request of channel channel_id (database open, configuration and
  // channel loaded), in this process, through the real entry.
  void InRequest(const std::function<void(RequestState&)>& fn, int channel_id = 1,
                 const std::string& extra_query = "") {
    ModuleRegistry modules;
    modules.SetChannelLoader(InitChannel);
    modules.AddPublicHandler("ShowFirst", [&fn](RequestState& state, const auto&) {
      fn(state);
      return std::string();
    });
    runner_.NewRequest("/asp.asp?channelid=" + std::to_string(channel_id) + extra_query);
    runner_.Run(EntryKind::kPublic, modules);
  }

  std::string RunnerBody() { return runner_.response().body(); }
  PageRunner& runner() { return runner_; }

  TestSite site;

 private:
  PageRunner runner_;
};

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_SITE_PUBLIC_SITE_FIXTURE_H_
