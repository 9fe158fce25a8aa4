// The two entries: which page procedure each request reaches, with which request values, and what
// happens when the database cannot be used.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "app/feature_modules.h"
#include "core/folirex.h"
#include "core/modules.h"
#include "core/public_request.h"
#include "support/site_fixture.h"

namespace folirex::testing {
namespace {

struct Call {
  std::string procedure;
  std::vector<std::string> args;
  std::string channel_id;
  std::string action;
};

// A registry whose every procedure records how it was reached.
class RecordingModules {
 public:
  RecordingModules() {
    // The console routes as the modules register them, each page replaced by a recorder.
    ModuleRegistry program;
    RegisterFeatureModules(program);
    for (const AdminRoute& route : program.admin_routes()) {
      std::string procedure = route.procedure;
      registry.AddAdminRoute(
          {route.m, procedure, [this, procedure](RequestState& state, const ConsoleRequest& r) {
             calls.push_back({procedure, {}, state.channel.ChannelID.ToString(), r.action});
             state.host.Response->Write("page:" + procedure);
           }});
    }
    // The public routes, each recording the request values its page takes, in the page's order.
    using Values = std::vector<std::string> (*)(const RequestState&, const PublicRequest&);
    const std::vector<std::tuple<const char*, const char*, Values>> routes = {
        {"search", "ShowSearch",
         [](const RequestState&, const PublicRequest& r) -> std::vector<std::string> {
           return {r.search_type, IdText(r.search_class), r.search_keyword, IdText(r.search_order)};
         }},
        {"print", "ShowPrint", ArticleOnly},
        {"click", "ShowClick", ArticleOnly},
        {"comment", "ShowComment",
         [](const RequestState& s, const PublicRequest& r) -> std::vector<std::string> {
           return {IdText(r.article_id), r.flag, s.channel.ChannelID.ToString()};
         }},
        {"commentlist", "ShowCommentList",
         [](const RequestState&, const PublicRequest& r) -> std::vector<std::string> {
           return {r.parameter, r.page_type, IdText(r.article_id)};
         }},
        {"tellfriend", "ShowTellFriend",
         [](const RequestState&, const PublicRequest& r) -> std::vector<std::string> {
           return {IdText(r.article_id), r.flag, r.mail_to, r.mail_to_name};
         }},
        {"userlist", "ShowUserList", NoValues},
        {"content", "ShowContent", ArticleOnly},
        {"classlist", "ShowClassList",
         [](const RequestState&, const PublicRequest& r) -> std::vector<std::string> {
           return {IdText(r.class_id), ""};
         }},
        {"subjectlist", "ShowSubjectList",
         [](const RequestState&, const PublicRequest& r) -> std::vector<std::string> {
           return {IdText(r.subject_id)};
         }},
        {"hotlist", "ShowHotList", NoValues},
        {"recommendlist", "ShowRecommendList", NoValues},
        {"newlist", "ShowNewList", NoValues},
        {"notice", "ShowNotice",
         [](const RequestState&, const PublicRequest& r) -> std::vector<std::string> {
           return {IdText(r.notice_id)};
         }},
    };
    for (const auto& [m, name, values] : routes) {
      registry.AddPublicRoute(m, Recorder(name, values));
    }
    registry.SetHomePage(Recorder("ShowDefault", NoValues));
    registry.SetFirstPage(Recorder("ShowFirst", NoValues));
    registry.SetChannelLoader([this](RequestState&, std::optional<int64_t> id) {
      loaded_channels.push_back(IdText(id));
      ChannelSettings channel;
      channel.ChannelID = IdText(id);
      return channel;
    });
  }

  static std::vector<std::string> NoValues(const RequestState&, const PublicRequest&) { return {}; }
  static std::vector<std::string> ArticleOnly(const RequestState&, const PublicRequest& r) {
    return {IdText(r.article_id)};
  }

  PublicHandler Recorder(std::string procedure,
                         std::vector<std::string> (*values)(const RequestState&,
                                                            const PublicRequest&)) {
    return [this, procedure, values](RequestState& state, const PublicRequest& request) {
      calls.push_back({procedure, values(state, request), state.channel.ChannelID.ToString(), ""});
      return "page:" + procedure;
    };
  }

  ModuleRegistry registry;
  std::vector<Call> calls;
  std::vector<std::string> loaded_channels;
};

class EntryTest : public ::testing::Test {
 protected:
  const Call& RunAdmin(const std::string& query, const std::string& body = "") {
    runner_.NewRequest("/admin.asp" + query, body);
    runner_.Run(EntryKind::kAdmin, modules_.registry);
    EXPECT_FALSE(modules_.calls.empty()) << "no procedure reached for " << query;
    return modules_.calls.back();
  }

