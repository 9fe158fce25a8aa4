// What the PostgreSQL tests share: the private cluster that ./test.sh starts (read from
// FOLIREX_PG_SERVER, FOLIREX_PG_USER, FOLIREX_PG_PASSWORD; the ODBC driver is registered as
// "SQL Server" through ODBCSYSINI), a fresh database per test, the folirex program run as an
// administrator runs it, and a site served by `folirex serve` in a process of its own with a
// small cookie-keeping client.
//
// Every PgDatabase has its own name and every served site its own port, so tests may run in
// parallel. Without FOLIREX_PG_SERVER the tests that need the cluster are skipped.
#ifndef FOLIREX_TESTS_POSTGRES_PG_TEST_SUPPORT_H_
#define FOLIREX_TESTS_POSTGRES_PG_TEST_SUPPORT_H_

#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <regex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/site_setup.h"
#include "platform/db/connection.h"
#include "platform/db/provider.h"
#include "platform/db/scoped_transaction.h"
#include "platform/text/codepage.h"
#include "support/test_site.h"

namespace folirex::testing {

struct PgServer {
  std::string server;  // "127.0.0.1:port"
  std::string user;
  std::string password;

  // The cluster ./test.sh started; an empty server when there is none.
  static PgServer FromEnvironment() {
    PgServer s;
    if (const char* v = std::getenv("FOLIREX_PG_SERVER")) s.server = v;
    if (const char* v = std::getenv("FOLIREX_PG_USER")) s.user = v;
    if (const char* v = std::getenv("FOLIREX_PG_PASSWORD")) s.password = v;
    return s;
  }
  bool available() const { return !server.empty(); }

