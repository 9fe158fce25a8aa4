#include "console/admin_main.h"

#include <string>

#include "console/admin_frame.h"

namespace folirex {
namespace {

struct Link {
  const char* text;
  const char* url;
};

struct Shortcut {
  const char* text;
  const char* url;
  const char* desc;
};

constexpr Link kFirstSteps[] = {
    {"修改密码", "?m=admin_changepassword"},
    {"系统设置", "?m=admin_set"},
    {"频道设置", "?m=admin_channel"},
    {"分类管理", "?m=admin_articleclass&channelid=1"},
    {"导航菜单管理", "?m=admin_articlenavi&channelid=1"},
    {"新增文章", "?m=admin_articleadd&channelid=1"},
    {"文章管理", "?m=admin_article&channelid=1"},
};

constexpr Shortcut kShortcuts[] = {
    {"文章管理", "?m=admin_article&channelid=1", "对于文章的修改、删除、批量移动的一系列操作"},
    {"新增文章", "?m=admin_articleadd&channelid=1", "添加新的文章内容"},
    {"评论管理", "?m=admin_articlecomment&channelid=1", "对评论的审核、删除等一系列操作"},
    {"生成管理", "?m=admin_articlehtml&channelid=1",
     "如果采用生成静态方式，生成文章静态的相关功能的操作"},
    {"分类管理", "?m=admin_articleclass&channelid=1",
     "具有无级分类功能。可对分类进行添加、删除、排序、复位、合并等操作"},
    {"上传文件管理", "?m=admin_uploadfile&channelid=1",
     "对于上传文件的清理，可以智能清理无用的垃圾文件"},
    {"后台用户管理", "?m=admin_manager", "对于后台用户的新增、删除、修改等操作"},
    {"后台用户权限管理", "?m=admin_managerprivilege", "管理后台用户的相应的访问权限"},
};

std::string Anchor(const char* url, const char* text) {
  return std::string("<a href=\"") + url + "\">" + text + "</a>";
}

}  // namespace

void Home_Main(RequestState& state) {
  std::string html = "<br>\r\n";
  html += "<table align=\"center\" class=\"list\" cellspacing=\"1\">\r\n";
  html += "<tr><th>初次使用指导流程</th></tr>\r\n<tr><td align=\"center\">";
  bool first = true;
  for (const Link& step : kFirstSteps) {
    if (!first) html += " -> ";
    first = false;
    html += Anchor(step.url, step.text);
  }
  html += "</td></tr>\r\n</table>\r\n<br>\r\n";

  html += "<table align=\"center\" class=\"list\" cellspacing=\"1\">\r\n";
  html += "<tr><th colspan=\"2\">常用功能快捷入口</th></tr>\r\n";
  int index = 0;
  for (const Shortcut& s : kShortcuts) {
    if (index % 2 == 0) html += "<tr>";
    html += index < 2 ? "<td width=\"50%\">" : "<td>";
    html += "<li>" + Anchor(s.url, s.text) + "<br>" + s.desc + "</li></td>";
    if (index % 2 == 1) html += "</tr>\r\n";
    ++index;
  }
  html += "</table>\r\n";
  state.host.Response->Write(html);
}

}  // namespace folirex
