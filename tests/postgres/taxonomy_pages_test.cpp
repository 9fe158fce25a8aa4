// The subject and keyword pages on both database forms: a site made by `folirex init` (a SQLite
// file, or an empty PostgreSQL database through ODBC) and served by `folirex serve`. Their
// statements (bound numbers and texts, "top 1" moves, counters lowered by a bound count, the
// renumbering) give the same rows on both.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "both_forms_site.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"

namespace folirex::testing {
namespace {

class TaxonomyPagesTest : public BothFormsSiteTest {
 protected:
  // "name:order" of a table's rows of channel 1, by order.
  std::string Orders(const std::string& table) {
    Connection conn;
    conn.Open(ConnectionString());
    Recordset rs;
    rs.Open("select d_name, d_order from " + table + " where d_channelid = 1 order by d_order",
            conn, 0, 1);
    std::string out;
    for (; !rs.Eof(); rs.MoveNext()) {
      out += (out.empty() ? "" : ",") + rs["d_name"].ToString() + ":" + rs["d_order"].ToString();
    }
    return out;
  }
  HttpAnswer Post(const std::string& page, const std::string& query,
                  const std::vector<std::pair<std::string, std::string>>& form) {
    return site_->Post("/admin.asp?m=" + page + "&channelid=1&action=" + query, form);
  }
};

TEST_P(TaxonomyPagesTest, KeywordsAreAddedMovedRenamedAndDeleted) {
  for (const char* name : {"a", "b", "c"}) {
    ASSERT_NE(Post("admin_articlekeyword", "save", {{"d_name", name}}).text.find("新增信息成功"),
              std::string::npos);
  }
  EXPECT_EQ(Orders("Vantrel_Keyword"), "a:1,b:2,c:3");
  std::string a = ValueText("select d_id from Vantrel_Keyword where d_name = 'a'");
  Post("admin_articlekeyword", "down&order=1&id=" + a, {});
  EXPECT_EQ(Orders("Vantrel_Keyword"), "b:1,a:2,c:3");

  Exec("insert into Vantrel_Article (d_channelid, d_title, d_keyword) values (1, 't', '|a|')");
  Exec("insert into Vantrel_Article (d_channelid, d_title, d_keyword) values (1, 't', '|a|b|')");
  Post("admin_articlekeyword", "update&id=" + a, {{"d_name", "100%"}});
  EXPECT_EQ(ValueText("select count(*) from Vantrel_Article where d_keyword = '|100%|'"), "1");
  EXPECT_EQ(ValueText("select count(*) from Vantrel_Article where d_keyword = '|a|b|'"), "1");

  std::string b = ValueText("select d_id from Vantrel_Keyword where d_name = 'b'");
  Post("admin_articlekeyword", "del", {{"checkid", b}});
  EXPECT_EQ(Orders("Vantrel_Keyword"), "100%:1,c:2");
}

TEST_P(TaxonomyPagesTest, SubjectsAreSavedMovedMergedAndDeletedWithTheirCount) {
  for (const char* name : {"x", "y", "z"}) {
    HttpAnswer saved = Post("admin_articlesubject", "save",
                            {{"d_name", name}, {"d_dir", name}, {"d_pagenum", "10"}});
    ASSERT_NE(saved.text.find("新增信息成功"), std::string::npos) << saved.text;
  }
  EXPECT_EQ(ValueText("select d_subjectcount from Vantrel_Channel where d_id = 1"), "3");
  std::string x = ValueText("select d_id from Vantrel_ArticleSubject where d_name = 'x'");
  std::string z = ValueText("select d_id from Vantrel_ArticleSubject where d_name = 'z'");
  Post("admin_articlesubject", "down&order=1&id=" + x, {});
  EXPECT_EQ(Orders("Vantrel_ArticleSubject"), "y:1,x:2,z:3");

  Exec("insert into Vantrel_Article (d_channelid, d_title, d_subjectid) values (1, 't', " + x +
       ")");
  HttpAnswer merged = Post("admin_articlesubject", "savejoin", {{"d_fromid", x}, {"d_toid", z}});
  EXPECT_NE(merged.text.find("专题合并成功"), std::string::npos) << merged.text;
  EXPECT_EQ(Orders("Vantrel_ArticleSubject"), "y:1,z:2");
  EXPECT_EQ(ValueText("select d_subjectid from Vantrel_Article where d_title = 't'"), z);
  EXPECT_EQ(ValueText("select d_subjectcount from Vantrel_Channel where d_id = 1"), "2");

  Post("admin_articlesubject", "del", {{"checkid", z}});
  EXPECT_EQ(Orders("Vantrel_ArticleSubject"), "y:1");
  EXPECT_EQ(ValueText("select d_subjectid from Vantrel_Article where d_title = 't'"), "0");
  EXPECT_EQ(ValueText("select d_subjectcount from Vantrel_Channel where d_id = 1"), "1");
}

FOLIREX_BOTH_DATABASE_FORMS(BothDatabaseForms, TaxonomyPagesTest);

}  // namespace
}  // namespace folirex::testing
