#include "taxonomy/channel_record.h"

#include <array>
#include <string>
#include <vector>

#include "core/console_request.h"
#include "core/folder_names.h"
#include "core/messages.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

constexpr const char* kFolderLetters = "提示：目录请使用英文字母，最多50个字母！";
constexpr const char* kUploadLetters = "提示：上传目录请使用英文字母，最多50个字母！";

// Names that a channel folder may not take besides the site's reserved folders: the database
// and public folders of an install.
constexpr std::array<std::string_view, 2> kChannelOnlyReserved = {"db", "public"};

// Display lengths the forms allow; the database would take more, but the pages that show these
// values are laid out for them.
struct LengthRule {
  const char* field;
  const char* label;
  int64_t max;
};
constexpr std::array<LengthRule, 7> kLengths = {{{"d_channelname", "频道名称", 50},
                                                 {"d_desc", "频道说明", 255},
                                                 {"d_linkurl", "链接地址", 255},
                                                 {"d_projectname", "项目名称", 20},
                                                 {"d_projectunit", "项目单位", 20},
                                                 {"d_upfiletype", "上传文件类型", 255},
                                                 {"d_channeldir", "频道目录", 50}}};

// A code of a radio group or select: empty gives the form's default; anything but a whole number
// from min to max is refused.
int Code(const RequestReader& form, std::string_view field, int min, int max, int empty_value) {
  if (form.Text(field).empty()) return empty_value;
  std::optional<int64_t> value = form.Number(field);
  if (!value || *value < min || *value > max) form.Refuse(kParameterError);
  return static_cast<int>(*value);
}

void CheckLengths(RequestState& state, const RequestReader& form) {
  for (const LengthRule& rule : kLengths) {
    if (StrLength(Variant(form.Text(rule.field))) > rule.max) {
      AlertBack(state, std::string("提示：") + rule.label + "超过最大长度！");
    }
  }
}

// The internal channels' folders, as stored (trimmed).
std::vector<std::string> InternalFolders(Connection& conn) {
  std::vector<std::string> folders;
  Recordset rs;
  rs.Open("select d_channeldir from Vantrel_Channel where d_channeltype = 1", conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) folders.push_back(Trim(rs["d_channeldir"].ToString()));
  return folders;
}

// The module a channel is built from: a system channel that exists and holds articles.
int64_t ModuleType(RequestState& state, const RequestReader& form) {
  if (form.Text("d_moduletype").empty()) return 1;
  const int64_t id = form.Number("d_moduletype").value_or(0);
  if (id < 1 || id > kLastSystemChannel) AlertBack(state, kParameterError);
  Variant found = state.db.Conn->ExecuteScalar(
      "select count(*) from Vantrel_Channel where d_id = ? and d_channeltype = 1",
      {Variant(static_cast<long long>(id))});
  if (found.ToInt64Or(0) == 0) AlertBack(state, kParameterError);
  return id;
}

// The folder checks of a creation, which an update applies to its new values as well: the
// folder is letters only, not one of the site's own, not another channel's; with uploads on the
// upload folder is letters only, and it never takes a reserved name (for a channel in the install
// folder it lies beside the site's own folders).
void CheckFolders(RequestState& state, const PostedChannel& c, int64_t self) {
  if (!c.channeldir.empty() && !IsChannelFolderName(c.channeldir)) {
    AlertBack(state, kFolderLetters);
  }
  if (IsReservedChannelFolder(c.channeldir) ||
      (!c.channeldir.empty() && ChannelFolderTaken(*state.db.Conn, c.channeldir, self))) {
    AlertBack(state, "提示：目录[" + c.channeldir + "]已经存在！");
  }
  if (c.projectname.empty()) AlertBack(state, "提示：项目名称不能为空！");
  if (c.upload || !c.uploaddir.empty()) {
    if (!IsChannelFolderName(c.uploaddir)) AlertBack(state, kUploadLetters);
    if (IsReservedChannelFolder(c.uploaddir) ||
        (c.channeldir.empty() && ChannelFolderTaken(*state.db.Conn, c.uploaddir, self))) {
      AlertBack(state, "提示：上传目录[" + c.uploaddir + "]已经存在！");
    }
  }
}

