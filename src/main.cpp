// The command line: `folirex init DIR` creates a site, `folirex serve DIR` serves it.
#include <pthread.h>
#include <signal.h>
#include <strings.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/feature_modules.h"
#include "app/site_setup.h"
#include "core/settings_file.h"
#include "core/site_server.h"
#include "platform/host/http_host.h"

namespace {

using folirex::ParseCount;
using folirex::SiteSettings;

// The short form, also printed (to stderr) when the command line is empty.
constexpr const char* kUsage =
    "usage: folirex init DIR [OPTION...]    create a new site in the folder DIR\n"
    "       folirex serve DIR [OPTION...]   serve the site in DIR until SIGINT or SIGTERM\n"
    "       folirex --help                  this text\n"
    "\"folirex init --help\" and \"folirex serve --help\" describe each command and its options.\n";

constexpr const char* kInitHelp =
    "usage: folirex init DIR\n"
    "       folirex init DIR --DbType 1 --DBServer HOST[:PORT] --DBPath NAME [--DBUser USER]\n"
    "                        [--DBPwd PASSWORD]\n"
    "Creates a new site in DIR, which must not exist yet or be empty: the site's files, its\n"
    "database, the settings file DIR/folirex.conf, and a random password for the administrator\n"
    "'admin'. It prints the name and the password and keeps them in DIR/data/admin-password.txt,\n"
    "which the server never serves. It refuses a folder that already holds a site.\n"
    "Without options the database is the SQLite file DIR/data/site.db. The options put it on a\n"
    "database server, reached through the ODBC driver registered under the name \"SQL Server\"\n"
    "(PostgreSQL's psqlODBC); that database must exist and be empty, and is loaded in one\n"
    "transaction. Their values go into folirex.conf, which only its owner can read.\n"
    "  --DbType 1              the database is on a server (0, the default: the SQLite file)\n"
    "  --DBServer HOST[:PORT]  the database server; the port may also be written HOST,PORT\n"
    "  --DBPath NAME           the database's name on the server\n"
    "  --DBUser USER           the account the site signs in to the database with\n"
    "  --DBPwd PASSWORD        that account's password\n"
    "Option names may be written in any letter case.\n";

// One option a line (a longer text goes on under the description's column); an option added
// to serve goes at the end of this list and of the usage line.
constexpr const char* kServeHelp =
    "usage: folirex serve DIR [--listen ADDR:PORT] [--threads N] [--max-connections N]\n"
    "Serves the site in DIR (made by folirex init) and prints its address and its console's.\n"
    "On SIGINT or SIGTERM it stops taking requests, closes idle connections, lets the requests\n"
    "under way finish within 10 seconds, and exits.\n"
    "  --listen ADDR:PORT  where to listen (default: Listen in DIR/folirex.conf, which init\n"
    "                      sets to 127.0.0.1:8080); port 0 takes a free port\n"
    "  --threads N         worker threads that run pages, 1 to 1024 (default 32); idle and\n"
    "                      slow connections hold none\n"
    "  --max-connections N open connections at most, 1 to 1000000 (default: MaxConnections\n"
    "                      in DIR/folirex.conf, else 10000); past it new ones are answered 503\n";

int Fail(const std::string& message, int code) {
  std::cerr << "folirex: " << message << "\n";
  return code;
}

bool IsHelp(const std::string& a) { return a == "--help" || a == "-h"; }

int Init(const std::vector<std::string>& args) {
  std::string dir;
  SiteSettings settings;
  // The five database settings, by option name; DbType is "0" (a file) unless given.
  struct DbOption {
    const char* name;
    std::string SiteSettings::*field;
    bool given = false;
  };
  DbOption options[] = {{"--DbType", &SiteSettings::DbType},
                        {"--DBServer", &SiteSettings::DBServer},
                        {"--DBPath", &SiteSettings::DBPath},
                        {"--DBUser", &SiteSettings::DBUser},
                        {"--DBPwd", &SiteSettings::DBPwd}};
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (IsHelp(a)) {
      std::cout << kInitHelp;
      return 0;
    } else if (!a.empty() && a[0] == '-') {
      DbOption* option = nullptr;
      for (DbOption& o : options) {
        if (strcasecmp(a.c_str(), o.name) == 0) option = &o;
      }
      if (option == nullptr) return Fail("init: unknown option '" + a + "'", 2);
      if (i + 1 >= args.size()) return Fail(std::string(option->name) + " needs a value", 2);
      const std::string& value = args[++i];
      if (value.find_first_of("\r\n") != std::string::npos) {
        return Fail(std::string(option->name) + " cannot hold a line break", 2);
      }
      settings.*option->field = value;
      option->given = true;
    } else if (dir.empty() && !a.empty()) {
      dir = a;
    } else {
      return Fail("init: unexpected argument '" + a + "'", 2);
    }
  }
  if (dir.empty()) return Fail("init needs a folder (see folirex init --help)", 2);
  if (settings.DbType.empty()) return Fail("--DbType needs a value: 0 or 1", 2);
  if (settings.DbType == "0") {
    for (const DbOption& o : options) {
      if (o.given && o.field != &SiteSettings::DbType) {
        return Fail(std::string(o.name) + " is for a server database (--DbType 1)", 2);
      }
    }
  } else {
    if (!options[1].given || settings.DBServer.empty()) {
      return Fail("a server database needs --DBServer HOST[:PORT]", 2);
    }
    if (!options[2].given || settings.DBPath.empty()) {
      return Fail("a server database needs --DBPath with the database's name", 2);
    }
  }
  folirex::CreatedSite created;
  std::string error;
  if (!folirex::CreateSite(dir, settings, &created, &error)) return Fail(error, 1);
  std::cout << "Created the site in " << dir << "\n"
            << "Administrator: " << created.admin_name << "\n"
            << "Password:      " << created.admin_password << "\n";
  return 0;
}

