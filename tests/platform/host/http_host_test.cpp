#include "platform/host/http_host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/host_fixture.h"
#include "platform/text/codepage.h"

namespace folirex {
namespace {

namespace stdfs = std::filesystem;
using testing::RawExchange;
using testing::RawGet;
using testing::RunningHost;
using testing::TempFolder;

const char kRedirectPage[] = "<%\r\nResponse.Redirect \"asp.asp\"\r\n%>";

// A site in <scratch>/site with a secret file beside it, and a host whose pages answer with
// the entry they were routed to.
class HostRouting : public ::testing::Test {
 protected:
  void Start(std::string install_dir = "/", int io_threads = 0) {
    top_.Write("secret.txt", "TOP-SECRET");
    top_.Write("site/default.htm", "<p>home</p>");
    top_.Write("site/News/Default.html", "<p>news first page</p>");
    top_.Write("site/News/Index.htm", "<p>not this one</p>");
    top_.Write("site/Images/Logo.GIF", "GIF89a-logo");
    top_.Write("site/Skin/1.css", "body{}");
    top_.Write("site/Js/default.js", "document.write('\xD6\xD0');");
    top_.Write("site/dyn/default.asp", kRedirectPage);
    top_.Write("site/cms/default.asp", "<%\nresponse.redirect  \"asp.asp?channelid=2\"\n%>\n");
    top_.Write("site/other/default.asp", "<%\r\nResponse.Write \"hi\"\r\n%>");
    top_.Write("site/tools.asp", "<% Server.CreateObject(\"WScript.Shell\") %>");
    top_.Write("site/vantrel_list.asp", "<html>preview</html>");
    top_.Write("site/data/folirex.db", "SQLite format 3");
    top_.Write("site/data/notes.txt", "private notes");
    top_.Write("site/folirex.conf", "password=x");
    top_.Write("site/upload/copy.DB", "db copy");
    top_.Write("site/upload/a.db-wal", "wal");
    top_.Write("site/upload/b.MDB", "mdb");
    top_.Write("site/upload/c.sqlite", "sqlite");
    top_.Write("site/upload/database.html", "<p>a page about databases</p>");
    stdfs::create_directory_symlink(top_.path(), site() / "linkout");
    stdfs::create_symlink(top_.path() / "secret.txt", site() / "secret-link.txt");
    stdfs::create_directory_symlink(site() / "Images", site() / "pics");
    // Dated an hour back, as files of a running site are: a file of the current second goes out
    // without its date.
    const auto settled = stdfs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const auto& entry : stdfs::recursive_directory_iterator(site())) {
      if (entry.is_regular_file() && !entry.is_symlink()) {
        stdfs::last_write_time(entry.path(), settled);
      }
    }

    HostOptions options;
    options.site_root = site();
    options.install_dir = install_dir;
    options.io_threads = io_threads;
    host_ = std::make_unique<RunningHost>(options, [this](EntryKind kind, PageObjects& p) {
      ++pages_;
      p.response.Write(kind == EntryKind::kAdmin ? "admin entry" : "public entry");
      p.response.Write(" " + p.request.ServerVariables("SCRIPT_NAME"));
    });
  }
  stdfs::path site() const { return top_.path() / "site"; }

