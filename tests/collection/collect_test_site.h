// A test site with another "web site" beside it: a local HTTP server on 127.0.0.1 serving list
// and article pages in GB2312 and UTF-8, pictures, a redirect, a slow page, a huge page, hostile
// markup and links to another loopback address, and a collection project of channel 1 over its
// list pages. The pictures of /art/ten.htm each take ten seconds of the site's clock, which a
// test gives the steps.
#ifndef FOLIREX_TESTS_COLLECTION_COLLECT_TEST_SITE_H_
#define FOLIREX_TESTS_COLLECTION_COLLECT_TEST_SITE_H_

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/text/codepage.h"
#include "support/http_test_server.h"
#include "support/manual_clock.h"
#include "support/site_fixture.h"

namespace folirex::testing {

inline std::string Picture(size_t size, char fill) { return std::string(size, fill); }

class RemoteSite {
 public:
  RemoteSite() {
    httplib::Server& s = server_.server();
    auto gb = [](const std::string& text) {
      return [text](const httplib::Request&, httplib::Response& res) {
        res.set_content(Utf8ToGbk(text), "text/html");
      };
    };
    s.Get("/list/index.htm",
          gb("<html><body>菜单<a href=\"/menu.htm\">x</a><!--list--><ul>"
             "<li><a href=\"/art/1.htm\">一</a></li><li><a href='../art/2.htm'>二</a></li>"
             "<li><a href=\"/art/1.htm\">一again</a></li><li><a href=\"/art/3.htm\">三</a></li>"
             "</ul><!--/list--></body></html>"));
    s.Get("/list/2.htm", gb("<html><!--list--><a href=\"/art/4.htm\">四</a><!--/list--></html>"));
    s.Get("/list/3.htm", gb("<html>没有了</html>"));
    s.Get("/art/1.htm",
          gb("<html><div id=body><h1>春季运动会</h1><span class=au>张三</span><div class=c>"
             "<p>第一段<img src=\"../img/a.jpg\"> <img src='/img/a.JPG'></p>"
             "<script>steal()</script><SCRIPT>steal()</SCRIPT>"
             "<p onclick=\"x()\">第二段<a href=\"javascript:alert(1)\">链接</a>"
             "<img src=\"/img/b.gif\" onerror=\"alert(1)\"><img src=\"/img/c.png\"></p></div>"
             "</div></html>"));
    s.Get("/art/2.htm",
          gb("<html><div id=body><h1>第二篇</h1><div class=c>内容二</div></div></html>"));
    s.Get("/art/3.htm",
          gb("<html><div id=body><h1>第三篇</h1><div class=c>内容三</div></div></html>"));
    s.Get("/art/dup.htm",
          gb("<html><div id=body><h1>春季运动会</h1><span class=au>李四</span><div class=c>另一篇"
             "</div></div></html>"));
    s.Get("/art/dup_pictures.htm",
          gb("<html><div id=body><h1>春季运动会</h1><div class=c>又一篇<img src=\"/img/a.jpg\">"
             "<img src=\"/img/b.gif\"></div></div></html>"));
    s.Get("/art/untitled.htm",
          gb("<html><div id=body><h1> </h1><div class=c><img src=\"/img/a.jpg\"></div></div>"
             "</html>"));
    s.Get("/art/nomark.htm", gb("<html>这一页没有标记</html>"));
    s.Get("/art/utf8.htm", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(
          "<html><head><meta charset=\"utf-8\"></head><div id=body><h1>UTF八标题</h1>"
          "<div class=c>内容是UTF-8</div></div></html>",
          "text/html");
    });
    s.Get("/art/moved.htm",
          [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/art/3.htm"); });
    s.Get("/art/paged.htm",
          gb("<html><div id=body><h1>分页文章</h1><div class=c>第一页</div></div>"
             "<div class=pages><a href=\"paged.htm\">1</a><a href=\"paged_2.htm\">2</a>"
             "<a href=\"paged_3.htm\">3</a></div></html>"));
    s.Get("/art/slow.htm", [this](const httplib::Request&, httplib::Response& res) {
      std::unique_lock<std::mutex> lock(mutex_);
      released_cv_.wait_for(lock, std::chrono::seconds(20), [this] { return released_; });
      res.set_content("late", "text/html");
    });
    s.Get("/art/huge.htm", [](const httplib::Request&, httplib::Response& res) {
      std::string page = "<div id=body><h1>大</h1><div class=c>";
      page += std::string(6 << 20, 'x');
      res.set_content(page + "</div></div>", "text/html");
    });
    s.Get("/img/a.jpg", [this](const httplib::Request&, httplib::Response& res) {
      ++picture_requests_;
      res.set_content(Picture(1000, 'a'), "image/jpeg");
    });
    s.Get("/img/a.JPG", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(Picture(10, 'A'), "image/jpeg");
    });
    s.Get("/img/b.gif", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(Picture(2000, 'b'), "image/gif");
    });
    s.Get("/img/exact.jpg", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(Picture(5120000, 'e'), "image/jpeg");
    });
    s.Get("/img/over.jpg", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(Picture(5120001, 'o'), "image/jpeg");
    });
    s.Get("/art/elsewhere.htm", [this](const httplib::Request&, httplib::Response& res) {
      // A picture on another loopback address than the one the server listens on.
      res.set_content(
          Utf8ToGbk("<div id=body><h1>别处图片</h1><div class=c><img src=\"http://"
                    "127.0.0.2:" +
                    std::to_string(server_.port()) + "/img/a.jpg\"></div></div></html>"),
          "text/html");
    });
    s.Get("/list/far.htm", [this](const httplib::Request&, httplib::Response& res) {
      // An article on another loopback address than the one the server listens on.
      res.set_content(
          Utf8ToGbk("<html><!--list--><a href=\"http://127.0.0.2:" +
                    std::to_string(server_.port()) + "/art/2.htm\">远处</a><!--/list--></html>"),
          "text/html");
    });
    std::string ten = "<div id=body><h1>十张图片</h1><div class=c>";
    for (int i = 1; i <= 10; ++i) ten += "<img src=\"/img/tick" + std::to_string(i) + ".jpg\">";
    s.Get("/art/ten.htm", gb(ten + "</div></div></html>"));
    s.Get(R"(/img/tick(\d+)\.jpg)", [this](const httplib::Request&, httplib::Response& res) {
      clock_->Advance(std::chrono::seconds(10));
      res.set_content(Picture(100, 't'), "image/jpeg");
    });
    s.Get("/art/sizes.htm",
          gb("<div id=body><h1>图片大小</h1><div class=c><img src=\"/img/exact.jpg\">"
             "<img src=\"/img/over.jpg\"></div></div></html>"));
    server_.Start();
  }
  ~RemoteSite() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      released_ = true;
    }
    released_cv_.notify_all();
    server_.Stop();
  }

  std::string Url(const std::string& path) const { return server_.Url(path); }
  int picture_requests() const { return picture_requests_; }
  const std::shared_ptr<ManualClock>& clock() const { return clock_; }

 private:
  HttpTestServer server_;
  std::shared_ptr<ManualClock> clock_ = std::make_shared<ManualClock>();
  std::atomic<int> picture_requests_{0};
  std::mutex mutex_;
  std::condition_variable released_cv_;
  bool released_ = false;
};