// The values common to both forms that need no check.
void ReadCommon(const RequestReader& form, PostedChannel* c) {
  c->channelname = form.Text("d_channelname");
  c->desc = form.Text("d_desc");
  c->opentype = Code(form, "d_opentype", 0, 1, 0);
  c->disabled = Code(form, "d_disabledflag", 0, 1, 0) == 1;
  c->linkurl = form.Text("d_linkurl");
}

void ReadInternal(const RequestReader& form, PostedChannel* c) {
  c->projectname = form.Text("d_projectname");
  c->projectunit = form.Text("d_projectunit");
  c->showname = Code(form, "d_shownameflag", 0, 1, 1) == 1;
  c->upload = Code(form, "d_uploadflag", 0, 1, 1) == 1;
  c->uploaddir = form.Text("d_uploaddir");
  c->upfiletype = form.Text("d_upfiletype");
  c->generatehtml = Code(form, "d_generatehtml", 0, 3, 0);
  c->listdir = Code(form, "d_listdir", 0, 2, 0);
  c->contentfiletype = Code(form, "d_contentfiletype", 0, 3, 0);
  c->firstfileext = Code(form, "d_firstfileext", 0, 4, 0);
  c->listfileext = Code(form, "d_listfileext", 0, 4, 0);
  c->contentfileext = Code(form, "d_contentfileext", 0, 4, 0);
  c->templateid = form.Number("d_templateid").value_or(0);
  c->groupnum = form.Number("d_groupnum").value_or(30);
}

void SetColumns(Recordset& rs, const PostedChannel& c, bool internal) {
  rs.Set("d_channelname", Variant(c.channelname));
  rs.Set("d_desc", Variant(c.desc));
  rs.Set("d_opentype", Variant(c.opentype));
  rs.Set("d_disabledflag", Variant(c.disabled));
  rs.Set("d_linkurl", Variant(c.linkurl));
  if (!internal) return;
  rs.Set("d_channeltype", Variant(c.channeltype));
  rs.Set("d_channeldir", Variant(c.channeldir));
  rs.Set("d_projectname", Variant(c.projectname));
  rs.Set("d_projectunit", Variant(c.projectunit));
  rs.Set("d_templateid", Variant(static_cast<long long>(c.templateid)));
  rs.Set("d_shownameflag", Variant(c.showname));
  rs.Set("d_uploadflag", Variant(c.upload));
  rs.Set("d_uploaddir", Variant(c.uploaddir));
  rs.Set("d_maxfilesize", Variant(static_cast<long long>(c.maxfilesize)));
  rs.Set("d_upfiletype", Variant(c.upfiletype));
  rs.Set("d_clicksofhot", Variant(static_cast<long long>(c.clicksofhot)));
  rs.Set("d_daysofnew", Variant(static_cast<long long>(c.daysofnew)));
  rs.Set("d_generatehtml", Variant(c.generatehtml));
  rs.Set("d_listdir", Variant(c.listdir));
  rs.Set("d_contentfiletype", Variant(c.contentfiletype));
  rs.Set("d_firstfileext", Variant(c.firstfileext));
  rs.Set("d_listfileext", Variant(c.listfileext));
  rs.Set("d_contentfileext", Variant(c.contentfileext));
  rs.Set("d_groupnum", Variant(static_cast<long long>(c.groupnum)));
}

// Adds the row; the id is the autonumber unless `id` names one.
int64_t AddRow(Connection& conn, const PostedChannel& c, int64_t order, int64_t id) {
  Recordset rs;
  rs.Open(db::TableRows{.table = "Vantrel_Channel", .where = "1 < 0"}, conn, 1, 3);
  rs.AddNew();
  if (id > 0) rs.Set("d_id", Variant(static_cast<long long>(id)));
  rs.Set("d_order", Variant(static_cast<long long>(order)));
  rs.Set("d_moduletype", Variant(static_cast<long long>(c.moduletype)));
  SetColumns(rs, c, true);
  for (const char* counter : {"d_itemcount", "d_itemcountchecked", "d_commentcount",
                              "d_subjectcount", "d_clickcount", "d_dirstructure"}) {
    rs.Set(counter, Variant(0));
  }
  rs.Set("d_sysflag", Variant(false));
  rs.Set("d_customflag", Variant(false));
  rs.Update();
  int64_t new_id = rs["d_id"].ToInt64();
  rs.Close();
  return new_id;
}

}  // namespace

