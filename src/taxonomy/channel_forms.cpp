#include "taxonomy/channel_forms.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/console_request.h"
#include "core/messages.h"
#include "core/select_boxes.h"
#include "platform/db/recordset.h"
#include "platform/db/sql_params.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

// The values a form starts from, as text; the edit form's come from the stored row.
struct FormValues {
  bool edit = false;
  int64_t id = 0;  // the edit form's channel
  std::string channelname, desc, linkurl, channeldir, projectname, projectunit, uploaddir,
      upfiletype;
  std::string opentype = "0", disabled = "0", channeltype = "1", moduletype = "1", templateid,
              showname = "1", upload = "1";
  std::string maxfilesize = "1024", clicksofhot = "100", daysofnew = "3", groupnum = "30";
  std::string generatehtml = "0", listdir = "0", contentfiletype = "0", firstfileext = "0",
              listfileext = "0", contentfileext = "0";
};

// A number field takes digits only: typed keys, pasted text (leading zeros dropped), no drops.
constexpr const char* kDigitsOnly =
    " onkeypress=\"return event.keyCode>=48&&event.keyCode<=57\""
    " onpaste=\"var t=(event.clipboardData||window.clipboardData).getData('text');"
    "if(!/\\D/.test(t))this.value=t.replace(/^0+/,'');return false;\""
    " ondragenter=\"return false\" ondrop=\"return false\""
    " onkeyup=\"this.value=this.value.replace(/^0+/,'')\"";

std::string Note(bool required, std::string_view note) {
  std::string html = "<td>";
  if (required) html += "<font color=\"red\">*</font> ";
  return html + "<font color=\"#999999\">" + std::string(note) + "</font></td>";
}

// One settings row: label, control, note. `id` names the row for HideContent; `hidden` starts
// it hidden.
std::string Row(std::string_view id, bool hidden, std::string_view label, std::string_view control,
                bool required, std::string_view note) {
  std::string html = "<tr";
  if (!id.empty()) html += " id=\"" + std::string(id) + "\"";
  if (hidden) html += " style=\"display:none\"";
  html += ">";
  if (!label.empty()) html += "<td align=\"right\">" + std::string(label) + "</td>";
  return html + "<td>" + std::string(control) + "</td>" + Note(required, note) + "</tr>\r\n";
}

std::string Inner(int n) { return "innerclass" + std::to_string(n); }

std::string Text(std::string_view name, const std::string& value, int size,
                 std::string_view extra = "") {
  return "<input type=\"text\" name=\"" + std::string(name) + "\" size=\"" + std::to_string(size) +
         "\" value=\"" + HtmlEscapeAttr(value) + "\"" + std::string(extra) + ">";
}

std::string Radio(std::string_view name, std::string_view value, std::string_view text,
                  const std::string& current, std::string_view extra = "") {
  return "<input type=\"radio\" name=\"" + std::string(name) + "\" value=\"" + std::string(value) +
         "\"" + (current == value ? " checked" : "") + std::string(extra) + ">" +
         std::string(text) + " ";
}

std::string Radios(std::string_view name, const std::vector<std::pair<const char*, const char*>>& o,
                   const std::string& current, std::string_view extra = "") {
  std::string html;
  for (const auto& [value, text] : o) html += Radio(name, value, text, current, extra);
  return html;
}

std::string Extensions(std::string_view name, const std::string& current) {
  return Radios(name, {{"0", "html"}, {"1", "htm"}, {"2", "shtml"}, {"3", "shtm"}, {"4", "asp"}},
                current);
}

// A radio of a group whose options stand in rows of their own under one spanning label.
std::string SpannedRow(int n, bool hidden, std::string_view label, int span, std::string_view name,
                       std::string_view value, std::string_view text, const std::string& current,
                       std::string_view note) {
  std::string html =
      "<tr id=\"" + Inner(n) + "\"" + (hidden ? " style=\"display:none\"" : "") + ">";
  if (!label.empty()) {
    html += "<td align=\"right\" rowspan=\"" + std::to_string(span) + "\">" + std::string(label) +
            "</td>";
  }
  return html + "<td>" + Radio(name, value, text, current) + "</td>" + Note(true, note) +
         "</tr>\r\n";
}

