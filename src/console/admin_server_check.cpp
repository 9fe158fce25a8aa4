#include "console/admin_server_check.h"

#include <array>
#include <chrono>
#include <cmath>
#include <string>

#include "console/admin_frame.h"
#include "core/article_keywords.h"
#include "core/list_structures.h"
#include "core/search_structures.h"
#include "core/site_caches.h"
#include "core/text_helpers.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

struct Component {
  const char* prog_id;
  const char* caption;
};

struct Group {
  const char* title;
  int first;
  int last;
};

constexpr std::array<Component, 26> kComponents = {{
    {"MSWC.AdRotator", ""},
    {"MSWC.BrowserType", ""},
    {"MSWC.NextLink", ""},
    {"MSWC.Tools", ""},
    {"MSWC.Status", ""},
    {"MSWC.Counters", ""},
    {"IISSample.ContentRotator", ""},
    {"IISSample.PageCounter", ""},
    {"MSWC.PermissionChecker", ""},
    {"Scripting.FileSystemObject", "(FSO 文本文件读写)"},
    {"adodb.connection", "(ADO 数据对象)"},
    {"SoftArtisans.FileUp", "(SA-FileUp 文件上传)"},
    {"SoftArtisans.FileManager", "(SoftArtisans 文件管理)"},
    {"TesmarUpload.UploadFile", "(Tesmar的文件上传组件)"},
    {"Persits.Upload.1", "(ASPUpload 文件上传)"},
    {"w3.upload", "(Dimac 文件上传)"},
    {"JMail.SmtpMail", "(Dimac JMail 邮件收发)"},
    {"CDONTS.NewMail", "(虚拟 SMTP 发信)"},
    {"Persits.MailSender", "(ASPemail 发信)"},
    {"SMTPsvg.Mailer", "(ASPmail 发信)"},
    {"DkQmail.Qmail", "(dkQmail 发信)"},
    {"Geocel.Mailer", "(Geocel 发信)"},
    {"IISmail.Iismail.1", "(IISmail 发信)"},
    {"SmtpMail.SmtpMail.1", "(SmtpMail 发信)"},
    {"SoftArtisans.ImageGen", "(SA 的图像读写组件)"},
    {"W3Image.Image", "(Dimac 的图像读写组件)"},
}};

constexpr std::array<Group, 4> kGroups = {{
    {"IIS自带的ASP组件", 0, 10},
    {"常见的文件上传和管理组件", 11, 15},
    {"常见的收发邮件组件", 16, 23},
    {"图像处理组件", 24, 25},
}};

constexpr const char* kListTable = "<table class=list align=center cellspacing=1>";

std::string ParameterRow(const char* label, const std::string& value) {
  return std::string("<tr><td>&nbsp;") + label + "</td><td>&nbsp;" + value + "</td></tr>";
}

// The physical path of the running page; empty when the host cannot map it.
std::string PagePath(RequestState& state, const RequestReader& request) {
  try {
    return state.host.Server->MapPath(request.ServerVariable("SCRIPT_NAME")).string();
  } catch (const HostError&) {
    return "";
  }
}

// How far the build of the search's indexes is, as the database says (any host may be building
// them).
std::string SearchIndexState(RequestState& state) {
  if (!state.db.Conn) return "无法读取数据库";
  try {
    EnsureListStructures(*state.db.Conn, state.db.Lists);
    const SearchIndexProgress progress = ReadSearchIndexProgress(*state.db.Conn);
    if (progress.ready) return "已建立";
    std::string text =
        "正在后台建立，已完成 " + std::to_string(progress.percent) + "%（其间搜索照常，只是较慢）";
    // PostgreSQL makes each index in one statement: how far the one under way is.
    const IndexBuildProgress index = ReadIndexBuildProgress(*state.db.Conn);
    if (index.running) {
      text += "；正在建立 " + HTMLEncode(Variant(index.table)) + " 的索引（" +
              HTMLEncode(Variant(index.phase)) + "）";
      if (index.blocks_total > 0) {
        text += "，已处理 " + std::to_string(index.blocks_done) + " / " +
                std::to_string(index.blocks_total) + " 块";
      }
    }
    return text;
  } catch (const DbError&) {
    return "无法读取数据库";
  }
}

