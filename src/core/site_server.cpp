#include "core/site_server.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>

#include "core/article_keywords.h"
#include "core/database.h"
#include "core/folirex.h"
#include "core/list_structures.h"
#include "core/search_structures.h"
#include "core/site_upgrade.h"
#include "platform/db/provider.h"

namespace folirex {

bool SetSiteHostOptions(const SiteSettings& settings, HostOptions* options, std::string* error) {
  if (!ParseMemorySize(settings.max_body_memory, &options->max_body_memory)) {
    *error = "folirex.conf: MaxBodyMemory takes a size from 1MB to 1048576MB, in bytes or with MB";
    return false;
  }
  if (!ParseMemorySize(settings.max_client_body_memory, &options->max_client_body_memory)) {
    *error =
        "folirex.conf: MaxClientBodyMemory takes a size from 1MB to 1048576MB, in bytes or with MB";
    return false;
  }
  if (!ParseMemorySize(settings.max_answer_memory, &options->max_answer_memory)) {
    *error =
        "folirex.conf: MaxAnswerMemory takes a size from 1MB to 1048576MB, in bytes or with MB";
    return false;
  }
  if (!ParseMemorySize(settings.max_client_answer_memory, &options->max_client_answer_memory)) {
    *error =
        "folirex.conf: MaxClientAnswerMemory takes a size from 1MB to 1048576MB, in bytes or "
        "with MB";
    return false;
  }
  if (!ParseCount(settings.max_client_connections, 1, 1000000, &options->max_client_connections)) {
    *error = "folirex.conf: MaxClientConnections takes a number from 1 to 1000000";
    return false;
  }
  options->sign_in_body_bytes = kSignInBodyBytes;
  options->body_limit = RequestBodyLimit;
  return true;
}

void ServePage(const SiteSettings& settings, SiteCaches& caches, EntryKind kind,
               PageObjects& objects) {
  Folirex component;
  component.state().site_caches = &caches;
  component.state().db.Lists = &caches.lists;
  component.OnStartPage(objects);
  component.SetDbType(settings.DbType);
  component.SetDBPath(settings.DBPath);
  component.SetDBUser(settings.DBUser);
  component.SetDBPwd(settings.DBPwd);
  component.SetDBServer(settings.DBServer);
  component.state().site.LocalMailServer = settings.mail_server;
  component.state().site.CollectAllowNetworks = settings.collect_allow_networks;
  struct EndPage {
    Folirex& component;
    PageObjects& objects;
    ~EndPage() {
      component.OnEndPage();
      // FOLIREX_SQL_COUNT=1 prints the statements each page ran, for the benchmarks.
      static const bool count = std::getenv("FOLIREX_SQL_COUNT") != nullptr;
      if (count) {
        std::fprintf(stderr, "sql %lld %s?%s\n",
                     static_cast<long long>(component.state().db.SqlStatements),
                     objects.request.Path().c_str(),
                     objects.request.ServerVariables("QUERY_STRING").c_str());
      }
    }
  } end_page{component, objects};
  if (kind == EntryKind::kAdmin) {
    component.ICommonAdmin();
  } else {
    component.ICommon();
  }
}

namespace {

// The database settings of the site's settings file, for a state opened outside a request.
void UseSiteDatabase(DatabaseState& db, const SiteSettings& settings) {
  db.DbType = settings.DbType;
  db.DBPath = settings.DBPath;
  db.DBUser = settings.DBUser;
  db.DBPwd = settings.DBPwd;
  db.DBServer = settings.DBServer;
}

}  // namespace

bool PrepareListStructures(const std::filesystem::path& site, const SiteSettings& settings,
                           ListCaches* lists, std::string* error) {
  Server server(site, "/");
  RequestState state;
  state.host.Server = &server;
  UseSiteDatabase(state.db, settings);
  if (!TryOpenDatabase(state.db, state.host)) {
    *error = "cannot open the site's database";
    return false;
  }
  bool ok = true;
  try {
    EnsureListStructures(*state.db.Conn, lists);
  } catch (const std::exception& e) {
    *error = std::string("cannot make the list and search indexes: ") + e.what();
    ok = false;
  }
  try {
    UpgradeSiteRows(*state.db.Conn);
  } catch (const std::exception& e) {
    *error += std::string(ok ? "" : "; ") + "cannot bring the site up to date: " + e.what();
    ok = false;
  }
  CloseDatabase(state.db);
  return ok;
}

namespace {

// How often the search's build on PostgreSQL says how far the index it makes is: an index of
// the bodies takes most of an hour at 1,000,000 articles.
constexpr std::chrono::seconds kIndexProgressEvery{30};

// While it lives, reads on a connection of its own how far the index being made in the site's
// database is (PostgreSQL) every kIndexProgressEvery, and tells `say` when it has moved.
class IndexProgressWatch {
 public:
  IndexProgressWatch(const std::filesystem::path& site, const SiteSettings& settings,
                     std::function<void(const std::string&)> say) {
    thread_ = std::thread([this, site, settings, say = std::move(say)] {
      Server server(site, "/");
      RequestState state;
      state.host.Server = &server;
      UseSiteDatabase(state.db, settings);
      if (!TryOpenDatabase(state.db, state.host)) return;
      std::string said;
      std::unique_lock lock(mutex_);
      while (!cv_.wait_for(lock, kIndexProgressEvery, [this] { return done_; })) {
        lock.unlock();
        try {
          const IndexBuildProgress p = ReadIndexBuildProgress(*state.db.Conn);
          std::string line;
          if (p.running) {
            line = "making an index of " + p.table + ": " + p.phase;
            if (p.blocks_total > 0) {
              line += ", " + std::to_string(p.blocks_done) + " of " +
                      std::to_string(p.blocks_total) + " blocks";
            }
          }
          if (!line.empty() && line != said) say(line);
          said = line;
        } catch (const std::exception&) {
          // Only what is shown is lost; the build goes on.
        }
        lock.lock();
      }
      lock.unlock();
      CloseDatabase(state.db);
    });
  }
  ~IndexProgressWatch() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  IndexProgressWatch(const IndexProgressWatch&) = delete;
  IndexProgressWatch& operator=(const IndexProgressWatch&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace

namespace {

using Say = std::function<void(const std::string&)>;

// Writes each line whole, after `prefix`, to `out` (which must outlive every call).
Say LinesTo(std::ostream& out, std::string prefix) {
  return [&out, prefix = std::move(prefix)](const std::string& line) {
    std::ostringstream text;
    text << prefix << line << "\n";
    out << text.str() << std::flush;
  };
}

int64_t SecondsSince(std::chrono::steady_clock::time_point began) {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - began)
      .count();
}

// A progress callback that says each tenth passed after `from` percent.
template <typename Progress>
std::function<void(const Progress&)> EachTenth(int from, const Say& say) {
  return [said = from / 10, say](const Progress& progress) mutable {
    if (progress.ready || progress.percent / 10 <= said) return;
    said = progress.percent / 10;
    say(std::to_string(progress.percent) + "%");
  };
}

// The lists' structures built from `from` percent, said on `say`.
void BuildListsSaying(Connection& conn, ListCaches* lists, int from, const Say& say,
                      const std::atomic<bool>* stop) {
  try {
    const auto began = std::chrono::steady_clock::now();
    const bool ready = BuildListStructures(
        conn, lists, {.on_progress = EachTenth<ListStructuresProgress>(from, say), .stop = stop});
    say(ready ? "ready (built in " + std::to_string(SecondsSince(began)) + " s)"
              : "stopped; the next start goes on from " +
                    std::to_string(ReadListStructuresProgress(conn).percent) + "%");
  } catch (const std::exception& e) {
    say(std::string("cannot be built: ") + e.what() + "; lists read the articles");
  }
}

// The search structures built where they are not yet, said on `say`; `keywords` when the
// keyword index was built just before (its readiness is then said even with nothing to build).
void BuildSearchSaying(Connection& conn, ListCaches* lists, const std::filesystem::path& site,
                       const SiteSettings& settings, bool keywords, const Say& say,
                       const std::atomic<bool>* stop) {
  try {
    EnsureListStructures(conn, lists);
    const SearchIndexProgress before = ReadSearchIndexProgress(conn);
    if (before.ready) {
      if (keywords) say("ready");
      return;
    }
    say("building in the background from " + std::to_string(before.percent) +
        "%; searches read the articles meanwhile");
    const auto began = std::chrono::steady_clock::now();
    std::unique_ptr<IndexProgressWatch> watch;
    if (conn.engine() == SqlEngine::kPostgres) {
      watch = std::make_unique<IndexProgressWatch>(site, settings, say);
    }
    const bool ready = BuildSearchStructures(
        conn, {.on_progress = EachTenth<SearchIndexProgress>(before.percent, say),
               .stop = stop,
               .ready = SearchReadyOf(lists)});
    say(ready ? "ready (built in " + std::to_string(SecondsSince(began)) + " s)"
              : "stopped; the next start goes on from " +
                    std::to_string(ReadSearchIndexProgress(conn).percent) + "%");
  } catch (const std::exception& e) {
    say(std::string("cannot be built: ") + e.what() + "; searches read the articles");
  }
}

}  // namespace

// The database the background build reads and writes, opened before the server listens.
struct SearchIndexBuildThread::Database {
  explicit Database(const std::filesystem::path& site) : server(site, "/") {
    state.host.Server = &server;
  }
  Server server;
  RequestState state;
};

SearchIndexBuildThread::SearchIndexBuildThread(const std::filesystem::path& site,
                                               const SiteSettings& settings,
                                               KeywordIndexMarks& keyword_index,
                                               ListCaches& list_caches, std::ostream& out)
    : database_(std::make_unique<Database>(site)) {
  RequestState& state = database_->state;
  state.db.Lists = &list_caches;
  UseSiteDatabase(state.db, settings);
  if (!TryOpenDatabase(state.db, state.host)) return;  // PrepareListStructures said why
  // Marked before the first page can come, so that no page makes the keyword index itself.
  keywords_ = std::make_unique<ArticleKeywordIndexBuild>(*state.db.Conn, keyword_index);
  const Say say = LinesTo(out, "search index: ");
  const Say say_lists = LinesTo(out, "list structures: ");
  // Said before the first page is answered: whoever waits for the build's last line ("ready",
  // "stopped" or "cannot be built") sees that there is one.
  bool keywords = true;
  try {
    keywords = keywords_->Needed();
  } catch (const std::exception&) {
  }
  // The lists' indexes come first: they serve every list page.
  std::optional<ListStructuresProgress> lists;
  try {
    EnsureListStructures(*state.db.Conn, state.db.Lists);
    const ListStructuresProgress progress = ReadListStructuresProgress(*state.db.Conn);
    if (!progress.ready) lists = progress;
  } catch (const std::exception&) {
  }
  if (lists) {
    say_lists("building in the background from " + std::to_string(lists->percent) +
              "%; lists read the articles meanwhile");
  }
  if (keywords) {
    say("building the keyword index of related articles first; related articles read the "
        "channel meanwhile");
  }
  thread_ = std::thread([this, say, say_lists, lists, keywords, site, settings] {
    RequestState& state = database_->state;
    Connection& conn = *state.db.Conn;
    if (lists) {
      BuildListsSaying(conn, state.db.Lists, lists->percent, say_lists, &stop_);
      if (stop_) {
        keywords_.reset();
        CloseDatabase(state.db);
        return;
      }
    }
    try {
      const auto began = std::chrono::steady_clock::now();
      if (keywords_->Run()) {
        say("keyword index built in " + std::to_string(SecondsSince(began)) + " s");
      }
    } catch (const std::exception& e) {
      say(std::string("keyword index not built: ") + e.what() +
          "; the first article page that needs it makes it");
    }
    keywords_.reset();
    BuildSearchSaying(conn, state.db.Lists, site, settings, keywords, say, &stop_);
    CloseDatabase(state.db);
  });
}

SearchIndexBuildThread::~SearchIndexBuildThread() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  keywords_.reset();
  if (database_->state.db.Conn) CloseDatabase(database_->state.db);
}

std::string ReadInstallDir(const std::filesystem::path& site, const SiteSettings& settings) {
  Server server(site, "/");
  RequestState state;
  state.host.Server = &server;
  UseSiteDatabase(state.db, settings);
  std::string dir = "/";
  if (TryOpenDatabase(state.db, state.host)) {
    try {
      Recordset rs;
      rs.Open(db::KeptRead{.tables = {"Vantrel_Config"},
                           .sql = "select d_installdir from Vantrel_Config"},
              *state.db.Conn);
      if (!rs.Eof()) dir = rs["d_installdir"].ToString();
    } catch (const std::exception&) {
    }
    CloseDatabase(state.db);
  }
  if (dir.empty() || dir[0] != '/') dir = "/" + dir;
  if (dir.back() != '/') dir += "/";
  return dir;
}

}  // namespace folirex
