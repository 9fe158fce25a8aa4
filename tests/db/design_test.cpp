// Loads the schema, the shipped rows and the shipped design into a real SQLite file and checks what
// the public pages rely on in the design: every page type of the shipped template set maps to a
// template page, the site home page is the one the configuration names, every label a page uses is
// one the engine fills for that page type, every chip is one the page type's pattern matches and
// carries parameters its renderer accepts, the sub-class blocks are well formed, the forms post the
// fields the handlers read, and each skin's stylesheet file lies where the stylesheet link points
// and holds the stored text. Then, through the host on a site made like `folirex init`, that every
// page type renders from the shipped templates with no mark of the template language left over.
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/regex_helpers.h"
#include "core/request_state.h"
#include "gtest/gtest.h"
#include "platform/text/codepage.h"
#include "support/site_fixture.h"

namespace folirex {
namespace {

namespace fs = std::filesystem;
using testing::AnnounceRow;
using testing::ArticleRow;
using testing::ChannelRow;
using testing::ClassRow;
using testing::CommentRow;
using testing::SubjectRow;
using Row = std::vector<std::string>;
using Rows = std::vector<Row>;

std::string SourcePath(const std::string& relative) {
  return std::string(FOLIREX_SOURCE_DIR) + "/" + relative;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return "";
  size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

// A SQLite file with the scripts `folirex init` loads, in the same order.
class DesignDatabase {
 public:
  explicit DesignDatabase(const fs::path& file) {
    if (sqlite3_open(file.c_str(), &db_) != SQLITE_OK) ADD_FAILURE() << "cannot open " << file;
    sqlite3_exec(db_, "pragma synchronous = off", nullptr, nullptr, nullptr);
  }
  ~DesignDatabase() { sqlite3_close(db_); }
  DesignDatabase(const DesignDatabase&) = delete;
  DesignDatabase& operator=(const DesignDatabase&) = delete;

  // Runs a script; SQLite's message, or "" when every statement ran.
  std::string Exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return "";
    std::string text = message != nullptr ? message : "error";
    sqlite3_free(message);
    return text;
  }

  Rows Query(const std::string& sql) {
    Rows rows;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << sqlite3_errmsg(db_) << "\n  in: " << sql;
      return rows;
    }
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      Row row;
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        const unsigned char* text = sqlite3_column_text(stmt, i);
        row.push_back(text == nullptr ? "<null>" : reinterpret_cast<const char*>(text));
      }
      rows.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    return rows;
  }

  std::string Value(const std::string& sql) {
    Rows rows = Query(sql);
    return rows.empty() || rows[0].empty() ? "" : rows[0][0];
  }

 private:
  sqlite3* db_ = nullptr;
};

// The script of the shipped design.
constexpr char kDesignScript[] = "db/shipped_templates.sql";

// ---------------------------------------------------------------------------------------------
// What the engine knows, page type by page type.

const std::vector<std::string> kSetTypes = {"first",   "classlist", "content",    "subjectlist",
                                            "search",  "newlist",   "hotlist",    "recommendlist",
                                            "comment", "print",     "tellfriend", "notice"};

bool In(const std::string& value, std::initializer_list<const char*> list) {
  for (const char* item : list) {
    if (value == item) return true;
  }
  return false;
}

bool IsArticlePage(const std::string& type) {
  return In(type, {"content", "print", "comment", "tellfriend"});
}

// True when the engine fills the label (lower-case, without its braces' spaces) on the page type.
bool LabelKnown(const std::string& label, const std::string& type) {
  static const std::set<std::string> kAll = {
      "{$showchannelid}",  "{$showsiteurl}",     "{$showinstalldir}",
      "{$showchanneldir}", "{$showcss}",         "{$showcssdir}",
      "{$showpagetitle}",  "{$showpagekeyword}", "{$showpagedesc}"};
  static const std::set<std::string> kAllButPrintNotice = {"{$showmenucss}", "{$showmenujs}",
                                                           "{$shownavimenu}"};
  static const std::set<std::string> kAllButPrint = {
      "{$showbanner}",      "{$showlogo}",       "{$showpath}",      "{$showchannel}",
      "{$showchannelstat}", "{$showadminlogin}", "{$showcopyright}", "{$showwebmasteremail}"};
  static const std::set<std::string> kListUrls = {
      "{$showarticlehotlisturl}", "{$showarticlerecommendlisturl}", "{$showarticlenewlisturl}"};
  static const std::set<std::string> kArticle = {
      "{$showarticletitle}",      "{$showarticlesubtitle}", "{$showarticlelongtitle}",
      "{$showarticleauthor}",     "{$showarticleinputer}",  "{$showarticleeditor}",
      "{$showarticlecomefrom}",   "{$showarticleproperty}", "{$showarticlecontent}",
      "{$showarticleupdatetime}", "{$showarticleclicks}",   "{$showarticleinfo}",
      "{$showarticleprevious}",   "{$showarticlenext}",     "{$showarticlefooter}"};
  if (kAll.count(label)) return true;
  if (kAllButPrintNotice.count(label)) return type != "print" && type != "notice";
  if (kAllButPrint.count(label)) return type != "print";
  if (label == "{$showchannelname}" || label == "{$showprojectname}") {
    return In(type, {"default", "content", "classlist"});
  }
  if (kListUrls.count(label)) {
    return !In(type, {"print", "comment", "tellfriend", "notice"});
  }
  if (label == "{$showcommentlisturl}") return type == "content";
  if (label == "{$showsearchresult}" || label == "{$showsearchtitle}") return type == "search";
  if (label == "{$showclassname}" || label == "{$showclasslinkurl}") return type == "classlist";
  if (label == "{$showsubjectname}") return type == "subjectlist";
  if (label == "{$showannouncelist}") return type == "notice";
  if (label == "{$showarticleid}") return type == "comment" || type == "tellfriend";
  if (kArticle.count(label)) return IsArticlePage(type);
  return false;
}

