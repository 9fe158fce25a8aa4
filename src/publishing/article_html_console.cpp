#include "publishing/article_html_console.h"

#include <random>
#include <vector>

#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "console/console_text.h"
#include "core/messages.h"
#include "core/public_request.h"
#include "core/site_config.h"
#include "core/site_files.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"
#include "platform/text/vb_text.h"
#include "publishing/generation_plan.h"
#include "publishing/generation_step.h"
#include "publishing/static_writers.h"
#include "site/channel_loader.h"
#include "site/class_folders.h"
#include "site/public_pages.h"
#include "site/template_engine.h"
#include "site/template_lookup.h"

namespace folirex {
namespace {

constexpr const char* kTokenKey = "publishing_token";

void Write(RequestState& state, const std::string& html) { state.host.Response->Write(html); }

std::string MsgBox(const std::string& cell) {
  return "<table border=0 cellspacing=1 align=center class=Msg><tr><td>" + cell +
         "</td></tr></table>";
}

std::string FailedNote(int64_t failed) {
  if (failed == 0) return "";
  return "<li><span class=red>但有" + std::to_string(failed) + "个文件未能写入！</span>";
}

// ---- Channel generation console ---------------------------------------------------------------

std::string ChannelQuery(const RequestState& state) {
  return "?m=admin_articlehtml&channelid=" + std::to_string(state.channel.ChannelID.ToInt64Or(0));
}

void ArticleHtml_ShowNavi(RequestState& state) {
  const std::string q = ChannelQuery(state);
  const std::string select = q + "&action=select";
  const std::string change = q + "&action=showchange";
  Write(state, LinkBarHtml({.table = "border=0 cellspacing=0 align=center class=navi", .end = ""},
                           {{q, "智能生成"}, {select, "选择生成"}, {change, "模式转换"}}));
}

bool IsDynamic(const RequestState& state) { return state.channel.GenerateHtml.ToString() == "0"; }

void ArticleHtml_ShowSmartForm(RequestState& state) {
  Write(state,
        "<table border=0 cellspacing=1 align=center class=form><form name='form1' method='post' "
        "action='" +
            ChannelQuery(state) +
            "&action=htmlupdate&flag=0'><tr><th>智能生成前台静态文件</th></tr><tr><td>"
            "<p>&nbsp;&nbsp;&nbsp;&nbsp;"
            "本功能可以智能的根据数据库中的状态，自动生成前台所需的所有静态文件</p>"
            "<p>&nbsp;&nbsp;&nbsp;&nbsp;"
            "如果文章数量较多，执行本操作需要耗费相当长的时间，请在访问量少时执行本操作，以获取最佳"
            "的性能</p>"
            "</td></tr>" +
            (IsDynamic(state)
                 ? "<tr><td align=center><input type=submit value='确定生成' disabled></td></tr>"
                 : "<tr><td align=center><input type=submit value='确定生成'></td></tr>") +
            "</form></table>");
}

void ArticleHtml_ShowSelectForm(RequestState& state) {
  struct Box {
    const char* value;
    const char* label;
    bool checked;
    const char* note;
  };
  static constexpr Box kBoxes[] = {
      {"delete", "全部清除", false, "可以去除垃圾文件,但在生成期间部分页面会不能访问"},
      {"first", "首页", true, ""},
      {"js_all", "全部JS文件", true, ""},
      {"classlist", "未生成的分类-分页文件", true, ""},
      {"subjectlist", "未生成的专题-分页文件", true, ""},
      {"content_new", "新发布内容-显示页文件", true, "已审核未发布的内容页"},
      {"hotlist", "热门文章-分页文件", true, ""},
      {"newlist", "最新文章-分页文件", true, ""},
      {"recommendlist", "推荐文章-分页文件", true, ""},
      {"classlist_all", "所有分类-分页文件", false, ""},
      {"subjectlist_all", "所有专题-分页文件", false, ""},
      {"content_all", "所有内容-显示页文件", false, "文件丢失时,模块文件变更时,才需执行此操作"},
  };
  std::string html =
      "<table border=0 cellspacing=1 align=center class=form><form action='?m=admin_articlehtml&"
      "action=htmlupdate&channelid=" +
      std::to_string(state.channel.ChannelID.ToInt64Or(0)) +
      "&flag=1' method=post name=myform><tr><th colspan=2>前台静态文件生成</th></tr><tr><td "
      "width='15%'>生成选项：</td><td width='85%'>";
  for (const Box& box : kBoxes) {
    html += std::string("<input type=checkbox name=d_option value='") + box.value + "'" +
            (box.checked ? " checked" : "") + "> " + box.label + " <span class=gray>" + box.note +
            "</span><br>";
  }
  html += std::string(
              "</td></tr><tr><td align=center colspan=2><input type=checkbox "
              "name=checkallbtn onclick='doCheckAll(this)'> 全部选择 <input type=submit "
              "name=bSubmit value='  提交  '") +
          (IsDynamic(state) ? " disabled" : "") + "></td></tr></form></table>";
  Write(state, html);
}

// The form that asks to change the output mode: it posts to `action`; `explanation` is the
// site's own HTML, saying what the change does.
std::string ModeChangeForm(const std::string& action, std::string_view explanation) {
  return "<table border=0 cellspacing=1 align=center class=form><form name='form1' method='post' "
         "action='" +
         action + "'><tr><th>智能模式转换</th></tr><tr><td><p>" + std::string(explanation) +
         "</p></td></tr><tr><td align=center><input type=submit value='确定生成'></td></tr></form>"
         "</table>";
}

// The answer of a mode change: its success and `link_html` (the site's own HTML), the page to go
// on to.
std::string ModeChanged(const std::string& link_html) {
  return MsgBox("<span class=red><b>模式转换成功！</b></span><li>" + link_html);
}

void ArticleHtml_ShowChange(RequestState& state) {
  Write(state,
        ModeChangeForm(ChannelQuery(state) + "&action=change",
                       "如果在《系统管理》--><a href='?m=admin_channel'>《频道管理》</a>中生成HTML"
                       "方式的进行了更改，需要在本功能进行处理。本功能的作用如下：<li>如果原来是"
                       "生成静态的文件现在改成不生成的方式，本操作将删除所有的静态文件，创建动态"
                       "的首页。<li>原来是动态的方式，现在采用静态的方式，本操作将删除动态首页。"));
}

void ArticleHtml_SaveChange(RequestState& state, const ConsoleRequest& request) {
  RequireFormPost(request);
  const std::string& dir = state.channel.ChannelDir;
  const std::string channel = std::to_string(state.channel.ChannelID.ToInt64Or(-1));

  // The rows first: every page of the channel is to be generated again.
  ClearGeneratedFlags(state.db, state.channel.ChannelID.ToInt64Or(-1));
  state.caches.Clear();

  // Then the files: the old static output goes, the scripts and stylesheets are written again.
  DeleteFilesIn(state.host, dir.empty() ? "./" : dir, "^default\\.");
  DeleteClassFolders(state);
  for (const char* name : {"subject", "list", "listhot"}) DeleteFolder(state.host, dir + name);
  WriteResult result = ArticleHtml_CreateJsAll(state);
  {
    std::vector<std::pair<std::string, std::string>> skins;
    Recordset rs;
    rs.Open(db::KeptRead{.tables = {"Vantrel_Skin"},
                         .sql = "select d_id, d_content from Vantrel_Skin where d_channelid = ?",
                         .values = {Variant(state.channel.ChannelID.ToInt64Or(-1))}},
            *state.db.Conn);
    for (; !rs.Eof(); rs.MoveNext()) {
      skins.emplace_back(rs["d_id"].ToString(), rs["d_content"].ToString());
    }
    rs.Close();
    if (!skins.empty()) CreateFolderPath(state.host, std::string_view(dir + "Skin"));
    for (const auto& [id, css] : skins) {
      (WriteTextFile(state.host, dir + "Skin/" + id + ".css", css) ? result.written
                                                                   : result.failed)++;
    }
  }

  const std::string mode = state.channel.GenerateHtml.ToString();
  const std::string install = state.host.Application->Get("server_path").ToString();
  if (mode == "0") {
    // The channel's redirect page lies in its own folder and names the channel; a channel
    // without folder shares the install folder's page with the site home.
    const std::string target = dir.empty() ? "asp.asp" : install + "asp.asp?channelid=" + channel;
    (WriteTextFile(state.host, dir + "default.asp", RedirectPageText(target)) ? result.written
                                                                              : result.failed)++;
    Write(state, ModeChanged("<a href='" + install + "asp.asp?channelid=" + channel +
                             "' target='_blank'>查看首页</a>" + FailedNote(result.failed)));
  } else if (mode == "1" || mode == "2") {
    Write(state, ModeChanged("<a href='" + ChannelQuery(state) +
                             "&action=select'>进入生成页面</a>" + FailedNote(result.failed)));
  }
}

void ArticleHtml_HtmlUpdate(RequestState& state, const ConsoleRequest& request) {
  const std::string flag = request.query.Text("flag");
  if (!IsDigits(Variant(flag))) AlertBack(state, kParameterError);
  const std::string options = request.values.Text("d_option");
  if (flag == "1" && options.empty()) AlertBack(state, "请选择要生成的数据类型！");
  std::vector<PlannedStep> steps = PlanGeneration(state, flag, options);
  const std::string token = PublishingToken(state);
  for (PlannedStep& step : steps) step.url += "&token=" + token;
  Write(state, BatchPage(steps, "admin_articlehtml"));
}

// ---- Site home -------------------------------------------------------------------------------

bool HomeIsDynamic(const RequestState& state) { return state.site.DefaultFileExt == ".asp"; }

// The site home page as the public entry draws it: with the channel it takes when no channel is
// named (the one with the lowest id).
bool DefaultHtml_CreateDefault(RequestState& state) {
  ChannelSettings channel;
  {
    Recordset rs;
    rs.Open("select top 1 d_id from Vantrel_Channel order by d_id", *state.db.Conn, 0, 1);
    if (!rs.Eof()) {
      if (auto loaded = LoadChannelSettings(state.db, state.caches, rs["d_id"].ToInt64())) {
        channel = *loaded;
      }
    }
  }
  std::string text = LoadTemplatePageById(state.db, state.caches, state.site.DefaultTemplatePageID);
  const PageSkin skin =
      GetPageSkin(state, channel, "", state.site.DefaultTemplatePageID, "default");
  const std::string html =
      ParseTemplate(state, channel, skin, text,
                    {.page_type = "default", .generate_html = channel.GenerateHtml.ToString()});
  return WriteTextFile(state.host, "default" + state.site.DefaultFileExt, html);
}

void DefaultHtml_ShowNavi(RequestState& state) {
  Write(state, LinkBarHtml({.table = "border=0 cellspacing=0 align=center class=navi", .end = ""},
                           {{"?m=admin_defaulthtml", "生成"},
                            {"?m=admin_defaulthtml&action=showchange", "模式转换"}}));
}

void DefaultHtml_ShowForm(RequestState& state) {
  Write(state,
        std::string("<table border=0 cellspacing=1 align=center class=form><form name='form1' "
                    "method='post' action='?m=admin_defaulthtml&action=htmlupdate'><tr>"
                    "<th>生成前台静态首页</th></tr><tr><td><p>&nbsp;&nbsp;&nbsp;&nbsp;"
                    "如果在系统设置中设置了前台文件的类型是静态的文件类型，本操作将生成前台静态首页"
                    "</p></td></tr>") +
            (HomeIsDynamic(state)
                 ? "<tr><td align=center><input type=submit value='确定生成' disabled></td></tr>"
                 : "<tr><td align=center><input type=submit value='确定生成'></td></tr>") +
            "</form></table>");
}

void DefaultHtml_ShowChange(RequestState& state) {
  Write(state,
        ModeChangeForm("?m=admin_defaulthtml&action=change",
                       "如果在《系统管理》--><a href='Admin_Set.asp'>《系统设置》</a>网站首页"
                       "的文件类型的进行了更改，需要在本功能进行处理。本功能的作用如下：<li>"
                       "如果原来是生成静态的文件现在改成改成asp类型，本操作将删除首页的静态"
                       "文件，创建动态的首页。<li>原来是asp类型，现在采用静态文件类型，本操"
                       "作将删除动态首页。"));
}

void DefaultHtml_SaveChange(RequestState& state, const ConsoleRequest& request) {
  RequireFormPost(request);
  const std::string install = state.host.Application->Get("server_path").ToString();
  DeleteFilesIn(state.host, "./", "^default\\.");
  if (HomeIsDynamic(state)) {
    const bool ok = WriteTextFile(state.host, "default.asp", RedirectPageText("asp.asp"));
    Write(state, ModeChanged("<a href='" + install + "default.asp' target='_blank'>查看首页</a>" +
                             FailedNote(ok ? 0 : 1)));
  } else {
    Write(state, ModeChanged("<a href='?m=admin_defaulthtml&action=htmlupdate'>生成页面</a>"));
  }
}

void DefaultHtml_HtmlUpdate(RequestState& state) {
  const std::vector<PlannedStep> steps = {
      {"option=default&token=" + PublishingToken(state), "正在生成网站的首页"}};
  Write(state, BatchPage(steps, "admin_defaulthtml"));
}

void DefaultHtml_DoingUpdateHtml(RequestState& state, const ConsoleRequest& request) {
  if (!HasPublishingToken(state, request)) {
    Write(state, kStepRefused);
    return;
  }
  // A dynamic home is its redirect page: a static page never replaces it.
  if (HomeIsDynamic(state)) {
    Write(state,
          "<script language=javascript>parent.doReturn('<font color=red>网站首页的文件类型是asp，"
          "不生成静态首页！</font>');</script>");
    return;
  }
  Write(state, DefaultHtml_CreateDefault(state)
                   ? std::string(kStepDone)
                   : "<script language=javascript>parent.doReturn('<font color=red>"
                     "1个文件未能写入！</font>');</script>");
}

}  // namespace

std::string PublishingToken(RequestState& state) {
  std::string token = state.host.Session->Get(kTokenKey).ToString();
  if (token.size() == 32) return token;
  std::random_device random;
  static constexpr char kHex[] = "0123456789abcdef";
  token.clear();
  for (int i = 0; i < 32; ++i) token += kHex[random() % 16];
  state.host.Session->Set(kTokenKey, Variant(token));
  return token;
}

bool HasPublishingToken(RequestState& state, const ConsoleRequest& request) {
  const std::string token = state.host.Session->Get(kTokenKey).ToString();
  return token.size() == 32 && request.query.Text("token") == token;
}

void ArticleHtml_Main(RequestState& state, const ConsolePage& page) {
  const ConsoleRequest& request = page.request;
  if (request.action == "doingupdatehtml") {
    if (!HasPublishingToken(state, request)) {
      Write(state, kStepRefused);
      return;
    }
    ArticleHtml_DoingUpdateHtml(state, request);
    return;
  }
  AdminHeader(state);
  AdminNavi(state, "当前位置：" + HTMLEncode(state.channel.ProjectName) + "管理&gt;&gt;生成管理");
  ArticleHtml_ShowNavi(state);
  RunAdminAction(
      state, request.action,
      {{"select", ArticleHtml_ShowSelectForm},
       {"htmlupdate", [&request](RequestState& s) { ArticleHtml_HtmlUpdate(s, request); }},
       {"showchange", ArticleHtml_ShowChange},
       {"change", [&request](RequestState& s) { ArticleHtml_SaveChange(s, request); }}},
      ArticleHtml_ShowSmartForm);
  AdminFooter(state);
}

void DefaultHtml_Main(RequestState& state, const ConsolePage& page) {
  const ConsoleRequest& request = page.request;
  if (request.action == "doingupdatehtml") {
    DefaultHtml_DoingUpdateHtml(state, request);
    return;
  }
  AdminHeader(state);
  AdminNavi(state, "当前位置：系统管理&gt;&gt;网站首页生成管理");
  DefaultHtml_ShowNavi(state);
  RunAdminAction(state, request.action,
                 {{"htmlupdate", DefaultHtml_HtmlUpdate},
                  {"showchange", DefaultHtml_ShowChange},
                  {"change", [&request](RequestState& s) { DefaultHtml_SaveChange(s, request); }}},
                 DefaultHtml_ShowForm);
  AdminFooter(state);
}

}  // namespace folirex
