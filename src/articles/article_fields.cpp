#include "articles/article_fields.h"

#include <algorithm>
#include <string_view>

#include "core/html_clean.h"
#include "core/id_list.h"
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

// The posted form: the combined collection, as the form's own links may carry a value too.
// Texts are trimmed; the editor's HTML and the summary are stored as posted (they keep their own
// blanks and line breaks).

// A code of a fixed list: empty gives 0; anything but a whole number from 0 to max refuses.
int64_t Code(const RequestReader& in, const char* key, int64_t max) {
  if (in.Text(key).empty()) return 0;
  std::optional<int64_t> value = in.Id(key);
  if (!value || *value > max) in.Refuse(kArticleParameterError);
  return *value;
}

// An id of another table: empty gives 0; anything but a plain id refuses.
int64_t OptionalId(const RequestReader& in, const char* key) {
  if (in.Text(key).empty()) return 0;
  return in.Id(key, kArticleParameterError);
}

void Limit(const RequestReader& in, const std::string& text, size_t length,
           std::string_view label) {
  if (interaction::CharCount(text) > length) {
    in.Refuse("提示：" + std::string(label) + "超过最大长度！");
  }
}

// Whether a text column is read back trimmed: the form's short boxes are; the keywords, the
// addresses and the bodies come back as stored.
enum class Read { kAsStored, kTrimmed };

// Every column the form shows and the save writes, with the member that holds it: the one list
// that both directions walk. `visit` is called with the column, the member and, for texts, how
// the column is read.
template <typename Record, typename Visit>
void ForEachColumn(Record& r, Visit&& visit) {
  visit("d_classid", r.class_id);
  visit("d_subjectid", r.subject_id);
  visit("d_title", r.title, Read::kTrimmed);
  visit("d_longtitle", r.long_title, Read::kTrimmed);
  visit("d_subtitle", r.subtitle, Read::kTrimmed);
  visit("d_titleprefix", r.title_prefix);
  visit("d_titlecolor", r.title_color, Read::kTrimmed);
  visit("d_fontshape", r.font_shape);
  visit("d_author", r.author, Read::kTrimmed);
  visit("d_comefrom", r.come_from, Read::kTrimmed);
  visit("d_keyword", r.keyword, Read::kAsStored);
  visit("d_relativeflag", r.relative);
  visit("d_metakeyword", r.meta_keyword, Read::kAsStored);
  visit("d_metarelativeflag", r.meta_relative);
  visit("d_clicktimes", r.click_times);
  visit("d_hotflag", r.hot);
  visit("d_topflag", r.top);
  visit("d_recommendflag", r.recommend);
  visit("d_generatehtmlflag", r.publish_now);
  visit("d_summary", r.summary, Read::kAsStored);
  visit("d_content", r.content, Read::kAsStored);
  visit("d_picurl", r.pic_url, Read::kAsStored);
  visit("d_uploadfiles", r.upload_files, Read::kTrimmed);
  visit("d_paginationtype", r.pagination);
  visit("d_maxcharperpage", r.max_char_per_page);
  visit("d_templatepageid", r.template_page);
  visit("d_stars", r.stars);
  visit("d_showcommentlink", r.show_comment_link);
  visit("d_linkurl", r.link_url, Read::kAsStored);
}

// Reads one column into its member.
struct ColumnReader {
  Recordset& rs;
  void operator()(const char* column, int64_t& number) const { number = rs[column].ToInt64Or(0); }
  void operator()(const char* column, bool& flag) const { flag = rs[column].ToBoolOr(false); }
  void operator()(const char* column, std::string& text, Read read) const {
    text = rs[column].ToString();
    if (read == Read::kTrimmed) text = Trim(text);
  }
};

// Sets one column from its member.
struct ColumnWriter {
  Recordset& rs;
  void operator()(const char* column, int64_t number) const { rs.Set(column, SqlNumber(number)); }
  void operator()(const char* column, bool flag) const { rs.Set(column, Variant(flag)); }
  void operator()(const char* column, const std::string& text, Read) const {
    rs.Set(column, Variant(text));
  }
};

