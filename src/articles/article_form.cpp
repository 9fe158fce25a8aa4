#include "articles/article_form.h"

#include <vector>

#include "articles/article_fields.h"
#include "articles/article_save.h"
#include "articles/article_script.h"
#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "console/console_text.h"
#include "core/id_list.h"
#include "core/messages.h"
#include "core/select_boxes.h"
#include "core/text_helpers.h"
#include "platform/db/sql_params.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "site/interaction_text.h"

namespace folirex {
namespace {

// What the form draws around the record: where it posts, its wording and who fills it in.
struct FormContext {
  bool edit = false;
  std::string action;  // the form's address (attribute markup)
  std::string word;    // the item word of labels (as stored)
  std::string user;    // the signed-in administrator, for the author chip
};

std::string Attr(const std::string& text) { return HtmlEscapeAttr(text); }
std::string Checked(bool on) { return on ? " checked" : ""; }
std::string Selected(bool on) { return on ? " selected" : ""; }

// One row of the form's table: the label, the controls and the help. A row without a label
// continues the label of a row above that spans several (`rows`); a wide row gives its controls
// the help's cell too.
struct FormRow {
  std::string label{};
  std::string controls{};
  std::string help{};
  std::string attributes{};  // of the row (markup)
  int rows = 1;
  bool wide = false;
};

std::string Row(const FormRow& row) {
  std::string html = "<tr" + row.attributes + ">";
  if (!row.label.empty()) {
    html += "<td align=right" + (row.rows > 1 ? " rowspan=" + std::to_string(row.rows) : "") + ">" +
            row.label + "</td>";
  }
  html += row.wide ? "<td colspan=2>" + row.controls + "</td>"
                   : "<td>" + row.controls + "</td><td>" + row.help + "</td>";
  return html + "</tr>\r\n";
}

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

// A green chip that runs `script` (the form's own script) when clicked.
std::string Chip(const std::string& script, const std::string& text) {
  return "<font color=green style='cursor:hand;' onclick=\"" + Attr(script) + "\">【" +
         HtmlEscapeText(text) + "】</font>";
}

// Green chips that add the channel's first keywords to a keyword box.
std::string KeywordChips(const std::vector<std::string>& keywords, const char* field,
                         const char* separator) {
  std::string html;
  for (const std::string& k : keywords) {
    html +=
        Chip("document.form1." + std::string(field) + ".value+=(document.form1." + field +
                 ".value==''?'':'" + separator + "')+'" + interaction::ScriptStringEncode(k) + "'",
             k);
  }
  return html;
}

// A green chip that sets a box to `text`.
std::string SetChip(const char* field, const std::string& text) {
  return Chip("document.form1." + std::string(field) + ".value='" +
                  interaction::ScriptStringEncode(text) + "'",
              text);
}

std::vector<std::string> FirstKeywords(DatabaseState& db, int64_t channel_id) {
  std::vector<std::string> names;
  Recordset rs;
  rs.Open("select top 3 d_name from Vantrel_Keyword where d_channelid = ? order by d_order desc",
          {SqlNumber(channel_id)}, *db.Conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) names.push_back(rs["d_name"].ToString());
  rs.Close();
  return names;
}

// An id as the selects compare it: empty for none.
Variant SelectedId(int64_t id) { return Variant(id == 0 ? std::string() : std::to_string(id)); }

// One keyword box with its chips and the box that hands it to the keyword library.
struct KeywordBox {
  const char* label;
  const char* field;
  const char* flag_field;
  const char* separator;
  const char* number;  // of checkRelative
  std::string help;
  std::string value;  // as typed
  bool relative;
};

// The article form: one function per group of rows, over the record it shows.
class ArticleFormWriter {
 public:
  ArticleFormWriter(DatabaseState& db, const ArticleChannel& channel, const FormContext& context,
                    const ArticleRecord& v)
      : db_(db), channel_(channel), c_(context), v_(v), word_(HtmlEscapeText(context.word)) {}

