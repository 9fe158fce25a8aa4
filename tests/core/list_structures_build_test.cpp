// The lists' indexes and the related-articles index of a site whose articles were there before
// them, built after the server listens: the site answers at once, its pages are those of a built
// site while the build is stopped midway and after it, the console's server page says how far it
// is, and once built the lists read the index.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "core/database.h"
#include "core/list_structures.h"
#include "core/request_state.h"
#include "core/search_index.h"
#include "core/site_server.h"
#include "platform/host/server.h"
#include "support/test_site.h"

namespace folirex::testing {
namespace {

int64_t Rows(const std::string& page) {
  int64_t n = 0;
  for (size_t at = page.find("name='selectdel'"); at != std::string::npos;
       at = page.find("name='selectdel'", at + 1)) {
    ++n;
  }
  return n;
}

TEST(ListStructuresBuildTest, AnOlderSiteAnswersAtOnceWithTheRowsOfABuiltSite) {
  TestSite site(/*start=*/false);
  // More articles than a site is given the indexes at once for, there before its first start:
  // times out of the order of the ids and some tied, a fifth awaiting approval.
  site.Sql(
      "insert into Vantrel_Article (d_channelid, d_title, d_author, d_content, d_keyword, "
      "d_addtime, d_checked) with recursive n(i) as (select 1 union all select i + 1 from n where "
      "i < 2100) select 1, '文章' || i, '作者' || (i % 7), 'x', '|k' || (i % 9) || '|', "
      "datetime('2020-01-01', '+' || ((i * 37) % 1500) || ' minutes'), i % 5 <> 0 from n");
  site.Sql("drop index idx_article_related");
  const std::string indexes =
      "select count(*) from sqlite_schema where name in ('idx_article_related', '" +
      std::string(kArticleTimeOrderIndex) + "')";
  std::string error;
  ASSERT_TRUE(PrepareListStructures(site.root(), site.settings(), nullptr, &error)) << error;
  // Nothing long was made before the server listens.
  EXPECT_EQ(site.SqlValue(indexes), "0");
  site.Start();
  ASSERT_EQ(site.Post("/admin.asp?m=admin_login&action=check",
                      {{"usercode", site.admin_name()}, {"password", site.admin_password()}})
                .status,
            302);
  auto pages = [&site] {
    std::vector<std::string> texts;
    for (const char* path : {"/admin.asp?m=admin_article&channelid=1",
                             "/admin.asp?m=admin_article&channelid=1&page=60",
                             "/admin.asp?m=admin_article&channelid=1&qcheckstate=false&page=7"}) {
      const HttpAnswer answer = site.Get(path);
      EXPECT_EQ(answer.status, 200) << path;
      EXPECT_EQ(Rows(answer.text), 20) << path << answer.text;
      texts.push_back(answer.text);
    }
    const HttpAnswer titled =
        site.Post("/admin.asp?m=admin_article&channelid=1&page=2", {{"qtitle", "文章1"}});
    EXPECT_EQ(Rows(titled.text), 20) << titled.text;
    texts.push_back(titled.text);
    return texts;
  };
  auto row = [&site] {
    const std::string page = site.Get("/admin.asp?m=admin_servercheck").text;
    const std::string head = "列表索引</td><td>&nbsp;";
    const size_t at = page.find(head);
    return at == std::string::npos
               ? page
               : page.substr(at + head.size(), page.find('<', at + head.size()) - at - head.size());
  };
  const std::vector<std::string> before = pages();
  EXPECT_EQ(row(), "正在后台建立，已完成 0%（其间列表照常，只是较慢）");

  Server server(site.root(), "/");
  RequestState state;
  state.host.Server = &server;
  state.db.DbType = site.settings().DbType;
  state.db.DBPath = site.settings().DBPath;
  ASSERT_TRUE(TryOpenDatabase(state.db, state.host));
  Connection& builder = *state.db.Conn;
  std::atomic<bool> stop{false};
  EXPECT_FALSE(BuildListStructures(
      builder, nullptr,
      {.on_progress = [&](const ListStructuresProgress&) { stop = true; }, .stop = &stop}));
  EXPECT_EQ(site.SqlValue(indexes), "1");
  EXPECT_FALSE(ListStructuresReady(builder, nullptr));
  EXPECT_EQ(ArticleHintInTimeOrder(builder, nullptr), "");
  EXPECT_EQ(row(), "正在后台建立，已完成 50%（其间列表照常，只是较慢）");
  EXPECT_EQ(pages(), before);

  // The next build goes on from there.
  ASSERT_TRUE(BuildListStructures(builder, nullptr));
  EXPECT_EQ(site.SqlValue(indexes), "2");
  EXPECT_EQ(row(), "已建立");
  EXPECT_EQ(ArticleHintInTimeOrder(builder, nullptr),
            "indexed by " + std::string(kArticleTimeOrderIndex));
  EXPECT_EQ(pages(), before);
  CloseDatabase(state.db);
}

}  // namespace
}  // namespace folirex::testing
