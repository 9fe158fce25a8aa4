// The upload folder browser through the host: the grid paged by name, ticked files and whole
// folders deleted, the clean-up removing exactly the files no content row names, and every
// request that reaches outside the channel's upload folder refused with nothing changed.
#include <filesystem>
#include <fstream>
#include <string>

#include "design/design_site.h"

namespace folirex::testing {
namespace {

namespace fs = std::filesystem;

const std::string kPage = "/admin.asp?m=admin_uploadfile&channelid=";

class UploadFolderTest : public DesignConsoleTest {
 protected:
  void Touch(const std::string& relative, const std::string& bytes = "data") {
    fs::path path = site_.Disk(relative);
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }
  bool Exists(const std::string& relative) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(site_.Disk(relative), ec));
  }
  HttpAnswer CleanUp(int64_t channel) {
    return site_.Post(kPage + std::to_string(channel) + "&action=empty&flag=1", {});
  }
};

TEST_F(UploadFolderTest, GridPagedByNameAndFilesDeleted) {
  // Made in reverse order: the grid still shows them by name.
  for (int i = 44; i >= 0; --i) {
    Touch("Article/uploadfile/f" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".jpg",
          std::string(1536, 'x'));
  }
  Touch("Article/uploadfile/sub/one.jpg");
  Touch("Article/uploadfile/sub/Movie.SWF");
  fs::create_directories(site_.Disk("Article/uploadfile/ad"));

  std::string first = site_.Get(kPage + "1").text;
  EXPECT_TRUE(Contains(first, "当前位置：文章管理>>上传文件管理"));
  EXPECT_TRUE(Contains(first, "当前目录[Article/uploadfile/]下文件管理"));
  EXPECT_TRUE(Contains(first, "value='Article/uploadfile/f00.jpg'"));
  EXPECT_TRUE(Contains(first, "value='Article/uploadfile/f19.jpg'"));
  EXPECT_FALSE(Contains(first, "f20.jpg"));
  EXPECT_LT(first.find("f00.jpg"), first.find("f01.jpg"));
  EXPECT_TRUE(Contains(first, "文件大小：1.5KB"));
  EXPECT_TRUE(Contains(first, "共<b>45</b>个"));
  EXPECT_TRUE(Contains(first, "<option value='ad/'"));
  EXPECT_TRUE(Contains(first, "<option value='sub/'"));
  std::string third = site_.Get(kPage + "1&page=3").text;
  EXPECT_TRUE(Contains(third, "f40.jpg"));
  EXPECT_TRUE(Contains(third, "f44.jpg"));
  EXPECT_FALSE(Contains(third, "f39.jpg"));
  EXPECT_EQ(CountOf(third, "<td>&nbsp;</td>"), 3);
  EXPECT_TRUE(Contains(third, "<span class=highlight2>3</span>/3"));
  EXPECT_TRUE(Contains(third, "下一页 尾页"));
  for (const char* page : {"4", "0"}) {
    EXPECT_TRUE(
        Contains(site_.Get(kPage + "1&page=" + page).text, "<span class=highlight2>1</span>/3"));
  }
  std::string sub = site_.Get(kPage + "1&dir=Article/uploadfile/sub/&d_seldir=sub/").text;
  EXPECT_TRUE(Contains(sub, "<option value='sub/' data-href="));
  EXPECT_TRUE(Contains(sub, "' selected>sub</option>"));
  EXPECT_TRUE(Contains(sub, "application/x-shockwave-flash"));
  EXPECT_TRUE(Contains(sub, "<img src='article/uploadfile/sub/one.jpg'"));

  HttpAnswer deleted =
      site_.Post(kPage + "1&action=delone",
                 {{"selectdel", "Article/uploadfile/f01.jpg"},
                  {"selectdel", "article/uploadfile/F02.jpg"},
                  {"selectdel", "Article/uploadfile/f03.jpg, Article/uploadfile/f44.jpg"},
                  {"currdir", "Article/uploadfile/"}});
  EXPECT_TRUE(Contains(deleted.text, "删除文件成功！")) << deleted.text;
  for (const char* gone : {"f01", "f02", "f03", "f44"}) {
    EXPECT_FALSE(Exists("Article/uploadfile/" + std::string(gone) + ".jpg")) << gone;
  }
  EXPECT_TRUE(Exists("Article/uploadfile/f04.jpg"));
  EXPECT_TRUE(
      Contains(site_.Post(kPage + "1&action=delall", {{"currdir", "article/uploadfile/sub/"}}).text,
               "清空文件成功！"));
  EXPECT_FALSE(Exists("Article/uploadfile/sub/one.jpg"));
  EXPECT_TRUE(Exists("Article/uploadfile/sub"));
  EXPECT_TRUE(Exists("Article/uploadfile/f00.jpg"));
  EXPECT_TRUE(
      Contains(site_.Get(kPage + "1&dir=article/uploadfile/sub/").text, "本目录下没有上传文件"));
}

