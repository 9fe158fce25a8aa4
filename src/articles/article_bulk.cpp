#include "articles/article_bulk.h"

#include <string>
#include <string_view>
#include <vector>

#include "articles/article_fields.h"
#include "articles/article_form.h"
#include "console/admin_blocks.h"
#include "console/console_text.h"
#include "core/article_marks.h"
#include "core/id_list.h"
#include "core/messages.h"
#include "platform/db/scoped_transaction.h"
#include "platform/db/sql_params.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

// `condition` narrowed by `more` (SQL of constants only).
BoundSql Narrowed(const BoundSql& condition, const char* more) {
  return {condition.sql + more, condition.params};
}

// One action's work: the statements run inside its transaction.
class BulkAction {
 public:
  BulkAction(RequestState& state, const ArticleChannel& channel)
      : state_(state), channel_(channel), conn_(*state.db.Conn) {}

  // The ticked ids, each a number and an article of this channel.
  BoundSql TickedIds(const RequestReader& posted) {
    if (posted.Text("selectdel").empty()) AlertBack(state_, "提示：请先选择记录再操作！");
    const IdList list = posted.Ids("selectdel", kArticleParameterError);
    BoundSql ids = IdsIn("d_id", list.ids);
    std::vector<Variant> params = ids.params;
    params.push_back(SqlNumber(channel_.id));
    Variant found = conn_.ExecuteScalar(
        "select count(*) from Vantrel_Article where " + ids.sql + " and d_channelid = ?", params);
    if (found.ToInt64Or(-1) != static_cast<int64_t>(list.ids.size())) {
      AlertBack(state_, kArticleParameterError);
    }
    return ids;
  }

  // Runs an update or delete of this channel's articles that `condition` selects, `params`
  // bound to the statement's own placeholders; the rows changed.
  int64_t Articles(const std::string& statement, const BoundSql& condition,
                   std::vector<Variant> params = {}) {
    params.push_back(SqlNumber(channel_.id));
    params.insert(params.end(), condition.params.begin(), condition.params.end());
    return conn_.Execute(statement + " where d_channelid = ? and " + condition.sql, params);
  }

  void Mark(const BoundSql& condition) {
    MarkClassesAndSubjectsOf(conn_, channel_.id, condition.sql, condition.params);
  }

  // Recycles (to_bin) or restores the articles that `condition` selects among those in the
  // other state, moving the counters by the rows changed, approved ones counted apart.
  void MoveBin(const BoundSql& condition, bool to_bin) {
    BoundSql from =
        Narrowed(condition, to_bin ? " and d_deleted = false" : " and d_deleted = true");
    Mark(from);
    std::string set = to_bin ? "update Vantrel_Article set d_deleted = true, d_checked = false, "
                               "d_generatedflag = false"
                             : "update Vantrel_Article set d_deleted = false, d_generatedflag = "
                               "false";
    int64_t approved = Articles(set, Narrowed(from, " and d_checked = true"));
    int64_t others = Articles(set, Narrowed(from, " and d_checked = false"));
    int64_t sign = to_bin ? -1 : 1;
    ChangeChannelCounters(conn_, channel_.id, sign * (approved + others), sign * approved);
  }

  // Approves the live unapproved articles of `condition`, the approver recorded.
  void Approve(const BoundSql& condition) {
    Variant user = state_.host.Session->Get("User_Code");
    BoundSql waiting = Narrowed(condition, " and d_deleted = false and d_checked = false");
    Mark(waiting);
    // Approving again records the approver but counts nothing.
    Articles("update Vantrel_Article set d_editor = ?",
             Narrowed(condition, " and d_deleted = false and d_checked = true"), {user});
    int64_t approved =
        Articles("update Vantrel_Article set d_checked = true, d_editor = ?", waiting, {user});
    ChangeChannelCounters(conn_, channel_.id, 0, approved);
  }

  void Withdraw(const BoundSql& condition) {
    BoundSql approved_live = Narrowed(condition, " and d_deleted = false and d_checked = true");
    Mark(approved_live);
    int64_t withdrawn = Articles(
        "update Vantrel_Article set d_editor = '', d_checked = false, d_generatedflag = false",
        approved_live);
    Articles("update Vantrel_Article set d_editor = '', d_generatedflag = false", condition);
    ChangeChannelCounters(conn_, channel_.id, 0, -withdrawn);
  }

