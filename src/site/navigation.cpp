#include "site/navigation.h"

#include <cstdint>
#include <string_view>
#include <vector>

#include "core/site_config.h"
#include "platform/db/recordset.h"
#include "platform/text/html_escape.h"
#include "site/class_folders.h"
#include "site/list_support.h"

namespace folirex {
namespace {

// A column count of 0 or less is one column (the cell arithmetic divides by
// it).
int64_t Columns(const Variant& columns) {
  int64_t n = columns.ToInt64Or(1);
  if (n < 1) return 1;
  return n > 32767 ? 32767 : n;
}

struct NaviItem {
  Variant id;  // d_id as stored, bound as it is and written as its text
  std::string name, dir;
};

// The rows of `select` of `table` (d_id, d_name, d_dir) with its one "?" bound to `value`.
std::vector<NaviItem> ReadItems(DatabaseState& db, std::string_view table, std::string select,
                                const Variant& value) {
  Recordset rs;
  rs.Open(db::KeptRead{.tables = {table}, .sql = std::move(select), .values = {value}}, *db.Conn);
  std::vector<NaviItem> items;
  while (!rs.Eof()) {
    items.push_back({rs["d_id"], rs["d_name"].ToString(), rs["d_dir"].ToString()});
    rs.MoveNext();
  }
  rs.Close();
  return items;
}

// What both navigation blocks draw with: the column count and the channel's folder, id (0 when
// it has none), install folder and HTML mode.
struct NaviLinks {
  int64_t cols;
  std::string channel_path;
  Variant channel;
  std::string install;
  std::string mode;
};

NaviLinks NaviLinksOf(RequestState& state, const ChannelSettings& channel, const Variant& columns) {
  return NaviLinks{
      Columns(columns), GetChannelPath(state.host, state.db, state.caches, channel.ChannelID),
      Variant(channel.ChannelID.ToInt64Or(0)), InstallPath(state), channel.GenerateHtml.ToString()};
}

}  // namespace

std::string ShowClassNavi(RequestState& state, const ChannelSettings& settings,
                          const Variant& columns) {
  const auto [cols, channel_path, channel, install, mode] = NaviLinksOf(state, settings, columns);

  std::vector<NaviItem> tops = ReadItems(state.db, "Vantrel_ArticleClass",
                                         "select d_id, d_name, d_dir from Vantrel_ArticleClass "
                                         "where d_channelid= ? and d_pid = 0 order by d_order",
                                         channel);
  if (tops.empty()) return "";

  auto class_link = [&](const NaviItem& c) {
    if (mode == "1") {
      return ClassListDirFor(channel_path, settings.ListDirType, Variant(c.dir)) + "list_" +
             c.id.ToString() + settings.ListFileExt;
    }
    return install + "asp.asp?m=classlist&classid=" + c.id.ToString() +
           "&channelid=" + settings.ChannelID.ToString();
  };
  const std::string w = Variant(100.0 / static_cast<double>(cols + 1)).ToString();
  const std::string row_open = mode == "2" ? "<tr><td  width='" : "<tr><td width='";
  const std::string child_open = mode == "0" ? "<td  width='" : "<td width='";
  const std::string filler = "<td width='" + w + "%'>&nbsp;</td>";

  std::string html =
      "<table width='100%' border='0' align='center' "
      "cellpadding='3' cellspacing='0'>";
  for (const NaviItem& top : tops) {
    html += row_open + w + "%'>[<a href='" + class_link(top) + "'>" + HtmlEscapeAttr(top.name) +
            "</a>]</td>";
    // Children in tree order, so that the first sub-classes shown are the first
    // of the tree.
    std::vector<NaviItem> children = ReadItems(
        state.db, "Vantrel_ArticleClass",
        "select d_id, d_name, d_dir from Vantrel_ArticleClass where d_pid = ? order by d_order",
        top.id);
    int64_t j = 0;
    int64_t k = 0;
    for (const NaviItem& child : children) {
      ++j;
      k = j % cols;
      html += child_open + w + "%'><a href='" + class_link(child) + "'>" +
              HtmlEscapeAttr(child.name) + "</a></td>";
      if (k == 0) html += "</tr>";
      if (j >= cols) break;
    }
    if (j == 0) {
      for (int64_t n = 0; n < cols; ++n) html += filler;
      html += "</tr>";
    } else if (k > 0) {
      for (int64_t n = k; n < cols; ++n) html += filler;
      html += "</tr>";
    }
  }
  html += "</table>";
  return html;
}

std::string ShowSubjectNavi(RequestState& state, const ChannelSettings& settings,
                            const Variant& columns) {
  const auto [cols, channel_path, channel, install, mode] = NaviLinksOf(state, settings, columns);

  std::vector<NaviItem> subjects =
      ReadItems(state.db, "Vantrel_ArticleSubject",
                "select d_id, d_name, d_dir from Vantrel_ArticleSubject "
                "where d_channelid= ? order by d_order",
                channel);
  if (subjects.empty()) return "没有专题列表";

  std::string html =
      "<table width='100%' border='0' align='center' "
      "cellpadding='0' cellspacing='3'>";
  int64_t i = 0;
  int64_t k = 0;
  for (const NaviItem& s : subjects) {
    ++i;
    k = i % cols;
    if ((i - 1) % cols == 0) html += "<tr>";
    std::string link;
    if (mode == "1") {
      link = channel_path + "subject/" + s.dir + "/list_" + s.id.ToString() + settings.ListFileExt;
    } else {
      link = install + "asp.asp?m=subjectlist&subjectid=" + s.id.ToString() +
             "&channelid=" + settings.ChannelID.ToString();
    }
    html += "<td><a href='" + link + "'>" + HtmlEscapeAttr(s.name) + "</a></td>";
    if (k == 0) html += "</tr>";
  }
  if (k > 0) {
    for (int64_t n = k; n < cols; ++n) html += "<td>&nbsp;</td>";
    html += "</tr>";
  }
  html += "</table>";
  return html;
}

}  // namespace folirex
