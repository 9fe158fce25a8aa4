// Loads db/schema_sqlite.sql and db/shipped_rows.sql into real SQLite files and checks what the
// pages rely on: the tables and columns they name, the storage conventions (case-blind text,
// -1/0 yes/no columns defaulting to false, the date text form, autonumbers never reused), the
// shipped rows (channel 1, the console menu, the function catalogue, the first administrator)
// and that the list queries run and find their indexes.
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/db/variant.h"
#include "support/temp_folder.h"

namespace folirex {
namespace {

using Row = std::vector<std::string>;
using Rows = std::vector<Row>;

constexpr char kNull[] = "<null>";

std::string ReadSourceFile(const std::string& relative) {
  std::ifstream in(std::string(FOLIREX_SOURCE_DIR) + "/" + relative, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

using testing::TempFolder;

// One SQLite file, open for the life of the object.
class SqliteFile {
 public:
  explicit SqliteFile(const std::string& path) {
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) {
      ADD_FAILURE() << "cannot open " << path;
    }
    // Throw-away files: no need to wait for the disk after every statement.
    sqlite3_exec(db_, "pragma synchronous = off", nullptr, nullptr, nullptr);
  }
  ~SqliteFile() { sqlite3_close(db_); }
  SqliteFile(const SqliteFile&) = delete;
  SqliteFile& operator=(const SqliteFile&) = delete;

  // Runs a script; returns SQLite's message, or "" when every statement ran.
  std::string Exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return "";
    std::string text = message != nullptr ? message : "error";
    sqlite3_free(message);
    return text.empty() ? "error" : text;
  }

  // Every row of one statement, each value as text (kNull for null). A statement that does not
  // prepare or run is a test failure that names the statement.
  Rows Query(const std::string& sql) {
    Rows rows;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << sqlite3_errmsg(db_) << "\n  in: " << sql;
      return rows;
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      Row row;
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        const unsigned char* text = sqlite3_column_text(stmt, i);
        row.push_back(text == nullptr ? kNull : reinterpret_cast<const char*>(text));
      }
      rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) ADD_FAILURE() << sqlite3_errmsg(db_) << "\n  in: " << sql;
    sqlite3_finalize(stmt);
    return rows;
  }

  // The first value of the first row, "" when there is no row.
  std::string Value(const std::string& sql) {
    Rows rows = Query(sql);
    return rows.empty() || rows[0].empty() ? "" : rows[0][0];
  }

  std::vector<std::string> Column(const std::string& sql) {
    std::vector<std::string> values;
    for (const Row& row : Query(sql)) values.push_back(row.at(0));
    return values;
  }

 private:
  sqlite3* db_ = nullptr;
};

// The tables the pages name.
const std::vector<std::string> kTables = {"Vantrel_AD",
                                          "Vantrel_Admin",
                                          "Vantrel_Announce",
                                          "Vantrel_Article",
                                          "Vantrel_ArticleClass",
                                          "Vantrel_ArticleComment",
                                          "Vantrel_ArticleSubject",
                                          "Vantrel_Channel",
                                          "Vantrel_CollectLog",
                                          "Vantrel_CollectProject",
                                          "Vantrel_Config",
                                          "Vantrel_Download",
                                          "Vantrel_Function",
                                          "Vantrel_JS",
                                          "Vantrel_Keyword",
                                          "Vantrel_Log",
                                          "Vantrel_ManagerFunction",
                                          "Vantrel_MenuSet",
                                          "Vantrel_NaviMenu",
                                          "Vantrel_Pic",
                                          "Vantrel_Product",
                                          "Vantrel_Skin",
                                          "Vantrel_Template",
                                          "Vantrel_TemplateAndPage",
                                          "Vantrel_TemplatePage",
                                          "Vantrel_User"};