  void SetFlag(const BoundSql& condition, const char* column, bool on) {
    Mark(condition);
    Articles("update Vantrel_Article set " + std::string(column) + " = ?, d_generatedflag = false",
             condition, {Variant(on)});
  }

  Connection& conn() { return conn_; }

 private:
  RequestState& state_;
  const ArticleChannel& channel_;
  Connection& conn_;
};

enum class Back { kList, kRecycle, kMove };

void Answer(RequestState& state, const ArticleChannel& channel, std::string_view message,
            Back back) {
  std::string base = "?m=admin_article&amp;channelid=" + channel.id_text;
  std::string links;
  if (back == Back::kRecycle) links += LinkItem(base + "&amp;action=recycle", "返回回收站");
  if (back == Back::kMove) links += LinkItem(base + "&amp;action=moveall", "重新移动");
  links += LinkItem(base, "返回列表");
  state.host.Response->Write(MessageBox(message, links));
}

// The class list boxes of the batch-move form.
std::string Article_ClassMultiSelect(DatabaseState& db, int64_t channel_id, const char* name,
                                     bool multiple) {
  std::string html = "<select name='" + std::string(name) +
                     "' size=2 style='height:300px;width:300px'" + (multiple ? " multiple" : "") +
                     "><option value='0'>未指定任何分类</option>";
  html += ArticleClassOptions(db, channel_id, -1);
  return html + "</select>";
}

// The batch move: every article of the source classes (0: without a class) to the target.
void Article_SaveMove(RequestState& state, const ArticleChannel& channel,
                      const ConsoleRequest& request) {
  RequireFormPost(request);
  const RequestReader& posted = request.values;
  std::string from = posted.Text("d_fromid");
  std::string to = posted.Text("d_toid");
  if (from.empty()) AlertBack(state, "提示：请先选择需要移动的文章分类！");
  if (to.empty()) AlertBack(state, "提示：请先选择需要的目标分类！");
  if (from.find('-') != std::string::npos) AlertBack(state, "提示：当前分类不能选择红色的分类！");
  if (to.find('-') != std::string::npos) AlertBack(state, "提示：目标分类不能选择红色的分类！");
  const std::optional<IdList> from_ids = posted.Ids("d_fromid");
  const std::optional<int64_t> to_id = posted.Id("d_toid");
  if (!from_ids || !to_id) AlertBack(state, kArticleParameterError);
  const IdList& sources = *from_ids;
  const int64_t target = *to_id;
  Connection& conn = *state.db.Conn;
  // Every class named must be one of this channel's; the target must take articles.
  int64_t named_classes = 0;
  for (int64_t id : sources.ids) named_classes += id != 0 ? 1 : 0;
  BoundSql classes = IdsIn("d_id", sources.ids);
  std::vector<Variant> class_params = {SqlNumber(channel.id)};
  class_params.insert(class_params.end(), classes.params.begin(), classes.params.end());
  if (conn.ExecuteScalar(
              {.tables = {"Vantrel_ArticleClass"},
               .sql = "select count(*) from Vantrel_ArticleClass where d_channelid = ? and " +
                      classes.sql,
               .values = class_params})
          .ToInt64Or(-1) != named_classes) {
    AlertBack(state, kArticleParameterError);
  }
  if (target != 0) {
    const std::optional<bool> takes = ChannelClassTakesArticles(conn, target, channel.id);
    if (!takes) AlertBack(state, kArticleParameterError);
    if (!*takes) AlertBack(state, "提示：目标分类不能选择红色的分类！");
  }
  {
    ScopedTransaction transaction(conn);
    conn.Execute(
        "update Vantrel_ArticleClass set d_generatedflag = false where d_channelid = ? and " +
            classes.sql,
        class_params);
    MarkClassAndSubject(conn, target, 0);
    std::vector<Variant> move_params = {SqlNumber(target)};
    move_params.insert(move_params.end(), class_params.begin(), class_params.end());
    conn.Execute(
        "update Vantrel_Article set d_generatedflag = false, d_classid = ? where "
        "d_channelid = ? and " +
            IdsIn("d_classid", sources.ids).sql,
        move_params);
    transaction.Commit();
  }
  state.caches.Clear();
  Answer(state, channel, "批量移动文章操作成功！", Back::kMove);
}

