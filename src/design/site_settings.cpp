#include "design/site_settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "console/console_text.h"
#include "core/console_request.h"
#include "core/folder_names.h"
#include "core/html_clean.h"
#include "core/messages.h"
#include "core/script_link.h"
#include "core/select_boxes.h"
#include "core/site_config.h"
#include "core/site_files.h"
#include "core/text_helpers.h"
#include "platform/db/scoped_transaction.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

constexpr const char* kMailError = "提示：请认真填写Jmail的邮件服务器的信息！";
constexpr const char* kLogoScript = "Js/ShowLogo.js";
constexpr const char* kBannerScript = "Js/ShowBanner.js";
// Display lengths: the notices a site shows at its foot and in its meta tags may be long, the
// other texts are single values.
constexpr int64_t kMaxShortText = 255;
constexpr int64_t kMaxLongText = 4000;
constexpr int64_t kMaxSize = 99999;

// A size field: its number, or the default when it is not plain digits or is beyond any screen.
int64_t SizeOr(const RequestReader& posted, std::string_view field, int64_t fallback) {
  std::optional<int64_t> size = posted.Number(field);
  return size && *size <= kMaxSize ? *size : fallback;
}

// An address written into a single-quoted attribute of the logo and banner HTML, as stored: it
// may not carry what would end the attribute or the tag.
bool IsSafeAddress(std::string_view address) {
  for (char c : address) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '\'' || c == '"' || c == '<' || c == '>' || c == '\\' || u < 0x20 || u == 0x7F) {
      return false;
    }
  }
  return true;
}

// The values a save takes from the form.
struct Settings {
  std::string name, keyword, desc, email, address, tel, fax, mobile, postcode, copyright;
  int64_t mail_flag = 0;
  std::string mail_server, mail_user, mail_password;  // empty unless the flag is 2
  bool show_admin_link = false;
  int64_t soft_key = 0;
  std::string install_dir;
  int64_t default_file_ext = 0;
  int64_t template_page_id = 0;
  std::string logo, banner;
  int64_t logo_width = 160, logo_height = 60, banner_width = 480, banner_height = 60;
};

// The text fields of the form, in the order the form shows them: label, field name, help text
// and display length.
struct TextField {
  const char* label;
  const char* field;
  const char* help;
  int64_t max_length;
  std::string Settings::*member;
};
constexpr TextField kTextFields[] = {
    {"网站名称：", "d_name", "用于显示在页面标题的信息", kMaxShortText, &Settings::name},
    {"网站关键字：", "d_keyword", "网站关键字", kMaxLongText, &Settings::keyword},
    {"网站描述：", "d_desc", "网站描述", kMaxLongText, &Settings::desc},
    {"电子邮件：", "d_email", "网站的电子邮箱", kMaxShortText, &Settings::email},
    {"联系地址：", "d_address", "联系地址", kMaxShortText, &Settings::address},
    {"联系电话：", "d_tel", "联系电话", kMaxShortText, &Settings::tel},
    {"传真号码：", "d_fax", "联系传真", kMaxShortText, &Settings::fax},
    {"手机号码：", "d_mobile", "手机号码", kMaxShortText, &Settings::mobile},
    {"邮政编码：", "d_postcode", "邮政编码", kMaxShortText, &Settings::postcode},
    {"网站版权：", "d_copyright", "版权所有", kMaxLongText, &Settings::copyright},
};

void CheckLength(RequestState& state, const std::string& value, int64_t max_length,
                 std::string_view label) {
  if (StrLength(Variant(value)) > max_length) {
    std::string word(label);
    if (word.size() >= 3 && word.compare(word.size() - 3, 3, "：") == 0)
      word.resize(word.size() - 3);
    AlertBack(state, "提示：" + word + "超过最大长度！");
  }
}

void ReadInstallDir(RequestState& state, const RequestReader& posted, Settings& s) {
  s.install_dir = NormalizeInstallDir(posted.Text("d_installdir"));
  if (s.install_dir.empty()) AlertBack(state, "提示：请填写软件的安装目录！");
  // The folder becomes every page's link prefix and, at the next start, where the site is
  // served from: one plain folder path, nothing that could leave the site or end an attribute.
  if (s.install_dir != "/" &&
      !IsPlainFolderPath(std::string_view(s.install_dir).substr(1, s.install_dir.size() - 2))) {
    AlertBack(state, "提示：安装目录只能由字母、数字、下划线、减号、点和“/”组成！");
  }
}