// The columns the pages read or write, spelled as the pages spell them where a name keeps
// capitals (SQLite matches names without regard to case, the names are kept anyway).
const std::map<std::string, std::vector<std::string>> kColumns = {
    {"Vantrel_Config",
     {"d_ID",
      "d_name",
      "d_url",
      "d_keyword",
      "d_desc",
      "d_email",
      "d_address",
      "d_tel",
      "d_fax",
      "d_mobile",
      "d_postcode",
      "d_copyright",
      "d_selectedmailflag",
      "d_mailserver",
      "d_mailuser",
      "d_mailpassword",
      "d_showadminlink",
      "d_enablesoftkey",
      "d_installdir",
      "d_defaultfileext",
      "d_templatepageid",
      "d_logo",
      "d_logowidth",
      "d_logoheight",
      "d_banner",
      "d_bannerwidth",
      "d_bannerheight",
      "d_sendmailflag",
      "d_mailonlyflag",
      "d_mailverifyflag",
      "d_recommendfriendflag",
      "d_wbflag",
      "d_wbtormbrate",
      "d_wbtopointrate",
      "d_pointtowbline",
      "d_onlinetopoint",
      "d_getpasswordflag",
      "d_recentarticlenum",
      "d_recentproductnum",
      "d_productcheckflag",
      "d_commentcheckflag",
      "d_netpayplatformflag",
      "d_badword",
      "d_wbname",
      "d_netpayname"}},
    {"Vantrel_Channel",
     {"d_id",
      "d_order",
      "d_channelname",
      "d_desc",
      "d_opentype",
      "d_disabledflag",
      "d_channeltype",
      "d_linkurl",
      "d_moduletype",
      "d_channeldir",
      "d_projectname",
      "d_projectunit",
      "d_templateid",
      "d_shownameflag",
      "d_uploadflag",
      "d_uploaddir",
      "d_maxfilesize",
      "d_upfiletype",
      "d_clicksofhot",
      "d_daysofnew",
      "d_generatehtml",
      "d_listdir",
      "d_contentfiletype",
      "d_firstfileext",
      "d_listfileext",
      "d_contentfileext",
      "d_groupnum",
      "d_itemcount",
      "d_itemcountchecked",
      "d_commentcount",
      "d_subjectcount",
      "d_clickcount",
      "d_navimenucss",
      "d_dirstructure",
      "d_sysflag",
      "d_customflag"}},
    {"Vantrel_MenuSet",
     {"d_id", "d_channelid", "d_name", "d_linkurl", "d_openflag", "d_topflag", "d_displayflag",
      "d_order"}},
    {"Vantrel_Admin",
     {"d_id", "d_name", "d_password", "d_regtime", "d_adduser", "d_loginnum", "d_lastlogintime",
      "d_lastloginip"}},
    {"Vantrel_Log", {"d_id", "d_ip", "d_adminname", "d_thisloginnum", "d_logintime"}},
    {"Vantrel_Function", {"d_code", "d_name", "d_desc", "d_flag", "d_order"}},
    {"Vantrel_ManagerFunction", {"d_adminname", "d_functioncode"}},
    {"Vantrel_ArticleClass",
     {"d_id", "d_channelid", "d_pid", "d_name", "d_child", "d_dir", "d_pagenum", "d_commentflag",
      "d_commentcheckflag", "d_addarticleflag", "d_pointperarticle", "d_templatepageid", "d_level",
      "d_order", "d_generatedflag", "d_rootid", "d_path"}},
    {"Vantrel_ArticleSubject",
     {"d_id", "d_channelid", "d_name", "d_dir", "d_desc", "d_order", "d_templatepageid",
      "d_pagenum", "d_generatedflag"}},
    {"Vantrel_Keyword", {"d_id", "d_channelid", "d_name", "d_order", "d_addtime"}},
    {"Vantrel_Article",
     {"d_id",
      "d_channelid",
      "d_classid",
      "d_subjectid",
      "d_title",
      "d_longtitle",
      "d_subtitle",
      "d_titleprefix",
      "d_titlecolor",
      "d_fontshape",
      "d_author",
      "d_comefrom",
      "d_inputer",
      "d_editor",
      "d_keyword",
      "d_relativeflag",
      "d_metakeyword",
      "d_metarelativeflag",
      "d_summary",
      "d_content",
      "d_linkurl",
      "d_picurl",
      "d_uploadfiles",
      "d_paginationtype",
      "d_maxcharperpage",
      "d_topflag",
      "d_hotflag",
      "d_recommendflag",
      "d_stars",
      "d_clicktimes",
      "d_dayclicktimes",
      "d_weekclicktimes",
      "d_monthclicktimes",
      "d_LastClickTime",
      "d_showcommentlink",
      "d_templatepageid",
      "d_generatehtmlflag",
      "d_addtime",
      "d_deleted",
      "d_checked",
      "d_generatedflag"}},
    {"Vantrel_ArticleComment",
     {"d_id", "d_channelid", "d_classid", "d_infoid", "d_usertype", "d_username", "d_email",
      "d_score", "d_comment", "d_ip", "d_addtime", "d_checked", "d_reply", "d_replyuser",
      "d_replytime"}},
    {"Vantrel_Template", {"d_id", "d_channelid", "d_name", "d_desc", "d_sysflag", "d_dir"}},
    {"Vantrel_TemplatePage",
     {"d_id", "d_channelid", "d_name", "d_type", "d_content", "d_skinid", "d_sysflag", "d_order"}},
    {"Vantrel_TemplateAndPage", {"d_channelid", "d_templateid", "d_pageid", "d_type"}},
    {"Vantrel_Skin", {"d_id", "d_channelid", "d_name", "d_content", "d_sysflag"}},
    {"Vantrel_Announce",
     {"d_id", "d_channelid", "d_title", "d_content", "d_author", "d_selectedflag", "d_showtype",
      "d_addtime"}},
    {"Vantrel_AD",
     {"d_id", "d_code", "d_type", "d_text", "d_url", "d_src", "d_width", "d_height", "d_desc"}},
    {"Vantrel_JS",
     {"d_id", "d_channelid", "d_jsname", "d_desc", "d_typeflag", "d_filename", "d_config"}},
    {"Vantrel_NaviMenu",
     {"d_id", "d_channelid", "d_name", "d_typeflag", "d_pid", "d_rootid", "d_level", "d_path",
      "d_child", "d_order", "d_openflag", "d_includechildflag", "d_linkurl", "d_picurl"}},
    {"Vantrel_CollectProject",
     {"D_ID",
      "D_ChannelID",
      "D_ClassID",
      "D_Name",
      "D_PageUrl",
      "D_FirstDiff",
      "D_FirstFileName",
      "D_PageHeader",
      "D_PageFooter",
      "D_IDUrl",
      "D_Header",
      "D_Footer",
      "D_Title1",
      "D_Title2",
      "D_Author1",
      "D_Author2",
      "D_Content1",
      "D_Content2",
      "D_DoFlag",
      "D_CheckFlag",
      "D_PageNextMatch",
      "D_PageNextUrl"}},
    {"Vantrel_CollectLog",
     {"d_id", "d_projectid", "d_channelid", "d_url", "d_title", "d_flag", "d_fileid", "d_pagenext",
      "d_date"}},
    {"Vantrel_User", {"d_nickname", "d_articlenum", "d_commentnum", "d_rmb"}},
    {"Vantrel_Product", {"d_uploadfiles", "d_picurl"}},
    {"Vantrel_Download", {"d_uploadfiles", "d_picurl"}},
    {"Vantrel_Pic", {"d_uploadfiles", "d_picurl"}},
};

// Yes/no columns: -1 true, 0 false.
const std::map<std::string, std::vector<std::string>> kYesNoColumns = {
    {"Vantrel_Config", {"d_showadminlink"}},
    {"Vantrel_Channel",
     {"d_disabledflag", "d_shownameflag", "d_uploadflag", "d_sysflag", "d_customflag"}},
    {"Vantrel_ArticleClass",
     {"d_commentflag", "d_commentcheckflag", "d_addarticleflag", "d_generatedflag"}},
    {"Vantrel_ArticleSubject", {"d_generatedflag"}},
    {"Vantrel_Article",
     {"d_relativeflag", "d_metarelativeflag", "d_topflag", "d_hotflag", "d_recommendflag",
      "d_showcommentlink", "d_generatehtmlflag", "d_deleted", "d_checked", "d_generatedflag"}},
    {"Vantrel_ArticleComment", {"d_checked"}},
    {"Vantrel_Template", {"d_sysflag"}},
    {"Vantrel_TemplatePage", {"d_sysflag"}},
    {"Vantrel_Skin", {"d_sysflag"}},
    {"Vantrel_Announce", {"d_selectedflag"}},
};

// Every code a console page checks.
const std::set<std::string> kFunctionCodes = {"XT_Manage_Main",
                                              "XT_Manage_ServerCheck",
                                              "XT_Manage_ChangePwd",
                                              "XT_Manage_Manager",
                                              "XT_Manage_ManagerPrivilege",
                                              "XT_Manage_LoginLog",
                                              "XT_Manage_ArticleClass",
                                              "XT_Manage_ArticleSubject",
                                              "XT_Manage_ArticleKeyword",
                                              "XT_Manage_ChannelSet",
                                              "XT_Manage_ArticleJs",
                                              "XT_Manage_ArticleNavi",
                                              "XT_Manage_ArticleAdd",
                                              "XT_Manage_Article",
                                              "XT_Manage_ArticleUpload",
                                              "XT_Manage_ArticleComment",
                                              "XT_Manage_ArticleCollect",
                                              "XT_Manage_ArticleCollectSet",
                                              "XT_Manage_ArticleHtml",
                                              "XT_Manage_DefaultHtml",
                                              "XT_Manage_Template",
                                              "XT_Manage_TemplatePage",
                                              "XT_Manage_Skin",
                                              "XT_Manage_Set",
                                              "XT_Manage_Announce",
                                              "XT_Manage_AD"};

// Console entries (values of m) a menu link may open.
const std::set<std::string> kConsoleEntries = {"admin_main",
                                               "admin_servercheck",
                                               "admin_changepassword",
                                               "admin_manager",
                                               "admin_managerprivilege",
                                               "admin_loginlog",
                                               "admin_login",
                                               "admin_articleclass",
                                               "admin_articlesubject",
                                               "admin_articlekeyword",
                                               "admin_channel",
                                               "admin_articlejs",
                                               "admin_articlenavi",
                                               "admin_articleadd",
                                               "admin_article",
                                               "admin_uploadfile",
                                               "admin_articlecomment",
                                               "admin_articlecollect",
                                               "admin_articlecollectset",
                                               "admin_articlehtml",
                                               "admin_defaulthtml",
                                               "admin_template",
                                               "admin_templatepage",
                                               "admin_skin",
                                               "admin_set",
                                               "admin_announce",
                                               "admin_ad"};

// Channel-scoped console entries: each must have an item in a channel's menu block.
const std::vector<std::string> kChannelEntries = {
    "admin_articleadd",     "admin_article",        "admin_articleclass",
    "admin_articlesubject", "admin_articlekeyword", "admin_articlecomment",
    "admin_uploadfile",     "admin_articlehtml",    "admin_articlejs",
    "admin_articlenavi",    "admin_template",       "admin_templatepage",
    "admin_skin",           "admin_articlecollect", "admin_articlecollectset"};

