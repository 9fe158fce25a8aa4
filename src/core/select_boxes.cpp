#include "core/select_boxes.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include "core/text_helpers.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/db/sql_params.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

// The option values compare as text, so a stored number matches the text a form posted.
bool IsSelected(const Variant& selected, const Variant& value) {
  if (selected.IsNull() || value.IsNull()) return false;
  return selected.ToString() == value.ToString();
}

// The options of `rows` when its SQL is not empty (a read naming no table is read from the
// database), else of `texts` and `values`.
std::string Options(DatabaseState& db, const std::vector<Variant>& texts,
                    const std::vector<Variant>& values, const Variant& selected,
                    const db::KeptRead& rows, std::string_view first_text) {
  std::string html;
  if (!first_text.empty()) {
    html += "<option value=''>";
    html += first_text;
    html += "</option>";
  }
  auto add_option = [&](const Variant& text, const Variant& value) {
    html += "<option value=\"" + HtmlEscapeAttr(value.ToString()) + "\"";
    if (IsSelected(selected, value)) html += " selected";
    html += ">" + HTMLEncode(text) + "</option>";
  };
  if (!rows.sql.empty()) {
    if (db.Conn == nullptr) throw DbError("BuildSelect: the database is not open");
    Recordset rs;
    rs.Open(rows, *db.Conn);
    while (!rs.Eof()) {
      add_option(rs.Field(0), rs.Field(1));
      rs.MoveNext();
    }
    rs.Close();
  } else {
    if (values.size() < texts.size()) {
      throw std::out_of_range("BuildSelect: fewer option values than option texts");
    }
    for (size_t i = 0; i < texts.size(); ++i) add_option(texts[i], values[i]);
  }
  return html;
}

std::string OpeningTag(std::string_view name) {
  return "<select name='" + std::string(name) + "' size=1";
}

// The lookup of `column` of the row of `table` whose d_id is `id`, its id bound as a number. The
// table goes into the statement as it stands, so only a plain table name is let through, and
// only a whole number as the id; nullopt for a number beyond any id (no row has it).
std::optional<BoundSql> LookupSql(std::string_view column, std::string_view table,
                                  const Variant& id) {
  bool table_ok = !table.empty();
  for (char c : table) {
    bool word =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    if (!word) table_ok = false;
  }
  if (!table_ok) throw DbError("row lookup: bad table name '" + std::string(table) + "'");
  std::string id_text(Trim(id.ToString()));
  size_t digits_from = (!id_text.empty() && id_text[0] == '-') ? 1 : 0;
  bool id_ok = id_text.size() > digits_from;
  for (size_t i = digits_from; i < id_text.size(); ++i) {
    if (id_text[i] < '0' || id_text[i] > '9') id_ok = false;
  }
  if (!id_ok) throw DbError("row lookup: id '" + id_text + "' is not a whole number");
  int64_t number = 0;
  auto [end, error] = std::from_chars(id_text.data(), id_text.data() + id_text.size(), number);
  if (error != std::errc()) return std::nullopt;
  return BoundSql{
      "select " + std::string(column) + " from " + std::string(table) + " where d_id = ?",
      {SqlNumber(number)}};
}

// The first column of the first row of the lookup, trimmed of blanks; *found tells whether there
// was a row.
std::string ReadOne(DatabaseState& db, std::string_view table,
                    const std::optional<BoundSql>& lookup, bool* found) {
  if (db.Conn == nullptr) throw DbError("row lookup: the database is not open");
  *found = false;
  if (!lookup) return "";
  Recordset rs;
  rs.Open(db::KeptRead{.tables = {table}, .sql = lookup->sql, .values = lookup->params}, *db.Conn);
  std::string result;
  *found = !rs.Eof();
  if (*found) result = std::string(Trim(rs.Field(0).ToString()));
  rs.Close();
  return result;
}

}  // namespace

std::string BuildSelect(DatabaseState& db, std::string_view name, const std::vector<Variant>& texts,
                        const std::vector<Variant>& values, const Variant& selected,
                        std::string_view sql, std::string_view first_text) {
  return OpeningTag(name) + ">" +
         Options(db, texts, values, selected, {.sql = std::string(sql)}, first_text) + "</select>";
}

std::string BuildBoundSelect(DatabaseState& db, std::string_view name, const Variant& selected,
                             std::string_view sql, const std::vector<Variant>& params,
                             std::string_view first_text) {
  return BuildBoundSelect(db, name, selected, {.sql = std::string(sql), .values = params},
                          first_text);
}

std::string BuildBoundSelect(DatabaseState& db, std::string_view name, const Variant& selected,
                             const db::KeptRead& read, std::string_view first_text) {
  return OpeningTag(name) + ">" + Options(db, {}, {}, selected, read, first_text) + "</select>";
}

std::string BuildSelectAttr(DatabaseState& db, std::string_view name,
                            const std::vector<Variant>& texts, const std::vector<Variant>& values,
                            const Variant& selected, std::string_view sql,
                            std::string_view first_text, std::string_view attributes) {
  return OpeningTag(name) + " " + std::string(attributes) + ">" +
         Options(db, texts, values, selected, {.sql = std::string(sql)}, first_text) + "</select>";
}

std::string BuildSelectOnChange(DatabaseState& db, std::string_view name,
                                const std::vector<Variant>& texts,
                                const std::vector<Variant>& values, const Variant& selected,
                                std::string_view sql, std::string_view first_text,
                                std::string_view onchange) {
  std::string tag = OpeningTag(name);
  if (!onchange.empty()) tag += " onchange=\"" + std::string(onchange) + "\"";
  return tag + ">" + Options(db, texts, values, selected, {.sql = std::string(sql)}, first_text) +
         "</select>";
}

std::string BuildTemplateSelect(DatabaseState& db, std::string_view name,
                                std::string_view page_type, const Variant& selected,
                                std::string_view first_text) {
  if (db.Conn == nullptr) throw DbError("BuildTemplateSelect: the database is not open");
  const bool sets = page_type.empty();
  std::string sql = std::string("select t.d_name, t.d_id, c.d_channelname from ") +
                    (sets ? "Vantrel_Template" : "Vantrel_TemplatePage") +
                    " t left join Vantrel_Channel c on c.d_id = t.d_channelid" +
                    (sets ? "" : " where t.d_type = ?") + " order by t.d_id";
  std::vector<Variant> texts, values;
  Recordset rs;
  rs.Open(sql,
          sets ? std::vector<Variant>{} : std::vector<Variant>{Variant(std::string(page_type))},
          *db.Conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) {
    const Variant& channel = rs.Field(2);
    texts.emplace_back(rs.Field(0).ToString() + "（" +
                       (channel.IsNull() ? std::string("系统") : Trim(channel.ToString())) + "）");
    values.push_back(rs.Field(1));
  }
  rs.Close();
  return BuildSelect(db, name, texts, values, selected, "", first_text);
}

std::string GetNameByID(DatabaseState& db, std::string_view table, const Variant& id) {
  bool found = false;
  std::string name = ReadOne(db, table, LookupSql("d_name", table, id), &found);
  return found ? name : std::string("不属于任何分类");
}

std::string GetDirByID(DatabaseState& db, std::string_view table, const Variant& id) {
  bool found = false;
  return ReadOne(db, table, LookupSql("d_dir", table, id), &found);
}

}  // namespace folirex
