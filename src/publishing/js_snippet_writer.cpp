#include "publishing/js_snippet_writer.h"

#include <string>
#include <vector>

#include "core/select_boxes.h"
#include "core/site_files.h"
#include "core/text_helpers.h"
#include "platform/text/vb_text.h"
#include "site/article_list.h"
#include "site/article_list_sql.h"
#include "site/article_pic.h"
#include "site/interaction_text.h"
#include "site/navigation.h"
#include "site/search.h"

namespace folirex {

namespace {

// A file name the writer may create in the channel's Js folder: one plain name, so that no
// definition can reach another folder of the site.
bool IsPlainFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || c == ':' || u < 0x20 || u == 0x7F) return false;
  }
  return true;
}

std::string SearchForm(RequestState& state, const ChannelSettings& channel) {
  std::vector<Variant> field_texts = {"文章标题", "文章作者", "录 入 者"};
  std::vector<Variant> field_values = {"d_title", "d_author", "d_inputer"};
  std::vector<Variant> order_texts = {"文章id升序",   "文章id降序", "更新时间升序",
                                      "更新时间降序", "点击数升序", "点击数降序"};
  std::vector<Variant> order_values = {"1", "2", "3", "4", "5", "6"};
  return "<table border='0' cellpadding='0' cellspacing='0'><form action='asp.asp?m=search&"
         "channelid=" +
         channel.ChannelID.ToString() + "' method=post>" + "<tr><td>" +
         BuildSelect(state.db, "searchtype", field_texts, field_values, "", "", "") + "&nbsp;" +
         ShowSearchClassSelect(state.db, channel) + "&nbsp;" +
         BuildSelect(state.db, "searchorder", order_texts, order_values, "4", "", "") +
         "&nbsp;<input type='text' name='searchkeyword'  size='10' value='关键字' "
         "maxlength='50' onFocus='this.select();'>&nbsp;<input type='submit' name='Submit'  "
         "value=' 搜索 '></td></tr>" +
         "</form></table>";
}

// The column count of a navigation snippet; the callers pass whole numbers, anything else is
// one column.
Variant Columns(const Variant& parameters) {
  int64_t columns = interaction::DigitsUpTo(parameters, 1000);
  return columns > 0 ? Variant(columns) : Variant(1);
}

}  // namespace

bool CreateJsFile(RequestState& state, const ChannelSettings& channel, const Variant& file_name,
                  const Variant& parameters, const Variant& type) {
  const std::string name = file_name.ToString();
  if (!IsPlainFileName(name)) return false;

  // Compared as text, so 3 and "3" are the same type and an empty type is none.
  const std::string code = type.ToString();
  std::string html;
  if (code == "0") {
    const BoundSql sql =
        GetArticleListSql(state.db, channel, parameters, "", std::nullopt, std::nullopt);
    html = RenderArticleList(state, Split(parameters.ToString(), ","), sql, "");
  } else if (code == "1") {
    html = ShowArticlePic(state, parameters, "", std::nullopt, std::nullopt);
  } else if (code == "2") {
    html = SearchForm(state, channel);
  } else if (code == "3") {
    html = ShowClassNavi(state, channel, Columns(parameters));
  } else if (code == "5") {
    html = ShowSubjectNavi(state, channel, Columns(parameters));
  }

  const std::string folder = channel.ChannelDir + "Js";
  CreateFolderPath(state.host, std::string_view(folder));
  return WriteTextFile(state.host, folder + "/" + name, HtmlToJsWrite(html));
}

bool IsSnippetFileName(std::string_view name) {
  constexpr std::string_view kExt = ".js";
  if (name.size() < 2 + kExt.size()) return false;
  std::string_view stem = name.substr(0, name.size() - kExt.size());
  if (!EqualsIgnoreCase(name.substr(stem.size()), kExt)) return false;
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  if (!letter(stem[0])) return false;
  for (char c : stem) {
    if (!letter(c) && !(c >= '0' && c <= '9') && c != '_') return false;
  }
  return true;
}

bool WriteSnippetFile(RequestState& state, const ChannelSettings& channel, const Variant& file_name,
                      const Variant& config, const Variant& type) {
  const std::string name = file_name.ToString();
  if (!IsSnippetFileName(name)) return false;
  return CreateJsFile(state, channel, name,
                      Replace(config.IsNull() ? "" : config.ToString(), "|", ","), type);
}

}  // namespace folirex