const std::regex kDateForm(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})");

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string MenuEntry(const std::string& link) {
  std::smatch match;
  static const std::regex kEntry(R"(m=([a-z_]+))");
  return std::regex_search(link, match, kEntry) ? match[1].str() : "";
}

// Everything a database holds, as text: the schema statements and every row of every table.
std::string DumpDatabase(SqliteFile& db) {
  std::string dump;
  for (const Row& row : db.Query("select type, name, sql from sqlite_master order by type, name")) {
    dump += row[0] + " " + row[1] + ": " + row[2] + "\n";
  }
  for (const std::string& table :
       db.Column("select name from sqlite_master where type = 'table' order by name")) {
    for (const Row& row : db.Query("select * from " + table + " order by rowid")) {
      dump += table + ":";
      for (const std::string& value : row) dump += " [" + value + "]";
      dump += "\n";
    }
  }
  return dump;
}

class SchemaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    schema_ = ReadSourceFile("db/schema_sqlite.sql");
    shipped_ = ReadSourceFile("db/shipped_rows.sql");
    ASSERT_FALSE(schema_.empty()) << "db/schema_sqlite.sql missing";
    ASSERT_FALSE(shipped_.empty()) << "db/shipped_rows.sql missing";
    db_ = std::make_unique<SqliteFile>(Path("site.db"));
    ASSERT_EQ(db_->Exec(schema_), "");
    ASSERT_EQ(db_->Exec(shipped_), "");
  }

  std::string QueryPlan(const std::string& sql) {
    std::string plan;
    for (const Row& row : db_->Query("explain query plan " + sql)) plan += row.back() + "\n";
    return plan;
  }

  std::string Path(const std::string& name) const { return (folder_.path() / name).string(); }

  TempFolder folder_;
  std::string schema_;
  std::string shipped_;
  std::unique_ptr<SqliteFile> db_;
};

TEST_F(SchemaTest, EveryTableThePagesNameExists) {
  std::vector<std::string> tables = db_->Column(
      "select name from sqlite_master where type = 'table' and name like 'Vantrel%' "
      "order by name");
  std::vector<std::string> expected = kTables;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(tables, expected);
}

TEST_F(SchemaTest, EveryColumnThePagesNameExistsAsSpelled) {
  for (const auto& [table, columns] : kColumns) {
    std::set<std::string> declared;
    for (const Row& row : db_->Query("pragma table_info(" + table + ")")) declared.insert(row[1]);
    for (const std::string& column : columns) {
      EXPECT_TRUE(declared.count(column)) << table << "." << column;
    }
  }
}

TEST_F(SchemaTest, TextComparesWithoutRegardToCase) {
  EXPECT_EQ(db_->Value("select d_name from Vantrel_Admin where d_name = 'ADMIN'"), "admin");
  EXPECT_EQ(db_->Value("select D_Password from Vantrel_Admin where D_Name = 'Admin'"),
            db_->Value("select d_password from Vantrel_Admin where d_id = 1"));
  // The privilege check as a page writes it, with the name and code in other capitals.
  EXPECT_EQ(db_->Value("select count(*) from Vantrel_ManagerFunction where d_adminname = "
                       "'ADMIN' and d_FunctionCode = 'xt_manage_main'"),
            "1");
  EXPECT_EQ(db_->Value("select d_id from Vantrel_Channel where d_channeldir = 'ARTICLE'"), "1");
  EXPECT_EQ(db_->Exec("insert into Vantrel_Article (d_channelid, d_title) values (1, 'News')"), "");
  EXPECT_EQ(db_->Value("select count(*) from Vantrel_Article where d_title = 'NEWS'"), "1");
  EXPECT_EQ(db_->Value("select count(*) from Vantrel_Article where d_title like '%ew%'"), "1");
  // The indexes on names are built with the same collation, so such lookups stay searches.
  std::string plan = QueryPlan("select * from Vantrel_Admin where d_name = 'ADMIN'");
  EXPECT_NE(plan.find("USING INDEX idx_admin_name"), std::string::npos) << plan;
}

TEST_F(SchemaTest, YesNoColumnsAreNotNullAndDefaultToFalse) {
  for (const auto& [table, columns] : kYesNoColumns) {
    std::map<std::string, Row> info;
    for (const Row& row : db_->Query("pragma table_info(" + table + ")")) info[row[1]] = row;
    for (const std::string& column : columns) {
      ASSERT_TRUE(info.count(column)) << table << "." << column;
      EXPECT_EQ(info[column][2], "YESNO") << table << "." << column;
      EXPECT_EQ(info[column][3], "1") << table << "." << column << " must be NOT NULL";
      EXPECT_EQ(info[column][4], "0") << table << "." << column << " must default to 0";
    }
  }
}

