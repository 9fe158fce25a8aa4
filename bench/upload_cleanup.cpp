// The upload clean-up at scale: a new site whose channel 1 has --files files in its upload folder
// (a tenth of them in subfolders) and --articles articles, half of the files named by an
// article's editor uploads or front-page picture (some of those articles in the recycle bin).
// The clean-up page runs in-process through the real administration entry, once at half the size
// and once at the full size, and the seconds of each are printed: with one pass over the stored
// addresses the full run takes about twice the half one. Exits 1 when a run deletes any other
// number of files than the unnamed ones.
//   folirex-upload-cleanup [--files N] [--articles N]   (default 20000 and 100000)
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/feature_modules.h"
#include "app/site_setup.h"
#include "core/folirex.h"
#include "core/modules.h"
#include "platform/host/http_host.h"

namespace fs = std::filesystem;
using namespace folirex;

namespace {

std::string FileName(long i) { return "up" + std::to_string(100000 + i) + ".jpg"; }

// The file's address as the channel's rows store it, from the web root.
std::string StoredAddress(long i) {
  std::string sub = i % 10 == 0 ? "sub" + std::to_string(i % 7) + "/" : "";
  return "/Article/uploadfile/" + sub + FileName(i);
}

bool Seed(const fs::path& root, long files, long articles) {
  for (long i = 0; i < files; ++i) {
    fs::path file = root / ("Article/uploadfile" + StoredAddress(i).substr(19));
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << "x";
  }
  sqlite3* db = nullptr;
  if (sqlite3_open((root / "data/site.db").c_str(), &db) != SQLITE_OK) return false;
  sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db,
                     "insert into Vantrel_Article (d_channelid, d_title, d_content, d_checked, "
                     "d_deleted, d_uploadfiles, d_picurl) values (1, ?, '正文', -1, ?, ?, ?)",
                     -1, &insert, nullptr);
  for (long a = 0; a < articles; ++a) {
    // Every even file is named by one article: by its picture or by its editor uploads.
    long named = 2 * (a % ((files + 1) / 2));
    bool by_picture = a % 3 == 0;
    std::string address = named < files ? StoredAddress(named) : "";
    std::string uploads = by_picture ? "" : address.substr(address.empty() ? 0 : 1) + "|other.gif";
    std::string title = "文章" + std::to_string(a);
    sqlite3_bind_text(insert, 1, title.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(insert, 2, a % 5 == 0 ? -1 : 0);
    sqlite3_bind_text(insert, 3, uploads.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 4, by_picture ? address.c_str() : "", -1, SQLITE_TRANSIENT);
    if (sqlite3_step(insert) != SQLITE_DONE) return false;
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  bool ok = sqlite3_exec(db, "commit", nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

// Runs the clean-up as the administrator; the number of files it reports, -1 when none.
long RunCleanUp(const fs::path& root, const SiteSettings& settings, const std::string& admin,
                const ModuleRegistry& modules) {
  RawRequest raw;
  raw.method = "POST";
  raw.path = "/admin.asp";
  raw.query = "m=admin_uploadfile&channelid=1&action=empty&flag=1";
  raw.headers.emplace_back("Content-Type", "application/x-www-form-urlencoded");
  raw.remote_addr = "127.0.0.1";
  Request request(std::move(raw));
  Response response;
  SessionStore sessions;
  Session session(sessions.Attach(""));
  session.Set("User_Code", Variant(admin));
  Application application;
  Server server(root, "/");
  PageObjects objects{request, response, session, application, server};
  Folirex component(modules);
  component.OnStartPage(objects);
  component.SetDbType(settings.DbType);
  component.SetDBPath(settings.DBPath);
  component.ICommonAdmin();
  component.OnEndPage();
  const std::string& body = response.body();
  const std::string mark = "总共清理<font color=red>";
  size_t at = body.find(mark);
  if (at == std::string::npos) return -1;
  return std::atol(body.c_str() + at + mark.size());
}

}  // namespace

int main(int argc, char** argv) {
  long files = 20000, articles = 100000;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    if (option == "--files") files = std::atol(argv[i + 1]);
    if (option == "--articles") articles = std::atol(argv[i + 1]);
  }
  if (files < 2 || articles < 1) {
    std::fprintf(stderr, "usage: folirex-upload-cleanup [--files N] [--articles N]\n");
    return 2;
  }
  ModuleRegistry modules;
  RegisterFeatureModules(modules);
  fs::path work = fs::temp_directory_path() / ("folirex-cleanup-" + std::to_string(::getpid()));
  int status = 0;
  double seconds[2] = {0, 0};
  for (int run = 0; run < 2; ++run) {
    long n_files = run == 0 ? files / 2 : files;
    long n_articles = run == 0 ? articles / 2 : articles;
    fs::path root = work / ("site" + std::to_string(run));
    SiteSettings settings;
    CreatedSite created;
    std::string error;
    if (!CreateSite(root, settings, &created, &error) || !Seed(root, n_files, n_articles)) {
      std::fprintf(stderr, "could not make the site: %s\n", error.c_str());
      status = 1;
      break;
    }
    auto start = std::chrono::steady_clock::now();
    long removed = RunCleanUp(root, settings, created.admin_name, modules);
    seconds[run] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long named = std::min(n_files / 2 + n_files % 2, n_articles);
    long expected = n_files - named;
    std::printf("clean-up of %ld files against %ld articles: %.2f s, %ld files deleted\n", n_files,
                n_articles, seconds[run], removed);
    if (removed != expected) {
      std::fprintf(stderr, "expected %ld files deleted, the page reported %ld\n", expected,
                   removed);
      status = 1;
    }
  }
  if (status == 0 && seconds[0] > 0) {
    std::printf("full size / half size: %.2f (linear work gives about 2)\n",
                seconds[1] / seconds[0]);
  }
  fs::remove_all(work);
  return status;
}