// The form tag and the heading row: the add form posts to the creation and checks itself first,
// the edit form posts to the update of its channel.
std::string ChannelFormHead(const FormValues& v) {
  std::string action = v.edit ? "?m=admin_channel&action=update&id=" + std::to_string(v.id) +
                                    "&channeltype=" + v.channeltype
                              : "?m=admin_channel&action=save";
  return "<form name=\"form1\" method=\"post\" action=\"" + HtmlEscapeAttr(action) + "\"" +
         (v.edit ? "" : " onsubmit=\"return checkForm()\"") +
         " style=\"margin:0\">\r\n"
         "<table class=\"form\" align=\"center\" cellspacing=\"1\">\r\n"
         "<tr><th width=\"15%\">设置名称</th><th width=\"55%\">基本参数设置</th>"
         "<th width=\"30%\">设置说明</th></tr>\r\n";
}

// The rows every channel has: name, description, how it opens, whether it is disabled, its
// kind (fixed once created) and the link address of an external channel.
std::string CommonRows(const FormValues& v, bool inner_hidden) {
  const std::string type_attr = v.edit ? " disabled" : "";
  std::string html =
      Row("", false, "频道名称：", Text("d_channelname", v.channelname, 50, " maxlength=\"50\""),
          true, "必填，最大25个中文");
  html += Row(
      "", false, "频道说明：",
      "<textarea name=\"d_desc\" cols=\"50\" rows=\"5\">" + HtmlEscapeAttr(v.desc) + "</textarea>",
      false, "鼠标移至名称上时将显示设定的说明文字");
  html +=
      Row("", false, "打开方式：",
          Radios("d_opentype", {{"0", "原窗口打开"}, {"1", "新窗口打开"}}, v.opentype), false, "");
  html += Row("", false, "禁用本频道：",
              Radios("d_disabledflag", {{"1", "是"}, {"0", "否"}}, v.disabled), true,
              "禁用本频道就不显示，不能用");
  html += Row("", false, "频道类型：",
              Radio("d_channeltype", "1", "系统内部频道", v.channeltype,
                    type_attr + " onclick=\"HideContent('innerclass')\"") +
                  Radio("d_channeltype", "2", "外部频道", v.channeltype,
                        type_attr + " onclick=\"HideContent('outerclass')\""),
              false,
              "外部频道指链接到本系统以外的地址中。当此频道准备链接到网站中的其他系统时，请使用这种"
              "方式");
  html += Row("outerclass", !inner_hidden, "链接地址：", Text("d_linkurl", v.linkurl, 50), false,
              "链接到本系统以外的地址中。当此频道准备链接到网站中的其他系统时，请使用这种方式");
  return html;
}

// The module and template selects of an internal channel (rows 1 and 5). The add form offers the
// sets of every channel, each named with its channel; the edit form the channel's own.
std::string ModuleSelect(RequestState& state, const FormValues& v) {
  return v.edit ? BuildSelectAttr(state.db, "d_moduletype", {Variant("文章")}, {Variant("1")},
                                  Variant(v.moduletype), "", "", "disabled")
                : BuildSelect(state.db, "d_moduletype", {Variant("文章")}, {Variant("1")},
                              Variant(v.moduletype), "", "");
}

std::string TemplateSelect(RequestState& state, const FormValues& v) {
  if (!v.edit) return BuildTemplateSelect(state.db, "d_templateid", "", Variant(v.templateid), "");
  return BuildBoundSelect(state.db, "d_templateid", Variant(v.templateid),
                          {.tables = {"Vantrel_Template"},
                           .sql = "select d_name, d_id from Vantrel_Template where d_channelid=? "
                                  "order by d_id",
                           .values = {SqlNumber(v.id)}},
                          "");
}

