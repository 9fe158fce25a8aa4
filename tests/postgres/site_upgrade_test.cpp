// A site made before the advertisement page, opened by `folirex serve` on both database forms:
// the page's function code is added to the catalogue and granted to the accounts that may grant
// rights, once; a grant withdrawn afterwards stays withdrawn at the next start; the
// related-articles index is made; on PostgreSQL a body of a few kilobytes is kept in its row, and
// a click rewrites its article's row within its page.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "both_forms_site.h"
#include "core/md5.h"

namespace folirex::testing {
namespace {

class SiteUpgradeTest : public BothFormsSiteTest {
 protected:
  SiteUpgradeTest() : BothFormsSiteTest(Console::kSignedOut) {}

  // The rows of an older site: no XT_Manage_AD anywhere, no related-articles index. Besides admin,
  // "chief" may grant rights and "clerk" may only manage accounts.
  void Seed() override {
    Exec("delete from Vantrel_ManagerFunction where d_functioncode = 'XT_Manage_AD'");
    Exec("delete from Vantrel_Function where d_code = 'XT_Manage_AD'");
    Exec("drop index idx_article_related");
    if (GetParam() == Engine::kPostgres) {
      Exec("alter table Vantrel_Article reset (toast_tuple_target, fillfactor)");
    }
    for (const char* name : {"chief", "clerk"}) {
      Exec("insert into Vantrel_Admin (d_name, d_password, d_adduser) values (?, ?, 'admin')",
           {Variant(name), Variant(MD5("password1"))});
    }
    for (const char* grant : {"chief|XT_Manage_Main", "chief|XT_Manage_ManagerPrivilege",
                              "clerk|XT_Manage_Main", "clerk|XT_Manage_Manager"}) {
      std::string pair = grant;
      size_t bar = pair.find('|');
      Exec("insert into Vantrel_ManagerFunction (d_adminname, d_functioncode) values (?, ?)",
           {Variant(pair.substr(0, bar)), Variant(pair.substr(bar + 1))});
    }
  }

  int64_t Grants(const std::string& name) {
    return Value(
               "select count(*) from Vantrel_ManagerFunction where d_functioncode = "
               "'XT_Manage_AD' and d_adminname = '" +
               name + "'")
        .ToInt64();
  }
  // Where the advertisement page sends `name` once signed in (the sign-in replaces the session of
  // the one before): "" when it is shown.
  std::string AdPage(const std::string& name, const std::string& password) {
    EXPECT_TRUE(site_->SignIn(name, password)) << name;
    HttpAnswer page = site_->Get("/admin.asp?m=admin_ad");
    return page.status == 200 ? "" : page.Header("location");
  }
};

TEST_P(SiteUpgradeTest, TheAdvertisementRightIsAddedOnceToThoseWhoMayGrantRights) {
  EXPECT_EQ(Value("select count(*) from Vantrel_Function where d_code = 'XT_Manage_AD' and "
                  "d_flag = 1 and d_order = 26")
                .ToInt64(),
            1);
  EXPECT_EQ(AdPage("admin", password_), "");
  EXPECT_EQ(AdPage("chief", "password1"), "");
  EXPECT_EQ(AdPage("clerk", "password1"), "?m=admin_error&errnum=1");
  EXPECT_EQ(Grants("clerk"), 0);
  EXPECT_EQ(Value(GetParam() == Engine::kPostgres
                      ? "select count(*) from pg_indexes where indexname = 'idx_article_related'"
                      : "select count(*) from sqlite_schema where name = 'idx_article_related'")
                .ToInt64(),
            1);

  // Withdrawn from chief, the right is not given back when the site is opened again, and
  // nothing is added twice.
  Exec(
      "delete from Vantrel_ManagerFunction where d_adminname = 'chief' and d_functioncode = "
      "'XT_Manage_AD'");
  // On PostgreSQL the index carries the columns the related lookup shows; one made by an
  // earlier version without them is made again.
  const char* covering =
      "select count(*) from pg_indexes where indexname = 'idx_article_related' and indexdef "
      "like '%INCLUDE (d_id, d_title, d_classid)%'";
  if (GetParam() == Engine::kPostgres) {
    EXPECT_EQ(Value(covering).ToInt64(), 1);
    Exec("drop index idx_article_related");
    Exec(
        "create index idx_article_related on Vantrel_Article (d_channelid, d_deleted, "
        "d_checked, d_addtime, d_keyword)");
  }
  site_.reset();
  site_ = std::make_unique<ServedSite>(dir_);
  if (GetParam() == Engine::kPostgres) {
    EXPECT_EQ(Value(covering).ToInt64(), 1);
    // A body of 6 KB that does not compress, written after the upgrade, stays in its row: the
    // table's TOAST store gains no chunk.
    const std::string store =
        Value("select cast(reltoastrelid as regclass) from pg_class where oid = "
              "'vantrel_article'::regclass")
            .ToString();
    const int64_t chunks = Value("select count(*) from " + store).ToInt64();
    Exec(
        "insert into Vantrel_Article (d_channelid, d_title, d_content) select 1, 'long', "
        "string_agg(chr(19968 + (i * 7919) % 20000), '') from generate_series(1, 2000) i");
    EXPECT_EQ(Value("select max(octet_length(d_content)) from Vantrel_Article").ToInt64(), 6000);
    EXPECT_EQ(Value("select count(*) from " + store).ToInt64(), chunks);

    // Articles of 1.5 KB written after the upgrade leave room in their pages: a click's new
    // version of a row stays in the row's page, so it needs no new entry in any index. Three
    // such rows share a page, whose room takes at least one new version; the others fit once
    // the page's dead versions are pruned, which any transaction still open in the database
    // holds back (under a loaded test run, one in three stayed). On full pages every row moves.
    Exec(
        "insert into Vantrel_Article (d_channelid, d_title, d_checked, d_content) select 1, "
        "'room ' || n, true, (select string_agg(chr(19968 + (n * 131 + i * 7919) % 20000), '') "
        "from generate_series(1, 500) i) from generate_series(1, 24) n");
    Exec("create table room_pages as select d_id, ctid::text::point as at from "
         "Vantrel_Article where d_title like 'room %'");
    const int64_t first =
        Value("select min(d_id) from Vantrel_Article where d_title like 'room %'").ToInt64();
    for (int64_t id = first; id < first + 24; ++id) {
      EXPECT_EQ(site_->Get("/asp.asp?m=click&channelid=1&articleid=" + std::to_string(id)).status,
                200);
    }
    EXPECT_EQ(Value("select sum(d_clicktimes) from Vantrel_Article where d_title like 'room %'")
                  .ToInt64(),
              24);
    EXPECT_GE(Value("select count(*) from Vantrel_Article a join room_pages r on r.d_id = a.d_id "
                    "where (a.ctid::text::point)[0] = r.at[0]")
                  .ToInt64(),
              8);
  }
  EXPECT_EQ(AdPage("chief", "password1"), "?m=admin_error&errnum=1");
  EXPECT_EQ(Grants("admin"), 1);
  EXPECT_EQ(Value("select count(*) from Vantrel_Function where d_code = 'XT_Manage_AD'").ToInt64(),
            1);
}

FOLIREX_BOTH_DATABASE_FORMS(BothDatabaseForms, SiteUpgradeTest);

}  // namespace
}  // namespace folirex::testing