// How far the build of the lists' indexes and the order of clicks is, as the database says.
std::string ListStructuresRow(RequestState& state) {
  if (!state.db.Conn) return "无法读取数据库";
  try {
    EnsureListStructures(*state.db.Conn, state.db.Lists);
    const ListStructuresProgress progress = ReadListStructuresProgress(*state.db.Conn);
    if (progress.ready) return "已建立";
    return "正在后台建立，已完成 " + std::to_string(progress.percent) +
           "%（其间列表照常，只是较慢）";
  } catch (const DbError&) {
    return "无法读取数据库";
  }
}

// The index of the articles' keywords, which a site that lacks it gets after the server listens.
std::string KeywordIndexRow(RequestState& state) {
  if (!state.db.Conn) return "无法读取数据库";
  KeywordIndexMarks* marks =
      state.site_caches != nullptr ? &state.site_caches->keyword_index : nullptr;
  switch (ArticleKeywordIndexState(*state.db.Conn, marks)) {
    case KeywordIndexState::kBuilding:
      return "正在后台建立（其间文章页照常，相关文章较慢）";
    case KeywordIndexState::kReady:
      return "已建立";
    case KeywordIndexState::kNotYet:
      break;
  }
  return "尚未建立（第一个用到它的文章页建立）";
}

std::string ServerParameters(RequestState& state, const RequestReader& request) {
  // The server name comes from the Host header the client sent: encoded like
  // every other value shown.
  auto variable = [&](const char* name) {
    return HTMLEncode(Variant(request.ServerVariable(name)));
  };
  std::string html =
      std::string("<br>") + kListTable + "<tr><th colspan=2>服务器的有关参数</th></tr>";
  html += ParameterRow("服务器名", variable("SERVER_NAME"));
  html += ParameterRow("服务器IP", variable("LOCAL_ADDR"));
  html += ParameterRow("服务器端口", variable("SERVER_PORT"));
  html += ParameterRow("服务器时间", Variant(DateTime::Now()).ToString());
  html += ParameterRow("IIS版本", variable("SERVER_SOFTWARE"));
  html += ParameterRow("脚本超时时间", std::to_string(state.host.Server->ScriptTimeout()) + " 秒");
  html += ParameterRow("本文件路径", HTMLEncode(Variant(PagePath(state, request))));
  html += ParameterRow("服务器CPU数量", variable("NUMBER_OF_PROCESSORS") + " 个");
  html += ParameterRow("服务器操作系统", variable("OS"));
  html += ParameterRow("列表索引", ListStructuresRow(state));
  html += ParameterRow("全文检索索引", SearchIndexState(state));
  html += ParameterRow("相关文章索引", KeywordIndexRow(state));
  html += "</table><br>";
  return html;
}

std::string ComponentRow(RequestState& state, const Component& component,
                         const ComponentProbe& probe) {
  std::string html = std::string("<tr><td align=left>&nbsp;") + component.prog_id +
                     "<font color=#888888>&nbsp;" + component.caption + "</font></td>";
  if (!probe.present) {
    html += "<td align=left>&nbsp;<font color=red><b>×</b></font></td></tr>";
  } else {
    html += "<td align=left>&nbsp;<font class=fonts><b>√</b></font> <a title='" +
            HtmlEscapeAttr(probe.version) + "'>" + HTMLEncode(Variant(Left(probe.version, 11))) +
            "</a></td></tr>";
  }
  return html;
}

// Milliseconds for 500,000 assignments of 1+1, to a tenth, on the monotonic
// clock (a change of the wall clock cannot skew it).
double SpeedTest() {
  volatile int sum = 0;
  auto t1 = std::chrono::steady_clock::now();
  for (int i = 1; i <= 500000; ++i) sum = 1 + 1;
  auto t2 = std::chrono::steady_clock::now();
  (void)sum;
  double ms = std::chrono::duration<double, std::milli>(t2 - t1).count();
  return std::floor(ms * 10 + 0.5) / 10;
}