  TempFolder top_;
  std::atomic<int> pages_{0};
  std::unique_ptr<RunningHost> host_;
};

TEST_F(HostRouting, EntriesByPath) {
  Start();
  auto client = host_->Client();
  EXPECT_EQ(client->Get("/admin.asp?m=admin_login")->body, "admin entry /admin.asp");
  EXPECT_EQ(client->Get("/ADMIN.Asp")->body, "admin entry /ADMIN.Asp");
  EXPECT_EQ(client->Get("/asp.asp?m=content")->body, "public entry /asp.asp");
  EXPECT_EQ(client->Get("/News/Sport/ASP.ASP")->body, "public entry /News/Sport/ASP.ASP");
  EXPECT_EQ(client->Post("/asp.asp", "m=search", "application/x-www-form-urlencoded")->body,
            "public entry /asp.asp");
  // admin.asp is the entry only in the install folder.
  EXPECT_EQ(client->Get("/News/admin.asp")->status, 404);
  EXPECT_EQ(client->Get("/xasp.asp")->status, 404);
  EXPECT_EQ(pages_, 5);
}

TEST_F(HostRouting, EntriesUnderAnInstallFolder) {
  Start("/cms/");
  auto client = host_->Client();
  EXPECT_EQ(client->Get("/cms/admin.asp")->body, "admin entry /cms/admin.asp");
  EXPECT_EQ(client->Get("/CMS/Admin.asp")->body, "admin entry /CMS/Admin.asp");
  EXPECT_EQ(client->Get("/admin.asp")->status, 404);
  EXPECT_EQ(client->Get("/cms/asp.asp")->body, "public entry /cms/asp.asp");
}

TEST_F(HostRouting, StaticFilesWhateverTheLetterCase) {
  Start();
  auto client = host_->Client();
  auto logo = client->Get("/images/LOGO.gif");
  ASSERT_TRUE(logo);
  EXPECT_EQ(logo->status, 200);
  EXPECT_EQ(logo->body, "GIF89a-logo");
  EXPECT_EQ(logo->get_header_value("Content-Type"), "image/gif");
  EXPECT_FALSE(logo->get_header_value("Last-Modified").empty());
  auto css = client->Get("/skin/1.CSS");
  EXPECT_EQ(css->get_header_value("Content-Type"), "text/css; charset=gb2312");
  auto js = client->Get("/JS/Default.js");
  EXPECT_EQ(js->get_header_value("Content-Type"), "application/javascript; charset=gb2312");
  EXPECT_EQ(js->body, "document.write('\xD6\xD0');");  // sent as stored
  // A link inside the site is followed.
  EXPECT_EQ(client->Get("/pics/logo.gif")->body, "GIF89a-logo");
  EXPECT_EQ(client->Get("/images/none.gif")->status, 404);
  EXPECT_EQ(client->Get("/upload/database.html")->status, 200);
  EXPECT_EQ(client->Get("/Images/Logo.GIF/")->status, 404);
  auto head = client->Head("/Images/Logo.GIF");
  EXPECT_EQ(head->status, 200);
  EXPECT_EQ(head->body, "");
  EXPECT_EQ(pages_, 0);
}

TEST_F(HostRouting, KeptFilesFollowTheDisk) {
  Start();
  auto client = host_->Client();
  EXPECT_EQ(client->Get("/Skin/1.css")->body, "body{}");
  // Rewritten in place with the same size, replaced by a rename, removed: each seen at once.
  top_.Write("site/Skin/1.css", "html{}");
  EXPECT_EQ(client->Get("/Skin/1.css")->body, "html{}");
  top_.Write("site/Skin/new.css", "p{color:red}");
  stdfs::rename(site() / "Skin" / "new.css", site() / "Skin" / "1.css");
  EXPECT_EQ(client->Get("/Skin/1.css")->body, "p{color:red}");
  stdfs::remove(site() / "Skin" / "1.css");
  EXPECT_EQ(client->Get("/Skin/1.css")->status, 404);
  // A name asked for in another letter case, then created under that very name, wins.
  EXPECT_EQ(client->Get("/images/logo.gif")->body, "GIF89a-logo");
  top_.Write("site/images/logo.gif", "GIF89a-lower");
  EXPECT_EQ(client->Get("/images/logo.gif")->body, "GIF89a-lower");
}

// Connections on several connection threads share one kept copy of a file: each answer is the
// file as it is, and a replacement is seen on every connection at once.
TEST_F(HostRouting, KeptFilesAreSharedByEveryConnectionThread) {
  Start("/", 4);
  constexpr int kClients = 12;
  std::vector<std::unique_ptr<httplib::Client>> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.push_back(host_->Client());
    clients.back()->set_keep_alive(true);
  }
  std::atomic<int> wrong{0};
  auto fetch_all = [&](const std::string& expected) {
    std::vector<std::thread> threads;
    for (auto& client : clients) {
      threads.emplace_back([&, c = client.get()] {
        for (int n = 0; n < 20; ++n) {
          auto res = c->Get("/Skin/1.css");
          if (!res || res->status != 200 || res->body != expected ||
              res->get_header_value("Content-Type") != "text/css; charset=gb2312" ||
              res->get_header_value("X-Content-Type-Options") != "nosniff" ||
              res->get_header_value("Last-Modified").empty()) {
            ++wrong;
          }
        }
      });
    }
    for (std::thread& t : threads) t.join();
  };
  fetch_all("body{}");
  EXPECT_EQ(wrong, 0);
  top_.Write("site/Skin/new.css", "p{margin:0}");
  stdfs::last_write_time(site() / "Skin" / "new.css",
                         stdfs::file_time_type::clock::now() - std::chrono::hours(1));
  stdfs::rename(site() / "Skin" / "new.css", site() / "Skin" / "1.css");
  fetch_all("p{margin:0}");
  EXPECT_EQ(wrong, 0);
}

