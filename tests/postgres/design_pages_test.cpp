// The design pages of the console on both database forms: a skin, a template page and a template
// set written through `folirex serve`, the set's pages mapped through the picker, the public page
// rendering each change, and the deletions that point the users of a page or a set elsewhere in
// one transaction. Every case runs on SQLite; on PostgreSQL when ./test.sh has started its
// cluster.
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
#include "platform/text/codepage.h"

namespace folirex::testing {
namespace {

namespace fsys = std::filesystem;

class DesignPagesTest : public BothFormsSiteTest {};

TEST_P(DesignPagesTest, SkinTemplatePageAndSetWrittenMappedAndDeleted) {
  const std::string skins = "/admin.asp?m=admin_skin&channelid=1&action=";
  EXPECT_TRUE(Has(Done(skins + "save", {{"d_name", "蓝色"}, {"d_content", "b{color:blue}"}}),
                  "新增操作成功！"));
  int64_t skin = Value("select max(d_id) from Vantrel_Skin").ToInt64();
  std::ifstream css(dir_ / ("Article/Skin/" + std::to_string(skin) + ".css"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(css), {}), "b{color:blue}");
  // Edits store over the row of the channel, and refuse an id that names none.
  const std::string skin_id = std::to_string(skin);
  EXPECT_TRUE(Has(Done(skins + "update&id=" + skin_id, {{"d_name", "深蓝"}, {"d_content", "b{}"}}),
                  "修改操作成功！"));
  EXPECT_EQ(
      Value("select d_name || d_content from Vantrel_Skin where d_id = " + skin_id).ToString(),
      "深蓝b{}");
  EXPECT_TRUE(Has(Done(skins + "update&id=99999", {{"d_name", "n"}, {"d_content", "x"}}),
                  "提示：参数错误！"));

  const std::string pages = "/admin.asp?m=admin_templatepage&channelid=1&action=";
  const std::string text = "<html>{$showcss}<p>新首页 \"一\"</p></textarea></html>";
  EXPECT_TRUE(Has(Done(pages + "save", {{"d_name", "新首页"},
                                        {"d_type", "first"},
                                        {"d_content", text},
                                        {"d_skinid", std::to_string(skin)}}),
                  "新增操作成功！"));
  int64_t page = Value("select max(d_id) from Vantrel_TemplatePage").ToInt64();
  EXPECT_TRUE(Has(Done(pages + "update", {{"id", std::to_string(page)},
                                          {"d_name", "新首页二"},
                                          {"d_content", text},
                                          {"d_skinid", std::to_string(skin)}}),
                  "修改操作成功！"));
  EXPECT_EQ(Value("select d_name || d_content from Vantrel_TemplatePage where d_id = " +
                  std::to_string(page))
                .ToString(),
            "新首页二" + text);

  // A new set mapping the new first page and the shipped pages 3 to 13, used by channel 1.
  const std::string sets = "/admin.asp?m=admin_template&channelid=1&action=";
  EXPECT_TRUE(Has(Done(sets + "save", {{"d_name", "新方案"}, {"d_desc", ""}}), "新增操作成功！"));
  int64_t set = Value("select max(d_id) from Vantrel_Template").ToInt64();
  EXPECT_TRUE(Has(
      Done(sets + "update&id=" + std::to_string(set), {{"d_name", "蓝方案"}, {"d_desc", "说明"}}),
      "修改操作成功！"));
  EXPECT_EQ(
      Value("select d_name || d_desc from Vantrel_Template where d_id = " + std::to_string(set))
          .ToString(),
      "蓝方案说明");
  std::vector<std::pair<std::string, std::string>> choice = {
      {"first", "first-" + std::to_string(page)}};
  int64_t shipped = 3;
  for (const char* type : {"classlist", "content", "subjectlist", "search", "newlist", "hotlist",
                           "recommendlist", "comment", "print", "tellfriend", "notice"}) {
    choice.emplace_back(type, std::string(type) + "-" + std::to_string(shipped++));
  }
  const std::string picker =
      "/admin.asp?m=admin_template&channelid=1&templateid=" + std::to_string(set) +
      "&action=doselectpage";
  EXPECT_TRUE(Has(Done(picker, choice), "选择模板页成功！"));
  EXPECT_TRUE(Has(Done(picker, choice), "选择模板页成功！"));
  EXPECT_EQ(Value("select count(*) from Vantrel_TemplateAndPage where d_templateid = " +
                  std::to_string(set))
                .ToInt64(),
            12);
  Connection conn;
  conn.Open(ConnectionString());
  conn.Execute("update Vantrel_Channel set d_templateid = " + std::to_string(set) +
               " where d_id = 1");
  std::string public_page = site_->Get("/asp.asp?channelid=1").text;
  EXPECT_TRUE(Has(public_page, "<p>新首页 \"一\"</p>")) << public_page;
  EXPECT_TRUE(Has(public_page, "/Article/Skin/" + std::to_string(skin) + ".css")) << public_page;

  // The page deleted: the set maps the shipped first page again.
  EXPECT_TRUE(
      Has(Done(pages + "del", {{"checkid", "first-" + std::to_string(page)}}), "删除成功！"));
  EXPECT_EQ(Value("select d_pageid from Vantrel_TemplateAndPage where d_type = 'first' and "
                  "d_templateid = " +
                  std::to_string(set))
                .ToInt64(),
            2);
  EXPECT_FALSE(Has(site_->Get("/asp.asp?channelid=1").text, "新首页"));

  // The set deleted: the channel falls back to the shipped system set 1.
  EXPECT_TRUE(Has(Done(sets + "del", {{"checkid", std::to_string(set)}}), "删除成功！"));
  EXPECT_EQ(Value("select d_templateid from Vantrel_Channel where d_id = 1").ToInt64(), 1);
  EXPECT_EQ(Value("select count(*) from Vantrel_TemplateAndPage where d_templateid = " +
                  std::to_string(set))
                .ToInt64(),
            0);
  // System rows stay.
  EXPECT_TRUE(Has(Done(sets + "del", {{"checkid", "1"}}), "提示：系统自带的方案不允许删除！"));
  EXPECT_TRUE(Has(Done(skins + "del", {{"checkid", std::to_string(skin)}}), "删除成功！"));
  EXPECT_EQ(Value("select count(*) from Vantrel_Skin").ToInt64(), 2);
}

FOLIREX_BOTH_DATABASE_FORMS(BothDatabaseForms, DesignPagesTest);

}  // namespace
}  // namespace folirex::testing