void ReadDefaultFileExt(const RequestReader& posted, Settings& s) {
  s.default_file_ext = posted.Number("d_defaultfileext", "提示：请选择首页的文件类型！");
}

// The mail component and, for JMail, its server and account.
void ReadMailSettings(RequestState& state, const RequestReader& posted, Settings& s,
                      const std::string& stored_password) {
  s.mail_flag = posted.Number("d_selectedmailflag", kParameterError);
  if (s.mail_flag != 2) return;
  s.mail_server = posted.Text("d_mailserver");
  s.mail_user = posted.Text("d_mailuser");
  // A password is kept as typed, blanks included. The form never shows the stored one: left
  // empty, the stored password stays.
  s.mail_password = posted.Raw("d_mailpassword");
  if (s.mail_password.empty()) s.mail_password = stored_password;
  if (s.mail_server.empty() || s.mail_user.empty() || s.mail_password.empty()) {
    AlertBack(state, kMailError);
  }
  CheckLength(state, s.mail_server, kMaxShortText, "邮件服务器");
  CheckLength(state, s.mail_user, kMaxShortText, "邮件用户");
  CheckLength(state, s.mail_password, kMaxShortText, "邮件密码");
}

// Both saves read and check the form in the same way; they differ only in whether the install
// folder or the home page's extension is checked first.
Settings ReadSettings(RequestState& state, const RequestReader& posted, bool edit_order,
                      const std::string& stored_password) {
  Settings s;
  s.logo = posted.Text("d_logo");
  s.logo_width = SizeOr(posted, "d_logowidth", 160);
  s.logo_height = SizeOr(posted, "d_logoheight", 60);
  s.banner = posted.Text("d_banner");
  s.banner_width = SizeOr(posted, "d_Bannerwidth", 480);
  s.banner_height = SizeOr(posted, "d_Bannerheight", 60);

  s.name = posted.Text("d_name");
  if (s.name.empty()) AlertBack(state, "提示：请填写网站名称！");
  for (const TextField& field : kTextFields) {
    s.*field.member = posted.Text(field.field);
    CheckLength(state, s.*field.member, field.max_length, field.label);
  }
  // The copyright line is HTML on every public page, which shares the console's origin: the
  // settings right does not let its holder run script there.
  s.copyright = CleanTypedHtml(s.copyright);
  if (!IsSafeAddress(s.logo) || !IsSafeAddress(s.banner)) {
    AlertBack(state, "提示：Logo和Banner的文件地址中不能有引号、尖括号和反斜杠！");
  }
  if (IsScriptLink(s.logo) || IsScriptLink(s.banner)) {
    AlertBack(state, "提示：Logo和Banner的文件地址不能使用javascript:、vbscript:或data:地址！");
  }
  CheckLength(state, s.logo, kMaxShortText, "Logo地址");
  CheckLength(state, s.banner, kMaxShortText, "Banner地址");

  ReadMailSettings(state, posted, s, stored_password);
  s.show_admin_link = posted.Text("d_showadminlink") == "1";
  s.soft_key = posted.Text("d_enablesoftkey") == "1" ? 1 : 0;
  if (edit_order) {
    ReadDefaultFileExt(posted, s);
    ReadInstallDir(state, posted, s);
  } else {
    ReadInstallDir(state, posted, s);
    ReadDefaultFileExt(posted, s);
  }

  std::optional<int64_t> page = posted.Number("d_templatepageid");
  if (!page) AlertBack(state, "提示：请选择首页的模板！");
  // Only a template page of the site home may be the home page's template.
  Variant found = state.db.Conn->ExecuteScalar(
      {.tables = {"Vantrel_TemplatePage"},
       .sql = "select count(*) from Vantrel_TemplatePage where d_id = ? and d_type = 'default'",
       .values = {Variant(*page)}});
  if (found.ToInt64Or(0) == 0) AlertBack(state, "提示：请选择首页的模板！");
  s.template_page_id = *page;
  return s;
}

// The columns both saves set (all but d_ID and d_url, which no form writes).
void SetColumns(Recordset& rs, const Settings& s) {
  for (const TextField& field : kTextFields) rs.Set(field.field, Variant(s.*field.member));
  rs.Set("d_selectedmailflag", Variant(s.mail_flag));
  rs.Set("d_mailserver", Variant(s.mail_server));
  rs.Set("d_mailuser", Variant(s.mail_user));
  rs.Set("d_mailpassword", Variant(s.mail_password));
  rs.Set("d_showadminlink", Variant(s.show_admin_link));
  rs.Set("d_enablesoftkey", Variant(s.soft_key));
  rs.Set("d_installdir", Variant(s.install_dir));
  rs.Set("d_defaultfileext", Variant(s.default_file_ext));
  rs.Set("d_templatepageid", Variant(s.template_page_id));
  rs.Set("d_logo", Variant(s.logo));
  rs.Set("d_logowidth", Variant(s.logo_width));
  rs.Set("d_logoheight", Variant(s.logo_height));
  rs.Set("d_banner", Variant(s.banner));
  rs.Set("d_Bannerwidth", Variant(s.banner_width));
  rs.Set("d_Bannerheight", Variant(s.banner_height));
}