  const Call& RunPublic(const std::string& query, const std::string& body = "") {
    runner_.NewRequest("/asp.asp" + query, body);
    runner_.Run(EntryKind::kPublic, modules_.registry);
    EXPECT_FALSE(modules_.calls.empty()) << "no handler reached for " << query;
    return modules_.calls.back();
  }

  void AddChannels(std::initializer_list<int> ids) {
    for (int id : ids)
      site_.Add(ChannelRow{.name = "c" + std::to_string(id), .id = id, .order = 100 - id});
  }

  SiteFixture site_;
  PageRunner& runner_ = site_.runner();
  RecordingModules modules_;
};

TEST_F(EntryTest, AdminTableReachesEachModule) {
  const std::vector<std::pair<std::string, std::string>> table = {
      {"admin_login", "Login_Main"},
      {"admin_index", "Index_Main"},
      {"admin_menu", "Menu_Main"},
      {"admin_servercheck", "ServerCheck_Main"},
      {"admin_managerprivilege", "ManagerPrivilege_Main"},
      {"admin_article", "Article_Main"},
      {"admin_articleadd", "ArticleAdd_Main"},
      {"admin_articlecollectset", "ArticleCollectSet_Main"},
      {"uploadfile", "Upload_Main"},
      {"admin_selectmore", "SelectMore_Main"},
      {"admin_ad", "AD_Main"},
      {"admin_main", "Home_Main"},
      {"ADMIN_SET", "Set_Main"},
      {"admin_se't", "Set_Main"},  // quotes are deleted, not refused
      {"nothing", "Login_Main"},
  };
  for (const auto& [m, procedure] : table) {
    EXPECT_EQ(RunAdmin("?m=" + m).procedure, procedure) << m;
  }
}

TEST_F(EntryTest, AdminActionIsLowerCasedAndFilteredFromTheQueryStringOnly) {
  EXPECT_EQ(RunAdmin("?m=admin_set&action=Sa;ve").action, "save");
  EXPECT_EQ(RunAdmin("?m=admin_set", "action=save").action, "");
}

TEST_F(EntryTest, AdminEmptyMDependsOnTheSignIn) {
  EXPECT_EQ(RunAdmin("").procedure, "Login_Main");
  runner_.session().Set("User_Code", "admin");
  EXPECT_EQ(RunAdmin("").procedure, "Index_Main");
  // A posted m does not steer the console.
  EXPECT_EQ(RunAdmin("", "m=admin_set").procedure, "Index_Main");
}

TEST_F(EntryTest, PublicTablePassesTheNamedValues) {
  AddChannels({11});
  const Call& search =
      RunPublic("?m=search&searchtype=1&searchclass=3&searchkeyword=a'b&searchorder=2&channelid=1");
  EXPECT_EQ(search.procedure, "ShowSearch");
  EXPECT_EQ(search.args, (std::vector<std::string>{"1", "3", "ab", "2"}));

  const Call& comment = RunPublic("?m=comment&articleid=7&flag=1&channelid=11");
  EXPECT_EQ(comment.procedure, "ShowComment");
  EXPECT_EQ(comment.args, (std::vector<std::string>{"7", "1", "11"}));

  const Call& list = RunPublic("?m=commentlist&parameter=a'b&pagetype=2&articleid=7&channelid=1");
  EXPECT_EQ(list.args, (std::vector<std::string>{"a'b", "2", "7"}))
      << "parameter is only trimmed, not filtered";

  const Call& classlist = RunPublic("?m=classlist&classid=%205%20&channelid=1");
  EXPECT_EQ(classlist.procedure, "ShowClassList");
  EXPECT_EQ(classlist.args, (std::vector<std::string>{"5", ""}));

  EXPECT_EQ(RunPublic("?m=Content&articleid=7&channelid=1").procedure, "ShowContent");
  EXPECT_EQ(RunPublic("?channelid=1", "m=print&articleid=3").procedure, "ShowPrint");
  EXPECT_EQ(RunPublic("?m=userlist&channelid=1").procedure, "ShowUserList");
  EXPECT_EQ(RunPublic("?m=unknown&channelid=1").procedure, "ShowFirst");
}

TEST_F(EntryTest, PublicDefaultChannelIsTheLowestIdAndHomeNeedsSeveralChannels) {
  // Channel 1 ships with the site; its display order does not matter.
  const Call& one = RunPublic("");
  EXPECT_EQ(one.procedure, "ShowFirst");
  EXPECT_EQ(one.channel_id, "1");

  AddChannels({12, 11});
  const Call& home = RunPublic("?m=");
  EXPECT_EQ(home.procedure, "ShowDefault");
  EXPECT_EQ(home.channel_id, "1");
  EXPECT_EQ(modules_.loaded_channels.back(), "1");

  const Call& first = RunPublic("?channelid=12");
  EXPECT_EQ(first.procedure, "ShowFirst") << "a given channel always shows its first page";
  EXPECT_EQ(first.channel_id, "12");
}

TEST_F(EntryTest, PublicWithoutChannelsAlertsAndRunsNoHandler) {
  site_.Sql("delete from Vantrel_Channel");
  runner_.NewRequest("/asp.asp");
  runner_.Run(EntryKind::kPublic, modules_.registry);
  EXPECT_TRUE(modules_.calls.empty());
  EXPECT_NE(runner_.response().body().find("提示：参数错误！"), std::string::npos);
  EXPECT_NE(runner_.response().body().find("history.back()"), std::string::npos);
}

TEST_F(EntryTest, BrokenDatabaseRedirectsTheConsoleAndAnswers503OnThePublicSide) {
  site_.settings().DBPath = "data/missing.db";
  runner_.NewRequest("/admin.asp?m=admin_set");
  runner_.Run(EntryKind::kAdmin, modules_.registry);
  EXPECT_EQ(runner_.response().status(), 302);
  EXPECT_EQ(HeaderOf(runner_.response(), "Location"), "?m=admin_error&errnum=0");
  EXPECT_TRUE(runner_.response().body().empty());
  EXPECT_TRUE(modules_.calls.empty());

  // The error page itself still answers, without a database.
  EXPECT_EQ(RunAdmin("?m=admin_error&errnum=0").procedure, "Error_Main");

  modules_.calls.clear();
  runner_.NewRequest("/asp.asp");
  runner_.Run(EntryKind::kPublic, modules_.registry);
  EXPECT_EQ(runner_.response().status(), 503);
  EXPECT_TRUE(modules_.calls.empty());
  EXPECT_FALSE(std::filesystem::exists(site_.root() / "data/missing.db"))
      << "opening a missing database must not create it";
}

TEST_F(EntryTest, DatabaseWithoutTablesCountsAsBroken) {
  std::filesystem::path empty = site_.root() / "data" / "empty.db";
  site_.settings().DBPath = "data/empty.db";
  { std::ofstream(empty.string()); }  // a zero-length file is a valid, empty SQLite database
  runner_.NewRequest("/admin.asp?m=admin_set");
  runner_.Run(EntryKind::kAdmin, modules_.registry);
  EXPECT_EQ(HeaderOf(runner_.response(), "Location"), "?m=admin_error&errnum=0");
  runner_.NewRequest("/asp.asp");
  runner_.Run(EntryKind::kPublic, modules_.registry);
  EXPECT_EQ(runner_.response().status(), 503);
}

TEST_F(EntryTest, ModulesNotBuiltYetAnswerPlainly) {
  ModuleRegistry none;
  runner_.NewRequest("/admin.asp?m=admin_set");
  runner_.Run(EntryKind::kAdmin, none);
  // The console's routes come with their modules: without them every m falls to the sign-in page.
  EXPECT_NE(runner_.response().body().find("此功能模块尚未安装：Login_Main"), std::string::npos);
  // The public site's routes come with its module: without it every m falls to the first page.
  runner_.NewRequest("/asp.asp?m=content&articleid=1");
  runner_.Run(EntryKind::kPublic, none);
  EXPECT_NE(runner_.response().body().find("此功能模块尚未安装：ShowFirst"), std::string::npos);
}

TEST_F(EntryTest, EndPageClosesTheDatabaseAndReleasesAForgottenLock) {
  ModuleRegistry modules;
  modules.AddAdminRoute({"admin_set", "Set_Main", [](RequestState& state, const ConsoleRequest&) {
                           state.host.Application->Lock();
                           state.host.Response->Write("locked");
                         }});
  runner_.NewRequest("/admin.asp?m=admin_set");
  runner_.Run(EntryKind::kAdmin, modules);
  // Another thread can take the lock afterwards.
  std::thread other([this] {
    runner_.application().Lock();
    runner_.application().Set("x", 1);
    runner_.application().UnLock();
  });
  other.join();
  EXPECT_EQ(runner_.application().Get("x").ToInt64Or(0), 1);
}

}  // namespace
}  // namespace folirex::testing
