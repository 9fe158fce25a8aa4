#include "site/related_chips.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "core/article_keywords.h"
#include "core/reads_ahead.h"
#include "core/search_index.h"
#include "core/site_caches.h"
#include "core/site_config.h"
#include "core/text_helpers.h"
#include "platform/db/db_error.h"
#include "platform/db/recordset.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "site/article_loader.h"
#include "site/interaction_text.h"

namespace folirex {

namespace {

// Counts and title widths above this are refused (the width is a 16-bit number on the pages).
constexpr int64_t kMaxChipNumber = 32767;

const char kNoRelatedRow[] = "<tr><td><li>暂时没有相关文章</td></tr>";

// The order of related articles tied in add time: that in which SQLite's related-articles index
// (idx_article_related) lists them, so that every engine and every way of reading gives one order.
// The outer select of the block orders its rows the same way.
const char kTiesInTime[] = ", d_keyword desc, d_id desc";

// The entries of an article's keyword list ("|a|b|"), trimmed, the empty ones left out.
std::vector<std::string> OwnKeywords(const std::string& keywords) {
  std::vector<std::string> words;
  for (const std::string& entry : Split(keywords, "|")) {
    std::string keyword = Trim(entry);
    // A keyword listed twice matches the same articles: it is tested once.
    if (!keyword.empty() && std::find(words.begin(), words.end(), keyword) == words.end()) {
      words.push_back(std::move(keyword));
    }
  }
  return words;
}

// The select of the articles related through the article's own keywords: every approved article
// of the channel, not in the recycle bin, that shares one of them. The keywords, the article and
// the channel are placeholders, their values appended to `params`, so that the pages of a
// channel share a few statement texts. The statement builds each pattern around its bound
// keyword: a pattern bound whole would have SQLite compile the statement again for every new
// value (it plans a bare "like ?" by the value). It reads the channel newest first until it has
// its rows: the way when every match is asked for or the keyword index cannot answer.
std::string OwnKeywordSql(SqlEngine engine, std::vector<std::string> words, const std::string& top,
                          const std::string& article_id, const std::string& channel_id,
                          std::vector<Variant>* params) {
  std::string condition;
  params->reserve(params->size() + words.size() + 2);
  for (size_t i = 0; i < words.size(); ++i) {
    condition += i == 0 ? "" : "or ";
    // PostgreSQL's form of the like lowers every keyword list it tests; a keyword without letter
    // case finds the same lists compared as they are, in half the time. Its statement is kept
    // with one plan for every value, so the pattern is bound whole.
    if (engine == SqlEngine::kPostgres && KeywordHasNoLetterCase(words[i])) {
      condition += " (cast(d_keyword as text) ~~ ?) ";
      params->emplace_back("%|" + CaseSensitiveLikeText(words[i]) + "|%");
    } else {
      condition += " (d_keyword like '%|'+?+'|%') ";
      params->emplace_back(std::move(words[i]));
    }
  }
  params->emplace_back(static_cast<long long>(std::stoll(article_id)));
  params->emplace_back(static_cast<long long>(std::stoll(channel_id)));
  return "select " + top +
         "d_id, d_addtime, d_title, d_classid, d_keyword from Vantrel_Article where (" + condition +
         ") and d_id <> ? and d_deleted = false and d_checked = true and d_channelid = ? "
         "order by d_addtime desc" +
         kTiesInTime;
}

// The same select over the articles the keyword index names (core/article_keywords.h), `ids` a
// select of a set of them that holds the block's rows: the conditions tested again on the rows,
// ties in time in the order of kTiesInTime.
std::string IndexedKeywordSql(const std::string& ids, const std::string& top,
                              const std::string& article_id, const std::string& channel_id,
                              std::vector<Variant>* params) {
  params->emplace_back(static_cast<long long>(std::stoll(article_id)));
  params->emplace_back(static_cast<long long>(std::stoll(channel_id)));
  return "select " + top + "r.d_id, r.d_addtime, r.d_title, r.d_classid, r.d_keyword from (" + ids +
         ") c inner join Vantrel_Article r on r.d_id = c.d_articleid where r.d_id <> ? and "
         "r.d_deleted = false and r.d_checked = true and r.d_channelid = ? order by r.d_addtime "
         "desc, r.d_keyword desc, r.d_id desc";
}

// The keyword counts the server keeps, if it keeps any.
KeywordCounts* KeptKeywordCounts(RequestState& state) {
  return state.site_caches != nullptr ? &state.site_caches->keyword_counts : nullptr;
}

// The databases whose keyword index the server has made sure of, if it keeps any.
KeywordIndexMarks* KeptKeywordIndex(RequestState& state) {
  return state.site_caches != nullptr ? &state.site_caches->keyword_index : nullptr;
}

// The select of the articles related through the article's own keyword list: through the
// keyword index when it can answer (a few index reads however rare the keywords; `indexed` set),
// else by reading the channel. "" when the list holds no keyword.
std::string RelatedByKeywordsSql(Connection& conn, const std::string& keywords, int64_t count,
                                 const std::string& top, const std::string& article_id,
                                 const std::string& channel_id, std::vector<Variant>* params,
                                 KeywordIndexMarks* marks, KeywordCounts* counts, bool* indexed) {
  std::vector<std::string> words = OwnKeywords(keywords);
  if (words.empty()) return "";
  std::vector<Variant> values;
  std::optional<std::string> ids;
  try {
    EnsureArticleKeywordIndex(conn, marks);
    ids = KeywordArticlesSql(conn,
                             {.keywords = words,
                              .channel_id = std::stoll(channel_id),
                              .except_id = std::stoll(article_id),
                              .rows = count},
                             &values, marks, counts);
  } catch (const DbError&) {
    // A database that cannot hold the index (no right to create tables) still shows the block.
    ids.reset();
  }
  *indexed = ids.has_value();
  if (!*indexed) {
    return OwnKeywordSql(conn.engine(), std::move(words), top, article_id, channel_id, params);
  }
  params->insert(params->end(), values.begin(), values.end());
  return IndexedKeywordSql(*ids, top, article_id, channel_id, params);
}

// The select of the articles related through the channel's keyword library: those whose title
// holds a library word that the article's title holds too. Each article is listed once however
// many words it shares, and only approved articles of the channel outside the recycle bin are
// listed, as with the article's own keywords. The article, the channel and the title are
// placeholders, their values appended to `params`.
std::string LibrarySql(const std::string& title, const std::string& top,
                       const std::string& article_id, const std::string& channel_id,
                       std::vector<Variant>* params) {
  const Variant channel(static_cast<long long>(std::stoll(channel_id)));
  params->insert(params->end(), {Variant(static_cast<long long>(std::stoll(article_id))), channel,
                                 channel, Variant(title)});
  return "select " + top +
         "c.d_id, c.d_addtime, c.d_title, c.d_classid from Vantrel_Article c where c.d_id <> ? "
         "and c.d_deleted = false and c.d_checked = true and c.d_channelid = ? and exists "
         "(select d.d_id from Vantrel_Keyword d where d.d_channelid = ? and d.d_name <> '' and ? "
         "like '%'+d.d_name+'%' and c.d_title like '%'+d.d_name+'%') order by c.d_id desc";
}

}  // namespace

std::optional<RelatedRead> RelatedArticlesRead(RequestState& state, const ChannelSettings& channel,
                                               const Variant& chip_value, const Variant& page_type,
                                               std::optional<int64_t> article_id,
                                               const LoadedArticle* loaded) {
  if (LCase(page_type.ToString()) != "content") return std::nullopt;
  if (!interaction::IsId(article_id) || !interaction::IsId(channel.ChannelID)) return std::nullopt;
  const std::string id = std::to_string(*article_id);
  const std::string channel_id = channel.ChannelID.ToString();

  std::string title;
  std::string keywords;
  bool by_library = false;
  if (loaded != nullptr) {
    title = (*loaded)[kArticleTitle].ToString();
    keywords = (*loaded)[kArticleKeyword].ToString();
    by_library = (*loaded)[kArticleRelativeFlag].ToBoolOr(false);
  } else {
    Recordset rs;
    rs.Open("select d_title, d_relativeflag, d_keyword from Vantrel_Article where d_id = ?",
            {Variant(static_cast<long long>(std::stoll(id)))}, *state.db.Conn, 0, 1);
    if (rs.Eof()) return std::nullopt;
    title = rs["d_title"].ToString();
    keywords = rs["d_keyword"].ToString();
    // The article form's box "使用关键字库自动相关" stores true; any other value relates
    // through the article's own keywords.
    by_library = rs["d_relativeflag"].ToBoolOr(false);
  }

  std::string value = chip_value.ToString();
  size_t colon = value.find(':');
  std::vector<std::string> fields =
      Split(colon == std::string::npos ? "" : value.substr(colon + 1), ",");
  if (fields.size() != 2) return std::nullopt;
  int64_t count = interaction::DigitsUpTo(fields[0], kMaxChipNumber);
  RelatedRead read;
  read.title_width = interaction::DigitsUpTo(fields[1], kMaxChipNumber);
  if (count < 0 || read.title_width < 0) return std::nullopt;
  const std::string top = count == 0 ? "" : "top " + std::to_string(count) + " ";

  std::string inner =
      by_library ? LibrarySql(title, top, id, channel_id, &read.select.params)
                 : RelatedByKeywordsSql(*state.db.Conn, keywords, count, top, id, channel_id,
                                        &read.select.params, KeptKeywordIndex(state),
                                        KeptKeywordCounts(state), &read.indexed);
  if (inner.empty()) return read;
  read.select.sql =
      "select a.d_id, a.d_addtime, a.d_title, a.d_classid, b.d_dir, b.d_name from (" + inner +
      ") a left outer join (select d_id,d_dir, d_name from Vantrel_ArticleClass) b on "
      "a.d_classid=b.d_id" +
      (by_library ? " order by a.d_id desc"
                  : " order by a.d_addtime desc, a.d_keyword desc, a.d_id desc");
  return read;
}

std::string ShowArticleCorrelative(RequestState& state, const ChannelSettings& channel,
                                   const std::optional<RelatedRead>& read) {
  if (!read) return "";
  if (read->select.sql.empty()) {
    return std::string("<table width='100%' align=center>") + kNoRelatedRow + "</table>";
  }
  const std::string channel_id = channel.ChannelID.ToString();
  const ChannelFolder folder =
      GetChannelFolder(state.host, state.db, state.caches, channel.ChannelID);
  const std::string& base_path = folder.path;
  const std::string server_path = state.host.Application->Get("server_path").ToString();
  const std::string mode = channel.GenerateHtml.ToString();
  const bool static_links = mode == "1" || mode == "2";
  const int64_t width = read->title_width;
  std::string html = "<table width='100%' align=center>";
  Recordset rs;
  try {
    OpenReadAhead(state, rs, read->select.sql, read->select.params);
  } catch (const DbError&) {
    if (!read->indexed) throw;
    // The database was made again at the same place since the index was made sure of.
    EnsureArticleKeywordIndex(*state.db.Conn, KeptKeywordIndex(state), true);
    rs.Open(read->select.sql, read->select.params, *state.db.Conn, 0, 1);
  }
  if (rs.Eof()) html += kNoRelatedRow;
  for (; !rs.Eof(); rs.MoveNext()) {
    const std::string row_title = rs["d_title"].ToString();
    std::string link;
    if (static_links) {
      std::string file = GetContentFileName(folder.dir, rs["d_id"], rs["d_addtime"],
                                            channel.ContentFileType, channel.ContentFileExt);
      std::string dir = rs["d_dir"].ToString();
      link = "<a href='" + base_path + (dir.empty() ? "" : dir + "/") + file + "'>";
    } else {
      // Any mode without static pages links the dynamic page.
      link = "<a href='" + server_path + "asp.asp?m=content&channelid=" + channel_id +
             "&articleid=" + rs["d_id"].ToString() + "' title=\"" + HtmlEscapeAttr(row_title) +
             "\">";
    }
    const std::string text = HtmlEscapeAttr(width == 0 ? row_title : CutStr(row_title, width));
    html += "<tr><td><li>" + link + text + "</a></td></tr>";
  }
  rs.Close();
  html += "</table>";
  return html;
}

std::string ShowArticleCorrelative(RequestState& state, const ChannelSettings& channel,
                                   const Variant& chip_value, const Variant& page_type,
                                   std::optional<int64_t> article_id, const LoadedArticle* loaded) {
  return ShowArticleCorrelative(
      state, channel,
      RelatedArticlesRead(state, channel, chip_value, page_type, article_id, loaded));
}

std::string ShowTopUser(RequestState& state, const Variant& count, const Variant& kind) {
  int64_t number = interaction::DigitsUpTo(count, kMaxChipNumber);
  if (number < 0 || !IsDigits(kind)) return "";
  const std::string k = kind.ToString();
  std::string order;
  std::string heading;
  std::string column;
  if (k == "1") {
    order = " order by d_articlenum desc";
    heading = "文章数量";
    column = "d_articlenum";
  } else if (k == "2") {
    order = " order by d_commentnum desc";
    heading = "评论数量";
    column = "d_commentnum";
  } else if (k == "3") {
    order = " order by d_rmb desc";
    heading = "消费金额";
    column = "d_rmb";
  } else {
    return "";
  }
  Recordset rs;
  rs.Open(number == 0 ? "select * from Vantrel_User " + order
                      : "select top " + std::to_string(number) + " * from Vantrel_User " + order,
          *state.db.Conn, 0, 1);
  std::string html =
      "<table width='100%' align=center border=0><tr "
      "align=center><td>名次</td><td>用户名</td><td>" +
      heading + "</td></tr>";
  if (rs.Eof()) {
    html += "<tr><td><li>暂时没有本类数据</li></td></tr>";
  } else {
    int64_t rank = 1;
    for (; !rs.Eof(); rs.MoveNext(), ++rank) {
      // Members choose their own nicknames: shown as text, never as markup.
      html += "<tr align=center><td>" + std::to_string(rank) + "</td><td>" +
              HTMLEncode(rs["d_nickname"]) + "</td><td>" + rs[column].ToString() + "</td></tr>";
    }
    html += "<tr><td align=right colspan=3><a href='" +
            state.host.Application->Get("server_path").ToString() +
            "asp.asp?m=moreuser'>更多>></a></td></tr>";
  }
  html += "</table>";
  return html;
}

std::string ShowJsFile(RequestState& state, const ChannelSettings& channel,
                       const Variant& file_name) {
  std::string name = file_name.ToString();
  if (name.empty()) return "";
  return "<script language='javascript' src='" +
         GetChannelPath(state.host, state.db, state.caches, channel.ChannelID) + "Js/" +
         state.host.Server->HTMLEncode(name) + "'></Script>";
}

}  // namespace folirex
