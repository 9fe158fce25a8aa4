#include "articles/upload_folder.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "articles/upload_references.h"
#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "console/console_text.h"
#include "core/folder_names.h"
#include "core/id_list.h"
#include "core/messages.h"
#include "core/site_config.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/db/sql_params.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kFilesPerPage = 20;
constexpr int64_t kFilesPerRow = 4;

// The channel's values and the upload folder, read once by the entry.
struct UploadContext {
  std::string channel;        // the channel id, digits
  std::string base;           // "?m=admin_uploadfile&channelid=<id>"
  std::string folder;         // the upload folder's address from the install folder: "news/pic/"
  fs::path root;              // the upload folder on disk, resolved; empty when it cannot be mapped
  std::string content_table;  // the table whose rows name uploaded files; "" for none
};

struct FileEntry {
  std::string name;
  fs::path path;
};

std::string UrlEncode(RequestState& state, std::string_view text) {
  return state.host.Server->URLEncode(text);
}

bool Inside(const fs::path& root, const fs::path& path) {
  if (root.empty()) return false;
  fs::path relative = path.lexically_relative(root);
  return !relative.empty() && *relative.begin() != "..";
}

// The disk path of a site address with every link resolved, when it lies inside the upload
// folder (or is the folder itself).
std::optional<fs::path> ResolveInside(RequestState& state, const UploadContext& upload,
                                      std::string_view address) {
  if (upload.root.empty() || address.empty()) return std::nullopt;
  fs::path mapped;
  try {
    mapped = state.host.Server->MapPath(address);
  } catch (const HostError&) {
    return std::nullopt;
  }
  std::error_code ec;
  fs::path resolved = fs::weakly_canonical(mapped, ec);
  if (ec || !Inside(upload.root, resolved)) return std::nullopt;
  return resolved;
}

// A folder address from the request, ending in "/", resolved inside the upload folder and
// existing as a folder; nullopt otherwise.
std::optional<fs::path> ResolveFolder(RequestState& state, const UploadContext& upload,
                                      std::string* address) {
  if (!address->empty() && address->back() != '/') *address += '/';
  std::optional<fs::path> folder = ResolveInside(state, upload, *address);
  std::error_code ec;
  if (!folder || !fs::is_directory(*folder, ec)) return std::nullopt;
  return folder;
}

// The plain files of a folder (no links, no folders), sorted by name so that pages stay put.
// False when the folder cannot be read.
bool ListFiles(const fs::path& folder, std::vector<FileEntry>* files) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return false;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) return false;
    std::error_code status_ec;
    if (fs::is_regular_file(it->symlink_status(status_ec))) {
      files->push_back({it->path().filename().string(), it->path()});
    }
  }
  std::sort(files->begin(), files->end(),
            [](const FileEntry& a, const FileEntry& b) { return a.name < b.name; });
  return true;
}

// The files of a folder address from the request, as ListFiles gives them. A folder inside the
// upload folder that is not made yet (a new site or channel that has had no upload) holds no
// file; false for an address outside the upload folder or a folder that cannot be read.
bool ListFolderFiles(RequestState& state, const UploadContext& upload, std::string* address,
                     std::vector<FileEntry>* files) {
  if (!address->empty() && address->back() != '/') *address += '/';
  std::optional<fs::path> folder = ResolveInside(state, upload, *address);
  if (!folder) return false;
  std::error_code ec;
  const fs::file_status status = fs::status(*folder, ec);
  if (status.type() == fs::file_type::not_found) return true;
  return !ec && fs::is_directory(status) && ListFiles(*folder, files);
}

