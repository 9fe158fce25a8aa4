// The console test site with the channel page's usual steps: posting the add form with its
// defaults (fields overridden per test) and the edit form of a stored channel.
#ifndef FOLIREX_TESTS_TAXONOMY_CHANNEL_SITE_H_
#define FOLIREX_TESTS_TAXONOMY_CHANNEL_SITE_H_

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "console/console_site.h"

namespace folirex::testing {

using Fields = std::map<std::string, std::string>;

class ChannelSite : public ConsoleSite {
 public:
  // The add form as a browser posts it with its defaults and these fields.
  HttpAnswer AddChannel(const Fields& fields) {
    Fields form = {{"d_channelname", "新闻中心"}, {"d_desc", ""},
                   {"d_opentype", "0"},           {"d_disabledflag", "0"},
                   {"d_channeltype", "1"},        {"d_linkurl", ""},
                   {"d_moduletype", "1"},         {"d_channeldir", "News"},
                   {"d_projectname", "新闻"},     {"d_projectunit", "条"},
                   {"d_templateid", "1"},         {"d_shownameflag", "1"},
                   {"d_uploadflag", "1"},         {"d_uploaddir", "uplaodfile"},
                   {"d_maxfilesize", "1024"},     {"d_upfiletype", ""},
                   {"d_clicksofhot", "100"},      {"d_daysofnew", "3"},
                   {"d_generatehtml", "0"},       {"d_listdir", "0"},
                   {"d_contentfiletype", "0"},    {"d_firstfileext", "0"},
                   {"d_listfileext", "0"},        {"d_contentfileext", "0"},
                   {"d_groupnum", "30"}};
    for (const auto& [name, value] : fields) form[name] = value;
    return Post("/admin.asp?m=admin_channel&action=save", Pairs(form));
  }

  // The edit form of channel `id` as stored, with these fields changed.
  HttpAnswer UpdateChannel(int64_t id, const Fields& fields) {
    std::string where = " from Vantrel_Channel where d_id = " + std::to_string(id);
    Fields form;
    for (const char* column :
         {"d_channelname",  "d_desc",         "d_opentype",       "d_linkurl",
          "d_channeldir",   "d_projectname",  "d_projectunit",    "d_templateid",
          "d_uploaddir",    "d_maxfilesize",  "d_upfiletype",     "d_clicksofhot",
          "d_daysofnew",    "d_generatehtml", "d_listdir",        "d_contentfiletype",
          "d_firstfileext", "d_listfileext",  "d_contentfileext", "d_groupnum"}) {
      form[column] = SqlValue(std::string("select ") + column + where);
    }
    for (const char* flag : {"d_disabledflag", "d_shownameflag", "d_uploadflag"}) {
      form[flag] = SqlValue(std::string("select ") + flag + where) == "0" ? "0" : "1";
    }
    for (const auto& [name, value] : fields) form[name] = value;
    return Post("/admin.asp?m=admin_channel&action=update&id=" + std::to_string(id) +
                    "&channeltype=" + SqlValue("select d_channeltype" + where),
                Pairs(form));
  }

  bool Exists(const std::string& relative) const { return std::filesystem::exists(Disk(relative)); }

 private:
  static std::vector<std::pair<std::string, std::string>> Pairs(const Fields& form) {
    return {form.begin(), form.end()};
  }
};

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_TAXONOMY_CHANNEL_SITE_H_
