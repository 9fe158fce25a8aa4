#include "taxonomy/class_admin.h"

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "console/channel_page.h"
#include "console/console_text.h"
#include "core/console_request.h"
#include "core/folder_names.h"
#include "core/id_list.h"
#include "core/messages.h"
#include "core/select_boxes.h"
#include "core/site_config.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "site/channel_loader.h"
#include "taxonomy/class_select.h"
#include "taxonomy/class_tree.h"

namespace folirex {
namespace {

constexpr const char* kInvalidId = "无效ID号！";
constexpr size_t kMaxDirLength = 100;

Variant V(int64_t n) { return Variant(static_cast<long long>(n)); }

// The page's channel and its addresses, built in one place; `channel` is the request's channel id.
struct ClassUrls {
  int64_t channel = 0;
  ChannelSettings settings;  // the channel's settings, as the console frame loaded them
  std::string List() const { return "?m=admin_articleclass&channelid=" + std::to_string(channel); }
  std::string Action(std::string_view action) const {
    return List() + "&action=" + std::string(action);
  }
  std::string WithId(std::string_view action, int64_t id) const {
    return Action(action) + "&id=" + std::to_string(id);
  }
};

// A posted number for an integer column: the number when it is a plain one the column can hold,
// else the form's default.
int64_t FormNumber(const RequestReader& posted, std::string_view field, int64_t fallback) {
  std::optional<int64_t> n = posted.Id(field);
  if (n && *n <= std::numeric_limits<int32_t>::max()) return *n;
  return fallback;
}

// A posted flag: an unticked box posts nothing (false); a number is true unless 0; anything else
// is the form's default.
bool FormFlag(const RequestReader& posted, std::string_view field, bool unticked, bool fallback) {
  if (posted.Text(field).empty()) return unticked;
  if (std::optional<int64_t> n = posted.Id(field)) return *n != 0;
  return fallback;
}

// Text for a single-quoted script string inside an attribute or a script block.
std::string ScriptText(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '\'' || c == '"' || c == '<' || c == '>' || c == '&') {
      const char* hex = "0123456789ABCDEF";
      out += "\\x";
      out += hex[(static_cast<unsigned char>(c) >> 4) & 15];
      out += hex[static_cast<unsigned char>(c) & 15];
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// The folder rule of a class: plain segments, within the length, never a folder the site or the
// channel keeps for itself (the site's own folders and file names, the channel's uploads, another
// channel's folder or one that holds it).
void CheckClassDir(RequestState& state, const ClassUrls& urls, const std::string& dir) {
  if (dir.size() > kMaxDirLength || !IsPlainFolderPath(dir)) {
    AlertBack(state,
              "提示：目录只能使用字母、数字、下划线、减号和点，多级目录用“/”分隔，最多100个字符！");
  }
  const std::string first = LCase(dir.substr(0, dir.find('/')));
  const std::string uploads = LCase(Trim(urls.settings.UploadDir.ToString()));
  bool reserved = IsReservedFolderPath(dir) || (!uploads.empty() && first == uploads);
  if (!reserved) {
    const std::string key = LCase(urls.settings.ChannelDir + dir);
    Recordset rs;
    rs.Open("select d_channeldir from Vantrel_Channel where d_id <> ?", {V(urls.channel)},
            *state.db.Conn, 0, 1);
    for (; !rs.Eof() && !reserved; rs.MoveNext()) {
      std::string folder = LCase(Trim(rs["d_channeldir"].ToString()));
      while (!folder.empty() && folder.back() == '/') folder.pop_back();
      if (folder.empty()) continue;
      reserved = folder == key || folder.starts_with(key + "/") || key.starts_with(folder + "/");
    }
  }
  if (reserved) AlertBack(state, "提示：该目录名为系统保留目录，请换一个！");
}

// The settings posted by the add and edit forms, checked in the page's order; refusals end the
// request. `own_id` is the class being edited (0 when adding).
ClassSettings PostedSettings(RequestState& state, const ClassUrls& urls,
                             const RequestReader& posted, int64_t own_id) {
  ClassSettings s;
  s.name = CheckedShortName(state, posted.Text("d_name"), "分类名称", "提示：分类名称不能为空！");
  s.dir = posted.Text("d_dir");
  if (s.dir.empty()) AlertBack(state, "提示：目录不能为空！");
  CheckClassDir(state, urls, s.dir);
  const Variant used = state.db.Conn->ExecuteScalar(
      {.tables = {"Vantrel_ArticleClass"},
       .sql = "select count(*) from Vantrel_ArticleClass where d_dir = ? and d_id <> ? and "
              "d_channelid = ?",
       .values = {Variant(s.dir), V(own_id), V(urls.channel)}});
  if (used.ToInt64Or(0) > 0) AlertBack(state, "提示：你选择的目录名称已经存在！");
  s.page_size = FormNumber(posted, "d_pagenum", 20);
  s.comments = FormFlag(posted, "d_commentflag", false, true);
  s.comments_checked = FormFlag(posted, "d_commentcheckflag", false, true);
  s.points = FormNumber(posted, "d_pointperarticle", 1);
  s.add_article = FormFlag(posted, "d_addarticleflag", true, true);
  s.template_page = FormNumber(posted, "d_templatepageid", 0);
  return s;
}

// After a change: the channel rows and folders read in this request are read again.
void Changed(RequestState& state) { state.caches.Clear(); }

// The form and script the link bar's and the list's changes use: a change is posted, never sent
// as a plain address. The link bar is on every page of the module, so it brings them with it.
std::string PostScript() {
  return "<form name=\"classpost\" method=\"post\" style=\"margin:0\"></form>\r\n"
         "<script language=javascript>\r\n"
         "function classPost(link, question) {\r\n"
         "  if (question && !confirm(question)) return false;\r\n"
         "  var f = document.forms['classpost'];\r\n"
         "  f.action = link.href;\r\n"
         "  f.submit();\r\n"
         "  return false;\r\n"
         "}\r\n"
         "</script>\r\n";
}

void ArticleClass_ShowNavi(RequestState& state, const ClassUrls& urls) {
  const std::string list = HtmlEscapeAttr(urls.List());
  const std::string add = HtmlEscapeAttr(urls.Action("add"));
  const std::string reorder = HtmlEscapeAttr(urls.Action("reorder"));
  state.host.Response->Write(
      LinkBarHtml(
          {.table = "class=\"navi\" border=\"0\" cellspacing=\"0\" align=\"center\"",
           .quotes = AttributeQuotes::kDouble},
          {{list, "所有分类列表"},
           {add, "增加一级分类"},
           {reorder, "复位子类结构",
            " onclick=\"return classPost(this, "
            "'当需要把所有的子类设置成二级分类的时候，可以使用此功能操作，您确定要进行操作吗'"
            ");\""}}) +
      PostScript());
}

// The name cell of one list row: indented by level, a folder icon, the name linked to its edit
// form (bold at the top level).
std::string ArticleClass_TreeName(const ClassUrls& urls, int64_t id, const std::string& name,
                                  int64_t level, int64_t child, int64_t pid) {
  std::string html;
  for (int64_t i = 0; i < level; ++i) html += "&nbsp;&nbsp;";
  html += std::string("<img src=\"admin/") +
          (child != 0 ? "tree_folder4.gif" : "tree_folder3.gif") + "\" border=\"0\">";
  const std::string text =
      level == 0 ? "<b>" + HtmlEscapeText(name) + "</b>" : HtmlEscapeText(name);
  html += "<a href=\"" + HtmlEscapeAttr(urls.WithId("edit", id) + "&pid=" + std::to_string(pid)) +
          "\">" + text + "</a>";
  return html;
}

void ArticleClass_ShowList(RequestState& state, const ClassUrls& urls) {
  std::string html =
      "<form name=\"delform\" method=\"post\" action=\"" + HtmlEscapeAttr(urls.Action("")) +
      "\" style=\"margin:0\">\r\n<table class=\"list\" border=\"0\" cellspacing=\"1\" "
      "align=\"center\">\r\n<tr><th width=\"6%\">ID</th><th width=\"30%\">分类名称</th><th "
      "width=\"8%\">排序</th><th width=\"43%\">操作</th><th width=\"4%\"><input "
      "type=\"checkbox\" name=\"chkSelectAll\" onclick=\"doCheckAll(this)\"></th></tr>\r\n";
  // The whole tree in one query, in pre-order.
  Recordset rs;
  rs.Open(
      db::KeptRead{
          .tables = {"Vantrel_ArticleClass"},
          .sql =
              "select d_id, d_pid, d_name, d_dir, d_level, d_child from Vantrel_ArticleClass where "
              "d_channelid = ? order by d_order",
          .values = {V(urls.channel)}},
      *state.db.Conn);
  int64_t n = 0;
  for (; !rs.Eof(); rs.MoveNext()) {
    ++n;
    const int64_t id = rs["d_id"].ToInt64Or(0);
    const int64_t pid = rs["d_pid"].ToInt64Or(0);
    const int64_t child = rs["d_child"].ToInt64Or(0);
    const std::string up = HtmlEscapeAttr(urls.WithId("up", id));
    const std::string down = HtmlEscapeAttr(urls.WithId("down", id));
    html += "<tr align=\"center\"><td>" + std::to_string(n) + "</td><td align=\"left\">" +
            ArticleClass_TreeName(urls, id, rs["d_name"].ToString(), rs["d_level"].ToInt64Or(0),
                                  child, pid) +
            "[" + std::to_string(child) + "]</td><td><a href=\"" + up +
            "\" onclick=\"return classPost(this);\"><img src=\"admin/up.gif\" border=\"0\"></a> "
            "<a href=\"" +
            down +
            "\" onclick=\"return classPost(this);\"><img src=\"admin/down.gif\" "
            "border=\"0\"></a></td><td>";
    html += "<a href=\"" +
            HtmlEscapeAttr(urls.WithId("add", id) +
                           "&dir=" + state.host.Server->URLEncode(rs["d_dir"].ToString())) +
            "\">添加子类</a> <a href=\"" + HtmlEscapeAttr(urls.WithId("move", id)) +
            "\">移动分类</a> ";
    if (pid == 0 && child != 0) {
      html += "<a href=\"" + HtmlEscapeAttr(urls.WithId("reset", id)) +
              "\" onclick=\"return classPost(this, "
              "'“复位子分类”将把此分类的所有子分类都复位成二级子分类！请慎重操作！确定要复位子分类"
              "吗？');"
              "\">复位子类</a> ";
    } else {
      html += "复位子类 ";
    }
    html +=
        "<a href=\"" + HtmlEscapeAttr(urls.WithId("del", id)) +
        "\" onclick=\"return classPost(this, "
        "'提示：删除分类操作将删除此分类中的所有子分类和文章，并且不能恢复！确定要删除此分类吗？');"
        "\">删除分类</a></td><td><input type=\"checkbox\" name=\"checkid\" value=\"" +
        std::to_string(id) + "\"></td></tr>\r\n";
  }
  rs.Close();
  if (n == 0) {
    html += "<tr><td colspan=\"5\" align=\"center\">没有记录</td></tr>\r\n";
  } else {
    html +=
        "<tr><td colspan=\"5\" align=\"right\">操作：<select name=\"checkaction\"><option "
        "value=\"empty\">清空选定分类下的文章</option></select> <input type=\"button\" "
        "value=\"执行\" onclick=\"doAction(this)\"></td></tr>\r\n";
  }
  html +=
      "</table></form><br>\r\n<table class=\"Msg\" align=\"center\" cellspacing=\"1\"><tr><td><b "
      "class=\"blue\">提示：</b><li>当需要把所有的子类恢复成二级分类时候可以使用复位子类结构功能</"
      "li>"
      "</td></tr></table>\r\n";
  state.host.Response->Write(html);
}

// A digits-only text field: keys 0 to 9 only, pasted text only when all digits, no dropped text,
// no input method, leading zeros removed.
std::string DigitsField(std::string_view name, int size, const std::string& value) {
  return "<input type=\"text\" name=\"" + std::string(name) + "\" size=\"" + std::to_string(size) +
         "\" value=\"" + HtmlEscapeAttr(value) +
         "\" style=\"ime-mode:disabled\" onkeypress=\"var k=event.which||event.keyCode;return "
         "k<32||(k>=48&&k<=57);\" onpaste=\"var t=(event.clipboardData||window.clipboardData)."
         "getData('text');if(!/^\\d+$/.test(t))return false;this.value=t.replace(/^0+(?=\\d)/,'');"
         "return false;\" ondrop=\"return false;\" onkeyup=\"this.value=this.value.replace(/^0+"
         "(?=\\d)/,'');\">";
}

std::string FormRow(std::string_view label, const std::string& field, std::string_view mark,
                    std::string_view help, bool hidden = false) {
  return std::string("<tr") + (hidden ? " style=\"display:none\"" : "") + "><td align=\"right\">" +
         std::string(label) + "</td><td>" + field + "</td><td><span class=\"red\">" +
         std::string(mark) + "</span> <span class=\"gray\">" + std::string(help) +
         "</span></td></tr>\r\n";
}

// What the add and edit forms show.
struct ClassFormValues {
  std::string action;
  std::string parent_select;
  std::string name;
  std::string dir;
  std::string dir_maxlength;  // "" for none
  std::string page_size = "20";
  bool comments = true;
  bool comments_checked = true;
  std::string points = "1";
  bool add_article = true;
  Variant template_page = Variant("");
};

void WriteClassForm(RequestState& state, const ClassUrls& urls, const ClassFormValues& v) {
  auto checked = [](bool on) { return on ? " checked" : ""; };
  std::string html =
      "<form name=\"form1\" method=\"post\" action=\"" + HtmlEscapeAttr(v.action) +
      "\" style=\"margin:0\">\r\n<table class=\"form\" border=\"0\" cellspacing=\"1\" "
      "align=\"center\">\r\n<tr><th width=\"15%\">设置名称</th><th "
      "width=\"55%\">基本参数设置</th><th "
      "width=\"30%\">设置说明</th></tr>\r\n";
  html += FormRow("所属分类：", v.parent_select, "", "");
  html += FormRow("分类名称：",
                  "<input type=\"text\" name=\"d_name\" size=\"50\" maxlength=\"50\" value=\"" +
                      HtmlEscapeAttr(v.name) + "\">",
                  "*", "必填，最大25个中文");
  html += FormRow("分类目录",
                  "<input type=\"text\" name=\"d_dir\" size=\"50\"" +
                      (v.dir_maxlength.empty() ? "" : " maxlength=\"" + v.dir_maxlength + "\"") +
                      " value=\"" + HtmlEscapeAttr(v.dir) + "\">",
                  "*", "存放文件的路径，例如：web、web/asp");
  html += FormRow("每页的文章数：", DigitsField("d_pagenum", 50, v.page_size), "",
                  "本分类下每一页的文章数量，默认为20");
  html += FormRow("评论权限：",
                  std::string("<input type=\"checkbox\" name=\"d_commentflag\" value=\"1\"") +
                      checked(v.comments) +
                      ">是否允许评论 <input type=\"checkbox\" name=\"d_commentcheckflag\" "
                      "value=\"1\"" +
                      checked(v.comments_checked) + ">评论是否需要审核",
                  "", "评论的标记");
  html += FormRow("积分设置：", DigitsField("d_pointperarticle", 10, v.points) + "分", "",
                  "在此分类每发表一条信息，可以得到的积分", true);
  html += FormRow("添加文章标识：",
                  std::string("<input type=\"radio\" name=\"d_addarticleflag\" value=\"1\"") +
                      checked(v.add_article) +
                      ">是 <input type=\"radio\" name=\"d_addarticleflag\" value=\"0\"" +
                      checked(!v.add_article) + ">否",
                  "", "有子分类时是否可以在此分类添加文章");
  html += FormRow(
      "使用的模板：",
      BuildTemplateSelect(state.db, "d_templatepageid", "classlist", v.template_page, "默认"), "",
      "默认是采用系统频道中设置的模板");
  html +=
      "<tr><td colspan=\"3\" align=\"center\"><input type=\"submit\" value=\"确\u3000定\"> "
      "<input type=\"reset\" value=\"返 回\" onclick=\"location.href='" +
      HtmlEscapeAttr(ScriptText(urls.List())) + "'\"></td></tr>\r\n</table></form>\r\n";
  state.host.Response->Write(html);
}

void ArticleClass_Add(RequestState& state, const ClassUrls& urls, const ConsoleRequest& request) {
  ClassFormValues v;
  v.action = urls.Action("save");
  v.parent_select = ArticleClass_ClassSelect(
      *state.db.Conn,
      {.channel_id = urls.channel, .field_name = "d_pid", .selected_id = request.query.Text("id")});
  v.dir = request.query.Text("dir");
  WriteClassForm(state, urls, v);
}

void ArticleClass_Save(RequestState& state, const ClassUrls& urls, const ConsoleRequest& request) {
  const std::string parent_text = request.values.Text("d_pid");
  ClassSettings settings = PostedSettings(state, urls, request.values, 0);
  const std::optional<int64_t> parent_id = request.values.Id("d_pid");
  if (!parent_text.empty() && !parent_id) AlertBack(state, kParameterError);
  const int64_t parent = parent_id.value_or(0);
  RequireFormPost(request);
  int64_t id = 0;
  if (AddClass(*state.db.Conn, urls.channel, parent, settings, &id) != ClassTreeStatus::kDone) {
    AlertBack(state, kParameterError);
  }
  Changed(state);
  state.host.Response->Write(
      MessageBox("新增信息成功！", LinkItemTo(urls.WithId("add", parent), "返回继续新增") +
                                       LinkItemTo(urls.List(), "返回列表")));
}

void ArticleClass_Edit(RequestState& state, const ClassUrls& urls, const ConsoleRequest& request) {
  const int64_t id = request.query.Id("id", kParameterError);
  const int64_t pid = request.query.Id("pid", kParameterError);
  Recordset rs;
  rs.Open(
      db::KeptRead{.tables = {"Vantrel_ArticleClass"},
                   .sql = "select * from Vantrel_ArticleClass where d_id = ? and d_channelid = ?",
                   .values = {V(id), V(urls.channel)}},
      *state.db.Conn);
  if (rs.Eof()) {
    rs.Close();
    AlertBack(state, kParameterError);
  }
  ClassFormValues v;
  v.action = urls.WithId("update", id) + "&pid=" + std::to_string(pid);
  v.name = rs["d_name"].ToString();
  v.dir = rs["d_dir"].ToString();
  v.dir_maxlength = "15";
  v.page_size = rs["d_pagenum"].ToString();
  v.comments = rs["d_commentflag"].ToInt64Or(0) != 0;
  v.comments_checked = rs["d_commentcheckflag"].ToInt64Or(0) != 0;
  v.points = rs["d_pointperarticle"].ToString();
  v.add_article = rs["d_addarticleflag"].ToInt64Or(-1) != 0;
  v.template_page = Variant(Trim(rs["d_templatepageid"].ToString()));
  rs.Close();
  v.parent_select = ArticleClass_ClassSelect(*state.db.Conn, {.channel_id = urls.channel,
                                                              .field_name = "d_pid",
                                                              .selected_id = std::to_string(pid),
                                                              .disabled = true});
  WriteClassForm(state, urls, v);
}

void ArticleClass_Update(RequestState& state, const ClassUrls& urls,
                         const ConsoleRequest& request) {
  const int64_t id = request.query.Id("id", kParameterError);
  const int64_t pid = request.query.Id("pid", kParameterError);
  ClassSettings s = PostedSettings(state, urls, request.values, id);
  RequireFormPost(request);
  const int64_t changed = state.db.Conn->Execute(
      "update Vantrel_ArticleClass set d_name = ?, d_dir = ?, d_pagenum = ?, d_commentflag = ?, "
      "d_commentcheckflag = ?, d_addarticleflag = ?, d_pointperarticle = ?, d_templatepageid = "
      "?, d_generatedflag = ? where d_id = ? and d_channelid = ?",
      {Variant(s.name), Variant(s.dir), V(s.page_size), Variant(s.comments),
       Variant(s.comments_checked), Variant(s.add_article), V(s.points), V(s.template_page),
       Variant(false), V(id), V(urls.channel)});
  if (changed == 0) AlertBack(state, kParameterError);
  Changed(state);
  state.host.Response->Write(MessageBox(
      "修改信息成功！",
      LinkItemTo(urls.WithId("edit", id) + "&pid=" + std::to_string(pid), "返回继续修改") +
          LinkItemTo(urls.List(), "返回列表")));
}

void ArticleClass_UpDown(RequestState& state, const ClassUrls& urls, const ConsoleRequest& request,
                         bool up) {
  const int64_t id = request.values.Id("id", kInvalidId);
  RequireFormPost(request);
  Connection& conn = *state.db.Conn;
  ClassTreeStatus status =
      up ? MoveClassUp(conn, urls.channel, id) : MoveClassDown(conn, urls.channel, id);
  if (status == ClassTreeStatus::kNoClass) AlertBack(state, kInvalidId);
  if (status == ClassTreeStatus::kDone) {
    Changed(state);
    Alert(state, "排序移动操作成功！");
  }
  GoUrl(state, ScriptText(urls.List()));
}

void ArticleClass_Reset(RequestState& state, const ClassUrls& urls, const ConsoleRequest& request) {
  const int64_t id = request.query.Id("id", kParameterError);
  RequireFormPost(request);
  // A class below the top has nothing to flatten; the page answers as it always has.
  if (ResetClass(*state.db.Conn, urls.channel, id) == ClassTreeStatus::kNoClass) {
    AlertBack(state, kParameterError);
  }
  Changed(state);
  Alert(state, "复位操作成功！");
  GoUrl(state, ScriptText(urls.List()));
}

void ArticleClass_Move(RequestState& state, const ClassUrls& urls, const ConsoleRequest& request) {
  const int64_t id = request.query.Id("id", kParameterError);
  if (!FindClass(*state.db.Conn, urls.channel, id)) AlertBack(state, kParameterError);
  const std::string from =
      ArticleClass_ClassSelect(*state.db.Conn, {.channel_id = urls.channel,
                                                .field_name = "d_fromid",
                                                .selected_id = std::to_string(id),
                                                .box_a = 200,
                                                .box_b = 300,
                                                .disabled = true});
  const std::string to = ArticleClass_ClassSelect(
      *state.db.Conn,
      {.channel_id = urls.channel, .field_name = "d_toid", .box_a = 200, .box_b = 300});
  state.host.Response->Write(
      "<form name=\"form1\" method=\"post\" action=\"" +
      HtmlEscapeAttr(urls.WithId("savemove", id)) +
      "\" style=\"margin:0\">\r\n<table class=\"form\" border=\"0\" cellspacing=\"1\" "
      "align=\"center\">\r\n<tr><th colspan=\"3\">移动文章分类</th></tr>\r\n"
      "<tr><td align=\"center\"><b>当前分类</b></td><td></td><td "
      "align=\"center\"><b>目标分类</b></td></tr>\r\n<tr><td width=\"40%\" align=\"center\">" +
      from +
      "</td><td width=\"10%\" align=\"center\"><input type=\"submit\" "
      "value=\"转移到>>>\"></td><td width=\"40%\" align=\"center\">" +
      to + "</td></tr>\r\n</table></form>\r\n");
}

void ArticleClass_SaveMove(RequestState& state, const ClassUrls& urls,
                           const ConsoleRequest& request) {
  const int64_t id = request.query.Id("id", kParameterError);
  const int64_t to = request.values.Id("d_toid", "提示：请选择需要移动的目标位置！");
  if (id == to) AlertBack(state, "提示：目标分类和移动分类不能相同！");
  RequireFormPost(request);
  switch (MoveClass(*state.db.Conn, urls.channel, id, to)) {
    case ClassTreeStatus::kSamePlace:
      AlertBack(state, "提示：分类位置相同没有必要移动！");
    case ClassTreeStatus::kIntoOwnSubtree:
      AlertBack(state, "提示：不能指定该分类的下级分类作为所属分类！");
    case ClassTreeStatus::kDone:
      break;
    default:
      AlertBack(state, kParameterError);
  }
  Changed(state);
  state.host.Response->Write(MessageBox(
      "移动分类成功！",
      LinkItemTo(urls.WithId("move", id), "返回继续修改") + LinkItemTo(urls.List(), "返回列表")));
}

void ArticleClass_Del(RequestState& state, const ClassUrls& urls, const ConsoleRequest& request) {
  const int64_t id = request.query.Id("id", kParameterError);
  RequireFormPost(request);
  if (DeleteClass(*state.db.Conn, urls.channel, id) != ClassTreeStatus::kDone) {
    AlertBack(state, kParameterError);
  }
  Changed(state);
  state.host.Response->Write(MessageBox("删除分类成功！请记得重新生成相关分类的文件呀！",
                                        LinkItemTo(urls.List(), "返回列表")));
}

void ArticleClass_Empty(RequestState& state, const ClassUrls& urls, const ConsoleRequest& request) {
  if (request.values.Text("checkid").empty()) AlertBack(state, "提示：请先选择记录再操作！");
  const IdList list = request.values.Ids("checkid", kParameterError);
  RequireFormPost(request);
  if (EmptyClasses(*state.db.Conn, urls.channel, list.ids) != ClassTreeStatus::kDone) {
    AlertBack(state, kParameterError);
  }
  Changed(state);
  state.host.Response->Write(MessageBox(
      "此分类（包括子分类）的所有文章已经被移到回收站中！<br>本分类（包括子分类）下的所有HTML文件"
      "已经被删除！你需要重新生成相关文件！",
      LinkItemTo(urls.List(), "返回列表")));
}

void ArticleClass_Reorder(RequestState& state, const ClassUrls& urls,
                          const ConsoleRequest& request) {
  RequireFormPost(request);
  RenumberClasses(*state.db.Conn, urls.channel);
  Changed(state);
  state.host.Response->Write(MessageBox("分类修复成功！", LinkItemTo(urls.List(), "返回列表")));
}

}  // namespace

void ArticleClass_Main(RequestState& state, const ConsolePage& page) {
  ClassUrls urls;
  urls.channel = page.channel.id;
  urls.settings = page.channel.settings;
  ArticleClass_ShowNavi(state, urls);
  const ConsoleRequest& request = page.request;
  auto with_urls =
      [&urls, &request](void (*handler)(RequestState&, const ClassUrls&, const ConsoleRequest&)) {
        return [&urls, &request, handler](RequestState& s) { handler(s, urls, request); };
      };
  RunAdminAction(state, request.action,
                 {{"down", [&](RequestState& s) { ArticleClass_UpDown(s, urls, request, false); }},
                  {"up", [&](RequestState& s) { ArticleClass_UpDown(s, urls, request, true); }},
                  {"add", with_urls(ArticleClass_Add)},
                  {"save", with_urls(ArticleClass_Save)},
                  {"edit", with_urls(ArticleClass_Edit)},
                  {"update", with_urls(ArticleClass_Update)},
                  {"reset", with_urls(ArticleClass_Reset)},
                  {"move", with_urls(ArticleClass_Move)},
                  {"savemove", with_urls(ArticleClass_SaveMove)},
                  {"del", with_urls(ArticleClass_Del)},
                  {"empty", with_urls(ArticleClass_Empty)},
                  {"reorder", with_urls(ArticleClass_Reorder)}},
                 [&urls](RequestState& s) { ArticleClass_ShowList(s, urls); });
}

}  // namespace folirex