// The class and the subject, each of the channel; the class one that takes articles.
void ReadClassAndSubject(const RequestReader& in, Connection& conn, const ArticleChannel& channel,
                         ArticleRecord& f) {
  // The class: the list marks a class that takes no articles by "-" after its id.
  std::string class_text = in.Text("d_classid");
  if (class_text.ends_with('-')) in.Refuse("本分类下设置不允许添加内容！");
  f.class_id = OptionalId(in, "d_classid");
  if (f.class_id != 0) {
    const std::optional<bool> takes = ChannelClassTakesArticles(conn, f.class_id, channel.id);
    if (!takes) in.Refuse(kArticleParameterError);
    if (!*takes) in.Refuse("本分类下设置不允许添加内容！");
  }
  f.subject_id = OptionalId(in, "d_subjectid");
  if (f.subject_id != 0 &&
      conn.ExecuteScalar(
              "select count(*) from Vantrel_ArticleSubject where d_id = ? and d_channelid = ?",
              {SqlNumber(f.subject_id), SqlNumber(channel.id)})
              .ToInt64Or(0) == 0) {
    in.Refuse(kArticleParameterError);
  }
}

// The title prefix, the titles with their colour and shape, the comment link.
void ReadTitles(const RequestReader& in, ArticleRecord& f) {
  f.title_prefix = Code(in, "d_titleprefix", 4);
  f.title = in.Text("d_title");
  if (f.title.empty()) in.Refuse("提示：标题不能为空！");
  Limit(in, f.title, kTitleLength, "标题");

  f.title_color = in.Text("d_titlecolor");
  if (!f.title_color.empty() &&
      std::find(kTitleColors.begin(), kTitleColors.end(), f.title_color) == kTitleColors.end()) {
    in.Refuse(kArticleParameterError);
  }
  f.font_shape = Code(in, "d_fontshape", 3);
  f.long_title = in.Text("d_longtitle");
  Limit(in, f.long_title, kLongTitleLength, "完整标题");
  f.subtitle = in.Text("d_subtitle");
  Limit(in, f.subtitle, kShortTextLength, "子标题");
  f.show_comment_link = in.Text("d_showcommentlink") == "1";
}

// The keywords and the Meta keywords, each unless taken from the keyword library.
void ReadKeywords(const RequestReader& in, ArticleRecord& f) {
  f.relative = in.Checked("d_relativeflag");
  if (!f.relative) {
    std::string keyword = in.Text("d_keyword");
    Limit(in, keyword, kKeywordLength, "关键字");
    if (!keyword.empty()) f.keyword = "|" + keyword + "|";
  }
  f.meta_relative = in.Checked("d_metarelativeflag");
  if (!f.meta_relative) {
    f.meta_keyword = in.Text("d_metakeyword");
    Limit(in, f.meta_keyword, kKeywordLength, "Meta关键字");
  }
}

// The author and the source, "未知" when left empty.
void ReadSources(const RequestReader& in, ArticleRecord& f) {
  f.author = in.Text("d_author");
  if (f.author.empty()) f.author = "未知";
  Limit(in, f.author, kShortTextLength, "作者");
  f.come_from = in.Text("d_comefrom");
  if (f.come_from.empty()) f.come_from = "未知";
  Limit(in, f.come_from, kShortTextLength, "来源");
}

// The redirect link or the content (one of them), the summary, the picture and the uploads.
void ReadLinkAndTexts(const RequestReader& in, ArticleRecord& f) {
  bool use_link = !in.Text("d_uselink").empty();
  if (use_link) {
    f.link_url = in.Text("d_linkurl");
    if (f.link_url.empty()) in.Refuse("提示：转向链接地址不能为空！");
    Limit(in, f.link_url, kAddressLength, "转向链接地址");
    if (IsScriptLink(f.link_url)) in.Refuse(kScriptRedirectRefused);
  }

  f.summary = in.Raw("d_summary");
  // The body is shown on the public pages, which share the console's origin: whoever may add
  // articles may not run script there.
  f.content = CleanTypedHtml(in.Raw("d_content"));
  if (!use_link && Trim(f.content).empty()) in.Refuse("提示：内容不能为空！");

  f.pic_url = in.Text("d_picurl");
  Limit(in, f.pic_url, kAddressLength, "首页图片");
  f.upload_files = LCase(in.Text("d_savepathfilename"));
}