// The names of a folder's own subfolders (links left out), sorted.
std::vector<std::string> ListSubFolders(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code status_ec;
    if (fs::is_directory(it->symlink_status(status_ec))) {
      names.push_back(it->path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Round(bytes / 1024, 2) as the scripting engine writes a number: no trailing zeros.
std::string SizeText(uintmax_t bytes) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(bytes) / 1024.0);
  std::string out = text;
  while (out.back() == '0') out.pop_back();
  if (out.back() == '.') out.pop_back();
  return out + "KB";
}

std::string TimeText(const fs::path& path) {
  std::error_code ec;
  fs::file_time_type time = fs::last_write_time(path, ec);
  if (ec) return "";
  std::time_t seconds = std::chrono::system_clock::to_time_t(
      std::chrono::time_point_cast<std::chrono::system_clock::duration>(
          std::chrono::file_clock::to_sys(time)));
  std::tm local{};
  localtime_r(&seconds, &local);
  DateTime date{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour,        local.tm_min,     local.tm_sec};
  return date.ToDefaultText();
}

std::string UploadFile_FolderSelect(RequestState& state, const UploadContext& upload,
                                    const std::string& selected) {
  std::string html =
      "<form name='myform1' style='margin:0'><select name='d_seldir' size=1 "
      "onchange=\"if(this.selectedIndex>0)location.href=this.options[this.selectedIndex]."
      "getAttribute('data-href')\"><option value=''>请选择...</option>";
  if (!upload.root.empty()) {
    for (const std::string& name : ListSubFolders(upload.root)) {
      std::string value = name + "/";
      std::string href = upload.base + "&dir=" + UrlEncode(state, upload.folder + value) +
                         "&d_seldir=" + UrlEncode(state, value);
      html += "<option value='" + HtmlEscapeAttr(value) + "' data-href='" + HtmlEscapeAttr(href) +
              "'" + (value == selected ? " selected" : "") + ">" + HtmlEscapeText(name) +
              "</option>";
    }
  }
  return html + "</select></form>";
}

void UploadFile_ShowNavi(RequestState& state, const UploadContext& upload,
                         const ConsoleRequest& request) {
  std::string selected = request.values.Text("d_seldir");
  std::string base = HtmlEscapeAttr(upload.base);
  state.host.Response->Write("<table border=0 cellspacing=0 align=center class=navi><tr><td>" +
                             UploadFile_FolderSelect(state, upload, selected) +
                             "</td><td align=right>[<a href='" + base +
                             "'>根目录列表</a>] [<a href='" + base +
                             "&amp;action=empty'>清除无用文件</a>]</td></tr></table><br>\r\n");
}

std::string PageLink(RequestState& state, const UploadContext& upload, const std::string& folder,
                     int64_t page, const char* text) {
  std::string href =
      upload.base + "&dir=" + UrlEncode(state, folder) + "&page=" + std::to_string(page);
  return "<a href='" + HtmlEscapeAttr(href) + "'>" + text + "</a>";
}

std::string Preview(const std::string& address, const std::string& name) {
  std::string src = HtmlEscapeAttr(address);
  if (LCase(name).find(".swf") != std::string::npos) {
    return "<object classid='clsid:D27CDB6E-AE6D-11cf-96B8-444553540000' "
           "codebase='http://download.macromedia.com/pub/shockwave/cabs/flash/"
           "swflash.cab#version=6,0,0,0' width='130' height='90'><param name='movie' value='" +
           src + "'><param name='quality' value='high'><embed src='" + src +
           "' quality='high' type='application/x-shockwave-flash' width='130' "
           "height='90'></embed></object>";
  }
  return "<a href='" + src + "' target='_blank'><img src='" + src +
         "' width='130' height='90' border='0'></a>";
}

// The grid of one page of the folder's files, with its page bar.
std::string UploadFile_ShowFiles(RequestState& state, const UploadContext& upload,
                                 const ConsoleRequest& request, std::string folder) {
  int64_t page = request.values.Page();

  std::vector<FileEntry> files;
  if (!ListFolderFiles(state, upload, &folder, &files)) {
    Alert(state, "无效的目录");
    return "";
  }
  if (files.empty()) {
    return "<table border=0 cellspacing=1 align=center class=list><tr><td "
           "align=center>本目录下没有上传文件</td></tr></table>\r\n";
  }
  int64_t count = static_cast<int64_t>(files.size());
  int64_t pages = (count + kFilesPerPage - 1) / kFilesPerPage;
  if (page < 1 || page > pages) page = 1;
  int64_t from = (page - 1) * kFilesPerPage;
  int64_t to = std::min(count, page * kFilesPerPage);

  std::string html = "<table border=0 cellspacing=1 align=center class=list>\r\n";
  int64_t cell = 0;
  for (int64_t i = from; i < to; ++i, ++cell) {
    const FileEntry& file = files[static_cast<size_t>(i)];
    std::string address = folder + file.name;
    std::error_code ec;
    uintmax_t bytes = fs::file_size(file.path, ec);
    if (ec) bytes = 0;
    if (cell % kFilesPerRow == 0) html += "<tr>";
    html += "<td width='25%' align=center>&nbsp;" + Preview(address, file.name) + "<br>文件名：" +
            HtmlEscapeText(file.name) + "<br>文件大小：" + SizeText(bytes) + "<br>修改时间：" +
            TimeText(file.path) + "<br>选择：<input type='checkbox' name='selectdel' value='" +
            HtmlEscapeAttr(address) + "'></td>";
    if (cell % kFilesPerRow == kFilesPerRow - 1) html += "</tr>\r\n";
  }
  if (cell % kFilesPerRow != 0) {
    for (; cell % kFilesPerRow != 0; ++cell) html += "<td>&nbsp;</td>";
    html += "</tr>\r\n";
  }
  html += "</table>\r\n<table border=0 cellspacing=0 width='100%'><tr><td>";
  html += page > 1 ? PageLink(state, upload, folder, 1, "首页") + " " +
                         PageLink(state, upload, folder, page - 1, "上一页")
                   : std::string("首页 上一页");
  html += " ";
  html += page < pages ? PageLink(state, upload, folder, page + 1, "下一页") + " " +
                             PageLink(state, upload, folder, pages, "尾页")
                       : std::string("下一页 尾页");
  html += "&nbsp;&nbsp;&nbsp;&nbsp;共<b>" + std::to_string(count) +
          "</b>个&nbsp;&nbsp;页次:<b><span class=highlight2>" + std::to_string(page) + "</span>/" +
          std::to_string(pages) + "</b>&nbsp;&nbsp;<b>" + std::to_string(kFilesPerPage) +
          "</b>个文件/页</td><td align=right><form name='actionform' style='margin:0'>操作："
          "<select name='selection' size=1><option value='delone'>删除</option><option "
          "value='delall'>清空本文件夹下文件</option></select> <input type='button' value='执行' "
          "onclick=\"checkAction(this.form.selection.options[this.form.selection.selectedIndex]"
          ".value, '" +
          upload.channel + "')\"></form></td></tr></table>\r\n";
  return html;
}

std::string UploadFile_Script() {
  return "<script language=javascript>\r\n"
         "function checkAction(sAction, s_ChannelID){\r\n"
         "  var f = document.delform;\r\n"
         "  var checked = false;\r\n"
         "  for (var i = 0; i < f.elements.length; i++) {\r\n"
         "    var e = f.elements[i];\r\n"
         "    if (e.type == 'checkbox' && e.name == 'selectdel' && e.checked) { checked = true; "
         "break; }\r\n"
         "  }\r\n"
         "  var url = '?m=admin_uploadfile&channelid=' + s_ChannelID + '&action=' + sAction;\r\n"
         "  if (sAction == 'delall') {\r\n"
         "    if (confirm('确定要清空本文件夹下的所有文件吗？')) { f.action = url; f.submit(); "
         "}\r\n"
         "    return;\r\n"
         "  }\r\n"
         "  if (!checked) { alert('请选择至少一条记录再操作！'); return; }\r\n"
         "  if (confirm('提示：您确定要删除选定的文件吗？')) { f.action = url; f.submit(); }\r\n"
         "}\r\n"
         "</script>\r\n";
}

void UploadFile_ShowFolder(RequestState& state, const UploadContext& upload,
                           const ConsoleRequest& request) {
  std::string folder = LCase(request.query.Text("dir"));
  if (folder.empty()) folder = upload.folder;
  if (folder.back() != '/') folder += '/';
  std::string grid = UploadFile_ShowFiles(state, upload, request, folder);
  state.host.Response->Write(
      "<table border=0 cellspacing=1 align=center class=form><tr><th>当前目录[" +
      HtmlEscapeText(folder) +
      "]下文件管理</th></tr></table>\r\n"
      "<form name='delform' method='post' action='?m=admin_uploadfile&amp;action=del' "
      "style='margin:0'>\r\n" +
      grid + "<input type='hidden' name='currdir' value='" + HtmlEscapeAttr(folder) +
      "'>\r\n</form>\r\n" + UploadFile_Script());
}

std::string ResultLinks(RequestState& state, const UploadContext& upload,
                        const std::string& folder) {
  return LinkItem(HtmlEscapeAttr(upload.base + "&dir=" + UrlEncode(state, folder)), "返回上一页") +
         LinkItem(HtmlEscapeAttr(upload.base), "返回根目录列表");
}

// The file a ticked box names, when its folder lies inside the upload folder: the entry itself
// (a link is deleted as a link, never its target).
std::optional<fs::path> ResolveFile(RequestState& state, const UploadContext& upload,
                                    const std::string& address) {
  size_t slash = address.rfind('/');
  if (slash == std::string::npos) return std::nullopt;
  std::string name = address.substr(slash + 1);
  if (name.empty() || name == "." || name == ".." || name.find('\\') != std::string::npos) {
    return std::nullopt;
  }
  std::string folder = address.substr(0, slash + 1);
  std::optional<fs::path> disk = ResolveFolder(state, upload, &folder);
  if (!disk) return std::nullopt;
  fs::path mapped;
  try {
    mapped = state.host.Server->MapPath(address);
  } catch (const HostError&) {
    return std::nullopt;
  }
  // MapPath matched the name without regard to letter case. A folder is not a file to delete.
  fs::path file = *disk / mapped.filename();
  std::error_code ec;
  if (fs::is_directory(fs::symlink_status(file, ec)) || fs::is_directory(fs::status(file, ec))) {
    return std::nullopt;
  }
  return file;
}

void UploadFile_DelOne(RequestState& state, const UploadContext& upload,
                       const ConsoleRequest& request) {
  std::vector<std::string> addresses;
  for (const std::string& value : request.values.Values("selectdel")) {
    for (const std::string& piece : Split(value, ",")) {
      std::string address = Trim(piece);
      if (!address.empty()) addresses.push_back(address);
    }
  }
  if (addresses.empty()) AlertBack(state, kParameterError);
  RequireFormPost(request);
  // Every address is checked before anything is deleted.
  std::vector<fs::path> paths;
  for (const std::string& address : addresses) {
    std::optional<fs::path> path = ResolveFile(state, upload, address);
    if (!path) AlertBack(state, kParameterError);
    paths.push_back(*path);
  }
  int64_t failed = 0;
  for (const fs::path& path : paths) {
    std::error_code ec;
    fs::remove(path, ec);
    if (ec) ++failed;
  }
  std::string folder = request.values.Text("currdir");
  state.host.Response->Write(MessageBox(
      failed == 0
          ? "删除文件成功！"
          : "提示：有" + std::to_string(failed) + "个文件没有删除成功！请检查该文件夹的权限。",
      ResultLinks(state, upload, folder)));
}

void UploadFile_DelAll(RequestState& state, const UploadContext& upload,
                       const ConsoleRequest& request) {
  std::string folder = request.values.Text("currdir");
  if (folder.empty()) AlertBack(state, kParameterError);
  RequireFormPost(request);
  std::optional<fs::path> disk = ResolveFolder(state, upload, &folder);
  if (!disk) AlertBack(state, kParameterError);
  std::vector<FileEntry> files;
  int64_t failed = 0;
  if (!ListFiles(*disk, &files)) ++failed;
  for (const FileEntry& file : files) {
    std::error_code ec;
    fs::remove(file.path, ec);
    if (ec) ++failed;
  }
  state.host.Response->Write(
      MessageBox(failed == 0 ? "清空文件成功！"
                             : std::string("提示：有文件没有删除成功！请检查该文件夹的权限。"),
                 ResultLinks(state, upload, folder)));
}

void UploadFile_Empty(RequestState& state, const UploadContext& upload,
                      const ConsoleRequest& request) {
  std::string base = HtmlEscapeAttr(upload.base);
  if (request.query.Text("flag") != "1") {
    state.host.Response->Write(
        "<table border=0 cellspacing=1 align=center class=form><form name='form1' method='post' "
        "action='" +
        base +
        "&amp;action=empty&amp;flag=1'><tr><th>智能清理无用的上传文件</th></tr>"
        "<tr><td><p>&nbsp;&nbsp;&nbsp;&nbsp;在添加文章时，经常会出现上传了图片后但却最终没有发布"
        "这篇文章的情况，时间一久，就会产生大量无用垃圾文件。所以需要定期使用本功能进行清理。</p>"
        "<p>&nbsp;&nbsp;&nbsp;&nbsp;如果上传文件很多，或者文章数量较多，执行本操作需要耗费相当"
        "长的时间，请在访问量少时执行本操作。</p></td></tr>"
        "<tr><td align=center><input type='submit' value='确定清理'></td></tr></form></table>\r\n");
    return;
  }
  RequireFormPost(request);
  if (upload.content_table.empty()) {
    AlertBack(state, "提示：本频道的模块没有存放上传文件的内容表，不能清理！");
  }

  // The upload folder's files and those of its subfolders one level down, but for the
  // advertisements' folder "ad".
  std::vector<FileEntry> files;
  std::vector<std::string> addresses;
  // Addresses are searched as the rows store them: from the install folder, without "./".
  std::string prefix = LCase(upload.folder);
  if (prefix.rfind("./", 0) == 0) prefix.erase(0, 2);
  auto gather = [&](const fs::path& folder, const std::string& address) {
    std::vector<FileEntry> found;
    if (!ListFiles(folder, &found)) return;
    for (FileEntry& file : found) {
      addresses.push_back(address + LCase(file.name));
      files.push_back(std::move(file));
    }
  };
  if (!upload.root.empty()) {
    gather(upload.root, prefix);
    for (const std::string& sub : ListSubFolders(upload.root)) {
      if (LCase(sub) == "ad") continue;
      gather(upload.root / sub, prefix + LCase(sub) + "/");
    }
  }

  // One pass over the stored addresses of every row, whatever its channel or state. An
  // article's text is read too: a picture that the text shows is in use even when the upload
  // list does not name it (an edited list, or rows written by other means).
  UploadReferences references(prefix, addresses);
  if (!files.empty()) {
    const bool has_text = upload.content_table == "Vantrel_Article";
    Recordset rs;
    rs.Open(std::string("select d_uploadfiles, d_picurl") + (has_text ? ", d_content" : "") +
                " from " + upload.content_table,
            *state.db.Conn, 0, 1);
    for (; !rs.Eof(); rs.MoveNext()) {
      references.Scan(rs["d_uploadfiles"].ToString());
      references.Scan(rs["d_picurl"].ToString());
      if (has_text) references.Scan(rs["d_content"].ToString());
    }
  }
  int64_t removed = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    if (references.Referenced(i)) continue;
    std::error_code ec;
    if (fs::remove(files[i].path, ec)) ++removed;
  }
  state.host.Response->Write(MessageBox(
      "清理无用文件成功！总共清理<font color=red>" + std::to_string(removed) + "</font>文件！",
      LinkItem(base + "&amp;action=empty", "返回继续清理") + LinkItem(base, "返回根目录列表")));
}