// The engine's page pattern of a page type.
std::string PagePattern(const std::string& type) {
  auto chips = [](const char* kinds) {
    return std::string(R"(((\{\$.+?\})|(<img[^>]+?TemplateChip="((?:)") + kinds +
           R"p():.+?)"[^>]*>)))p";
  };
  if (type == "content") {
    return chips(
        "ListArticleList|ListArticlePic|ListAnnounce|ListTopUser|"
        "listarticlecorrelative|"
        "ListComment|JSFile");
  }
  if (type == "comment") return chips("ListAnnounce|ListTopUser|ListComment|JSFile");
  if (type == "tellfriend") return chips("ListAnnounce|JSFile");
  if (type == "print" || type == "notice") return R"((\{\$.+?\}))";
  return chips("ListArticleList|ListArticlePic|ListAnnounce|ListTopUser|JSFile");
}

constexpr char kBlockPattern[] =
    R"((<img[^>]+?TemplateChip="ListSubClassList:.+?"[^>]*>((?:.|[\n])+?)<img[^>]+?TemplateChip="EndSubClassList"[^>]*>))";

// One chip as the engine hands it over: the kind (lower case) and the text after the colon.
struct Chip {
  std::string kind;
  std::string params;
  std::string attribute;  // the whole TemplateChip value
};

// A part of a template rendered in one page context: the page outside its blocks, or one block's
// body (rendered as a class list).
struct Part {
  std::string where;                // for messages
  std::string type;                 // the page type the engine renders the part with
  bool in_block = false;            // a sub-class block's body
  std::vector<std::string> labels;  // trimmed, lower-cased
  std::vector<Chip> chips;
  std::vector<std::string> chip_tags;  // the whole <img ...> tags the engine replaces
  std::string text;
};

// Scans a text with the page pattern of a page type, the way the engine does.
void Scan(const std::string& text, Part* part) {
  UniqueMatches found = CollectUniqueMatches(text, PagePattern(part->type));
  const std::vector<std::string>& matches = found.texts;
  for (size_t i = 1; i < matches.size(); ++i) {
    std::string match = Trim(matches[i]);
    if (match.rfind("{$", 0) == 0) {
      part->labels.push_back(Lower(match));
    } else {
      const std::string& attribute = found.groups.at(i);
      size_t colon = attribute.find(':');
      ASSERT_NE(colon, std::string::npos) << part->where << ": " << matches[i];
      std::string rest = attribute.substr(colon + 1);
      Chip chip{Lower(attribute.substr(0, colon)), rest.substr(0, rest.find(':')), attribute};
      part->chips.push_back(chip);
      part->chip_tags.push_back(matches[i]);
    }
  }
  part->text = text;
}

struct TemplatePage {
  std::string id;
  std::string channel;
  std::string type;
  std::string skin;
  std::string content;
  std::vector<std::string> block_tags;  // the ListSubClassList tags, as typed
  std::vector<Part> parts;
};

class DesignTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = std::make_unique<DesignDatabase>(folder_.path() / "site.db");
    // As `folirex init` loads them: the schema, then every shipped script in name order.
    std::vector<std::string> scripts;
    for (const auto& entry : fs::directory_iterator(SourcePath("db"))) {
      std::string name = entry.path().filename().string();
      if (name.rfind("shipped_", 0) == 0 && entry.path().extension() == ".sql") {
        scripts.push_back("db/" + name);
      }
    }
    std::sort(scripts.begin(), scripts.end());
    ASSERT_NE(std::find(scripts.begin(), scripts.end(), kDesignScript), scripts.end());
    scripts.insert(scripts.begin(), "db/schema_sqlite.sql");
    for (const std::string& script : scripts) {
      std::string sql = ReadFile(SourcePath(script));
      ASSERT_FALSE(sql.empty()) << script;
      ASSERT_EQ(db_->Exec(sql), "") << script;
    }
    for (const Row& row : db_->Query("select d_id, d_channelid, d_type, d_skinid, d_content "
                                     "from Vantrel_TemplatePage order by d_id")) {
      TemplatePage page{row[0], row[1], Lower(row[2]), row[3], row[4], {}, {}};
      Cut(&page);
      pages_.push_back(std::move(page));
    }
  }

  // Splits a template into the parts the engine renders separately.
  static void Cut(TemplatePage* page) {
    std::string outside = page->content;
    if (In(page->type, {"default", "first", "classlist"})) {
      UniqueMatches found = CollectUniqueMatches(page->content, kBlockPattern);
      const std::vector<std::string>& blocks = found.texts;
      for (size_t i = 1; i < blocks.size(); ++i) {
        Part body;
        body.where = "page " + page->id + " block " + std::to_string(i);
        body.type = "classlist";
        body.in_block = true;
        Scan(found.groups.at(i), &body);
        page->parts.push_back(std::move(body));
        std::smatch tag;
        std::regex start(R"rx(<img[^>]+?TemplateChip="ListSubClassList:([^"]*)")rx",
                         std::regex::icase);
        if (std::regex_search(blocks[i], tag, start)) page->block_tags.push_back(tag[1]);
        for (size_t at; (at = outside.find(blocks[i])) != std::string::npos;) {
          outside.erase(at, blocks[i].size());
        }
      }
    }
    Part rest;
    rest.where = "page " + page->id + " (" + page->type + ")";
    rest.type = page->type;
    Scan(outside, &rest);
    page->parts.insert(page->parts.begin(), std::move(rest));
  }

  const TemplatePage* PageOfType(const std::string& type) const {
    for (const TemplatePage& page : pages_) {
      if (page.type == type) return &page;
    }
    return nullptr;
  }

  folirex::testing::TempFolder folder_;
  std::unique_ptr<DesignDatabase> db_;
  std::vector<TemplatePage> pages_;
};

