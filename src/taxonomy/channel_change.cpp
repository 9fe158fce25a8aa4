#include "taxonomy/channel_change.h"

#include <map>
#include <string>
#include <vector>

#include "console/console_text.h"
#include "core/folder_names.h"
#include "core/id_list.h"
#include "core/messages.h"
#include "core/site_files.h"
#include "core/template_references.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"
#include "platform/db/sql_params.h"
#include "platform/text/vb_text.h"
#include "taxonomy/channel_bar.h"
#include "taxonomy/channel_common.h"
#include "taxonomy/channel_record.h"

namespace folirex {
namespace {

constexpr const char* kListLink = "<li><a href='?m=admin_channel'>返回列表</a>";

Variant Id(int64_t id) { return Variant(static_cast<long long>(id)); }

// A stored folder name that file steps may act on: one plain name, none of the site's own.
bool MayTouch(const std::string& name) {
  return IsPlainFolderSegment(name) && !IsReservedChannelFolder(name);
}

// Gives d_order 1..n in the present order.
void Renumber(Connection& conn, const char* table) {
  std::vector<std::pair<Variant, int64_t>> rows;
  Recordset rs;
  rs.Open(std::string("select d_id, d_order from ") + table + " order by d_order, d_id", conn, 0,
          1);
  for (; !rs.Eof(); rs.MoveNext()) rows.emplace_back(rs["d_id"], rs["d_order"].ToInt64Or(0));
  rs.Close();
  int64_t position = 0;
  for (const auto& [id, order] : rows) {
    if (++position == order) continue;
    conn.Execute(std::string("update ") + table + " set d_order = ? where d_id = ?",
                 {Id(position), id});
  }
}

// The posted list of checked channels; refusals end the request.
IdList PostedIds(const ConsoleRequest& request) {
  return request.form.Ids("selectdel", kParameterError);
}

// The class folders of a channel that lay in the install folder, once the channel has a folder
// of its own. A folder that is the site's or another channel's stays.
void DeleteClassFolders(RequestState& state, int64_t id, const std::string& new_dir,
                        FileFailures& failures) {
  std::vector<std::string> folders;
  Recordset rs;
  rs.Open(db::KeptRead{.tables = {"Vantrel_ArticleClass"},
                       .sql = "select d_dir from Vantrel_ArticleClass where d_channelid = ?",
                       .values = {Id(id)}},
          *state.db.Conn);
  for (; !rs.Eof(); rs.MoveNext()) folders.push_back(Trim(rs["d_dir"].ToString()));
  rs.Close();
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    const std::string first = LCase(folder.substr(0, folder.find('/')));
    if (!IsPlainFolderPath(folder) || IsReservedChannelFolder(first) || first == LCase(new_dir) ||
        ChannelFolderTaken(*state.db.Conn, first, id)) {
      continue;
    }
    if (!DeleteFolder(state.host, folder)) failures.push_back(folder);
  }
}

// Moves an internal channel's files from its stored folders to the updated ones. Uploads reach
// their new place before any old folder is removed; a folder whose content did not all arrive
// stays where it was.
void MoveChannelFiles(RequestState& state, const StoredChannel& old, const PostedChannel& now,
                      FileFailures& failures) {
  const HostObjects& host = state.host;
  const std::string& dir = now.channeldir;
  const std::string& up = now.uploaddir;
  const std::string old_up = MayTouch(old.uploaddir) ? old.uploaddir : "";
  // With uploads switched off the files stay under their old folder name.
  const std::string up_target = up.empty() ? old_up : up;
  if (!old.channeldir.empty() && !MayTouch(old.channeldir)) {
    failures.push_back(old.channeldir);
    return;
  }
  if (!old.channeldir.empty() && !dir.empty()) {
    if (!MoveFolderNoted(host, old.channeldir, dir, failures)) return;
    if (!old_up.empty() && !up.empty()) {
      MoveFolderNoted(host, dir + "/" + old_up, dir + "/" + up, failures);
    } else if (!up.empty() && !CreateFolderPath(host, std::string_view(dir + "/" + up))) {
      failures.push_back(dir + "/" + up);
    }
  } else if (!old.channeldir.empty()) {
    // Into the install folder: the channel's images, styles, snippets and uploads first.
    const std::string& from = old.channeldir;
    bool arrived = CopyFolderNoted(host, from + "/Images", "Images/", failures);
    arrived = CreateFolderPath(host, std::string_view("Skin")) && arrived;
    arrived = CopyFolderNoted(host, from + "/Skin", "Skin/", failures) && arrived;
    arrived = CopyFolderNoted(host, from + "/Js", "Js/", failures) && arrived;
    if (!old_up.empty()) {
      arrived = CopyFolderNoted(host, from + "/" + old_up, up_target + "/", failures) && arrived;
    }
    if (!up.empty() && !CreateFolderPath(host, std::string_view(up))) failures.push_back(up);
    if (arrived && !DeleteFolder(host, from)) failures.push_back(from);
  } else if (!dir.empty()) {
    // Out of the install folder into a folder of its own.
    bool arrived = CreateFolderPath(host, std::string_view(dir));
    if (!arrived) failures.push_back(dir);
    if (!old_up.empty()) {
      arrived = CopyFolderNoted(host, old_up, dir + "/" + up_target + "/", failures) && arrived;
    }
    if (!up.empty() && !CreateFolderPath(host, std::string_view(dir + "/" + up))) {
      failures.push_back(dir + "/" + up);
    }
    arrived = CopyFolderNoted(host, "Images", dir + "/Images/", failures) && arrived;
    arrived = CreateFolderPath(host, std::string_view(dir + "/Skin")) && arrived;
    arrived = CopyFolderNoted(host, "Skin", dir + "/Skin/", failures) && arrived;
    if (!arrived) return;
    // What the channel wrote into the install folder goes: its uploads, lists, subjects, class
    // folders and first pages (the site's own default.asp stays).
    if (!old_up.empty() && !DeleteFolder(host, old_up)) failures.push_back(old_up);
    for (const char* folder : {"list", "listhot", "subject"}) {
      if (!DeleteFolder(host, folder)) failures.push_back(folder);
    }
    DeleteClassFolders(state, old.id, dir, failures);
    if (!DeleteFilesIn(host, "./", "^default\\.(html|htm|shtml|shtm)$")) {
      failures.push_back("default.html");
    }
  } else if (!up.empty()) {
    if (!old_up.empty()) {
      MoveFolderNoted(host, old_up, up, failures);
    } else if (!CreateFolderPath(host, std::string_view(up))) {
      failures.push_back(up);
    }
  }
}

// Renames the channel's menu items after a change of its item word.
void RenameMenuItems(Connection& conn, int64_t id, const std::string& old_word,
                     const std::string& new_word) {
  std::vector<std::pair<Variant, std::string>> items;
  Recordset rs;
  rs.Open("select d_id, d_name from Vantrel_MenuSet where d_channelid = ?", {Id(id)}, conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) items.emplace_back(rs["d_id"], rs["d_name"].ToString());
  rs.Close();
  for (const auto& [item, name] : items) {
    std::string renamed = ReplaceWord(name, old_word, new_word);
    if (renamed == name) continue;
    conn.Execute("update Vantrel_MenuSet set d_name = ? where d_id = ?", {Variant(renamed), item});
  }
}

// The end of every change: the channel bar, then the message (its file failures listed).
void Finish(RequestState& state, bool reload_menu, const char* message, const std::string& links,
            FileFailures& failures) {
  state.caches.Clear();
  if (reload_menu) state.host.Response->Write(kReloadMenuScript);
  if (!Channel_CreateMenuJs(state)) failures.push_back(kChannelMenuFile);
  state.host.Response->Write(ChannelMessage(message, links, failures));
}

void SwitchChannels(RequestState& state, const ConsoleRequest& request, bool enable) {
  IdList list = PostedIds(request);
  RequireFormPost(request);
  Connection& conn = *state.db.Conn;
  {
    ScopedTransaction transaction(conn);
    const BoundSql channels = IdsIn("d_id", list.ids);
    conn.Execute(std::string("update Vantrel_Channel set d_disabledflag = ") +
                     (enable ? "false" : "true") +
                     ", d_shownameflag = " + (enable ? "true" : "false") + " where " + channels.sql,
                 channels.params);
    const BoundSql menus = IdsIn("d_channelid", list.ids);
    conn.Execute(std::string("update Vantrel_MenuSet set d_displayflag = ") + (enable ? "1" : "0") +
                     " where " + menus.sql,
                 menus.params);
    transaction.Commit();
  }
  FileFailures failures;
  Finish(state, true, enable ? "启用频道成功！" : "禁用频道成功！", kListLink, failures);
}

// The template sets and pages of the channels to delete, each with the system set or page
// outside them that takes its place wherever a remaining row names it.
struct LeavingTemplates {
  std::vector<TemplateReplacement> sets;
  std::vector<TemplateReplacement> pages;
};

// Whether a row outside the deleted channels names the set (or page) `id`.
bool NamedOutside(Connection& conn, const IdList& list, bool set, int64_t id) {
  // The rows of `table` whose `column` names it, outside the channels (`channel_column`).
  auto outside = [&](const char* table, const char* column, const char* channel_column) {
    db::KeptRead count{.tables = {table},
                       .sql = std::string("select count(*) from ") + table + " where " + column +
                              " = ? and " + channel_column + " not in (" +
                              Placeholders(list.ids.size()) + ")",
                       .values = {Id(id)}};
    for (int64_t channel : list.ids) count.values.push_back(Id(channel));
    return count;
  };
  std::vector<db::KeptRead> counts;
  if (set) {
    counts.push_back(outside("Vantrel_Channel", "d_templateid", "d_id"));
  } else {
    counts.push_back({.tables = {"Vantrel_Config"},
                      .sql = "select count(*) from Vantrel_Config where d_templatepageid = ?",
                      .values = {Id(id)}});
    counts.push_back(outside("Vantrel_TemplateAndPage", "d_pageid", "d_channelid"));
    for (const char* table :
         {"Vantrel_ArticleClass", "Vantrel_ArticleSubject", "Vantrel_Article"}) {
      counts.push_back(outside(table, "d_templatepageid", "d_channelid"));
    }
  }
  for (const db::KeptRead& count : counts) {
    if (conn.ExecuteScalar(count).ToInt64Or(0) > 0) return true;
  }
  return false;
}

// A set or page without a system one to take its place while a remaining row names it refuses
// the deletion, before anything changes.
LeavingTemplates TemplatesOfChannels(RequestState& state, const IdList& list) {
  Connection& conn = *state.db.Conn;
  std::vector<int64_t> sets;
  std::vector<std::pair<int64_t, std::string>> pages;
  {
    const BoundSql of_channels = IdsIn("d_channelid", list.ids);
    Recordset rs;
    rs.Open(db::KeptRead{.tables = {"Vantrel_Template"},
                         .sql = "select d_id from Vantrel_Template where " + of_channels.sql,
                         .values = of_channels.params},
            conn);
    for (; !rs.Eof(); rs.MoveNext()) sets.push_back(rs["d_id"].ToInt64Or(0));
    rs.Close();
    rs.Open(db::KeptRead{.tables = {"Vantrel_TemplatePage"},
                         .sql = "select d_id, d_type from Vantrel_TemplatePage where " +
                                of_channels.sql,
                         .values = of_channels.params},
            conn);
    for (; !rs.Eof(); rs.MoveNext()) {
      pages.emplace_back(rs["d_id"].ToInt64Or(0), LCase(Trim(rs["d_type"].ToString())));
    }
  }
  LeavingTemplates leaving;
  bool unplaced = false;
  const int64_t set_fallback = LowestSystemSet(conn, list.ids);
  for (int64_t id : sets) {
    if (set_fallback != 0) {
      leaving.sets.push_back({id, set_fallback});
    } else {
      unplaced = unplaced || NamedOutside(conn, list, true, id);
    }
  }
  std::map<std::string, int64_t> page_fallbacks;
  for (const auto& [id, type] : pages) {
    auto [fallback, added] = page_fallbacks.emplace(type, 0);
    if (added) fallback->second = LowestSystemPage(conn, type, list.ids);
    if (fallback->second != 0) {
      leaving.pages.push_back({id, fallback->second});
    } else {
      unplaced = unplaced || NamedOutside(conn, list, false, id);
    }
  }
  if (unplaced) {
    AlertBack(state,
              "提示：其他频道还在使用要删除频道的模板，且没有可以代替的系统模板，不能删除！");
  }
  return leaving;
}

}  // namespace