// A new site has no upload folder until the first upload: its list is empty, not an error.
TEST_F(UploadFolderTest, AMissingUploadFolderIsAnEmptyList) {
  ASSERT_FALSE(Exists("Article/uploadfile"));
  for (const std::string& query : {std::string(""), std::string("&dir=article/uploadfile/new/")}) {
    std::string page = site_.Get(kPage + "1" + query).text;
    EXPECT_FALSE(Contains(page, "无效的目录")) << query;
    EXPECT_TRUE(Contains(page, "本目录下没有上传文件")) << query;
  }
  EXPECT_FALSE(Exists("Article/uploadfile")) << "listing makes no folder";
}

TEST_F(UploadFolderTest, TraversalProbesAreRefusedAndChangeNothing) {
  Touch("Article/uploadfile/in.jpg");
  Touch("secret.jpg");
  Touch("Article/other/x.jpg");
  Touch("outside/y.jpg");
  fs::create_directory_symlink(site_.Disk("outside"), site_.Disk("Article/uploadfile/link"));
  fs::create_symlink(site_.Disk("secret.jpg"), site_.Disk("Article/uploadfile/evil.jpg"));

  for (const char* dir :
       {"article/uploadfile/../", "article/uploadfile/../../", "/", "article/uploadfile/link/",
        "article/other/", "./", "article/nosuch/", "article/uploadfile/../nosuch/"}) {
    std::string page = site_.Get(kPage + "1&dir=" + dir).text;
    EXPECT_EQ(AlertText(page), "无效的目录") << dir;
    EXPECT_FALSE(Contains(page, "name='selectdel'")) << dir;
  }
  // The listing shows plain files only, never a link.
  std::string root = site_.Get(kPage + "1").text;
  EXPECT_TRUE(Contains(root, "in.jpg"));
  EXPECT_FALSE(Contains(root, "evil.jpg"));

  for (const char* file :
       {"article/uploadfile/../../secret.jpg", "article/uploadfile/../other/x.jpg",
        "article/uploadfile/link/y.jpg", "/secret.jpg", "secret.jpg", "article/uploadfile/..",
        "article/uploadfile/link", "article/uploadfile/link/",
        "article/uploadfile/in.jpg, article/other/x.jpg"}) {
    EXPECT_EQ(Refusal(site_.Post(kPage + "1&action=delone", {{"selectdel", file}})),
              "提示：参数错误！")
        << file;
  }
  for (const char* dir :
       {"article/other/", "article/uploadfile/link/", "article/uploadfile/../", "/", "article/"}) {
    EXPECT_EQ(Refusal(site_.Post(kPage + "1&action=delall", {{"currdir", dir}})),
              "提示：参数错误！")
        << dir;
  }
  EXPECT_EQ(Refusal(site_.Post(kPage + "1&action=delall", {})), "提示：参数错误！");
  // Plain addresses change nothing either.
  EXPECT_EQ(Refusal(site_.Get(kPage + "1&action=delone&selectdel=article/uploadfile/in.jpg")),
            "提示：参数错误！");
  EXPECT_EQ(Refusal(site_.Get(kPage + "1&action=delall&currdir=article/uploadfile/")),
            "提示：参数错误！");
  EXPECT_EQ(Refusal(site_.Get(kPage + "1&action=empty&flag=1")), "提示：参数错误！");
  for (const char* file : {"secret.jpg", "Article/other/x.jpg", "outside/y.jpg",
                           "Article/uploadfile/in.jpg", "Article/uploadfile/evil.jpg"}) {
    EXPECT_TRUE(Exists(file)) << file;
  }

  // The clean-up follows no link: the linked folder's files and the link's target stay.
  EXPECT_TRUE(Contains(CleanUp(1).text, "总共清理<font color=red>1</font>文件"));
  EXPECT_FALSE(Exists("Article/uploadfile/in.jpg"));
  for (const char* file : {"secret.jpg", "outside/y.jpg", "Article/uploadfile/evil.jpg"}) {
    EXPECT_TRUE(Exists(file)) << file;
  }
  // Deleting a ticked link deletes the link, not what it names.
  EXPECT_TRUE(Contains(
      site_.Post(kPage + "1&action=delone", {{"selectdel", "article/uploadfile/evil.jpg"}}).text,
      "删除文件成功！"));
  EXPECT_FALSE(Exists("Article/uploadfile/evil.jpg"));
  EXPECT_TRUE(Exists("secret.jpg"));

  // The channel and its folders must be what they claim.
  EXPECT_EQ(Refusal(site_.Get(kPage + "1%20or%201=1")), "提示：参数错误，请返回！");
  EXPECT_EQ(Refusal(site_.Get(kPage + "999")), "提示：请先设置频道信息！");
  site_.SetChannel(1, "d_uploaddir = '../data'");
  EXPECT_EQ(Refusal(CleanUp(1)), "提示：频道的上传目录设置不正确！");
  EXPECT_TRUE(Exists("data/site.db"));
}