// The columns of a settings group no page shows: written once, by the insert.
void SetUnusedColumns(Recordset& rs) {
  for (const char* column :
       {"d_sendmailflag", "d_mailonlyflag", "d_mailverifyflag", "d_recommendfriendflag", "d_wbflag",
        "d_wbtormbrate", "d_wbtopointrate", "d_pointtowbline", "d_onlinetopoint",
        "d_getpasswordflag", "d_recentarticlenum", "d_recentproductnum", "d_productcheckflag",
        "d_commentcheckflag", "d_netpayplatformflag"}) {
    rs.Set(column, Variant(0));
  }
  for (const char* column : {"d_badword", "d_wbname", "d_netpayname"}) rs.Set(column, Variant(""));
}

// The id and mail password of the row a save writes: the row named by the edit form, or, for
// the first save, the row the table already holds (a second form opened on an empty table, or
// a page posted twice); nullopt when there is none.
struct StoredRow {
  int64_t id = 0;
  std::string mail_password;
};
std::optional<StoredRow> FindRow(Connection& conn, std::optional<int64_t> id) {
  Recordset rs;
  if (id) {
    rs.Open(db::KeptRead{.tables = {"Vantrel_Config"},
                         .sql = "select d_ID, d_mailpassword from Vantrel_Config where d_ID = ?",
                         .values = {Variant(*id)}},
            conn);
  } else {
    rs.Open(db::KeptRead{.tables = {"Vantrel_Config"},
                         .sql = "select d_ID, d_mailpassword from Vantrel_Config order by d_ID"},
            conn);
  }
  std::optional<StoredRow> row;
  if (!rs.Eof()) row = StoredRow{rs["d_ID"].ToInt64Or(0), rs["d_mailpassword"].ToString()};
  rs.Close();
  return row;
}

// Writes the two scripts from the saved logo and banner; the names of those that could not be
// written.
std::vector<std::string> WriteScripts(RequestState& state, const Settings& s) {
  const HostObjects& host = state.host;
  CreateFolderPath(host, std::string_view("Js"));
  std::vector<std::string> failed;
  const std::pair<const char*, std::string> scripts[] = {
      {kLogoScript, MediaHtml(s.logo, std::to_string(s.logo_width), std::to_string(s.logo_height))},
      {kBannerScript,
       MediaHtml(s.banner, std::to_string(s.banner_width), std::to_string(s.banner_height))},
  };
  for (const auto& [path, html] : scripts) {
    if (!WriteTextFile(host, path, HtmlToJsWrite(html))) failed.push_back(path);
  }
  return failed;
}

// Writes the settings over the stored row, or as the table's first row, in one transaction;
// *row is set to the row written over (nullopt for a first row). False, with nothing written,
// when the row being edited is gone.
bool StoreSettings(Connection& conn, const Settings& s, std::optional<int64_t> edit_id,
                   std::optional<StoredRow>* row) {
  ScopedTransaction transaction(conn);
  // Looked for again inside the transaction: two first saves never make two rows.
  *row = FindRow(conn, edit_id);
  if (edit_id && !*row) return false;  // deleted meanwhile
  Recordset rs;
  if (*row) {
    rs.Open(
        db::TableRows{
            .table = "Vantrel_Config", .where = "d_ID = ?", .values = {Variant((*row)->id)}},
        conn, 1, 3);
    SetColumns(rs, s);
  } else {
    rs.Open(db::TableRows{.table = "Vantrel_Config", .where = "1 < 0"}, conn, 1, 3);
    rs.AddNew();
    SetColumns(rs, s);
    SetUnusedColumns(rs);
  }
  rs.Update();
  rs.Close();
  transaction.Commit();
  return true;
}

