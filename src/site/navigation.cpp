#include "site/navigation.h"

#include <cstdint>
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
  std::string id, name, dir;
};

std::vector<NaviItem> ReadItems(DatabaseState& db, const std::string& sql) {
  Recordset rs;
  rs.Open(sql, *db.Conn, 0, 1);
  std::vector<NaviItem> items;
  while (!rs.Eof()) {
    items.push_back({rs["d_id"].ToString(), rs["d_name"].ToString(), rs["d_dir"].ToString()});
    rs.MoveNext();
  }
  rs.Close();
  return items;
}

// What both navigation blocks draw with: the column count and the request's channel's folder,
// id, install folder and HTML mode.
struct NaviLinks {
  int64_t cols;
  std::string channel_path;
  std::string channel;
  std::string install;
  std::string mode;
};

NaviLinks NaviLinksOf(RequestState& state, const Variant& columns) {
  return NaviLinks{Columns(columns),
                   GetChannelPath(state.host, state.db, state.caches, state.channel.ChannelID),
                   SqlNumber(state.channel.ChannelID), InstallPath(state),
                   state.channel.GenerateHtml.ToString()};
}

}  // namespace

std::string ShowClassNavi(RequestState& state, const Variant& columns) {
  const auto [cols, channel_path, channel, install, mode] = NaviLinksOf(state, columns);

  std::vector<NaviItem> tops = ReadItems(state.db,
                                         "select d_id, d_name, d_dir from Vantrel_ArticleClass "
                                         "where d_channelid= " +
                                             channel + " and d_pid = 0 order by d_order");
  if (tops.empty()) return "";

  auto class_link = [&](const NaviItem& c) {
    if (mode == "1") {
      return ClassListDirFor(channel_path, state.channel.ListDirType, Variant(c.dir)) + "list_" +
             c.id + state.channel.ListFileExt;
    }
    return install + "asp.asp?m=classlist&classid=" + c.id +
           "&channelid=" + state.channel.ChannelID.ToString();
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
        state.db, "select d_id, d_name, d_dir from Vantrel_ArticleClass where d_pid = " + top.id +
                      " order by d_order");
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

std::string ShowSubjectNavi(RequestState& state, const Variant& columns) {
  const auto [cols, channel_path, channel, install, mode] = NaviLinksOf(state, columns);

  std::vector<NaviItem> subjects =
      ReadItems(state.db,
                "select d_id, d_name, d_dir from Vantrel_ArticleSubject "
                "where d_channelid= " +
                    channel + " order by d_order");
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
      link = channel_path + "subject/" + s.dir + "/list_" + s.id + state.channel.ListFileExt;
    } else {
      link = install + "asp.asp?m=subjectlist&subjectid=" + s.id +
             "&channelid=" + state.channel.ChannelID.ToString();
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
