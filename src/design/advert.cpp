#include "design/advert.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "console/admin_pager.h"
#include "console/console_text.h"
#include "core/console_request.h"
#include "core/id_list.h"
#include "core/messages.h"
#include "core/script_link.h"
#include "core/site_files.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/db/sql_params.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "site/interaction_text.h"

namespace folirex {
namespace {

constexpr const char* kListUrl = "?m=admin_ad";
constexpr const char* kBadId = "无效的ID号，请点击页面链接操作！";
constexpr const char* kScriptFolder = "js/ad";
constexpr int64_t kPageSize = 20;
constexpr size_t kMaxCodeLength = 50;
constexpr int64_t kMaxAddressLength = 100;
constexpr size_t kListTextLength = 60;
// The Flash plug-in's cabinet and download page.
constexpr const char* kFlashCabinet =
    "https://download.macromedia.com/pub/shockwave/cabs/flash/swflash.cab";
constexpr const char* kFlashDownloadPage =
    "https://www.macromedia.com/shockwave/download/index.cgi?P1_Prod_Version=ShockwaveFlash";

// The list's filter and the query that keeps it (and the page) in the list's links.
struct ListQuery {
  std::string type;   // "0", "1", "2" or ""
  std::string query;  // "type=" + type + "&page=" + page
};

ListQuery AD_InitQuery(const ConsoleRequest& request) {
  ListQuery q;
  std::string type = request.query.Text("type");
  if (type == "0" || type == "1" || type == "2") q.type = type;
  // Only a page number goes back into the links.
  std::string page = request.values.Number("page") ? request.values.Text("page") : "";
  q.query = "type=" + q.type + "&page=" + page;
  return q;
}

void AD_ShowNavi(RequestState& state) {
  const char* gap = "&nbsp;&nbsp;&nbsp;&nbsp;";
  state.host.Response->Write(
      std::string("<table border=0 cellspacing=1 align=center class=navi>"
                  "<tr><th>当前位置：系统管理&gt;&gt;广告管理</th></tr><tr><td align=center>"
                  "[<a href='?m=admin_ad'>所有广告</a>]") +
      gap + "[<a href='?m=admin_ad&amp;type=0'>图片广告</a>]" + gap +
      "[<a href='?m=admin_ad&amp;type=1'>Flash广告</a>]" + gap +
      "[<a href='?m=admin_ad&amp;type=2'>文字广告</a>]" + gap +
      "[<a href='?m=admin_ad&amp;action=add'>新增广告</a>]" + gap +
      // Writing the scripts changes files: the link posts a form.
      "[<a href='?m=admin_ad&amp;action=js' "
      "onclick=\"document.forms['adjsform'].submit();return false;\">JS生成</a>]" +
      gap + "[<a href='#' onclick='history.back();return false;'>返回前一页</a>]" +
      "</td></tr></table><br>\r\n"
      "<form name='adjsform' method='post' action='?m=admin_ad&amp;action=js' "
      "style='margin:0'></form>\r\n");
}

// An address the list may open in a new window: a web address or one from the site root.
bool IsOpenableAddress(std::string_view src) {
  std::string lower = LCase(std::string(src.substr(0, 8)));
  return lower.starts_with("http://") || lower.starts_with("https://") ||
         (src.starts_with("/") && !src.starts_with("//"));
}

std::string TypeCell(const Recordset& rs) {
  int64_t type = rs["d_type"].ToInt64Or(-1);
  if (type == 1) return "Flash";
  if (type != 0) return "文字";
  std::string src = rs["d_src"].ToString();
  if (!IsOpenableAddress(src)) return "图片";
  return "<a href='" + HtmlEscapeAttr(src) + "' target='_blank'>图片</a>";
}

// One row of the list; `query_attr` is the list's query, encoded for the attribute.
std::string AdvertListRow(const Recordset& rs, const std::string& query_attr) {
  std::string id = rs["d_id"].ToString();
  std::string text = rs["d_text"].ToString();
  // Cut before encoding, so that no entity is cut in half.
  if (interaction::CharCount(text) > kListTextLength) text = CutStr(Variant(text), 40);
  return "<tr align=center><td>" + id +
         "</td><td><a href='?m=admin_ad&amp;action=modi&amp;id=" + id + "&amp;" + query_attr +
         "' title='编辑此广告'>" + HTMLEncode(rs["d_code"]) + "</a></td><td>" + TypeCell(rs) +
         "</td><td>" + HTMLEncode(Variant(text)) + "</td><td>" + HTMLEncode(rs["d_desc"]) +
         "</td><td><input type=checkbox name='checkid' value='" + id + "'></td></tr>\r\n";
}

// The row under a list with rows: the pager's links and counts, and the bulk action.
std::string AdvertPagerRow(const AdminPager& pager) {
  return "<tr><td colspan=6><table border=0 cellspacing=0 cellpadding=0 width='100%'><tr><td>" +
         pager.PagerFirstLink + "&nbsp;" + pager.PagerPrevLink + "&nbsp;" + pager.PagerNextLink +
         "&nbsp;" + pager.PagerLastLink + "&nbsp;&nbsp;&nbsp;&nbsp;共<b>" +
         std::to_string(pager.PagerRecordCount) + "</b>个&nbsp;&nbsp;页次:<b>" +
         std::to_string(pager.PagerPage) + "/" + std::to_string(pager.PagerPageCount) +
         "</b>&nbsp;&nbsp;<b>" + std::to_string(kPageSize) +
         "</b>个/页</td><td align=right>操作：<select name='checkaction' size=1>"
         "<option value='del' selected>删除</option></select> "
         "<input type=button name='btnDO' value='执行' onclick='doAction(this)'></td></tr>"
         "</table></td></tr>\r\n";
}

void AD_ShowList(RequestState& state, const ListQuery& q) {
  AdminPager pager;
  pager.PagerPageSize = kPageSize;
  pager.PagerRows = {.table = "Vantrel_AD", .where = "1=1", .order = "d_id asc"};
  if (!q.type.empty()) {
    pager.PagerRows.where += " and d_type=?";
    pager.PagerRows.values.push_back(SqlNumber(q.type[0] - '0'));
  }
  pager.PagerUrl = "?m=admin_ad&type=" + q.type + "&";

  const std::string query_attr = HtmlEscapeAttr(q.query);
  std::string html =
      "<form name='listform' method='post' action='?m=admin_ad&amp;" + query_attr +
      "&amp;action='>\r\n<table border=0 cellspacing=1 align=center class=list>\r\n"
      "<tr><th width='7%'>ID</th><th width='10%'>调用代码</th><th width='10%'>广告类型</th>"
      "<th width='30%'>文字说明</th><th width='30%'>备注</th><th width='5%'>"
      "<input type=checkbox name='checkallid' onclick='doCheckAll(this)'></th></tr>\r\n";
  pager.Pager_Open(state);
  if (pager.PagerRecordCount > 0) {
    Recordset& rs = *pager.PagerRs;
    for (int64_t n = 0; n < kPageSize && !rs.Eof(); ++n, rs.MoveNext()) {
      html += AdvertListRow(rs, query_attr);
    }
  } else {
    html += "<tr><td colspan=6 align=center>无数据！</td></tr>\r\n";
  }
  pager.Pager_Close();
  if (pager.PagerRecordCount > 0) html += AdvertPagerRow(pager);
  html +=
      "</table>\r\n</form>\r\n<br><table border=0 cellspacing=1 align=center class=list>"
      "<tr><th>操作注意事项及说明</th></tr><tr><td>·<b>相应广告调用方法：</b><span class=gray>"
      "&lt;script language=\"javascript\" src=\"{$ShowInstallDir}js/ad/调用代码.js\"&gt;"
      "&lt;/script&gt;</span></td></tr></table>\r\n";
  state.host.Response->Write(html);
}

struct AdvertForm {
  int64_t type = 0;
  std::string code, url = "http://", text, src = "http://", desc;
  int64_t width = 0, height = 0;
};

// The form's checks in the browser and its upload pop-up; `edit` chooses how the pop-up opens.
std::string FormScript(bool edit) {
  const std::string upload_url = "?m=uploadfile&type='+type+'&lm=ad&field=myform.d_src";
  std::string html =
      "<script language=javascript>\r\n"
      "function checkForm(){\r\n"
      "  "
      "if(!ChkText(document.myform.d_code,50,\"调用代码：不能为空，且不超过50个字符长度！\",true))"
      "return false;\r\n"
      "  if(!ChkText(document.myform.d_url,100,\"链接地址：不超过100个字符长度！\",false))"
      "return false;\r\n"
      "  if(!ChkText(document.myform.d_src,100,\"文件地址：不超过100个字符长度！\",false))"
      "return false;\r\n"
      "  if(!ChkText(document.myform.d_desc,100,\"备注说明：不超过100个字符长度！\",false))"
      "return false;\r\n"
      "  if(BASEisNotInt(document.myform.d_width.value)){"
      "BaseAlert(document.myform.d_width,\"宽度：必须为数字，无用时可填0！\");return false;}\r\n"
      "  if(BASEisNotInt(document.myform.d_height.value)){"
      "BaseAlert(document.myform.d_height,\"高度：必须为数字，无用时可填0！\");return false;}\r\n"
      "  return true;\r\n"
      "}\r\n"
      "function openUploadWin(){\r\n"
      "  var types=document.myform.d_type;\r\n"
      "  var type='image';\r\n"
      "  if(types[1].checked)type='flash';\r\n"
      "  if(types[2].checked){alert('文字广告，不需要上传文件！');return;}\r\n";
  html += edit ? "  window.open('" + upload_url +
                     "','Upload','height=50,width=350,top=0,left=0,toolbar=no,menubar=no,"
                     "scrollbars=no,resizable=yes,location=no,status=no');\r\n"
               : "  g_OpenWindow('" + upload_url + "','350','50');\r\n";
  html += "}\r\n</script>\r\n";
  return html;
}

// The add and edit form: `action` is its address (markup); `edit` chooses how the upload
// pop-up opens.
void WriteForm(RequestState& state, std::string_view action, const AdvertForm& ad, bool edit) {
  std::string html = FormScript(edit);
  auto row = [](std::string_view label, const std::string& input, std::string_view hint) {
    return "<tr><td align=right>" + std::string(label) + "</td><td>" + input + "</td><td>" +
           std::string(hint) + "</td></tr>\r\n";
  };
  std::string radios;
  const char* kinds[] = {"图片广告", "Flash广告", "文字广告"};
  for (int i = 0; i < 3; ++i) {
    radios += "<input type=radio name='d_type' value='" + std::to_string(i) + "'" +
              (ad.type == i ? " checked" : "") + ">" + kinds[i] + " ";
  }
  html += "<form name='myform' method='post' action='" + std::string(action) +
          "' onsubmit='return checkForm();'>\r\n"
          "<table border=0 cellspacing=1 align=center class=form>\r\n<tr><th colspan=3>" +
          std::string(edit ? "修改广告" : "新增广告") + "</th></tr>\r\n";
  html += row("广告类型：", radios, "<span class=red>*</span>");
  html += row("调用代码：", TextInput("d_code", ad.code, 50),
              "<span class=red>*</span> 不超过50个字符长度，只用字母、数字、下划线和减号");
  html += row("链接地址：", TextInput("d_url", ad.url, 50), "无地址请填“#”号，Flash广告可不填");
  html += row("文字说明：", TextInput("d_text", ad.text, 50), "文字广告必填，图片广告为Alt");
  html += row("广告大小：",
              "宽度:" + TextInput("d_width", std::to_string(ad.width), 10) +
                  " 高度:" + TextInput("d_height", std::to_string(ad.height), 10),
              "非文字广告必填，数字型，不用请填0");
  html += row("文件地址：",
              TextInput("d_src", ad.src, 50) +
                  " <input type=button name='btnUpload' value='上传文件' "
                  "onclick='openUploadWin()'>",
              "图片广告或Flash广告必需");
  html += row("备注说明：", TextInput("d_desc", ad.desc, 50), "说明广告在前台表现的位置");
  html +=
      "<tr><td colspan=3 align=center><input type=submit name='bSubmit' value='  提交  '> "
      "<input type=reset name='bReset' value='  重填  '></td></tr>\r\n</table>\r\n</form>\r\n";
  state.host.Response->Write(html);
}

void AD_ShowAdd(RequestState& state) {
  WriteForm(state, "?m=admin_ad&amp;action=addsave", AdvertForm{}, false);
}

// The id of the request, or the end of the request with the page's message.
int64_t RequestId(const ConsoleRequest& request) { return request.values.Id("id", kBadId); }

void AD_ShowModify(RequestState& state, const ConsoleRequest& request) {
  int64_t id = RequestId(request);
  Recordset rs;
  OpenRowOrRefuse(state, rs, "select * from Vantrel_AD where d_id=?", {Variant(id)}, RowUse::kRead,
                  kBadId);
  AdvertForm ad;
  ad.type = rs["d_type"].ToInt64Or(-1);
  ad.code = rs["d_code"].ToString();
  ad.url = rs["d_url"].ToString();
  ad.text = rs["d_text"].ToString();
  ad.src = rs["d_src"].ToString();
  ad.desc = rs["d_desc"].ToString();
  ad.width = rs["d_width"].ToInt64Or(0);
  ad.height = rs["d_height"].ToInt64Or(0);
  rs.Close();
  WriteForm(state, "?m=admin_ad&amp;action=modisave&amp;id=" + std::to_string(id), ad, true);
}

void CheckLength(RequestState& state, const std::string& value, const char* message) {
  if (StrLength(Variant(value)) > kMaxAddressLength) AlertBack(state, message);
}

// The posted advertisement, checked as the form's script checks it and for what the script
// writer needs: a code that names a file of its own, a known kind. `id` is the row being edited
// (0 for a new one).
AdvertForm ReadAdvert(RequestState& state, const ConsoleRequest& request, int64_t id) {
  const RequestReader& posted = request.values;
  AdvertForm ad;
  ad.code = posted.Text("d_code");
  if (ad.code.empty() || interaction::CharCount(ad.code) > kMaxCodeLength) {
    AlertBack(state, "调用代码：不能为空，且不超过50个字符长度！");
  }
  if (!IsAdvertCode(ad.code)) AlertBack(state, "调用代码：只能由字母、数字、下划线和减号组成！");
  std::string type = posted.Text("d_type");
  if (type != "0" && type != "1" && type != "2") AlertBack(state, kParameterError);
  ad.type = type[0] - '0';
  ad.text = posted.Text("d_text");
  ad.url = posted.Text("d_url");
  ad.src = posted.Text("d_src");
  ad.desc = posted.Text("d_desc");
  CheckLength(state, ad.url, "链接地址：不超过100个字符长度！");
  CheckLength(state, ad.src, "文件地址：不超过100个字符长度！");
  CheckLength(state, ad.desc, "备注说明：不超过100个字符长度！");
  if (IsScriptLink(ad.url)) AlertBack(state, kScriptLinkRefused);
  if (IsScriptLink(ad.src)) {
    AlertBack(state, "提示：文件地址不能使用javascript:、vbscript:或data:地址！");
  }
  ad.width = posted.Number("d_width").value_or(0);
  ad.height = posted.Number("d_height").value_or(0);
  // Two advertisements of one code would write one file, the later hiding the earlier. Codes
  // compare without letter case, as the site's file names do.
  Variant taken = state.db.Conn->ExecuteScalar(
      "select count(*) from Vantrel_AD where d_code = ? and d_id <> ?", {Variant(ad.code), id});
  if (taken.ToInt64Or(0) > 0) AlertBack(state, "调用代码：已被其他广告使用，请换一个！");
  RequireFormPost(request);
  return ad;
}

void SetColumns(Recordset& rs, const AdvertForm& ad) {
  rs.Set("d_code", Variant(ad.code));
  rs.Set("d_type", Variant(ad.type));
  rs.Set("d_text", Variant(ad.text));
  rs.Set("d_url", Variant(ad.url));
  rs.Set("d_src", Variant(ad.src));
  rs.Set("d_width", Variant(ad.width));
  rs.Set("d_height", Variant(ad.height));
  rs.Set("d_desc", Variant(ad.desc));
}

void AD_SaveAdd(RequestState& state, const ConsoleRequest& request) {
  AdvertForm ad = ReadAdvert(state, request, 0);
  Recordset rs;
  rs.Open(db::TableRows{.table = "Vantrel_AD", .where = "d_id=0"}, *state.db.Conn, 1, 3);
  rs.AddNew();
  SetColumns(rs, ad);
  rs.Update();
  rs.Close();
  state.host.Response->Write(
      MessageBox("广告增加保存成功！", LinkItem(kListUrl, "返回所有广告列表") +
                                           LinkItem("?m=admin_ad&amp;action=add", "继续增加广告")));
}

void AD_SaveModify(RequestState& state, const ConsoleRequest& request) {
  int64_t id = RequestId(request);
  AdvertForm ad = ReadAdvert(state, request, id);
  Recordset rs;
  OpenRowOrRefuse(state, rs, "select * from Vantrel_AD where d_id=?", {Variant(id)},
                  RowUse::kChange, kBadId);
  SetColumns(rs, ad);
  rs.Update();
  rs.Close();
  state.host.Response->Write(MessageBox(
      "广告修改保存成功！",
      LinkItem(kListUrl, "返回所有广告列表") +
          LinkItem("?m=admin_ad&amp;action=modi&amp;id=" + std::to_string(id), "重新修改此广告")));
}

void AD_Delete(RequestState& state, const ConsoleRequest& request) {
  if (!request.values.Text("checkid").empty()) {
    const IdList list = request.values.Ids("checkid", kParameterError);
    RequireFormPost(request);
    BoundSql in = IdsIn("d_id", list.ids);
    state.db.Conn->Execute("delete from Vantrel_AD where " + in.sql, in.params);
  }
  state.host.Response->Redirect(kListUrl);
}

void AD_MakeJs(RequestState& state, const ConsoleRequest& request) {
  RequireFormPost(request);
  const HostObjects& host = state.host;
  CreateFolderPath(host, std::string_view(kScriptFolder));
  std::vector<std::string> failed;
  Recordset rs;
  rs.Open("select * from Vantrel_AD order by d_id", *state.db.Conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) {
    std::string code = rs["d_code"].ToString();
    Advert ad{.type = rs["d_type"].ToInt64Or(-1),
              .text = rs["d_text"].ToString(),
              .url = rs["d_url"].ToString(),
              .src = rs["d_src"].ToString(),
              .width = rs["d_width"].ToInt64Or(0),
              .height = rs["d_height"].ToInt64Or(0)};
    // A code that is not a plain name (a row from before the codes were checked) writes no file.
    if (!IsAdvertCode(code) || !WriteTextFile(host, std::string(kScriptFolder) + "/" + code + ".js",
                                              HtmlToJsWrite(AdvertHtml(ad)))) {
      failed.push_back(code);
    }
  }
  rs.Close();
  std::string back = LinkItem(kListUrl, "返回所有广告列表");
  if (failed.empty()) {
    state.host.Response->Write(MessageBox("前台JS文件生成成功！", back));
    return;
  }
  std::string names;
  for (const std::string& code : failed) names += (names.empty() ? "" : "、") + code;
  state.host.Response->Write(
      MessageBox("以下广告的JS文件未能写入：" + HtmlEscapeText(names), back));
}

}  // namespace

bool IsAdvertCode(const std::string& code) {
  if (code.empty() || code.size() > kMaxCodeLength) return false;
  for (char c : code) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '_' || c == '-';
    if (!plain) return false;
  }
  return true;
}