TEST_F(UploadFolderTest, CleanUpRemovesExactlyTheFilesNoRowNames) {
  int64_t news = site_.Add(ChannelRow{.name = "新闻", .dir = "news", .upload_dir = "pic"});
  int64_t anews = site_.Add(ChannelRow{.name = "甲新闻", .dir = "anews", .upload_dir = "pic"});
  for (const char* file :
       {"a.jpg", "B.jpg", "c&d.jpg", "it's.jpg", "kept.jpg", "x.jpg", "sub/e.jpg", "sub/y.jpg",
        "AD/z.jpg", "sub/deeper/w.jpg", "inline.jpg"}) {
    Touch("news/pic/" + std::string(file));
  }
  // A picture that only an article's text shows.
  site_.Add(ArticleRow{.content = "<p><img src=\"/news/pic/inline.jpg\"></p>", .channel = news});
  // Editor uploads, a front-page picture of a recycled article (stored in other letter case),
  // encoded addresses, another channel's row, and the folder of a channel whose name ends in
  // this one's.
  site_.Add(ArticleRow{.channel = news, .pic_url = "/news/pic/c&amp;d.jpg"});
  site_.Exec("update Vantrel_Article set d_uploadfiles = ? where d_id = ?",
             {"news/pic/a.jpg|news/pic/it's.jpg", site_.Number("select max(d_id) from "
                                                               "Vantrel_Article")});
  site_.Add(ArticleRow{.channel = news, .deleted = true, .pic_url = "/News/Pic/b.JPG"});
  site_.Add(ArticleRow{.channel = 1, .pic_url = "/news/pic/sub/e.jpg"});
  site_.Add(ArticleRow{.channel = anews, .pic_url = "/anews/pic/kept.jpg"});

  std::string ask = site_.Get(kPage + std::to_string(news) + "&action=empty").text;
  EXPECT_TRUE(Contains(ask, "智能清理无用的上传文件"));
  EXPECT_TRUE(Exists("news/pic/x.jpg"));

  HttpAnswer done = CleanUp(news);
  EXPECT_TRUE(Contains(done.text, "清理无用文件成功！总共清理<font color=red>2</font>文件！"))
      << done.text;
  EXPECT_FALSE(Exists("news/pic/x.jpg"));
  EXPECT_FALSE(Exists("news/pic/sub/y.jpg"));
  for (const char* file : {"a.jpg", "B.jpg", "c&d.jpg", "it's.jpg", "kept.jpg", "sub/e.jpg",
                           "AD/z.jpg", "sub/deeper/w.jpg", "inline.jpg"}) {
    EXPECT_TRUE(Exists("news/pic/" + std::string(file))) << file;
  }
  EXPECT_TRUE(Contains(CleanUp(news).text, "总共清理<font color=red>0</font>文件！"));

  // A channel without folder searches the address from the install folder.
  int64_t bare = site_.Add(ChannelRow{.name = "无目录", .dir = "", .upload_dir = "bare"});
  Touch("bare/p.jpg");
  Touch("bare/q.jpg");
  site_.Add(ArticleRow{.channel = bare, .pic_url = "/bare/p.jpg"});
  EXPECT_TRUE(Contains(CleanUp(bare).text, "总共清理<font color=red>1</font>文件！"));
  EXPECT_TRUE(Exists("bare/p.jpg"));
  EXPECT_FALSE(Exists("bare/q.jpg"));

  // A module type with no content table is refused.
  site_.SetChannel(news, "d_moduletype = 3");
  Touch("news/pic/unused.jpg");
  EXPECT_EQ(Refusal(CleanUp(news)), "提示：本频道的模块没有存放上传文件的内容表，不能清理！");
  EXPECT_TRUE(Exists("news/pic/unused.jpg"));
}

}  // namespace
}  // namespace folirex::testing
