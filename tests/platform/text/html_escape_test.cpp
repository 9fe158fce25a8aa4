// The two HTML escapers: element text and attribute values.
#include "platform/text/html_escape.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/db/variant.h"

namespace folirex {
namespace {

TEST(HtmlEscapeTest, AttributeValuesEscapeBothQuoteKindsAndKeepLineFeeds) {
  EXPECT_EQ(HtmlEscapeAttr("<a href=\"x\" title='y'>&amp;</a>"),
            "&lt;a href=&quot;x&quot; title=&#39;y&#39;&gt;&amp;amp;&lt;/a&gt;");
  EXPECT_EQ(HtmlEscapeAttr("新闻"), "新闻");
  EXPECT_EQ(HtmlEscapeAttr("a<b & c>\"d\"\r\ne"), "a&lt;b &amp; c&gt;&quot;d&quot;\r\ne");
  EXPECT_EQ(HtmlEscapeAttr(Variant::Null().ToString()), "");
  EXPECT_EQ(HtmlEscapeAttr("&quot;"), "&amp;quot;");  // typed entities show literally
}

TEST(HtmlEscapeTest, ElementTextLeavesTheSingleQuoteAndBreaksLinesOnlyWhenAsked) {
  EXPECT_EQ(HtmlEscapeText("it's <b> & \"x\"\r\ny"), "it's &lt;b&gt; &amp; &quot;x&quot;\r\ny");
  EXPECT_EQ(HtmlEscapeText("a\r\nb\nc", LineFeeds::kBreak), "a\r<br>b<br>c");
  EXPECT_EQ(HtmlEscapeText("中文&lt;"), "中文&amp;lt;");
  EXPECT_EQ(HtmlEscapeText(""), "");
}

}  // namespace
}  // namespace folirex
