#include "console/admin_error.h"

#include <string>

#include "core/messages.h"
#include "platform/text/html_escape.h"

namespace folirex {
namespace {

constexpr const char* kLoginLink = "<a href=\"?m=admin_login\" target=\"_parent\">登陆页面</a>";
constexpr const char* kBackLink = "<a href=\"javascript:history.go(-1)\">上一页</a>";

std::string ErrorMessage(const std::string& errnum) {
  if (errnum == "0") return "数据库连接错误，请联系网站管理员！";
  if (errnum == "1") {
    return std::string("对不起您没有权限访问该页面，请返回") + kLoginLink + "或者返回" + kBackLink +
           "！";
  }
  if (errnum == "2") return std::string("参数错误，请返回") + kBackLink + "！";
  return std::string("出现未知错误，请返回") + kLoginLink + "或者返回" + kBackLink + "！";
}

// The install folder as the browser addresses it. The entry publishes it from
// the settings row; when the database could not be read in this request (the
// very case of code 0), the host's own install folder stands in.
std::string ServerPath(const RequestState& state) {
  std::string path;
  if (state.host.Application != nullptr)
    path = state.host.Application->Get("server_path").ToString();
  if (path.empty() && state.host.Server != nullptr) path = state.host.Server->install_dir();
  if (path.empty()) path = "/";
  if (path.back() != '/') path += '/';
  return path;
}

}  // namespace

void Error_Main(RequestState& state, const ConsolePage& page) {
  const RequestReader& query = page.request.query;
  bool present = query.Has("errnum");
  std::string errnum = query.Raw("errnum");
  if (present && !Variant(errnum).IsNumeric()) AlertBack(state, "提示：参数错误！");

  // The folder is a setting of the site; encoded, it can only ever be an
  // address.
  std::string root = HtmlEscapeAttr(ServerPath(state));
  std::string images = root + "Admin/error/";
  std::string html;
  html +=
      "<html>\r\n<head>\r\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; "
      "charset=gb2312\">\r\n"
      "<link href=\"" +
      root +
      "admin/login.css\" rel=\"stylesheet\" type=\"text/css\">\r\n"
      "<title>出错提示页面</title>\r\n</head>\r\n<body>\r\n";
  html +=
      "<table width=\"590\" border=\"0\" align=\"center\" "
      "cellpadding=\"0\" cellspacing=\"0\">";
  html += "\r\n<tr><td align=\"right\"><img src=\"" + images +
          "center_error.gif\" width=\"450\" height=\"32\"></td></tr>\r\n";
  html += "<tr><td height=\"380\" align=\"center\">\r\n";
  html +=
      "<table width=\"534\" border=\"0\" align=\"center\" "
      "cellpadding=\"0\" cellspacing=\"0\">"
      "\r\n";
  html += "<tr><td colspan=\"3\"><img src=\"" + images +
          "error_r1_c1.gif\" width=\"534\" height=\"42\" border=\"0\"></td>"
          "<td><img src=\"" +
          images + "spacer.gif\" width=\"1\" height=\"42\" border=\"0\"></td></tr>\r\n";
  html += "<tr><td rowspan=\"2\"><img src=\"" + images +
          "error_r2_c1.gif\" width=\"43\" height=\"239\" border=\"0\"></td>"
          "<td width=\"479\" height=\"228\" align=\"center\" "
          "bgcolor=\"#f7f7f7\"><b>" +
          ErrorMessage(errnum) +
          "</b></td>"
          "<td rowspan=\"2\"><img src=\"" +
          images +
          "error_r2_c3.gif\" width=\"12\" height=\"239\" border=\"0\"></td>"
          "<td><img src=\"" +
          images + "spacer.gif\" width=\"1\" height=\"228\" border=\"0\"></td></tr>\r\n";
  html += "<tr><td><img src=\"" + images +
          "error_r3_c2.gif\" width=\"479\" height=\"11\" border=\"0\"></td>"
          "<td><img src=\"" +
          images + "spacer.gif\" width=\"1\" height=\"11\" border=\"0\"></td></tr>\r\n";
  html += "</table>\r\n<br>\r\n</td></tr>\r\n</table>\r\n</body>\r\n</html>\r\n";
  state.host.Response->Write(html);
}

}  // namespace folirex