void Channel_Update(RequestState& state, const ConsoleRequest& request) {
  const std::optional<int64_t> posted_id = request.query.Id("id");
  if (!posted_id || !IsDigits(Variant(request.query.Text("channeltype")))) {
    AlertBack(state, kParameterError);
  }
  const int64_t id = *posted_id;
  Connection& conn = *state.db.Conn;
  StoredChannel stored;
  if (!ReadStoredChannel(conn, id, &stored)) AlertBack(state, kParameterError);
  PostedChannel channel = ReadChannelUpdate(state, request.form, stored);
  const bool internal = stored.channeltype == 1;
  // A folder already on the disk would refuse the move, leaving the row naming a folder that is
  // not the channel's.
  if (internal && !channel.channeldir.empty() &&
      LCase(channel.channeldir) != LCase(stored.channeldir) &&
      SiteFolderExists(state.host, channel.channeldir)) {
    AlertBack(state, "提示：目录[" + channel.channeldir + "]已经存在！");
  }
  RequireFormPost(request);
  {
    ScopedTransaction transaction(conn);
    UpdateChannelRow(conn, stored, channel);
    if (internal) {
      // Every static page follows the channel's new settings once regenerated.
      conn.Execute("update Vantrel_Article set d_generatedflag = false");
      conn.Execute("update Vantrel_ArticleClass set d_generatedflag = false");
      conn.Execute("update Vantrel_ArticleSubject set d_generatedflag = false");
      RenameMenuItems(conn, id, stored.projectname, channel.projectname);
    }
    transaction.Commit();
  }
  FileFailures failures;
  if (internal) {
    state.caches.Clear();
    MoveChannelFiles(state, stored, channel, failures);
  }
  std::string links = "<li><a href='?m=admin_channel&action=edit&id=" + std::to_string(id) +
                      "'>返回继续修改</a>" + kListLink;
  if (internal) {
    links += "<li><a href='?m=admin_articlehtml&action=showchange&channelid=" + std::to_string(id) +
             "'>更新频道数据</a>";
  }
  Finish(state, internal, "修改信息成功！", links, failures);
}

