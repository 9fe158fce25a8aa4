#include "console/admin_blocks.h"

#include "core/text_helpers.h"

namespace folirex {

std::string LinkBarHtml(const LinkBar& bar, std::initializer_list<BarLink> links) {
  const bool doubled = bar.quotes == AttributeQuotes::kDouble;
  const char quote = doubled ? '"' : '\'';
  std::string html = "<table " + std::string(bar.table) +
                     "><tr><td align=" + (doubled ? "\"right\"" : "right") + ">";
  bool first = true;
  for (const BarLink& link : links) {
    if (!first) html += bar.gap;
    first = false;
    html += "[<a href=";
    html += quote;
    html += link.href;
    html += quote;
    html += link.attributes;
    html += ">";
    html += link.text;
    html += "</a>]";
  }
  html += "</td></tr></table><br>";
  html += bar.end;
  return html;
}

std::string MessageBox(std::string_view message, std::string_view links) {
  return "<br>\r\n<table class=\"Msg\" align=\"center\" cellspacing=\"1\">\r\n"
         "<tr><td align=\"center\"><font color=\"red\"><b>" +
         std::string(message) + "</b></font><br>\r\n" + std::string(links) +
         "</td></tr>\r\n</table>\r\n";
}

std::string LinkItem(std::string_view href, std::string_view text) {
  return "<li><a href=\"" + std::string(href) + "\">" + std::string(text) + "</a></li>\r\n";
}

std::string LinkItemTo(std::string_view url, std::string_view text) {
  return LinkItem(HtmlEscapeAttr(url), text);
}

std::string SettingsFormHead(std::string_view name, std::string_view action) {
  return "<form name='" + std::string(name) + "' method='post' action='" + std::string(action) +
         "'>\r\n<table border=0 cellspacing=1 align=center class=form>\r\n"
         "<tr><th width='15%'>设置名称</th><th width='55%'>基本参数设置</th>"
         "<th width='30%'>设置说明</th></tr>\r\n";
}

std::string SettingsRow(std::string_view label, std::string_view control, std::string_view mark,
                        std::string_view help) {
  return "<tr><td align=right>" + std::string(label) + "</td><td>" + std::string(control) +
         "</td><td><span class=red>" + std::string(mark) + "</span> <span class=gray>" +
         std::string(help) + "</span></td></tr>\r\n";
}

std::string TextInput(std::string_view name, std::string_view value, int size,
                      std::string_view attributes) {
  return "<input type=text name='" + std::string(name) + "' size=" + std::to_string(size) +
         std::string(attributes) + " value='" + HtmlEscapeAttr(value) + "'>";
}

std::string ListFormHead(const ListForm& form) {
  return "<form name=\"" + std::string(form.name) + "\" method=\"post\" action=\"" +
         std::string(form.action) +
         "\" style=\"margin:0\">\r\n"
         "<table class=\"list\" align=\"center\" cellspacing=\"1\">\r\n<tr>" +
         std::string(form.headings) + "<th width=\"" + std::string(form.check_width) +
         "\"><input type=\"checkbox\" name=\"chkSelectAll\" onclick=\"doCheckAll(this)\"></th>"
         "</tr>\r\n";
}

std::string EmptyListRow(int columns) {
  return "<tr><td colspan=\"" + std::to_string(columns) +
         "\" align=\"center\">暂无此类数据！</td></tr>\r\n";
}

std::string ListRows(AdminPager& pager, int columns,
                     const std::function<std::string(const Recordset&)>& row) {
  if (pager.PagerRecordCount <= 0) return EmptyListRow(columns);
  std::string html;
  Recordset& rs = *pager.PagerRs;
  for (int64_t n = 0; n < pager.PagerPageSize && !rs.Eof(); ++n, rs.MoveNext()) html += row(rs);
  return html;
}

std::string TextCells(const Recordset& rs, std::initializer_list<std::string_view> fields) {
  std::string html;
  for (std::string_view field : fields) html += "<td>" + HTMLEncode(rs[field]) + "</td>";
  return html;
}

std::string CheckCell(std::string_view value) {
  return "<td align=\"center\"><input type=\"checkbox\" name=\"selectdel\" value=\"" +
         std::string(value) + "\"></td>";
}

std::string ListActionBar(std::string_view pager_bar, std::string_view options) {
  return "<table class=\"list\" align=\"center\" cellspacing=\"1\">\r\n<tr><td>" +
         std::string(pager_bar) +
         "</td></tr>\r\n<tr><td align=\"right\"><form name=\"actionform\" style=\"margin:0\">"
         "操作：<select name=\"selection\" size=\"1\">" +
         std::string(options) +
         "</select> <input type=\"button\" value=\"执行\" "
         "onclick=\"checkAction(this.form.selection.options[this.form.selection.selectedIndex]"
         ".value)\"></form></td></tr>\r\n</table>\r\n";
}

std::string ListFormFoot(const AdminPager& pager, std::string_view options,
                         std::string_view action_prefix) {
  std::string html = "</table>\r\n</form>\r\n";
  if (pager.PagerRecordCount > 0) html += ListActionBar(pager.PagerBar, options);
  html += ListActionScript(action_prefix);
  return html;
}

std::string ListActionScript(std::string_view action_prefix) {
  return "<script language=javascript>\r\n"
         "<!--\r\n"
         "function checkAction(sAction){\r\n"
         "  var f=document.forms['delform'];\r\n"
         "  var found=false;\r\n"
         "  for(var i=0;i<f.elements.length;i++){\r\n"
         "    var e=f.elements[i];\r\n"
         "    if(e.type=='checkbox'&&e.name=='selectdel'&&e.checked){found=true;break;}\r\n"
         "  }\r\n"
         "  if(found){\r\n"
         "    found=confirm('您确定要操作吗？');\r\n"
         "  }else{\r\n"
         "    alert('请选择至少一条记录再操作！');\r\n"
         "    found=false;\r\n"
         "  }\r\n"
         "  if(found){\r\n"
         "    f.action='" +
         std::string(action_prefix) +
         "'+sAction;\r\n"
         "    f.submit();\r\n"
         "  }\r\n"
         "}\r\n"
         "//-->\r\n"
         "</script>\r\n";
}

}  // namespace folirex
