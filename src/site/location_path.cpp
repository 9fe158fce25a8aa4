#include "site/location_path.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

#include "core/reads_ahead.h"
#include "core/select_boxes.h"
#include "core/site_config.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "site/article_loader.h"
#include "site/class_folders.h"

namespace folirex {
namespace {

constexpr const char* kHead = "您当前位置：";
constexpr const char* kNoNeighbour = "没有了";

std::string ServerPath(RequestState& state) {
  return state.host.Application->Get("server_path").ToString();
}

bool IsStaticMode(std::string_view mode) { return mode == "1" || mode == "2"; }

// The channel link of the breadcrumb: its dynamic first page, or its static first page (under
// the install folder when the site shows only one channel).
std::string ChannelLink(RequestState& state, const ChannelSettings& channel,
                        std::string_view mode) {
  if (!IsStaticMode(mode)) {
    return ServerPath(state) + "asp.asp?channelid=" + channel.ChannelID.ToString();
  }
  std::string base = ShownChannels(state.db, state.caches).size() > 1
                         ? GetChannelPath(state.host, state.db, state.caches, channel.ChannelID)
                         : ServerPath(state);
  return base + "default" + channel.FirstFileExt;
}

// The links of the classes from the top class down to class_id, each followed by separator.
std::string ClassChain(RequestState& state, const ChannelSettings& channel,
                       std::optional<int64_t> class_id, std::string_view mode,
                       std::string_view separator) {
  if (!class_id) return "";
  Recordset rs;
  rs.Open(db::KeptRead{.tables = {"Vantrel_ArticleClass"},
                       .sql = "select d_path from Vantrel_ArticleClass where d_id = ?",
                       .values = {Variant(static_cast<long long>(*class_id))}},
          *state.db.Conn);
  std::string path = rs.Eof() ? std::string() : rs["d_path"].ToString();
  rs.Close();
  std::vector<std::string> ids;
  size_t start = 0;
  for (size_t comma; (comma = path.find(',', start)) != std::string::npos; start = comma + 1) {
    ids.push_back(path.substr(start, comma - start));
  }
  // The piece after the last comma (empty in a well-formed path) is not a class.
  std::string chain;
  for (const std::string& piece : ids) {
    std::string id = Trim(piece);
    if (!IsDigits(id)) continue;
    const std::string name = HtmlEscapeAttr(GetNameByID(state.db, "Vantrel_ArticleClass", id));
    if (mode == "1") {
      std::string folder =
          ClassListDirFor(GetChannelPath(state.host, state.db, state.caches, channel.ChannelID),
                          channel.ListDirType, GetDirByID(state.db, "Vantrel_ArticleClass", id));
      chain += "<a href='" + folder + "list_" + id + channel.ListFileExt + "'>" + name;
    } else {
      chain += "<a href='" + ServerPath(state) + "asp.asp?m=classlist&classid=" + id +
               "&channelid=" + channel.ChannelID.ToString() + "'>" + name;
    }
    chain += separator;
  }
  return chain;
}

std::string SubjectName(RequestState& state, std::optional<int64_t> subject_id) {
  if (!subject_id) return "不属于任何分类";
  return GetNameByID(state.db, "Vantrel_ArticleSubject",
                     Variant(static_cast<long long>(*subject_id)));
}

// The select of the article next to a bound id: the nearest smaller id when `previous`, else the
// nearest larger one; or, with `range`, of every article between two bound ids. The same columns
// and join every way, so that the three are read as one (LoadNeighbourRows).
std::string NeighbourSql(bool previous, bool range) {
  std::string inner =
      range ? "Select d_id, d_title, d_classid, d_addtime from Vantrel_Article where d_id >= ? "
              "and d_id <= ? and d_deleted = false and d_checked = true"
      : previous ? "Select top 1 d_id, d_title, d_classid, d_addtime from Vantrel_Article where "
                   "d_id < ? and d_deleted = false and d_checked = true order by d_id desc"
                 : "Select  top 1 d_id, d_title, d_classid, d_addtime from Vantrel_Article where "
                   "d_id > ? and d_deleted = false and d_checked = true order by d_id";
  return std::string(previous ? "select a.d_id, a.d_title, a.d_classid, a.d_addtime, "
                              : "select a.d_id, a.d_title, a.d_classid,a.d_addtime, ") +
         "b.d_dir, b.d_name from (" + inner +
         ") a left outer join (select d_id,d_dir, d_name from Vantrel_ArticleClass) b on "
         "a.d_classid=b.d_id" +
         (range ? " order by a.d_id" : "");
}

NeighbourRows::Row RowOf(const Recordset& rs) {
  const Variant id = rs["d_id"];
  return {id.ToInt64Or(0), id, rs["d_title"], rs["d_addtime"], rs["d_dir"]};
}

// The neighbour from the rows kept for its range: every row of the range is there, with the one
// before it and the one after it at the ends.
std::optional<NeighbourRows::Row> KeptNeighbour(const NeighbourRows& kept, int64_t article_id,
                                                bool previous) {
  const auto& rows = kept.rows;
  if (previous) {
    auto it =
        std::lower_bound(rows.begin(), rows.end(), article_id,
                         [](const NeighbourRows::Row& row, int64_t id) { return row.id < id; });
    if (it == rows.begin()) return std::nullopt;
    return *std::prev(it);
  }
  auto it = std::upper_bound(rows.begin(), rows.end(), article_id,
                             [](int64_t id, const NeighbourRows::Row& row) { return id < row.id; });
  if (it == rows.end()) return std::nullopt;
  return *it;
}

std::string Neighbour(RequestState& state, const ChannelSettings& channel,
                      std::optional<int64_t> article_id, bool previous, const NeighbourRows* kept) {
  const ChannelFolder folder =
      GetChannelFolder(state.host, state.db, state.caches, channel.ChannelID);
  const std::string& path = folder.path;
  if (!article_id) return kNoNeighbour;
  std::optional<NeighbourRows> own;
  if (kept == nullptr || *article_id < kept->first_id || *article_id > kept->last_id) {
    own = LoadNeighbourRows(state, *article_id, *article_id);
    kept = &*own;
  }
  const std::optional<NeighbourRows::Row> row = KeptNeighbour(*kept, *article_id, previous);
  if (!row) return kNoNeighbour;
  std::string id = row->id_value.ToString();
  const std::string title = HtmlEscapeAttr(row->title.ToString());
  std::string link;
  if (channel.GenerateHtml.ToString() == "0") {
    link = "<a href='" + ServerPath(state) + "asp.asp?m=content&articleid=" + id +
           "&channelid=" + channel.ChannelID.ToString() + "'>";
  } else {
    std::string file = GetContentFileName(folder.dir, id, row->add_time, channel.ContentFileType,
                                          channel.ContentFileExt);
    std::string dir = row->dir.ToString();
    link = dir.empty() ? "<a href='" + path + file + "'>"
                       : "<a href='" + path + dir + "/" + file + "'>";
  }
  return link + title + "</a>";
}

}  // namespace

std::string ShowPath(RequestState& state, const ChannelSettings& channel,
                     std::optional<int64_t> class_id, std::optional<int64_t> subject_id,
                     std::string_view generate_html, std::string_view page_type) {
  std::string type = LCase(page_type);
  if (type == "default") return std::string(kHead) + "网站首页";
  if (type == "tellfriend") return std::string(kHead) + "告诉好友";
  const std::string_view mode = generate_html;
  const char* tail = nullptr;
  if (type == "first") {
    tail = "首页";
  } else if (type == "newlist") {
    tail = "最新文章";
  } else if (type == "recommendlist") {
    tail = "最新推荐文章";
  } else if (type == "hotlist") {
    tail = "热门文章";
  } else if (type == "search") {
    tail = "查询结果";
  } else if (type == "comment") {
    tail = "发表评论";
  } else if (type != "content" && type != "classlist" && type != "subjectlist") {
    return "";
  }
  std::string head = std::string(kHead) + "<a href='" + ChannelLink(state, channel, mode) + "'>" +
                     HtmlEscapeAttr(channel.ChannelName.ToString()) + "</a>&nbsp;&gt;&gt;&nbsp;";
  if (tail != nullptr) return head + tail;
  if (type == "content") {
    return head + ClassChain(state, channel, class_id, mode, "</a> &gt;&gt;&nbsp;") + "内容";
  }
  if (type == "classlist") {
    return head + ClassChain(state, channel, class_id, mode, "</a>&nbsp;&gt;&gt;&nbsp;") +
           "分类列表";
  }
  return head + HtmlEscapeAttr(SubjectName(state, subject_id)) + "列表";
}

BoundSql NeighbourSelect(int64_t first_id, int64_t last_id) {
  // The one before the range, the range and the one after it, in one statement; each arm is a
  // select of its own, as each would be read alone, and the rows are put in order by the reader.
  // The range of one article is that article alone, which no link shows.
  const Variant first(static_cast<long long>(first_id));
  const Variant last(static_cast<long long>(last_id));
  BoundSql select;
  select.sql = "select * from (" + NeighbourSql(true, false) + ") p union all ";
  select.params = {first};
  if (first_id < last_id) {
    select.sql += "select * from (" + NeighbourSql(false, true) + ") r union all ";
    select.params.insert(select.params.end(), {first, last});
  }
  select.sql += "select * from (" + NeighbourSql(false, false) + ") n";
  select.params.push_back(last);
  return select;
}

NeighbourRows LoadNeighbourRows(RequestState& state, int64_t first_id, int64_t last_id) {
  NeighbourRows kept;
  if (first_id > last_id) return kept;
  const BoundSql select = NeighbourSelect(first_id, last_id);
  Recordset rs;
  OpenReadAhead(state, rs, select.sql, select.params);
  for (; !rs.Eof(); rs.MoveNext()) kept.rows.push_back(RowOf(rs));
  rs.Close();
  std::stable_sort(
      kept.rows.begin(), kept.rows.end(),
      [](const NeighbourRows::Row& a, const NeighbourRows::Row& b) { return a.id < b.id; });
  kept.first_id = first_id;
  kept.last_id = last_id;
  return kept;
}

std::string ShowArticlePrevious(RequestState& state, const ChannelSettings& channel,
                                std::optional<int64_t> article_id, const NeighbourRows* kept) {
  return Neighbour(state, channel, article_id, true, kept);
}

std::string ShowArticleNext(RequestState& state, const ChannelSettings& channel,
                            std::optional<int64_t> article_id, const NeighbourRows* kept) {
  return Neighbour(state, channel, article_id, false, kept);
}

}  // namespace folirex
