// Fills a site made by `folirex init` with a seeded amount of content for the benchmarks:
// channels, class trees, subjects, articles with Chinese titles and bodies of about 1.7 KB,
// keywords, pictures, comments and clicks. The texts (bench/seed_text.h) are by default real
// text: words of the frequency word list DICT drawn by their counts, a body of its own for every
// article; --words forty makes them of the forty words of seed_words.h, the bodies shared from a
// pool, as the seed first did. Everything goes in in one transaction through prepared
// statements, without a journal (a failed seeding leaves a site to throw away). Each added
// channel gets a copy of channel 1's folder, as channel creation gives it, so that its pages are
// styled. After the N articles comes one long article of about 1,000,000 characters in channel 1,
// the longest the console's form takes, for the page of a long article. The list and search
// indexes are built at the end, as the server would build them on opening the site. The seed's
// settings are written to SITE_DIR/data/bench-seed.txt, lines "name value" (words, dictionary,
// seed, articles, channels, long_article: the long article's id), for the scripts that measure
// the site later.
//
//   folirex-seed SITE_DIR [--articles N] [--channels C] [--seed S]
//                         [--words real --dict DICT | --words forty]
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/list_structures.h"
#include "core/search_structures.h"
#include "platform/db/connection.h"
#include "platform/text/vb_text.h"
#include "seed_dictionary.h"
#include "seed_text.h"

namespace {

const char* const kAuthors[] = {"张伟", "王芳", "李娜", "刘洋", "陈静", "杨磊", "赵敏", "黄强"};
const char* const kSources[] = {"本站原创", "新华社", "人民网", "央视新闻", "经济日报"};
// The long article's body, in characters.
constexpr size_t kLongArticleChars = 1'000'000;

class Db {
 public:
  explicit Db(const std::string& file) {
    if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      Die("cannot open " + file);
    }
    sqlite3_busy_timeout(db_, 10000);
  }
  ~Db() { sqlite3_close(db_); }
  void Exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      Die(std::string(message ? message : "?") + " in: " + sql);
    }
  }
  sqlite3_stmt* Prepare(const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) != SQLITE_OK) {
      Die(std::string(sqlite3_errmsg(db_)) + " in: " + sql);
    }
    return stmt;
  }
  void Step(sqlite3_stmt* stmt) {
    if (sqlite3_step(stmt) != SQLITE_DONE) Die(sqlite3_errmsg(db_));
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
  }
  int64_t LastId() { return sqlite3_last_insert_rowid(db_); }
  int64_t Scalar(const std::string& sql) {
    sqlite3_stmt* stmt = Prepare(sql.c_str());
    int64_t v = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : 0;
    sqlite3_finalize(stmt);
    return v;
  }
  [[noreturn]] static void Die(const std::string& message) {
    std::fprintf(stderr, "folirex-seed: %s\n", message.c_str());
    std::exit(1);
  }

 private:
  sqlite3* db_ = nullptr;
};

void BindText(sqlite3_stmt* s, int i, const std::string& v) {
  sqlite3_bind_text(s, i, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
}
// For a text that outlives the statement's step: not copied.
void BindStaticText(sqlite3_stmt* s, int i, const std::string& v) {
  sqlite3_bind_text(s, i, v.c_str(), static_cast<int>(v.size()), SQLITE_STATIC);
}

const char* const kUsage =
    "usage: folirex-seed SITE_DIR [--articles N] [--channels C] [--seed S]\n"
    "                   [--words real --dict DICT | --words forty]\n"
    "  --words real (default): words of the frequency word list DICT (lines \"word count "
    "[tag]\",\n"
    "    e.g. jieba/dict.txt of Debian's python3-jieba) drawn by their counts, every article a\n"
    "    body of its own\n"
    "  --words forty: the forty two-character words, bodies shared from a pool of 512\n";

struct Class {
  int64_t id;
  int64_t channel;
};

std::string Date(std::mt19937& rng, int days_back) {
  std::time_t t = std::time(nullptr) - static_cast<std::time_t>(rng() % (days_back * 86400));
  std::tm tm{};
  localtime_r(&t, &tm);
  char buffer[32];
  std::strftime(buffer, sizeof(buffer), "%Y-%m-%d %H:%M:%S", &tm);
  return buffer;
}

}  // namespace