  std::string Html() {
    return Head() + ClassRows() + TitleRows() + CommentLinkRow() + KeywordRows() + SourceRows() +
           LinkRow() + TextRows() + PictureRows() + PaginationRow() + AttributeRows() +
           TemplateRow() + PublishRow() + Tail();
  }

 private:
  std::string Head() {
    std::string html = "<form name='form1' method='post' action='" + c_.action +
                       "' onsubmit='return checkForm()' style='margin:0'>";
    if (c_.edit) {
      html += "<input type=hidden name='d_savepathfilename' value='" + Attr(v_.upload_files) +
              "' onchange=\"doChange(this,document.form1.d_picture)\">";
    }
    return html +
           "<table border=0 cellspacing=1 align=center class=form>"
           "<tr><th width='15%'>设置名称</th><th width='55%'>基本参数设置</th>"
           "<th width='30%'>设置说明</th></tr>\r\n";
  }

  std::string ClassRows() {
    return Row({.label = "所属分类：",
                .controls = ArticleClassSelect(db_, channel_.id, "d_classid", v_.class_id),
                .help = "红色分类下已经设置不能添加" + word_}) +
           Row({.label = "所属专题：",
                .controls = BuildBoundSelect(
                    db_, "d_subjectid", SelectedId(v_.subject_id),
                    "select d_name, d_id from Vantrel_ArticleSubject where d_channelid = ? "
                    "order by d_order desc",
                    {SqlNumber(channel_.id)}, "不属于任何专题"),
                .help = "选择" + word_ + "所属的专题"});
  }

  std::string TitleRows() {
    return Row({.label = word_ + "标题：",
                .controls =
                    CodeSelect(
                        "d_titleprefix",
                        {{"", 0}, {"[图文]", 1}, {"[组图]", 2}, {"[推荐]", 3}, {"[注意]", 4}},
                        v_.title_prefix) +
                    TextInput("d_title", v_.title, 27, " maxlength=50") +
                    Article_TitleColorSelect(v_.title_color) +
                    CodeSelect("d_fontshape",
                               {{"字形", 0}, {"粗体", 1}, {"斜体", 2}, {"粗+斜", 3}, {"规则", 0}},
                               v_.font_shape),
                .help = "<font color=red>*</font>简短标题，必填，最大25个中文",
                .rows = 3}) +
           Row({.controls = TextInput("d_longtitle", v_.long_title, 55, " maxlength=200"),
                .help = "完整标题，最大100个中文"}) +
           Row({.controls = TextInput("d_subtitle", v_.subtitle, 55, " maxlength=50"),
                .help = "子标题，最大25个中文"});
  }

  std::string CommentLinkRow() {
    return Row({.label = c_.edit ? "显示评论链接" : "显示评论链接：",
                .controls = "<input type=radio name='d_showcommentlink' value='0'" +
                            Checked(!v_.show_comment_link) +
                            ">否 <input type=radio name='d_showcommentlink' value='1'" +
                            Checked(v_.show_comment_link) + ">是",
                .help = "显示" + word_ + "列表时在标题旁显示评论链接"});
  }

  std::string KeywordRows() {
    std::vector<std::string> keywords = FirstKeywords(db_, channel_.id);
    return KeywordBoxRows(keywords, {.label = "相关文章关键字：",
                                     .field = "d_keyword",
                                     .flag_field = "d_relativeflag",
                                     .separator = "|",
                                     .number = "1",
                                     .help = "查找相关" + word_ + "，多个关键字间用“|”隔开",
                                     .value = KeywordAsTyped(v_.keyword),
                                     .relative = v_.relative}) +
           KeywordBoxRows(keywords, {.label = "内容页Meta关键字：",
                                     .field = "d_metakeyword",
                                     .flag_field = "d_metarelativeflag",
                                     .separator = ",",
                                     .number = "2",
                                     .help = "用于内容显示页的Meta关键字，主要用于搜索引擎",
                                     .value = v_.meta_keyword,
                                     .relative = v_.meta_relative});
  }