TEST_F(SchemaTest, CollectedArticleGetsALiveUnflaggedRowFromTheDefaults) {
  // Exactly the columns the collector writes.
  ASSERT_EQ(db_->Exec("insert into Vantrel_Article (d_channelid, d_title, d_author, d_content, "
                      "d_addtime, d_classid, d_subjectid, d_checked, d_keyword, d_inputer, "
                      "d_editor, d_uploadfiles, d_titleprefix) values (1, 't', 'a', 'c', "
                      "'2026-03-04 05:06:07', 0, 0, -1, '', 'admin', 'admin', '', 0)"),
            "");
  Rows rows = db_->Query(
      "select d_deleted, d_generatedflag, d_topflag, d_hotflag, d_recommendflag, "
      "d_paginationtype, d_clicktimes, d_dayclicktimes, d_weekclicktimes, d_monthclicktimes, "
      "d_templatepageid, d_linkurl, d_longtitle, d_LastClickTime from Vantrel_Article");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (Row{"0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "", "", kNull}));
  // A counter update on such a row counts from 0.
  ASSERT_EQ(db_->Exec("update Vantrel_Article set d_clicktimes = d_clicktimes + 1"), "");
  EXPECT_EQ(db_->Value("select d_clicktimes from Vantrel_Article"), "1");
}

TEST_F(SchemaTest, TrueSortsBeforeFalse) {
  ASSERT_EQ(db_->Exec("insert into Vantrel_Article (d_channelid, d_title, d_topflag, d_checked) "
                      "values (1, 'plain', 0, -1), (1, 'pinned', -1, -1), (1, 'newest', 0, -1)"),
            "");
  EXPECT_EQ(db_->Column("select d_title from Vantrel_Article where d_checked = -1 and "
                        "d_deleted = 0 and d_channelid = 1 order by d_topflag, d_id desc"),
            (std::vector<std::string>{"pinned", "newest", "plain"}));
}

TEST_F(SchemaTest, NextChannelIdIsElevenAndIdsAreNeverReused) {
  EXPECT_EQ(db_->Column("select d_id from Vantrel_Channel"), (std::vector<std::string>{"1"}));
  ASSERT_EQ(db_->Exec("insert into Vantrel_Channel (d_channelname) values ('新闻')"), "");
  EXPECT_EQ(db_->Value("select max(d_id) from Vantrel_Channel"), "11");
  ASSERT_EQ(db_->Exec("delete from Vantrel_Channel where d_id = 11"), "");
  ASSERT_EQ(db_->Exec("insert into Vantrel_Channel (d_channelname) values ('体育')"), "");
  EXPECT_EQ(db_->Value("select max(d_id) from Vantrel_Channel"), "12");

  // The creation writes its own id; the autonumber follows it.
  ASSERT_EQ(db_->Exec("insert into Vantrel_Channel (d_id, d_channelname) values (20, 'x')"), "");
  ASSERT_EQ(db_->Exec("insert into Vantrel_Channel (d_channelname) values ('y')"), "");
  EXPECT_EQ(db_->Value("select max(d_id) from Vantrel_Channel"), "21");

  // Other autonumbers are not reused either.
  ASSERT_EQ(db_->Exec("insert into Vantrel_Keyword (d_channelid, d_name) values (1, 'a')"), "");
  std::string first = db_->Value("select d_id from Vantrel_Keyword");
  ASSERT_EQ(db_->Exec("delete from Vantrel_Keyword"), "");
  ASSERT_EQ(db_->Exec("insert into Vantrel_Keyword (d_channelid, d_name) values (1, 'b')"), "");
  EXPECT_EQ(std::stoi(db_->Value("select d_id from Vantrel_Keyword")), std::stoi(first) + 1);
}

TEST_F(SchemaTest, AdministratorHoldsEveryFunctionCode) {
  std::vector<std::string> codes = db_->Column("select d_code from Vantrel_Function");
  EXPECT_EQ(std::set<std::string>(codes.begin(), codes.end()), kFunctionCodes);
  EXPECT_EQ(codes.size(), kFunctionCodes.size()) << "a code is listed twice";
  // Both grant pages list the rows with d_flag 1 in d_order.
  EXPECT_EQ(db_->Value("select count(*) from Vantrel_Function where d_flag = 1"),
            std::to_string(kFunctionCodes.size()));
  EXPECT_EQ(db_->Value("select count(distinct d_order) from Vantrel_Function"),
            std::to_string(kFunctionCodes.size()));
  EXPECT_EQ(db_->Value("select count(*) from Vantrel_Function where d_name = ''"), "0");

  std::vector<std::string> granted =
      db_->Column("select d_functioncode from Vantrel_ManagerFunction where d_adminname = 'admin'");
  EXPECT_EQ(std::set<std::string>(granted.begin(), granted.end()), kFunctionCodes);
  for (const std::string& code : kFunctionCodes) {
    EXPECT_EQ(db_->Value("select count(*) from Vantrel_ManagerFunction where d_adminname = "
                         "'admin' and d_FunctionCode = '" +
                         code + "'"),
              "1")
        << code;
  }
  // The per-administrator page's join marks every catalogue row as held.
  EXPECT_EQ(db_->Value("select count(*) from (select * from Vantrel_Function where d_flag = 1) b "
                       "left outer join (select d_adminname, d_functioncode from "
                       "Vantrel_ManagerFunction where d_adminname='admin') a on "
                       "b.d_code=a.d_functioncode where a.d_adminname is null"),
            "0");

  Rows admins = db_->Query("select d_name, d_password, d_loginnum from Vantrel_Admin");
  ASSERT_EQ(admins.size(), 1u);
  EXPECT_EQ(admins[0][0], "admin");
  EXPECT_TRUE(std::regex_match(admins[0][1], std::regex("[0-9a-f]{16}"))) << admins[0][1];
  EXPECT_EQ(admins[0][2], "0");
}

TEST_F(SchemaTest, InsertionTimesDefaultToNowInTheStorageForm) {
  ASSERT_EQ(db_->Exec("insert into Vantrel_CollectLog (d_projectid, d_channelid, d_url) "
                      "values (1, 1, 'http://127.0.0.1/a.html')"),
            "");
  Rows log =
      db_->Query("select d_flag, d_fileid, d_pagenext, d_title, d_date from Vantrel_CollectLog");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0][0], "0");
  EXPECT_EQ(log[0][1], "0");
  EXPECT_EQ(log[0][2], "-1");
  EXPECT_EQ(log[0][3], "");
  EXPECT_TRUE(std::regex_match(log[0][4], kDateForm)) << log[0][4];

  ASSERT_EQ(db_->Exec("insert into Vantrel_Keyword (d_channelid, d_name) values (1, 'k');"
                      "insert into Vantrel_Article (d_channelid, d_title) values (1, 't');"
                      "insert into Vantrel_ArticleComment (d_channelid, d_infoid) values (1, 1);"
                      "insert into Vantrel_Announce (d_channelid, d_title) values (0, 'n');"
                      "insert into Vantrel_Log (d_adminname) values ('admin');"
                      "insert into Vantrel_Admin (d_name) values ('editor');"),
            "");
  for (const char* sql :
       {"select d_addtime from Vantrel_Keyword", "select d_addtime from Vantrel_Article",
        "select d_addtime from Vantrel_ArticleComment", "select d_addtime from Vantrel_Announce",
        "select d_logintime from Vantrel_Log",
        "select d_regtime from Vantrel_Admin where d_name = 'editor'"}) {
    std::string value = db_->Value(sql);
    EXPECT_TRUE(std::regex_match(value, kDateForm)) << sql << " gave " << value;
  }
  // Times never set stay null, never a made-up date.
  EXPECT_EQ(db_->Value("select d_replytime from Vantrel_ArticleComment"), kNull);
  EXPECT_EQ(db_->Value("select d_lastlogintime from Vantrel_Admin where d_name = 'editor'"), kNull);
  // Every date column is declared DATETIME, so that the database layer hands it back as a date.
  const std::vector<std::pair<std::string, std::string>> date_columns = {
      {"Vantrel_Admin", "d_regtime"},          {"Vantrel_Admin", "d_lastlogintime"},
      {"Vantrel_Log", "d_logintime"},          {"Vantrel_Keyword", "d_addtime"},
      {"Vantrel_Article", "d_addtime"},        {"Vantrel_Article", "d_LastClickTime"},
      {"Vantrel_ArticleComment", "d_addtime"}, {"Vantrel_ArticleComment", "d_replytime"},
      {"Vantrel_Announce", "d_addtime"},       {"Vantrel_CollectLog", "d_date"}};
  for (const auto& [table, column] : date_columns) {
    EXPECT_EQ(db_->Value("select type from pragma_table_info('" + table + "') where name = '" +
                         column + "'"),
              "DATETIME")
        << table << "." << column;
  }
  // Shipped times have the same form.
  EXPECT_TRUE(std::regex_match(db_->Value("select d_regtime from Vantrel_Admin where d_id = 1"),
                               kDateForm));
}

TEST_F(SchemaTest, LoadsIdenticallyIntoTwoFiles) {
  SqliteFile second(Path("second.db"));
  ASSERT_EQ(second.Exec(schema_), "");
  ASSERT_EQ(second.Exec(shipped_), "");
  std::string first_dump = DumpDatabase(*db_);
  EXPECT_EQ(first_dump, DumpDatabase(second));
  EXPECT_NE(first_dump.find("Vantrel_MenuSet:"), std::string::npos);
}

TEST_F(SchemaTest, LoadingAgainOverALoadedDatabaseFailsAndChangesNothing) {
  std::string before = DumpDatabase(*db_);
  std::string error = db_->Exec(schema_);
  EXPECT_NE(error.find("already exists"), std::string::npos) << error;
  EXPECT_EQ(DumpDatabase(*db_), before);

  error = db_->Exec(shipped_);
  EXPECT_NE(error.find("UNIQUE"), std::string::npos) << error;
  EXPECT_EQ(DumpDatabase(*db_), before);
}

