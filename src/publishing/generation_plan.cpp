#include "publishing/generation_plan.h"

#include <cstdint>
#include <optional>

#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/db/sql_params.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "publishing/generation_step.h"
#include "publishing/static_writers.h"
#include "site/interaction_text.h"
#include "site/list_support.h"

namespace folirex {
namespace {

constexpr const char* kCrLf = "\r\n";

class Planner {
 public:
  explicit Planner(RequestState& state)
      : state_(state),
        channel_number_(state.channel.ChannelID.ToInt64Or(-1)),
        channel_(std::to_string(channel_number_)),
        batch_(BatchSize(state.channel)) {}

  std::vector<PlannedStep> Take() { return std::move(steps_); }

  void Plan(const std::string& kind, bool smart) {
    if (kind == "delete") {
      Add("option=delete&channelid=" + channel_, "正在清除所有生成的静态文件及目录");
    } else if (kind == "first") {
      Add("option=first&channelid=" + channel_, "正在生成频道的首页");
    } else if (kind == "js_all") {
      Add("option=js_all&channelid=" + channel_, "正在生成所有JS文件");
    } else if (kind == "content_new") {
      const int64_t n = Count(
          std::string("select count(*) from Vantrel_Article where d_generatedflag=false and "
                      "d_checked=true and d_deleted=false and (d_linkurl is null or d_linkurl = "
                      "'') ") +
          (smart ? "" : " ") + "and d_channelid = ?");
      Cut(n, "option=content_new&doingcount=", "&channelid=" + channel_,
          "正在生成新发布内容-显示页文件,共");
    } else if (kind == "content_all") {
      const int64_t n = Count(
          "select count(*) from Vantrel_Article where d_checked=true and d_deleted=false and "
          "(d_linkurl is null or d_linkurl = '') and d_channelid = ?");
      Cut(n, "option=content_all&doingcount=", "&channelid=" + channel_,
          "正在生成所有内容-显示页文件,共");
    } else if (kind == "classlist" || kind == "classlist_all") {
      PlanOwnLists(ListKind::kClass, kind == "classlist");
    } else if (kind == "subjectlist" || kind == "subjectlist_all") {
      PlanOwnLists(ListKind::kSubject, kind == "subjectlist");
    } else if (kind == "hotlist") {
      PlanTopList(ListKind::kHot, "正在生成热门文章分页文件,共");
    } else if (kind == "recommendlist") {
      PlanTopList(ListKind::kRecommend, "正在生成推荐文章分页文件,共");
    } else if (kind == "newlist") {
      PlanTopList(ListKind::kNew, "正在生成最新文章分页文件,共");
    }
  }

 private:
  void Add(std::string url, std::string message) {
    steps_.push_back({std::move(url), std::move(message)});
  }

  // The count a select of the channel's rows gives, its one placeholder the channel.
  int64_t Count(const std::string& sql) {
    return state_.db.Conn->ExecuteScalar(sql, {SqlNumber(channel_number_)}).ToInt64Or(0);
  }

  // Steps of `batch_` over n items: n \ batch + 1 steps (a list planned while it grows or
  // shrinks is settled by each step from the live data).
  template <typename UrlOf, typename MessageOf>
  void CutWith(int64_t n, UrlOf url_of, MessageOf message_of) {
    const int64_t steps = n / batch_ + 1;
    for (int64_t j = 1; j <= steps; ++j) {
      const int64_t s = (j - 1) * batch_ + 1;
      const int64_t e = std::min(j * batch_, n);
      Add(url_of(j), message_of(s, e));
    }
  }

  void Cut(int64_t n, const std::string& head, const std::string& tail, const std::string& text) {
    CutWith(
        n, [&](int64_t j) { return head + std::to_string(j) + tail; },
        [&](int64_t s, int64_t e) { return Range(text, n, s, e); });
  }

  static std::string Range(const std::string& text, int64_t n, int64_t s, int64_t e) {
    return text + std::to_string(n) + "页,当前:" + std::to_string(s) + "-" + std::to_string(e) +
           "页";
  }