  std::string KeywordBoxRows(const std::vector<std::string>& keywords, const KeywordBox& box) {
    std::string pick = "?m=admin_selectmore&channelid=" + channel_.id_text + "&flag=1&field=form1.";
    return Row({.label = box.label,
                .controls = "<input type=text name='" + std::string(box.field) +
                            "' size=35 maxlength=50 value='" + Attr(box.value) + "'" +
                            (box.relative ? " disabled" : "") + ">" +
                            KeywordChips(keywords, box.field, box.separator) +
                            " <a href=\"javascript:g_OpenWindow('" + Attr(pick) + box.field +
                            "',400,300)\">更多...</a>",
                .help = box.help,
                .rows = 2}) +
           Row({.controls = "<input type=checkbox name='" + std::string(box.flag_field) +
                            "' value='1'" + Checked(box.relative) + " onclick=\"checkRelative(" +
                            box.number + ")\">使用关键字库自动相关",
                .help = "使用关键字库自动相关"});
  }

  std::string SourceRows() {
    return Row({.label = word_ + "作者：",
                .controls = TextInput("d_author", v_.author, 35, " maxlength=50") +
                            SetChip("d_author", "未知") + SetChip("d_author", "佚名") +
                            SetChip("d_author", c_.user),
                .help = word_ + "的作者"}) +
           Row({.label = word_ + "来源：",
                .controls = TextInput("d_comefrom", v_.come_from, 35, " maxlength=50") +
                            SetChip("d_comefrom", "本站原创"),
                .help = "必填，最大25个中文"});
  }

  std::string LinkRow() {
    bool linked = !v_.link_url.empty();
    return Row({.label = "转向链接：",
                .controls = "<input type=text name='d_linkurl' size=50 maxlength=100 value='" +
                            Attr(linked ? v_.link_url : (c_.edit ? "" : "http://")) + "'" +
                            (linked ? "" : " disabled") +
                            "> <input type=checkbox name='d_uselink' value='Yes'" +
                            Checked(linked) + " onClick='UseLinkUrl();'>使用转向链接",
                .help = word_ + "内容直接连接到其他网站"});
  }

  std::string TextRows() {
    // A line break right after the tag is dropped by the browser: the summary's own first line
    // break survives.
    return Row({.label = word_ + "简介：",
                .controls = "<textarea name='d_summary' cols=50 rows=6>\n" + Attr(v_.summary) +
                            "</textarea>",
                .help = "必填，最大100个中文"}) +
           Row({.label = word_ + "内容：",
                .controls = "<input type='hidden' name='d_content' value='" + Attr(v_.content) +
                            "'><IFRAME ID='Kelmira1' src='Kelmira/kelmira.htm?id=d_content&"
                            "savepathfilename=d_savepathfilename' frameborder='0' "
                            "scrolling='no' width='550' height='350'></IFRAME>",
                .attributes = " id=ArticleContent",
                .wide = true});
  }

  std::string PictureRows() {
    std::string upload = "?m=uploadfile&channelid=" + channel_.id_text +
                         "&type=article&lm=article&field=form1.d_picurl";
    return Row({.label = "首页图片：",
                .controls = TextInput("d_picurl", v_.pic_url, 55, " maxlength=50") +
                            " <input type=button name='btnLogo' value='上 传' onclick=\"" +
                            Attr("g_OpenWindow('" + upload + "',350,50)") + "\">",
                .help = "用于在首页的图片" + word_ + "处显示"}) +
           Row({.label = "选择首页图片：",
                .controls = PictureSelect(),
                .help = "从上传图片中选择首页图片"});
  }

