#include "publishing/generation_step.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/public_request.h"
#include "core/site_files.h"
#include "core/text_helpers.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"
#include "platform/db/sql_params.h"
#include "platform/text/vb_text.h"
#include "publishing/article_html.h"
#include "publishing/static_writers.h"
#include "site/class_folders.h"
#include "site/location_path.h"

namespace folirex {
namespace {

constexpr int64_t kMaxStepNumber = 2147483647;
// The neighbours of a step's articles are read at once when their ids span at most this many
// ids a page.
constexpr int64_t kMaxNeighbourSpan = 16;
// The install folder's static home page names; its redirect page is the site home's, not the
// channel's, and is left to the site home's own mode switch.
constexpr const char* kStaticDefaultPattern = "^default\\.(html|htm|shtml|shtm)$";

// A step reads much of the database, most of it many times over (the rows of its articles, their
// neighbours and related articles, the lists): on SQLite the connection reads the file through a
// memory map for the step instead of copying every page it needs into its small page cache again
// and again. The map is dropped when the step ends, so the pooled connection goes back as it was.
class MappedReads {
 public:
  explicit MappedReads(Connection& conn)
      : conn_(conn.engine() == SqlEngine::kSqlite ? &conn : nullptr) {
    if (conn_ != nullptr) conn_->Execute("PRAGMA mmap_size=" + std::to_string(kMapBytes));
  }
  ~MappedReads() {
    if (conn_ == nullptr) return;
    try {
      conn_->Execute("PRAGMA mmap_size=0");
    } catch (...) {
      // The connection keeps its map: it reads the same either way.
    }
  }
  MappedReads(const MappedReads&) = delete;
  MappedReads& operator=(const MappedReads&) = delete;