// What the console says of a fetch refused because `address` is not public.
inline std::string RefusalText(const std::string& address) {
  return "地址 " + address +
         " 不是公网地址，已拒绝采集（如需采集内网或本机网站，请在 folirex.conf 的 "
         "CollectAllowNetworks 中加入该网络）";
}

// The lines of the server's error output that tell of a refused collection fetch.
inline std::vector<std::string> RefusalLogLines(const std::string& error_output) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < error_output.size()) {
    size_t end = error_output.find('\n', start);
    if (end == std::string::npos) end = error_output.size();
    std::string line = error_output.substr(start, end - start);
    if (line.find("collection project") != std::string::npos) lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// Adds a project of channel `channel` over the remote site's list pages; answers its id.
inline int64_t AddProject(SiteFixture& site, const RemoteSite& remote, int do_flag = 1,
                          int64_t channel = 1, const std::string& name = "运动会项目") {
  site.Exec(
      "insert into Vantrel_CollectProject (D_ChannelID, D_ClassID, D_Name, D_PageUrl, "
      "D_FirstDiff, D_FirstFileName, D_PageHeader, D_PageFooter, D_IDUrl, D_Header, D_Footer, "
      "D_Title1, D_Title2, D_Author1, D_Author2, D_Content1, D_Content2, D_DoFlag, D_CheckFlag, "
      "D_PageNextMatch, D_PageNextUrl) values (?, 0, ?, ?, 1, 'index.htm', '<!--list-->', "
      "'<!--/list-->', '(/art/{id}.htm|../art/{id}.htm)', '<div id=body>', '</html>', '<h1>', "
      "'</h1>', '', '', '<div class=c>', '</div>', ?, 1, '<div class=pages>{c}</div>', "
      "'(paged.htm|paged_{id}.htm)')",
      {Variant(channel), Variant(name), Variant(remote.Url("/list/{page}.htm")),
       Variant(int64_t{do_flag})});
  return site.Number("select max(D_ID) from Vantrel_CollectProject");
}

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_COLLECTION_COLLECT_TEST_SITE_H_