bool ReadStoredChannel(Connection& conn, int64_t id, StoredChannel* out) {
  Recordset rs;
  rs.Open(
      "select d_id, d_channeltype, d_channeldir, d_uploaddir, d_projectname, d_uploadflag from "
      "Vantrel_Channel where d_id = ?",
      {Variant(static_cast<long long>(id))}, conn, 0, 1);
  if (rs.Eof()) return false;
  out->id = id;
  out->channeltype = static_cast<int>(rs["d_channeltype"].ToInt64Or(1));
  out->channeldir = Trim(rs["d_channeldir"].ToString());
  out->uploaddir = Trim(rs["d_uploaddir"].ToString());
  out->projectname = Trim(rs["d_projectname"].ToString());
  out->upload = rs["d_uploadflag"].ToBoolOr(false);
  return true;
}

PostedChannel ReadNewChannel(RequestState& state, const RequestReader& form) {
  PostedChannel c;
  c.channeltype = Code(form, "d_channeltype", 1, 2, 1);
  c.moduletype = ModuleType(state, form);
  if (c.channeltype == 1) {
    std::vector<std::string> folders = InternalFolders(*state.db.Conn);
    if (folders.size() == 1 && folders[0].empty()) {
      AlertBack(state,
                "提示：多个频道原来的频道目录不允许为空，请先修改原来频道的目录，再进行增加频道！");
    }
  }
  ReadCommon(form, &c);
  if (c.channelname.empty()) AlertBack(state, "提示：名称不能为空");
  CheckLengths(state, form);
  if (c.channeltype == 2 && c.linkurl.empty()) AlertBack(state, "提示：链接地址不能为空");
  if (c.channeltype != 1) {
    if (IsScriptLink(c.linkurl)) AlertBack(state, kScriptLinkRefused);
    // An outside link has no folder and no uploads: nothing of it may name a path later.
    c.showname = Code(form, "d_shownameflag", 0, 1, 1) == 1;
    c.upload = false;
    c.groupnum = form.Number("d_groupnum").value_or(30);
    c.templateid = form.Number("d_templateid").value_or(0);
    c.projectname = form.Text("d_projectname");
    c.projectunit = form.Text("d_projectunit");
    return c;
  }
  ReadInternal(form, &c);
  c.channeldir = LCase(form.Text("d_channeldir"));
  if (!c.upload) c.uploaddir.clear();
  CheckFolders(state, c, 0);
  if (c.upload && c.upfiletype.empty()) c.upfiletype = "jpg|bmp|gif|png";
  c.maxfilesize = form.Number("d_maxfilesize").value_or(0);
  c.clicksofhot = form.Number("d_clicksofhot").value_or(100);
  c.daysofnew = form.Number("d_daysofnew").value_or(3);
  return c;
}