// ---------------------------------------------------------------------------------------------
// The rows.

TEST_F(DesignTest, TheChannelSetMapsEveryPageTypeToOnePageOfThatType) {
  std::string set = db_->Value("select d_templateid from Vantrel_Channel where d_id = 1");
  ASSERT_EQ(db_->Value("select count(*) from Vantrel_Template where d_id = " + set +
                       " and d_channelid = 1 and d_sysflag = -1"),
            "1");
  EXPECT_EQ(db_->Value("select count(*) from Vantrel_TemplateAndPage where d_templateid = " + set),
            std::to_string(kSetTypes.size()));
  for (const std::string& type : kSetTypes) {
    SCOPED_TRACE(type);
    Rows rows = db_->Query(
        "select p.d_id, p.d_type, p.d_channelid, "
        "p.d_sysflag, length(p.d_content), m.d_channelid "
        "from Vantrel_TemplateAndPage m left join "
        "Vantrel_TemplatePage p on p.d_id = m.d_pageid "
        "where m.d_templateid = " +
        set + " and m.d_type = '" + type + "'");
    // The lookup reads the map row as a single value.
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_NE(rows[0][0], "<null>") << "the map row names no template page";
    EXPECT_EQ(Lower(rows[0][1]), type);
    EXPECT_EQ(rows[0][2], "1");
    EXPECT_EQ(rows[0][3], "-1") << "a shipped page is a system page";
    EXPECT_GT(std::atoi(rows[0][4].c_str()), 0);
    EXPECT_EQ(rows[0][5], "1");
    // The page lookup the handlers make finds it.
    EXPECT_NE(db_->Value("select d_content from Vantrel_TemplatePage where d_id = (select "
                         "d_pageid from Vantrel_TemplateAndPage where d_templateid = " +
                         set + " and d_type = '" + type + "')"),
              "");
  }
}

TEST_F(DesignTest, TheConfigurationNamesASiteHomePageOfTheSite) {
  std::string id = db_->Value("select d_templatepageid from Vantrel_Config");
  ASSERT_NE(id, "0");
  Rows rows = db_->Query(
      "select d_channelid, d_type, d_sysflag, d_content "
      "from Vantrel_TemplatePage where d_id = " +
      id);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "0");
  EXPECT_EQ(Lower(rows[0][1]), "default");
  EXPECT_EQ(rows[0][2], "-1");
  EXPECT_NE(rows[0][3], "");
  // The settings form offers the home pages by type; the shipped one is among them.
  EXPECT_EQ(db_->Value("select count(*) from Vantrel_TemplatePage where d_type = 'default' "
                       "and d_id = " +
                       id),
            "1");
}

TEST_F(DesignTest, EveryTemplatePageNamesASkinOfItsOwnChannel) {
  ASSERT_EQ(pages_.size(), kSetTypes.size() + 1);
  EXPECT_EQ(db_->Value("select d_channelid from Vantrel_Skin where d_id = 1 "
                       "and d_sysflag = -1"),
            "1");
  for (const TemplatePage& page : pages_) {
    SCOPED_TRACE("page " + page.id);
    // The page forms offer the skins of the page's own channel, so the stored skin must be one.
    EXPECT_EQ(db_->Value("select count(*) from Vantrel_Skin where d_id = " + page.skin +
                         " and d_channelid = " + page.channel),
              "1");
  }
}

TEST_F(DesignTest, EachSkinFileLiesWhereTheLinkPointsAndHoldsTheStoredText) {
  Rows skins = db_->Query(
      "select s.d_id, s.d_channelid, s.d_content, c.d_channeldir from "
      "Vantrel_Skin s "
      "left join Vantrel_Channel c on c.d_id = s.d_channelid order by s.d_id");
  ASSERT_GE(skins.size(), 2u);
  const fs::path siteroot = SourcePath("siteroot");
  for (const Row& skin : skins) {
    SCOPED_TRACE("skin " + skin[0]);
    // The stylesheet link: Skin/<id>.css under the install folder for the site, under the channel's
    // folder for a channel.
    fs::path folder = siteroot;
    if (skin[1] != "0") {
      ASSERT_NE(skin[3], "<null>") << "the skin's channel has no row";
      folder /= Trim(skin[3]);
    }
    fs::path file = folder / "Skin" / (skin[0] + ".css");
    ASSERT_TRUE(fs::is_regular_file(file)) << file;
    std::string text = ReadFile(file);
    EXPECT_EQ(text, skin[2]) << file << " differs from its row";
    // Stylesheet files are read in code page 936; ASCII reads the same in every code page.
    EXPECT_TRUE(std::all_of(text.begin(), text.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 128; }));
    // Every file the stylesheet points at lies beside it.
    std::regex url(R"rx(url\(\s*["']?([^"')]+)["']?\s*\))rx");
    for (std::sregex_iterator it(text.begin(), text.end(), url), end; it != end; ++it) {
      EXPECT_TRUE(fs::is_regular_file(folder / "Skin" / (*it)[1].str())) << (*it)[1];
    }
  }
  // The link of a page whose skin row is missing is Skin/1.css under the same base folder.
  std::string dir = Trim(db_->Value("select d_channeldir from Vantrel_Channel where d_id = 1"));
  EXPECT_TRUE(fs::is_regular_file(siteroot / dir / "Skin" / "1.css"));
}