TEST_F(SchemaTest, ShippedConfigurationRow) {
  Rows rows = db_->Query(
      "select d_ID, d_name, d_url, d_installdir, d_defaultfileext, d_showadminlink, "
      "d_selectedmailflag, d_enablesoftkey, d_copyright, d_email from Vantrel_Config");
  ASSERT_EQ(rows.size(), 1u);
  const Row& row = rows[0];
  EXPECT_EQ(row[0], "1");
  EXPECT_FALSE(row[1].empty());
  EXPECT_EQ(row[2], "");  // the site address then follows the install folder
  EXPECT_EQ(row[3], "/");
  EXPECT_EQ(row[4], "0");
  EXPECT_EQ(row[5], "-1");
  EXPECT_EQ(row[6], "0");
  EXPECT_EQ(row[7], "0");
  EXPECT_FALSE(row[8].empty());
  EXPECT_NE(row[9].find('@'), std::string::npos);
}

TEST_F(SchemaTest, ShippedArticleChannel) {
  EXPECT_EQ(db_->Value("select count(*) from Vantrel_Channel where d_id between 2 and 10"), "0");
  Rows rows = db_->Query(
      "select d_channeltype, d_moduletype, d_shownameflag, d_disabledflag, d_projectname, "
      "d_projectunit, d_templateid, d_generatehtml, d_channeldir, d_uploadflag, d_uploaddir, "
      "d_upfiletype, d_groupnum, d_itemcount, d_order from Vantrel_Channel where d_id = 1");
  ASSERT_EQ(rows.size(), 1u);
  const Row& row = rows[0];
  EXPECT_EQ(row[0], "1");
  EXPECT_EQ(row[1], "1");
  EXPECT_EQ(row[2], "-1");
  EXPECT_EQ(row[3], "0");
  EXPECT_EQ(row[4], "文章");
  EXPECT_EQ(row[5], "篇");
  EXPECT_EQ(row[6], "1");
  EXPECT_EQ(row[7], "0");
  // The folder rules the channel forms apply to every channel.
  EXPECT_TRUE(std::regex_match(row[8], std::regex("[a-zA-Z]{1,50}"))) << row[8];
  EXPECT_EQ(row[9], "-1");
  EXPECT_TRUE(std::regex_match(row[10], std::regex("[a-zA-Z]{1,50}"))) << row[10];
  EXPECT_GT(std::stoi(row[12]), 0);
  EXPECT_EQ(row[13], "0");
  EXPECT_EQ(row[14], "1");

  // Uploads never take a type a browser or the server would run.
  static const std::set<std::string> kActive = {
      "asp",   "aspx", "asa",   "cer", "cdx", "php", "php3", "jsp", "cgi",
      "pl",    "exe",  "bat",   "cmd", "com", "js",  "vbs",  "htm", "html",
      "shtml", "shtm", "xhtml", "xml", "svg", "swf", "htc",  "hta"};
  std::stringstream types(row[11]);
  std::string type;
  int count = 0;
  while (std::getline(types, type, '|')) {
    ++count;
    EXPECT_FALSE(type.empty()) << row[11];
    std::transform(type.begin(), type.end(), type.begin(), ::tolower);
    EXPECT_FALSE(kActive.count(type)) << type;
  }
  EXPECT_GT(count, 0);

  // Channel 1 is what the public channel lists and the channel bar find.
  EXPECT_EQ(db_->Column("select d_id from Vantrel_Channel where d_shownameflag = -1 and "
                        "d_channeltype=1 and d_disabledflag = 0 order by d_order"),
            (std::vector<std::string>{"1"}));
}

TEST_F(SchemaTest, ConsoleMenuIsOneSequenceWithAChannelBlock) {
  Rows menu = db_->Query(
      "select d_channelid, d_name, d_linkurl, d_openflag, d_topflag, d_displayflag, d_order "
      "from Vantrel_MenuSet order by d_order");
  ASSERT_FALSE(menu.empty());
  EXPECT_EQ(menu.front()[4], "1") << "the menu must open with a group head";
  std::set<std::string> channel_entries;
  int first_channel_row = -1;
  int last_channel_row = -1;
  for (size_t i = 0; i < menu.size(); ++i) {
    const Row& row = menu[i];
    SCOPED_TRACE(row[1]);
    EXPECT_EQ(row[6], std::to_string(i + 1)) << "d_order must run 1..n";
    EXPECT_EQ(row[5], "1");
    EXPECT_FALSE(row[1].empty());
    if (row[4] == "1") {
      EXPECT_EQ(row[2], "");
    } else {
      EXPECT_TRUE(kConsoleEntries.count(MenuEntry(row[2]))) << row[2];
    }
    if (row[0] == "1") {
      if (first_channel_row < 0) first_channel_row = static_cast<int>(i);
      last_channel_row = static_cast<int>(i);
      // The copy for a new channel relabels by the item word and re-points by the id.
      EXPECT_NE(row[1].find("文章"), std::string::npos);
      if (row[4] != "1") {
        EXPECT_NE(row[2].find("channelid=1"), std::string::npos) << row[2];
        channel_entries.insert(MenuEntry(row[2]));
      }
    } else {
      EXPECT_EQ(row[0], "0");
      EXPECT_EQ(row[2].find("channelid=1"), std::string::npos) << row[2];
    }
  }
  ASSERT_GE(first_channel_row, 0);
  EXPECT_EQ(menu[first_channel_row][4], "1") << "the channel block must open with a head";
  for (int i = first_channel_row; i <= last_channel_row; ++i) {
    EXPECT_EQ(menu[i][0], "1") << "the channel block must be contiguous";
  }
  for (const std::string& entry : kChannelEntries) {
    EXPECT_TRUE(channel_entries.count(entry)) << entry;
  }
  EXPECT_NE(menu.back()[2].find("m=admin_login&action=out"), std::string::npos)
      << "sign-out is the last item";
}

TEST_F(SchemaTest, ChannelCreationCopyOfTheMenuLandsRightAfterTheSourceBlock) {
  // The statements a channel creation runs for channel 11 from module channel 1.
  std::string n = db_->Value("select Count(*) from Vantrel_MenuSet where d_channelid =1");
  std::string last = db_->Value(
      "select d_order from Vantrel_MenuSet where d_channelid =1 order by d_order desc "
      "limit 1");
  ASSERT_EQ(
      db_->Exec("update Vantrel_MenuSet set d_order = d_order + " + n + " where d_order > " + last),
      "");
  ASSERT_EQ(db_->Exec("insert into Vantrel_MenuSet (d_channelid, d_name, d_linkurl, d_openflag, "
                      "d_topflag, d_displayflag, d_order) select 11, replace(d_name, '文章', "
                      "'新闻'), replace(d_linkurl, 'channelid=1', 'channelid=11'), d_openflag, "
                      "d_topflag, d_displayflag, d_order + " +
                      n + " from Vantrel_MenuSet where d_channelid = 1"),
            "");
  Rows menu = db_->Query(
      "select d_channelid, d_name, d_linkurl, d_order from Vantrel_MenuSet "
      "order by d_order");
  for (size_t i = 0; i < menu.size(); ++i) {
    EXPECT_EQ(menu[i][3], std::to_string(i + 1)) << "d_order must stay 1..n";
  }
  int end_of_source = std::stoi(last);
  for (int i = 0; i < std::stoi(n); ++i) {
    const Row& copy = menu.at(end_of_source + i);
    const Row& source = menu.at(end_of_source - std::stoi(n) + i);
    EXPECT_EQ(source[0], "1");
    EXPECT_EQ(copy[0], "11");
    EXPECT_EQ(copy[1], ReplaceAll(source[1], "文章", "新闻"));
    EXPECT_EQ(copy[2], ReplaceAll(source[2], "channelid=1", "channelid=11"));
    EXPECT_EQ(copy[1].find("文章"), std::string::npos) << copy[1];
    if (!copy[2].empty()) {
      EXPECT_NE(copy[2].find("channelid=11"), std::string::npos) << copy[2];
    }
  }
  EXPECT_NE(menu.back()[2].find("m=admin_login&action=out"), std::string::npos);
}