// The answer of a save: a first row is only stored (its scripts are written by the first save of
// the stored row); a save over the stored row writes the scripts too.
void WriteSaveAnswer(RequestState& state, const Settings& s, bool first_row) {
  const std::string back = LinkItem("?m=admin_set", "返回重新修改");
  if (first_row) {
    state.host.Response->Write(MessageBox("新增成功！", back));
    return;
  }
  std::vector<std::string> failed = WriteScripts(state, s);
  if (!failed.empty()) {
    std::string names;
    for (const std::string& name : failed) names += (names.empty() ? "" : "、") + name;
    state.host.Response->Write(
        MessageBox("设置已保存，但以下文件未能写入：" + HtmlEscapeText(names), back));
    return;
  }
  state.host.Response->Write(
      MessageBox("修改成功，如果安装路径有修改，请把原路径下的所有文件拷贝到新目录！", back));
}

void Save(RequestState& state, const ConsoleRequest& request, std::optional<int64_t> edit_id) {
  std::optional<StoredRow> row = FindRow(*state.db.Conn, edit_id);
  if (edit_id && !row) AlertBack(state, kParameterError);
  Settings s =
      ReadSettings(state, request.values, edit_id.has_value(), row ? row->mail_password : "");
  RequireFormPost(request);
  if (!StoreSettings(*state.db.Conn, s, edit_id, &row)) AlertBack(state, kParameterError);
  // The request's site values and the published install folder follow the stored row at once.
  LoadConfig(state.db, state.host, state.site);
  state.caches.Clear();
  WriteSaveAnswer(state, s, !row);
}

void Set_Add(RequestState& state, const ConsoleRequest& request) {
  Save(state, request, std::nullopt);
}

void Set_Edit(RequestState& state, const ConsoleRequest& request) {
  Save(state, request, request.query.Number("id", kParameterError));
}

// --- The form ---------------------------------------------------------------------------------

std::string HelpCell(std::string_view help, bool required = false) {
  return std::string("<td><span class=red>") + (required ? "*" : "") + "</span><span class=gray>" +
         std::string(help) + "</span></td>";
}

std::string Row(std::string_view label, const std::string& input, const std::string& help_cell) {
  return "<tr><td align=right>" + std::string(label) + "</td><td>" + input + "</td>" + help_cell +
         "</tr>\r\n";
}

// Radio buttons with the one whose value equals `checked` ticked.
std::string Radios(std::string_view name,
                   std::initializer_list<std::pair<const char*, const char*>> choices,
                   std::string_view checked) {
  std::string html;
  for (const auto& [value, text] : choices) {
    html += "<input type=radio name='" + std::string(name) + "' value='" + value + "'" +
            (checked == value ? " checked" : "") + ">" + text + " ";
  }
  return html;
}

// The text of a column of the stored row (`row` null when the table has none: then empty).
std::string Stored(const Recordset* row, std::string_view column) {
  return row ? (*row)[column].ToString() : "";
}

// The form's tag (the edit of the stored row, or the add of the first), the table's head and
// the first group's heading. The form holds the whole table, so that every field belongs to it.
std::string SettingsFormHead(const Recordset* row) {
  std::string html =
      row ? "<br><form name='form1' method='post' action='?m=admin_set&amp;action=edit&amp;id=" +
                (*row)["d_ID"].ToString() + "'>\r\n"
          : std::string(
                "<br><form name='form1' method='post' "
                "action='?m=admin_set&amp;action=add'>\r\n");
  html +=
      "<table border=0 cellspacing=1 align=center class=form>"
      "<tr><th width='15%'>设置名称</th><th width='55%'>基本参数设置</th>"
      "<th width='30%'>设置说明</th></tr>\r\n";
  return html + "<tr><td colspan=3><b>网站公用信息</b></td></tr>\r\n";
}

// The site's texts, then its logo and banner with their sizes.
std::string SiteTextRows(const Recordset* row) {
  std::string html;
  for (const TextField& field : kTextFields) {
    html += Row(field.label, TextInput(field.field, Stored(row, field.field), 40),
                HelpCell(field.help));
  }
  html += Row("网站Logo地址：",
              TextInput("d_logo", Stored(row, "d_logo"), 40) +
                  " 宽度:" + TextInput("d_logowidth", Stored(row, "d_logowidth"), 5) +
                  " 高度:" + TextInput("d_logoheight", Stored(row, "d_logoheight"), 5),
              HelpCell("图片或Flash（.swf）文件的地址，写入Js/ShowLogo.js"));
  html += Row("网站Banner地址：",
              TextInput("d_banner", Stored(row, "d_banner"), 40) +
                  " 宽度:" + TextInput("d_Bannerwidth", Stored(row, "d_bannerwidth"), 5) +
                  " 高度:" + TextInput("d_Bannerheight", Stored(row, "d_bannerheight"), 5),
              HelpCell("图片或Flash（.swf）文件的地址，写入Js/ShowBanner.js"));
  return html;
}

