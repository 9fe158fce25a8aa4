#include "articles/article_form.h"

#include <vector>

#include "articles/article_fields.h"
#include "articles/article_save.h"
#include "articles/article_script.h"
#include "console/admin_frame.h"
#include "console/console_text.h"
#include "console/id_list.h"
#include "core/messages.h"
#include "core/select_boxes.h"
#include "core/text_helpers.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "site/interaction_text.h"

namespace folirex {
namespace {

// What the form shows: the add form's proposals, or a stored article.
struct FormValues {
  bool edit = false;
  std::string action;  // the form's address (attribute markup)
  std::string word;    // the item word of labels (as stored)
  int64_t class_id = -1;
  int64_t subject_id = 0;
  int64_t title_prefix = 0;
  std::string title;
  std::string title_color;
  int64_t font_shape = 0;
  std::string long_title;
  std::string subtitle;
  bool show_comment_link = false;
  std::string keyword;  // as typed: "k1|k2"
  bool relative = true;
  std::string meta_keyword;
  bool meta_relative = true;
  std::string author;
  std::string come_from = "本站原创";
  std::string link_url;
  std::string summary;
  std::string content;
  std::string pic_url;
  std::string upload_files;
  int64_t pagination = 0;
  int64_t max_char_per_page = 10000;
  bool top = false;
  bool hot = false;
  bool recommend = false;
  int64_t stars = 3;
  int64_t click_times = 0;
  int64_t template_page = 0;
  bool publish_now = false;
  std::string user;  // the signed-in administrator, for the author chip
};

std::string Attr(const std::string& text) { return HtmlEscapeAttr(text); }
std::string Checked(bool on) { return on ? " checked" : ""; }
std::string Selected(bool on) { return on ? " selected" : ""; }

// A select over a fixed code table.
std::string CodeSelect(const char* name, const std::vector<std::pair<const char*, int>>& options,
                       int64_t selected, const char* extra = "") {
  std::string html = "<select name='" + std::string(name) + "' size=1" + extra + ">";
  bool done = false;
  for (const auto& [text, value] : options) {
    bool on = !done && value == selected;
    done = done || on;
    html +=
        "<option value='" + std::to_string(value) + "'" + Selected(on) + ">" + text + "</option>";
  }
  return html + "</select>";
}

// Green chips that add the channel's first keywords to a keyword box.
std::string KeywordChips(const std::vector<std::string>& keywords, const char* field,
                         const char* separator) {
  std::string html;
  for (const std::string& k : keywords) {
    std::string script = "document.form1." + std::string(field) + ".value+=(document.form1." +
                         field + ".value==''?'':'" + separator + "')+'" +
                         interaction::ScriptStringEncode(k) + "'";
    html += "<font color=green style='cursor:hand;' onclick=\"" + Attr(script) + "\">【" +
            HtmlEscapeText(k) + "】</font>";
  }
  return html;
}

std::vector<std::string> FirstKeywords(DatabaseState& db, int64_t channel_id) {
  std::vector<std::string> names;
  Recordset rs;
  rs.Open("select top 3 d_name from Vantrel_Keyword where d_channelid = ? order by d_order desc",
          {Variant(static_cast<long long>(channel_id))}, *db.Conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) names.push_back(rs["d_name"].ToString());
  rs.Close();
  return names;
}

std::string PictureSelect(const FormValues& v) {
  std::string html =
      "<select name='d_picture' size=1 onchange=\"SelectPicChange()\">"
      "<option value=''>无</option>";
  if (!v.upload_files.empty()) {
    for (const std::string& file : Split(v.upload_files, "|")) {
      if (file.empty()) continue;
      html += "<option value='" + Attr(file) + "'" + Selected(file == v.pic_url) + ">" +
              HtmlEscapeText(file) + "</option>";
    }
  }
  return html + "</select>";
}

std::string Row(const std::string& label, const std::string& controls, const std::string& help,
                const std::string& attributes = "") {
  return "<tr" + attributes + "><td align=right>" + label + "</td><td>" + controls + "</td><td>" +
         help + "</td></tr>\r\n";
}

std::string ArticleForm(DatabaseState& db, const ArticleChannel& channel, const FormValues& v) {
  const std::string word = HtmlEscapeText(v.word);
  const std::string channel_id = channel.id_text;
  std::vector<std::string> keywords = FirstKeywords(db, channel.id);
  std::string html = "<form name='form1' method='post' action='" + v.action +
                     "' onsubmit='return checkForm()' style='margin:0'>";
  if (v.edit) {
    html += "<input type=hidden name='d_savepathfilename' value='" + Attr(v.upload_files) +
            "' onchange=\"doChange(this,document.form1.d_picture)\">";
  }
  html +=
      "<table border=0 cellspacing=1 align=center class=form>"
      "<tr><th width='15%'>设置名称</th><th width='55%'>基本参数设置</th>"
      "<th width='30%'>设置说明</th></tr>\r\n";
  html += Row("所属分类：", ArticleClassSelect(db, channel.id, "d_classid", v.class_id),
              "红色分类下已经设置不能添加" + word);
  html += Row("所属专题：",
              BuildSelect(db, "d_subjectid", {}, {},
                          Variant(v.subject_id == 0 ? std::string() : std::to_string(v.subject_id)),
                          "select d_name, d_id from Vantrel_ArticleSubject where d_channelid=" +
                              channel_id + " order by d_order desc",
                          "不属于任何专题"),
              "选择" + word + "所属的专题");
  html +=
      "<tr><td align=right rowspan=3>" + word + "标题：</td><td>" +
      CodeSelect("d_titleprefix",
                 {{"", 0}, {"[图文]", 1}, {"[组图]", 2}, {"[推荐]", 3}, {"[注意]", 4}},
                 v.title_prefix) +
      "<input type=text name='d_title' size=27 maxlength=50 value='" + Attr(v.title) + "'>" +
      Article_TitleColorSelect(v.title_color) +
      CodeSelect("d_fontshape", {{"字形", 0}, {"粗体", 1}, {"斜体", 2}, {"粗+斜", 3}, {"规则", 0}},
                 v.font_shape) +
      "</td><td><font color=red>*</font>简短标题，必填，最大25个中文</td></tr>\r\n";
  html += "<tr><td><input type=text name='d_longtitle' size=55 maxlength=200 value='" +
          Attr(v.long_title) + "'></td><td>完整标题，最大100个中文</td></tr>\r\n";
  html += "<tr><td><input type=text name='d_subtitle' size=55 maxlength=50 value='" +
          Attr(v.subtitle) + "'></td><td>子标题，最大25个中文</td></tr>\r\n";
  html +=
      Row(v.edit ? "显示评论链接" : "显示评论链接：",
          "<input type=radio name='d_showcommentlink' value='0'" + Checked(!v.show_comment_link) +
              ">否 <input type=radio name='d_showcommentlink' value='1'" +
              Checked(v.show_comment_link) + ">是",
          "显示" + word + "列表时在标题旁显示评论链接");
  std::string pick = "?m=admin_selectmore&channelid=" + channel_id + "&flag=1&field=form1.";
  html +=
      "<tr><td align=right rowspan=2>相关文章关键字：</td><td>"
      "<input type=text name='d_keyword' size=35 maxlength=50 value='" +
      Attr(v.keyword) + "'" + (v.relative ? " disabled" : "") + ">" +
      KeywordChips(keywords, "d_keyword", "|") + " <a href=\"javascript:g_OpenWindow('" +
      Attr(pick) + "d_keyword',400,300)\">更多...</a></td><td>查找相关" + word +
      "，多个关键字间用“|”隔开</td></tr>\r\n"
      "<tr><td><input type=checkbox name='d_relativeflag' value='1'" +
      Checked(v.relative) +
      " onclick=\"checkRelative(1)\">使用关键字库自动相关</td><td>使用关键字库自动相关</td>"
      "</tr>\r\n";
  html +=
      "<tr><td align=right rowspan=2>内容页Meta关键字：</td><td>"
      "<input type=text name='d_metakeyword' size=35 maxlength=50 value='" +
      Attr(v.meta_keyword) + "'" + (v.meta_relative ? " disabled" : "") + ">" +
      KeywordChips(keywords, "d_metakeyword", ",") + " <a href=\"javascript:g_OpenWindow('" +
      Attr(pick) +
      "d_metakeyword',400,300)\">更多...</a></td>"
      "<td>用于内容显示页的Meta关键字，主要用于搜索引擎</td></tr>\r\n"
      "<tr><td><input type=checkbox name='d_metarelativeflag' value='1'" +
      Checked(v.meta_relative) +
      " onclick=\"checkRelative(2)\">使用关键字库自动相关</td><td>使用关键字库自动相关</td>"
      "</tr>\r\n";
  auto set_chip = [](const char* field, const std::string& text) {
    return "<font color=green style='cursor:hand;' onclick=\"" +
           Attr("document.form1." + std::string(field) + ".value='" +
                interaction::ScriptStringEncode(text) + "'") +
           "\">【" + HtmlEscapeText(text) + "】</font>";
  };
  html += Row(word + "作者：",
              "<input type=text name='d_author' size=35 maxlength=50 value='" + Attr(v.author) +
                  "'>" + set_chip("d_author", "未知") + set_chip("d_author", "佚名") +
                  set_chip("d_author", v.user),
              word + "的作者");
  html += Row(word + "来源：",
              "<input type=text name='d_comefrom' size=35 maxlength=50 value='" +
                  Attr(v.come_from) + "'>" + set_chip("d_comefrom", "本站原创"),
              "必填，最大25个中文");
  bool linked = !v.link_url.empty();
  html +=
      Row("转向链接：",
          "<input type=text name='d_linkurl' size=50 maxlength=100 value='" +
              Attr(linked ? v.link_url : (v.edit ? std::string() : std::string("http://"))) + "'" +
              (linked ? "" : " disabled") + "> <input type=checkbox name='d_uselink' value='Yes'" +
              Checked(linked) + " onClick='UseLinkUrl();'>使用转向链接",
          word + "内容直接连接到其他网站");
  // A line break right after the tag is dropped by the browser: the summary's own first line
  // break survives.
  html += Row(word + "简介：",
              "<textarea name='d_summary' cols=50 rows=6>\n" + Attr(v.summary) + "</textarea>",
              "必填，最大100个中文");
  html += "<tr id=ArticleContent><td align=right>" + word +
          "内容：</td><td colspan=2><input type='hidden' name='d_content' value='" +
          Attr(v.content) +
          "'><IFRAME ID='Kelmira1' src='Kelmira/kelmira.htm?id=d_content&savepathfilename="
          "d_savepathfilename' frameborder='0' scrolling='no' width='550' height='350'>"
          "</IFRAME></td></tr>\r\n";
  std::string upload =
      "?m=uploadfile&channelid=" + channel_id + "&type=article&lm=article&field=form1.d_picurl";
  html += Row("首页图片：",
              "<input type=text name='d_picurl' size=55 maxlength=50 value='" + Attr(v.pic_url) +
                  "'> <input type=button name='btnLogo' value='上 传' onclick=\"" +
                  Attr("g_OpenWindow('" + upload + "',350,50)") + "\">",
              "用于在首页的图片" + word + "处显示");
  html += Row("选择首页图片：", PictureSelect(v), "从上传图片中选择首页图片");
  html += Row("内容分页：",
              CodeSelect("d_pagenationtype", {{"不分页", 0}, {"自动分页", 1}, {"手动分页", 2}},
                         v.pagination) +
                  " 自动分页时的每页大约字符数：<input type=text name='d_maxcharperpage' "
                  "size=10 value='" +
                  std::to_string(v.max_char_per_page) +
                  "' onkeyup=\"this.value=this.value.replace(/\\D/g,'').replace(/^0+(?=\\d)/,'')"
                  "\" onpaste=\"var t=this;setTimeout(function(){t.value=t.value.replace(/\\D/g,"
                  "'').replace(/^0+(?=\\d)/,'')},0)\" ondragenter=\"return false\" "
                  "ondrop=\"return false\">",
              "手动分页标记为[Vantrel_NextPage]", " id=ArticleContent2");
  std::string item = v.edit ? "文章" : word;
  html +=
      Row(word + "属性：",
          "<input type=checkbox name='d_topflag' value='1'" + Checked(v.top) + ">固顶" + item +
              " <input type=checkbox name='d_hotflag' value='1'" + Checked(v.hot) + " onclick=\"" +
              Attr("if(this.checked)document.form1.d_clicktimes.value='" +
                   std::to_string(channel.clicks_of_hot) + "'") +
              "\">热门" + item + " <input type=checkbox name='d_recommendflag' value='1'" +
              Checked(v.recommend) + ">推荐" + item + " " + item + "评分等级：" +
              CodeSelect("d_stars",
                         {{"★★★★★", 5}, {"★★★★", 4}, {"★★★", 3}, {"★★", 2}, {"★", 1}, {"无", 0}},
                         v.stars),
          "选择" + word + "的一些属性");
  html += Row("点击初始值：",
              "<input type=text name='d_clicktimes' size=10 maxlength=50 value='" +
                  std::to_string(v.click_times) + "'>",
              "这功能是提供给管理员作弊用的");
  // The add form offers the content pages of every channel, each named with its channel; the
  // edit form the article's channel's own.
  const Variant template_page(v.template_page == 0 ? std::string()
                                                   : std::to_string(v.template_page));
  html +=
      Row("使用的模板：",
          v.edit ? BuildSelect(db, "d_templatepageid", {}, {}, template_page,
                               "select d_name, d_id from Vantrel_TemplatePage where "
                               "d_type='content' and d_channelid = " +
                                   channel_id,
                               "默认")
                 : BuildTemplateSelect(db, "d_templatepageid", "content", template_page, "默认"),
          "默认是采用系统分类中设置的模板", " id=innerclass6");
  html += Row("立即发布：",
              "<input type=checkbox name='d_generatehtmlflag' value='1'" + Checked(v.publish_now) +
                  (channel.publishes ? "" : " disabled") + ">是",
              "选中的话马上生成本页的html");
  html +=
      "<tr><td colspan=3 align=center><input type=submit value='确　定'> "
      "<input type=reset value='重 置'></td></tr>\r\n";
  html += "</table>";
  if (!v.edit) {
    html +=
        "<input type=hidden name='d_savepathfilename' "
        "onchange=\"doChange(this,document.form1.d_picture)\">";
  }
  html += "</form>";
  if (v.edit && linked) {
    html +=
        "<script language=javascript>document.getElementById('ArticleContent').style."
        "display = 'none';document.getElementById('ArticleContent2').style.display = "
        "'none';</script>";
  }
  return html;
}

void ArticleAdd_ShowNavi(RequestState& state, const ArticleChannel& channel) {
  state.host.Response->Write(
      "<table border=0 cellspacing=0 align=center class=navi><tr><td align=right>[<a "
      "href='?m=admin_articleadd&amp;channelid=" +
      channel.id_text + "&amp;action=add'>增加" + HtmlEscapeText(channel.word) +
      "</a>]</td></tr></table><br>");
}

}  // namespace

std::string ArticleClassSelect(DatabaseState& db, int64_t channel_id, const std::string& name,
                               int64_t selected) {
  std::string html = "<select size=1 name='" + name + "'>";
  Recordset rs;
  rs.Open(
      "select d_id, d_name, d_level, d_child, d_addarticleflag from Vantrel_ArticleClass "
      "where d_channelid = ? order by d_order",
      {Variant(static_cast<long long>(channel_id))}, *db.Conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) {
    int64_t id = rs["d_id"].ToInt64Or(0);
    bool refused =
        !ClassTakesArticles(rs["d_child"].ToInt64Or(0), rs["d_addarticleflag"].ToBoolOr(false));
    std::string indent;
    for (int64_t i = rs["d_level"].ToInt64Or(0); i > 0; --i) indent += "　";
    html += "<option value='" + std::to_string(id) + (refused ? "-'" : "'") +
            (refused ? " style='background-color:#FF0000'" : "") + Selected(id == selected) + ">" +
            indent + HtmlEscapeText(rs["d_name"].ToString()) + "</option>";
  }
  rs.Close();
  return html + "<option value='0'" + Selected(selected == 0) + ">不属于任何分类</option></select>";
}

std::string Article_TitleColorSelect(const std::string& selected) {
  std::string html = "<select size=1 name='d_titlecolor'><option value=''>颜色</option>";
  for (const char* color : kTitleColors) {
    html += "<option value='" + std::string(color) + "' style='background-color:" + color + "'" +
            Selected(selected == color) + "></option>";
  }
  return html + "</select>";
}

void ArticleAdd_Main(RequestState& state) {
  CheckPrivilege(state, "XT_Manage_ArticleAdd");
  AdminHeader(state);
  ArticleChannel channel = LoadArticleChannel(state);
  const std::string word = HtmlEscapeText(channel.word);
  ChannelNavi(state, channel, "添加" + word);
  ArticleAdd_ShowNavi(state, channel);
  if (state.Action == "save") {
    ArticleAdd_Save(state, channel);
  } else {
    FormValues v;
    v.action = "?m=admin_articleadd&amp;channelid=" + channel.id_text + "&amp;action=save";
    v.word = channel.word;
    v.user = state.host.Session->Get("User_Code").ToString();
    state.host.Response->Write(ArticleForm(state.db, channel, v));
  }
  AdminFooter(state);
  state.host.Response->Write(ArticleScript(false));
}

void Article_Edit(RequestState& state, const ArticleChannel& channel) {
  int64_t id = 0;
  if (!ParseId(Trim(state.host.Request->QueryString("id")), &id)) {
    AlertBack(state, kArticleParameterError);
  }
  Recordset& rs = OpenRowOrRefuse(
      state, "select * from Vantrel_Article where d_id = ? and d_channelid = ?",
      {Variant(static_cast<long long>(id)), Variant(static_cast<long long>(channel.id))},
      RowUse::kRead, kArticleParameterError);
  FormValues v;
  v.edit = true;
  v.action = "?m=admin_article&amp;channelid=" + channel.id_text +
             "&amp;action=update&amp;id=" + std::to_string(id);
  v.word = "文章";
  v.user = state.host.Session->Get("User_Code").ToString();
  auto text = [&rs](const char* field) { return rs[field].ToString(); };
  auto number = [&rs](const char* field) { return rs[field].ToInt64Or(0); };
  auto flag = [&rs](const char* field) { return rs[field].ToBoolOr(false); };
  v.class_id = number("d_classid");
  v.subject_id = number("d_subjectid");
  v.title_prefix = number("d_titleprefix");
  v.title = Trim(text("d_title"));
  v.title_color = Trim(text("d_titlecolor"));
  v.font_shape = number("d_fontshape");
  v.long_title = Trim(text("d_longtitle"));
  v.subtitle = Trim(text("d_subtitle"));
  v.show_comment_link = flag("d_showcommentlink");
  v.keyword = text("d_keyword");
  if (v.keyword.size() >= 2 && v.keyword.front() == '|' && v.keyword.back() == '|') {
    v.keyword = v.keyword.substr(1, v.keyword.size() - 2);
  }
  v.relative = flag("d_relativeflag");
  v.meta_keyword = text("d_metakeyword");
  v.meta_relative = flag("d_metarelativeflag");
  v.author = Trim(text("d_author"));
  v.come_from = Trim(text("d_comefrom"));
  v.link_url = text("d_linkurl");
  v.summary = text("d_summary");
  v.content = text("d_content");
  v.pic_url = text("d_picurl");
  v.upload_files = Trim(text("d_uploadfiles"));
  v.pagination = number("d_paginationtype");
  v.max_char_per_page = number("d_maxcharperpage");
  v.top = flag("d_topflag");
  v.hot = flag("d_hotflag");
  v.recommend = flag("d_recommendflag");
  v.stars = number("d_stars");
  v.click_times = number("d_clicktimes");
  v.template_page = number("d_templatepageid");
  v.publish_now = flag("d_generatehtmlflag");
  rs.Close();
  state.host.Response->Write(ArticleForm(state.db, channel, v));
}

}  // namespace folirex