  std::string PictureSelect() {
    std::string html =
        "<select name='d_picture' size=1 onchange=\"SelectPicChange()\">"
        "<option value=''>无</option>";
    for (const std::string& file : Split(v_.upload_files, "|")) {
      if (file.empty()) continue;
      html += "<option value='" + Attr(file) + "'" + Selected(file == v_.pic_url) + ">" +
              HtmlEscapeText(file) + "</option>";
    }
    return html + "</select>";
  }

  std::string PaginationRow() {
    return Row(
        {.label = "内容分页：",
         .controls =
             CodeSelect("d_pagenationtype", {{"不分页", 0}, {"自动分页", 1}, {"手动分页", 2}},
                        v_.pagination) +
             " 自动分页时的每页大约字符数：<input type=text name='d_maxcharperpage' size=10 "
             "value='" +
             std::to_string(v_.max_char_per_page) +
             "' onkeyup=\"this.value=this.value.replace(/\\D/g,'').replace(/^0+(?=\\d)/,'')\" "
             "onpaste=\"var t=this;setTimeout(function(){t.value=t.value.replace(/\\D/g,'')."
             "replace(/^0+(?=\\d)/,'')},0)\" ondragenter=\"return false\" "
             "ondrop=\"return false\">",
         .help = "手动分页标记为[Vantrel_NextPage]",
         .attributes = " id=ArticleContent2"});
  }

  std::string AttributeRows() {
    std::string item = c_.edit ? "文章" : word_;
    return Row({.label = word_ + "属性：",
                .controls =
                    "<input type=checkbox name='d_topflag' value='1'" + Checked(v_.top) + ">固顶" +
                    item + " <input type=checkbox name='d_hotflag' value='1'" + Checked(v_.hot) +
                    " onclick=\"" +
                    Attr("if(this.checked)document.form1.d_clicktimes.value='" +
                         std::to_string(channel_.clicks_of_hot) + "'") +
                    "\">热门" + item + " <input type=checkbox name='d_recommendflag' value='1'" +
                    Checked(v_.recommend) + ">推荐" + item + " " + item + "评分等级：" +
                    CodeSelect(
                        "d_stars",
                        {{"★★★★★", 5}, {"★★★★", 4}, {"★★★", 3}, {"★★", 2}, {"★", 1}, {"无", 0}},
                        v_.stars),
                .help = "选择" + word_ + "的一些属性"}) +
           Row({.label = "点击初始值：",
                .controls =
                    TextInput("d_clicktimes", std::to_string(v_.click_times), 10, " maxlength=50"),
                .help = "这功能是提供给管理员作弊用的"});
  }

  // The add form offers the content pages of every channel, each named with its channel; the
  // edit form the article's channel's own.
  std::string TemplateRow() {
    const Variant selected = SelectedId(v_.template_page);
    return Row({.label = "使用的模板：",
                .controls =
                    c_.edit
                        ? BuildBoundSelect(db_, "d_templatepageid", selected,
                                           {.tables = {"Vantrel_TemplatePage"},
                                            .sql = "select d_name, d_id from Vantrel_TemplatePage "
                                                   "where d_type='content' and d_channelid = ?",
                                            .values = {SqlNumber(channel_.id)}},
                                           "默认")
                        : BuildTemplateSelect(db_, "d_templatepageid", "content", selected, "默认"),
                .help = "默认是采用系统分类中设置的模板",
                .attributes = " id=innerclass6"});
  }

  std::string PublishRow() {
    return Row({.label = "立即发布：",
                .controls = "<input type=checkbox name='d_generatehtmlflag' value='1'" +
                            Checked(v_.publish_now) + (channel_.publishes ? "" : " disabled") +
                            ">是",
                .help = "选中的话马上生成本页的html"});
  }

  std::string Tail() {
    std::string html =
        "<tr><td colspan=3 align=center><input type=submit value='确　定'> "
        "<input type=reset value='重 置'></td></tr>\r\n</table>";
    if (!c_.edit) {
      html +=
          "<input type=hidden name='d_savepathfilename' "
          "onchange=\"doChange(this,document.form1.d_picture)\">";
    }
    html += "</form>";
    if (c_.edit && !v_.link_url.empty()) {
      html +=
          "<script language=javascript>document.getElementById('ArticleContent').style."
          "display = 'none';document.getElementById('ArticleContent2').style.display = "
          "'none';</script>";
    }
    return html;
  }