TEST_F(HostRouting, LargeFilesAreSentWhole) {
  std::string big;
  for (int i = 0; big.size() < (3u << 20); ++i) big += std::to_string(i) + ",";
  top_.Write("site/upload/big.zip", big);
  Start();
  auto client = host_->Client();
  auto res = client->Get("/Upload/BIG.zip");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->get_header_value("Content-Type"), "application/zip");
  EXPECT_TRUE(res->body == big);
  auto head = client->Head("/upload/big.zip");
  ASSERT_TRUE(head);
  EXPECT_EQ(head->status, 200);
  EXPECT_EQ(head->body, "");
  EXPECT_EQ(head->get_header_value("Content-Length"), std::to_string(big.size()));
}

TEST_F(HostRouting, UnchangedFileAnswers304) {
  Start();
  auto client = host_->Client();
  auto first = client->Get("/Images/Logo.GIF");
  std::string modified = first->get_header_value("Last-Modified");
  ASSERT_FALSE(modified.empty());
  auto again = client->Get("/Images/Logo.GIF", {{"If-Modified-Since", modified}});
  EXPECT_EQ(again->status, 304);
  EXPECT_EQ(again->body, "");
  auto old =
      client->Get("/Images/Logo.GIF", {{"If-Modified-Since", "Mon, 01 Jan 2001 00:00:00 GMT"}});
  EXPECT_EQ(old->status, 200);

  // A file whose second has not passed could change again under the same date: it goes out
  // without one and is never answered 304, also once it is kept in memory.
  std::filesystem::path fresh = top_.path() / "site/Js/default.js";
  std::filesystem::last_write_time(
      fresh, std::filesystem::file_time_type::clock::now() + std::chrono::minutes(1));
  for (int i = 0; i < 2; ++i) {
    auto answer = client->Get("/Js/default.js", {{"If-Modified-Since", modified}});
    EXPECT_EQ(answer->status, 200);
    EXPECT_EQ(answer->get_header_value("Last-Modified"), "");
  }
}

TEST_F(HostRouting, FolderPages) {
  Start();
  auto client = host_->Client();
  EXPECT_EQ(client->Get("/")->body, "<p>home</p>");
  EXPECT_EQ(client->Get("/news/")->body, "<p>news first page</p>");
  auto bare = client->Get("/news?x=1");
  EXPECT_EQ(bare->status, 301);
  EXPECT_EQ(bare->get_header_value("Location"), "/news/?x=1");
  EXPECT_EQ(client->Get("/upload/")->status, 404);  // no listing
}

TEST_F(HostRouting, DefaultAspRedirectPages) {
  Start();
  auto client = host_->Client();
  auto folder = client->Get("/dyn/");
  EXPECT_EQ(folder->status, 302);
  EXPECT_EQ(folder->get_header_value("Location"), "/dyn/asp.asp");
  EXPECT_EQ(folder->body, "");
  auto file = client->Get("/DYN/Default.asp");
  EXPECT_EQ(file->status, 302);
  EXPECT_EQ(file->get_header_value("Location"), "/DYN/asp.asp");
  auto lenient = client->Get("/cms/");
  EXPECT_EQ(lenient->status, 302);
  EXPECT_EQ(lenient->get_header_value("Location"), "/cms/asp.asp?channelid=2");
  // Any other script is neither run nor shown.
  EXPECT_EQ(client->Get("/other/default.asp")->status, 404);
  EXPECT_EQ(client->Get("/other/")->status, 404);
  auto tools = client->Get("/tools.asp");
  EXPECT_EQ(tools->status, 404);
  EXPECT_EQ(tools->body.find("WScript"), std::string::npos);
  auto preview = client->Get("/vantrel_list.asp");
  EXPECT_EQ(preview->status, 200);
  EXPECT_EQ(preview->body, "<html>preview</html>");
  EXPECT_EQ(preview->get_header_value("Content-Type"), "text/html; charset=gb2312");
  EXPECT_EQ(pages_, 0);
}

