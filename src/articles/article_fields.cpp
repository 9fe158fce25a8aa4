#include "articles/article_fields.h"

#include <algorithm>
#include <string_view>

#include "console/id_list.h"
#include "core/html_clean.h"
#include "core/messages.h"
#include "core/script_link.h"
#include "core/text_helpers.h"
#include "platform/db/sql_params.h"
#include "platform/text/vb_text.h"
#include "site/interaction_text.h"

namespace folirex {
namespace {

// The longest values the form's boxes take, in characters. The picture address is also filled
// by script from the uploaded files, which bypasses the box's limit, so it takes more.
constexpr size_t kTitleLength = 50;
constexpr size_t kLongTitleLength = 200;
constexpr size_t kShortTextLength = 50;
constexpr size_t kAddressLength = 255;
constexpr size_t kKeywordLength = 255;
constexpr int64_t kMaxCount = 2147483647;
constexpr const char* kScriptRedirectRefused =
    "提示：转向链接地址不能使用javascript:、vbscript:或data:地址！";

class FieldReader {
 public:
  explicit FieldReader(RequestState& state) : state_(state) {}

  std::string Text(const char* key) { return Trim((*state_.host.Request)(key)); }
  // Stored as posted (the editor's HTML and the summary keep their own blanks and line breaks).
  std::string Raw(const char* key) { return (*state_.host.Request)(key); }

  // A code of a fixed list: empty gives 0; anything but a whole number from 0 to max refuses.
  int64_t Code(const char* key, int64_t max) {
    std::string text = Text(key);
    if (text.empty()) return 0;
    int64_t value = 0;
    if (!ParseId(text, &value) || value > max) Refuse(kArticleParameterError);
    return value;
  }

  // An id of another table: empty gives 0; anything but a plain id refuses.
  int64_t Id(const std::string& text) {
    if (text.empty()) return 0;
    int64_t value = 0;
    if (!ParseId(text, &value)) Refuse(kArticleParameterError);
    return value;
  }

  void Limit(const std::string& text, size_t length, std::string_view label) {
    if (interaction::CharCount(text) > length) {
      Refuse("提示：" + std::string(label) + "超过最大长度！");
    }
  }

  [[noreturn]] void Refuse(std::string_view message) { AlertBack(state_, message); }

  Variant Scalar(const char* sql, std::vector<Variant> params) {
    return state_.db.Conn->ExecuteScalar(sql, params);
  }

