// The folirex program as an administrator runs it: init, serve, help and bad arguments.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>

#include "platform/text/codepage.h"
#include "support/test_site.h"

namespace folirex::testing {
namespace {

struct ProgramRun {
  int code = -1;
  std::string output;
};

// Runs the program with a shell command line's arguments, both output streams captured.
ProgramRun Folirex(const std::string& args) {
  std::string command = std::string(FOLIREX_BINARY) + " " + args + " 2>&1";
  ProgramRun run;
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) run.output.append(buffer, n);
  int status = pclose(pipe);
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// A port that was free a moment ago: bind to port 0, read what the kernel gave, close.
int FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof(addr);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

TEST(CommandLineTest, InitCreatesASiteOnceAndPrintsTheAdministratorsPassword) {
  TempFolder folder;
  std::string dir = (folder.path() / "news").string();
  ProgramRun first = Folirex("init " + dir);
  ASSERT_EQ(first.code, 0) << first.output;
  EXPECT_NE(first.output.find("Administrator: admin"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "news/data/site.db"));
  std::ifstream conf(folder.path() / "news/folirex.conf");
  std::string text((std::istreambuf_iterator<char>(conf)), {});
  EXPECT_NE(text.find("DbType=0"), std::string::npos);
  EXPECT_NE(text.find("DBPath=data/site.db"), std::string::npos);
  EXPECT_NE(text.find("MaxBodyMemory=256MB"), std::string::npos);
  EXPECT_NE(text.find("MaxClientConnections=256"), std::string::npos);
  EXPECT_NE(text.find("MaxAnswerMemory=64MB"), std::string::npos);

  ProgramRun again = Folirex("init " + dir);
  EXPECT_EQ(again.code, 1);
  EXPECT_NE(again.output.find("already holds a site"), std::string::npos);
  // Nothing half-made is left beside the site.
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(folder.path())) entries += e.exists();
  EXPECT_EQ(entries, 1);
}

TEST(CommandLineTest, BadArgumentsGetOneLineAndExitCodeTwo) {
  for (const char* args : {"", "frobnicate", "init", "init a b", "serve", "serve x --threads 0",
                           "serve x --threads many", "serve x --bogus", "serve x --listen"}) {
    ProgramRun run = Folirex(args);
    EXPECT_EQ(run.code, 2) << args << ": " << run.output;
    EXPECT_FALSE(run.output.empty()) << args;
  }
  EXPECT_EQ(Folirex("--help").code, 0);
  EXPECT_NE(Folirex("init --help").output.find("usage: folirex init DIR"), std::string::npos);
  EXPECT_NE(Folirex("serve --help").output.find("--threads"), std::string::npos);
  ProgramRun no_site = Folirex("serve /nonexistent/folder");
  EXPECT_EQ(no_site.code, 1);
  // A settings file whose body budget is no size is refused before anything is served.
  TempFolder folder;
  std::string dir = (folder.path() / "site").string();
  ASSERT_EQ(Folirex("init " + dir).code, 0);
  for (const char* bad : {"lots", "1000", "2GB", "0MB", "1048577MB"}) {
    std::ofstream(folder.path() / "site/folirex.conf", std::ios::app)
        << "MaxBodyMemory=" << bad << "\n";
    ProgramRun run = Folirex("serve " + dir + " --listen 127.0.0.1:0");
    EXPECT_EQ(run.code, 1) << bad;
    EXPECT_NE(run.output.find("MaxBodyMemory takes a size from 1MB to 1048576MB"),
              std::string::npos)
        << run.output;
  }
  // So are bounds of one client address that are no number or size.
  std::ofstream(folder.path() / "site/folirex.conf", std::ios::app) << "MaxBodyMemory=256MB\n";
  for (const auto& [line, message] :
       {std::pair{"MaxClientConnections=0", "MaxClientConnections takes a number from 1 to"},
        std::pair{"MaxClientConnections=many", "MaxClientConnections takes a number from 1 to"},
        std::pair{"MaxClientBodyMemory=lots", "MaxClientBodyMemory takes a size from 1MB"},
        std::pair{"MaxAnswerMemory=0MB", "MaxAnswerMemory takes a size from 1MB"},
        std::pair{"MaxClientAnswerMemory=lots", "MaxClientAnswerMemory takes a size from 1MB"}}) {
    std::ofstream(folder.path() / "site/folirex.conf", std::ios::app) << line << "\n";
    ProgramRun run = Folirex("serve " + dir + " --listen 127.0.0.1:0");
    EXPECT_EQ(run.code, 1) << line;
    EXPECT_NE(run.output.find(message), std::string::npos) << run.output;
    std::ofstream(folder.path() / "site/folirex.conf", std::ios::app)
        << "MaxClientConnections=256\nMaxClientBodyMemory=4MB\nMaxAnswerMemory=64MB\n"
        << "MaxClientAnswerMemory=4MB\n";
  }
}

TEST(CommandLineTest, ServeAnswersUntilSigtermThenExitsZero) {
  TempFolder folder;
  std::string dir = (folder.path() / "site").string();
  ASSERT_EQ(Folirex("init " + dir).code, 0);
  int port = FreePort();
  pid_t pid = fork();
  if (pid == 0) {
    std::string listen = "127.0.0.1:" + std::to_string(port);
    int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    execl(FOLIREX_BINARY, FOLIREX_BINARY, "serve", dir.c_str(), "--listen", listen.c_str(),
          "--threads", "4", static_cast<char*>(nullptr));
    _exit(127);
  }
  httplib::Client client("127.0.0.1", port);
  client.set_connection_timeout(2, 0);
  client.set_read_timeout(10, 0);
  int status_code = 0;
  for (int i = 0; i < 100 && status_code == 0; ++i) {
    if (auto answer = client.Get("/IMAGES/HOT.gif")) {
      status_code = answer->status;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ASSERT_NE(status_code, 0) << "the server did not answer";
  EXPECT_EQ(status_code, 200) << "a static file is found whatever the letter case";
  auto login = client.Get("/admin.asp");
  ASSERT_TRUE(login);
  EXPECT_EQ(login->status, 200);

  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace folirex::testing