// The host finds files without regard to letter case; so does this. "" when there is none.
fs::path FindNoCase(const fs::path& root, const std::string& relative) {
  fs::path at = root;
  for (const std::string& segment : Split(relative, '/')) {
    bool found = false;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(at, ec)) {
      if (Lower(entry.path().filename().string()) == Lower(segment)) {
        at = entry.path();
        found = true;
        break;
      }
    }
    if (!found) return fs::path();
  }
  return fs::is_regular_file(at) ? at : fs::path();
}

bool ExistsNoCase(const fs::path& root, const std::string& relative) {
  return !FindNoCase(root, relative).empty();
}

TEST_F(DesignTest, TheImagesTheListsLinkAreShipped) {
  const fs::path siteroot = SourcePath("siteroot");
  std::string dir = Trim(db_->Value("select d_channeldir from Vantrel_Channel where d_id = 1"));
  for (const std::string& image :
       {std::string("images/hot.gif"), std::string("images/recommend.gif"),
        std::string("images/top.gif"), std::string("Images/new.gif"), dir + "/images/arrow.gif"}) {
    SCOPED_TRACE(image);
    ASSERT_TRUE(ExistsNoCase(siteroot, image));
  }
  std::string arrow = ReadFile(siteroot / dir / "images" / "arrow.gif");
  EXPECT_EQ(arrow.substr(0, 4), "GIF8");
}

TEST_F(DesignTest, LoadingTheDesignTwiceFailsAndChangesNothing) {
  std::string before = db_->Value(
      "select (select count(*) from Vantrel_TemplatePage) || ',' || "
      "(select count(*) from "
      "Vantrel_TemplateAndPage) || ',' || (select count(*) from "
      "Vantrel_Skin) || ',' || "
      "(select count(*) from Vantrel_Template)");
  EXPECT_NE(db_->Exec(ReadFile(SourcePath(kDesignScript))), "");
  EXPECT_EQ(db_->Value("select (select count(*) from Vantrel_TemplatePage) || ',' || "
                       "(select "
                       "count(*) from Vantrel_TemplateAndPage) || ',' || (select count(*) "
                       "from "
                       "Vantrel_Skin) || ',' || (select count(*) from Vantrel_Template)"),
            before);
}

TEST_F(DesignTest, TheScriptHoldsOnlyPlainInsertsAndUpdates) {
  // A server database loads the same text: no engine-specific statement may creep in.
  std::string sql = ReadFile(SourcePath(kDesignScript));
  std::string code;  // the text with comments and string literals blanked
  for (size_t i = 0; i < sql.size(); ++i) {
    if (sql[i] == '\'') {
      size_t j = i + 1;
      while (j < sql.size()) {
        if (sql[j] == '\'' && j + 1 < sql.size() && sql[j + 1] == '\'') {
          j += 2;
        } else if (sql[j] == '\'') {
          break;
        } else {
          ++j;
        }
      }
      ASSERT_LT(j, sql.size()) << "unterminated string literal";
      code += "''";
      i = j;
    } else if (sql.compare(i, 2, "--") == 0) {
      i = sql.find('\n', i);
      if (i == std::string::npos) break;
      code += '\n';
    } else {
      code += sql[i];
    }
  }
  int statements = 0;
  for (const std::string& statement : Split(code, ';')) {
    std::string text = Trim(statement);
    if (text.empty()) continue;
    ++statements;
    std::string upper = text;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_TRUE(upper.rfind("INSERT INTO VANTREL_", 0) == 0 ||
                upper.rfind("UPDATE VANTREL_", 0) == 0)
        << text.substr(0, 80);
    EXPECT_EQ(upper.find("SQLITE"), std::string::npos);
    EXPECT_EQ(upper.find("OR REPLACE"), std::string::npos);
    EXPECT_EQ(upper.find("OR IGNORE"), std::string::npos);
  }
  EXPECT_GT(statements, 0);
  // Literals are written the standard way, without escape-string prefixes.
  EXPECT_FALSE(std::regex_search(code, std::regex("(^|[^A-Za-z0-9_])[Ee]''")));
}

// ---------------------------------------------------------------------------------------------
// The template text.

TEST_F(DesignTest, EveryPageIsGb2312HtmlThatTheCodePageHolds) {
  for (const TemplatePage& page : pages_) {
    SCOPED_TRACE("page " + page.id + " (" + page.type + ")");
    EXPECT_NE(page.content.find(
                  R"(<meta http-equiv="Content-Type" content="text/html; charset=gb2312">)"),
              std::string::npos);
    EXPECT_TRUE(IsGbkRepresentable(page.content));
    EXPECT_NE(page.content.find("{$showcss}"), std::string::npos) << "no skin link";
    // A page without any label would render an article page without loading the article.
    EXPECT_FALSE(page.parts.empty() || page.parts[0].labels.empty());
  }
}