  DatabaseState& db_;
  const ArticleChannel& channel_;
  const FormContext& c_;
  const ArticleRecord& v_;
  const std::string word_;
};

void ArticleAdd_ShowNavi(RequestState& state, const ArticleChannel& channel) {
  const std::string add =
      "?m=admin_articleadd&amp;channelid=" + channel.id_text + "&amp;action=add";
  const std::string text = "增加" + HtmlEscapeText(channel.word);
  state.host.Response->Write(LinkBarHtml(
      {.table = "border=0 cellspacing=0 align=center class=navi", .end = ""}, {{add, text}}));
}

}  // namespace

std::string ArticleClassOptions(DatabaseState& db, int64_t channel_id, int64_t selected) {
  std::string html;
  Recordset rs;
  rs.Open(
      db::KeptRead{
          .tables = {"Vantrel_ArticleClass"},
          .sql =
              "select d_id, d_name, d_level, d_child, d_addarticleflag from Vantrel_ArticleClass "
              "where d_channelid = ? order by d_order",
          .values = {SqlNumber(channel_id)}},
      *db.Conn);
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
  return html;
}

std::string ArticleClassSelect(DatabaseState& db, int64_t channel_id, const std::string& name,
                               int64_t selected) {
  return "<select size=1 name='" + name + "'>" + ArticleClassOptions(db, channel_id, selected) +
         "<option value='0'" + Selected(selected == 0) + ">不属于任何分类</option></select>";
}

std::string Article_TitleColorSelect(const std::string& selected) {
  std::string html = "<select size=1 name='d_titlecolor'><option value=''>颜色</option>";
  for (const char* color : kTitleColors) {
    html += "<option value='" + std::string(color) + "' style='background-color:" + color + "'" +
            Selected(selected == color) + "></option>";
  }
  return html + "</select>";
}

void ArticleAdd_Main(RequestState& state, const ConsolePage& page) {
  AdminHeader(state);
  ArticleChannel channel = LoadArticleChannel(state, page.request.channel_id);
  const std::string word = HtmlEscapeText(channel.word);
  ChannelNavi(state, channel, "添加" + word);
  ArticleAdd_ShowNavi(state, channel);
  if (page.request.action == "save") {
    ArticleAdd_Save(state, channel, page.request);
  } else {
    FormContext context{
        .action = "?m=admin_articleadd&amp;channelid=" + channel.id_text + "&amp;action=save",
        .word = channel.word,
        .user = state.host.Session->Get("User_Code").ToString()};
    state.host.Response->Write(
        ArticleFormWriter(state.db, channel, context, ArticleRecord{}).Html());
  }
  AdminFooter(state);
  state.host.Response->Write(ArticleScript(false));
}

void Article_Edit(RequestState& state, const ArticleChannel& channel,
                  const ConsoleRequest& request) {
  const int64_t id = request.query.Id("id", kArticleParameterError);
  Recordset rs;
  OpenRowOrRefuse(state, rs, "select * from Vantrel_Article where d_id = ? and d_channelid = ?",
                  {SqlNumber(id), SqlNumber(channel.id)}, RowUse::kRead, kArticleParameterError);
  ArticleRecord record = ArticleFromRow(rs);
  rs.Close();
  FormContext context{.edit = true,
                      .action = "?m=admin_article&amp;channelid=" + channel.id_text +
                                "&amp;action=update&amp;id=" + std::to_string(id),
                      .word = "文章",
                      .user = state.host.Session->Get("User_Code").ToString()};
  state.host.Response->Write(ArticleFormWriter(state.db, channel, context, record).Html());
}

}  // namespace folirex
