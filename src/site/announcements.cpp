#include "site/announcements.h"

#include <cstdint>
#include <string>
#include <vector>

#include "core/site_caches.h"
#include "core/site_config.h"
#include "core/site_files.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/db/sql_params.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "site/interaction_text.h"

namespace folirex {

namespace {

constexpr int64_t kMaxAnnounceCount = 32767;

struct AnnounceChip {
  std::string layout;  // "1" one scrolling line, "2" an upward scrolling list
  int64_t count = 0;   // 0: all
  bool show_author = false;
  bool show_date = false;
};

// The chip's four fields, or false when one fails its check.
bool ParseChip(const Variant& parameters, AnnounceChip* chip) {
  std::vector<std::string> fields = Split(parameters.ToString(), ",");
  if (fields.size() != 4) return false;
  chip->layout = Trim(fields[0]);
  if (chip->layout != "1" && chip->layout != "2") return false;
  chip->count = interaction::DigitsUpTo(Trim(fields[1]), kMaxAnnounceCount);
  if (chip->count < 0) return false;
  for (int i = 2; i < 4; ++i) {
    std::string flag = LCase(Trim(fields[i]));
    if (flag != "true" && flag != "false") return false;
  }
  // Only the lower-case word counts as set; "True" passes the check and shows nothing.
  chip->show_author = Trim(fields[2]) == "true";
  chip->show_date = Trim(fields[3]) == "true";
  return true;
}

// Each list has a file of its own, named for what it holds, so that pages listing the
// announcements of another channel, or in another layout or number, never overwrite it.
std::string ListFileName(const std::string& channel, const AnnounceChip& chip) {
  return "Announce_" + channel + "_" + chip.layout + "_" + std::to_string(chip.count) + "_" +
         (chip.show_author ? "1" : "0") + (chip.show_date ? "1" : "0") + ".js";
}

}  // namespace

std::string ShowAnnounceList(RequestState& state, const ChannelSettings& page_channel,
                             const Variant& parameters, const Variant& page_type) {
  AnnounceChip chip;
  if (!ParseChip(parameters, &chip)) return "";
  if (!interaction::IsId(page_channel.ChannelID)) return "";

  // The site home page lists the site's own announcements (channel 0).
  const bool site_home = LCase(page_type.ToString()) == "default";
  const std::string channel = site_home ? "0" : page_channel.ChannelID.ToString();
  const int64_t channel_number = site_home ? 0 : page_channel.ChannelID.ToInt64Or(0);
  std::string top = chip.count == 0 ? "" : "top " + std::to_string(chip.count) + " ";
  const std::string sql = "select " + top +
                          "* from Vantrel_Announce where d_selectedflag = true and d_channelid = "
                          "? order by d_addtime desc";

  const std::string server_path = state.host.Application->Get("server_path").ToString();
  const std::string open_tail =
      "', 'noticewin', 'height=440, width=400, toolbar=no, menubar=no, scrollbars=auto, "
      "resizable=no, location=no, status=no')\">";
  const char* opening = chip.layout == "1" ? "[<a href='#' onclick=\"javascript:window.open('"
                                           : "<a href='#' onclick=\"javascript:window.open('";
  const char* closing = chip.layout == "1" ? "] " : "<br>";

  std::string list;
  Recordset rs;
  rs.Open(
      db::KeptRead{
          .tables = {"Vantrel_Announce"}, .sql = sql, .values = {SqlNumber(channel_number)}},
      *state.db.Conn);
  if (rs.Eof()) {
    list = "本栏目暂时没有公告！";
  }
  for (; !rs.Eof(); rs.MoveNext()) {
    std::string author = chip.show_author ? HtmlEscapeAttr(rs["d_author"].ToString()) : "";
    std::string date = chip.show_date ? FormatDate(rs["d_addtime"], 2) : "";
    list += opening + server_path + "asp.asp?m=notice&noticeid=" + rs["d_id"].ToString() +
            open_tail + HtmlEscapeAttr(rs["d_title"].ToString()) + "</a> " + author + "  " + date +
            closing;
  }
  rs.Close();

  std::string wrapped =
      chip.layout == "1"
          ? "<marquee onmouseover='this.stop()' onmouseout='this.start()' scrollAmount=1 "
            "scrollDelay=4 width='450' align='left'>" +
                list + "</marquee>"
          : "<marquee onmouseover='this.stop()' onmouseout='this.start()' scrollAmount=1 "
            "scrollDelay=4 width=300 align='left' direction=up>" +
                list + "</marquee>";

  const ChannelFolder folder =
      GetChannelFolder(state.host, state.db, state.caches, page_channel.ChannelID);
  const std::string file_name = ListFileName(channel, chip);
  const std::string file = folder.dir + "Js/" + file_name;
  const std::string body = HtmlToJsWrite(wrapped);
  // Most renderings find the list unchanged; rewriting it only when it changed spares the disk.
  if (!TextFileHolds(state.site_caches != nullptr ? &state.site_caches->text_files : nullptr,
                     state.host, file, body)) {
    CreateFolderPath(state.host, std::string_view(folder.dir + "Js"));
    WriteTextFile(state.host, file, body);
  }
  return "<script language='javascript' src='" + folder.path + "Js/" + file_name + "'></script>";
}

std::string ShowAnnounceDetail(DatabaseState& db, std::optional<int64_t> notice_id) {
  if (!interaction::IsId(notice_id)) return "传入参数错误！";
  Recordset rs;
  rs.Open(db::KeptRead{.tables = {"Vantrel_Announce"},
                       .sql = "select * from Vantrel_Announce where d_id = ?",
                       .values = {Variant(static_cast<long long>(*notice_id))}},
          *db.Conn);
  if (rs.Eof()) {
    rs.Close();
    return "传入参数错误！";
  }
  // The paragraph opened before the author is left open, as the announcement pages have it. The
  // body is HTML cleaned of script when saved; the title and the author are text.
  std::string html =
      "<table width='100%'  border='0' cellspacing='0' cellpadding='0' "
      "style='word-break:break-all;Width:fixed'>"
      "<tr><td align='center' height='24'>" +
      HtmlEscapeAttr(rs["d_title"].ToString()) + "</td></tr>" +
      "<tr><td align='left' valign='top'>" + rs["d_content"].ToString() + "</td></tr>" +
      "<tr><td align='right' valign='top'>" + "<p align='right'>" +
      HtmlEscapeAttr(rs["d_author"].ToString()) + "&nbsp;&nbsp;<br>" +
      FormatDate(rs["d_addtime"], 2) + "</td>" + "</tr>" + "</table>";
  rs.Close();
  return html;
}

}  // namespace folirex
