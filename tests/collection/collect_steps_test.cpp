// The list and content steps against a local "other site": links logged once, articles stored
// with their pictures and the channel counters, duplicates refused, failures marked, and the
// limits of what a remote page can make the server fetch.
#include "collection/collect_steps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "collect_test_site.h"
#include "core/text_helpers.h"
#include "platform/host/response.h"
#include "platform/text/vb_text.h"

namespace folirex::testing {
namespace {

class CollectStepsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.state.host.Response = &response_;
    site_.state.host.Session->Set("User_Code", Variant("admin"));
    site_.UseChannel(1);
    project_ = AddProject(site_, remote_);
    run_.limits.timeout_seconds = 2;
    run_.limits.connect_timeout_seconds = 2;
    // The other site listens on loopback, which the steps reach only when it is opened.
    EXPECT_TRUE(run_.limits.allow_networks.Parse("127.0.0.1", nullptr));
  }

  int64_t Log(const std::string& path, int64_t project = 0) {
    site_.Exec("insert into Vantrel_CollectLog (d_projectid, d_channelid, d_url) values (?, 1, ?)",
               {Variant(project ? project : project_), Variant(remote_.Url(path))});
    return site_.Number("select max(d_id) from Vantrel_CollectLog");
  }
  std::string Content(int64_t log, const std::string& dataflag = "",
                      const std::string& doflag = "") {
    return ArticleCollect_GetContent(site_.state, run_, log, dataflag, doflag);
  }
  int64_t Flag(int64_t log) {
    return site_.Number("select d_flag from Vantrel_CollectLog where d_id = " +
                        std::to_string(log));
  }
  std::string Counters() {
    return site_.SqlValue("select d_itemcount from Vantrel_Channel where d_id = 1") + "/" +
           site_.SqlValue("select d_itemcountchecked from Vantrel_Channel where d_id = 1");
  }
  std::string FileBytes(const std::string& site_path) {
    std::ifstream in(site_.Disk(site_path.substr(1)), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }

  SiteFixture site_;
  RemoteSite remote_;
  Response response_;
  CollectRun run_;
  int64_t project_ = 0;
};

TEST_F(CollectStepsTest, ListStepLogsNewLinksOnceInPageOrder) {
  std::string first = ArticleCollect_GetList(site_.state, run_, project_, 1);
  std::vector<std::string> ids = Split(first.substr(first.find('|') + 1), ",");
  ASSERT_EQ(first.substr(0, first.find('|')), "成功") << first;
  ASSERT_EQ(ids.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(site_.SqlValue("select d_url from Vantrel_CollectLog where d_id = " + ids[i]),
              remote_.Url("/art/" + std::to_string(i + 1) + ".htm"));
  }
  EXPECT_EQ(site_.SqlValue("select d_pagenext from Vantrel_CollectLog where d_id = " + ids[0]),
            "-1");
  // The first link is known now: nothing more is logged.
  EXPECT_EQ(ArticleCollect_GetList(site_.state, run_, project_, 1), "完成|");
  // A known third link stops the scan after logging the two before it.
  site_.Exec("delete from Vantrel_CollectLog where d_id in (" + ids[0] + "," + ids[1] + ")");
  std::string again = ArticleCollect_GetList(site_.state, run_, project_, 1);
  EXPECT_EQ(Split(again, "|")[0], "完成");
  EXPECT_EQ(Split(Split(again, "|")[1], ",").size(), 2u);
  EXPECT_EQ(Split(ArticleCollect_GetList(site_.state, run_, project_, 2), "|")[0], "成功");
  EXPECT_EQ(ArticleCollect_GetList(site_.state, run_, project_, 3), "未找到列表页头关键字");
  EXPECT_EQ(ArticleCollect_GetList(site_.state, run_, project_, 9), "未找到列表页头关键字");
  site_.Exec("update Vantrel_CollectProject set D_PageFooter = '<!--END-->'");
  EXPECT_EQ(ArticleCollect_GetList(site_.state, run_, project_, 1), "未找到列表页尾关键字");
  // A project of another channel, or none, is not run for this one.
  int64_t foreign = AddProject(site_, remote_, 1, 2);
  EXPECT_EQ(ArticleCollect_GetList(site_.state, run_, foreign, 1), "失败或页面不存在");
  site_.Exec("update Vantrel_CollectProject set D_IDUrl = '(art', D_PageFooter = '<!--/list-->'");
  EXPECT_EQ(ArticleCollect_GetList(site_.state, run_, project_, 1), "失败");
}

TEST_F(CollectStepsTest, ContentStepStoresCleanedArticleWithLocalPictures) {
  site_.Exec(
      "update Vantrel_CollectProject set D_Header = '<div id=body>', D_Author1 = "
      "'<span class=au>', D_Author2 = '</span>'");
  int64_t log = Log("/art/1.htm");
  run_.draw = [] { return 555; };
  // The last second of a month: the picture folder is named by the run's clock alone.
  const DateTime run_time{2026, 1, 31, 23, 59, 59};
  remote_.clock()->SetLocal(run_time);
  run_.clock = remote_.clock();
  ASSERT_EQ(Content(log), "成功：新增");
  int64_t article =
      site_.Number("select d_fileid from Vantrel_CollectLog where d_id = " + std::to_string(log));
  std::string where = " from Vantrel_Article where d_id = " + std::to_string(article);
  EXPECT_EQ(site_.SqlValue("select d_title" + where), "春季运动会");
  EXPECT_EQ(site_.SqlValue("select d_author" + where), "张三");
  EXPECT_EQ(site_.SqlValue("select d_inputer" + where), "admin");
  EXPECT_EQ(site_.SqlValue("select d_channelid" + where), "1");
  EXPECT_EQ(Flag(log), 1);
  EXPECT_EQ(Counters(), "1/1");

  // a.jpg (written twice, once by another address of the same picture in other letter case)
  // is fetched once; b.gif too; the PNG stays remote. Names never collide: the second picture
  // of the same second draws again.
  std::string content = site_.SqlValue("select d_content" + where);
  std::string uploads = site_.SqlValue("select d_uploadfiles" + where);
  std::vector<std::string> files = Split(uploads, "|");
  ASSERT_EQ(files.size(), 2u) << uploads;
  EXPECT_EQ(remote_.picture_requests(), 1);
  std::string folder = "/Article/uploadfile/" + FormatDate(Variant(run_time), Variant(11));
  EXPECT_TRUE(files[0].starts_with(folder + "/")) << files[0];
  EXPECT_TRUE(files[1].ends_with("555.jpg")) << files[1];
  EXPECT_NE(files[0], files[1]);
  EXPECT_EQ(FileBytes(files[1]), Picture(1000, 'a'));
  EXPECT_EQ(FileBytes(files[0]), Picture(2000, 'b'));
  EXPECT_EQ(site_.SqlValue("select d_picurl" + where), files[0]);
  EXPECT_EQ(site_.SqlValue("select d_titleprefix" + where), "1");
  EXPECT_NE(content.find("<img src=\"" + files[1] + "\">"), std::string::npos) << content;
  EXPECT_NE(content.find("<img src=\"" + files[0] + "\">"), std::string::npos) << content;
  EXPECT_NE(content.find("/img/c.png"), std::string::npos) << content;
  for (const char* bad : {"script", "SCRIPT", "steal", "onclick", "onerror", "javascript"}) {
    EXPECT_EQ(content.find(bad), std::string::npos) << bad << " in " << content;
  }

  // The same title again, from another page: refused, nothing stored, counters kept.
  int64_t dup = Log("/art/dup.htm");
  EXPECT_EQ(Content(dup), "成功：标题重复");
  EXPECT_EQ(Flag(dup), 2);
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_Article where d_title = '春季运动会'"), 1);
  EXPECT_EQ(Counters(), "1/1");
  // Fetched again by hand ("select"): the article is overwritten, the counters kept.
  EXPECT_EQ(Content(log, "select", "0"), "成功：重获取");
  EXPECT_EQ(site_.SqlValue("select d_content" + where).find("<img"), std::string::npos);
  EXPECT_EQ(Counters(), "1/1");
}

// Refused after its pictures were copied (a title already there, an empty title, its own
// article's title when a collected row runs again), a content step leaves none of them behind;
// the collected row keeps its article.
TEST_F(CollectStepsTest, RefusedArticlesLeaveNoPicturesAndCollectedRowsKeepTheirArticle) {
  auto files = [this] {
    std::vector<std::string> found;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(site_.Disk("Article/uploadfile"))) {
      if (entry.is_regular_file()) found.push_back(entry.path().string());
    }
    std::sort(found.begin(), found.end());
    return found;
  };
  auto file_id = [this](int64_t log) {
    return site_.Number("select d_fileid from Vantrel_CollectLog where d_id = " +
                        std::to_string(log));
  };
  int64_t log = Log("/art/1.htm");
  ASSERT_EQ(Content(log), "成功：新增");
  const int64_t article = file_id(log);
  const std::vector<std::string> named = files();
  ASSERT_EQ(named.size(), 2u);

