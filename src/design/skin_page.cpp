#include "design/skin_page.h"

#include <cstdint>
#include <string>

#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "console/console_text.h"
#include "console/id_list.h"
#include "core/messages.h"
#include "core/site_config.h"
#include "core/site_files.h"
#include "design/template_blocks.h"
#include "platform/db/recordset.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

struct SkinContext {
  ConsoleChannel channel;
  std::string base;       // the page's own address for the channel
  std::string skin_root;  // the channel's site path ("/" + folder + "/"), whose Skin/ holds files
};

const Request& Req(RequestState& state) { return *state.host.Request; }

void Skin_ShowNavi(RequestState& state, const SkinContext& skin) {
  std::string base = HtmlEscapeAttr(skin.base);
  state.host.Response->Write(
      "<table border=0 cellspacing=0 align=center class=navi><tr><td align=right>[<a href='" +
      base + "'>所有页</a>] | [<a href='" + base +
      "&amp;action=add'>新增风格</a>]</td></tr></table><br>\r\n");
}

void Skin_ShowList(RequestState& state, const SkinContext& skin) {
  std::string base = HtmlEscapeAttr(skin.base);
  std::string html = DesignListHead(base, "<th width='8%'>ID</th><th width='84%'>风格名称</th>");
  Recordset& rs = *state.db.Rs;
  state.db.Sql = "select d_id, d_name, d_sysflag from Vantrel_Skin where d_channelid = " +
                 skin.channel.id_text + " order by d_id";
  rs.Open(state.db.Sql, *state.db.Conn, 0, 1);
  bool rows = false;
  for (; !rs.Eof(); rs.MoveNext()) {
    rows = true;
    std::string id = rs["d_id"].ToString();
    html += "<tr><td align=center>" + id + "</td><td><a href='" + base +
            "&amp;action=edit&amp;id=" + id + "'>" + HtmlEscapeText(rs["d_name"].ToString()) +
            "</a></td>" + CheckIdCell(id, rs["d_sysflag"].ToBoolOr(false)) + "</tr>\r\n";
  }
  rs.Close();
  html += rows ? BulkDeleteRow(3) : "<tr><td colspan=3>没有记录</td></tr>\r\n";
  html += "</table>\r\n</form><br>\r\n" + TipBox({"系统自带的风格不允许删除。"});
  state.host.Response->Write(html);
}

// The add form (no row) and the edit form (the stored skin).
void ShowForm(RequestState& state, const SkinContext& skin, const Recordset* row) {
  std::string base = HtmlEscapeAttr(skin.base);
  std::string action =
      row ? "&amp;action=update&amp;id=" + (*row)["d_id"].ToString() : "&amp;action=save";
  std::string name = row ? (*row)["d_name"].ToString() : "";
  std::string content = row ? (*row)["d_content"].ToString() : "";
  state.host.Response->Write(
      "<form name='form1' method='post' action='" + base + action + "'>" + FormTableHead() +
      "<tr><td align=right>风格名称：</td><td><input type='text' name='d_name' size=50 value='" +
      HtmlEscapeAttr(name) +
      "'></td><td><font color=red>*</font> 风格名称</td></tr>\r\n"
      "<tr><td align=right>风格内容：</td><td><textarea name='d_content' cols=60 rows=20>" +
      TextAreaContent(content) +
      "</textarea></td><td><font color=red>*</font> 风格内容</td></tr>\r\n" +
      FormButtonsFoot(base));
}

void Skin_Add(RequestState& state, const SkinContext& skin) { ShowForm(state, skin, nullptr); }

void Skin_Edit(RequestState& state, const SkinContext& skin) {
  int64_t id = 0;
  if (!ParseId(Req(state)("id"), &id)) AlertBack(state, kDesignParameterError);
  Recordset& rs = OpenRowOrRefuse(state,
                                  "select * from Vantrel_Skin where d_id = " + std::to_string(id) +
                                      " and d_channelid = " + skin.channel.id_text,
                                  {}, RowUse::kRead, kDesignParameterError);
  ShowForm(state, skin, &rs);
  rs.Close();
}

// The name and stylesheet a save or an update posts, stored as posted (blanks included).
void ReadPostedSkin(RequestState& state, std::string* name, std::string* content) {
  *name = Req(state)("d_name");
  if (name->empty()) AlertBack(state, "提示：名称不允许为空！");
  *content = Req(state)("d_content");
  if (content->empty()) AlertBack(state, "提示：内容不允许为空！");
}

// Writes the skin's stylesheet file under the channel's Skin folder; the file's site path when
// it could not be written, "" when it was.
std::string WriteSkinFile(RequestState& state, const SkinContext& skin, int64_t id,
                          const std::string& content) {
  std::string folder = skin.skin_root + "Skin";
  std::string file = folder + "/" + std::to_string(id) + ".css";
  bool written = CreateFolderPath(state.host, std::string_view(folder)) &&
                 WriteTextFile(state.host, file, content);
  return written ? "" : file;
}