// Rows 1 to 12 of an internal channel: module, folder, project, template, name and upload
// settings, and the hot and new marks.
std::string InnerRows(RequestState& state, const FormValues& v, bool hidden) {
  std::string html = Row(Inner(1), hidden, "使用的功能模块：", ModuleSelect(state, v), false,
                         "需要采用的功能模块");
  html += Row(Inner(2), hidden, "频道目录：", Text("d_channeldir", v.channeldir, 20), true,
              "只能是英文，不能带空格或“\\”、“/”等符号。样例：News、Article、Soft");
  html += Row(Inner(3), hidden, "项目名称：", Text("d_projectname", v.projectname, 20), true, "");
  html += Row(Inner(4), hidden, "项目单位：", Text("d_projectunit", v.projectunit, 20), false,
              "使用在项目统计的时候显示后面的单位，例如：个、篇等");
  html += Row(Inner(5), hidden, "使用的模板：", TemplateSelect(state, v), false,
              "默认是采用系统频道中设置的模板");
  html += Row(Inner(6), hidden, "是否显示频道名称：",
              Radios("d_shownameflag", {{"1", "是"}, {"0", "否"}}, v.showname), false,
              "选用不显示前台就不显示本功能的链接");
  html += Row(Inner(7), hidden, "是否允许上传：",
              Radios("d_uploadflag", {{"1", "是"}, {"0", "否"}}, v.upload), false,
              "不允许上传就不出现上传链接");
  html += Row(Inner(8), hidden, "上传路径：", Text("d_uploaddir", v.uploaddir, 20), true,
              "你可以定期或不定期的更改上传目录，以防其他网站盗链");
  html += Row(Inner(9), hidden, "上传最大文件：",
              Text("d_maxfilesize", v.maxfilesize, 20, kDigitsOnly) + " KB", false,
              "1 KB = 1024 Byte，1 MB = 1024 KB");
  std::string presets;
  for (const char* preset : {"图片类型", "Flash", "媒体", "其他"}) {
    presets += " <font color=\"green\" style=\"cursor:pointer\" onclick=\"addUpFileType('" +
               std::string(preset) + "')\">【" + preset + "】</font>";
  }
  html += Row(Inner(10), hidden, "上传文件类型：", Text("d_upfiletype", v.upfiletype, 35) + presets,
              false, "多种文件类型之间以“|”分隔");
  html +=
      Row(Inner(11), hidden, "点击数最小值：",
          Text("d_clicksofhot", v.clicksofhot, 20, kDigitsOnly), true, "本频道热点的点击数最小值");
  html += Row(Inner(12), hidden, "新信息标识：", Text("d_daysofnew", v.daysofnew, 20, kDigitsOnly),
              true, "多少天内更新的信息为新信息");
  return html;
}

// Rows 13 to 26 of an internal channel: how its static pages are generated, where the list
// files go, how content files are named, the extensions and the group size.
std::string GenerationRows(const FormValues& v, bool hidden) {
  std::string html =
      SpannedRow(13, hidden, "生成HTML方式：", 3, "d_generatehtml", "0", "不生成", v.generatehtml,
                 "当频道中的信息量比较少（≤1000）时，可以选用此种方式，此方式最耗费系统资源");
  html += SpannedRow(14, hidden, "", 0, "d_generatehtml", "1", "全部生成", v.generatehtml,
                     "此方式在生成后将最节省系统资源，但当信息量大时，生成过程将比较长");
  html += SpannedRow(15, hidden, "", 0, "d_generatehtml", "2", "部分生成", v.generatehtml,
                     "首页和内容页为HTML，分类和专题页为ASP");
  html += SpannedRow(16, hidden, "列表文件的位置：", 3, "d_listdir", "0",
                     "列表文件分目录保存在所属分类的文件夹中", v.listdir,
                     "例：Article/ASP/Base/index.html（分类首页） "
                     "Article/ASP/Base/List_2.html（第二页）");
  html += SpannedRow(
      17, hidden, "", 0, "d_listdir", "1", "列表文件统一保存在指定的“List”文件夹中", v.listdir,
      "例：Article/List/List_1.html（分类首页）Article/List/List_1_2.html（第二页）");
  html +=
      SpannedRow(18, hidden, "", 0, "d_listdir", "2", "列表文件统一保存在频道文件夹中", v.listdir,
                 "例：Article/List_1.html（分类首页） Article/List_1_2.html（第二页）");
  html += SpannedRow(19, hidden, "内容页文件的命名：", 4, "d_contentfiletype", "0", "文章ID.html",
                     v.contentfiletype, "例：1358.html");
  html += SpannedRow(20, hidden, "", 0, "d_contentfiletype", "1", "更新时间.html",
                     v.contentfiletype, "例：20050523122505.html");
  html += SpannedRow(21, hidden, "", 0, "d_contentfiletype", "2", "频道英文名_文章ID.html",
                     v.contentfiletype, "例：Article_110.html");
  html += SpannedRow(22, hidden, "", 0, "d_contentfiletype", "3", "频道英文名_更新时间.html",
                     v.contentfiletype, "例：Article_20040828112308.html");
  html += Row(Inner(23), hidden, "频道首页的扩展名：", Extensions("d_firstfileext", v.firstfileext),
              true, "频道首页的扩展名");
  html += Row(Inner(24), hidden, "列表页的扩展名：", Extensions("d_listfileext", v.listfileext),
              true, "分类页、专题页的扩展名");
  html += Row(Inner(25), hidden, "内容页的扩展名：",
              Extensions("d_contentfileext", v.contentfileext), true, "内容页使用的扩展名");
  html += Row(Inner(26), hidden, "生成Html文件每组的数量：",
              Text("d_groupnum", v.groupnum, 20, kDigitsOnly), true,
              "生成静态文件时候一次同时生成的数量");
  return html;
}

