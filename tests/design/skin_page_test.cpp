// Skins through the host: added, edited and deleted with their stylesheet files under the
// channel's (or the site's) Skin folder, the public page linking the file it names, a file that
// cannot be written reported, and the refusals that change nothing.
#include <filesystem>
#include <string>

#include "design/design_site.h"

namespace folirex::testing {
namespace {

const std::string kPage = "/admin.asp?m=admin_skin&channelid=";
const std::string kCss = "/* 蓝色风格 \"quoted\" 'single' */\r\nbody { color: #00f; }\r\n";

class SkinTest : public DesignConsoleTest {
 protected:
  HttpAnswer Save(int channel, const std::string& name, const std::string& content) {
    return site_.Post(kPage + std::to_string(channel) + "&action=save",
                      {{"d_name", name}, {"d_content", content}});
  }
  HttpAnswer Update(int channel, int64_t id, const std::string& name, const std::string& content) {
    return site_.Post(kPage + std::to_string(channel) + "&action=update&id=" + std::to_string(id),
                      {{"d_name", name}, {"d_content", content}});
  }
  HttpAnswer Delete(int channel, const std::string& checked) {
    return site_.Post(kPage + std::to_string(channel) + "&action=del", {{"checkid", checked}});
  }
  int64_t LastSkin() { return site_.Number("select max(d_id) from Vantrel_Skin"); }
  int64_t Skins() { return Count("select count(*) from Vantrel_Skin"); }
};

TEST_F(SkinTest, AddedEditedAndDeletedWithTheirFiles) {
  std::string list = site_.Get(kPage + "1").text;
  EXPECT_TRUE(Contains(list, "当前位置：文章管理>>风格管理"));
  EXPECT_TRUE(Contains(list, "name='checkid' value='1' disabled>"));
  // The link bar keeps this page's own separator and line break.
  EXPECT_TRUE(Contains(list,
                       "[<a href='?m=admin_skin&amp;channelid=1'>所有页</a>] | "
                       "[<a href='?m=admin_skin&amp;channelid=1&amp;action=add'>新增风格</a>]"
                       "</td></tr></table><br>\r\n"));

  HttpAnswer saved = Save(1, " 蓝色 \"风格\" <b>", kCss);
  EXPECT_TRUE(Contains(saved.text, "<b>新增操作成功！</b>")) << saved.text;
  int64_t blue = LastSkin();
  std::string file = "Article/Skin/" + std::to_string(blue) + ".css";
  EXPECT_EQ(site_.FileText(file), kCss);
  EXPECT_EQ(site_.SqlValue("select d_name || '|' || d_channelid || '|' || d_sysflag from "
                           "Vantrel_Skin where d_id = " +
                           std::to_string(blue)),
            " 蓝色 \"风格\" <b>|1|0");
  // A site skin goes under the install folder.
  EXPECT_TRUE(Contains(Save(0, "首页风格", "p{}").text, "新增操作成功！"));
  int64_t site_skin = LastSkin();
  EXPECT_EQ(site_.FileText("Skin/" + std::to_string(site_skin) + ".css"), "p{}");
  EXPECT_TRUE(Contains(site_.Get(kPage + "0").text, "当前位置：系统管理>>风格管理"));

  // Names and stylesheets are encoded in the list and the form, and come back whole.
  list = site_.Get(kPage + "1").text;
  EXPECT_TRUE(Contains(list, "'> 蓝色 &quot;风格&quot; &lt;b&gt;</a>"));
  std::string edit = site_.Get(kPage + "1&action=edit&id=" + std::to_string(blue)).text;
  EXPECT_TRUE(Contains(edit, "value=' 蓝色 &quot;风格&quot; &lt;b&gt;'"));
  EXPECT_EQ(TextAreaValue(edit, "d_content"), kCss);

  // A template page naming the skin links its file; an edit rewrites the file the page links.
  site_.SetPage("first", "<html>{$showcss}</html>", static_cast<int>(blue));
  std::string link = "<link href='/Article/Skin/" + std::to_string(blue) + ".css'";
  EXPECT_TRUE(Contains(site_.Page("/asp.asp?channelid=1"), link));
  const std::string red = "body { color: red; } /* 红色 </textarea> */";
  EXPECT_TRUE(Contains(Update(1, blue, "红色", red).text, "<b>修改操作成功！</b>"));
  EXPECT_EQ(site_.FileText(file), red);
  EXPECT_EQ(site_.Get("/" + file).text, red);
  EXPECT_EQ(TextAreaValue(site_.Get(kPage + "1&action=edit&id=" + std::to_string(blue)).text,
                          "d_content"),
            red);
  // A system skin can be edited, and its file is written.
  EXPECT_TRUE(Contains(Update(1, 1, "默认风格", "s{}").text, "修改操作成功！"));
  EXPECT_EQ(site_.FileText("Article/Skin/1.css"), "s{}");

  // Deleting removes the rows and the sub-folders named by their ids; the files stay for the
  // pages that still link them.
  Save(1, "绿色", "g{}");
  int64_t green = LastSkin();
  std::filesystem::create_directories(site_.Disk("Article/Skin/" + std::to_string(green)));
  HttpAnswer deleted = Delete(1, std::to_string(blue) + ", " + std::to_string(green));
  EXPECT_TRUE(Contains(deleted.text, "<b>删除成功！</b>")) << deleted.text;
  EXPECT_EQ(Count("select count(*) from Vantrel_Skin where d_channelid = 1"), 1);
  EXPECT_EQ(site_.FileText(file), red);
  EXPECT_FALSE(std::filesystem::exists(site_.Disk("Article/Skin/" + std::to_string(green))));
  EXPECT_TRUE(Contains(site_.Page("/asp.asp?channelid=1"), link));
}

TEST_F(SkinTest, UnwrittenFileIsReportedAndBadRequestsChangeNothing) {
  Save(1, "蓝色", "b{}");
  int64_t blue = LastSkin();
  std::filesystem::path file = site_.Disk("Article/Skin/" + std::to_string(blue) + ".css");
  // Where the file should go a folder stands: the row is saved, the file is not, and the page
  // says so.
  std::filesystem::remove(file);
  std::filesystem::create_directory(file);
  HttpAnswer answer = Update(1, blue, "蓝色", "changed{}");
  EXPECT_FALSE(Contains(answer.text, "修改操作成功！"));
  EXPECT_TRUE(Contains(answer.text,
                       "风格文件 /Article/Skin/" + std::to_string(blue) + ".css 没有写入成功！"))
      << answer.text;
  EXPECT_EQ(
      site_.SqlValue("select d_content from Vantrel_Skin where d_id = " + std::to_string(blue)),
      "changed{}");
  EXPECT_TRUE(std::filesystem::is_directory(file));

  int64_t before = Skins();
  EXPECT_EQ(Refusal(Save(1, "", "x")), "提示：名称不允许为空！");
  EXPECT_EQ(Refusal(Save(1, "n", "")), "提示：内容不允许为空！");
  EXPECT_EQ(Refusal(site_.Get(kPage + "1&action=save&d_name=n&d_content=x")), "提示：参数错误！");
  // Blanks are a name and a stylesheet.
  EXPECT_TRUE(Contains(Save(1, "  ", " ").text, "新增操作成功！"));
  EXPECT_EQ(Skins(), before + 1);

  EXPECT_EQ(Refusal(Delete(1, "")), "提示：请先选择记录再删除！");
  EXPECT_EQ(Refusal(Delete(1, "1")), "提示：系统自带的风格不允许删除！");
  EXPECT_EQ(Refusal(Delete(1, std::to_string(blue) + ",1")), "提示：系统自带的风格不允许删除！");
  EXPECT_EQ(Refusal(Delete(1, "2")), "提示：参数错误！");  // the site's skin
  EXPECT_EQ(Refusal(Delete(1, "1) or (1=1")), "提示：参数错误！");
  // More ids than one statement can bind (SQLite takes 250,000), its own skin among them.
  std::string many = std::to_string(blue);
  for (int id = 100000; id < 360000; ++id) many += "," + std::to_string(id);
  EXPECT_EQ(Refusal(Delete(1, many)), "提示：参数错误！");
  EXPECT_EQ(Refusal(site_.Get(kPage + "1&action=del&checkid=" + std::to_string(blue))),
            "提示：参数错误！");
  EXPECT_EQ(Skins(), before + 1);

  // A skin of another channel is neither shown nor written from this channel's page.
  EXPECT_EQ(Refusal(site_.Get(kPage + "1&action=edit&id=2")), "提示：参数错误！");
  EXPECT_EQ(Refusal(Update(1, 2, "n", "x{}")), "提示：参数错误！");
  EXPECT_EQ(Refusal(Update(1, 99999, "n", "x{}")), "提示：参数错误！");
  EXPECT_FALSE(std::filesystem::exists(site_.Disk("Article/Skin/2.css")));
  EXPECT_FALSE(std::filesystem::exists(site_.Disk("Article/Skin/99999.css")));
  EXPECT_EQ(site_.SqlValue("select d_name from Vantrel_Skin where d_id = 2"), "首页默认风格");
}

}  // namespace
}  // namespace folirex::testing