TEST_F(DesignTest, EveryLabelIsOneTheEngineFillsOnThatPageType) {
  for (const TemplatePage& page : pages_) {
    for (const Part& part : page.parts) {
      for (const std::string& label : part.labels) {
        EXPECT_TRUE(LabelKnown(label, part.type)) << part.where << ": " << label;
        // The internal markers belong to the engine.
        EXPECT_EQ(label.find("zarnik"), std::string::npos) << part.where;
      }
    }
  }
  // Spot checks of the table itself, so a slip in it cannot hide a wrong label.
  EXPECT_FALSE(LabelKnown("{$showchannelname}", "first"));
  EXPECT_FALSE(LabelKnown("{$showarticlehotlisturl}", "comment"));
  EXPECT_FALSE(LabelKnown("{$showcopyright}", "print"));
  EXPECT_TRUE(LabelKnown("{$showarticleid}", "tellfriend"));
  EXPECT_FALSE(LabelKnown("{$showarticleid}", "content"));
}

TEST_F(DesignTest, EveryChipIsOneThePagePatternMatches) {
  for (const TemplatePage& page : pages_) {
    for (const Part& part : page.parts) {
      // What the engine leaves of the part once every chip it matched is replaced.
      std::string left = part.text;
      for (const std::string& tag : part.chip_tags) {
        for (size_t at; (at = left.find(tag)) != std::string::npos;) left.erase(at, tag.size());
      }
      // A chip the page type does not know would be sent out as a broken image.
      size_t stray = Lower(left).find("templatechip");
      EXPECT_EQ(stray, std::string::npos)
          << part.where << ": " << left.substr(stray < 20 ? 0 : stray - 20, 120);
    }
  }
}

