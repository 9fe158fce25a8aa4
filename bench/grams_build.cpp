// The build of the kept counts of short sequences (core/article_grams.h) on a copy of a site's
// database: its time, the process's peak memory, the rows it wrote, and how long a few keywords
// take to count from the kept rows or, not kept, through the search's fallback.
//   folirex-grams-build CONNECTION-STRING [--again] [--kept-from N] [--keyword K]...
// CONNECTION-STRING is either form Connection opens ("Provider=...;Data Source=/path/site.db;"
// or "driver={PostgreSQL Unicode};server=...;database=...;uid=...;pwd=...;"). --again builds a
// built table again (its rows dropped first); the database is written: run it on a copy.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/article_grams.h"
#include "platform/db/connection.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long PeakKib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: folirex-grams-build CONNECTION-STRING [--again] [--kept-from N] "
                 "[--keyword K]...\n");
    return 2;
  }
  folirex::GramBuildOptions options;
  std::vector<std::string> keywords;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--again") {
      options.again = true;
    } else if (arg == "--kept-from" && i + 1 < argc) {
      options.kept_from = std::atoll(argv[++i]);
    } else if (arg == "--keyword" && i + 1 < argc) {
      keywords.emplace_back(argv[++i]);
    } else {
      std::fprintf(stderr, "unknown argument %s\n", arg.c_str());
      return 2;
    }
  }
  folirex::Connection conn;
  conn.Open(argv[1]);
  const long before = PeakKib();
  const auto start = std::chrono::steady_clock::now();
  folirex::BuildArticleGrams(conn, options);
  std::printf("build %.1f s, peak memory %ld KiB (%ld KiB before)\n", Seconds(start), PeakKib(),
              before);
  std::printf("rows %lld, of them markers %lld\n",
              static_cast<long long>(
                  conn.ExecuteScalar("select count(*) from Vantrel_ArticleGrams").ToInt64Or(-1)),
              static_cast<long long>(conn.ExecuteScalar("select count(*) from Vantrel_ArticleGrams "
                                                        "where k_classid = -1")
                                         .ToInt64Or(-1)));
  for (const std::string& keyword : keywords) {
    const auto at = std::chrono::steady_clock::now();
    const std::optional<int64_t> count = folirex::ListedKeywordCount(
        conn, "d_content", keyword, {.channel = 1, .class_id = std::nullopt});
    std::printf("%s: %s in %.2f ms\n", keyword.c_str(),
                count ? std::to_string(*count).c_str() : "not kept", Seconds(at) * 1000);
  }
  return 0;
}
