#include "core/click_order.h"

#include "platform/text/vb_text.h"

namespace folirex {

namespace {

constexpr const char* kTable = "Vantrel_ArticleClickOrder";

// The article's columns the table copies, each kept as "k_" and the name after "d_"; d_id is
// kept as k_articleid.
constexpr const char* kCopied[] = {"d_channelid", "d_deleted", "d_checked", "d_topflag",
                                   "d_clicktimes"};

std::string Own(const char* column) { return std::string("k_") + (column + 2); }

// The copied columns joined by `separator`, each written by `each`.
template <typename Each>
std::string EachCopied(const char* separator, Each each) {
  std::string list;
  for (const char* c : kCopied) list += (list.empty() ? "" : separator) + each(c);
  return list;
}

// Writes `rows` (the article's id and copied columns, in that order) into the table, replacing
// the rows it has of the same articles.
std::string Upsert(const std::string& rows) {
  return "INSERT INTO " + std::string(kTable) + " (k_articleid, " +
         EachCopied(", ", [](const char* c) { return Own(c); }) + ") " + rows +
         " ON CONFLICT (k_articleid) DO UPDATE SET " +
         EachCopied(", ", [](const char* c) { return Own(c) + " = EXCLUDED." + Own(c); });
}

}  // namespace

std::vector<std::string> ClickOrderStatements() {
  const std::string table(kTable);
  const std::string copied = EachCopied(", ", [](const char* c) { return std::string(c); });
  const std::string from_rows = "SELECT d_id, " + copied + " FROM ";
  // A click changes one row: its row trigger writes the row it has here. Statements that add or
  // remove articles pass theirs all at once.
  const std::string body =
      "BEGIN IF TG_OP = 'UPDATE' THEN IF OLD.d_id <> NEW.d_id THEN DELETE FROM " + table +
      " WHERE k_articleid = OLD.d_id; END IF; " +
      Upsert("VALUES (NEW.d_id, " +
             EachCopied(", ", [](const char* c) { return std::string("NEW.") + c; }) + ")") +
      "; ELSIF TG_OP = 'INSERT' THEN " + Upsert(from_rows + "folirex_new_rows") +
      "; ELSIF TG_OP = 'DELETE' THEN DELETE FROM " + table +
      " WHERE k_articleid IN (SELECT d_id FROM folirex_old_rows); ELSE TRUNCATE " + table +
      "; END IF; RETURN NULL; END";
  const std::string changed =
      "OLD.d_id IS DISTINCT FROM NEW.d_id OR " + EachCopied(" OR ", [](const char* c) {
        return std::string("OLD.") + c + " IS DISTINCT FROM NEW." + c;
      });
  return {
      "CREATE TABLE IF NOT EXISTS " + table +
          " (k_articleid integer PRIMARY KEY, k_channelid integer NOT NULL, k_deleted yesno NOT "
          "NULL, k_checked yesno NOT NULL, k_topflag yesno NOT NULL, k_clicktimes integer NOT "
          "NULL)",
      "CREATE INDEX IF NOT EXISTS idx_articleclickorder_list ON " + table +
          " (k_channelid, k_deleted, k_checked, k_topflag, k_clicktimes DESC, k_articleid)",
      "CREATE OR REPLACE FUNCTION folirex_article_click_order() RETURNS trigger LANGUAGE plpgsql "
      "AS $$ " +
          body + " $$",
      "CREATE OR REPLACE TRIGGER trg_article_click_order_insert AFTER INSERT ON Vantrel_Article "
      "REFERENCING NEW TABLE AS folirex_new_rows FOR EACH STATEMENT EXECUTE FUNCTION "
      "folirex_article_click_order()",
      "CREATE OR REPLACE TRIGGER trg_article_click_order_delete AFTER DELETE ON Vantrel_Article "
      "REFERENCING OLD TABLE AS folirex_old_rows FOR EACH STATEMENT EXECUTE FUNCTION "
      "folirex_article_click_order()",
      "CREATE OR REPLACE TRIGGER trg_article_click_order_truncate AFTER TRUNCATE ON "
      "Vantrel_Article FOR EACH STATEMENT EXECUTE FUNCTION folirex_article_click_order()",
      "CREATE OR REPLACE TRIGGER trg_article_click_order_update AFTER UPDATE OF d_id, " + copied +
          " ON Vantrel_Article FOR EACH ROW WHEN (" + changed +
          ") EXECUTE FUNCTION folirex_article_click_order()",
  };
}

std::string ClickOrderFillStep(int64_t low, int64_t high) {
  return "INSERT INTO " + std::string(kTable) + " (k_articleid, " +
         EachCopied(", ", [](const char* c) { return Own(c); }) + ") SELECT d_id, " +
         EachCopied(", ", [](const char* c) { return std::string(c); }) +
         " FROM Vantrel_Article WHERE d_id BETWEEN " + std::to_string(low) + " AND " +
         std::to_string(high) + " ON CONFLICT (k_articleid) DO NOTHING";
}

std::vector<std::string> ClickOrderFinish() {
  return {
      "DELETE FROM " + std::string(kTable) +
          " WHERE NOT EXISTS (SELECT 1 FROM Vantrel_Article WHERE d_id = k_articleid)",
      "DROP INDEX IF EXISTS idx_article_list_clicks",
  };
}

std::string ClickOrderedSelect(int count, std::string_view columns, std::string_view channel,
                               std::string_view cond) {
  // The order's columns come from the kept order, so that the database reads the rows in the
  // order of its index, whatever select is put around this one.
  std::string list;
  for (const std::string& part : Split(columns, ",")) {
    std::string column = Trim(part);
    if (column == "d_topflag" || column == "d_clicktimes") {
      column = Own(column.c_str()) + " as " + column;
    }
    list += (list.empty() ? "" : ", ") + column;
  }
  std::string sql = "select ";
  if (count > 0) sql += "top " + std::to_string(count) + " ";
  sql += list + " from " + std::string(kTable) +
         " inner join Vantrel_Article on d_id = k_articleid where k_channelid = " +
         std::string(channel) + " and k_deleted = false and k_checked = true and " +
         std::string(cond);
  if (count > 0) sql += " order by k_topflag, k_clicktimes desc, k_articleid";
  return sql;
}

}  // namespace folirex