// How the content is cut into pages.
void ReadPaging(const RequestReader& in, ArticleRecord& f) {
  f.pagination = Code(in, "d_pagenationtype", 2);
  std::string size_text = in.Text("d_maxcharperpage");
  if (f.pagination == 1 && size_text.empty()) {
    in.Refuse("提示：自动分页必需设置每一页的大小！");
  }
  int64_t size = 0;
  if (IsDigits(size_text)) {
    std::optional<int64_t> typed = in.Id("d_maxcharperpage");
    if (!typed || *typed > kMaxCount) in.Refuse(kArticleParameterError);
    size = *typed;
  }
  if (f.pagination == 1 && size <= 0) size = 1000;
  f.max_char_per_page = size;
  if (f.pagination == 2 && f.content.find(kNextPageMark) == std::string::npos) {
    in.Refuse("提示：手动分页必需设置在需要分页的地方加上分页符“[Vantrel_NextPage]”的大小！");
  }
}

// The flags, the stars and the clicks; a hot article has at least the channel's minimum.
void ReadAttributes(const RequestReader& in, const ArticleChannel& channel, ArticleRecord& f,
                    bool update) {
  f.top = in.Checked("d_topflag");
  f.hot = in.Checked("d_hotflag");
  f.recommend = in.Checked("d_recommendflag");
  f.stars = Code(in, "d_stars", 5);
  std::string clicks = in.Text("d_clicktimes");
  if (IsDigits(clicks)) {
    std::optional<int64_t> typed = in.Id("d_clicktimes");
    if (!typed || *typed > kMaxCount) in.Refuse(kArticleParameterError);
    f.click_times = *typed;
  }
  if (f.hot && f.click_times < channel.clicks_of_hot) {
    in.Refuse("提示：热门" +
              (update ? std::string("文章") : interaction::ScriptStringEncode(channel.word)) +
              "最小点击数为" + std::to_string(channel.clicks_of_hot) + "！");
  }
}

// The content template page.
void ReadTemplatePage(const RequestReader& in, Connection& conn, ArticleRecord& f) {
  f.template_page = OptionalId(in, "d_templatepageid");
  if (f.template_page != 0 &&
      conn.ExecuteScalar(
              {.tables = {"Vantrel_TemplatePage"},
               .sql = "select count(*) from Vantrel_TemplatePage where d_id = ? and d_type = "
                      "'content'",
               .values = {SqlNumber(f.template_page)}})
              .ToInt64Or(0) == 0) {
    in.Refuse(kArticleParameterError);
  }
}

}  // namespace

ArticleRecord ArticleFromRow(Recordset& rs) {
  ArticleRecord record;
  ForEachColumn(record, ColumnReader{rs});
  return record;
}

std::string KeywordAsTyped(const std::string& stored) {
  if (stored.size() >= 2 && stored.front() == '|' && stored.back() == '|') {
    return stored.substr(1, stored.size() - 2);
  }
  return stored;
}

void SetArticleColumns(Recordset& rs, const ArticleRecord& f) {
  ForEachColumn(f, ColumnWriter{rs});
}

bool ClassTakesArticles(int64_t child_count, bool add_article_flag) {
  return child_count <= 0 || add_article_flag;
}

std::optional<bool> ChannelClassTakesArticles(Connection& conn, int64_t class_id,
                                              int64_t channel_id) {
  Recordset rs;
  rs.Open(
      db::KeptRead{
          .tables = {"Vantrel_ArticleClass"},
          .sql = "select d_child, d_addarticleflag from Vantrel_ArticleClass where d_id = ? and "
                 "d_channelid = ?",
          .values = {SqlNumber(class_id), SqlNumber(channel_id)}},
      conn);
  if (rs.Eof()) return std::nullopt;
  return ClassTakesArticles(rs["d_child"].ToInt64Or(0), rs["d_addarticleflag"].ToBoolOr(false));
}

ArticleRecord ReadArticleFields(RequestState& state, const RequestReader& in,
                                const ArticleChannel& channel, bool update) {
  Connection& conn = *state.db.Conn;
  ArticleRecord f;
  ReadClassAndSubject(in, conn, channel, f);
  ReadTitles(in, f);
  ReadKeywords(in, f);
  ReadSources(in, f);
  ReadLinkAndTexts(in, f);
  ReadPaging(in, f);
  ReadAttributes(in, channel, f, update);
  ReadTemplatePage(in, conn, f);
  f.publish_now = in.Checked("d_generatehtmlflag");
  return f;
}

}  // namespace folirex
