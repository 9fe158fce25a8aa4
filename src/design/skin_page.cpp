#include "design/skin_page.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "console/console_text.h"
#include "core/messages.h"
#include "core/site_config.h"
#include "core/site_files.h"
#include "design/named_rows_page.h"
#include "platform/text/html_escape.h"

namespace folirex {
namespace {

constexpr std::string_view kSkinTips[] = {"系统自带的风格不允许删除。"};

constexpr NamedRowKind kSkins = {
    .table = "Vantrel_Skin",
    .text_column = "d_content",
    .list_link = "所有页",
    .add_link = "新增风格",
    .list_headings = "<th width='8%'>ID</th><th width='84%'>风格名称</th>",
    .list_columns = 3,
    .empty_cell = "",
    .tips = kSkinTips,
    .name_label = "风格名称",
    .text_label = "风格内容",
    .text_area_size = "cols=60 rows=20",
    .text_missing = "提示：内容不允许为空！",
    .system_refused = "提示：系统自带的风格不允许删除！",
};

struct SkinContext : NamedRowsPage {
  explicit SkinContext(const ConsoleRequest& request) : NamedRowsPage(kSkins, request) {}
  std::string skin_root;  // the channel's site path ("/" + folder + "/"), whose Skin/ holds files
};

// Writes the skin's stylesheet file under the channel's Skin folder; the file's site path when
// it could not be written, "" when it was.
std::string WriteSkinFile(RequestState& state, const SkinContext& skin, const NamedRow& row) {
  std::string folder = skin.skin_root + "Skin";
  std::string file = folder + "/" + std::to_string(row.id) + ".css";
  bool written = CreateFolderPath(state.host, std::string_view(folder)) &&
                 WriteTextFile(state.host, file, row.text);
  return written ? "" : file;
}

// The answer of a save: the success box, or the row's success with the file's failure.
std::string SavedBox(const std::string& failed_file, const char* message, std::string links) {
  if (failed_file.empty()) return MessageBox(message, links);
  return MessageBox("提示：风格已保存，但风格文件 " + HtmlEscapeText(failed_file) +
                        " 没有写入成功！请检查该文件夹的写入权限后重新修改保存。",
                    links);
}

std::string EditAgainLinks(const SkinContext& skin, int64_t id) {
  return LinkItemTo(skin.base + "&action=edit&id=" + std::to_string(id), "重新修改") +
         LinkItemTo(skin.base, "返回列表");
}

void Skin_Save(RequestState& state, const SkinContext& skin) {
  NamedRow row = SaveNamedRow(state, skin);
  std::string failed = WriteSkinFile(state, skin, row);
  state.host.Response->Write(SavedBox(
      failed, "新增操作成功！",
      failed.empty()
          ? LinkItemTo(skin.base + "&action=add", "继续新增") + LinkItemTo(skin.base, "返回列表")
          : EditAgainLinks(skin, row.id)));
}

void Skin_Update(RequestState& state, const SkinContext& skin) {
  NamedRow row = UpdateNamedRow(state, skin);
  std::string failed = WriteSkinFile(state, skin, row);
  state.host.Response->Write(SavedBox(failed, "修改操作成功！", EditAgainLinks(skin, row.id)));
}

void Skin_Del(RequestState& state, const SkinContext& skin) {
  // Every id must name a skin of this channel, none of them a system skin.
  std::vector<int64_t> ids = PostedRowsToDelete(state, skin);
  DeleteNamedRows(*state.db.Conn, kSkins, ids);
  // Sub-folders named by a deleted skin's id go with it; the stylesheet files stay, for the
  // template pages that still link them.
  std::string pattern = "^(";
  for (size_t i = 0; i < ids.size(); ++i) pattern += (i ? "|" : "") + std::to_string(ids[i]);
  DeleteSubFolders(state.host, skin.skin_root + "Skin/", pattern + ")$");
  state.host.Response->Write(MessageBox("删除成功！", LinkItemTo(skin.base, "返回列表")));
}

}  // namespace

void Skin_Main(RequestState& state, const ConsolePage& page) {
  SkinContext skin(page.request);
  skin.channel = page.channel;
  skin.base = "?m=admin_skin&channelid=" + skin.channel.id_text;
  skin.skin_root = skin.channel.id == 0
                       ? state.host.Application->Get("server_path").ToString()
                       : GetChannelPath(state.host, state.db, state.caches, skin.channel.id_text);
  RunNamedRowsPage<SkinContext>(state, skin, page.request.action,
                                {{"del", Skin_Del}, {"save", Skin_Save}, {"update", Skin_Update}});
}

}  // namespace folirex