  EXPECT_EQ(Content(Log("/art/dup_pictures.htm")), "成功：标题重复");
  EXPECT_EQ(Content(Log("/art/untitled.htm")), "标题或内容为空");
  EXPECT_EQ(Content(log), "成功：标题重复");
  EXPECT_EQ(remote_.picture_requests(), 4) << "each step copied its pictures";
  EXPECT_EQ(files(), named);
  EXPECT_EQ(file_id(log), article);
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_Article"), 1);
}

TEST_F(CollectStepsTest, DeclaredUtf8PagesRedirectsAndFurtherPages) {
  EXPECT_EQ(Content(Log("/art/utf8.htm")), "成功：新增");
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_Article where d_title = 'UTF八标题'"), 1);
  EXPECT_EQ(Content(Log("/art/moved.htm")), "成功：新增");
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_Article where d_title = '第三篇'"), 1);

  // The first page logs pages 3 and 2 (in that order) and hands them to the batch page.
  int64_t first = Log("/art/paged.htm");
  EXPECT_EQ(Content(first), "成功：新增");
  int64_t page3 = site_.Number("select d_id from Vantrel_CollectLog where d_pagenext = 3");
  int64_t page2 = site_.Number("select d_id from Vantrel_CollectLog where d_pagenext = 2");
  EXPECT_LT(page3, page2);
  EXPECT_NE(response_.body().find("parent.addDataID2('" + std::to_string(page3) + "," +
                                  std::to_string(page2) + "', '');"),
            std::string::npos)
      << response_.body();
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_Article where d_title = '分页文章(1)'"), 1);
  // Read again: no further pages looked for a second time.
  EXPECT_EQ(Content(first, "select"), "成功：重获取");
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_CollectLog where d_pagenext >= 2"), 2);
}