 private:
  RequestState& state_;
};

bool Ticked(const std::string& text) { return !text.empty() && text != "0"; }

}  // namespace

ArticleRecord ArticleFromRow(Recordset& rs) {
  auto text = [&rs](const char* field) { return rs[field].ToString(); };
  auto number = [&rs](const char* field) { return rs[field].ToInt64Or(0); };
  auto flag = [&rs](const char* field) { return rs[field].ToBoolOr(false); };
  ArticleRecord v;
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
  return v;
}

std::string KeywordAsTyped(const std::string& stored) {
  if (stored.size() >= 2 && stored.front() == '|' && stored.back() == '|') {
    return stored.substr(1, stored.size() - 2);
  }
  return stored;
}

void SetArticleColumns(Recordset& rs, const ArticleRecord& f) {
  rs.Set("d_classid", SqlNumber(f.class_id));
  rs.Set("d_subjectid", SqlNumber(f.subject_id));
  rs.Set("d_title", Variant(f.title));
  rs.Set("d_longtitle", Variant(f.long_title));
  rs.Set("d_subtitle", Variant(f.subtitle));
  rs.Set("d_titleprefix", SqlNumber(f.title_prefix));
  rs.Set("d_titlecolor", Variant(f.title_color));
  rs.Set("d_fontshape", SqlNumber(f.font_shape));
  rs.Set("d_author", Variant(f.author));
  rs.Set("d_comefrom", Variant(f.come_from));
  rs.Set("d_keyword", Variant(f.keyword));
  rs.Set("d_relativeflag", Variant(f.relative));
  rs.Set("d_metakeyword", Variant(f.meta_keyword));
  rs.Set("d_metarelativeflag", Variant(f.meta_relative));
  rs.Set("d_clicktimes", SqlNumber(f.click_times));
  rs.Set("d_hotflag", Variant(f.hot));
  rs.Set("d_topflag", Variant(f.top));
  rs.Set("d_recommendflag", Variant(f.recommend));
  rs.Set("d_generatehtmlflag", Variant(f.publish_now));
  rs.Set("d_summary", Variant(f.summary));
  rs.Set("d_content", Variant(f.content));
  rs.Set("d_picurl", Variant(f.pic_url));
  rs.Set("d_uploadfiles", Variant(f.upload_files));
  rs.Set("d_paginationtype", SqlNumber(f.pagination));
  rs.Set("d_maxcharperpage", SqlNumber(f.max_char_per_page));
  rs.Set("d_templatepageid", SqlNumber(f.template_page));
  rs.Set("d_stars", SqlNumber(f.stars));
  rs.Set("d_showcommentlink", Variant(f.show_comment_link));
  rs.Set("d_linkurl", Variant(f.link_url));
}

bool ClassTakesArticles(int64_t child_count, bool add_article_flag) {
  return child_count <= 0 || add_article_flag;
}

ArticleRecord ReadArticleFields(RequestState& state, const ArticleChannel& channel, bool update) {
  FieldReader in(state);
  ArticleRecord f;

  // The class: the list marks a class that takes no articles by "-" after its id.
  std::string class_text = in.Text("d_classid");
  if (class_text.ends_with('-')) in.Refuse("本分类下设置不允许添加内容！");
  f.class_id = in.Id(class_text);
  if (f.class_id != 0) {
    Recordset rs;
    rs.Open(
        "select d_child, d_addarticleflag from Vantrel_ArticleClass where d_id = ? and "
        "d_channelid = ?",
        {SqlNumber(f.class_id), SqlNumber(channel.id)}, *state.db.Conn, 0, 1);
    if (rs.Eof()) in.Refuse(kArticleParameterError);
    bool takes =
        ClassTakesArticles(rs["d_child"].ToInt64Or(0), rs["d_addarticleflag"].ToBoolOr(false));
    rs.Close();
    if (!takes) in.Refuse("本分类下设置不允许添加内容！");
  }
  f.subject_id = in.Id(in.Text("d_subjectid"));
  if (f.subject_id != 0 &&
      in.Scalar("select count(*) from Vantrel_ArticleSubject where d_id = ? and d_channelid = ?",
                {SqlNumber(f.subject_id), SqlNumber(channel.id)})
              .ToInt64Or(0) == 0) {
    in.Refuse(kArticleParameterError);
  }

  f.title_prefix = in.Code("d_titleprefix", 4);
  f.title = in.Text("d_title");
  if (f.title.empty()) in.Refuse("提示：标题不能为空！");
  in.Limit(f.title, kTitleLength, "标题");

  f.title_color = in.Text("d_titlecolor");
  if (!f.title_color.empty() &&
      std::find(kTitleColors.begin(), kTitleColors.end(), f.title_color) == kTitleColors.end()) {
    in.Refuse(kArticleParameterError);
  }
  f.font_shape = in.Code("d_fontshape", 3);
  f.long_title = in.Text("d_longtitle");
  in.Limit(f.long_title, kLongTitleLength, "完整标题");
  f.subtitle = in.Text("d_subtitle");
  in.Limit(f.subtitle, kShortTextLength, "子标题");
  f.show_comment_link = in.Text("d_showcommentlink") == "1";

  f.relative = Ticked(in.Text("d_relativeflag"));
  if (!f.relative) {
    std::string keyword = in.Text("d_keyword");
    in.Limit(keyword, kKeywordLength, "关键字");
    if (!keyword.empty()) f.keyword = "|" + keyword + "|";
  }
  f.meta_relative = Ticked(in.Text("d_metarelativeflag"));
  if (!f.meta_relative) {
    f.meta_keyword = in.Text("d_metakeyword");
    in.Limit(f.meta_keyword, kKeywordLength, "Meta关键字");
  }

  f.author = in.Text("d_author");
  if (f.author.empty()) f.author = "未知";
  in.Limit(f.author, kShortTextLength, "作者");
  f.come_from = in.Text("d_comefrom");
  if (f.come_from.empty()) f.come_from = "未知";
  in.Limit(f.come_from, kShortTextLength, "来源");

  bool use_link = !in.Text("d_uselink").empty();
  if (use_link) {
    f.link_url = in.Text("d_linkurl");
    if (f.link_url.empty()) in.Refuse("提示：转向链接地址不能为空！");
    in.Limit(f.link_url, kAddressLength, "转向链接地址");
    if (IsScriptLink(f.link_url)) in.Refuse(kScriptRedirectRefused);
  }

  f.summary = in.Raw("d_summary");
  // The body is shown on the public pages, which share the console's origin: whoever may add
  // articles may not run script there.
  f.content = CleanTypedHtml(in.Raw("d_content"));
  if (!use_link && Trim(f.content).empty()) in.Refuse("提示：内容不能为空！");

  f.pic_url = in.Text("d_picurl");
  in.Limit(f.pic_url, kAddressLength, "首页图片");
  f.upload_files = LCase(in.Text("d_savepathfilename"));

  f.pagination = in.Code("d_pagenationtype", 2);
  std::string size_text = in.Text("d_maxcharperpage");
  if (f.pagination == 1 && size_text.empty()) {
    in.Refuse("提示：自动分页必需设置每一页的大小！");
  }
  int64_t size = 0;
  if (IsDigits(size_text)) {
    if (!ParseId(size_text, &size) || size > kMaxCount) in.Refuse(kArticleParameterError);
  }
  if (f.pagination == 1 && size <= 0) size = 1000;
  f.max_char_per_page = size;
  if (f.pagination == 2 && f.content.find(kNextPageMark) == std::string::npos) {
    in.Refuse("提示：手动分页必需设置在需要分页的地方加上分页符“[Vantrel_NextPage]”的大小！");
  }

  f.top = Ticked(in.Text("d_topflag"));
  f.hot = Ticked(in.Text("d_hotflag"));
  f.recommend = Ticked(in.Text("d_recommendflag"));
  f.stars = in.Code("d_stars", 5);
  std::string clicks = in.Text("d_clicktimes");
  if (IsDigits(clicks)) {
    if (!ParseId(clicks, &f.click_times) || f.click_times > kMaxCount) {
      in.Refuse(kArticleParameterError);
    }
  }
  if (f.hot && f.click_times < channel.clicks_of_hot) {
    in.Refuse("提示：热门" +
              (update ? std::string("文章") : interaction::ScriptStringEncode(channel.word)) +
              "最小点击数为" + std::to_string(channel.clicks_of_hot) + "！");
  }

  f.template_page = in.Id(in.Text("d_templatepageid"));
  if (f.template_page != 0 &&
      in.Scalar("select count(*) from Vantrel_TemplatePage where d_id = ? and d_type = 'content'",
                {SqlNumber(f.template_page)})
              .ToInt64Or(0) == 0) {
    in.Refuse(kArticleParameterError);
  }
  f.publish_now = Ticked(in.Text("d_generatehtmlflag"));
  return f;
}

}  // namespace folirex
