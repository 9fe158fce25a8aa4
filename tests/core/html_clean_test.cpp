// The HTML cleaner under its two policies (collected pages, HTML typed in the console) and the
// rule for links that run script.
#include "core/html_clean.h"

#include <gtest/gtest.h>

#include <string>

#include "core/script_link.h"

namespace folirex {
namespace {

struct Case {
  const char* in;
  const char* out;
};

TEST(CleanCollectedHtml, HostileMarkupIsRemovedInAnyCaseAndAcrossLines) {
  const Case cases[] = {
      {"<p align=center>Hi <b>there</b></p>", "<p align=\"center\">Hi <b>there</b></p>"},
      {"a<SCRIPT type=x>alert(1)</SCRIPT>b", "ab"},
      {"a<sCrIpT\n>alert(1)</script\n>b", "ab"},
      {"a<style>p{}</style><STYLE>q{}</STYLE>b", "ab"},
      {"<img src=\"x.jpg\" ONERROR=\"alert(1)\" width=5>", "<img src=\"x.jpg\" width=\"5\">"},
      {"<img\nsrc='a.gif'\nonload=alert(1)>", "<img src=\"a.gif\">"},
      {"<a href=\"JaVaScRiPt:alert(1)\">x</a>", "<a>x</a>"},
      {"<a href=\"jav&#x61;script:alert(1)\">x</a>", "<a>x</a>"},
      {"<a href=\" java\tscript:alert(1)\">x</a>", "<a>x</a>"},
      {"<a href=\"vbscript:x\" target=_top>x</a>", "<a>x</a>"},
      {"<a href=\"http://b.cn/?a=1&amp;b=2\" target=_blank onclick=x>k</a>",
       "<a href=\"http://b.cn/?a=1&amp;b=2\" target=\"_blank\">k</a>"},
      {"<iframe src=http://evil/></iframe>ok", "ok"},
      {"<div style=\"background:url(javascript:x)\">t</div>", "<div>t</div>"},
      {"<!-- <script>x</script> -->t<!doctype html>", "t"},
      {"1 < 2 > 0 <% x %>", "1 &lt; 2 &gt; 0 &lt;% x %&gt;"},
      {"<embed src=\"f.swf\">x<object data=y>z</object>", "x"},
      {"<svg><script>x</script></svg>t<form action=x><input name=a></form>", "t"},
  };
  for (const Case& c : cases) EXPECT_EQ(CleanCollectedHtml(c.in), c.out) << c.in;
}

TEST(CleanTypedHtml, ScriptIsRemovedInEverySpelling) {
  const Case cases[] = {
      {"a<script>fetch('admin.asp')</script>b", "ab"},
      {"a<sCrIpT\ntype=x>alert(1)</SCRIPT\n>b", "ab"},
      {"<p>x<script src=a.js></script></p>", "<p>x</p>"},
      {"a<style>body{}</style><iframe src=x></iframe><object data=y>z</object>b", "ab"},
      {"<embed src=\"f.swf\">x<applet code=a>y</applet>", "x"},
      {"<base href=//evil.cn/><meta http-equiv=refresh content=0><link rel=x href=y>t", "t"},
      {"<svg onload=x><a>y</a></svg>t", "t"},
      {"<img src=x onerror=\"fetch('admin.asp')\">", "<img src=x>"},
      {"<IMG SRC=x ONERROR=alert(1) width=5>", "<IMG SRC=x width=5>"},
      {"<img\nsrc='a.gif'\nonload=alert(1)>", "<img\nsrc='a.gif'>"},
      {"<div onmouseover='x' class=c>t</div>", "<div class=c>t</div>"},
      {"<a href=\"javascript:alert(1)\">x</a>", "<a>x</a>"},
      {"<a href=\"JaVaScRiPt:alert(1)\">x</a>", "<a>x</a>"},
      {"<a href=\"&#106;avascript:alert(1)\">x</a>", "<a>x</a>"},
      {"<a href=\"&#x6A;ava&#115cript&colon;x\">x</a>", "<a>x</a>"},
      {"<a href=\"java&#x09;script:alert(1)\">x</a>", "<a>x</a>"},
      {"<a href=\"java\nscript:alert(1)\">x</a>", "<a>x</a>"},
      {"<a href=' \x01javascript:x'>x</a>", "<a>x</a>"},
      {"<a href=vbscript:msgbox(1) title=t>x</a>", "<a title=t>x</a>"},
      {"<a href=\"DATA:text/html;base64,PHNjcmlwdD4=\">x</a>", "<a>x</a>"},
      // Nothing posts to the console from a public page, which shares its origin.
      {"<form method=post action=/admin.asp><input name=a value=1><button>b</button></form>",
       "<input name=a value=1><button>b</button>"},
      {"<button form=search formaction=/admin.asp formmethod=post>b</button>",
       "<button>b</button>"},
      {"<a href=/x.htm ping=/admin.asp>x</a>", "<a href=/x.htm>x</a>"},
      {"<table background=\"javascript:x\"><tr><td>1</td></tr></table>",
       "<table><tr><td>1</td></tr></table>"},
      {"<p style=\"width:expression(alert(1))\" class=k>t</p>", "<p class=k>t</p>"},
      {"<p style=\"width:EXPR&#69;SSION(alert(1))\">t</p>", "<p>t</p>"},
      {"<p style=\"width:e\\78 pression(x)\">t</p>", "<p>t</p>"},
      {"<p style=\"width:exp/**/ression(x)\">t</p>", "<p>t</p>"},
      {"<div style=\"background:url(javascript:x)\">t</div>", "<div>t</div>"},
      {"<div style=\"background:url( 'JAVA\nSCRIPT:x' )\">t</div>", "<div>t</div>"},
      {"<div style=\"background:url(data:text/html,x)\">t</div>", "<div>t</div>"},
      {"<div style=\"behavior:url(x.htc)\">t</div>", "<div>t</div>"},
      {"<iframe srcdoc=\"x\"></iframe><p srcdoc=y>t</p>", "<p>t</p>"},
      // Read as a browser reads them: a name that begins with "=", a tag whose name takes in a
      // "<", a value that carries on past a missing blank.
      {"<img =\"a onerror=alert(1) b\">", "<img b\">"},
      {"<img src=a onerror=x/>", "<img src=a>"},
      {"<img src=a onerror=\"x\"/>", "<img src=a />"},
      {"<a<img src=x onerror=alert(1)>", "<a<img src=x>"},
      {"<img title=\"a\"onerror=alert(1)>", "<img title=\"a\">"},
      {"<img onerror=\"x\"src=a.gif>", "<img src=a.gif>"},
      {"<p a onclick=\"x\"=y>t</p>", "<p a >t</p>"},
      // What dropping leaves behind never makes a tag, and nothing is left open to take in the
      // page after it.
      {"<<script>x</script>img src=x onerror=alert(1)>", "&lt;img src=x onerror=alert(1)>"},
      {"<p>a<img src=x onerror=alert(1)", "<p>a&lt;img src=x onerror=alert(1)"},
      {"x<!-- open", "x&lt;!-- open"},
      {"<!-- a --!><img src=x onerror=alert(1)> -->", "<!-- a --!><img src=x> -->"},
      {"<textarea><img src=x onerror=alert(1)></textarea>",
       "<textarea><img src=x onerror=alert(1)></textarea>"},
      {"<title></title ><img src=x onerror=y>", "<title></title ><img src=x>"},
      {"<textarea><img src=x onerror=y></textarea", "<img src=x>&lt;/textarea"},
      {"<noscript><p title=\"</noscript><img src=x onerror=y>\"></noscript>t", "<img src=x>\">t"},
      {"<script>unclosed <b onclick=x>t</b>", "unclosed <b>t</b>"},
  };
  for (const Case& c : cases) EXPECT_EQ(CleanTypedHtml(c.in), c.out) << c.in;
}

TEST(CleanTypedHtml, LegacyMarkupStaysByteForByte) {
  const char* kept[] = {
      "<TABLE width=\"100%\" border=1 cellPadding=3 bgColor=#ffffff><TBODY><TR>"
      "<TD align=middle colSpan=2 style=\"FONT-SIZE: 12px\">标题</TD></TR></TBODY></TABLE>",
      "<font color=red face=\"宋体\">红字</font><FONT size=+1>大</FONT>",
      "<p style=\"text-indent:2em; background:url(/images/bg.gif) no-repeat\">段落</p>",
      "<div class='article-body x'>正文<br>第二行<BR/></div>",
      "<img src=\"/UploadFiles/2006/1.jpg\" border=0 width=300 alt='图'>",
      "<a href=\"http://example.cn/a.asp?id=1&amp;b=2\" target=_blank>链接</a>"
      "<a href='../list.htm'>相对</a><a href=\"#top\">顶</a><a href=mailto:x@y.cn>信</a>",
      "&nbsp;&nbsp;&copy; 2006 &lt;注&gt; a > b",
      "<p>one<p>two<li>three<td>four</b></i>",
      "<!-- 注释 --><?xml:namespace prefix = o ns=\"urn:schemas-microsoft-com:office:office\" />"
      "<o:p></o:p><!DOCTYPE html>",
      "<input name=k value=\"a=b\"><select name=s><option>1</option></select>",
      "[Vantrel_NextPage]<P align=center><STRONG>加粗</STRONG></P>\r\n<UL><LI>项</LI></UL>",
  };
  for (const char* html : kept) EXPECT_EQ(CleanTypedHtml(html), html);
  EXPECT_EQ(CleanTypedHtml(""), "");
}

TEST(ScriptLink, SchemesReadAsABrowserReadsThem) {
  for (const char* link : {"javascript:alert(1)", " JavaScript:x", "java\tscript:x",
                           "\x01\x02vbscript:x", "java\r\nscript:x", "DATA:text/html,x"}) {
    EXPECT_TRUE(IsScriptLink(link)) << link;
    EXPECT_EQ(SafeLink(link), "#") << link;
  }
  for (const char* link : {"http://a.cn/javascript:x", "/x.asp?u=javascript:1", "#javascript:",
                           "javascriptx:1", "java script:x", "news.htm", "https://b.cn", ""}) {
    EXPECT_FALSE(IsScriptLink(link)) << link;
    EXPECT_EQ(SafeLink(link), link) << link;
  }
}

}  // namespace
}  // namespace folirex
