// A SQLite database file in a folder of its own under the system's temporary folder, removed
// with everything in it when the fixture ends. Tests of one program may run in parallel: every
// instance gets a fresh folder.
#ifndef FOLIREX_TESTS_PLATFORM_DB_TEMP_DATABASE_H_
#define FOLIREX_TESTS_PLATFORM_DB_TEMP_DATABASE_H_

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/db/connection.h"

namespace folirex::testing {

class TempDatabase {
 public:
  // Creates the folder and an empty database file (an empty file is an empty SQLite database).
  TempDatabase() {
    std::string pattern = (std::filesystem::temp_directory_path() / "folirex-db-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    folder_ = pattern;
    path_ = folder_ / "site.mdb";
    std::ofstream(path_).close();
  }
  ~TempDatabase() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  TempDatabase(const TempDatabase&) = delete;
  TempDatabase& operator=(const TempDatabase&) = delete;

  const std::filesystem::path& folder() const { return folder_; }
  std::string path() const { return path_.string(); }
  // The file form the pages build, with the blanks round "=" that they write.
  std::string ConnectionString() const {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path() + ";";
  }

  // Tables shaped like the site's: flags as YESNO (-1/0), dates as DATETIME text, names NOCASE.
  void CreateSchema(Connection& conn) const {
    conn.Execute(
        "create table Vantrel_Article (d_id integer primary key autoincrement, "
        "d_channelid integer not null default 1, d_classid integer default 0, "
        "d_subjectid integer default 0, d_title varchar(100) collate nocase default '', "
        "d_author varchar(50) collate nocase default '', d_addtime datetime, "
        "d_clicktimes integer default 0, d_topflag yesno default 0, d_hotflag yesno default 0, "
        "d_deleted yesno default 0, d_checked yesno default -1, d_keyword text collate nocase, "
        "d_uploadfiles text collate nocase, d_picurl text collate nocase, d_content text)");
    conn.Execute(
        "create table Vantrel_ArticleClass (d_id integer primary key autoincrement, "
        "d_channelid integer default 1, d_name varchar(50) collate nocase, "
        "d_dir varchar(50) collate nocase, d_pid integer default 0, d_rootid integer default 0, "
        "d_level integer default 0, d_path varchar(255) collate nocase, d_order integer default 0, "
        "d_child integer default 0, d_commentflag yesno default -1)");
    conn.Execute(
        "create table Vantrel_Keyword (d_id integer primary key autoincrement, "
        "d_channelid integer default 1, d_name varchar(50) collate nocase, "
        "d_order integer default 0)");
  }

 private:
  std::filesystem::path folder_;
  std::filesystem::path path_;
};

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_PLATFORM_DB_TEMP_DATABASE_H_