  void PlanOwnLists(ListKind kind, bool only_pending) {
    const bool is_class = kind == ListKind::kClass;
    std::string sql = is_class ? "select d_id,d_name,d_path,d_dir, d_pagenum, d_templatepageid "
                                 "from Vantrel_ArticleClass where "
                               : "select d_id, d_name,d_templatepageid,d_pagenum, d_dir from "
                                 "Vantrel_ArticleSubject where ";
    if (only_pending) sql += "d_generatedflag = false and ";
    sql += "d_channelid = ? order by d_id";
    struct Row {
      Variant id, name, path, dir, page_num, template_page_id;
    };
    std::vector<Row> rows;
    {
      Recordset rs;
      rs.Open(db::KeptRead{.tables = {is_class ? "Vantrel_ArticleClass" : "Vantrel_ArticleSubject"},
                           .sql = sql,
                           .values = {SqlNumber(channel_number_)}},
              *state_.db.Conn);
      for (; !rs.Eof(); rs.MoveNext()) {
        rows.push_back({rs["d_id"], rs["d_name"], is_class ? rs["d_path"] : rs["d_name"],
                        rs["d_dir"], rs["d_pagenum"], rs["d_templatepageid"]});
      }
    }
    for (const Row& row : rows) {
      const ListTarget target =
          MakeListTarget(kind, row.id.ToInt64(), row.dir, row.page_num, row.template_page_id);
      const int64_t pages = CountListPages(state_, target).value_or(1);
      const std::string id = row.id.ToString();
      const std::string tail = "&flag1=" + id +
                               "&flag2=" + UrlEncodeGbk(row.template_page_id.ToString()) +
                               "&flag3=" + std::to_string(target.page_size) +
                               "&flag4=" + UrlEncodeGbk(row.dir.ToString()) +
                               "&flag5=" + UrlEncodeGbk(row.path.ToString());
      const std::string head = std::string("option=") + (is_class ? "classlist" : "subjectlist") +
                               "&channelid=" + channel_ + "&doingcount=";
      const std::string text = std::string(is_class ? "正在生成分类[" : "正在生成专题[") +
                               HtmlEscapeText(row.name.ToString()) + "]分页文件,共";
      CutWith(
          pages, [&](int64_t j) { return head + std::to_string(j) + tail; },
          [&](int64_t s, int64_t e) { return Range(text, pages, s, e); });
    }
  }

  void PlanTopList(ListKind kind, const std::string& text) {
    const std::optional<ListTarget> target = LoadListTarget(state_, kind, std::nullopt);
    if (!target) return;
    const std::optional<int64_t> pages = CountListPages(state_, *target);
    if (!pages) return;  // no list chip in the template: nothing to generate
    const std::string head =
        std::string("option=") + ListPageType(kind) + "&channelid=" + channel_ + "&doingcount=";
    CutWith(
        *pages, [&](int64_t j) { return head + std::to_string(j) + "&flag3=20&flag4=listhot"; },
        [&](int64_t s, int64_t e) { return Range(text, *pages, s, e); });
  }

  RequestState& state_;
  const int64_t channel_number_;
  const std::string channel_;
  const int64_t batch_;
  std::vector<PlannedStep> steps_;
};

}  // namespace

std::vector<PlannedStep> PlanGeneration(RequestState& state, std::string_view flag,
                                        std::string_view options) {
  Planner planner(state);
  if (flag == "1") {
    std::string list(options);
    list = Replace(list, " ", "");
    for (const std::string& kind : Split(list, ",")) planner.Plan(kind, false);
  } else if (flag == "0") {
    for (const char* kind : {"first", "content_new", "js_all", "classlist", "subjectlist",
                             "hotlist", "recommendlist", "newlist"}) {
      planner.Plan(kind, true);
    }
  }
  return planner.Take();
}

std::string BatchPage(const std::vector<PlannedStep>& steps, std::string_view page) {
  using interaction::ScriptStringEncode;
  std::string html = std::string(kCrLf) + "<script language=javascript>" + kCrLf +
                     "var a_Url = new Array();" + kCrLf + "var a_Msg = new Array();" + kCrLf;
  for (const PlannedStep& step : steps) {
    html += "a_Url[a_Url.length] = '" + ScriptStringEncode(step.url) + "';" + kCrLf;
    html += "a_Msg[a_Msg.length] = '" + ScriptStringEncode(step.message) + "';" + kCrLf;
  }
  html += std::string("</script>") + kCrLf;
  html +=
      "<table border=0 cellspacing=1 align=center class=msg><tr><td><span id=MSG>准备生成数据..."
      "</span></td></tr></table><br><iframe ID='frmUpdateHTML' name='frmUpdateHTML' "
      "MARGINHEIGHT='0' MARGINWIDTH='0' width='0' height='0' scrolling='no'></iframe>";
  const std::string m(page);
  const char* lines[] = {
      "var timer;",
      "function doWrite(){",
      "        doTimeout();",
      "        if(a_Url.length>0){",
      nullptr,  // the frame's address
      "            MSG.innerHTML += \"<br>\" + a_Msg[0] + \"...\";",
      "            return;",
      "        }",
      "        clearInterval(timer);",
      "        MSG.innerHTML += \"<br><b class=red>指定数据生成完成！</b>\"",
      "    }",
      "    function doReturn(msg){",
      "        if(a_Url.length>0){",
      "            a_Url.shift();",
      "            a_Msg.shift();",
      "        }",
      "        MSG.innerHTML += msg;",
      "        window.scroll(0,document.body.scrollHeight+document.body.clientHeight);",
      "        doWrite();",
      "    }",
      "    function doTimeout(){",
      "        clearInterval(timer);",
      "        timer = setInterval(\"doWrite()\",600000);",
      "    }",
      "    timer=setInterval(\"doWrite()\",3000);",
      " </script>",
  };
  html += std::string(kCrLf) + "<script language=javascript>" + kCrLf;
  for (const char* line : lines) {
    if (line == nullptr) {
      html += "            frmUpdateHTML.location.replace(\"?m=" + m +
              "&action=doingupdatehtml&\"+a_Url[0]);" + kCrLf;
    } else {
      html += std::string(line) + kCrLf;
    }
  }
  return html;
}

}  // namespace folirex