struct BulkActionRow {
  const char* name;
  bool ticked;  // works on the ticked articles
  const char* message;
  Back back;
};

constexpr BulkActionRow kActions[] = {
    {"del", true, "删除信息成功，请重新生成列表文件！", Back::kList},
    {"delall", false, "删除信息成功，请重新生成列表文件！", Back::kList},
    {"check", true, "审核操作成功！", Back::kList},
    {"uncheck", true, "取消通过操作成功，请重新生成列表文件！", Back::kList},
    {"checkall", false, "全部通过操作成功！", Back::kList},
    {"settop", true, "固顶操作成功，请重新生成文件！", Back::kList},
    {"unsettop", true, "取消固顶操作成功，请重新生成文件！", Back::kList},
    {"setrecommend", true, "设为推荐文章操作成功，请重新生成文件！", Back::kList},
    {"unsetrecommend", true, "解除推荐操作成功，请重新生成文件！", Back::kList},
    {"delrecycle", true, "操作成功！", Back::kRecycle},
    {"empty", false, "清空回收站成功！", Back::kRecycle},
    {"reback", true, "还原信息成功，请重新生成Html文件！", Back::kRecycle},
    {"rebackall", false, "还原信息成功，请重新生成Html文件！", Back::kRecycle},
};

}  // namespace

bool RunArticleBulkAction(RequestState& state, const ArticleChannel& channel,
                          const ConsoleRequest& request) {
  const std::string& action_name = request.action;
  if (action_name == "savemove") {
    Article_SaveMove(state, channel, request);
    return true;
  }
  const BulkActionRow* chosen = nullptr;
  for (const BulkActionRow& a : kActions) {
    if (action_name == a.name) chosen = &a;
  }
  if (chosen == nullptr) return false;
  RequireFormPost(request);
  BulkAction action(state, channel);
  BoundSql condition = chosen->ticked ? action.TickedIds(request.values) : BoundSql{"1 = 1", {}};
  const std::string name = chosen->name;
  {
    ScopedTransaction transaction(action.conn());
    if (name == "del" || name == "delall") {
      action.MoveBin(condition, true);
      if (name == "delall") {
        // Emptying the channel also starts its click total again.
        action.conn().Execute("update Vantrel_Channel set d_clickcount = 0 where d_id = ?",
                              {SqlNumber(channel.id)});
      }
    } else if (name == "reback" || name == "rebackall") {
      action.MoveBin(condition, false);
    } else if (name == "check" || name == "checkall") {
      action.Approve(condition);
    } else if (name == "uncheck") {
      action.Withdraw(condition);
    } else if (name == "settop" || name == "unsettop") {
      action.SetFlag(condition, "d_topflag", name == "settop");
    } else if (name == "setrecommend" || name == "unsetrecommend") {
      action.SetFlag(condition, "d_recommendflag", name == "setrecommend");
    } else if (name == "delrecycle" || name == "empty") {
      // Only recycled articles are purged: they left the counters when they were recycled.
      action.Articles("delete from Vantrel_Article", Narrowed(condition, " and d_deleted = true"));
    }
    transaction.Commit();
  }
  state.caches.Clear();
  Answer(state, channel, chosen->message, chosen->back);
  return true;
}

void Article_MoveAll(RequestState& state, const ArticleChannel& channel) {
  state.host.Response->Write(
      "<form name='form1' method='post' action='?m=admin_article&amp;channelid=" + channel.id_text +
      "&amp;action=savemove' style='margin:0'><table border=0 cellspacing=1 align=center "
      "class=form><tr><th colspan=3>批量移动文章</th></tr>"
      "<tr><td align=center><b>当前分类</b></td><td></td><td align=center><b>目标分类</b></td>"
      "</tr><tr><td align=center width='40%'>" +
      Article_ClassMultiSelect(state.db, channel.id, "d_fromid", true) +
      "</td><td width='10%' align=center><input type=submit value='转移到&gt;&gt;&gt;'></td>"
      "<td align=center width='40%'>" +
      Article_ClassMultiSelect(state.db, channel.id, "d_toid", false) +
      "</td></tr><tr><td colspan=3>备注：<li>红色的分类为设置了不能添加文章的分类，"
      "当前分类不能选择这种分类，目标分类不能指定这种分类</td></tr></table></form>");
}

}  // namespace folirex