// serve's command line.
struct ServeArgs {
  std::string dir;
  std::string listen;
  int threads = 32;
  long max_connections = 0;  // 0: from the settings file
};

// Reads serve's arguments; an exit code when the command ends here (help, a bad argument).
std::optional<int> ParseServeArgs(const std::vector<std::string>& args, ServeArgs* out) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (IsHelp(a)) {
      std::cout << kServeHelp;
      return 0;
    } else if (a == "--listen" || a == "--threads" || a == "--max-connections") {
      if (i + 1 >= args.size()) return Fail(a + " needs a value", 2);
      const std::string& v = args[++i];
      if (a == "--listen") {
        out->listen = v;
      } else if (a == "--threads") {
        if (!ParseCount(v, 1, 1024, &out->threads)) {
          return Fail("--threads takes a number from 1 to 1024", 2);
        }
      } else if (!ParseCount(v, 1, 1000000, &out->max_connections)) {
        return Fail("--max-connections takes a number from 1 to 1000000", 2);
      }
    } else if (!a.empty() && a[0] == '-') {
      return Fail("serve: unknown option '" + a + "'", 2);
    } else if (out->dir.empty()) {
      out->dir = a;
    } else {
      return Fail("serve: unexpected argument '" + a + "'", 2);
    }
  }
  if (out->dir.empty()) return Fail("serve needs a site folder (see folirex serve --help)", 2);
  return std::nullopt;
}

// The host's options from the arguments and the settings file; an exit code when they are bad.
std::optional<int> HostOptionsFor(const ServeArgs& args, const std::filesystem::path& site,
                                  const SiteSettings& settings, folirex::HostOptions* options) {
  std::string listen = args.listen.empty() ? settings.listen : args.listen;
  if (!folirex::ParseListenAddress(listen, &options->listen_host, &options->port)) {
    return Fail("bad listen address '" + listen + "' (expected ADDR:PORT)", 2);
  }
  options->threads = args.threads;
  long max_connections = args.max_connections;
  if (max_connections == 0 && !ParseCount(settings.max_connections, 1, 1000000, &max_connections)) {
    return Fail("folirex.conf: MaxConnections takes a number from 1 to 1000000", 1);
  }
  options->max_connections = static_cast<size_t>(max_connections);
  std::string bad;
  if (!options->trusted_proxies.Parse(settings.trusted_proxies, &bad)) {
    return Fail("folirex.conf: TrustedProxies: '" + bad + "' is not an IP address", 1);
  }
  std::string error;
  if (!folirex::SetSiteHostOptions(settings, options, &error)) return Fail(error, 1);
  options->site_root = site;
  options->install_dir = folirex::ReadInstallDir(site, settings);
  return std::nullopt;
}

// Runs the host until SIGINT or SIGTERM. Signals are taken by one thread with sigwait, so they
// never interrupt a worker; the mask must be set before any other thread starts.
void RunUntilSignal(folirex::HttpHost& host, const sigset_t& signals) {
  std::atomic<bool> stopping{false};
  std::thread watcher([&] {
    timespec wait{0, 200 * 1000 * 1000};
    while (!stopping) {
      if (sigtimedwait(&signals, nullptr, &wait) > 0) {
        stopping = true;
        host.Stop();
      }
    }
  });
  host.Run();
  stopping = true;
  watcher.join();
}

int Serve(const std::vector<std::string>& arguments) {
  ServeArgs args;
  if (std::optional<int> code = ParseServeArgs(arguments, &args)) return *code;
  std::filesystem::path site = std::filesystem::absolute(args.dir).lexically_normal();
  SiteSettings settings;
  std::string error;
  if (!folirex::ReadSettingsFile(site / folirex::kSettingsFileName, &settings, &error)) {
    return Fail(error + " (create a site with: folirex init " + args.dir + ")", 1);
  }
  folirex::HostOptions options;
  if (std::optional<int> code = HostOptionsFor(args, site, settings, &options)) return *code;
  // A site made before the list and search indexes gets them here, before the first page. A
  // database that cannot be used now is no reason not to serve: the pages answer for it, and the
  // first list that finds the database usable makes them.
  folirex::SiteCaches caches;
  if (!folirex::PrepareListStructures(site, settings, &caches.lists, &error)) {
    std::cerr << "folirex: " << error << "\n";
  }
  options.folder_names = &caches.folder_names;
  folirex::HttpHost host(
      options, [&settings, &caches](folirex::EntryKind kind, folirex::PageObjects& objects) {
        folirex::ServePage(settings, caches, kind, objects);
      });

  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  if (!host.Bind(&error)) {
    const std::string& listen = args.listen.empty() ? settings.listen : args.listen;
    return Fail("cannot listen on " + listen + ": " + error, 1);
  }
  std::string base = "http://" + options.listen_host + ":" + std::to_string(host.port());
  std::cout << "Serving " << site.string() << "\n"
            << "  site:    " << base << options.install_dir << "\n"
            << "  console: " << base << options.install_dir << "admin.asp\n"
            << std::flush;
  {
    // After the server answers: on a large site this takes minutes.
    const folirex::SearchIndexBuildThread search_index(site, settings, caches.keyword_index,
                                                       caches.lists, std::cout);
    RunUntilSignal(host, signals);
  }
  std::cout << "Stopped.\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  folirex::RegisterFeatureModules(folirex::Modules());
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  std::string command = args[0];
  args.erase(args.begin());
  if (IsHelp(command)) {
    std::cout << kUsage;
    return 0;
  }
  if (command == "init") return Init(args);
  if (command == "serve") return Serve(args);
  return Fail("unknown command '" + command + "' (see folirex --help)", 2);
}
