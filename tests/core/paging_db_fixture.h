// A request state over a real SQLite file in a unique temporary folder, for the pagers and the
// select boxes: a table `Items` of numbered rows, a small class table, and a request whose
// query string or posted form carries the page number.
#ifndef FOLIREX_TESTS_CORE_PAGING_DB_FIXTURE_H_
#define FOLIREX_TESTS_CORE_PAGING_DB_FIXTURE_H_

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/public_request.h"
#include "core/request_reader.h"
#include "core/request_state.h"
#include "platform/db/connection.h"
#include "platform/host/request.h"
#include "support/temp_folder.h"

namespace folirex::testing {

class PagingDb {
 public:
  PagingDb() : path_((folder_.path() / "paging.db").string()) {
    if (sqlite3_open(path_.c_str(), &db_) != SQLITE_OK) {
      throw std::runtime_error("cannot create " + path_);
    }
    Exec(
        "create table Items (d_id integer primary key autoincrement, d_name text, "
        "d_sort integer);"
        "create table Vantrel_ArticleClass (d_id integer primary key autoincrement, "
        "d_name text, d_dir text);");
    state.db.Conn = std::make_unique<Connection>();
    state.db.Conn->Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path_ + ";");
    SetQuery("");
  }
  ~PagingDb() {
    state.db.Conn.reset();
    sqlite3_close(db_);
  }
  PagingDb(const PagingDb&) = delete;
  PagingDb& operator=(const PagingDb&) = delete;

  // Straight on the file, beside the connection under test.
  void Exec(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      std::string message = error != nullptr ? error : "?";
      sqlite3_free(error);
      throw std::runtime_error(message + " in " + sql);
    }
  }

  // Items 1..count, named "item <n>", with a scrambled sort key so that an ordered select is
  // not the insertion order.
  void AddItems(int count) {
    Exec(
        "insert into Items (d_name, d_sort) with recursive c(x) as (select 1 union all "
        "select x + 1 from c where x < " +
        std::to_string(count) + ") select 'item ' || x, (x * 7919) % 1009 from c");
  }

  // The ids of `select` run straight on the file.
  std::vector<int64_t> Ids(const std::string& select) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, select.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      throw std::runtime_error(sqlite3_errmsg(db_));
    }
    std::vector<int64_t> ids;
    while (sqlite3_step(stmt) == SQLITE_ROW) ids.push_back(sqlite3_column_int64(stmt, 0));
    sqlite3_finalize(stmt);
    return ids;
  }

  // The request of the page: a GET with this query string.
  void SetQuery(const std::string& query) {
    RawRequest raw;
    raw.method = "GET";
    raw.path = "/admin.asp";
    raw.query = query;
    request_ = std::make_unique<Request>(std::move(raw));
    state.list_page = ReadListPage(RequestReader(*request_, nullptr));
  }

  // A POST with this query string and url-encoded form body.
  void SetPost(const std::string& query, const std::string& body) {
    RawRequest raw;
    raw.method = "POST";
    raw.path = "/admin.asp";
    raw.query = query;
    raw.body = body;
    raw.headers = {{"Content-Type", "application/x-www-form-urlencoded"},
                   {"Content-Length", std::to_string(body.size())}};
    request_ = std::make_unique<Request>(std::move(raw));
    state.list_page = ReadListPage(RequestReader(*request_, nullptr));
  }

  RequestState state;

 private:
  TempFolder folder_;
  std::string path_;
  sqlite3* db_ = nullptr;
  std::unique_ptr<Request> request_;
};

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_CORE_PAGING_DB_FIXTURE_H_