TEST_F(HostRouting, TraversalNeverLeavesTheSite) {
  Start();
  const char* attempts[] = {
      "/../secret.txt",
      "/%2e%2e/secret.txt",
      "/%2E%2E%2Fsecret.txt",
      "/..%2fsecret.txt",
      "/./../secret.txt",
      "/Images/../../secret.txt",
      "/Images/..%5c..%5csecret.txt",
      "/..\\secret.txt",
      "/linkout/secret.txt",
      "/LinkOut/secret.txt",
      "/secret-link.txt",
      "http://127.0.0.1/../secret.txt",
      "//../secret.txt",
      "/%00/../secret.txt",
      "/Images/%2e%2e/%2e%2e/secret.txt",
  };
  for (const char* target : attempts) {
    auto res = RawGet(host_->port(), target);
    EXPECT_TRUE(res.status == 404 || res.status == 400) << target << " -> " << res.status;
    EXPECT_EQ(res.body.find("TOP-SECRET"), std::string::npos) << target;
  }
  // An absolute disk path is read as an address inside the site.
  auto absolute = RawGet(host_->port(), (top_.path() / "secret.txt").string());
  EXPECT_EQ(absolute.status, 404);
  EXPECT_EQ(absolute.body.find("TOP-SECRET"), std::string::npos);
  // The server still serves good requests.
  EXPECT_EQ(RawGet(host_->port(), "/Images/Logo.GIF").body, "GIF89a-logo");
}

TEST_F(HostRouting, DataSettingsAndDatabasesAreNeverServed) {
  Start();
  const char* targets[] = {
      "/data/folirex.db",  "/DATA/Folirex.DB", "/Data/notes.txt",   "/data/",
      "/folirex.conf",     "/FOLIREX.CONF",    "/upload/copy.DB",   "/upload/copy.db",
      "/upload/a.db-wal",  "/upload/A.DB-WAL", "/upload/b.mdb",     "/upload/c.SQLite",
      "/./data/notes.txt", "//data/notes.txt", "/%64ata/notes.txt", "/images/../data/notes.txt"};
  for (const char* target : targets) {
    auto res = RawGet(host_->port(), target);
    EXPECT_EQ(res.status, 404) << target;
    EXPECT_EQ(res.body.find("SQLite"), std::string::npos) << target;
    EXPECT_EQ(res.body.find("private"), std::string::npos) << target;
    EXPECT_EQ(res.body.find("password"), std::string::npos) << target;
  }
}

TEST_F(HostRouting, MethodsOtherThanGetAndHeadOnFiles) {
  Start();
  auto client = host_->Client();
  EXPECT_EQ(client->Post("/Images/Logo.GIF", "x", "text/plain")->status, 405);
  EXPECT_EQ(client->Put("/asp.asp", "x", "text/plain")->status, 405);
  EXPECT_EQ(client->Delete("/Images/Logo.GIF")->status, 405);
  EXPECT_TRUE(stdfs::exists(site() / "Images" / "Logo.GIF"));
  EXPECT_EQ(pages_, 0);
}

TEST_F(HostRouting, MalformedRequestsAre4xxAndServingGoesOn) {
  Start();
  const std::string bad[] = {
      "GARBAGE\r\n\r\n", "GET\r\n\r\n", "GET /asp.asp HTTP/9.9\r\n\r\n",
      "BREW /asp.asp HTTP/1.1\r\nHost: x\r\n\r\n",
      std::string("\x16\x03\x01\x00\xa5\x01\x00\x00\xa1\x03\x03\r\n\r\n", 17)};
  for (const std::string& request : bad) {
    auto res = RawExchange(host_->port(), request);
    EXPECT_GE(res.status, 400) << request;
    EXPECT_LT(res.status, 500) << request;
    auto next = RawGet(host_->port(), "/asp.asp");
    EXPECT_EQ(next.status, 200);
    EXPECT_EQ(next.body, "public entry /asp.asp");
  }
}

TEST_F(HostRouting, OverLongUrlIs414) {
  Start();
  auto res = RawGet(host_->port(), "/asp.asp?q=" + std::string(20000, 'a'));
  EXPECT_EQ(res.status, 414);
  EXPECT_EQ(RawGet(host_->port(), "/asp.asp").status, 200);
}

TEST(HostLimits, UrlAndBodyCaps) {
  TempFolder site;
  HostOptions options;
  options.site_root = site.path();
  options.max_url_bytes = 1000;
  options.max_body_bytes = 1000;
  std::atomic<int> pages{0};
  RunningHost host(options, [&](EntryKind, PageObjects& p) {
    ++pages;
    p.response.Write(std::to_string(p.request.TotalBytes()));
  });
  EXPECT_EQ(RawGet(host.port(), "/asp.asp?q=" + std::string(2000, 'a')).status, 414);
  EXPECT_EQ(RawGet(host.port(), "/asp.asp?q=" + std::string(900, 'a')).status, 200);
  auto client = host.Client();
  auto big = client->Post("/asp.asp", std::string(5000, 'x'), "application/x-www-form-urlencoded");
  ASSERT_TRUE(big);
  EXPECT_EQ(big->status, 413);
  auto fits = host.Client()->Post("/asp.asp", std::string(1000, 'x'), "text/plain");
  ASSERT_TRUE(fits);
  EXPECT_EQ(fits->status, 200);
  EXPECT_EQ(fits->body, "1000");
  EXPECT_EQ(pages, 2);
}

