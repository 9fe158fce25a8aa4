// Console pages under requests that try to get more than the page offers: saves that would
// change nothing, rights left behind by deleted accounts, changes asked for by a plain link or by
// a form on another site, frames of other sites, NUL characters in request values, and bodies
// meant to exhaust the server's memory.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "console_site.h"
#include "platform/host/host_fixture.h"
#include "platform/host/session.h"
#include "platform/text/codepage.h"

namespace folirex::testing {
namespace {

int GrantsOf(ConsoleSite& site, const std::string& name) {
  return site.Number("select count(*) from Vantrel_ManagerFunction where d_adminname = '" + name +
                     "'");
}

TEST(ConsoleHostile, GrantSaveWithoutChosenNamesIsNotReportedAsDone) {
  ConsoleSite site;
  ASSERT_EQ(site.SignInAsAdmin().status, 302);
  site.Add(AdminRow{.name = "nora", .rights = {"XT_Manage_Main"}});
  site.Post("/admin.asp?m=admin_managerprivilege&action=privilege", {{"selectdel", "nora"}});
  // The list shown again (another window) forgets the chosen names.
  ASSERT_EQ(site.Get("/admin.asp?m=admin_managerprivilege").status, 200);
  HttpAnswer saved = site.Post("/admin.asp?m=admin_managerprivilege&action=authorization",
                               {{"functioncode", "XT_Manage_Set"}});
  EXPECT_FALSE(Contains(saved.text, "授权成功！"));
  EXPECT_TRUE(Contains(AlertText(saved.text), "提示：请先选择用户再授权！"));
  EXPECT_EQ(site.SqlValue("select group_concat(d_functioncode) from Vantrel_ManagerFunction "
                          "where d_adminname = 'nora'"),
            "XT_Manage_Main");
}

TEST(ConsoleHostile, DeletedAccountTakesItsGrantsAlong) {
  ConsoleSite site;
  site.Add(AdminRow{.name = "olga", .rights = {"XT_Manage_Main", "XT_Manage_Manager"}});
  site.Add(AdminRow{.name = "twin", .rights = {"XT_Manage_Main"}});
  site.Add(AdminRow{.name = "twin", .password = "password2"});
  std::string olga = site.SqlValue("select d_id from Vantrel_Admin where d_name = 'olga'");
  std::string twin = site.SqlValue("select min(d_id) from Vantrel_Admin where d_name = 'twin'");

  // Olga signs in elsewhere and is still signed in when her account is deleted.
  ASSERT_EQ(site.SignIn("olga", "password1").status, 302);
  const std::string cookie_name = SessionStore::kCookieName;
  ASSERT_EQ(site.cookies().count(cookie_name), 1u);
  std::string olga_session = cookie_name + "=" + site.cookies().at(cookie_name);
  httplib::Client olga_browser("127.0.0.1", site.port());
  auto before = olga_browser.Get("/admin.asp?m=admin_manager", {{"Cookie", olga_session}});
  ASSERT_TRUE(before);
  ASSERT_EQ(before->status, 200);

  site.ClearCookies();
  ASSERT_EQ(site.SignInAsAdmin().status, 302);
  HttpAnswer deleted = site.Post("/admin.asp?m=admin_manager&action=del",
                                 {{"selectdel", olga}, {"selectdel", twin}});
  ASSERT_EQ(deleted.status, 302);
  EXPECT_EQ(GrantsOf(site, "olga"), 0);
  // Another account still holds the name "twin": its grants stay.
  EXPECT_EQ(GrantsOf(site, "twin"), 1);

  // Her open session has ended.
  auto after = olga_browser.Get("/admin.asp?m=admin_manager", {{"Cookie", olga_session}});
  ASSERT_TRUE(after);
  EXPECT_EQ(after->status, 302);
  EXPECT_EQ(after->get_header_value("Location"), "admin.asp?m=admin_login");

  // A new account under the old name starts without rights.
  site.Post("/admin.asp?m=admin_manager&action=save",
            {{"username", "olga"}, {"password", "another1"}});
  EXPECT_EQ(site.Number("select count(*) from Vantrel_Admin where d_name = 'olga'"), 1);
  EXPECT_EQ(GrantsOf(site, "olga"), 0);
}

TEST(ConsoleHostile, PlainAddressesChangeNothing) {
  ConsoleSite site;
  ASSERT_EQ(site.SignInAsAdmin().status, 302);
  site.Add(AdminRow{.name = "pete", .rights = {"XT_Manage_Main"}});
  std::string pete = site.SqlValue("select d_id from Vantrel_Admin where d_name = 'pete'");
  std::string own =
      site.SqlValue("select d_id from Vantrel_Admin where d_name = '" + site.admin_name() + "'");
  std::string log = std::to_string(site.Add(LogRow{.admin = "pete", .ip = "10.0.0.1"}));
  const std::string admin_digest =
      site.SqlValue("select d_password from Vantrel_Admin where d_id = " + own);
  auto snapshot = [&] {
    return site.SqlValue(
               "select group_concat(d_id || ':' || d_name || ':' || d_password, ';') "
               "from Vantrel_Admin") +
           "|" +
           site.SqlValue(
               "select group_concat(d_adminname || ':' || d_functioncode, ';') from "
               "Vantrel_ManagerFunction") +
           "|" + site.SqlValue("select group_concat(d_id) from Vantrel_Log");
  };
  const std::string before = snapshot();

  // What a link followed from another page (the session cookie goes along) could ask for.
  const std::string links[] = {
      "/admin.asp?m=admin_manager&action=save&username=intruder&password=intruder1",
      "/admin.asp?m=admin_manager&action=edit&save=1&id=" + own +
          "&username=admin&password=taken123",
      "/admin.asp?m=admin_manager&action=del&selectdel=" + pete,
      "/admin.asp?m=admin_managerprivilege&action=set&save=1&id=" + site.admin_name(),
      "/admin.asp?m=admin_loginlog&action=del&selectdel=" + log,
      "/admin.asp?m=admin_changepassword&action=save&password=" + site.admin_password() +
          "&password1=taken123&password2=taken123",
  };
  for (const std::string& link : links) {
    SCOPED_TRACE(link);
    HttpAnswer answer = site.Get(link);
    EXPECT_EQ(answer.status, 200);
    EXPECT_TRUE(Contains(AlertText(answer.text), "提示：参数错误！"));
  }
  // The grant save reads the names chosen on the grant form.
  site.Post("/admin.asp?m=admin_managerprivilege&action=privilege",
            {{"selectdel", site.admin_name()}});
  HttpAnswer grant = site.Get("/admin.asp?m=admin_managerprivilege&action=authorization");
  EXPECT_TRUE(Contains(AlertText(grant.text), "提示：参数错误！"));
  EXPECT_EQ(snapshot(), before);
  EXPECT_EQ(site.SqlValue("select d_password from Vantrel_Admin where d_id = " + own),
            admin_digest);

  // The forms themselves post, and still work.
  EXPECT_TRUE(Contains(site.Post("/admin.asp?m=admin_managerprivilege&action=authorization",
                                 {{"functioncode", "XT_Manage_Main"},
                                  {"functioncode", "XT_Manage_ManagerPrivilege"}})
                           .text,
                       "授权成功！"));
  EXPECT_EQ(GrantsOf(site, site.admin_name()), 2);
}

TEST(ConsoleHostile, FormsPostedFromAnotherSiteChangeNothing) {
  ConsoleSite site;
  ASSERT_EQ(site.SignInAsAdmin().status, 302);
  const std::string cookie =
      std::string(SessionStore::kCookieName) + "=" + site.cookies().at(SessionStore::kCookieName);
  const std::string self = "http://127.0.0.1:" + std::to_string(site.port());
  int added = 0;
  auto add = [&](const httplib::Headers& from) {
    httplib::Headers headers = from;
    headers.emplace("Cookie", cookie);
    httplib::Client client("127.0.0.1", site.port());
    std::string name = "user" + std::to_string(++added);
    auto answer =
        client.Post("/admin.asp?m=admin_manager&action=save", headers,
                    "username=" + name + "&password=secret12", "application/x-www-form-urlencoded");
    EXPECT_TRUE(answer);
    bool stored =
        site.Number("select count(*) from Vantrel_Admin where d_name = '" + name + "'") == 1;
    if (!stored) {
      EXPECT_EQ(AlertText(GbkToUtf8(answer->body)),
                "提示：不接受从其他网站提交的表单！\\n\\n系统将自动返回前一页面...");
    }
    return stored;
  };
  const std::vector<httplib::Headers> foreign = {
      {{"Origin", "http://evil.example"}},
      {{"Origin", "http://127.0.0.1:" + std::to_string(site.port() + 1)}},
      {{"Origin", "null"}},
      {{"Origin", "http://evil.example"}, {"Referer", self + "/admin.asp"}},
      {{"Referer", "http://evil.example/page.html"}},
      {{"Referer", "http://127.0.0.1.evil.example:" + std::to_string(site.port()) + "/"}},
  };
  for (const httplib::Headers& headers : foreign) {
    SCOPED_TRACE(headers.begin()->second);
    EXPECT_FALSE(add(headers));
  }
  EXPECT_TRUE(add({{"Origin", self}}));
  EXPECT_TRUE(add({{"Origin", "HTTP://127.0.0.1:" + std::to_string(site.port())}}));
  EXPECT_TRUE(add({{"Referer", self + "/admin.asp?m=admin_manager&action=add"}}));
  EXPECT_TRUE(add({}));  // an old browser sends neither

  // Signing in from another site's form is refused too.
  httplib::Client client("127.0.0.1", site.port());
  auto sign_in =
      client.Post("/admin.asp?m=admin_login&action=check", {{"Origin", "http://evil.example"}},
                  "usercode=admin&password=" + GbkUrlEncode(site.admin_password()),
                  "application/x-www-form-urlencoded");
  ASSERT_TRUE(sign_in);
  EXPECT_EQ(sign_in->status, 200);
  EXPECT_EQ(sign_in->get_header_value("Set-Cookie"), "");

  // Console pages are not framed by other sites; public pages are not the console's to restrict.
  EXPECT_EQ(site.Get("/admin.asp").Header("x-frame-options"), "SAMEORIGIN");
  EXPECT_EQ(site.Get("/admin.asp?m=admin_main").Header("x-frame-options"), "SAMEORIGIN");
  EXPECT_EQ(site.Get("/asp.asp").Header("x-frame-options"), "");
}

TEST(ConsoleHostile, ANulInAnyValueGetsTheParameterMessage) {
  ConsoleSite site;
  ASSERT_EQ(site.SignInAsAdmin().status, 302);
  const std::string digest =
      site.SqlValue("select d_password from Vantrel_Admin where d_name = 'admin'");
  for (const char* target : {"/admin.asp?m=admin_manager&username=a%00", "/admin.asp?m%00=x",
                             "/admin.asp?m=admin_login&action=check&usercode=admin%00"}) {
    HttpAnswer answer = site.Get(target);
    EXPECT_EQ(answer.status, 200) << target;
    EXPECT_TRUE(Contains(AlertText(answer.text), "提示：参数错误！")) << target << answer.text;
  }
  HttpAnswer posted = site.Post("/admin.asp?m=admin_changepassword&action=save",
                                {{"password", site.admin_password()},
                                 {"password1", std::string("new\0pass", 8)},
                                 {"password2", std::string("new\0pass", 8)}});
  EXPECT_TRUE(Contains(AlertText(posted.text), "提示：参数错误！")) << posted.text;
  EXPECT_EQ(site.SqlValue("select d_password from Vantrel_Admin where d_name = 'admin'"), digest);
}

// Every page reads an id by the same rule: blanks around it are trimmed away, anything else that
// is not a plain whole number (a quote, a sign, a leading zero) is the page's parameter message.
TEST(ConsoleHostile, EveryPageReadsAnIdByTheOneRule) {
  ConsoleSite site;
  ASSERT_EQ(site.SignInAsAdmin().status, 302);
  const std::string skin =
      site.SqlValue("select min(d_id) from Vantrel_Skin where d_channelid = 1");
  const std::string page =
      site.SqlValue("select min(d_id) from Vantrel_TemplatePage where d_channelid = 1");
  const std::string account =
      site.SqlValue("select d_id from Vantrel_Admin where d_name = 'admin'");

  HttpAnswer skin_form =
      site.Get("/admin.asp?m=admin_skin&channelid=1&action=edit&id=%20" + skin + "%20");
  EXPECT_TRUE(Contains(skin_form.text, "&amp;action=update&amp;id=" + skin + "'"))
      << skin_form.text;
  HttpAnswer page_form =
      site.Get("/admin.asp?m=admin_templatepage&channelid=1&action=edit&id=%20" + page + "%20");
  EXPECT_TRUE(Contains(page_form.text, "<input type='hidden' name='id' value='" + page + "'>"))
      << page_form.text;

  for (const std::string& bad : {account + "'", account + "%3B", "+" + account, "0" + account}) {
    SCOPED_TRACE(bad);
    HttpAnswer edit = site.Get("/admin.asp?m=admin_manager&action=edit&id=" + bad);
    EXPECT_EQ(AlertText(edit.text), "提示：参数错误！\\n\\n系统将自动返回前一页面...");
  }
}

// The resident size, polled for a few seconds until it is back within slack of idle.
long SettledMemoryKb(long idle_kb, long slack_kb) {
  long now = ProcessMemoryKb("VmRSS");
  for (int i = 0; i < 50 && now > idle_kb + slack_kb; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    now = ProcessMemoryKb("VmRSS");
  }
  return now;
}

// Before signing in a request can reach only the sign-in: its body is a small form, and a huge
// one is refused on its head, however many come at once. Signed in, only the upload pop-up's
// save takes a multipart body, and what its parser keeps of one is bounded too.
TEST(ConsoleHostile, HugeBodiesAreRefusedUnreadAndWhatIsReadIsGivenBack) {
  ConsoleSite site;
  const size_t size = 63u << 20;
  auto blast = [&site, size](const std::string& target, const std::string& headers) {
    return SendBodyBlindly(site.port(),
                           "POST " + target + " HTTP/1.1\r\nHost: a\r\n" + headers +
                               "Content-Length: " + std::to_string(size) + "\r\n\r\n",
                           "a&", size);
  };
  const std::string form = "Content-Type: application/x-www-form-urlencoded\r\n";
  const std::string multipart = "Content-Type: multipart/form-data; boundary=B\r\n";
  const std::string upload =
      "/admin.asp?m=uploadfile&action=save&channelid=1&type=ARTICLE&lm=ARTICLE&field=f.x";
  std::vector<std::future<int>> sign_ins;
  for (int i = 0; i < 8; ++i) {
    sign_ins.push_back(std::async(std::launch::async, [&] {
      return blast("/admin.asp?m=admin_login&action=check", form).status;
    }));
  }
  EXPECT_EQ(blast(upload, multipart).status, 413);
  for (auto& sign_in : sign_ins) EXPECT_EQ(sign_in.get(), 413);
  EXPECT_EQ(site.Number("select count(*) from Vantrel_Log"), 0);
  EXPECT_LT(ProcessMemoryKb("VmHWM"), 200 * 1024);

  ASSERT_EQ(site.SignInAsAdmin().status, 302);
  const std::string cookie = "Cookie: " + std::string(SessionStore::kCookieName) + "=" +
                             site.cookies().at(SessionStore::kCookieName) + "\r\n";
  EXPECT_EQ(blast("/admin.asp?m=admin_main", cookie + multipart).status, 413);
  EXPECT_EQ(blast("/admin.asp?m=admin_main", cookie + form).status, 413);

  // Console forms of a few megabytes are taken, and the memory they held goes back.
  // (The texts are sent a piece at a time, so that the test's own side holds little.)
  auto post_forms = [&](size_t text) {
    std::vector<std::future<int>> forms;
    for (int i = 0; i < 8; ++i) {
      forms.push_back(std::async(std::launch::async, [&] {
        return SendBodyBlindly(site.port(),
                               "POST /admin.asp?m=admin_main HTTP/1.1\r\nHost: a\r\n" + cookie +
                                   form + "Content-Length: " + std::to_string(text + 2) +
                                   "\r\n\r\nd=",
                               "x", text)
            .status;
      }));
    }
    for (auto& f : forms) EXPECT_EQ(f.get(), 200);
  };
  // The same forms first, so that every worker's database connection and caches are open
  // before the idle size is taken: what stays then is what the bodies left behind.
  post_forms(3u << 20);
  post_forms(3u << 20);
  const long idle = ProcessMemoryKb("VmRSS");
  post_forms(3u << 20);
  const long after_forms = SettledMemoryKb(idle, 8 * 1024);
  EXPECT_LT(after_forms, idle + 8 * 1024);

  // 800,000 parts of an upload to a channel without a size limit of its own: read, as the
  // upload page reads multipart, but the parser stops at a thousand; nothing is kept.
  site.SetChannel(1, "d_maxfilesize = 0");
  const std::string part =
      "--B\r\nContent-Disposition: form-data; name=\"a\"; filename=\"a.gif\"\r\n\r\n\r\n";
  const size_t parts_size = 800000 * part.size();
  RawAnswer parts =
      SendBodyBlindly(site.port(),
                      "POST " + upload + " HTTP/1.1\r\nHost: a\r\n" + cookie + multipart +
                          "Content-Length: " + std::to_string(parts_size) + "\r\n\r\n",
                      part, parts_size);
  EXPECT_EQ(parts.status, 200);
  EXPECT_TRUE(Contains(AlertText(GbkToUtf8(parts.body)), "请选择有效的上传文件！"))
      << GbkToUtf8(parts.body);
  EXPECT_FALSE(std::filesystem::exists(site.Disk("Article/uploadfile")));
  EXPECT_LT(ProcessMemoryKb("VmHWM"), 200 * 1024);
  EXPECT_LT(SettledMemoryKb(after_forms, 8 * 1024), after_forms + 8 * 1024);
}

// Clients without an account that open thousands of connections announcing bodies they never
// send, or trickle real ones (forms and sign-ins), take nothing the site's owners need: the sign-in
// and a signed-in console form of a megabyte are answered meanwhile, not after the flood's
// connections time out, and so is a public page. One address alone is held to its own number of
// connections.
TEST(ConsoleHostile, FloodsWithoutAnAccountLeaveTheConsoleItsShare) {
  ConsoleSite site;
  const std::string public_head =
      "POST /asp.asp HTTP/1.1\r\nHost: a\r\nContent-Type: application/x-www-form-urlencoded\r\n"
      "Content-Length: 65536\r\n\r\n";
  // Both ends of every connection are in this process: as many as its open files allow.
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  const int heads = static_cast<int>(std::min<rlim_t>(6000, files.rlim_cur / 2 - 2200));
  ASSERT_GT(heads, 1000) << "too few open files for the flood";
  auto from = [](int i) { return "127.0.0." + std::to_string(10 + i); };
  std::vector<int> held;
  // Heads announcing 64 KB each from thirty addresses: more than the whole budget announced.
  for (int i = 0; i < heads; ++i) {
    held.push_back(ConnectLoopback(site.port(), from(i % 30).c_str()));
    SendAll(held.back(), public_head);
  }
  // A thousand bodies sent but for their last byte from twenty addresses: more than the bodies
  // without an account may hold.
  for (int i = 0; i < 1000; ++i) {
    held.push_back(ConnectLoopback(site.port(), from(40 + i % 20).c_str()));
    SendAll(held.back(), public_head + std::string(65535, 'a'));
  }
  // And a thousand sign-ins sent but for their last byte.
  for (int i = 0; i < 1000; ++i) {
    held.push_back(ConnectLoopback(site.port(), from(70 + i % 20).c_str()));
    SendAll(held.back(),
            "POST /admin.asp?m=admin_login&action=check HTTP/1.1\r\nHost: a\r\n"
            "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 4096\r\n\r\n" +
                std::string(4095, 'a'));
  }
  // Answered meanwhile: well before the flood's connections run out of their 10 s of grace, which
  // is when a request that waited behind them would be answered. (Typically in milliseconds; the
  // bound leaves room for a loaded machine running the whole suite.)
  auto answered_meanwhile = [](auto request) {
    const auto start = std::chrono::steady_clock::now();
    int status = request();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    return status;
  };
  EXPECT_EQ(answered_meanwhile([&] { return site.SignInAsAdmin().status; }), 302);
  const std::string cookie = "Cookie: " + std::string(SessionStore::kCookieName) + "=" +
                             site.cookies().at(SessionStore::kCookieName) + "\r\n";
  const size_t text = 1u << 20;
  EXPECT_EQ(answered_meanwhile([&] {
              return RawExchange(site.port(),
                                 "POST /admin.asp?m=admin_main HTTP/1.1\r\nHost: a\r\n" + cookie +
                                     "Content-Type: application/x-www-form-urlencoded\r\n"
                                     "Content-Length: " +
                                     std::to_string(text + 2) +
                                     "\r\n\r\nd=" + std::string(text, 'x'))
                  .status;
            }),
            200);
  EXPECT_EQ(answered_meanwhile([&] { return site.Get("/asp.asp").status; }), 200);
  EXPECT_LT(ProcessMemoryKb("VmHWM"), 200 * 1024);

  // From one address: past its bound a connection is refused at once; others are served.
  std::vector<int> one;
  for (int i = 0; i < 400; ++i) {
    one.push_back(ConnectLoopback(site.port(), "127.0.0.200"));
    SendAll(one.back(), "GET /asp.asp HTTP/1.1\r\nHost: a\r\n");
  }
  int refused = 0;
  for (int wait = 0; wait < 100 && refused < 400 - 256; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    refused = 0;
    char c;
    for (int fd : one) refused += recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT) > 0 ? 1 : 0;
  }
  EXPECT_EQ(refused, 400 - 256);

  EXPECT_EQ(answered_meanwhile([&] { return site.Get("/asp.asp").status; }), 200);
  for (int fd : held) close(fd);
  for (int fd : one) close(fd);
}

}  // namespace
}  // namespace folirex::testing