PostedChannel ReadChannelUpdate(RequestState& state, const RequestReader& form,
                                const StoredChannel& stored) {
  PostedChannel c;
  c.channeltype = stored.channeltype == 1 ? 1 : 2;
  std::string dir = form.Text("d_channeldir");
  if (c.channeltype == 1 && dir.empty() && InternalFolders(*state.db.Conn).size() > 1) {
    AlertBack(state, "提示：多个频道原来的频道目录不允许为空！");
  }
  ReadCommon(form, &c);
  if (c.channelname.empty()) AlertBack(state, "频道名称不能为空！");
  CheckLengths(state, form);
  if (c.channeltype != 1) {
    if (c.linkurl.empty()) AlertBack(state, "提示：链接地址不能为空");
    if (IsScriptLink(c.linkurl)) AlertBack(state, kScriptLinkRefused);
    return c;
  }
  if (!dir.empty() && !IsChannelFolderName(dir)) AlertBack(state, kFolderLetters);
  // A number field must hold a number the column keeps.
  auto number = [&form](std::string_view field, std::string_view message) {
    return form.Number(field, message);
  };
  c.maxfilesize = number("d_maxfilesize", "上传最大文件大小为数字！");
  c.clicksofhot = number("d_clicksofhot", "频道热点的点击数最小值为数字！");
  c.daysofnew = number("d_daysofnew", "多少天内更新的信息为新信息为数字！");
  ReadInternal(form, &c);
  c.channeldir = dir;
  c.uploaddir = LCase(c.uploaddir);
  CheckFolders(state, c, stored.id);
  return c;
}

bool IsChannelFolderName(std::string_view name) {
  if (name.empty() || name.size() > 50) return false;
  for (char ch : name) {
    if (!((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'))) return false;
  }
  return true;
}

bool IsReservedChannelFolder(std::string_view name) {
  if (name.empty()) return false;
  if (IsReservedFolderPath(name)) return true;
  std::string lower = LCase(name);
  for (std::string_view reserved : kChannelOnlyReserved) {
    if (lower == reserved) return true;
  }
  return false;
}

bool ChannelFolderTaken(Connection& conn, std::string_view name, int64_t except_id) {
  // The columns compare without letter case (COLLATE NOCASE, citext); lcase on both sides keeps
  // it so on any engine.
  Variant count = conn.ExecuteScalar(
      "select count(*) from Vantrel_Channel where d_id <> ? and d_channeltype = 1 and "
      "(lcase(d_channeldir) = lcase(?) or ((d_channeldir is null or d_channeldir = '') and "
      "lcase(d_uploaddir) = lcase(?)))",
      {Variant(static_cast<long long>(except_id)), Variant(std::string(name)),
       Variant(std::string(name))});
  return count.ToInt64Or(0) > 0;
}

int64_t InsertChannelRow(Connection& conn, const PostedChannel& channel) {
  int64_t order = conn.ExecuteScalar("select max(d_order) from Vantrel_Channel").ToInt64Or(0) + 1;
  int64_t id = AddRow(conn, channel, order, 0);
  if (id > kLastSystemChannel) return id;
  // The autonumber still stood among the system ids (a table without the shipped setting). No row
  // is above 10 then, so 11 is free; writing it moves the autonumber past it.
  conn.Execute("delete from Vantrel_Channel where d_id = ?", {Variant(static_cast<long long>(id))});
  return AddRow(conn, channel, order, kLastSystemChannel + 1);
}

void UpdateChannelRow(Connection& conn, const StoredChannel& stored, const PostedChannel& channel) {
  Recordset rs;
  rs.Open("select * from Vantrel_Channel where d_id = ?",
          {Variant(static_cast<long long>(stored.id))}, conn, 1, 3);
  if (rs.Eof()) throw DbError("the channel " + std::to_string(stored.id) + " is gone");
  SetColumns(rs, channel, stored.channeltype == 1);
  rs.Update();
  rs.Close();
}

std::string ReplaceWord(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  size_t start = 0;
  while (true) {
    size_t hit = text.find(from, start);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(start, hit - start));
    out.append(to);
    start = hit + from.size();
  }
  out.append(text.substr(start));
  return out;
}

std::string ReplaceChannelIdInLink(std::string_view link, int64_t from, int64_t to) {
  const std::string needle = "channelid=" + std::to_string(from);
  const std::string replacement = "channelid=" + std::to_string(to);
  std::string out;
  size_t start = 0;
  while (true) {
    size_t hit = link.find(needle, start);
    if (hit == std::string_view::npos) break;
    size_t end = hit + needle.size();
    bool whole = end >= link.size() || link[end] < '0' || link[end] > '9';
    out.append(link.substr(start, hit - start));
    out.append(whole ? replacement : needle);
    start = end;
  }
  out.append(link.substr(start));
  return out;
}

}  // namespace folirex