std::string AdvertHtml(const Advert& ad) {
  const std::string width = std::to_string(ad.width);
  const std::string height = std::to_string(ad.height);
  // Addresses stored before script addresses were refused are written harmless.
  const std::string url = HtmlEscapeAttr(SafeLink(ad.url));
  const std::string src = HtmlEscapeAttr(SafeLink(ad.src));
  switch (ad.type) {
    case 0: {
      std::string html = "<a href='" + url + "' target='_blank'><img border=0 src='" + src +
                         "' width='" + width + "' height='" + height + "'";
      if (!ad.text.empty()) html += " alt='" + HtmlEscapeAttr(ad.text) + "'";
      return html + "></a>";
    }
    case 1:
      return std::string(
                 "<OBJECT classid='clsid:D27CDB6E-AE6D-11cf-96B8-444553540000' codebase='") +
             kFlashCabinet + "#version=5,0,0,0' WIDTH='" + width + "' HEIGHT='" + height +
             "'><PARAM NAME=movie VALUE='" + src + "'><PARAM NAME=quality VALUE=high><EMBED src='" +
             src + "' quality=high WIDTH='" + width + "' HEIGHT='" + height +
             "' TYPE='application/x-shockwave-flash' PLUGINSPAGE='" + kFlashDownloadPage +
             "'></EMBED></OBJECT>";
    case 2:
      if (ad.url.empty()) return HtmlEscapeText(ad.text);
      return "<a href='" + url + "' target='_blank'>" + HtmlEscapeText(ad.text) + "</a>";
    default:
      return "";
  }
}

void AD_Main(RequestState& state, const ConsolePage& page) {
  const ConsoleRequest& request = page.request;
  const ListQuery query = AD_InitQuery(request);
  AdminHeader(state);
  AD_ShowNavi(state);
  const std::string& action = request.action;
  if (action == "js") {
    AD_MakeJs(state, request);
  } else if (action == "modisave") {
    AD_SaveModify(state, request);
  } else if (action == "modi") {
    AD_ShowModify(state, request);
  } else if (action == "del") {
    AD_Delete(state, request);
  } else if (action == "addsave") {
    AD_SaveAdd(state, request);
  } else if (action == "add") {
    AD_ShowAdd(state);
  } else {
    AD_ShowList(state, query);
  }
  AdminFooter(state);
}

}  // namespace folirex