// Statements of the pages, written by hand in SQLite's dialect (limit for top, -1 and 0 for true
// and false), run over a small seeded channel.
TEST_F(SchemaTest, ListQueriesOfThePagesRun) {
  ASSERT_EQ(
      db_->Exec(
          "insert into Vantrel_ArticleClass (d_id, d_channelid, d_pid, d_name, d_dir, d_level, "
          "d_order, d_child, d_rootid, d_path, d_commentflag, d_commentcheckflag) values "
          "(5, 1, 0, '国内', 'china', 0, 1, 1, 5, '5,', -1, 0),"
          "(6, 1, 5, '北京', 'beijing', 1, 2, 0, 5, '5,6,', -1, -1);"
          "insert into Vantrel_ArticleSubject (d_channelid, d_name, d_dir, d_order) values "
          "(1, '奥运', 'olympics', 1);"
          "insert into Vantrel_Keyword (d_channelid, d_name, d_order) values (1, '奥运', 1);"
          "insert into Vantrel_Article (d_channelid, d_classid, d_subjectid, d_title, d_author, "
          "d_content, d_addtime, d_checked, d_keyword, d_clicktimes, d_picurl) values "
          "(1, 6, 1, '北京奥运', '记者', '正文', '2026-05-01 08:00:00', -1, '|奥运|', 7, "
          "'Article/uploadfile/a.jpg'),"
          "(1, 5, 0, '草稿', '', '', '2026-05-02 08:00:00', 0, '', 0, ''),"
          "(1, 5, 0, '已删除', '', '', '2026-05-03 08:00:00', -1, '', 0, '');"
          "update Vantrel_Article set d_deleted = -1 where d_title = '已删除';"
          "insert into Vantrel_ArticleComment (d_channelid, d_infoid, d_usertype, d_username, "
          "d_score, d_comment, d_checked) values (1, 1, 0, '读者', 5, '好', -1);"
          "insert into Vantrel_Announce (d_channelid, d_title, d_content, d_author, "
          "d_selectedflag) values (0, '公告', '内容', 'admin', -1);"
          "insert into Vantrel_Log (d_ip, d_adminname, d_thisloginnum) values "
          "('127.0.0.1', 'ADMIN', 1);"
          "insert into Vantrel_CollectProject (D_ChannelID, D_ClassID, D_Name, D_PageUrl) values "
          "(1, 5, '采集', 'http://127.0.0.1/list_{page}.html');"
          "insert into Vantrel_CollectLog (d_projectid, d_channelid, d_url) values "
          "(1, 1, 'http://127.0.0.1/1.html');"),
      "");

  // Public article list chip: approved live articles, pinned first, with the class folder.
  Rows list = db_->Query(
      "select a.d_id, a.d_classid, a.d_title, a.d_titleprefix, a.d_fontshape, a.d_addtime, "
      "a.d_titlecolor, a.d_hotflag, a.d_recommendflag, a.d_topflag, a.d_author, a.d_clicktimes, "
      "a.d_linkurl, b.d_dir, b.d_name, b.d_commentflag, b.d_commentcheckflag from (select "
      "d_id,d_classid, d_title, d_titleprefix, d_fontshape, d_addtime, d_titlecolor, d_hotflag, "
      "d_recommendflag, d_topflag, d_author, d_clicktimes, d_linkurl from Vantrel_Article where "
      "d_checked = -1 and d_deleted = 0 and d_channelid = 1 and d_classid in (select d_id from "
      "Vantrel_ArticleClass where d_channelid = 1 and d_order in (1,2)) order by d_topflag, "
      "d_id desc limit 10) a left outer join (select d_id,d_dir, d_name, d_commentflag, "
      "d_commentcheckflag from Vantrel_ArticleClass) b on a.d_classid=b.d_id");
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0][2], "北京奥运");
  EXPECT_EQ(list[0][13], "beijing");

  // Picture list, search, related articles by keyword and by keyword library.
  EXPECT_EQ(db_->Query("select d_id, d_title, d_author, d_addtime, d_picurl, d_summary, "
                       "d_classid from Vantrel_Article where d_picurl <> '' and d_deleted = 0 "
                       "and d_checked = -1 and d_channelid = 1 and d_subjectid = 1 and "
                       "d_hotflag = 0 order by d_topflag, d_clicktimes desc limit 4")
                .size(),
            1u);
  EXPECT_EQ(db_->Query("select a.d_id, a.d_title, a.d_classid, a.d_addtime, a.d_author, "
                       "a.d_clicktimes, b.d_dir, b.d_name, a.d_content from (select d_id, "
                       "d_title, d_classid, d_addtime, d_author, d_clicktimes, d_content from "
                       "Vantrel_Article where d_checked = -1 and d_deleted = 0 and d_channelid = "
                       "1 and d_title like '%奥运%') a left outer join (select d_id,d_dir, "
                       "d_name from Vantrel_ArticleClass) b on a.d_classid=b.d_id order by "
                       "a.d_addtime desc")
                .size(),
            1u);
  EXPECT_EQ(db_->Query("select d_id, d_addtime, d_title, d_classid from Vantrel_Article where "
                       "(d_keyword like '%|奥运|%') and d_id <> 2 and d_checked = -1 and "
                       "d_deleted = 0 and d_channelid = 1 order by d_id desc limit 5")
                .size(),
            1u);
  EXPECT_EQ(db_->Query("select c.d_id, c.d_addtime, c.d_title, c.d_classid from "
                       "Vantrel_Article c,(select d_name from Vantrel_Keyword where '北京奥运' "
                       "like '%' || d_name || '%' and d_channelid = 1) d where c.d_title like "
                       "'%' || d_name || '%' and c.d_checked = -1 and c.d_deleted = 0")
                .size(),
            1u);

  // Article manager, recycle bin, generation planner.
  EXPECT_EQ(db_->Query("select a.d_id, a.d_classid, a.d_title, a.d_titleprefix, a.d_hotflag, "
                       "a.d_topflag, a.d_recommendflag, a.d_clicktimes, a.d_checked, "
                       "a.d_inputer, a.d_picurl, a.d_generatedflag, a.d_addtime, b.d_name from "
                       "(select d_id, d_classid, d_title, d_titleprefix, d_hotflag, d_topflag, "
                       "d_recommendflag, d_clicktimes, d_checked, d_inputer, d_picurl, "
                       "d_generatedflag, d_addtime from Vantrel_Article where d_deleted = 0 and "
                       "d_channelid = 1) a left outer join (select d_id, d_name from "
                       "Vantrel_ArticleClass) b on a.d_classid = b.d_id order by a.d_addtime "
                       "desc limit 20 offset 0")
                .size(),
            2u);
  EXPECT_EQ(db_->Value("select count(*) from Vantrel_Article where d_deleted = -1 and "
                       "d_channelid = 1"),
            "1");
  EXPECT_EQ(db_->Value("select count(*) from Vantrel_Article where d_generatedflag=0 and "
                       "d_checked=-1 and d_deleted=0 and (d_linkurl is null or d_linkurl = '') "
                       "and d_channelid = 1"),
            "1");
  EXPECT_EQ(db_->Query("select d_id,d_name,d_path,d_dir, d_pagenum, d_templatepageid from "
                       "Vantrel_ArticleClass where d_generatedflag = 0 and d_channelid = 1")
                .size(),
            2u);

  // Class tree, navigation, subjects, keywords.
  EXPECT_EQ(db_->Column("select d_id from Vantrel_ArticleClass where d_channelid = 1 and "
                        "d_order between 1 and 1 + 1 order by d_order"),
            (std::vector<std::string>{"5", "6"}));
  EXPECT_EQ(db_->Value("select d_path from Vantrel_ArticleClass where d_id = 6"), "5,6,");
  EXPECT_EQ(db_->Value("select d_name from Vantrel_ArticleSubject where d_channelid = 1 order "
                       "by d_order"),
            "奥运");
  EXPECT_EQ(db_->Value("select d_name from Vantrel_Keyword where d_channelid = 1 order by "
                       "d_order desc limit 3"),
            "奥运");

  // Comments: the list script, the moderation list, the counter.
  EXPECT_EQ(db_->Query("select d_username, d_addtime,d_score, d_comment, d_replyuser, "
                       "d_replytime, d_reply from Vantrel_ArticleComment where d_channelid = 1 "
                       "and d_checked = -1 and d_infoid = 1 order by d_addtime desc")
                .size(),
            1u);
  EXPECT_EQ(db_->Exec("update Vantrel_Channel set d_commentcount = d_commentcount + 1 where "
                      "d_id = 1"),
            "");
  EXPECT_EQ(db_->Value("select d_commentcount from Vantrel_Channel where d_id = 1"), "1");

  // Click counting.
  EXPECT_EQ(db_->Exec("update Vantrel_Article set d_clicktimes = d_clicktimes + 1, "
                      "d_dayclicktimes = d_dayclicktimes + 1, d_LastClickTime = '2026-05-04 "
                      "10:00:00' where d_id = 1; update Vantrel_Channel set d_clickcount = "
                      "d_clickcount + 1 where d_id = 1"),
            "");
  EXPECT_EQ(db_->Value("select d_clicktimes from Vantrel_Article where d_id = 1"), "8");

  // Announcements, login log (joined case-blind), collection log and projects.
  EXPECT_EQ(db_->Value("select d_title from Vantrel_Announce where d_selectedflag = -1 and "
                       "d_channelid = 0 order by d_addtime desc limit 5"),
            "公告");
  EXPECT_EQ(db_->Query("select Vantrel_Log.d_adminname,Vantrel_Log.d_ip,Vantrel_Log.d_logintime,"
                       "Vantrel_Log.d_thisloginnum,Vantrel_Admin.d_name,Vantrel_Admin.D_LoginNum,"
                       "Vantrel_Log.d_id from Vantrel_Log inner join Vantrel_Admin on "
                       "Vantrel_Log.d_adminname=Vantrel_Admin.d_name order by "
                       "Vantrel_Log.d_logintime desc")
                .size(),
            1u);
  EXPECT_EQ(db_->Query("select a.d_id,a.d_title,a.d_url,a.d_flag,a.d_date,b.d_name, "
                       "a.d_projectid from (select d_id, d_title, d_url, d_projectid, d_flag, "
                       "d_date from Vantrel_CollectLog where d_channelid = 1) a,"
                       "Vantrel_CollectProject b where a.d_projectid=b.d_id order by a.d_id desc")
                .size(),
            1u);
  EXPECT_EQ(db_->Value("select b.d_classname from (select d_id,d_name,d_classid, d_pageurl, "
                       "d_firstdiff, d_firstfilename from Vantrel_CollectProject where "
                       "d_channelid = 1) a left outer join (select d_id, d_name as d_classname "
                       "from Vantrel_ArticleClass) b on a.d_classid=b.d_id order by a.d_id desc"),
            "国内");

  // Menu page, channel bar, grant pages, settings, upload clean-up, top users.
  EXPECT_FALSE(db_->Query("select * from Vantrel_MenuSet where d_displayflag = 1 order by "
                          "d_order")
                   .empty());
  EXPECT_EQ(db_->Query("select * from Vantrel_Channel where D_ShowNameFlag = -1 and "
                       "d_disabledflag = 0 order by d_order")
                .size(),
            1u);
  EXPECT_EQ(db_->Query("select * from Vantrel_Function where d_flag = 1 order by d_order").size(),
            kFunctionCodes.size());
  EXPECT_EQ(db_->Query("select D_SelectedMailFlag, D_MailServer, D_MailUser, D_MailPassword, "
                       "D_EnableSoftKey from Vantrel_Config")
                .size(),
            1u);
  EXPECT_EQ(db_->Value("select d_id from Vantrel_Article where lower(d_uploadfiles) like "
                       "'%a.jpg%' or lower(d_picurl) like '%a.jpg%'"),
            "1");
  for (const char* table : {"Vantrel_Product", "Vantrel_Download", "Vantrel_Pic"}) {
    EXPECT_TRUE(db_->Query(std::string("select d_id from ") + table +
                           " where lower(d_uploadfiles) like '%a.jpg%' or lower(d_picurl) like "
                           "'%a.jpg%'")
                    .empty());
  }
  EXPECT_TRUE(db_->Query("select * from Vantrel_User order by d_articlenum desc limit 10").empty());
}

