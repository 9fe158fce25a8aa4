// The JS snippet file writer: each snippet type written into the channel's Js folder as the
// script body of the block's HTML, rewritten on each call, and the file names it refuses.
#include "publishing/js_snippet_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/site_files.h"
#include "platform/text/vb_text.h"
#include "site/article_list.h"
#include "site/article_list_sql.h"
#include "site/article_pic.h"
#include "site/interaction_text.h"
#include "site/navigation.h"
#include "support/site_fixture.h"

namespace folirex::testing {
namespace {

namespace stdfs = std::filesystem;

// Five newest articles of the current channel, titles whole, one column, newest first.
const char kListChip[] =
    "-1,0,false,0,5,false,false,,0,0,1,false,0,0,false,false,false,false,false,false,false,1";
const char kPicChip[] = "-1,0,false,0,4,false,false,0,10,10,2,120,90,1,false,1";

class JsSnippetWriterTest : public ::testing::Test {
 protected:
  JsSnippetWriterTest() {
    news_ = site_.Add(ChannelRow{.name = "新闻", .dir = "news", .generate_html = 0});
  }

  bool Write(const Variant& name, const Variant& parameters, const Variant& type,
             std::string* expected_html = nullptr, int channel = 0) {
    bool ok = false;
    site_.InRequest(
        [&](RequestState& state) {
          ok = CreateJsFile(state, state.channel, name, parameters, type);
          if (expected_html == nullptr) return;
          // The block as the list and navigation renderers draw it, in the same request.
          std::string t = type.ToString();
          if (t == "0") {
            *expected_html =
                RenderArticleList(state, Split(parameters.ToString(), ","),
                                  GetArticleListSql(state.db, state.channel, parameters, "",
                                                    std::nullopt, std::nullopt),
                                  "");
          } else if (t == "1") {
            *expected_html = ShowArticlePic(state, parameters, "", std::nullopt, std::nullopt);
          } else if (t == "3") {
            *expected_html = ShowClassNavi(state, state.channel, parameters);
          } else if (t == "5") {
            *expected_html = ShowSubjectNavi(state, state.channel, parameters);
          }
        },
        channel == 0 ? news_ : channel);
    return ok;
  }

  std::string File(const std::string& name) { return site_.FileText("news/Js/" + name); }

  SiteFixture site_;
  int news_ = 0;
};

TEST_F(JsSnippetWriterTest, ListsAndNavigationAreWrittenAsScriptBodies) {
  for (int i = 1; i <= 3; ++i) {
    site_.Add(ArticleRow{.title = "新闻标题" + std::to_string(i),
                         .content = "x",
                         .channel = news_,
                         .add_time = "2024-01-0" + std::to_string(i) + " 00:00:00"});
  }
  site_.Add(ClassRow{.name = "国内", .dir = "china", .channel = news_, .comments = true});
  site_.Add(SubjectRow{.name = "两会专题", .channel = news_});

  std::string html;
  EXPECT_TRUE(Write("latest.js", kListChip, "0", &html));
  EXPECT_NE(html.find("新闻标题3"), std::string::npos);
  EXPECT_EQ(File("latest.js"), HtmlToJsWrite(html));

  EXPECT_TRUE(Write("pictures.js", kPicChip, 1, &html));
  EXPECT_EQ(File("pictures.js"), HtmlToJsWrite(html));

  EXPECT_TRUE(Write("classes.js", "2", 3, &html));
  EXPECT_NE(html.find("国内"), std::string::npos);
  EXPECT_EQ(File("classes.js"), HtmlToJsWrite(html));

  // The subject pages' call.
  EXPECT_TRUE(Write("subjectlist.js", 1, 5, &html));
  EXPECT_NE(html.find("两会专题"), std::string::npos);
  EXPECT_EQ(File("subjectlist.js"), HtmlToJsWrite(html));
}

TEST_F(JsSnippetWriterTest, TheSearchFormPostsToTheChannelsSearch) {
  EXPECT_TRUE(Write("search.js", "", "2"));
  std::string file = File("search.js");
  EXPECT_EQ(
      file.rfind("document.write(\"<table border='0' cellpadding='0' cellspacing='0'>"
                 "<form action='asp.asp?m=search&channelid=" +
                     std::to_string(news_) + "' method=post><tr><td><select name='searchtype'",
                 0),
      0u)
      << file;
  EXPECT_NE(file.find("<option value=\\\"d_inputer\\\">录 入 者</option>"), std::string::npos)
      << file;
  EXPECT_NE(file.find("<option value=\\\"4\\\" selected>更新时间降序</option>"), std::string::npos);
  EXPECT_EQ(CountOf(file, " selected"), 1);
  EXPECT_NE(file.find("name='searchclass'"), std::string::npos);
  EXPECT_NE(file.find("value=' 搜索 '></td></tr></form></table>\");"), std::string::npos);
}

TEST_F(JsSnippetWriterTest, OtherTypesWriteAnEmptyFileAndEachCallRewritesIt) {
  EXPECT_TRUE(Write("nothing.js", "", "4"));
  EXPECT_TRUE(stdfs::exists(site_.Disk("news/Js/nothing.js")));
  EXPECT_EQ(stdfs::file_size(site_.Disk("news/Js/nothing.js")), 0u);
  EXPECT_TRUE(Write("other.js", "", "9"));
  EXPECT_EQ(stdfs::file_size(site_.Disk("news/Js/other.js")), 0u);
  EXPECT_TRUE(Write("empty-type.js", "3", ""));
  EXPECT_EQ(stdfs::file_size(site_.Disk("news/Js/empty-type.js")), 0u);

  // A definition saved again rewrites its file.
  EXPECT_TRUE(Write("nothing.js", "1", "5"));
  EXPECT_EQ(File("nothing.js"), "document.write(\"没有专题列表\");\r\n");

  // A list chip that fails its checks: what the list gives for it.
  std::string html;
  EXPECT_TRUE(Write("bad.js", "1,2,3", "0", &html));
  EXPECT_EQ(File("bad.js"), HtmlToJsWrite(html));
}

TEST_F(JsSnippetWriterTest, NamesThatReachOutsideTheJsFolderAreRefused) {
  for (const char* name : {"", "../escape.js", "..", "sub/a.js", "sub\\a.js", "a.js\r\n"}) {
    EXPECT_FALSE(Write(name, "", "4")) << name;
  }
  EXPECT_FALSE(stdfs::exists(site_.Disk("news/escape.js")));
  EXPECT_FALSE(stdfs::exists(site_.Disk("news/Js/sub")));

  // A channel without folder writes into the install folder's Js.
  site_.SetChannel(news_, "d_channeldir = ''");
  EXPECT_TRUE(Write("root.js", "", "4"));
  // The site's own js folder (made by init for the channel bar) is that folder: names are found
  // without regard to letter case.
  EXPECT_EQ(site_.Get("/Js/root.js").status, 200);
}

}  // namespace
}  // namespace folirex::testing