// The answer of a save: the success box, or the row's success with the file's failure.
std::string SavedBox(const std::string& failed_file, const char* message, std::string links) {
  if (failed_file.empty()) return MessageBox(message, links);
  return MessageBox("提示：风格已保存，但风格文件 " + HtmlEscapeText(failed_file) +
                        " 没有写入成功！请检查该文件夹的写入权限后重新修改保存。",
                    links);
}

void Skin_Save(RequestState& state, const SkinContext& skin) {
  RequireFormPost(state);
  std::string name, content;
  ReadPostedSkin(state, &name, &content);

  Recordset& rs = *state.db.Rs;
  state.db.Sql = "select * from Vantrel_Skin where 1 < 0";
  rs.Open(state.db.Sql, *state.db.Conn, 1, 3);
  rs.AddNew();
  rs.Set("d_name", Variant(name));
  rs.Set("d_channelid", Variant(skin.channel.id));
  rs.Set("d_content", Variant(content));
  rs.Set("d_sysflag", Variant(false));
  rs.Update();
  int64_t id = rs["d_id"].ToInt64Or(0);
  rs.Close();

  std::string failed = WriteSkinFile(state, skin, id, content);
  state.host.Response->Write(SavedBox(
      failed, "新增操作成功！",
      failed.empty()
          ? LinkItemTo(skin.base + "&action=add", "继续新增") + LinkItemTo(skin.base, "返回列表")
          : LinkItemTo(skin.base + "&action=edit&id=" + std::to_string(id), "重新修改") +
                LinkItemTo(skin.base, "返回列表")));
}

void Skin_Update(RequestState& state, const SkinContext& skin) {
  RequireFormPost(state);
  int64_t id = 0;
  if (!ParseId(Req(state)("id"), &id)) AlertBack(state, kDesignParameterError);
  std::string name, content;
  ReadPostedSkin(state, &name, &content);

  // A skin of another channel is refused: its file lies in that channel's folder.
  Recordset& rs = OpenRowOrRefuse(state,
                                  "select * from Vantrel_Skin where d_id = " + std::to_string(id) +
                                      " and d_channelid = " + skin.channel.id_text,
                                  {}, RowUse::kChange, kDesignParameterError);
  rs.Set("d_name", Variant(name));
  rs.Set("d_content", Variant(content));
  rs.Update();
  rs.Close();

  std::string failed = WriteSkinFile(state, skin, id, content);
  state.host.Response->Write(
      SavedBox(failed, "修改操作成功！",
               LinkItemTo(skin.base + "&action=edit&id=" + std::to_string(id), "重新修改") +
                   LinkItemTo(skin.base, "返回列表")));
}

void Skin_Del(RequestState& state, const SkinContext& skin) {
  // Every id must name a skin of this channel, none of them a system skin.
  IdList list =
      PostedOwnRows(state, "Vantrel_Skin", skin.channel, "提示：系统自带的风格不允许删除！");

  state.db.Sql = "delete from Vantrel_Skin where d_id in (" + list.sql + ")";
  state.db.Conn->Execute(state.db.Sql);
  // Sub-folders named by a deleted skin's id go with it; the stylesheet files stay, for the
  // template pages that still link them.
  std::string pattern = "^(";
  for (size_t i = 0; i < list.ids.size(); ++i) {
    pattern += (i ? "|" : "") + std::to_string(list.ids[i]);
  }
  DeleteSubFolders(state.host, skin.skin_root + "Skin/", pattern + ")$");
  state.host.Response->Write(MessageBox("删除成功！", LinkItemTo(skin.base, "返回列表")));
}

}  // namespace

void Skin_Main(RequestState& state, const ConsolePage& page) {
  SkinContext skin;
  skin.channel = page.channel;
  skin.base = "?m=admin_skin&channelid=" + skin.channel.id_text;
  skin.skin_root = skin.channel.id == 0
                       ? state.host.Application->Get("server_path").ToString()
                       : GetChannelPath(state.host, state.db, state.caches, skin.channel.id_text);
  Skin_ShowNavi(state, skin);
  auto with = [&skin](void (*run)(RequestState&, const SkinContext&)) {
    return [&skin, run](RequestState& s) { run(s, skin); };
  };
  RunAdminAction(state, page.request.action,
                 {{"add", with(Skin_Add)},
                  {"del", with(Skin_Del)},
                  {"edit", with(Skin_Edit)},
                  {"save", with(Skin_Save)},
                  {"update", with(Skin_Update)}},
                 with(Skin_ShowList));
}

}  // namespace folirex
