#include "articles/upload_popup.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "articles/upload_parser.h"
#include "articles/upload_rules.h"
#include "core/folder_names.h"
#include "core/messages.h"
#include "core/site_config.h"
#include "core/site_files.h"
#include "core/text_helpers.h"
#include "platform/fs/site_path.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "site/interaction_text.h"

namespace folirex {
namespace {

constexpr int64_t kDefaultLimitKb = 10000;

// What one request of the pop-up works with, read and checked by Upload_Main.
struct UploadTarget {
  std::string channel_id;  // "" when the opener gives none
  std::string type;        // upper case
  std::string field;       // "form.field"
  std::string lm;          // upper case
  std::string allow_ext;   // "|"-separated
  std::string folder;      // site address from the web root, ending in "/"
  int64_t limit_kb = kDefaultLimitKb;
};

// The channel's upload settings, or nothing when the channel does not exist.
struct ChannelUpload {
  std::string upload_dir;
  std::string file_types;
  int64_t max_kb = 0;
};

std::optional<ChannelUpload> ReadChannel(RequestState& state, const std::string& id) {
  Recordset rs;
  rs.Open("select d_uploaddir, d_upfiletype, d_maxfilesize from Vantrel_Channel where d_id = ?",
          {Variant(std::stoll(id))}, *state.db.Conn, 0, 1);
  if (rs.Eof()) return std::nullopt;
  ChannelUpload channel{.upload_dir = Trim(rs["d_uploaddir"].ToString()),
                        .file_types = rs["d_upfiletype"].ToString()};
  // 0 (or a value that is no number) is no limit of the channel's own.
  channel.max_kb = std::max<int64_t>(0, rs["d_maxfilesize"].ToInt64Or(0));
  rs.Close();
  return channel;
}

std::string AllowExtOf(const std::string& type, const ChannelUpload& channel) {
  if (type == "FILE") return "rar|zip|doc|xls|chm|hlp";
  if (type == "MEDIA") return "rm|mp3|wav|mid|midi|ra|avi|mpg|mpeg|asf";
  if (type == "FLASH") return "swf";
  if (type == "ARTICLE" || type == "MENUICO") return channel.file_types;
  return "gif|jpg|jpeg|bmp|swf";  // IMAGE
}

bool IsKnownType(const std::string& type) {
  return type == "FILE" || type == "MEDIA" || type == "FLASH" || type == "ARTICLE" ||
         type == "MENUICO" || type == "IMAGE";
}

// A number from 100 to 999 for a new file name.
int DrawNumber() {
  thread_local std::mt19937 generator{std::random_device{}()};
  return std::uniform_int_distribution<int>(100, 999)(generator);
}

UploadTarget ReadTarget(RequestState& state, const RequestReader& query) {
  UploadTarget target;
  target.channel_id = query.Text("channelid");
  target.type = UCase(query.Text("type"));
  target.field = query.Text("field");
  target.lm = UCase(query.Text("lm"));
  if (!IsKnownType(target.type) || !IsOpenerFieldPath(target.field)) {
    AlertBack(state, kParameterError);
  }

  ChannelUpload channel;
  if (!target.channel_id.empty()) {
    if (!interaction::IsId(Variant(target.channel_id))) AlertBack(state, kParameterError);
    std::optional<ChannelUpload> row = ReadChannel(state, target.channel_id);
    if (!row) AlertBack(state, kParameterError);
    channel = *row;
  }
  // Article and menu-icon uploads take their types (and article uploads their folder and
  // limit) from the channel: without one there is nothing to allow and nowhere to store.
  bool needs_channel =
      target.type == "ARTICLE" || target.type == "MENUICO" || target.lm == "ARTICLE";
  if (needs_channel && target.channel_id.empty()) AlertBack(state, kParameterError);
  target.allow_ext = AllowExtOf(target.type, channel);

  std::string server_path = state.host.Application->Get("server_path").ToString();
  const std::string& lm = target.lm;
  if (lm == "LINK" || lm == "AD" || lm == "ZZ" || lm == "WEB") {
    target.folder = server_path + "Uploads/";
  } else if (lm == "MENUICO") {
    target.folder = server_path + "NAVIMENU/ICO/";
  } else if (lm == "ARTICLE") {
    // The channel's upload folder is a plain relative name, so the file stays inside it.
    if (!IsPlainFolderPath(channel.upload_dir)) {
      AlertBack(state, "提示：频道的上传目录设置不正确！");
    }
    target.folder = GetChannelPath(state.host, state.db, state.caches, Variant(target.channel_id)) +
                    channel.upload_dir + "/";
    target.limit_kb = channel.max_kb;
  } else {
    AlertBack(state, kParameterError);
  }
  return target;
}

void Upload_ShowForm(RequestState& state, const UploadTarget& target) {
  std::string action = "?m=uploadfile&channelid=" + target.channel_id +
                       "&action=save&type=" + target.type + "&field=" + target.field +
                       "&lm=" + target.lm;
  std::string html =
      "<HTML>\r\n<HEAD>\r\n<TITLE>文件上传</TITLE>\r\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\r\n"
      "<style type=\"text/css\">\r\n"
      "body, a, table, div, span, td, th, input, select {font-size:9pt; "
      "font-family: \"宋体\", Verdana, Arial, Helvetica, sans-serif;}\r\n"
      // Current browsers read the colour name of bgcolor=menu as hex digits, almost black; the
      // system menu colours are what it names.
      "body[bgcolor=menu] {background-color: Menu; color: MenuText;}\r\n"
      "</style>\r\n"
      "<script language=\"javascript\">\r\n"
      "var sAllowExt = \"" +
      interaction::ScriptStringEncode(target.allow_ext) +
      "\";\r\n"
      "function CheckUploadForm() {\r\n"
      "  if (!IsExt(document.myform.uploadfile.value, sAllowExt)) {\r\n"
      "    alert(\"提示：\\n\\n请选择一个有效的文件，\\n支持的格式有（\" + sAllowExt + "
      "\"）！\");\r\n"
      "    return false;\r\n"
      "  }\r\n"
      "  return true;\r\n"
      "}\r\n"
      "function IsExt(url, opt) {\r\n"
      "  var sTemp;\r\n"
      "  var b = false;\r\n"
      "  var s = opt.toUpperCase().split(\"|\");\r\n"
      "  for (var i = 0; i < s.length; i++) {\r\n"
      "    sTemp = url.substr(url.length - s[i].length - 1);\r\n"
      "    sTemp = sTemp.toUpperCase();\r\n"
      "    s[i] = \".\" + s[i];\r\n"
      "    if (s[i] == sTemp) {\r\n"
      "      b = true;\r\n"
      "      break;\r\n"
      "    }\r\n"
      "  }\r\n"
      "  return b;\r\n"
      "}\r\n"
      "</script>\r\n"
      "</head>\r\n"
      "<body bgcolor=menu>\r\n"
      "文件上传：（" +
      HtmlEscapeText(target.allow_ext) +
      "）\r\n"
      "<form name=\"myform\" method=\"post\" enctype=\"multipart/form-data\" "
      "onsubmit=\"return CheckUploadForm();\" action=\"" +
      HtmlEscapeAttr(action) +
      "\">\r\n"
      "<input type=\"file\" name=\"uploadfile\" size=\"30\">\r\n"
      "<input type=\"submit\" name=\"bSubmit\" value=\"上传\">\r\n"
      "</form>\r\n</body>\r\n</html>\r\n";
  state.host.Response->Write(html);
}

void Upload_Save(RequestState& state, const UploadTarget& target, const RequestReader& request) {
  UpFile_Class upload;
  upload.Parse(request.Body(), target.limit_kb * 1024);
  if (upload.Err == kUploadTooLarge) {
    AlertBack(state,
              "你上传的文件总大小超出了最大限制（" + std::to_string(target.limit_kb) + "KB）！");
  }
  if (upload.Err != kUploadOk) AlertBack(state, "请选择有效的上传文件！");

  auto part = upload.File.find("uploadfile");
  std::string ext = part == upload.File.end() ? "" : LCase(part->second.FileExt);
  if (!IsAllowedExtension(ext, target.allow_ext)) {
    AlertBack(state, "提示：\\n\\n请选择一个有效的文件\\n支持的格式有（" +
                         interaction::ScriptStringEncode(target.allow_ext) + "）！");
  }

  // The folder is made when missing (a new channel's upload folder), and must lie inside the
  // site once made, links included.
  constexpr char kSaveFailed[] = "提示：文件保存失败，请检查上传目录！";
  std::filesystem::path folder;
  try {
    if (!CreateFolderPath(state.host, std::string_view(target.folder))) {
      AlertBack(state, kSaveFailed);
    }
    folder = state.host.Server->MapPath(target.folder);
  } catch (const HostError&) {
    AlertBack(state, kSaveFailed);
  }
  if (!fs::IsInside(state.host.Server->site_root(), folder)) AlertBack(state, kSaveFailed);

  std::optional<std::string> name = StoreUpload(part->second, folder, ext, DateTime::Now(),
                                                DrawNumber, state.host.Server->folder_names());
  if (!name) AlertBack(state, kSaveFailed);
  state.host.Response->Write(OpenerFieldScript(target.field, target.folder + *name, false));
}

}  // namespace

void Upload_Main(RequestState& state, const ConsolePage& page) {
  UploadTarget target = ReadTarget(state, page.request.query);
  if (page.request.action == "save") {
    Upload_Save(state, target, page.request.values);
  } else {
    Upload_ShowForm(state, target);
  }
}

}  // namespace folirex