// Statements that copy a module channel's rows for a new channel.
TEST_F(SchemaTest, ChannelCopyStatementsRun) {
  ASSERT_EQ(db_->Exec("insert into Vantrel_Template (d_channelid, d_name, d_sysflag) values "
                      "(1, '默认方案', -1);"
                      "insert into Vantrel_Skin (d_channelid, d_name, d_content, d_sysflag) values "
                      "(1, '默认风格', 'body{}', -1);"
                      "insert into Vantrel_TemplatePage (d_channelid, d_name, d_type, d_content, "
                      "d_skinid, d_sysflag) values (1, '内容页', 'content', '{$showarticletitle}', "
                      "1, -1);"
                      "insert into Vantrel_TemplateAndPage (d_channelid, d_templateid, d_pageid, "
                      "d_type) values (1, 1, 1, 'content');"
                      "insert into Vantrel_JS (d_channelid, d_jsname, d_typeflag, d_filename, "
                      "d_config) values (1, '最新', 0, 'new.js', '');"),
            "");
  EXPECT_EQ(db_->Exec("insert into Vantrel_TemplatePage (d_channelid, d_name, d_type, d_content, "
                      "d_skinid, d_sysflag) select 11, d_name, d_type, d_content, d_skinid, "
                      "d_sysflag from Vantrel_TemplatePage where d_id = 1;"
                      "insert into Vantrel_TemplateAndPage (d_channelid, d_templateid, d_pageid, "
                      "d_type) select 11, d_templateid, 2, d_type from Vantrel_TemplateAndPage "
                      "where d_pageid =1;"
                      "insert into Vantrel_Template (d_channelid, d_name, d_dir, d_desc, "
                      "d_sysflag) select 11, d_name, d_dir, d_desc, d_sysflag from "
                      "Vantrel_Template where d_id = 1;"
                      "update Vantrel_TemplateAndPage set d_templateid = 2 where d_templateid = "
                      "1 and d_channelid = 11;"
                      "insert into Vantrel_JS (d_channelid, d_jsname, d_desc, d_typeflag, "
                      "d_filename, d_config) select 11, d_jsname, d_desc, d_typeflag, "
                      "d_filename, d_config from Vantrel_JS where d_channelid =1"),
            "");
  // The public lookup of a template page through the copied set.
  EXPECT_EQ(db_->Value("select d_content from Vantrel_TemplatePage where d_id = (select "
                       "d_pageid from Vantrel_TemplateAndPage where d_templateid = 2 and d_type "
                       "= 'CONTENT')"),
            "{$showarticletitle}");
  EXPECT_EQ(db_->Value("select count(*) from Vantrel_JS where lower(d_filename) = 'new.js' and "
                       "d_channelid = 11"),
            "1");
}