 private:
  static constexpr int64_t kMapBytes = int64_t{1} << 30;
  Connection* conn_;
};

// A plain number (IsDigits) within [1, max]; nullopt otherwise.
std::optional<int64_t> StepNumber(const std::string& text, int64_t max) {
  if (!IsDigits(Variant(text)) || text.size() > 10) return std::nullopt;
  const int64_t value = std::stoll(text);
  if (value < 1 || value > max) return std::nullopt;
  return value;
}

}  // namespace

void ClearGeneratedFlags(DatabaseState& db, int64_t channel_id) {
  ScopedTransaction transaction(*db.Conn);
  for (const char* table : {"Vantrel_Article", "Vantrel_ArticleClass", "Vantrel_ArticleSubject"}) {
    db.Conn->Execute(
        std::string("update ") + table + " set d_generatedflag = false where d_channelid = ?",
        {Variant(static_cast<long long>(channel_id))});
  }
  transaction.Commit();
}

namespace {

WriteResult DeleteGenerated(RequestState& state) {
  const std::string& dir = state.channel.ChannelDir;
  const std::string folder = dir.empty() ? "./" : dir;
  if (dir.empty()) {
    DeleteFilesIn(state.host, folder, kStaticDefaultPattern);
  } else {
    DeleteFilesIn(state.host, folder, "^default\\.");
  }
  // The pages leave the site, their files kept for the steps that write them again.
  DeleteClassFolders(state, true);
  for (const char* name : {"subject", "list", "listhot"}) {
    SetFolderAside(state.host, (dir.empty() ? "" : dir) + name);
  }
  ClearGeneratedFlags(state.db, state.channel.ChannelID.ToInt64Or(-1));
  return {};
}

void MarkArticles(RequestState& state, const std::vector<int64_t>& ids, bool generated) {
  constexpr size_t kIdsPerStatement = 500;
  for (size_t from = 0; from < ids.size(); from += kIdsPerStatement) {
    const size_t to = std::min(ids.size(), from + kIdsPerStatement);
    const BoundSql in = IdsIn("d_id", std::vector<int64_t>(ids.begin() + from, ids.begin() + to));
    state.db.Conn->Execute(std::string("update Vantrel_Article set d_generatedflag = ") +
                               (generated ? "true" : "false") + " where " + in.sql,
                           in.params);
  }
}

// The article pages of the step: `skip` rows passed over, then up to `batch` rows, all read in
// one query.
WriteResult WriteArticles(RequestState& state, bool only_new, int64_t skip, int64_t batch) {
  // The steps of a whole channel cut its articles in id order. Their select compares the channel
  // as "a.d_channelid + 0", which no index serves: SQLite then walks the articles in id order
  // and stops after the step's rows, where an index on the channel would have it read and sort
  // the whole channel for every step. The new articles are found through their flag's index.
  const std::string sql = std::string(kArticlePageColumns) + " where " +
                          (only_new ? "a.d_generatedflag=false and " : "") +
                          "a.d_checked=true and a.d_deleted=false and (a.d_linkurl = '' or "
                          "a.d_linkurl is null) and " +
                          (only_new ? "a.d_channelid = ?" : "a.d_channelid + 0 = ?") +
                          " order by a.d_id asc";
  std::vector<ArticlePageRow> rows;
  {
    // One window of the select: the step's rows after the ones passed over.
    Recordset rs;
    rs.Open(sql, {SqlNumber(state.channel.ChannelID.ToInt64Or(-1))}, *state.db.Conn, 1, 1);
    if (skip > 0) rs.Move(skip);
    for (std::vector<Variant>& values : rs.GetRows(batch)) {
      rows.push_back(ArticlePageRowOf(std::move(values)));
    }
  }
  WriteResult result;
  std::vector<int64_t> written;
  std::vector<int64_t> failed;
  ArticleBatch shared;
  // The previous and next articles of the step's pages, read at once when the step's ids lie
  // close together (as those of one channel's run do).
  if (!rows.empty()) {
    const int64_t first = rows.front().id;
    const int64_t last = rows.back().id;
    if (last - first < kMaxNeighbourSpan * static_cast<int64_t>(rows.size())) {
      shared.shared.KeepNeighbours(LoadNeighbourRows(state, first, last));
    }
  }
  for (const ArticlePageRow& row : rows) {
    (WriteArticleHtml(state, row, &shared) ? written : failed).push_back(row.id);
  }
  result.written = static_cast<int64_t>(written.size());
  result.failed = static_cast<int64_t>(failed.size());
  // The marks of the step's articles, a few statements for the whole step: an article is marked
  // generated only when every one of its files was written.
  MarkArticles(state, written, true);
  MarkArticles(state, failed, false);
  return result;
}

WriteResult WriteListStep(RequestState& state, const ListTarget& target, int64_t step,
                          int64_t batch, int64_t page_count) {
  int64_t first = (step - 1) * batch + 1;
  int64_t last = step * batch;
  // A step planned past the end rewrites the last page; a list that shrank is written up to its
  // present last page.
  last = std::min(last, page_count);
  first = std::min(first, page_count);
  return ArticleHtml_CreateList(state, target, first, last, page_count);
}

std::optional<ListKind> ListKindOf(const std::string& option) {
  if (option == "classlist") return ListKind::kClass;
  if (option == "subjectlist") return ListKind::kSubject;
  if (option == "hotlist") return ListKind::kHot;
  if (option == "recommendlist") return ListKind::kRecommend;
  if (option == "newlist") return ListKind::kNew;
  return std::nullopt;
}

void Answer(RequestState& state, const WriteResult& result) {
  if (result.ok()) {
    state.host.Response->Write(kStepDone);
    return;
  }
  state.host.Response->Write("<script language=javascript>parent.doReturn('<font color=red>" +
                             std::to_string(result.failed) + "个文件未能写入！</font>');</script>");
}

}  // namespace

int64_t BatchSize(const ChannelSettings& channel) {
  const int64_t size = channel.GroupNum.ToInt64Or(1);
  return std::clamp<int64_t>(size, 1, 32767);
}

void ArticleHtml_DoingUpdateHtml(RequestState& state, const ConsoleRequest& request) {
  const RequestReader& in = request.values;
  const std::string option = in.Text("option");
  const std::string count_text = in.Text("doingcount");
  const std::string size_text = in.Text("flag3");
  const int64_t batch = BatchSize(state.channel);

  const std::optional<ListKind> list = ListKindOf(option);
  const bool numbered = option == "content_all" || list.has_value();
  std::optional<int64_t> step = 1;
  if (numbered) step = StepNumber(count_text, kMaxStepNumber);
  // A page size is read from the database; one given in the address must still be a number.
  const bool size_ok = size_text.empty() || StepNumber(size_text, 32767).has_value();
  if (!step || !size_ok) {
    state.host.Response->Write(kStepRefused);
    return;
  }

  WriteResult result;
  const MappedReads mapped(*state.db.Conn);
  if (option == "delete") {
    result = DeleteGenerated(state);
  } else if (option == "content_all") {
    result = WriteArticles(state, false, (*step - 1) * batch, batch);
  } else if (option == "content_new") {
    result = WriteArticles(state, true, 0, batch);
  } else if (option == "first") {
    result = ArticleHtml_CreateFirst(state);
  } else if (option == "js_all") {
    result = ArticleHtml_CreateJsAll(state);
  } else if (list) {
    const std::optional<ListTarget> target = LoadListTarget(state, *list, in.Id("flag1"));
    if (!target) {
      state.host.Response->Write(kStepRefused);
      return;
    }
    // The page count is made again from the live data; a top list without its chip is skipped.
    const std::optional<int64_t> pages = CountListPages(state, *target);
    if (pages) result = WriteListStep(state, *target, *step, batch, *pages);
  }
  Answer(state, result);
}

}  // namespace folirex
