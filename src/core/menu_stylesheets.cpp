#include "core/menu_stylesheets.h"

#include <string_view>
#include <utility>

#include "core/site_files.h"
#include "platform/text/vb_text.h"

namespace folirex {

const std::vector<MenuSkin>& MenuSkins() {
  static const std::vector<MenuSkin> kSkins = {{"Windows XP起始菜单皮肤", "skin-xp.css"},
                                               {"Windows XP程序皮肤", "skin-xp-apps.css"},
                                               {"Windows 2000皮肤", "skin-win2k.css"},
                                               {"Windwos 9x皮肤", "skin-win98.css"},
                                               {"Office XP皮肤", "skin-xp-extended.css"},
                                               {"aqua皮肤", "skin-aqua.css"},
                                               {"深蓝皮肤", "skin-yp.css"},
                                               {"系统皮肤", "skin-system.css"}};
  return kSkins;
}

std::string RewriteMenuCss(const std::string& css, bool channel_has_folder) {
  return Replace(css, "/NaviMenu/", channel_has_folder ? "../../NaviMenu/" : "../NaviMenu/");
}

std::vector<std::string> WriteMenuStylesheets(const HostObjects& host,
                                              const std::string& channel_dir,
                                              const std::string& skin) {
  const std::string server_path = host.Application->Get("server_path").ToString();
  const bool ok = CreateFolderPath(host, std::string_view(channel_dir + "Skin"));
  const std::pair<std::string, std::string> copies[] = {{"menu-3d.css", "menu-3d.css"},
                                                        {"menu.css", "menu.css"},
                                                        {"menu-extended.css", "menu-extended.css"},
                                                        {skin, "default.css"}};
  std::vector<std::string> failed;
  for (const auto& [source, target] : copies) {
    std::string css = ReadTextFile(host, server_path + "NaviMenu/Css/" + source);
    if (!ok || css.empty() ||
        !WriteTextFile(host, channel_dir + "Skin/" + target,
                       RewriteMenuCss(css, !channel_dir.empty()))) {
      failed.push_back(target);
    }
  }
  return failed;
}

}  // namespace folirex