std::string ContentTableOf(const std::string& module_type) {
  if (module_type == "1") return "Vantrel_Article";
  if (module_type == "2") return "Vantrel_Product";
  if (module_type == "8") return "Vantrel_Download";
  if (module_type == "9") return "Vantrel_Pic";
  return "";
}

}  // namespace

void UploadFile_Main(RequestState& state, const ConsolePage& page) {
  AdminHeader(state);
  if (!page.request.channel_id) AlertBack(state, "提示：参数错误，请返回！");
  const int64_t channel = *page.request.channel_id;
  UploadContext upload;
  upload.channel = std::to_string(channel);
  upload.base = "?m=admin_uploadfile&channelid=" + upload.channel;

  std::string project, channel_dir, upload_dir, module_type;
  Recordset rs;
  rs.Open(
      "select d_projectName, d_channeldir, d_uploaddir, d_moduletype from Vantrel_Channel where "
      "d_id = ?",
      {SqlNumber(channel)}, *state.db.Conn, 0, 1);
  if (rs.Eof()) {
    rs.Close();
    AlertBack(state, "提示：请先设置频道信息！");
  }
  project = Trim(rs["d_projectname"].ToString());
  channel_dir = Trim(rs["d_channeldir"].ToString());
  upload_dir = Trim(rs["d_uploaddir"].ToString());
  module_type = Trim(rs["d_moduletype"].ToString());
  rs.Close();
  // The folders come from the channel settings; only plain relative names make a folder here.
  if ((!channel_dir.empty() && !IsPlainFolderPath(channel_dir)) || !IsPlainFolderPath(upload_dir)) {
    AlertBack(state, "提示：频道的上传目录设置不正确！");
  }
  upload.folder = (channel_dir.empty() ? std::string("./") : channel_dir + "/") + upload_dir + "/";
  upload.content_table = ContentTableOf(module_type);
  try {
    std::error_code ec;
    fs::path root = fs::weakly_canonical(state.host.Server->MapPath(upload.folder), ec);
    if (!ec) upload.root = root;
  } catch (const HostError&) {
  }

  AdminNavi(state, "当前位置：" + HtmlEscapeText(project) + "管理>>上传文件管理");
  const ConsoleRequest& request = page.request;
  UploadFile_ShowNavi(state, upload, request);
  auto with = [&upload,
               &request](void (*run)(RequestState&, const UploadContext&, const ConsoleRequest&)) {
    return [&upload, &request, run](RequestState& s) { run(s, upload, request); };
  };
  RunAdminAction(state, page.request.action,
                 {{"empty", with(UploadFile_Empty)},
                  {"delone", with(UploadFile_DelOne)},
                  {"delall", with(UploadFile_DelAll)}},
                 with(UploadFile_ShowFolder));
  AdminFooter(state);
}

}  // namespace folirex