// The pages reach the tables through the database layer, which reads a column's kind from its
// declared type: yes/no columns must come back as booleans and store a posted "1" as -1, date
// columns must come back as dates, and the 0/1 menu flags as plain numbers.
TEST_F(SchemaTest, DatabaseLayerReadsTheDeclaredKinds) {
  Connection conn;
  conn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + Path("site.db") + ";");

  Recordset add;
  add.Open("select * from Vantrel_Article where 1 < 0", conn, 1, 3);
  add.AddNew();
  add.Set("d_channelid", Variant("1"));
  add.Set("d_title", Variant("置顶"));
  add.Set("d_topflag", Variant("1"));  // as the article form posts it
  add.Set("d_checked", Variant("1"));
  add.Set("d_addtime", Variant("2026-5-1 8:00:00"));
  add.Update();
  const std::string id = add["d_id"].ToString();
  add.Close();
  EXPECT_EQ(db_->Query("select d_topflag, d_checked, d_deleted, d_addtime from Vantrel_Article "
                       "where d_id = " +
                       id),
            (Rows{{"-1", "-1", "0", "2026-05-01 08:00:00"}}));

  Recordset rs;
  rs.Open("select * from Vantrel_Article where d_id = " + id, conn);
  ASSERT_FALSE(rs.Eof());
  EXPECT_EQ(rs["d_topflag"].type(), Variant::Type::kBoolean);
  EXPECT_TRUE(rs["d_topflag"].CBool());
  EXPECT_EQ(rs["d_deleted"].type(), Variant::Type::kBoolean);
  EXPECT_FALSE(rs["d_deleted"].CBool());
  EXPECT_EQ(rs["d_addtime"].type(), Variant::Type::kDate);
  EXPECT_TRUE(rs["d_LastClickTime"].IsNull());
  EXPECT_EQ(rs["d_clicktimes"].type(), Variant::Type::kInteger);
  rs.Close();

  // The pages' dialect: true/false literals and top N over the stored -1/0.
  EXPECT_EQ(conn.ExecuteScalar("select count(*) from Vantrel_Article where d_topflag = true and "
                               "d_deleted = false and d_checked = true")
                .ToInt64(),
            1);
  EXPECT_EQ(conn.ExecuteScalar("select top 1 d_title from Vantrel_Article order by d_topflag, "
                               "d_id desc")
                .ToString(),
            "置顶");

  rs.Open("select * from Vantrel_Config", conn);
  ASSERT_FALSE(rs.Eof());
  EXPECT_EQ(rs["d_showadminlink"].type(), Variant::Type::kBoolean);
  EXPECT_TRUE(rs["d_showadminlink"].CBool());
  EXPECT_EQ(rs["d_enablesoftkey"].ToInt64(), 0);
  rs.Close();

  rs.Open("select * from Vantrel_MenuSet where d_displayflag = 1 order by d_order", conn);
  ASSERT_FALSE(rs.Eof());
  EXPECT_EQ(rs["d_topflag"].type(), Variant::Type::kInteger);
  EXPECT_EQ(rs["d_topflag"].ToInt64(), 1);
  rs.Close();

  rs.Open("select * from Vantrel_Admin where d_name = 'ADMIN'", conn);
  ASSERT_FALSE(rs.Eof());
  EXPECT_EQ(rs["d_regtime"].type(), Variant::Type::kDate);
  rs.Close();
  conn.Close();
}

// The list and lookup queries that run on every page view find an index instead of reading the
// whole table.
TEST_F(SchemaTest, ListQueriesUseIndexes) {
  const std::vector<std::pair<std::string, std::string>> queries = {
      {"Vantrel_Article",
       "select d_id from Vantrel_Article where d_checked = -1 and d_deleted = 0 and d_channelid "
       "= 1 order by d_topflag, d_id desc limit 10"},
      {"Vantrel_Article",
       "select d_id from Vantrel_Article where d_checked = -1 and d_deleted = 0 and d_channelid "
       "= 1 order by d_topflag, d_addtime desc limit 10"},
      {"Vantrel_Article",
       "select d_id from Vantrel_Article where d_deleted = 0 and d_channelid = 1 order by "
       "d_addtime desc limit 20"},
      {"Vantrel_Article", "select d_id from Vantrel_Article where d_classid = 5"},
      {"Vantrel_Article", "select d_id from Vantrel_Article where d_subjectid = 1"},
      {"Vantrel_Article", "select * from Vantrel_Article where d_title='北京奥运'"},
      {"Vantrel_ArticleClass",
       "select * from Vantrel_ArticleClass where d_channelid = 1 order by d_order"},
      {"Vantrel_ArticleSubject",
       "select * from Vantrel_ArticleSubject where d_channelid = 1 order by d_order"},
      {"Vantrel_Keyword",
       "select * from Vantrel_Keyword where d_channelid = 1 order by d_order desc"},
      {"Vantrel_ArticleComment",
       "select * from Vantrel_ArticleComment where d_channelid = 1 and d_checked = -1 and "
       "d_infoid = 1 order by d_addtime desc"},
      {"Vantrel_MenuSet", "select * from Vantrel_MenuSet where d_displayflag = 1 order by d_order"},
      {"Vantrel_ManagerFunction",
       "select * from Vantrel_ManagerFunction where d_adminname = 'admin' and d_FunctionCode = "
       "'XT_Manage_Main'"},
      {"Vantrel_TemplateAndPage",
       "select d_pageid from Vantrel_TemplateAndPage where d_templateid = 1 and d_type = "
       "'content'"},
      {"Vantrel_NaviMenu", "select * from Vantrel_NaviMenu where d_channelid = 1 order by d_order"},
      {"Vantrel_CollectLog",
       "select * from Vantrel_CollectLog where d_projectid=1 and d_url='http://127.0.0.1/1.html'"},
      {"Vantrel_Announce",
       "select * from Vantrel_Announce where d_selectedflag = -1 and d_channelid = 0 order by "
       "d_addtime desc"},
  };
  for (const auto& [table, sql] : queries) {
    std::string plan = QueryPlan(sql);
    EXPECT_NE(plan.find("SEARCH " + table + " USING"), std::string::npos) << sql << "\n" << plan;
  }
  // The pages that show the first rows of a long list read those rows in index order rather
  // than sorting the whole channel: public lists newest first, the article manager.
  for (const std::string& sql :
       std::vector<std::string>{queries[0].second, queries[1].second, queries[2].second}) {
    std::string plan = QueryPlan(sql);
    EXPECT_EQ(plan.find("TEMP B-TREE"), std::string::npos) << sql << "\n" << plan;
  }
}

}  // namespace
}  // namespace folirex