TEST_F(CollectStepsTest, FailuresAreMarkedAndStoreNothing) {
  int64_t nomark = Log("/art/nomark.htm");
  EXPECT_EQ(Content(nomark), "未找到内容页头关键字");
  EXPECT_EQ(Flag(nomark), 3);
  EXPECT_EQ(Content(Log("/art/missing.htm")), "未找到内容页头关键字");  // a 404 page is a page
  EXPECT_EQ(Content(Log("/art/slow.htm")), "远程获取失败");
  int64_t huge = Log("/art/huge.htm");
  EXPECT_EQ(Content(huge), "远程获取失败");
  EXPECT_EQ(site_.SqlValue("select d_pagenext from Vantrel_CollectLog where d_id = " +
                           std::to_string(huge)),
            "-1");

  // A store the database refuses: reported, marked, and the counters left alone.
  site_.Sql(
      "create trigger refuse_articles before insert on Vantrel_Article begin "
      "select raise(abort, 'refused'); end");
  int64_t refused = Log("/art/2.htm");
  EXPECT_EQ(Content(refused), "失败");
  EXPECT_EQ(Flag(refused), 3);
  EXPECT_EQ(site_.Number("select d_fileid from Vantrel_CollectLog where d_id = " +
                         std::to_string(refused)),
            0);
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_Article where d_title = '第二篇'"), 0);
  EXPECT_EQ(Counters(), "0/0");
}

TEST_F(CollectStepsTest, PicturesAreCappedAtExactly5120000Bytes) {
  EXPECT_EQ(Content(Log("/art/sizes.htm")), "成功：新增");
  std::string uploads =
      site_.SqlValue("select d_uploadfiles from Vantrel_Article where d_title = '图片大小'");
  std::vector<std::string> files = Split(uploads, "|");
  ASSERT_EQ(files.size(), 1u) << uploads;
  EXPECT_EQ(FileBytes(files[0]).size(), 5120000u);
  EXPECT_NE(site_.SqlValue("select d_content from Vantrel_Article where d_title = '图片大小'")
                .find("/img/over.jpg"),
            std::string::npos);
}

