// The JS snippet console through the host: each type saved with its parameter text and its file,
// the list and the edit form, the update that replaces the file, refresh, preview and delete,
// and the requests that are refused without changing anything.
#include <filesystem>
#include <fstream>
#include <string>

#include "design/design_site.h"
#include "platform/text/vb_text.h"

namespace folirex::testing {
namespace {

namespace stdfs = std::filesystem;

const std::string kPage = "/admin.asp?m=admin_articlejs&channelid=1";

class JsSnippetConsoleTest : public DesignConsoleTest {
 protected:
  HttpAnswer Save(int flag, Form form) {
    return site_.Post(kPage + "&action=save&flag=" + std::to_string(flag), form);
  }
  std::string Config(const std::string& file) {
    return site_.SqlValue("select d_config from Vantrel_JS where d_filename = '" + file + "'");
  }
  int64_t Id(const std::string& file) {
    return site_.Number("select d_id from Vantrel_JS where d_filename = '" + file + "'");
  }
  std::string File(const std::string& name) { return site_.FileText("Article/Js/" + name); }
  bool Exists(const std::string& name) { return stdfs::exists(site_.Disk("Article/Js/" + name)); }
  int64_t Rows() { return Count("select count(*) from Vantrel_JS"); }
};

TEST_F(JsSnippetConsoleTest, EachTypeIsSavedWithItsParametersAndFile) {
  site_.Add(ArticleRow{.title = "片段文章甲", .content = "x"});
  site_.Add(ClassRow{.name = "国内新闻", .dir = "china"});
  site_.Add(SubjectRow{.name = "两会专题"});

  // Type 0 with every box unticked: 22 positions, the flags "false", 7 empty, 19 "false".
  HttpAnswer saved = Save(0, {{"d_jsname", "最新<文章>"},
                              {"d_desc", "首页\r\n调用"},
                              {"d_filename", "Article_Hot"},
                              {"d_classid", "0"},
                              {"d_subjectid", ""},
                              {"d_articlenum", "05"},
                              {"d_datenum", ""},
                              {"d_orderby", "4"},
                              {"d_title", "20"},
                              {"d_cols", ""},
                              {"d_propertytype", "0"},
                              {"d_showaddtime", "1"}});
  EXPECT_TRUE(Contains(saved.text, "新增信息成功！")) << saved.text;
  EXPECT_EQ(Config("Article_Hot.js"),
            "1|0|false|0|10|false|false||0|20|1|false|0|1|false|false|false|false|false|false|"
            "false|4");
  EXPECT_TRUE(Contains(File("Article_Hot.js"), "片段文章甲")) << File("Article_Hot.js");
  EXPECT_EQ(File("Article_Hot.js").rfind("document.write(\"", 0), 0u);

  // Type 1: 16 positions, empty picture sizes become 120 and 60.
  EXPECT_TRUE(Contains(Save(1, {{"d_jsname", "图片"},
                                {"d_filename", "pics"},
                                {"d_classid", "0"},
                                {"d_articlenum", "4"},
                                {"d_orderby", "2"},
                                {"d_showstyle", "3"},
                                {"d_showtips", "true"}})
                           .text,
                       "新增信息成功！"));
  EXPECT_EQ(Config("pics.js"), "1|0|false|0|4|false|false|0|0|0|1|120|60|3|true|2");
  EXPECT_TRUE(Exists("pics.js"));

  // Types 2 to 5: the search form, the column counts alone, the empty class menu file.
  EXPECT_TRUE(Contains(Save(2, {{"d_jsname", "搜索"}, {"d_filename", "search"}}).text, "成功"));
  EXPECT_TRUE(Contains(File("search.js"), "name='searchkeyword'"));
  EXPECT_TRUE(Contains(Save(3, {{"d_jsname", "导航"}, {"d_filename", "classnavi"}}).text, "成功"));
  EXPECT_EQ(Config("classnavi.js"), "1");
  EXPECT_TRUE(Contains(File("classnavi.js"), "国内新闻"));
  EXPECT_TRUE(Contains(Save(4, {{"d_jsname", "菜单"}, {"d_filename", "classmenu"}}).text, "成功"));
  EXPECT_EQ(Config("classmenu.js"), "");
  EXPECT_TRUE(Exists("classmenu.js"));
  EXPECT_EQ(File("classmenu.js"), "");
  EXPECT_TRUE(Contains(
      Save(5, {{"d_jsname", "专题"}, {"d_filename", "subjects"}, {"d_cols", "2"}}).text, "成功"));
  EXPECT_EQ(Config("subjects.js"), "2");
  EXPECT_TRUE(Contains(File("subjects.js"), "两会专题"));

  // The list: names and descriptions encoded, the type names, the edit link with the type.
  std::string list = site_.Get(kPage).text;
  EXPECT_TRUE(Contains(list, "最新&lt;文章&gt;</a>")) << list;
  EXPECT_TRUE(Contains(list, "<td>分类菜单</td>"));
  EXPECT_TRUE(
      Contains(list, "&amp;action=edit&amp;id=" + std::to_string(Id("pics.js")) + "&amp;flag=1'>"));
  // A second search snippet is refused by the add form.
  EXPECT_EQ(Refusal(site_.Get(kPage + "&action=add&flag=2")),
            "提示：查询js文件已经存在，没有必要再新增，只要进行修改就可以了！");

  // The edit form: the stored positions in their fields, the name without ".js".
  std::string edit =
      site_.Get(kPage + "&action=edit&flag=1&id=" + std::to_string(Id("pics.js"))).text;
  EXPECT_TRUE(Contains(edit, "name='d_filename' size=50 maxlength=50 value='pics'"));
  EXPECT_TRUE(Contains(edit, "name='d_picwidth' size=10 value='120'"));
  EXPECT_TRUE(Contains(edit, "name='d_showstyle' value='3' checked"));
  EXPECT_TRUE(Contains(edit, "name='d_showtips' value='true' checked"));
}

TEST_F(JsSnippetConsoleTest, BadDefinitionsAreRefusedAndNothingIsStored) {
  Form good = {{"d_jsname", "名称"}, {"d_filename", "good_name"}};
  auto with = [&good](const std::string& key, const std::string& value) {
    Form form = good;
    for (auto& [k, v] : form) {
      if (k == key) v = value;
    }
    if (key != "d_jsname" && key != "d_filename") form.push_back({key, value});
    return form;
  };
  EXPECT_EQ(Refusal(Save(2, with("d_jsname", "   "))), "提示：名称不允许为空！");
  std::string long_name;
  for (int i = 0; i < 26; ++i) long_name += "汉";
  EXPECT_EQ(Refusal(Save(2, with("d_jsname", long_name))), "提示：名称最大25个汉字，50个字符！");
  for (const char* name : {"a", "a-b", "1abc", "a.b", "a b", "../x"}) {
    EXPECT_EQ(Refusal(Save(2, with("d_filename", name))), "提示：文件名称格式不对！") << name;
  }
  EXPECT_EQ(Refusal(Save(2, with("d_filename", "Default"))), "提示：文件Default.js已经存在！");
  EXPECT_EQ(Refusal(Save(0, with("d_classid", "abc"))), "提示：本分类下设置不允许增加文章！");
  Form bad_subject = with("d_classid", "0");
  bad_subject.push_back({"d_subjectid", "x1"});
  EXPECT_EQ(Refusal(Save(0, bad_subject)), "提示：专题id不对！");
  // A drop-down value outside its options (here one that would add a position) is refused.
  Form list = with("d_classid", "0");
  list.push_back({"d_orderby", "4|5"});
  EXPECT_EQ(Refusal(Save(0, list)), "提示：参数错误！");
  EXPECT_EQ(Refusal(Save(9, good)), "提示：参数错误！");
  // A plain address changes nothing.
  EXPECT_EQ(Refusal(site_.Get(kPage + "&action=save&flag=2&d_jsname=x&d_filename=abc")),
            "提示：参数错误！");
  EXPECT_EQ(Rows(), 0);

  // A file name is unique in the channel without regard to case.
  EXPECT_TRUE(Contains(Save(2, with("d_filename", "NEWS")).text, "新增信息成功！"));
  EXPECT_EQ(Refusal(Save(3, with("d_filename", "news"))), "提示：文件news.js已经存在！");
  EXPECT_EQ(Rows(), 1);
}

TEST_F(JsSnippetConsoleTest, UpdateRefreshPreviewAndDeleteWorkOnTheRowsFiles) {
  ASSERT_TRUE(Contains(Save(3, {{"d_jsname", "导航"}, {"d_filename", "first"}}).text, "成功"));
  const int64_t id = Id("first.js");
  // A posted old name that reaches elsewhere is not what the update deletes: the row's is.
  site_.Exec(
      "insert into Vantrel_JS (d_channelid, d_jsname, d_filename, d_typeflag) values "
      "(1, '保留', 'keep.js', 4)");
  ASSERT_TRUE(
      Contains(site_.Post(kPage + "&action=create&id=" + std::to_string(Id("keep.js")), {}).text,
               "修改刷新成功！"));
  ASSERT_TRUE(Exists("keep.js"));
  HttpAnswer updated = site_.Post(kPage + "&action=update&flag=5&id=" + std::to_string(id),
                                  {{"d_jsname", "专题"},
                                   {"d_filename", "second"},
                                   {"d_cols", "3"},
                                   {"hiddenfilename", "keep.js"}});
  EXPECT_TRUE(Contains(updated.text, "修改信息成功！")) << updated.text;
  EXPECT_FALSE(Exists("first.js"));
  EXPECT_TRUE(Exists("second.js"));
  EXPECT_TRUE(Exists("keep.js"));
  EXPECT_EQ(site_.SqlValue("select d_typeflag || '|' || d_config from Vantrel_JS where d_id = " +
                           std::to_string(id)),
            "5|3");
  // Another channel's row is not this channel's to update.
  const std::string other = "/admin.asp?m=admin_articlejs&channelid=" +
                            std::to_string(site_.Add(ChannelRow{.name = "其他", .dir = "other"}));
  EXPECT_EQ(Refusal(site_.Post(other + "&action=update&flag=2&id=" + std::to_string(id),
                               {{"d_jsname", "x"}, {"d_filename", "stolen"}})),
            "提示：参数错误！");

  // Refresh rewrites a lost file, from a posted form only: a plain address writes nothing. Refresh
  // all on an empty channel has nothing to do.
  stdfs::remove(site_.Disk("Article/Js/second.js"));
  EXPECT_EQ(Refusal(site_.Get(kPage + "&action=createall")), "提示：参数错误！");
  EXPECT_EQ(Refusal(site_.Get(kPage + "&action=create&id=" + std::to_string(id))),
            "提示：参数错误！");
  EXPECT_FALSE(Exists("second.js"));
  EXPECT_TRUE(Contains(site_.Post(kPage + "&action=createall", {}).text, "全部刷新成功！"));
  EXPECT_TRUE(Exists("second.js"));
  EXPECT_EQ(Refusal(site_.Post(other + "&action=createall", {})),
            "提示：没有数据没有必要刷新信息！");
  EXPECT_EQ(Refusal(site_.Post(kPage + "&action=create&id=x1", {})), "提示：参数错误！");
  // The list's refresh links post through the page's form.
  const std::string list = site_.Get(kPage).text;
  EXPECT_TRUE(Contains(list, "<form name='consolepost' method='post'"));
  EXPECT_TRUE(Contains(list, "&amp;action=create&amp;id=" + std::to_string(id) +
                                 "' onclick=\"return consolePost(this);\">刷新</a>"));
  EXPECT_TRUE(
      Contains(list, "&amp;action=createall' onclick=\"return consolePost(this);\">全部刷新</a>"));

  // The preview includes the channel's file; a name outside the rule is refused.
  EXPECT_TRUE(Contains(site_.Get(kPage + "&action=preview&filename=second.js").text,
                       "src='/Article/Js/second.js'"));
  EXPECT_EQ(Refusal(site_.Get(kPage + "&action=preview&filename=x.js'><script>")),
            "提示：参数错误！");

  // Delete: exactly the rows' files go, names that only look alike stay.
  for (const char* name : {"second.json", "second_js.js"}) {
    std::ofstream(site_.Disk(std::string("Article/Js/") + name)) << "x";
  }
  EXPECT_EQ(Refusal(site_.Get(kPage + "&action=del&checkid=" + std::to_string(id))),
            "提示：参数错误！");
  EXPECT_EQ(Refusal(site_.Post(kPage + "&action=del", {{"checkid", "1 or 1=1"}})),
            "提示：参数错误！");
  EXPECT_TRUE(Contains(site_.Post(kPage + "&action=del", {{"checkid", std::to_string(id)}}).text,
                       "删除成功！"));
  EXPECT_FALSE(Exists("second.js"));
  EXPECT_TRUE(Exists("second.json"));
  EXPECT_TRUE(Exists("second_js.js"));
  EXPECT_EQ(Rows(), 1);
}

}  // namespace
}  // namespace folirex::testing
