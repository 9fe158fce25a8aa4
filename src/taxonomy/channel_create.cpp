#include "taxonomy/channel_create.h"

#include <algorithm>
#include <string>
#include <vector>

#include "console/console_text.h"
#include "core/menu_stylesheets.h"
#include "core/messages.h"
#include "core/site_files.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"
#include "platform/text/vb_text.h"
#include "taxonomy/channel_bar.h"
#include "taxonomy/channel_common.h"
#include "taxonomy/channel_record.h"

namespace folirex {
namespace {

Variant Id(int64_t id) { return Variant(static_cast<long long>(id)); }

struct MenuItem {
  Variant name, link, open, top, display;
  int64_t order = 0;
};

// The module's menu block copied after itself: every later item of the console moves down by the
// block's size, and the copies take the places freed.
void CloneMenu(Connection& conn, int64_t source, int64_t id, const std::string& old_word,
               const std::string& new_word) {
  std::vector<MenuItem> items;
  Recordset rs;
  rs.Open(
      "select d_name, d_linkurl, d_openflag, d_topflag, d_displayflag, d_order from "
      "Vantrel_MenuSet where d_channelid = ? order by d_order, d_id",
      {Id(source)}, conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) {
    items.push_back({rs["d_name"], rs["d_linkurl"], rs["d_openflag"], rs["d_topflag"],
                     rs["d_displayflag"], rs["d_order"].ToInt64Or(0)});
  }
  rs.Close();
  if (items.empty()) return;
  const int64_t n = static_cast<int64_t>(items.size());
  int64_t last = 0;
  for (const MenuItem& item : items) last = std::max(last, item.order);
  conn.Execute("update Vantrel_MenuSet set d_order = d_order + ? where d_order > ?",
               {Id(n), Id(last)});
  for (const MenuItem& item : items) {
    conn.Execute(
        "insert into Vantrel_MenuSet (d_channelid, d_name, d_linkurl, d_openflag, d_topflag, "
        "d_displayflag, d_order) values (?, ?, ?, ?, ?, ?, ?)",
        {Id(id), Variant(ReplaceWord(item.name.ToString(), old_word, new_word)),
         Variant(ReplaceChannelIdInLink(item.link.ToString(), source, id)), item.open, item.top,
         item.display, Id(item.order + n)});
  }
}

// Adds a copy of `row` (the named columns) to `table` for channel `id`; answers the copy's id.
int64_t AddCopy(Connection& conn, const char* table, const std::vector<Variant>& row,
                const std::vector<const char*>& columns, int64_t id) {
  Recordset rs;
  rs.Open(db::TableRows{.table = table, .where = "1 < 0"}, conn, 1, 3);
  rs.AddNew();
  rs.Set("d_channelid", Id(id));
  for (size_t i = 0; i < columns.size(); ++i) rs.Set(columns[i], row[i]);
  rs.Update();
  int64_t copy = rs["d_id"].ToInt64();
  rs.Close();
  return copy;
}

// The rows of `table` belonging to channel `source`: d_id first, then the named columns.
std::vector<std::vector<Variant>> SourceRows(Connection& conn, const char* table,
                                             const std::vector<const char*>& columns,
                                             int64_t source) {
  std::string sql = "select d_id";
  for (const char* column : columns) sql += std::string(", ") + column;
  sql += std::string(" from ") + table + " where d_channelid = ? order by d_id";
  Recordset rs;
  rs.Open(sql, {Id(source)}, conn, 0, 1);
  std::vector<std::vector<Variant>> rows;
  for (; !rs.Eof(); rs.MoveNext()) {
    std::vector<Variant> row;
    for (int i = 0; i < rs.FieldCount(); ++i) row.push_back(rs.Field(i));
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<Variant> Columns(const std::vector<Variant>& row) {
  return std::vector<Variant>(row.begin() + 1, row.end());
}

std::string FolderOf(Connection& conn, int64_t id) {
  std::string dir =
      Trim(conn.ExecuteScalar("select d_channeldir from Vantrel_Channel where d_id = ?", {Id(id)})
               .ToString());
  return dir.empty() ? "" : dir + "/";
}

// The new channel's files, after its rows have committed: its folder with the upload folder, a
// style sheet per copied skin, Js/default.js, copies of the module's Images and Skin folders and
// the menu stylesheets.
FileFailures CloneModuleFiles(RequestState& state, int64_t source, int64_t id,
                              const PostedChannel& channel, const std::vector<SkinCopy>& skins) {
  const HostObjects& host = state.host;
  Connection& conn = *state.db.Conn;
  FileFailures failures;
  const std::string from = FolderOf(conn, source);
  const std::string to = FolderOf(conn, id);
  const std::string upload = to + channel.uploaddir;
  if (!upload.empty() && !CreateFolderPath(host, std::string_view(upload))) {
    failures.push_back(upload);
  }
  if (!CreateFolderPath(host, std::string_view(to + "Skin"))) failures.push_back(to + "Skin");
  for (const SkinCopy& skin : skins) {
    std::string text = ReadTextFile(host, from + "Skin/" + std::to_string(skin.source) + ".css");
    // The style sheet mirrors the skin's text: a missing file is made from the row.
    if (text.empty()) text = skin.content;
    const std::string file = to + "Skin/" + std::to_string(skin.copy) + ".css";
    if (!WriteTextFile(host, file, text)) failures.push_back(file);
  }
  const std::string js = ReadTextFile(host, from + "Js/default.js");
  if (!CreateFolderPath(host, std::string_view(to + "Js")) ||
      !WriteTextFile(host, to + "Js/default.js", js)) {
    failures.push_back(to + "Js/default.js");
  }
  // Two channels in the install folder share its Images and Skin folders.
  if (LCase(from) != LCase(to)) {
    CopyFolderNoted(host, from + "Images", to + "Images/", failures);
    CopyFolderNoted(host, from + "Skin", to + "Skin/", failures);
  }
  // The menu stylesheets its pages link, for its own folder depth and the skin the menu console
  // shows chosen for a channel without one, whatever the module's folder held.
  for (const std::string& name : WriteMenuStylesheets(host, to, MenuSkins().front().file)) {
    failures.push_back(to + "Skin/" + name);
  }
  return failures;
}

}  // namespace

std::vector<SkinCopy> CloneModuleRows(Connection& conn, int64_t source, int64_t id,
                                      const std::string& project_name) {
  const std::string old_word = Trim(
      conn.ExecuteScalar("select d_projectname from Vantrel_Channel where d_id = ?", {Id(source)})
          .ToString());
  CloneMenu(conn, source, id, old_word, project_name);

  const std::vector<const char*> page_columns = {"d_type",   "d_content", "d_name",
                                                 "d_skinid", "d_sysflag", "d_order"};
  for (const auto& page : SourceRows(conn, "Vantrel_TemplatePage", page_columns, source)) {
    int64_t copy = AddCopy(conn, "Vantrel_TemplatePage", Columns(page), page_columns, id);
    conn.Execute(
        "insert into Vantrel_TemplateAndPage (d_channelid, d_templateid, d_pageid, d_type) "
        "select ?, d_templateid, ?, d_type from Vantrel_TemplateAndPage where d_pageid = ?",
        {Id(id), Id(copy), page[0]});
  }

  const std::vector<const char*> set_columns = {"d_name", "d_dir", "d_desc", "d_sysflag"};
  for (const auto& set : SourceRows(conn, "Vantrel_Template", set_columns, source)) {
    int64_t copy = AddCopy(conn, "Vantrel_Template", Columns(set), set_columns, id);
    conn.Execute(
        "update Vantrel_TemplateAndPage set d_templateid = ? where d_templateid = ? and "
        "d_channelid = ?",
        {Id(copy), set[0], Id(id)});
    // The new channel follows the copy of a module set it chose; another set stays chosen.
    conn.Execute("update Vantrel_Channel set d_templateid = ? where d_id = ? and d_templateid = ?",
                 {Id(copy), Id(id), set[0]});
  }

  std::vector<SkinCopy> skins;
  const std::vector<const char*> skin_columns = {"d_content", "d_name", "d_sysflag"};
  for (const auto& skin : SourceRows(conn, "Vantrel_Skin", skin_columns, source)) {
    int64_t copy = AddCopy(conn, "Vantrel_Skin", Columns(skin), skin_columns, id);
    conn.Execute(
        "update Vantrel_TemplatePage set d_skinid = ? where d_skinid = ? and d_channelid = ?",
        {Id(copy), skin[0], Id(id)});
    skins.push_back({skin[0].ToInt64Or(0), copy, skin[1].ToString()});
  }

  conn.Execute(
      "insert into Vantrel_JS (d_channelid, d_jsname, d_desc, d_typeflag, d_filename, d_config) "
      "select ?, d_jsname, d_desc, d_typeflag, d_filename, d_config from Vantrel_JS where "
      "d_channelid = ?",
      {Id(id), Id(source)});
  return skins;
}

void Channel_Save(RequestState& state, const ConsoleRequest& request) {
  PostedChannel channel = ReadNewChannel(state, request.form);
  // A folder already on the disk belongs to something else, which deleting the channel would
  // take with it.
  if (channel.channeltype == 1 && !channel.channeldir.empty() &&
      SiteFolderExists(state.host, channel.channeldir)) {
    AlertBack(state, "提示：目录[" + channel.channeldir + "]已经存在！");
  }
  RequireFormPost(request);
  Connection& conn = *state.db.Conn;
  const bool internal = channel.channeltype == 1;
  int64_t id = 0;
  std::vector<SkinCopy> skins;
  {
    ScopedTransaction transaction(conn);
    id = InsertChannelRow(conn, channel);
    if (internal) skins = CloneModuleRows(conn, channel.moduletype, id, channel.projectname);
    transaction.Commit();
  }
  state.caches.Clear();

  FileFailures failures;
  std::string links =
      "<li><a href='?m=admin_channel&action=add'>返回继续新增</a><li><a "
      "href='?m=admin_channel'>返回列表</a>";
  if (internal) {
    failures = CloneModuleFiles(state, channel.moduletype, id, channel, skins);
    state.host.Response->Write(kReloadMenuScript);
    links += "<li><a href='?m=admin_articlehtml&action=showchange&channelid=" + std::to_string(id) +
             "'>更新频道数据</a>";
  }
  if (!Channel_CreateMenuJs(state)) failures.push_back(kChannelMenuFile);
  state.host.Response->Write(ChannelMessage("新增信息成功！", links, failures));
}

}  // namespace folirex