// The mail component, server and account. The stored password never goes into the page: an
// empty field keeps it.
std::string MailRows(const Recordset* row) {
  std::string flag = row ? (*row)["d_selectedmailflag"].ToString() : "0";
  if (flag != "0" && flag != "1") flag = "2";
  std::string html =
      Row("发送邮件的组件：",
          Radios("d_selectedmailflag", {{"0", "不启用"}, {"1", "CDONT"}, {"2", "JMail"}}, flag),
          HelpCell("网站选择的邮件服务器"));
  html += Row("邮件服务器：", TextInput("d_mailserver", Stored(row, "d_mailserver"), 40),
              HelpCell("使用jmail的邮件服务器"));
  html += Row("邮件用户：", TextInput("d_mailuser", Stored(row, "d_mailuser"), 40),
              HelpCell("使用jmail的邮件用户"));
  bool has_password = row && !(*row)["d_mailpassword"].ToString().empty();
  html += Row("邮件密码：", "<input type=password name='d_mailpassword' size=40 value=''>",
              HelpCell(has_password ? "使用jmail的邮件用户的密码（已设置，不修改请留空）"
                                    : "使用jmail的邮件用户的密码"));
  return html;
}

const char kRequiredHelp[] = "<td> <span class=red>*</span> <span class=gray>";

// The sign-in choices, the install folder and the home page's extension.
std::string SiteChoiceRows(const Recordset* row) {
  auto yes_no = [row](std::string_view column) {
    return row && !(*row)[column].Equals(Variant(0)) ? "1" : "0";
  };
  std::string html =
      Row("管理登陆标识：",
          Radios("d_showadminlink", {{"0", "否"}, {"1", "是"}}, yes_no("d_showadminlink")),
          HelpCell("在前台是否需要显示管理员链接入口"));
  html += Row("安全登陆标识：",
              Radios("d_enablesoftkey", {{"0", "否"}, {"1", "是"}}, yes_no("d_enablesoftkey")),
              HelpCell("后台登陆是否启用软键盘输入密码"));
  html += Row("系统安装路径：",
              "<input type=text name='d_installdir' size=40 value=\"" +
                  HtmlEscapeAttr(Stored(row, "d_installdir")) + "\">",
              HelpCell("系统的安装路径", true));
  html += Row("网站首页的扩展名：",
              Radios("d_defaultfileext",
                     {{"0", "html"}, {"1", "htm"}, {"2", "shtml"}, {"3", "shtm"}, {"4", "asp"}},
                     row ? (*row)["d_defaultfileext"].ToString() : "0"),
              std::string(kRequiredHelp) + "首页的扩展名</span></td>");
  return html;
}

void Set_ShowForm(RequestState& state) {
  Recordset rs;
  rs.Open(db::KeptRead{.tables = {"Vantrel_Config"},
                       .sql = "select * from Vantrel_Config order by d_ID"},
          *state.db.Conn);
  const Recordset* row = rs.Eof() ? nullptr : &rs;
  std::string html =
      SettingsFormHead(row) + SiteTextRows(row) + MailRows(row) + SiteChoiceRows(row);
  Variant template_page = row ? rs["d_templatepageid"] : Variant("");
  rs.Close();
  html +=
      Row("网站首页模板：",
          BuildBoundSelect(state.db, "d_templatepageid", template_page,
                           {.tables = {"Vantrel_TemplatePage"},
                            .sql = "select d_name, d_id from Vantrel_TemplatePage where d_type = "
                                   "'default'"},
                           ""),
          std::string(kRequiredHelp) + "首页使用的模板</span></td>");
  html +=
      "<tr align=center><td colspan=3><input type=submit name='btnAdd' value='保 存'></td></tr>"
      "\r\n</table></form>\r\n";
  state.host.Response->Write(html);
}

}  // namespace

std::string NormalizeInstallDir(const std::string& text) {
  std::string dir = Trim(text);
  if (dir.empty()) return dir;
  if (dir.front() != '/') dir = "/" + dir;
  if (dir.back() != '/') dir += "/";
  return dir;
}

void Set_Main(RequestState& state, const ConsolePage& page) {
  const ConsoleRequest& request = page.request;
  RunAdminAction(state, request.action,
                 {{"add", [&request](RequestState& s) { Set_Add(s, request); }},
                  {"edit", [&request](RequestState& s) { Set_Edit(s, request); }}},
                 Set_ShowForm);
}

}  // namespace folirex
