// A real site for the tests of the interaction pages (announcements, related articles, clicks,
// comments, tell-a-friend, static article pages, JS snippet files): a TestSite served on
// 127.0.0.1, SQL helpers that add channels, classes, articles and template pages, and a way to
// run code inside one public request (database open, configuration and channel loaded by the
// real entry) to call a procedure and look at the request state afterwards.
#ifndef FOLIREX_TESTS_SITE_INTERACTION_SITE_H_
#define FOLIREX_TESTS_SITE_INTERACTION_SITE_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>

#include "core/modules.h"
#include "support/page_runner.h"
#include "platform/text/codepage.h"
#include "site/channel_loader.h"
#include "support/test_site.h"

namespace folirex::testing {

// The template set the interaction tests give their channels.
inline constexpr int kInteractionTemplateSet = 907;

// Text as an SQL string literal.
inline std::string SqlText(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

class InteractionSite {
 public:
  InteractionSite() : runner_(site) {
    site.Sql("update Vantrel_Channel set d_templateid = " +
             std::to_string(kInteractionTemplateSet) + " where d_id = 1");
  }

  // Gives the page type of the tests' template set this content; returns the page's id.
  int SetPage(const std::string& type, const std::string& content) {
    int id = AddTemplatePage(type, content);
    site.Sql("delete from Vantrel_TemplateAndPage where d_templateid = " +
             std::to_string(kInteractionTemplateSet) + " and d_type = " + SqlText(type));
    site.Sql(
        "insert into Vantrel_TemplateAndPage (d_channelid, d_templateid, d_pageid, d_type) "
        "values (1, " +
        std::to_string(kInteractionTemplateSet) + ", " + std::to_string(id) + ", " + SqlText(type) +
        ")");
    return id;
  }

  int AddTemplatePage(const std::string& type, const std::string& content) {
    site.Sql(
        "insert into Vantrel_TemplatePage (d_channelid, d_name, d_type, d_content, d_skinid) "
        "values (1, 'test', " +
        SqlText(type) + ", " + SqlText(content) + ", 1)");
    return LastId("Vantrel_TemplatePage");
  }

  // An internal channel using the tests' template set; columns add to the defaults.
  int AddChannel(const std::string& name, const std::string& dir,
                 const std::map<std::string, std::string>& columns = {}) {
    std::map<std::string, std::string> all = {
        {"d_channelname", SqlText(name)}, {"d_channeldir", SqlText(dir)},
        {"d_channeltype", "1"},           {"d_templateid", std::to_string(kInteractionTemplateSet)},
        {"d_projectname", "'文章'"},      {"d_projectunit", "'篇'"}};
    for (const auto& [column, value] : columns) all[column] = value;
    Insert("Vantrel_Channel", all);
    return LastId("Vantrel_Channel");
  }

  void SetChannel(int id, const std::string& assignments) {
    site.Sql("update Vantrel_Channel set " + assignments + " where d_id = " + std::to_string(id));
  }

  // A class of a channel; comments allowed and approval asked as given.
  int AddClass(const std::string& name, const std::string& dir, bool comments = true,
               bool needs_approval = false, int channel = 1) {
    Insert("Vantrel_ArticleClass", {{"d_channelid", std::to_string(channel)},
                                    {"d_name", SqlText(name)},
                                    {"d_dir", SqlText(dir)},
                                    {"d_commentflag", comments ? "-1" : "0"},
                                    {"d_commentcheckflag", needs_approval ? "-1" : "0"}});
    int id = LastId("Vantrel_ArticleClass");
    site.Sql("update Vantrel_ArticleClass set d_path = '" + std::to_string(id) +
             ",' where d_id = " + std::to_string(id));
    return id;
  }

  // An approved, live article of channel 1; columns add to or override the defaults.
  int AddArticle(const std::string& title, const std::string& content = "正文",
                 const std::map<std::string, std::string>& columns = {}) {
    std::map<std::string, std::string> all = {
        {"d_channelid", "1"}, {"d_title", SqlText(title)}, {"d_content", SqlText(content)},
        {"d_checked", "-1"},  {"d_deleted", "0"},          {"d_addtime", "'2024-03-05 08:09:10'"}};
    for (const auto& [column, value] : columns) all[column] = value;
    Insert("Vantrel_Article", all);
    return LastId("Vantrel_Article");
  }

  void Insert(const std::string& table, const std::map<std::string, std::string>& columns) {
    std::string names, values;
    for (const auto& [column, value] : columns) {
      names += (names.empty() ? "" : ", ") + column;
      values += (values.empty() ? "" : ", ") + value;
    }
    site.Sql("insert into " + table + " (" + names + ") values (" + values + ")");
  }

  int LastId(const std::string& table) {
    return std::stoi(site.SqlValue("select max(d_id) from " + table));
  }

  std::string Value(const std::string& sql) { return site.SqlValue(sql); }

  // Runs fn inside a public request of the channel (database open, configuration and channel
  // loaded) through the real entry; query adds request values ("&page=2"), form posts a body.
  void InRequest(const std::function<void(RequestState&)>& fn, int channel = 1,
                 const std::string& query = "", const std::string& form = "") {
    ModuleRegistry modules;
    modules.SetChannelLoader(InitChannel);
    modules.AddPublicHandler("ShowFirst", [&fn](RequestState& state, const auto&) {
      fn(state);
      return std::string();
    });
    runner_.NewRequest("/asp.asp?channelid=" + std::to_string(channel) + query, form);
    runner_.Run(EntryKind::kPublic, modules);
  }

  // What the request of InRequest wrote (an alert of AlertBack, for instance).
  std::string RequestBody() { return runner_.response().body(); }
  PageRunner& runner() { return runner_; }

  // GET of a public address through the host: the decoded text.
  std::string Get(const std::string& path_and_query) { return site.Get(path_and_query).text; }

  std::filesystem::path Disk(const std::string& relative) const { return site.root() / relative; }

  // A file of the site, decoded from code page 936; "" when missing.
  std::string FileText(const std::string& relative) const {
    std::ifstream in(Disk(relative), std::ios::binary);
    if (!in) return "";
    return GbkToUtf8(std::string(std::istreambuf_iterator<char>(in), {}));
  }

  TestSite site;

 private:
  PageRunner runner_;
};

// The number of times needle occurs in text.
inline int CountOf(const std::string& text, const std::string& needle) {
  int count = 0;
  for (size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
}

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_SITE_INTERACTION_SITE_H_
