// The record of the page being served, in parts with one meaning each: the host objects, the
// database, the site configuration, the current channel's settings, the list page the request
// asks for, and the per-request caches. A function takes the part it needs; a page procedure
// takes the whole RequestState. The request itself is not in it: the entry parses it and hands
// the page its values (ConsoleRequest, PublicRequest).
//
// One RequestState serves one request at a time, on the worker that runs the request, from
// OnStartPage to OnEndPage; nothing in it is shared between threads. The host objects are
// borrowed from the host for the request and must not be kept past it. Conn and Rs are owned
// by the database part: OpenDatabase creates them, CloseDatabase closes and drops them.
#ifndef FOLIREX_CORE_REQUEST_STATE_H_
#define FOLIREX_CORE_REQUEST_STATE_H_

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/db/variant.h"
#include "platform/host/application.h"
#include "platform/host/response.h"
#include "platform/host/server.h"
#include "platform/host/session.h"

namespace folirex {

struct PageReads;  // core/reads_ahead.h

struct SiteCaches;

// The host objects, borrowed for the request (set by OnStartPage, dropped by OnEndPage).
struct HostObjects {
  folirex::Application* Application = nullptr;
  folirex::Server* Server = nullptr;
  folirex::Session* Session = nullptr;
  folirex::Response* Response = nullptr;
};

// The page of a paged list the request asks for, read by the entry with the request's other
// values: the pagers (Cls_Pagination, the console's AdminPager) and the comment list's script
// link are drawn deep inside a page, where no reader of the request is at hand. A state that
// serves no request asks for page 1.
struct RequestedListPage {
  int32_t number = 1;  // RequestReader::Page
  std::string text;    // the value "page" as sent, trimmed
};

// The request's database: its settings, connection and shared recordset.
struct DatabaseState {
  // The database settings (the component's five properties).
  std::string DbType;
  std::string DBPath;
  std::string DBUser;
  std::string DBPwd;
  std::string DBServer;

  // The connection and shared recordset (OpenDatabase / CloseDatabase).
  std::unique_ptr<Connection> Conn;
  std::unique_ptr<Recordset> Rs;
  std::string ConnStr;
  // Statements run on the connections this request opened (the benchmarks' debug counter).
  int64_t SqlStatements = 0;
  // The lists kept by the server that serves the request (core/list_structures.h); null: none.
  struct ListCaches* Lists = nullptr;
  // The SQL statement being built inside one function; every user sets it before it opens Rs or
  // executes on Conn, and no caller reads it after a call.
  std::string Sql;
};

// The site configuration row, read once per request (LoadConfig). SiteLogo, SiteBanner,
// AdminLoginLink and SiteCopyright are HTML (the site owner types the copyright block as HTML;
// the others are built from the row); the other texts are text, encoded where a page shows them.
struct SiteConfig {
  Variant SiteName;
  Variant SiteUrl;
  std::string ChannelMenuHtml;  // nothing sets it; the channel menu label is always empty
  std::string SiteLogo;
  std::string SiteBanner;
  std::string AdminLoginLink;
  Variant SiteCopyright;
  Variant SiteEmail;
  Variant InstallDir;
  std::string DefaultFileExt;
  Variant DefaultTemplatePageID;
  Variant SiteKeyword;
  Variant SiteDesc;
  // The machine's own mail server ("host:port", from the settings file): where the mail flag
  // of the machine's mail service sends.
  std::string LocalMailServer = "127.0.0.1:25";
  // The networks article collection may fetch from besides public addresses (from the settings
  // file, checked when it was read).
  std::string CollectAllowNetworks;
};

// The current channel's settings (InitChannel), as a value: drawing another channel's block
// means taking that channel's value.
struct ChannelSettings {
  Variant ChannelID;
  Variant ChannelName;
  Variant ChannelType;
  Variant ChannelOpenType;
  Variant ChannelDisabled;
  std::string ChannelDir;
  Variant ProjectName;
  Variant ProjectUnit;
  Variant ClicksOfHot;
  Variant DaysOfNew;
  Variant GenerateHtml;
  Variant ContentFileType;
  std::string FirstFileExt;
  std::string ListFileExt;
  std::string ContentFileExt;
  Variant ListDirType;
  Variant ChannelTemplateID;
  Variant UploadDir;
  Variant ItemCount;
  Variant ItemCountChecked;
  Variant CommentCount;
  Variant SubjectCount;
  Variant ClickCount;
  Variant GroupNum;
  Variant NaviMenuCss;
};

// Rows already read in this request. A page that changes what they hold clears them.
struct RequestCaches {
  // The rows of Vantrel_Channel by channel id, each its values with the columns' places by name
  // (lower case, shared by the rows), read in one statement the first time a page asks about a
  // channel (FindChannelRow): a page that shows several channels asks about each one several
  // times. A page that changes a channel clears it.
  struct ChannelRow {
    std::shared_ptr<const std::map<std::string, size_t, std::less<>>> columns;
    std::vector<Variant> values;
  };
  std::optional<std::map<int64_t, ChannelRow>> ChannelRows;

