// The JS snippet and navigation menu pages of the console on both database forms, through
// `folirex serve`: snippets saved with their files, a file name taken without regard to case,
// an update and a delete; the menu built from custom items and the class tree, moved, pruned
// and written as the channel's menu file. Every case runs on SQLite; on PostgreSQL when
// ./test.sh has started its cluster.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "both_forms_site.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/text/codepage.h"

namespace folirex::testing {
namespace {

namespace fsys = std::filesystem;

class PublishingPagesTest : public BothFormsSiteTest {
 protected:
  std::string FileText(const std::string& relative) {
    std::ifstream in(dir_ / relative, std::ios::binary);
    return GbkToUtf8(std::string(std::istreambuf_iterator<char>(in), {}));
  }
};

TEST_P(PublishingPagesTest, SnippetsAndMenuWrittenChangedAndDeleted) {
  Exec(
      "insert into Vantrel_ArticleClass (d_id, d_channelid, d_name, d_dir, d_rootid, d_pid, "
      "d_level, d_path, d_child, d_order) values (50, 1, '国内', 'china', 50, 0, 0, '50,', 1, 1), "
      "(51, 1, '北京', 'beijing', 50, 50, 1, '50,51,', 0, 2)");

  const std::string js = "/admin.asp?m=admin_articlejs&channelid=1&action=";
  EXPECT_TRUE(Has(Done(js + "save&flag=3", {{"d_jsname", "导航"}, {"d_filename", "Navi"}}),
                  "新增信息成功！"));
  EXPECT_TRUE(Has(FileText("Article/Js/Navi.js"), "北京"));
  EXPECT_TRUE(Has(Done(js + "save&flag=2", {{"d_jsname", "重名"}, {"d_filename", "NAVI"}}),
                  "提示：文件NAVI.js已经存在！"));
  const std::string id = ValueText("select d_id from Vantrel_JS where d_filename = 'Navi.js'");
  EXPECT_TRUE(Has(Done(js + "update&flag=5&id=" + id,
                       {{"d_jsname", "专题"}, {"d_filename", "subjects"}, {"d_cols", "2"}}),
                  "修改信息成功！"));
  EXPECT_FALSE(fsys::exists(dir_ / "Article/Js/Navi.js"));
  EXPECT_TRUE(fsys::exists(dir_ / "Article/Js/subjects.js"));
  EXPECT_TRUE(Has(Done(js + "del", {{"checkid", id}}), "删除成功！"));
  EXPECT_FALSE(fsys::exists(dir_ / "Article/Js/subjects.js"));
  EXPECT_EQ(ValueText("select count(*) from Vantrel_JS"), "0");

  const std::string navi = "/admin.asp?m=admin_articlenavi&channelid=1&action=";
  EXPECT_TRUE(Has(Done(navi + "save", {{"d_pid", "0"}, {"d_name", "帮助"}, {"d_openflag", "0"}}),
                  "新增信息成功！"));
  const std::string help = ValueText("select d_id from Vantrel_NaviMenu where d_name = '帮助'");
  EXPECT_TRUE(Has(
      Done(navi + "save",
           {{"d_pid", help}, {"d_name", "联系"}, {"d_openflag", "1"}, {"d_linkurl", "/c.html"}}),
      "新增信息成功！"));
  EXPECT_TRUE(Has(Done(navi + "import", {}), "导入分类数据成功！"));
  const std::string home = ValueText("select d_id from Vantrel_NaviMenu where d_name = '首 页'");
  EXPECT_TRUE(Has(Done(navi + "up&id=" + home, {}), "排序移动操作成功！"));
  EXPECT_TRUE(Has(Done(navi + "del&id=" + help, {}), "删除菜单成功！"));
  Connection conn;
  conn.Open(ConnectionString());
  std::string tree;
  Recordset rs;
  rs.Open("select d_name, d_level, d_order, d_child from Vantrel_NaviMenu order by d_order", conn,
          0, 1);
  for (; !rs.Eof(); rs.MoveNext()) {
    tree += rs["d_order"].ToString() + ":" + rs["d_name"].ToString() + ":" +
            rs["d_level"].ToString() + ":" + rs["d_child"].ToString() + " ";
  }
  rs.Close();
  EXPECT_EQ(tree, "1:首 页:0:0 2:国内:0:1 3:北京:1:0 ");
  EXPECT_TRUE(Has(Done(navi + "js", {}), "生成成功！"));
  EXPECT_EQ(
      FileText("Article/Js/default.js"),
      "document.write(\"<ul id='menu' style='display:none'><li><a href='/asp.asp?channelid=1' "
      ">首 页</a></li><li><a href='/asp.asp?m=classlist&amp;classid=50&amp;channelid=1&amp;' "
      ">国内</a><ul><li><a href='/asp.asp?m=classlist&amp;classid=51&amp;channelid=1&amp;' "
      ">北京</a></li></ul></li></ul>\");\r\n");
}

FOLIREX_BOTH_DATABASE_FORMS(BothDatabaseForms, PublishingPagesTest);

}  // namespace
}  // namespace folirex::testing
