// The article add and edit forms through the host: every field written by the add-save comes
// back in the edit form and, posted again as a browser posts it, leaves the row as it was (texts
// with both quote kinds and markup, the summary's line breaks, the content's HTML); the server's
// refusals, each answered with its message and nothing changed; script in the body cleaned away;
// ids that are not numbers, are missing or belong to another channel; a GET that would change
// something.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "console/console_site.h"

namespace folirex::testing {
namespace {

using Form = std::vector<std::pair<std::string, std::string>>;

const char kAddSave[] = "/admin.asp?m=admin_articleadd&channelid=1&action=save";

std::string DecodeEntities(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '&') {
      size_t semi = text.find(';', i);
      std::string name = semi == std::string::npos ? "" : text.substr(i + 1, semi - i - 1);
      const std::map<std::string, std::string> named = {
          {"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"#39", "'"}};
      if (named.count(name)) {
        out += named.at(name);
        i = semi + 1;
        continue;
      }
    }
    out += text[i++];
  }
  return out;
}

std::map<std::string, std::string> Attributes(const std::string& tag) {
  std::map<std::string, std::string> attributes;
  static const std::regex attribute(R"re(([A-Za-z_]+)(?:=('([^']*)'|"([^"]*)"|([^\s'">]+)))?)re");
  for (std::sregex_iterator it(tag.begin(), tag.end(), attribute), end; it != end; ++it) {
    const std::smatch& m = *it;
    std::string name = m[1];
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string value = m[3].matched ? m[3].str() : m[4].matched ? m[4].str() : m[5].str();
    attributes.emplace(name, DecodeEntities(value));
  }
  return attributes;
}

// The values a browser posts for the form `name` of the page: enabled controls, ticked boxes,
// the selected (or first) option of each list, a text area's text without the line break that
// follows its tag.
Form BrowserPost(const std::string& page, const std::string& name) {
  size_t begin = page.find("<form name='" + name + "'");
  size_t end = page.find("</form>", begin);
  std::string html = page.substr(begin, end - begin);
  Form form;
  static const std::regex control(R"re(<(input|select|textarea)\b([^>]*)>)re", std::regex::icase);
  for (std::sregex_iterator it(html.begin(), html.end(), control), stop; it != stop; ++it) {
    std::string kind = (*it)[1];
    std::map<std::string, std::string> a = Attributes((*it)[2]);
    if (!a.count("name") || a.count("disabled")) continue;
    size_t after = it->position() + it->length();
    if (kind == "input") {
      std::string type = a.count("type") ? a["type"] : "text";
      if (type == "submit" || type == "reset" || type == "button") continue;
      if ((type == "checkbox" || type == "radio") && !a.count("checked")) continue;
      form.emplace_back(a["name"], a["value"]);
    } else if (kind == "textarea") {
      std::string text = html.substr(after, html.find("</textarea>", after) - after);
      if (text.starts_with("\n")) text.erase(0, 1);
      form.emplace_back(a["name"], DecodeEntities(text));
    } else {
      std::string options = html.substr(after, html.find("</select>", after) - after);
      static const std::regex option(R"re(<option\b([^>]*)>)re");
      std::string first, chosen;
      bool found = false;
      for (std::sregex_iterator o(options.begin(), options.end(), option), none; o != none; ++o) {
        std::map<std::string, std::string> oa = Attributes((*o)[1]);
        if (o == std::sregex_iterator(options.begin(), options.end(), option)) first = oa["value"];
        if (oa.count("selected") && !found) {
          chosen = oa["value"];
          found = true;
        }
      }
      form.emplace_back(a["name"], found ? chosen : first);
    }
  }
  return form;
}

class ArticleFormTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(site_.SignInAsAdmin().status, 302); }

  // The row's form columns, for comparing before and after.
  std::map<std::string, std::string> Row(int64_t id) {
    static const char* const kColumns[] = {
        "d_classid",        "d_subjectid",        "d_title",           "d_longtitle",
        "d_subtitle",       "d_titleprefix",      "d_titlecolor",      "d_fontshape",
        "d_author",         "d_comefrom",         "d_keyword",         "d_relativeflag",
        "d_metakeyword",    "d_metarelativeflag", "d_summary",         "d_content",
        "d_linkurl",        "d_picurl",           "d_uploadfiles",     "d_paginationtype",
        "d_maxcharperpage", "d_topflag",          "d_hotflag",         "d_recommendflag",
        "d_stars",          "d_clicktimes",       "d_showcommentlink", "d_templatepageid",
        "d_checked",        "d_deleted",          "d_channelid"};
    std::map<std::string, std::string> row;
    for (const char* c : kColumns) {
      row[c] = site_.SqlValue("select " + std::string(c) +
                              " from Vantrel_Article where d_id = " + std::to_string(id));
    }
    return row;
  }
  int64_t LastId() { return site_.Number("select max(d_id) from Vantrel_Article"); }
  std::string Counters() {
    return site_.SqlValue(
        "select d_itemcount || '/' || d_itemcountchecked from Vantrel_Channel where d_id = 1");
  }

  ConsoleSite site_;
};

TEST_F(ArticleFormTest, EveryFieldSurvivesTheEditForm) {
  int64_t cls = site_.Add(ClassRow{.name = "国内<新闻>"});
  int64_t subject = site_.Add(SubjectRow{.name = "专题'一'"});
  int64_t page = site_.AddTemplatePage("content", "<html>{$ShowArticleContent}</html>");
  site_.Add(KeywordRow{.name = "键'词"});
  const std::string content =
      "<p class=\"x\" title='It&#39;s'>Tom's &amp; \"Jerry\"</p>\r\n[Vantrel_NextPage]<b>粗</b>\n";
  const std::string summary = "\nfirst line\r\n'single' \"double\" <i>&lt;</i>";
  Form posted = {{"d_classid", std::to_string(cls)},
                 {"d_subjectid", std::to_string(subject)},
                 {"d_titleprefix", "2"},
                 {"d_title", "Tom's \"best\" <b>&amp;"},
                 {"d_titlecolor", "#800080"},
                 {"d_fontshape", "3"},
                 {"d_longtitle", "It's a \"long\" title"},
                 {"d_subtitle", "sub'title\""},
                 {"d_showcommentlink", "1"},
                 {"d_keyword", "k'1|k\"2"},
                 {"d_metakeyword", "m'1,m\"2"},
                 {"d_author", "O'Brien"},
                 {"d_comefrom", "来\"源"},
                 {"d_summary", summary},
                 {"d_content", content},
                 {"d_picurl", "/up/a'b.jpg"},
                 {"d_savepathfilename", "UP/A.JPG|/up/a'b.jpg"},
                 {"d_pagenationtype", "2"},
                 {"d_maxcharperpage", "500"},
                 {"d_topflag", "1"},
                 {"d_recommendflag", "1"},
                 {"d_stars", "4"},
                 {"d_clicktimes", "77"},
                 {"d_templatepageid", std::to_string(page)}};
  HttpAnswer saved = site_.Post(kAddSave, posted);
  ASSERT_TRUE(Contains(saved.text, "新增文章成功！")) << saved.text;
  int64_t id = LastId();
  std::map<std::string, std::string> stored = Row(id);
  EXPECT_EQ(stored["d_title"], "Tom's \"best\" <b>&amp;");
  EXPECT_EQ(stored["d_keyword"], "|k'1|k\"2|");
  EXPECT_EQ(stored["d_metakeyword"], "m'1,m\"2");
  EXPECT_EQ(stored["d_relativeflag"], "0");
  EXPECT_EQ(stored["d_content"], content);
  EXPECT_EQ(stored["d_summary"], summary);
  EXPECT_EQ(stored["d_uploadfiles"], "up/a.jpg|/up/a'b.jpg");
  EXPECT_EQ(stored["d_checked"], "0");  // not published at once: waits for approval
  EXPECT_EQ(Counters(), "1/0");

  std::string edit =
      site_.Get("/admin.asp?m=admin_article&channelid=1&action=edit&id=" + std::to_string(id)).text;
  EXPECT_TRUE(Contains(edit, "value='Tom&#39;s &quot;best&quot; &lt;b&gt;&amp;amp;'"));
  EXPECT_TRUE(
      Contains(edit, "<option value='" + std::to_string(cls) + "' selected>国内&lt;新闻&gt;"));
  EXPECT_TRUE(Contains(edit, "<option value='#800080' style='background-color:#800080' selected>"));
  EXPECT_TRUE(Contains(edit, "name='d_keyword' size=35 maxlength=50 value='k&#39;1|k&quot;2'>"));
  EXPECT_TRUE(Contains(edit, "<option value='/up/a&#39;b.jpg' selected>"));
  EXPECT_TRUE(Contains(edit, "【键'词】"));
  EXPECT_TRUE(Contains(edit, "name='d_generatehtmlflag' value='1' disabled>"));
  Form again = BrowserPost(edit, "form1");
  HttpAnswer updated = site_.Post(
      "/admin.asp?m=admin_article&channelid=1&action=update&id=" + std::to_string(id), again);
  ASSERT_TRUE(Contains(updated.text, "修改文章成功！")) << updated.text;
  std::map<std::string, std::string> after = Row(id);
  // The update approves the article; every field of the form is as it was.
  EXPECT_EQ(after["d_checked"], "-1");
  after["d_checked"] = stored["d_checked"];
  EXPECT_EQ(after, stored);
  EXPECT_EQ(Counters(), "1/1");
}

TEST_F(ArticleFormTest, RefusalsAnswerTheirMessageAndChangeNothing) {
  int64_t parent = site_.Add(ClassRow{.name = "父"});
  site_.Add(ClassRow{.name = "子", .parent = parent});
  int64_t other_channel = site_.Add(ChannelRow{.name = "其他", .dir = "other"});
  int64_t foreign_class = site_.Add(ClassRow{.name = "外", .channel = other_channel});
  site_.SetChannel(1, "d_clicksofhot = 100");
  const Form base = {{"d_title", "标题"}, {"d_content", "正文"}};
  struct Case {
    Form extra;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{{"d_classid", std::to_string(parent) + "-"}}, "本分类下设置不允许添加内容！"},
      {{{"d_classid", std::to_string(parent)}}, "本分类下设置不允许添加内容！"},
      {{{"d_classid", std::to_string(foreign_class)}}, "提示：参数错误！"},
      {{{"d_classid", "1x"}}, "提示：参数错误！"},
      {{{"d_subjectid", "99999999999999999999"}}, "提示：参数错误！"},
      {{{"d_title", " "}}, "提示：标题不能为空！"},
      {{{"d_title", std::string(51, 't')}}, "提示：标题超过最大长度！"},
      {{{"d_titleprefix", "5"}}, "提示：参数错误！"},
      {{{"d_titlecolor", "red"}}, "提示：参数错误！"},
      {{{"d_uselink", "Yes"}, {"d_linkurl", ""}}, "提示：转向链接地址不能为空！"},
      {{{"d_uselink", "Yes"}, {"d_linkurl", " JavaScript:fetch('admin.asp')"}},
       "提示：转向链接地址不能使用javascript:、vbscript:或data:地址！"},
      {{{"d_uselink", "Yes"}, {"d_linkurl", "vb\tscript:x"}},
       "提示：转向链接地址不能使用javascript:、vbscript:或data:地址！"},
      {{{"d_content", "  "}}, "提示：内容不能为空！"},
      {{{"d_content", "<script>fetch('admin.asp')</script>"}}, "提示：内容不能为空！"},
      {{{"d_pagenationtype", "1"}, {"d_maxcharperpage", ""}},
       "提示：自动分页必需设置每一页的大小！"},
      {{{"d_pagenationtype", "2"}}, "提示：手动分页必需设置在需要分页的地方加上分页符"},
      {{{"d_hotflag", "1"}, {"d_clicktimes", "99"}}, "提示：热门文章最小点击数为100！"},
      {{{"d_stars", "6"}}, "提示：参数错误！"},
      {{{"d_templatepageid", "424242"}}, "提示：参数错误！"},
  };
  for (const Case& c : cases) {
    Form form = c.extra;
    for (const auto& field : base) {
      bool given = false;
      for (const auto& f : c.extra) given = given || f.first == field.first;
      if (!given) form.push_back(field);
    }
    std::string answer = site_.Post(kAddSave, form).text;
    EXPECT_TRUE(Contains(AlertText(answer), c.message)) << c.message << ": " << answer;
  }
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_Article"), 0);
  EXPECT_EQ(Counters(), "0/0");

  // Accepted at the edges: a link without content, hot at the threshold, automatic paging with
  // a size that is no number (1000).
  Form edges = {{"d_title", "t"},           {"d_uselink", "Yes"},    {"d_linkurl", "http://x/"},
                {"d_hotflag", "1"},         {"d_clicktimes", "100"}, {"d_pagenationtype", "1"},
                {"d_maxcharperpage", "abc"}};
  ASSERT_TRUE(Contains(site_.Post(kAddSave, edges).text, "新增文章成功！"));
  EXPECT_EQ(
      site_.SqlValue("select d_maxcharperpage || d_author || d_comefrom from Vantrel_Article"),
      "1000未知未知");
  // A GET of the save changes nothing.
  EXPECT_EQ(AlertText(site_.Get(std::string(kAddSave) + "&d_title=t&d_content=c").text),
            "提示：参数错误！\\n\\n系统将自动返回前一页面...");
  EXPECT_EQ(Counters(), "1/0");
}

// The body is shown on public pages that share the console's origin: script in it is cleaned
// away on both saves, the rest stays as typed; a script redirect link is refused on update too.
TEST_F(ArticleFormTest, ScriptInTheBodyIsCleanedAwayOnBothSaves) {
  site_.SetPage("content", "<html>{$ShowArticleContent}</html>");
  const std::string typed =
      "<table border=1><tr><td style=\"color:red\"><font color=red face=\"宋体\">字</font>"
      "</td></tr></table>";
  const Form add = {
      {"d_title", "t"},
      {"d_content", typed + "<img src=x onerror=\"fetch('admin.asp?m=admin_managerprivilege')\">"
                            "<a href='&#106;avascript:x'>a</a><iframe src=x></iframe>"},
      {"d_generatehtmlflag", "1"}};
  ASSERT_TRUE(Contains(site_.Post(kAddSave, add).text, "新增文章成功！"));
  int64_t id = LastId();
  EXPECT_EQ(Row(id)["d_content"], typed + "<img src=x><a>a</a>");
  std::string page = site_.Page("/asp.asp?m=content&channelid=1&articleid=" + std::to_string(id));
  EXPECT_TRUE(Contains(page, typed + "<img src=x><a>a</a>")) << page;
  EXPECT_FALSE(Contains(page, "onerror")) << page;

  const std::string update =
      "/admin.asp?m=admin_article&channelid=1&action=update&id=" + std::to_string(id);
  ASSERT_TRUE(Contains(
      site_.Post(update, {{"d_title", "t"}, {"d_content", "<p STYLE=\"x:expression(1)\">p</p>"}})
          .text,
      "修改文章成功！"));
  EXPECT_EQ(Row(id)["d_content"], "<p>p</p>");
  std::map<std::string, std::string> before = Row(id);
  EXPECT_EQ(AlertText(site_
                          .Post(update, {{"d_title", "t2"},
                                         {"d_uselink", "Yes"},
                                         {"d_linkurl", "data:text/html,<script>x</script>"}})
                          .text),
            "提示：转向链接地址不能使用javascript:、vbscript:或data:"
            "地址！\\n\\n系统将自动返回前一页面...");
  EXPECT_EQ(Row(id), before);
}

TEST_F(ArticleFormTest, EditAndUpdateTakeOnlyArticlesOfTheChannel) {
  int64_t other_channel = site_.Add(ChannelRow{.name = "其他", .dir = "other"});
  int64_t foreign = site_.Add(ArticleRow{.title = "外", .channel = other_channel});
  int64_t old_class = site_.Add(ClassRow{.name = "旧", .dir = "old"});
  int64_t new_class = site_.Add(ClassRow{.name = "新", .dir = "new"});
  int64_t subject = site_.Add(SubjectRow{.name = "题"});
  int64_t recycled = site_.Add(ArticleRow{.title = "回收",
                                          .class_id = old_class,
                                          .subject = subject,
                                          .checked = false,
                                          .deleted = true});
  const std::string edit = "/admin.asp?m=admin_article&channelid=1&action=edit&id=";
  const std::string update = "/admin.asp?m=admin_article&channelid=1&action=update&id=";
  for (const std::string& id : {std::string("x1"), std::string("999"), std::to_string(foreign),
                                std::string("99999999999999999999")}) {
    EXPECT_TRUE(Contains(AlertText(site_.Get(edit + id).text), "提示：参数错误！")) << id;
    EXPECT_TRUE(
        Contains(AlertText(site_.Post(update + id, {{"d_title", "t"}, {"d_content", "c"}}).text),
                 "提示：参数错误！"))
        << id;
  }
  EXPECT_EQ(
      site_.SqlValue("select d_title from Vantrel_Article where d_id = " + std::to_string(foreign)),
      "外");
  // Editing a recycled article brings it back, approved, and counts it; the class it leaves
  // and the one it joins are both marked for regeneration, and its subject.
  site_.Sql("update Vantrel_Channel set d_itemcount = 0, d_itemcountchecked = 0 where d_id = 1");
  site_.Sql("update Vantrel_ArticleClass set d_generatedflag = -1");
  site_.Sql("update Vantrel_ArticleSubject set d_generatedflag = -1");
  const Form form = {
      {"d_title", "回来"}, {"d_content", "c"}, {"d_classid", std::to_string(new_class)}};
  ASSERT_TRUE(Contains(site_.Post(update + std::to_string(recycled), form).text, "修改文章成功！"));
  EXPECT_EQ(Counters(), "1/1");
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_ArticleClass where d_generatedflag = 0"), 2);
  EXPECT_EQ(site_.SqlValue("select d_generatedflag from Vantrel_ArticleSubject"), "0");
  // The same post again counts nothing more.
  site_.Post(update + std::to_string(recycled), form);
  EXPECT_EQ(Counters(), "1/1");

  // Published at once in a channel that publishes: the static page is written and the article
  // marked generated.
  site_.SetChannel(1, "d_generatehtml = 1");
  Form publish = form;
  publish.push_back({"d_generatehtmlflag", "1"});
  std::string answer = site_.Post(update + std::to_string(recycled), publish).text;
  EXPECT_TRUE(Contains(answer, "修改文章成功！"));
  EXPECT_FALSE(Contains(answer, "静态页面没有生成"));
  EXPECT_EQ(site_.SqlValue("select d_generatedflag from Vantrel_Article where d_id = " +
                           std::to_string(recycled)),
            "-1");
}

}  // namespace
}  // namespace folirex::testing