  // Template pages by lookup ("set <id> <type>" or "page <id>"): their text and skin, so a page
  // and the cells of its blocks read each one once. A page that changes a template page or the
  // page map clears it.
  struct TemplatePageRow {
    bool found = false;
    std::string content;
    Variant skin_id;
  };
  std::map<std::string, TemplatePageRow> TemplatePageCache;

  // Rows of a paged list read ahead for the pages a generation step writes one after another,
  // so that the step reads its pages' rows in one query instead of one query a page, each
  // stepping over every row before its page. Only a generation step sets ListPagesAhead (0: each
  // page reads its own rows). The window holds the rows of `sql` bound to `params` from row
  // `first` (1-based), read when the list had `total` rows; `to_end` when the read reached the
  // select's last row.
  struct ListRowsWindow {
    std::string sql;
    std::vector<Variant> params;
    int64_t total = -1;
    int64_t first = 0;
    bool to_end = false;
    std::vector<std::vector<Variant>> rows;
  };
  int64_t ListPagesAhead = 0;
  ListRowsWindow ListRows;

  // The page's reads made ahead (ReadAhead, core/reads_ahead.h), by their select and values
  // (db::StatementKey); each is taken when drawn.
  std::map<std::string, std::shared_ptr<const db::KeptRows>> ReadAhead;
  // Selects the page asks to have read with the request's channels, its first read, on a
  // database that reads ahead (FindChannelRow, core/site_config.h); their rows join ReadAhead.
  std::vector<BoundSql> ReadWithChannels;
  // The key the page's reads ahead are kept under between requests (KeptPageReads,
  // core/site_caches.h), "" when they are not; what the page read ahead the last time it was
  // asked for, read with the channels too (then dropped), and how many reads that was; and what
  // this answer reads ahead, with whether any of it was not read with the channels
  // (core/reads_ahead.h).
  std::string PageReadsKey;
  std::shared_ptr<const PageReads> ForetoldReads;
  size_t ForetoldCount = 0;
  std::shared_ptr<PageReads> ReadsMade;
  bool ReadsUnforetold = false;

  void Clear() {
    ChannelRows.reset();
    TemplatePageCache.clear();
    ListRows = ListRowsWindow();
    ReadAhead.clear();
    ReadWithChannels.clear();
    PageReadsKey.clear();
    ForetoldReads.reset();
    ForetoldCount = 0;
    ReadsMade.reset();
    ReadsUnforetold = false;
  }
};

struct RequestState {
  HostObjects host;
  DatabaseState db;
  SiteConfig site;
  ChannelSettings channel;
  RequestedListPage list_page;
  RequestCaches caches;
  // The caches of the server that serves the request (core/site_caches.h), set before the entry
  // runs; null when nothing is kept between requests.
  SiteCaches* site_caches = nullptr;
};

}  // namespace folirex

#endif  // FOLIREX_CORE_REQUEST_STATE_H_
