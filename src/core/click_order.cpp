#include "core/click_order.h"

namespace folirex {

namespace {

// The table's columns and the article's they copy, in order.
constexpr const char* kOwnColumns =
    "k_articleid, k_channelid, k_deleted, k_checked, k_topflag, k_clicktimes";
constexpr const char* kArticleColumns =
    "d_id, d_channelid, d_deleted, d_checked, d_topflag, d_clicktimes";

std::string Upsert(const std::string& rows) {
  return "INSERT INTO " + std::string(kClickOrderTable) + " (" + kOwnColumns + ") " + rows +
         " ON CONFLICT (k_articleid) DO UPDATE SET k_channelid = EXCLUDED.k_channelid, "
         "k_deleted = EXCLUDED.k_deleted, k_checked = EXCLUDED.k_checked, k_topflag = "
         "EXCLUDED.k_topflag, k_clicktimes = EXCLUDED.k_clicktimes";
}

}  // namespace

std::vector<std::string> ClickOrderStatements() {
  const std::string table(kClickOrderTable);
  const std::string from_rows = std::string("SELECT ") + kArticleColumns + " FROM ";
  // A click changes one row: its row trigger updates the row it has here. Statements that add
  // or remove articles pass theirs all at once.
  const std::string body =
      "BEGIN IF TG_OP = 'UPDATE' THEN "
      "IF OLD.d_id <> NEW.d_id THEN DELETE FROM " +
      table +
      " WHERE k_articleid = OLD.d_id; END IF; "
      "UPDATE " +
      table +
      " SET k_channelid = NEW.d_channelid, k_deleted = NEW.d_deleted, k_checked = "
      "NEW.d_checked, k_topflag = NEW.d_topflag, k_clicktimes = NEW.d_clicktimes WHERE "
      "k_articleid = NEW.d_id; "
      "IF NOT FOUND THEN " +
      Upsert(
          "VALUES (NEW.d_id, NEW.d_channelid, NEW.d_deleted, NEW.d_checked, NEW.d_topflag, "
          "NEW.d_clicktimes)") +
      "; END IF; "
      "ELSIF TG_OP = 'INSERT' THEN " +
      Upsert(from_rows + "folirex_new_rows") + "; ELSIF TG_OP = 'DELETE' THEN DELETE FROM " +
      table +
      " WHERE k_articleid IN (SELECT d_id FROM folirex_old_rows); "
      "ELSE TRUNCATE " +
      table + "; END IF; RETURN NULL; END";
  std::string changed;
  for (const char* c :
       {"d_id", "d_channelid", "d_deleted", "d_checked", "d_topflag", "d_clicktimes"}) {
    changed +=
        std::string(changed.empty() ? "" : " OR ") + "OLD." + c + " IS DISTINCT FROM NEW." + c;
  }
  return {
      "CREATE TABLE IF NOT EXISTS " + table +
          " (k_articleid integer PRIMARY KEY, k_channelid integer NOT NULL, k_deleted yesno NOT "
          "NULL, k_checked yesno NOT NULL, k_topflag yesno NOT NULL, k_clicktimes integer NOT "
          "NULL)",
      // Rows of articles removed while no trigger kept the table, then every article's.
      "DELETE FROM " + table +
          " WHERE NOT EXISTS (SELECT 1 FROM Vantrel_Article WHERE d_id = k_articleid)",
      Upsert(from_rows + "Vantrel_Article"),
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
      "CREATE OR REPLACE TRIGGER trg_article_click_order_update AFTER UPDATE OF d_id, "
      "d_channelid, d_deleted, d_checked, d_topflag, d_clicktimes ON Vantrel_Article FOR EACH "
      "ROW WHEN (" +
          changed + ") EXECUTE FUNCTION folirex_article_click_order()",
      "DROP INDEX IF EXISTS idx_article_list_clicks",
  };
}

std::string ClickOrderedSelect(int count, std::string_view columns, std::string_view channel,
                               std::string_view cond) {
  // The order's columns come from the kept order, so that the database reads the rows in the
  // order of its index, whatever select is put around this one.
  std::string list;
  size_t begin = 0;
  while (begin <= columns.size()) {
    size_t end = columns.find(',', begin);
    if (end == std::string_view::npos) end = columns.size();
    std::string column(columns.substr(begin, end - begin));
    column.erase(0, column.find_first_not_of(' '));
    column.erase(column.find_last_not_of(' ') + 1);
    if (column == "d_topflag" || column == "d_clicktimes") {
      column = "k_" + column.substr(2) + " as " + column;
    }
    list += (list.empty() ? "" : ", ") + column;
    begin = end + 1;
  }
  std::string sql = "select ";
  if (count > 0) sql += "top " + std::to_string(count) + " ";
  sql += list + " from " + std::string(kClickOrderTable) +
         " inner join Vantrel_Article on d_id = k_articleid where k_channelid = " +
         std::string(channel) + " and k_deleted = false and k_checked = true and " +
         std::string(cond);
  if (count > 0) sql += " order by k_topflag, k_clicktimes desc, k_articleid";
  return sql;
}

}  // namespace folirex
