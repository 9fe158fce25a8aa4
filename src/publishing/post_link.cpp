#include "publishing/post_link.h"

#include "platform/text/html_escape.h"

namespace folirex {

std::string PostLinkForm() {
  return "<form name='consolepost' method='post' style='margin:0'></form>\r\n"
         "<script language=javascript>\r\n"
         "function consolePost(link, question) {\r\n"
         "  if (question && !confirm(question)) return false;\r\n"
         "  var f = document.forms['consolepost'];\r\n"
         "  f.action = link.href;\r\n"
         "  f.submit();\r\n"
         "  return false;\r\n"
         "}\r\n"
         "</script>\r\n";
}

std::string PostLink(std::string_view url, std::string_view inner_html, std::string_view question) {
  return "<a href='" + HtmlEscapeAttr(url) + "' onclick=\"return consolePost(this" +
         (question.empty() ? std::string() : ", '" + std::string(question) + "'") + ");\">" +
         std::string(inner_html) + "</a>";
}

}  // namespace folirex