// Field checks of the renderers: a flag is "true" or "false" after trimming and lower-casing,
// digits are the digit check, a numeric field reads as a number.
bool IsFlag(const std::string& field) {
  std::string value = Lower(Trim(field));
  return value == "true" || value == "false";
}
bool IsDigitsField(const std::string& field) {
  std::string value = Trim(field);
  if (value.empty() || (value.size() > 1 && value[0] == '0')) return false;
  return std::all_of(value.begin(), value.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}
bool IsNumericField(const std::string& field) {
  std::string value = Trim(field);
  if (value.empty()) return false;
  char* end = nullptr;
  std::strtod(value.c_str(), &end);
  return *end == '\0';
}
bool Fits16(const std::string& field) {
  long value = std::strtol(Trim(field).c_str(), nullptr, 10);
  return value >= -32768 && value <= 32767;
}

// The checks of one chip; messages name what is wrong.
std::vector<std::string> ChipProblems(const Chip& chip, const Part& part) {
  std::vector<std::string> problems;
  auto problem = [&](const std::string& text) { problems.push_back(chip.attribute + ": " + text); };
  std::vector<std::string> f = Split(chip.params, ',');
  auto kinds = [&](const std::string& kinds_text) {
    // one letter per field: n numeric, d digits, f flag, a anything
    if (f.size() != kinds_text.size()) {
      problem(std::to_string(f.size()) + " fields, " + std::to_string(kinds_text.size()) +
              " expected");
      return false;
    }
    for (size_t i = 0; i < f.size(); ++i) {
      char kind = kinds_text[i];
      bool ok = kind == 'a' || (kind == 'n' && IsNumericField(f[i])) ||
                (kind == 'd' && IsDigitsField(f[i])) || (kind == 'f' && IsFlag(f[i]));
      // Flags count only when written exactly "true" or "false".
      if (kind == 'f' && ok && f[i] != "true" && f[i] != "false") ok = false;
      if (!ok) problem("field " + std::to_string(i) + " '" + f[i] + "'");
    }
    return problems.empty();
  };
  const std::string& type = part.type;
  if (chip.kind == "listarticlelist") {
    if (!kinds("nnfndffadddfddfffffffd")) return problems;
    for (int i : {1, 4, 8, 9, 10, 12, 13, 21}) {
      if (!Fits16(f[i])) problem("field " + std::to_string(i) + " is beyond 16 bits");
    }
    if (std::atoi(f[12].c_str()) > 2) problem("marks code above 2");
    if (std::atoi(f[13].c_str()) > 3) problem("date code above 3");
    if (std::atoi(f[21].c_str()) < 1 || std::atoi(f[21].c_str()) > 6) problem("no order code");
    // The list renders on these page types only (and in the cells of the site home blocks).
    if (!In(type, {"first", "classlist", "subjectlist", "hotlist", "recommendlist", "newlist"})) {
      problem("renders nothing on " + type);
    }
    bool paged = f[19] == "true";
    if (paged && (part.in_block ||
                  !In(type, {"classlist", "subjectlist", "hotlist", "recommendlist", "newlist"}))) {
      problem("a paged list where the list cannot page");
    }
    // Showing clicks after a date cell writes text between table cells.
    if (f[15] == "true" && f[13] != "0") problem("clicks and date together");
  } else if (chip.kind == "listarticlepic") {
    if (!kinds("nnfndffddddddafd")) return problems;
    if (!In(Trim(f[13]), {"1", "2", "3"})) problem("layout other than 1, 2 or 3 draws nothing");
    if (f[4] == "0") problem("a top-0 query");
    for (int i : {1, 4, 7, 10, 15}) {
      if (!Fits16(f[i])) problem("field " + std::to_string(i) + " is beyond 16 bits");
    }
  } else if (chip.kind == "listannounce") {
    if (f.size() != 4) {
      problem("4 fields expected");
    } else {
      if (!In(Trim(f[0]), {"1", "2"})) problem("layout");
      if (!IsDigitsField(f[1])) problem("count");
      for (int i : {2, 3}) {
        if (f[i] != "true" && f[i] != "false") problem("flag " + std::to_string(i));
      }
    }
  } else if (chip.kind == "listarticlecorrelative") {
    // The renderer reads the text after the first colon of the whole attribute.
    std::vector<std::string> g = Split(chip.attribute.substr(chip.attribute.find(':') + 1), ',');
    if (g.size() != 2 || !IsDigitsField(g[0]) || !IsDigitsField(g[1])) problem("count, width");
    if (type != "content") problem("renders only on content pages");
  } else if (chip.kind == "listcomment") {
    if (!IsDigitsField(chip.params)) problem("count");
    if (type != "content" && type != "comment") problem("renders only on article pages");
  } else if (chip.kind == "listtopuser") {
    if (!IsDigitsField(chip.params)) problem("count");
  } else if (chip.kind == "jsfile") {
    if (Trim(chip.params).empty()) problem("no file name");
  } else {
    problem("unknown kind");
  }
  return problems;
}

TEST_F(DesignTest, EveryChipCarriesParametersItsRendererAccepts) {
  size_t chips = 0;
  std::set<std::string> announce_params;
  for (const TemplatePage& page : pages_) {
    for (const Part& part : page.parts) {
      for (const Chip& chip : part.chips) {
        ++chips;
        for (const std::string& problem : ChipProblems(chip, part)) {
          ADD_FAILURE() << part.where << ": " << problem;
        }
        if (chip.kind == "listannounce") announce_params.insert(chip.params);
        // In the site home blocks the list follows each channel through the -1 channel field.
        if (page.type == "default" && part.in_block && chip.kind == "listarticlelist") {
          EXPECT_EQ(Split(chip.params, ',').at(0), "-1") << part.where;
        }
      }
    }
  }
  EXPECT_GT(chips, 10u);
  // Every announcement chip rewrites the one script file of its channel folder; chips with
  // different parameters would show each other's lists.
  EXPECT_EQ(announce_params.size(), 1u);

  // The checks catch what they are meant to.
  Part first{"probe", "first", false, {}, {}, {}, ""};
  Part content{"probe", "content", false, {}, {}, {}, ""};
  auto list = [](const std::string& params) {
    return Chip{"listarticlelist", params, "ListArticleList:" + params};
  };
  const std::string good =
      "-1,0,true,0,10,false,false,,0,30,1,true,1,3,false,false,true,true,"
      "false,false,false,4";
  EXPECT_TRUE(ChipProblems(list(good), first).empty());
  EXPECT_FALSE(ChipProblems(list(good + ",1"), first).empty());
  EXPECT_FALSE(ChipProblems(list(good), content).empty());
  std::string yes_flag = good;
  yes_flag.replace(yes_flag.find("true"), 4, "yes");
  EXPECT_FALSE(ChipProblems(list(yes_flag), first).empty());
  EXPECT_FALSE(ChipProblems(Chip{"listannounce", "3,5,true,true", ""}, first).empty());
  EXPECT_FALSE(ChipProblems(Chip{"listcomment", "05", ""}, content).empty());
}

TEST_F(DesignTest, SubClassBlocksAreWellFormedAndWhereTheyExpand) {
  std::regex start(R"rx(TemplateChip="ListSubClassList:)rx", std::regex::icase);
  std::regex end_tag(R"rx(TemplateChip="EndSubClassList")rx", std::regex::icase);
  for (const TemplatePage& page : pages_) {
    SCOPED_TRACE("page " + page.id + " (" + page.type + ")");
    auto count = [&](const std::regex& pattern) {
      return std::distance(std::sregex_iterator(page.content.begin(), page.content.end(), pattern),
                           std::sregex_iterator());
    };
    long starts = count(start);
    EXPECT_EQ(starts, count(end_tag));
    EXPECT_EQ(starts, static_cast<long>(page.block_tags.size())) << "a block that is not cut";
    if (!In(page.type, {"default", "first", "classlist"})) {
      EXPECT_EQ(starts, 0) << "blocks expand only on the site home, first and class pages";
    } else if (page.type != "default") {
      EXPECT_LE(starts, 1) << "only the first block of a channel page expands";
    }
    for (const std::string& columns : page.block_tags) {
      // The column count is the one character after the colon, 1 to 9.
      EXPECT_EQ(columns.size(), 1u) << columns;
      EXPECT_TRUE(IsDigitsField(columns) && columns != "0") << columns;
    }
    for (const Part& part : page.parts) {
      if (!part.in_block) continue;
      // Each cell is a list of its own channel or class.
      bool has_list = std::any_of(part.chips.begin(), part.chips.end(),
                                  [](const Chip& chip) { return chip.kind == "listarticlelist"; });
      EXPECT_TRUE(has_list) << part.where;
      if (page.type == "default") {
        // The site home cells are rendered lower-cased; mixed-case class names would no longer
        // match the stylesheet.
        std::regex mixed_class(R"rx(class="[^"]*[A-Z][^"]*")rx");
        EXPECT_FALSE(std::regex_search(part.text, mixed_class)) << part.where;
      }
    }
  }
}

// The names of the form fields in a text, and the options of a select.
std::set<std::string> FieldNames(const std::string& text) {
  std::set<std::string> names;
  std::regex name(R"rx(<(?:input|select|textarea)[^>]*\bname="([^"]+)")rx", std::regex::icase);
  for (std::sregex_iterator it(text.begin(), text.end(), name), end; it != end; ++it) {
    names.insert((*it)[1]);
  }
  return names;
}
std::set<std::string> SelectOptions(const std::string& text, const std::string& select) {
  std::set<std::string> values;
  std::regex block("<select[^>]*name=\"" + select + "\"[^>]*>([\\s\\S]*?)</select>",
                   std::regex::icase);
  std::smatch match;
  if (!std::regex_search(text, match, block)) return values;
  std::string options = match[1];
  std::regex value(R"rx(<option value="([^"]*)")rx", std::regex::icase);
  for (std::sregex_iterator it(options.begin(), options.end(), value), end; it != end; ++it) {
    values.insert((*it)[1]);
  }
  return values;
}

TEST_F(DesignTest, FormsPostTheFieldsTheirHandlersRead) {
  const TemplatePage* search = PageOfType("search");
  ASSERT_NE(search, nullptr);
  std::set<std::string> fields = FieldNames(search->content);
  for (const char* name :
       {"m", "channelid", "searchkeyword", "searchtype", "searchclass", "searchorder"}) {
    EXPECT_TRUE(fields.count(name)) << name;
  }
  std::set<std::string> types = SelectOptions(search->content, "searchtype");
  EXPECT_FALSE(types.empty());
  for (const std::string& type : types) {
    EXPECT_TRUE(In(type, {"d_title", "d_content", "d_author", "d_inputer"})) << type;
  }
  std::set<std::string> orders = SelectOptions(search->content, "searchorder");
  EXPECT_FALSE(orders.empty());
  for (const std::string& order : orders) {
    EXPECT_TRUE(In(order, {"1", "2", "3", "4", "5", "6"})) << order;
  }
  EXPECT_NE(search->content.find(R"(name="m" value="search")"), std::string::npos);

  const TemplatePage* comment = PageOfType("comment");
  ASSERT_NE(comment, nullptr);
  fields = FieldNames(comment->content);
  for (const char* name : {"d_name", "d_email", "d_score", "d_content"}) {
    EXPECT_TRUE(fields.count(name)) << name;
  }
  for (const std::string& score : SelectOptions(comment->content, "d_score")) {
    EXPECT_TRUE(IsDigitsField(score)) << "a score the post refuses: " << score;
  }
  EXPECT_NE(comment->content.find("asp.asp?m=comment&amp;flag=1&amp;articleid={$showarticleid}"),
            std::string::npos);

  const TemplatePage* tell = PageOfType("tellfriend");
  ASSERT_NE(tell, nullptr);
  fields = FieldNames(tell->content);
  EXPECT_TRUE(fields.count("mailto"));
  EXPECT_TRUE(fields.count("mailtoname"));
  EXPECT_NE(tell->content.find("asp.asp?m=tellfriend&amp;flag=1&amp;articleid={$showarticleid}"),
            std::string::npos);
}

TEST_F(DesignTest, PagesCarryTheBlocksTheirTypeOffers) {
  auto uses = [&](const std::string& type, const std::string& what) {
    const TemplatePage* page = PageOfType(type);
    if (page == nullptr) return false;
    for (const Part& part : page->parts) {
      if (std::count(part.labels.begin(), part.labels.end(), what)) return true;
      for (const Chip& chip : part.chips) {
        if (chip.kind == what) return true;
      }
    }
    return false;
  };
  for (const TemplatePage& page : pages_) {
    SCOPED_TRACE(page.type);
    if (page.type != "print" && page.type != "notice") {
      for (const char* label : {"{$showpath}", "{$showlogo}", "{$showbanner}", "{$showcopyright}",
                                "{$showwebmasteremail}"}) {
        EXPECT_TRUE(uses(page.type, label)) << label;
      }
    }
  }
  for (const char* label :
       {"{$showarticletitle}", "{$showarticleinfo}", "{$showarticlecontent}",
        "{$showarticleprevious}", "{$showarticlenext}", "{$showarticlefooter}"}) {
    EXPECT_TRUE(uses("content", label)) << label;
  }
  EXPECT_TRUE(uses("content", "listarticlecorrelative"));
  EXPECT_TRUE(uses("content", "listcomment"));
  EXPECT_TRUE(uses("comment", "listcomment"));
  EXPECT_TRUE(uses("search", "{$showsearchresult}"));
  EXPECT_TRUE(uses("search", "{$showsearchtitle}"));
  EXPECT_TRUE(uses("notice", "{$showannouncelist}"));
  EXPECT_TRUE(uses("print", "{$showarticlecontent}"));
  for (const char* type :
       {"first", "classlist", "subjectlist", "hotlist", "recommendlist", "newlist"}) {
    EXPECT_TRUE(uses(type, "listarticlelist")) << type;
  }
  // The site home shows its channels through a block, the first page its classes.
  ASSERT_NE(PageOfType("default"), nullptr);
  EXPECT_EQ(PageOfType("default")->block_tags.size(), 1u);
  EXPECT_EQ(PageOfType("first")->block_tags.size(), 1u);
}

// ---------------------------------------------------------------------------------------------
// The shipped pages through the host: every page type renders from the shipped templates with no
// mark of the template language left, and links a stylesheet the host serves.

class ShippedPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.SetChannel(1, "d_templateid = 1");  // the shipped design
    site_.Add(ClassRow{.name = "国内新闻", .dir = "china", .comments = true});
    site_.Add(SubjectRow{.name = "城市更新", .dir = "city", .order = 1});
    site_.Add(ArticleRow{.title = "设计测试文章",
                         .content = "<p>正文内容在此</p>",
                         .class_id = 1,
                         .subject = 1,
                         .author = "作者甲",
                         .hot = true,
                         .recommend = true,
                         .keyword = "|设计|",
                         .pic_url = "/images/top.gif"});
    site_.Add(ArticleRow{
        .title = "第二篇设计文章", .content = "<p>第二篇</p>", .class_id = 1, .keyword = "|设计|"});
    site_.Add(CommentRow{.article = 1, .name = "读者乙", .text = "评论内容在此", .score = 5});
    site_.Add(AnnounceRow{.title = "频道公告", .author = "管理员", .content = "公告正文在此"});
    site_.Add(AnnounceRow{
        .title = "首页公告", .channel = 0, .author = "管理员", .content = "首页公告正文"});
  }

  // Fetches a page and checks what every shipped page must be; returns its text.
  std::string Page(const std::string& path, const std::string& stylesheet) {
    SCOPED_TRACE(path);
    folirex::testing::HttpAnswer answer = site_.Get(path);
    EXPECT_EQ(answer.status, 200);
    const std::string& text = answer.text;
    EXPECT_NE(text.find(R"(content="text/html; charset=gb2312")"), std::string::npos);
    // A label or chip left as typed is a mark the page type does not know.
    EXPECT_EQ(text.find("{$"), std::string::npos) << Around(text, "{$");
    EXPECT_EQ(Lower(text).find("templatechip"), std::string::npos)
        << Around(Lower(text), "templatechip");
    EXPECT_NE(text.find("<link href='" + stylesheet + "' rel='stylesheet'"), std::string::npos);
    EXPECT_NE(text.find("</html>"), std::string::npos);
    return text;
  }

  static std::string Around(const std::string& text, const std::string& what) {
    size_t at = text.find(what);
    return at == std::string::npos ? "" : text.substr(at < 40 ? 0 : at - 40, 120);
  }

  folirex::testing::SiteFixture site_;
};

TEST_F(ShippedPagesTest, EveryChannelPageTypeRendersWhole) {
  const std::string css = "/Article/Skin/1.css";
  struct Case {
    std::string path;
    std::vector<std::string> shows;
  };
  const std::vector<Case> cases = {
      {"/asp.asp", {"设计测试文章", "国内新闻", "您当前位置："}},
      {"/asp.asp?m=classlist&classid=1&channelid=1", {"国内新闻", "设计测试文章"}},
      {"/asp.asp?m=content&articleid=1&channelid=1",
       {"设计测试文章", "正文内容在此", "作者甲", "第二篇设计文章", "发表评论"}},
      {"/asp.asp?m=subjectlist&subjectid=1&channelid=1", {"城市更新", "设计测试文章"}},
      {"/asp.asp?m=search&channelid=1&searchtype=d_title&searchclass=0&searchorder=4&"
       "searchkeyword=设计",
       {"查询结果页", "测试文章"}},
      {"/asp.asp?m=newlist&channelid=1", {"最新文章", "第二篇设计文章"}},
      {"/asp.asp?m=hotlist&channelid=1", {"热门文章", "设计测试文章"}},
      {"/asp.asp?m=recommendlist&channelid=1", {"推荐文章", "设计测试文章"}},
      {"/asp.asp?m=comment&articleid=1&channelid=1", {"设计测试文章", "d_content"}},
      {"/asp.asp?m=print&articleid=1&channelid=1", {"设计测试文章", "正文内容在此"}},
      {"/asp.asp?m=tellfriend&articleid=1&channelid=1", {"设计测试文章", "mailtoname"}},
      {"/asp.asp?m=notice&noticeid=1&channelid=1", {"频道公告", "公告正文在此"}},
  };
  for (const Case& c : cases) {
    std::string text = Page(c.path, css);
    for (const std::string& piece : c.shows) {
      EXPECT_NE(text.find(piece), std::string::npos) << c.path << " lacks " << piece;
    }
  }
}

TEST_F(ShippedPagesTest, TheSiteHomeShowsOneBlockPerChannel) {
  site_.Add(ChannelRow{.name = "图片中心",
                       .dir = "Photo",
                       .id = 11,
                       .order = 2,
                       .template_id = 1,
                       .project_name = "图片",
                       .project_unit = "张"});
  site_.Add(ArticleRow{.title = "黄山云海", .content = "<p>图</p>", .channel = 11});
  std::string text = Page("/asp.asp", "/Skin/2.css");
  for (const char* piece :
       {"文章中心", "图片中心", "设计测试文章", "黄山云海", "您当前位置：网站首页"}) {
    EXPECT_NE(text.find(piece), std::string::npos) << piece;
  }
  // Each channel's list sits in its own cell, in channel order.
  EXPECT_LT(text.find("设计测试文章"), text.find("黄山云海"));
}

TEST_F(ShippedPagesTest, TheHostServesTheStylesheetsAndImagesThePagesLink) {
  // Links as the pages write them; the host finds a file whatever the case of its name.
  for (const char* path :
       {"/Article/Skin/1.css", "/Skin/2.css", "/Article/Skin/logo.svg", "/Skin/logo.svg",
        "/Article/images/arrow.gif", "/images/hot.gif", "/Images/new.gif"}) {
    SCOPED_TRACE(path);
    folirex::testing::HttpAnswer answer = site_.Get(path);
    ASSERT_EQ(answer.status, 200);
    EXPECT_EQ(answer.bytes, ReadFile(FindNoCase(site_.root(), path + 1)));
  }
  EXPECT_EQ(site_.Get("/Article/Skin/1.css").bytes,
            ReadFile(SourcePath("siteroot/Article/Skin/1.css")));
}

}  // namespace
}  // namespace folirex