TEST_F(CollectStepsTest, LocalAddressesAreReachedOnlyInOpenNetworks) {
  // Nothing opened: neither a logged link nor the list address of a project on this machine is
  // fetched (a list address on this machine no longer opens it). The answers name the refused
  // address and the setting; the error output tells of the project once in the run.
  ::testing::internal::CaptureStderr();
  run_.limits.allow_networks = NetworkList();
  int64_t log = Log("/art/1.htm");
  EXPECT_EQ(Content(log), "远程获取失败：" + RefusalText("127.0.0.1"));
  EXPECT_EQ(Flag(log), 3);
  EXPECT_EQ(ArticleCollect_GetList(site_.state, run_, project_, 1),
            "失败：" + RefusalText("127.0.0.1"));
  ASSERT_TRUE(run_.limits.allow_networks.Parse("10.0.0.0/8, fd00::/8", nullptr));
  EXPECT_EQ(Content(log), "远程获取失败：" + RefusalText("127.0.0.1"));
  EXPECT_EQ(remote_.picture_requests(), 0);
  EXPECT_EQ(Counters(), "0/0");
  std::vector<std::string> lines = RefusalLogLines(::testing::internal::GetCapturedStderr());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("project " + std::to_string(project_) + " \"运动会项目\""),
            std::string::npos)
      << lines[0];
  EXPECT_NE(lines[0].find(" 127.0.0.1 "), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("CollectAllowNetworks"), std::string::npos) << lines[0];

  // Opened: the page is stored, but its picture on a loopback address outside the open network
  // is not fetched, keeps its address and is named in the answer; a new run tells of the
  // project again.
  ::testing::internal::CaptureStderr();
  ArticleCollect_BeginRun(site_.state);
  ASSERT_TRUE(run_.limits.allow_networks.Parse("127.0.0.1", nullptr));
  EXPECT_EQ(Content(Log("/art/elsewhere.htm")),
            "成功：新增(1个图片未获取：" + RefusalText("127.0.0.2") + ")");
  lines = RefusalLogLines(::testing::internal::GetCapturedStderr());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(" 127.0.0.2 "), std::string::npos) << lines[0];
  EXPECT_EQ(remote_.picture_requests(), 0);
  std::string content =
      site_.SqlValue("select d_content from Vantrel_Article where d_title = '别处图片'");
  EXPECT_NE(content.find("http://127.0.0.2:"), std::string::npos) << content;
  EXPECT_EQ(site_.SqlValue("select d_uploadfiles from Vantrel_Article where d_title = '别处图片'"),
            "");
}

TEST_F(CollectStepsTest, PicturesStopAtTheStepsDeadlineAndAtTheCap) {
  // Each picture takes ten seconds of the clock: six fit in the step's 60 seconds, the other
  // four are skipped, keep their remote address and are counted in the answer.
  run_.clock = remote_.clock();
  EXPECT_EQ(Content(Log("/art/ten.htm")), "成功：新增(跳过4个图片)");
  auto uploads = [this] {
    return Split(site_.SqlValue("select d_uploadfiles from Vantrel_Article where d_title like "
                                "'十张图片%' order by d_id desc"),
                 "|");
  };
  EXPECT_EQ(uploads().size(), 6u);
  std::string content = site_.SqlValue(
      "select d_content from Vantrel_Article where d_title = '十张图片' order by d_id desc");
  EXPECT_NE(content.find("\"/img/tick7.jpg\""), std::string::npos) << content;
  EXPECT_EQ(content.find("/img/tick6.jpg"), std::string::npos) << content;

  // With time to spare, at most max_images pictures are fetched.
  run_.limits.max_images = 3;
  EXPECT_EQ(Content(Log("/art/ten.htm"), "select"), "成功：手动新增(跳过7个图片)");
  EXPECT_EQ(uploads().size(), 3u);
}

}  // namespace
}  // namespace folirex::testing