// The buttons, the edit form's hidden copies of the stored folder, upload folder and project
// name, and the end of the form.
std::string ChannelFormTail(const FormValues& v) {
  std::string html =
      "<tr><td colspan=\"3\" align=\"center\"><input type=\"submit\" value=\"确　定\"> "
      "<input type=\"reset\" value=\"返 回\" onclick=\"location.href='?m=admin_channel'\">"
      "</td></tr>\r\n";
  if (v.edit) {
    html += "<input type=\"hidden\" name=\"hiddenchanneldir\" value=\"" +
            HtmlEscapeAttr(v.channeldir) + "\"><input type=\"hidden\" name=\"hiddenuploaddir\" " +
            "value=\"" + HtmlEscapeAttr(v.uploaddir) +
            "\"><input type=\"hidden\" name=\"hiddenprojectname\" value=\"" +
            HtmlEscapeAttr(v.projectname) + "\">\r\n";
  }
  return html + "</table>\r\n</form>\r\n";
}

std::string ChannelForm(RequestState& state, const FormValues& v) {
  const bool inner_hidden = v.channeltype != "1";
  return ChannelFormHead(v) + CommonRows(v, inner_hidden) + InnerRows(state, v, inner_hidden) +
         GenerationRows(v, inner_hidden) + ChannelFormTail(v);
}

// The stored flag as the form's radio value.
std::string FlagValue(const Variant& flag) { return flag.ToBoolOr(false) ? "1" : "0"; }

}  // namespace

void Channel_Add(RequestState& state) {
  FormValues values;
  values.uploaddir = "uplaodfile";
  state.host.Response->Write(ChannelForm(state, values));
}

void Channel_Edit(RequestState& state, const ConsoleRequest& request) {
  const int64_t id = request.query.Id("id", "提示：参数错误，请返回！");
  Recordset rs;
  rs.Open("select * from Vantrel_Channel where d_id = ?", {SqlNumber(id)}, *state.db.Conn, 0, 1);
  if (rs.Eof()) {
    rs.Close();
    AlertBack(state, "提示：参数错误，请返回！");
  }
  auto text = [&rs](const char* field) { return rs[field].ToString(); };
  auto code = [&rs](const char* field) { return Trim(rs[field].ToString()); };
  FormValues v;
  v.edit = true;
  v.id = id;
  v.channelname = text("d_channelname");
  v.desc = text("d_desc");
  v.linkurl = text("d_linkurl");
  v.channeldir = text("d_channeldir");
  v.projectname = text("d_projectname");
  v.projectunit = text("d_projectunit");
  v.uploaddir = text("d_uploaddir");
  v.upfiletype = text("d_upfiletype");
  v.opentype = code("d_opentype") == "0" ? "0" : "1";
  v.disabled = FlagValue(rs["d_disabledflag"]);
  v.channeltype = code("d_channeltype") == "1" ? "1" : "2";
  v.moduletype = code("d_moduletype");
  v.templateid = code("d_templateid");
  v.showname = FlagValue(rs["d_shownameflag"]);
  v.upload = FlagValue(rs["d_uploadflag"]);
  v.maxfilesize = text("d_maxfilesize");
  v.clicksofhot = text("d_clicksofhot");
  v.daysofnew = text("d_daysofnew");
  v.groupnum = text("d_groupnum");
  v.generatehtml = code("d_generatehtml");
  v.listdir = code("d_listdir");
  v.contentfiletype = code("d_contentfiletype");
  v.firstfileext = code("d_firstfileext");
  v.listfileext = code("d_listfileext");
  v.contentfileext = code("d_contentfileext");
  rs.Close();
  state.host.Response->Write(ChannelForm(state, v));
}

}  // namespace folirex