// The body is converted in pieces around its ASCII stretches: the answer is the same as
// converting it whole, whatever stands next to a cut.
TEST(HostBody, ConvertedAsAWhole) {
  TempFolder site;
  HostOptions options;
  options.site_root = site.path();
  const std::string markup(40, 'a');
  const std::vector<std::string> parts = {
      "\xE4\xB8\xAD\xE6\x96\x87",  // two characters of code page 936
      "\xF0\x9F\x98\x80",          // outside it: a character reference
      "\xE4\xB8",                  // cut short
      "\xBF",                      // a lone continuation byte
      "\xEF\xBF\xBD",              // the replacement character itself
      "<b>",
      markup,
      std::string(31, 'b'),
      std::string(32, 'c')};
  std::string body;
  for (size_t i = 0; i < 200; ++i) body += parts[(i * 7 + i / 9) % parts.size()];
  RunningHost host(options, [&](EntryKind, PageObjects& p) { p.response.Write(body); });
  auto res = host.Client()->Get("/asp.asp");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->body, Utf8ToGbk(body, Unmappable::kCharRef));
  EXPECT_NE(res->body.find("\xD6\xD0\xCE\xC4"), std::string::npos);
  EXPECT_NE(res->body.find("&#128512;"), std::string::npos);
}

TEST(HostWorkers, ManyRequestsAtOnceAllComplete) {
  TempFolder site;
  HostOptions options;
  options.site_root = site.path();
  options.threads = 16;
  std::atomic<int> running{0};
  std::atomic<int> most{0};
  RunningHost host(options, [&](EntryKind, PageObjects& p) {
    int now = ++running;
    int seen = most.load();
    while (now > seen && !most.compare_exchange_weak(seen, now)) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    --running;
    p.response.Write("n=" + p.request.QueryString("n"));
  });
  std::atomic<int> answered{0};
  std::vector<std::thread> clients;
  for (int i = 0; i < 64; ++i) {
    clients.emplace_back([&, i] {
      auto client = host.Client();
      auto res = client->Get(("/asp.asp?n=" + std::to_string(i)).c_str());
      if (res && res->status == 200 && res->body == "n=" + std::to_string(i)) ++answered;
    });
  }
  for (auto& t : clients) t.join();
  EXPECT_EQ(answered, 64);
  EXPECT_GT(most, 1);  // pages ran side by side on several workers
}

TEST(HostLifecycle, StopLetsARunningRequestFinish) {
  TempFolder site;
  HostOptions options;
  options.site_root = site.path();
  options.port = 0;
  std::mutex mutex;
  std::condition_variable cv;
  bool started = false;
  auto host = std::make_unique<HttpHost>(options, [&](EntryKind, PageObjects& p) {
    {
      std::lock_guard lock(mutex);
      started = true;
    }
    cv.notify_all();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    p.response.Write("finished");
  });
  std::string error;
  ASSERT_TRUE(host->Bind(&error)) << error;
  std::thread runner([&] { host->Run(); });
  int status = 0;
  std::string body;
  std::thread client([&] {
    httplib::Client c("127.0.0.1", host->port());
    if (auto res = c.Get("/asp.asp")) {
      status = res->status;
      body = res->body;
    }
  });
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return started; }));
  }
  host->Stop();
  runner.join();  // Run() has returned
  client.join();
  EXPECT_EQ(status, 200);
  EXPECT_EQ(body, "finished");
}

TEST(HostLifecycle, StopBeforeRunAndTwoHostsOnOnePort) {
  TempFolder site;
  HostOptions options;
  options.site_root = site.path();
  options.port = 0;
  HttpHost first(options, [](EntryKind, PageObjects&) {});
  std::string error;
  ASSERT_TRUE(first.Bind(&error)) << error;
  options.port = first.port();
  HttpHost second(options, [](EntryKind, PageObjects&) {});
  EXPECT_FALSE(second.Bind(&error));
  EXPECT_NE(error.find(std::to_string(first.port())), std::string::npos);
  first.Stop();
  first.Run();  // returns at once after Stop
  SUCCEED();
}

}  // namespace
}  // namespace folirex