int main(int argc, char** argv) {
  std::string site;
  long articles = 10000;
  int channels = 5;
  unsigned seed = 42;
  std::string words = "real", dictionary;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto argument = [&]() -> std::string {
      if (i + 1 >= argc) Db::Die(a + " needs a value");
      return argv[++i];
    };
    auto value = [&]() -> long { return std::strtol(argument().c_str(), nullptr, 10); };
    if (a == "--articles") {
      articles = value();
    } else if (a == "--channels") {
      channels = static_cast<int>(value());
    } else if (a == "--seed") {
      seed = static_cast<unsigned>(value());
    } else if (a == "--words") {
      words = argument();
    } else if (a == "--dict") {
      dictionary = argument();
    } else if (a == "--help") {
      std::printf("%s", kUsage);
      return 0;
    } else if (site.empty() && a[0] != '-') {
      site = a;
    } else {
      Db::Die("unexpected argument " + a);
    }
  }
  if (site.empty() || articles < 1 || channels < 1) Db::Die(kUsage);
  if (words != "real" && words != "forty") Db::Die("--words is real or forty");
  if (words == "real" && dictionary.empty()) {
    Db::Die("the real-text seed needs its word list: --dict DICT (or --words forty)");
  }
  if (words == "forty" && !dictionary.empty()) Db::Die("--dict goes with --words real");
  std::string file = (std::filesystem::path(site) / "data" / "site.db").string();
  if (!std::filesystem::exists(file)) Db::Die("no SQLite site at " + site);

  const auto start = std::chrono::steady_clock::now();
  auto seconds = [&start] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  std::mt19937 rng(seed);
  std::unique_ptr<folirex_bench::SeedText> text;
  size_t vocabulary = 40;
  if (words == "real") {
    try {
      const std::vector<folirex_bench::DictionaryWord> list =
          folirex_bench::LoadDictionary(dictionary);
      vocabulary = list.size();
      text = folirex_bench::MakeRealText(list, seed);
    } catch (const std::exception& e) {
      Db::Die(e.what());
    }
  } else {
    text = folirex_bench::MakeFortyWordText(rng);
  }
  auto word = [&] { return text->Name(); };
  Db db(file);
  db.Exec("PRAGMA journal_mode = DELETE");
  db.Exec("PRAGMA journal_mode = OFF");
  db.Exec("PRAGMA synchronous = OFF");
  db.Exec("PRAGMA cache_size = -1000000");
  db.Exec("BEGIN");

  // Channel 1 ships with the site; the others copy its settings under their own names.
  std::vector<int64_t> channel_ids = {1};
  for (int c = 2; c <= channels; ++c) {
    db.Exec(
        "insert into Vantrel_Channel (d_order, d_channelname, d_opentype, d_channeltype, "
        "d_moduletype, d_channeldir, d_projectname, d_projectunit, d_templateid, "
        "d_shownameflag, d_uploadflag, d_uploaddir, d_maxfilesize, d_upfiletype, "
        "d_clicksofhot, d_daysofnew, d_generatehtml, d_listdir, d_contentfiletype, "
        "d_firstfileext, d_listfileext, d_contentfileext, d_groupnum) "
        "select d_order + " +
        std::to_string(c) + ", '" + word() + word() + "频道', d_opentype, d_channeltype, " +
        "d_moduletype, 'bench" + std::to_string(c) +
        "', d_projectname, d_projectunit, d_templateid, d_shownameflag, d_uploadflag, "
        "d_uploaddir, d_maxfilesize, d_upfiletype, d_clicksofhot, d_daysofnew, "
        "d_generatehtml, d_listdir, d_contentfiletype, d_firstfileext, d_listfileext, "
        "d_contentfileext, d_groupnum from Vantrel_Channel where d_id = 1");
    channel_ids.push_back(db.LastId());
    std::error_code ec;
    const std::filesystem::path target =
        std::filesystem::path(site) / ("bench" + std::to_string(c));
    std::filesystem::copy(
        std::filesystem::path(site) / "Article", target,
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::skip_existing,
        ec);
    if (ec) Db::Die("cannot copy channel 1's folder to " + target.string() + ": " + ec.message());
  }

  // Each channel: three top classes with three sub-classes each, kept in pre-order.
  sqlite3_stmt* add_class = db.Prepare(
      "insert into Vantrel_ArticleClass (d_channelid, d_pid, d_name, d_child, d_dir, d_pagenum, "
      "d_commentflag, d_level, d_order, d_rootid, d_path) values (?,?,?,?,?,20,-1,?,?,?,?)");
  sqlite3_stmt* set_path =
      db.Prepare("update Vantrel_ArticleClass set d_rootid = ?, d_path = ? where d_id = ?");
  std::vector<Class> classes;
  for (int64_t channel : channel_ids) {
    int order = 0;
    for (int t = 0; t < 3; ++t) {
      std::string top_name = word() + word();
      sqlite3_bind_int64(add_class, 1, channel);
      sqlite3_bind_int64(add_class, 2, 0);
      BindText(add_class, 3, top_name);
      sqlite3_bind_int(add_class, 4, 3);
      BindText(add_class, 5, "c" + std::to_string(channel) + "_" + std::to_string(t));
      sqlite3_bind_int(add_class, 6, 0);
      sqlite3_bind_int(add_class, 7, ++order);
      sqlite3_bind_int64(add_class, 8, 0);
      BindText(add_class, 9, "");
      db.Step(add_class);
      int64_t top = db.LastId();
      sqlite3_bind_int64(set_path, 1, top);
      BindText(set_path, 2, std::to_string(top) + ",");
      sqlite3_bind_int64(set_path, 3, top);
      db.Step(set_path);
      classes.push_back({top, channel});
      for (int s = 0; s < 3; ++s) {
        sqlite3_bind_int64(add_class, 1, channel);
        sqlite3_bind_int64(add_class, 2, top);
        BindText(add_class, 3, top_name + word());
        sqlite3_bind_int(add_class, 4, 0);
        BindText(add_class, 5,
                 "c" + std::to_string(channel) + "_" + std::to_string(t) + "_" + std::to_string(s));
        sqlite3_bind_int(add_class, 6, 1);
        sqlite3_bind_int(add_class, 7, ++order);
        sqlite3_bind_int64(add_class, 8, top);
        BindText(add_class, 9, "");
        db.Step(add_class);
        int64_t child = db.LastId();
        sqlite3_bind_int64(set_path, 1, top);
        BindText(set_path, 2, std::to_string(top) + "," + std::to_string(child) + ",");
        sqlite3_bind_int64(set_path, 3, child);
        db.Step(set_path);
        classes.push_back({child, channel});
      }
    }
  }

  sqlite3_stmt* add_subject = db.Prepare(
      "insert into Vantrel_ArticleSubject (d_channelid, d_name, d_dir, d_order) values (?,?,?,?)");
  std::vector<std::vector<int64_t>> subjects(channel_ids.size());
  for (size_t c = 0; c < channel_ids.size(); ++c) {
    for (int s = 0; s < 4; ++s) {
      sqlite3_bind_int64(add_subject, 1, channel_ids[c]);
      BindText(add_subject, 2, word() + "专题");
      BindText(add_subject, 3, "s" + std::to_string(channel_ids[c]) + "_" + std::to_string(s));
      sqlite3_bind_int(add_subject, 4, s + 1);
      db.Step(add_subject);
      subjects[c].push_back(db.LastId());
    }
  }

  sqlite3_stmt* add_article = db.Prepare(
      "insert into Vantrel_Article (d_channelid, d_classid, d_subjectid, d_title, d_author, "
      "d_comefrom, d_inputer, d_editor, d_keyword, d_summary, d_content, d_picurl, "
      "d_paginationtype, d_maxcharperpage, d_topflag, d_hotflag, d_recommendflag, d_stars, "
      "d_clicktimes, d_dayclicktimes, d_weekclicktimes, d_monthclicktimes, d_addtime, "
      "d_deleted, d_checked) "
      "values (?,?,?,?,?,?,'admin','admin',?,?,?,?,?,1000,?,?,?,?,?,?,?,?,?,?,?)");
  sqlite3_stmt* add_comment = db.Prepare(
      "insert into Vantrel_ArticleComment (d_channelid, d_classid, d_infoid, d_username, "
      "d_email, d_score, d_comment, d_ip, d_addtime, d_checked) values (?,?,?,?,?,?,?,?,?,-1)");
  text->BeforeArticles();
  int64_t comments = 0;
  double text_seconds = 0;  // spent making the articles' texts
  std::string content, first_page;
  for (long n = 0; n < articles; ++n) {
    // Half the articles share one class, so its list has deep pages to measure.
    const Class& cls = rng() % 2 == 0 ? classes[1] : classes[rng() % classes.size()];
    size_t channel_index = 0;
    while (channel_ids[channel_index] != cls.channel) ++channel_index;
    const auto text_start = std::chrono::steady_clock::now();
    std::string title = text->Title();
    std::string keywords = text->Keywords();
    content.clear();
    text->AppendBody(content);
    bool paged = rng() % 10 == 0;
    if (paged) {
      first_page = content;
      content += "[Vantrel_NextPage]<p>" + title + "（续）</p>";
      text->AppendContinuedBody(first_page, content);
    }
    std::string summary = text->Summary(content);
    text_seconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - text_start).count();
    bool picture = rng() % 5 == 0;
    int clicks = static_cast<int>(rng() % 5000);
    int i = 1;
    sqlite3_bind_int64(add_article, i++, cls.channel);
    sqlite3_bind_int64(add_article, i++, cls.id);
    sqlite3_bind_int64(add_article, i++, rng() % 4 == 0 ? subjects[channel_index][rng() % 4] : 0);
    BindText(add_article, i++, title);
    BindText(add_article, i++, kAuthors[rng() % 8]);
    BindText(add_article, i++, kSources[rng() % 5]);
    BindText(add_article, i++, keywords);
    BindText(add_article, i++, summary);
    BindStaticText(add_article, i++, content);
    BindText(add_article, i++, picture ? "images/hot.gif" : "");
    sqlite3_bind_int(add_article, i++, paged ? 2 : 0);
    sqlite3_bind_int(add_article, i++, rng() % 50 == 0 ? -1 : 0);
    sqlite3_bind_int(add_article, i++, clicks > 4000 ? -1 : 0);
    sqlite3_bind_int(add_article, i++, rng() % 8 == 0 ? -1 : 0);
    sqlite3_bind_int(add_article, i++, 1 + static_cast<int>(rng() % 5));
    sqlite3_bind_int(add_article, i++, clicks);
    sqlite3_bind_int(add_article, i++, clicks % 50);
    sqlite3_bind_int(add_article, i++, clicks % 300);
    sqlite3_bind_int(add_article, i++, clicks % 1000);
    BindText(add_article, i++, Date(rng, 365));
    sqlite3_bind_int(add_article, i++, rng() % 100 == 0 ? -1 : 0);
    sqlite3_bind_int(add_article, i++, rng() % 20 == 0 ? 0 : -1);
    db.Step(add_article);
    int64_t article = db.LastId();
    if (rng() % 3 == 0) {
      sqlite3_bind_int64(add_comment, 1, cls.channel);
      sqlite3_bind_int64(add_comment, 2, cls.id);
      sqlite3_bind_int64(add_comment, 3, article);
      BindText(add_comment, 4, kAuthors[rng() % 8]);
      BindText(add_comment, 5, "reader@example.com");
      sqlite3_bind_int(add_comment, 6, 1 + static_cast<int>(rng() % 5));
      BindText(add_comment, 7, text->Comment());
      BindText(add_comment, 8, "127.0.0.1");
      BindText(add_comment, 9, Date(rng, 30));
      db.Step(add_comment);
      ++comments;
    }
  }
  int64_t long_article = 0;
  {
    // One long article, as long as the console's form takes: about 1,000,000 characters of the
    // same text in one page, with no summary typed (the page makes one from the body). It comes
    // after the others, so that they are the articles a seed without it wrote; its date is older
    // than theirs and it has no clicks, so no list of new or hot articles shows it.
    content.clear();
    for (size_t chars = 0; chars < kLongArticleChars;) {
      const size_t from = content.size();
      text->AppendBody(content);
      chars += folirex::Len(std::string_view(content).substr(from));
    }
    const std::string title = "长文：" + text->Title();
    int i = 1;
    sqlite3_bind_int64(add_article, i++, channel_ids[0]);
    sqlite3_bind_int64(add_article, i++, classes[0].id);
    sqlite3_bind_int64(add_article, i++, 0);
    BindText(add_article, i++, title);
    BindText(add_article, i++, kAuthors[0]);
    BindText(add_article, i++, kSources[0]);
    BindText(add_article, i++, text->Keywords());
    BindText(add_article, i++, "");
    BindStaticText(add_article, i++, content);
    BindText(add_article, i++, "");
    sqlite3_bind_int(add_article, i++, 0);
    for (int flag = 0; flag < 3; ++flag) sqlite3_bind_int(add_article, i++, 0);
    sqlite3_bind_int(add_article, i++, 1);
    for (int clicks = 0; clicks < 4; ++clicks) sqlite3_bind_int(add_article, i++, 0);
    BindText(add_article, i++, "2020-01-01 08:00:00");
    sqlite3_bind_int(add_article, i++, 0);
    sqlite3_bind_int(add_article, i++, -1);
    db.Step(add_article);
    long_article = db.LastId();
  }
  for (sqlite3_stmt* s : {add_class, set_path, add_subject, add_article, add_comment}) {
    sqlite3_finalize(s);
  }
  // The channels' counters as the console keeps them.
  db.Exec(
      "update Vantrel_Channel set "
      "d_itemcount = (select count(*) from Vantrel_Article a where a.d_channelid = "
      "Vantrel_Channel.d_id), "
      "d_itemcountchecked = (select count(*) from Vantrel_Article a where a.d_channelid = "
      "Vantrel_Channel.d_id and a.d_checked = -1 and a.d_deleted = 0), "
      "d_commentcount = (select count(*) from Vantrel_ArticleComment m where m.d_channelid = "
      "Vantrel_Channel.d_id), "
      "d_subjectcount = (select count(*) from Vantrel_ArticleSubject s where s.d_channelid = "
      "Vantrel_Channel.d_id), "
      "d_clickcount = (select coalesce(sum(d_clicktimes), 0) from Vantrel_Article a where "
      "a.d_channelid = Vantrel_Channel.d_id)");
  db.Exec("COMMIT");
  // No ANALYZE: a site's SQLite file has no planner statistics, and sampled ones (analysis_limit)
  // made the planner sort a whole channel for a list by clicks once an index of the same leading
  // columns was added, which no site would see.
  db.Exec("PRAGMA journal_mode = WAL");
  const double filled = seconds();
  try {
    folirex::Connection conn;
    conn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file + ";");
    folirex::EnsureListStructures(conn, nullptr);
    folirex::BuildListStructures(conn, nullptr);
    // The search's indexes too, here rather than in the background of the first server. No
    // writer waits for this build: its batches can be long, which flushes fewer segments.
    folirex::SearchBuildOptions options;
    options.batch_time = std::chrono::seconds(2);
    folirex::BuildSearchStructures(conn, options);
  } catch (const std::exception& e) {
    Db::Die(std::string("cannot build the list and search indexes: ") + e.what());
  }
  {
    const std::filesystem::path record = std::filesystem::path(site) / "data" / "bench-seed.txt";
    std::ofstream out(record);
    out << "words " << words << "\n";
    if (!dictionary.empty()) {
      out << "dictionary " << std::filesystem::absolute(dictionary).string() << "\n";
    }
    out << "seed " << seed << "\narticles " << articles << "\nchannels " << channels
        << "\nlong_article " << long_article << "\n";
    if (!out) Db::Die("cannot write " + record.string());
  }
  std::printf(
      "seeded %s (%s words, %zu in the vocabulary): %zu channels, %zu classes, %ld articles and "
      "a long one, %lld comments in %.1f s (rows %.1f s, of which texts %.1f s; list and search "
      "indexes "
      "%.1f s)\n",
      site.c_str(), words.c_str(), vocabulary, channel_ids.size(), classes.size(), articles,
      static_cast<long long>(comments), seconds(), filled, text_seconds, seconds() - filled);
  return 0;
}
