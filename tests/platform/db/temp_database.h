// A SQLite database file in a TempFolder of its own (an empty file is an empty SQLite database).
#ifndef FOLIREX_TESTS_PLATFORM_DB_TEMP_DATABASE_H_
#define FOLIREX_TESTS_PLATFORM_DB_TEMP_DATABASE_H_

#include <filesystem>
#include <string>

#include "platform/db/connection.h"
#include "support/temp_folder.h"

namespace folirex::testing {

class TempDatabase {
 public:
  TempDatabase() : path_(folder_.Write("site.mdb", "")) {}

  const std::filesystem::path& folder() const { return folder_.path(); }
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
  TempFolder folder_;
  std::filesystem::path path_;
};

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_PLATFORM_DB_TEMP_DATABASE_H_