std::string SpeedTable(double ms) {
  return std::string(kListTable) +
         "<tr><th "
         "colspan=2>ASP脚本解释和运算速度测试，我们让服务器执行50万次(1+1)"
         "的计算，记录其所使用的时间。</th></tr>"
         "<tr><td width=320>服&nbsp;&nbsp;&nbsp;务&nbsp;&nbsp;&nbsp;器</td>"
         "<td width=130>完成时间</td></tr><tr><td height=18>中国频道虚拟主机（2005-02-02 "
         "14:30）</td><td>187.5 "
         "毫秒</td></tr><tr><td height=18><font color=red>您正在使用的这台服务器</font></td>"
         "<td><font color=red>" +
         Variant(ms).ToString() + " 毫秒</font></td></tr></table><br>";
}

std::string TestForm() {
  // The form holds the whole table, so that its fields belong to it however the
  // browser places a form met between table rows.
  return std::string(
             "<form name=form1 method=post "
             "action='?m=admin_servercheck' style='margin:0'>") +
         kListTable +
         "<tr><th>其他组件支持情况检测，在下面的输入框中输入你要检测的组件的ProgId或ClassId。</"
         "th></tr>"
         "<tr><td align=center height=30><input class=input type=text value='' name=classname "
         "size=40> <input type=submit value=' 确 定 ' class=backc name=check> "
         "<input type=reset value=' 重 填 '></td></tr></table></FORM>";
}

void ServerCheck_ShowInfo(RequestState& state, const ConsoleRequest& request) {
  std::array<ComponentProbe, kComponents.size()> probes;
  for (size_t i = 0; i < kComponents.size(); ++i) {
    probes[i] = ServerCheck_IsObjInstalled(state.host, kComponents[i].prog_id);
  }

  std::string html = ServerParameters(state, request.values);
  for (size_t g = 0; g < kGroups.size(); ++g) {
    if (g > 0) html += "</table><br>";
    html += std::string(kListTable) + "<tr><th colspan=2>" + kGroups[g].title +
            "</th></tr><tr><td width=320>组 件 名 称</td><td "
            "width=130>支持及版本</td></tr>";
    for (int i = kGroups[g].first; i <= kGroups[g].last; ++i) {
      html += ComponentRow(state, kComponents[i], probes[i]);
    }
  }
  double ms = SpeedTest();
  html += "</table><br>";
  html += SpeedTable(ms);
  html += TestForm();
  state.host.Response->Write(html);

  std::string classname = request.form.Text("classname");
  if (classname.empty()) return;
  ComponentProbe probe = ServerCheck_IsObjInstalled(state.host, classname);
  // The name is the administrator's own text: shown encoded, looked up only.
  std::string shown = HTMLEncode(Variant(classname));
  html = std::string(kListTable) + "<tr><th>您指定的组件的检查结果</th></tr>";
  if (!probe.present) {
    html += "<tr><td><font color=red>很遗憾，该服务器不支持 " + shown + " 组件！</font></td></tr>";
  } else {
    html += "<tr><td><font class=red>恭喜！该服务器支持 " + shown + " 组件。该组件版本是：" +
            HTMLEncode(Variant(probe.version)) + "</font></td></tr>";
  }
  html += "</table>";
  state.host.Response->Write(html);
}

}  // namespace

ComponentProbe ServerCheck_IsObjInstalled(const HostObjects& host, std::string_view name) {
  ComponentProbe probe;
  if (std::optional<ComponentInfo> info = host.Server->CreateObject(name)) {
    probe.present = true;
    probe.version = info->version;
  }
  return probe;
}

void ServerCheck_Main(RequestState& state, const ConsolePage& page) {
  ServerCheck_ShowInfo(state, page.request);
}

}  // namespace folirex