  // The server form exactly as the entries build it from the five settings.
  std::string ConnectionString(const std::string& database) const {
    return "driver={SQL Server};server=" + server + ";database=" + database + ";uid=" + user +
           ";pwd=" + password + ";";
  }
};

#define FOLIREX_REQUIRE_POSTGRES(pg)                                                 \
  do {                                                                               \
    if (!(pg).available()) {                                                         \
      GTEST_SKIP() << "FOLIREX_PG_SERVER is not set: ./test.sh starts a PostgreSQL " \
                      "cluster for these tests";                                     \
    }                                                                                \
  } while (false)

// A database of its own on the cluster, dropped (with whatever is still connected to it) when the
// object goes away.
class PgDatabase {
 public:
  explicit PgDatabase(const PgServer& server) : server_(server) {
    static std::atomic<int> counter{0};
    std::random_device random;
    name_ = "folirex_t" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + "_" +
            std::to_string(random() % 100000);
    Admin("CREATE DATABASE " + name_);
  }
  ~PgDatabase() {
    db::ClearSessionPool();
    try {
      Admin("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
    } catch (const std::exception&) {
    }
  }
  PgDatabase(const PgDatabase&) = delete;
  PgDatabase& operator=(const PgDatabase&) = delete;

  const std::string& name() const { return name_; }
  std::string ConnectionString() const { return server_.ConnectionString(name_); }

  // The schema and shipped rows, loaded as `folirex init` loads them.
  void LoadSite() {
    Connection conn;
    conn.Open(ConnectionString());
    ScopedTransaction transaction(conn);
    LoadDatabaseScripts(conn, ShareFolder() / "db");
    transaction.Commit();
  }

  // Runs SQL in the pages' dialect on the database.
  void Sql(const std::string& sql, const std::vector<Variant>& params = {}) {
    Connection conn;
    conn.Open(ConnectionString());
    conn.Execute(sql, params);
  }
  Variant SqlValue(const std::string& sql, const std::vector<Variant>& params = {}) {
    Connection conn;
    conn.Open(ConnectionString());
    return conn.ExecuteScalar(sql, params);
  }

 private:
  void Admin(const std::string& sql) {
    Connection conn;
    conn.Open(server_.ConnectionString("postgres"));
    conn.session().ExecuteNative(sql);
  }

  PgServer server_;
  std::string name_;
};

struct ProgramRun {
  int code = -1;
  std::string output;  // both streams
};

// Runs the folirex program with the arguments (each passed as one argument, no shell).
inline ProgramRun RunFolirex(const std::vector<std::string>& args) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid == 0) {
    dup2(pipe_fds[1], 1);
    dup2(pipe_fds[1], 2);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(FOLIREX_BINARY));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(FOLIREX_BINARY, argv.data());
    _exit(127);
  }
  close(pipe_fds[1]);
  ProgramRun run;
  char buffer[4096];
  ssize_t n;
  while ((n = read(pipe_fds[0], buffer, sizeof buffer)) > 0) {
    run.output.append(buffer, static_cast<size_t>(n));
  }
  close(pipe_fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// `folirex init DIR` on the database `db` of `pg`, through the server form.
inline ProgramRun InitSiteOn(const PgServer& pg, const PgDatabase& db,
                             const std::filesystem::path& dir) {
  return RunFolirex({"init", dir.string(), "--DbType", "1", "--DBServer", pg.server, "--DBPath",
                     db.name(), "--DBUser", pg.user, "--DBPwd", pg.password});
}

// The administrator's password that `folirex init` printed.
inline std::string PrintedPassword(const std::string& output) {
  std::smatch m;
  if (std::regex_search(output, m, std::regex("Password:\\s*(\\S+)"))) return m[1];
  return "";
}

// `folirex serve DIR` on 127.0.0.1 with a port the system picks, stopped with SIGTERM when the
// object goes away. Get and Post keep cookies like a browser and decode the GB2312 pages.
class ServedSite {
 public:
  explicit ServedSite(const std::filesystem::path& dir) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ == 0) {
      dup2(pipe_fds[1], 1);
      int devnull = open("/dev/null", O_WRONLY);
      dup2(devnull, 2);
      close(pipe_fds[0]);
      close(pipe_fds[1]);
      execl(FOLIREX_BINARY, FOLIREX_BINARY, "serve", dir.c_str(), "--listen", "127.0.0.1:0",
            "--threads", "8", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(pipe_fds[1]);
    // The program prints its addresses once it listens.
    std::string printed;
    char buffer[512];
    std::smatch m;
    const std::regex console("console: http://127\\.0\\.0\\.1:(\\d+)/");
    while (!std::regex_search(printed, m, console)) {
      ssize_t n = read(pipe_fds[0], buffer, sizeof buffer);
      if (n <= 0) {
        close(pipe_fds[0]);
        Stop();
        throw std::runtime_error("folirex serve ended before it listened: " + printed);
      }
      printed.append(buffer, static_cast<size_t>(n));
    }
    port_ = std::stoi(m[1]);
    output_fd_ = pipe_fds[0];
  }
  ~ServedSite() { Stop(); }
  ServedSite(const ServedSite&) = delete;
  ServedSite& operator=(const ServedSite&) = delete;

  int port() const { return port_; }

  void Stop() {
    if (output_fd_ >= 0) close(output_fd_);
    output_fd_ = -1;
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }

  HttpAnswer Get(const std::string& path) {
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(60, 0);
    auto result = client.Get(path.c_str(), Headers());
    if (!result) throw std::runtime_error("no answer to GET " + path);
    return Finish(*result);
  }

  // Form values are UTF-8; they are sent as a GB2312 browser sends them.
  HttpAnswer Post(const std::string& path,
                  const std::vector<std::pair<std::string, std::string>>& form) {
    std::string body;
    for (const auto& [name, value] : form) {
      if (!body.empty()) body += "&";
      body += GbkUrlEncode(name) + "=" + GbkUrlEncode(value);
    }
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(60, 0);
    auto result = client.Post(path.c_str(), Headers(), body, "application/x-www-form-urlencoded");
    if (!result) throw std::runtime_error("no answer to POST " + path);
    return Finish(*result);
  }

  // Signs in to the console; true when the console accepted the name and password.
  bool SignIn(const std::string& name, const std::string& password) {
    HttpAnswer answer =
        Post("/admin.asp?m=admin_login&action=check", {{"usercode", name}, {"password", password}});
    return answer.status == 302 &&
           answer.Header("location").find("admin_index") != std::string::npos;
  }

 private:
  httplib::Headers Headers() const {
    httplib::Headers headers;
    std::string cookie;
    for (const auto& [name, value] : cookies_) {
      cookie += (cookie.empty() ? "" : "; ") + name + "=" + value;
    }
    if (!cookie.empty()) headers.emplace("Cookie", cookie);
    return headers;
  }

  HttpAnswer Finish(const httplib::Response& response) {
    HttpAnswer answer;
    answer.status = response.status;
    answer.bytes = response.body;
    answer.text = GbkToUtf8(answer.bytes);
    for (const auto& [name, value] : response.headers) {
      std::string lower = name;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      answer.headers.emplace(lower, value);
      if (lower == "set-cookie") {
        size_t eq = value.find('=');
        size_t semi = value.find(';');
        if (eq != std::string::npos) {
          cookies_[value.substr(0, eq)] =
              value.substr(eq + 1, semi == std::string::npos ? std::string::npos : semi - eq - 1);
        }
      }
    }
    return answer;
  }

  pid_t pid_ = -1;
  int port_ = 0;
  int output_fd_ = -1;
  std::map<std::string, std::string> cookies_;
};

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_POSTGRES_PG_TEST_SUPPORT_H_