void Channel_Del(RequestState& state, const ConsoleRequest& request) {
  IdList list = PostedIds(request);
  for (int64_t id : list.ids) {
    if (id <= kLastSystemChannel) {
      AlertBack(state, "系统带的频道不能删除，自己新增的频道才可以删除！");
    }
  }
  RequireFormPost(request);
  Connection& conn = *state.db.Conn;
  const LeavingTemplates leaving = TemplatesOfChannels(state, list);
  std::vector<std::string> folders;
  {
    const BoundSql channels = IdsIn("d_id", list.ids);
    Recordset rs;
    rs.Open("select d_channeldir, d_channeltype from Vantrel_Channel where " + channels.sql,
            channels.params, conn, 0, 1);
    for (; !rs.Eof(); rs.MoveNext()) {
      std::string dir = Trim(rs["d_channeldir"].ToString());
      if (rs["d_channeltype"].ToInt64Or(0) == 1 && !dir.empty()) folders.push_back(dir);
    }
  }
  {
    ScopedTransaction transaction(conn);
    const BoundSql channels = IdsIn("d_id", list.ids);
    const BoundSql of_channels = IdsIn("d_channelid", list.ids);
    conn.Execute("delete from Vantrel_Channel where " + channels.sql, channels.params);
    Renumber(conn, "Vantrel_Channel");
    conn.Execute("delete from Vantrel_MenuSet where " + of_channels.sql, of_channels.params);
    Renumber(conn, "Vantrel_MenuSet");
    // Other channels, their classes, subjects and articles and the other sets' maps may name the
    // deleted channels' sets and pages (the forms offer those of every channel): they take the
    // system ones that remain before those go.
    RepointTemplateSets(conn, leaving.sets);
    RepointTemplatePages(conn, leaving.pages);
    for (const char* table : {"Vantrel_NaviMenu", "Vantrel_Template", "Vantrel_TemplatePage",
                              "Vantrel_TemplateAndPage", "Vantrel_Skin", "Vantrel_JS"}) {
      conn.Execute(std::string("delete from ") + table + " where " + of_channels.sql,
                   of_channels.params);
    }
    transaction.Commit();
  }
  // A folder goes only when it is the deleted channel's own: never one of the site's, and never
  // one that a remaining channel still names.
  FileFailures failures;
  for (const std::string& dir : folders) {
    if (!MayTouch(dir) || ChannelFolderTaken(conn, dir, 0) || !DeleteFolder(state.host, dir)) {
      failures.push_back(dir);
    }
  }
  Finish(state, true, "删除频道成功！", kListLink, failures);
}

void Channel_Disable(RequestState& state, const ConsoleRequest& request) {
  SwitchChannels(state, request, false);
}

void Channel_Enable(RequestState& state, const ConsoleRequest& request) {
  SwitchChannels(state, request, true);
}

}  // namespace folirex
