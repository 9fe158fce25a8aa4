#include "site/sub_class_blocks.h"

#include <optional>
#include <string_view>
#include <vector>

#include "core/public_request.h"
#include "core/site_config.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/text/vb_text.h"
#include "site/article_list.h"
#include "site/channel_loader.h"
#include "site/list_support.h"
#include "site/public_pages.h"
#include "site/template_engine.h"

namespace folirex {
namespace {

constexpr const char* kGridStart =
    "<table width='100%' border='0' align='center' cellpadding='0' "
    "cellspacing='0'>";

// Splits the design text at its separator: the block text and the body.
bool SplitDesign(const std::string& design, const std::string& separator, std::string* block,
                 std::string* body) {
  size_t first = design.find(separator);
  if (design.empty() || first == std::string::npos) return false;
  *block = design.substr(0, first);
  size_t start = first + separator.size();
  size_t second = design.find(separator, start);
  *body = design.substr(start, second == std::string::npos ? std::string::npos : second - start);
  return true;
}

// The column count: the one character after the first "listsubclasslist:" of
// the block text, a digit from 1 to 9.
std::optional<int> ColumnCount(const std::string& block) {
  const std::string lower = LCase(block);
  size_t at = lower.find("listsubclasslist");
  if (at == std::string::npos) return std::nullopt;
  size_t digit = at + std::string_view("listsubclasslist").size() + 1;
  if (digit >= block.size()) return std::nullopt;
  const std::string c = block.substr(digit, 1);
  if (!IsDigits(c) || c == "0") return std::nullopt;
  return c[0] - '0';
}

// The grid of the cells; the site home grid and the class grid differ in their
// cell, row end and table end.
std::string Grid(const std::vector<std::string>& cells, int cols, bool home) {
  if (cells.empty()) return "";
  const std::string spacer = "<tr height=5><td colspan=" + std::to_string(cols) + "></td></tr>";
  std::string html = kGridStart;
  size_t k = 0;
  for (const std::string& cell : cells) {
    ++k;
    if ((k - 1) % cols == 0) html += "<tr>";
    html += (home ? "<td valign=top>" : "<td valign=top  height='100%'>") + cell + "</td>";
    if (k % cols != 0) {
      html += "<td width=5></td>";
    } else {
      html += "</tr>";
      if (!home) html += spacer;
    }
  }
  if (k % cols != 0) {
    for (size_t m = k % cols; m < static_cast<size_t>(cols); ++m) html += "<td>&nbsp;</td>";
    html += "</tr>";
    if (!home) html += spacer;
  }
  html += home ? "<tr><td colspan='" + std::to_string(cols) + "' height=5></td></tr></table>"
               : std::string("</table>");
  return html;
}

// Every occurrence of `from` (any letter case) replaced by `to`; the rest of
// the text as typed.
std::string ReplaceNoCase(const std::string& text, std::string_view from, const std::string& to) {
  const std::string lower = LCase(text);
  std::string out;
  size_t start = 0;
  for (size_t at = lower.find(from); at != std::string::npos; at = lower.find(from, start)) {
    out.append(text, start, at - start);
    out += to;
    start = at + from.size();
  }
  out.append(text, start, std::string::npos);
  return out;
}

// One site home cell: the body rendered as a class list of the cell's channel
// with class 0, page size 20.
TemplateArgs CellArgs(const Variant& generate_html) {
  return {.page_type = "classlist",
          .generate_html = generate_html.ToString(),
          .class_id = 0,
          .page_size = 20};
}

// Reads what a block's cells read (their whole lists, pages of lists and pictures) in one go before
// the first cell is drawn (where the database reads ahead): `each` calls the planner it is given
// with each cell's channel, body and page arguments.
template <typename EachCell>
void ReadCellsAhead(RequestState& state, EachCell each) {
  if (!ReadsAhead(state.db)) return;
  PageReads reads;
  each([&](const ChannelSettings& channel, const std::string& body, const TemplateArgs& args) {
    PageReads cell = PageReadsOf(state, channel, body, args);
    for (BoundSql& list : cell.lists) reads.lists.push_back(std::move(list));
    for (BoundSql& other : cell.others) reads.others.push_back(std::move(other));
    for (Connection::TogetherRead& page : cell.pages) reads.pages.push_back(std::move(page));
  });
  ReadAhead(state, std::move(reads));
}

std::string CellPage(RequestState& state, const ChannelSettings& channel, const PageSkin& skin,
                     const Variant& generate_html, std::string body) {
  return ParseTemplate(state, channel, skin, body, CellArgs(generate_html));
}

}  // namespace

std::string ShowSubClassListByChannel(RequestState& state, const PageSkin& skin,
                                      int64_t block_number, const Variant& design) {
  const std::string separator = "[zarnik" + std::to_string(block_number) + "]";
  std::string block;
  std::string body;
  if (!SplitDesign(design.ToString(), separator, &block, &body)) return "";
  std::optional<int> cols = ColumnCount(block);
  if (!cols) return block;

  struct ChannelRow {
    Variant id, generate_html;
  };
  std::vector<ChannelRow> channels;
  for (const RequestCaches::ChannelRow* row : ShownChannels(state.db, state.caches)) {
    channels.push_back({ChannelValue(*row, "d_id"), ChannelValue(*row, "d_generatehtml")});
  }
  if (channels.empty()) return "";

  // Each cell is a page of its channel: the engine draws the body (the
  // channel's folder, path, lists and menus) with the cell's settings.
  struct Cell {
    ChannelSettings channel;
    Variant generate_html;
    std::string body;
  };
  const std::string lower = LCase(body);
  std::vector<Cell> planned;
  for (const ChannelRow& row : channels) {
    std::optional<ChannelSettings> cell_channel =
        LoadChannelSettings(state.db, state.caches, ParseId(row.id.ToString()));
    if (!cell_channel) continue;
    const std::string id = row.id.ToString();
    // Chips naming the current channel (-1) are bound to the cell's channel;
    // the rest of the body keeps its letter case (scripts and file names in it
    // depend on it).
    if (lower.find("listarticlelist:-1") != std::string::npos) {
      planned.push_back({std::move(*cell_channel), row.generate_html,
                         ReplaceNoCase(body, "listarticlelist:-1", "listarticlelist:" + id)});
    } else if (lower.find("listarticlepic:-1") != std::string::npos) {
      planned.push_back({std::move(*cell_channel), row.generate_html,
                         ReplaceNoCase(body, "listarticlepic:-1", "listarticlepic:" + id)});
    } else {
      Variant generate = cell_channel->GenerateHtml;
      planned.push_back({std::move(*cell_channel), std::move(generate), body});
    }
  }
  ReadCellsAhead(state, [&](const auto& plan) {
    for (const Cell& cell : planned) plan(cell.channel, cell.body, CellArgs(cell.generate_html));
  });
  std::vector<std::string> cells;
  for (Cell& cell : planned) {
    cells.push_back(CellPage(state, cell.channel, skin, cell.generate_html, std::move(cell.body)));
  }
  return Grid(cells, *cols, /*home=*/true);
}

std::string ShowSubClassList(RequestState& state, const ChannelSettings& channel,
                             std::optional<int64_t> class_id, const Variant& page_type,
                             const Variant& design) {
  std::string block;
  std::string body;
  if (!SplitDesign(design.ToString(), "[zarnik]", &block, &body)) return "";
  std::optional<int> cols = ColumnCount(block);
  if (!cols) return block;

  const std::string type = LCase(page_type.ToString());
  // The top-level classes of a channel's first page, the sub-classes of a class list's class.
  int64_t parent = 0;
  if (type == "classlist") {
    parent = class_id.value_or(0);
  } else if (type != "first") {
    return "";
  }
  std::vector<Variant> classes;
  {
    Recordset rs;
    rs.Open(db::KeptRead{.tables = {"Vantrel_ArticleClass"},
                         .sql = "select d_id from Vantrel_ArticleClass where d_channelid = ? and "
                                "d_pid = ? order by d_order",
                         .values = {Variant(channel.ChannelID.ToInt64Or(0)), Variant(parent)}},
            *state.db.Conn);
    while (!rs.Eof()) {
      classes.push_back(rs["d_id"]);
      rs.MoveNext();
    }
  }
  if (classes.empty()) return "";

  // Each cell is drawn by the class list handler with its class's skin; the cells' lists are read
  // together first.
  ReadCellsAhead(state, [&](const auto& plan) {
    for (const Variant& id : classes) {
      plan(channel, body, {.page_type = "classlist", .class_id = ParseId(id.ToString())});
    }
  });
  std::vector<std::string> cells;
  for (const Variant& id : classes) {
    cells.push_back(ShowClassList(state, channel, ParseId(id.ToString()), body));
  }
  return Grid(cells, *cols, /*home=*/false);
}

}  // namespace folirex
