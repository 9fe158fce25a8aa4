#include "site/template_engine.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include "core/public_request.h"
#include "core/regex_helpers.h"
#include "core/select_boxes.h"
#include "core/site_caches.h"
#include "core/site_config.h"
#include "core/text_helpers.h"
#include "platform/cache/lru_cache.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "site/announcements.h"
#include "site/article_list.h"
#include "site/article_loader.h"
#include "site/article_pic.h"
#include "site/channel_loader.h"
#include "site/comments.h"
#include "site/location_path.h"
#include "site/related_chips.h"
#include "site/search.h"
#include "site/small_labels.h"
#include "site/sub_class_blocks.h"

namespace folirex {

// What the engine finds in a template text for a page pattern: the distinct matches, where
// MultiReplace replaces them, and for each match whether it is a label and how the label table
// and the block markers read it.
struct TemplateScan {
  struct LabelAt {
    bool is_label = false;
    bool block_marker = false;  // holds "zarnik"
    std::string trimmed;        // the match without surrounding spaces
    std::string lower;          // the same in lower case: the label table's key
  };
  UniqueMatches found;
  std::vector<KeyHit> hits;
  std::vector<LabelAt> labels;  // by match index
};

namespace {

// Page types, as bits so that a label row can name the set of pages that know it.
enum PageBit : uint32_t {
  kDefault = 1u << 0,
  kFirst = 1u << 1,
  kClassList = 1u << 2,
  kSubjectList = 1u << 3,
  kSearch = 1u << 4,
  kContent = 1u << 5,
  kPrint = 1u << 6,
  kComment = 1u << 7,
  kTellFriend = 1u << 8,
  kNotice = 1u << 9,
  kOther = 1u << 10,  // hotlist, recommendlist, newlist and any unknown type
};
constexpr uint32_t kAll = (1u << 11) - 1;
constexpr uint32_t kArticlePages = kContent | kPrint | kComment | kTellFriend;
constexpr uint32_t kListLinkPages =
    kDefault | kFirst | kClassList | kSubjectList | kSearch | kContent | kOther;

PageBit PageBitOf(std::string_view type) {
  static const std::unordered_map<std::string_view, PageBit> kTypes = {
      {"default", kDefault},       {"first", kFirst},
      {"classlist", kClassList},   {"subjectlist", kSubjectList},
      {"search", kSearch},         {"content", kContent},
      {"print", kPrint},           {"comment", kComment},
      {"tellfriend", kTellFriend}, {"notice", kNotice}};
  auto it = kTypes.find(type);
  return it == kTypes.end() ? kOther : it->second;
}

constexpr const char* kLabelsOnly = "(\\{\\$.+?\\})";
constexpr const char* kBlockPattern =
    "(<img[^>]+?TemplateChip=\"ListSubClassList:.+?\"[^>]*>((?:.|[\\n])+?)<img[^>]+?"
    "TemplateChip=\"EndSubClassList\"[^>]*>)";

// The labels by group, in the order LabelValue relies on: page head (to kPageDesc), page frame
// (to kWebmasterEmail), list pages (to kAnnounceList), article pages, then the block.
enum class Label {
  kChannelId,
  kSiteUrl,
  kInstallDir,
  kChannelDir,
  kCss,
  kCssDir,
  kPageTitle,
  kPageKeyword,
  kPageDesc,
  kChannelName,
  kProjectName,
  kMenuCss,
  kMenuJs,
  kNaviMenu,
  kBanner,
  kLogo,
  kPath,
  kChannel,
  kChannelStat,
  kAdminLogin,
  kCopyright,
  kWebmasterEmail,
  kHotListUrl,
  kRecommendListUrl,
  kNewListUrl,
  kCommentListUrl,
  kSearchResult,
  kSearchTitle,
  kClassName,
  kClassLinkUrl,
  kSubjectName,
  kAnnounceList,
  kArticleId,
  kArticleTitle,
  kArticleSubtitle,
  kArticleLongTitle,
  kArticleAuthor,
  kArticleInputer,
  kArticleEditor,
  kArticleComeFrom,
  kArticleProperty,
  kArticleContent,
  kArticleUpdateTime,
  kArticleClicks,
  kArticleInfo,
  kArticlePrevious,
  kArticleNext,
  kArticleFooter,
  kBlock,
};

struct LabelRow {
  Label label;
  uint32_t pages;
};

// The label table: key (lower case) -> value and the page types that know it.
const std::unordered_map<std::string_view, LabelRow>& LabelTable() {
  static const std::unordered_map<std::string_view, LabelRow> kTable = {
      {"{$showchannelid}", {Label::kChannelId, kAll}},
      {"{$showsiteurl}", {Label::kSiteUrl, kAll}},
      {"{$showinstalldir}", {Label::kInstallDir, kAll}},
      {"{$showchanneldir}", {Label::kChannelDir, kAll}},
      {"{$showcss}", {Label::kCss, kAll}},
      {"{$showcssdir}", {Label::kCssDir, kAll}},
      {"{$showpagetitle}", {Label::kPageTitle, kAll}},
      {"{$showpagekeyword}", {Label::kPageKeyword, kAll}},
      {"{$showpagedesc}", {Label::kPageDesc, kAll}},
      {"{$showchannelname}", {Label::kChannelName, kDefault | kContent | kClassList}},
      {"{$showprojectname}", {Label::kProjectName, kDefault | kContent | kClassList}},
      {"{$showmenucss}", {Label::kMenuCss, kAll & ~(kPrint | kNotice)}},
      {"{$showmenujs}", {Label::kMenuJs, kAll & ~(kPrint | kNotice)}},
      {"{$shownavimenu}", {Label::kNaviMenu, kAll & ~(kPrint | kNotice)}},
      {"{$showbanner}", {Label::kBanner, kAll & ~kPrint}},
      {"{$showlogo}", {Label::kLogo, kAll & ~kPrint}},
      {"{$showpath}", {Label::kPath, kAll & ~kPrint}},
      {"{$showchannel}", {Label::kChannel, kAll & ~kPrint}},
      {"{$showchannelstat}", {Label::kChannelStat, kAll & ~kPrint}},
      {"{$showadminlogin}", {Label::kAdminLogin, kAll & ~kPrint}},
      {"{$showcopyright}", {Label::kCopyright, kAll & ~kPrint}},
      {"{$showwebmasteremail}", {Label::kWebmasterEmail, kAll & ~kPrint}},
      {"{$showarticlehotlisturl}", {Label::kHotListUrl, kListLinkPages}},
      {"{$showarticlerecommendlisturl}", {Label::kRecommendListUrl, kListLinkPages}},
      {"{$showarticlenewlisturl}", {Label::kNewListUrl, kListLinkPages}},
      {"{$showcommentlisturl}", {Label::kCommentListUrl, kContent}},
      {"{$showsearchresult}", {Label::kSearchResult, kSearch}},
      {"{$showsearchtitle}", {Label::kSearchTitle, kSearch}},
      {"{$showclassname}", {Label::kClassName, kClassList}},
      {"{$showclasslinkurl}", {Label::kClassLinkUrl, kClassList}},
      {"{$showsubjectname}", {Label::kSubjectName, kSubjectList}},
      {"{$showannouncelist}", {Label::kAnnounceList, kNotice}},
      {"{$showarticleid}", {Label::kArticleId, kComment | kTellFriend}},
      {"{$showarticletitle}", {Label::kArticleTitle, kArticlePages}},
      {"{$showarticlesubtitle}", {Label::kArticleSubtitle, kArticlePages}},
      {"{$showarticlelongtitle}", {Label::kArticleLongTitle, kArticlePages}},
      {"{$showarticleauthor}", {Label::kArticleAuthor, kArticlePages}},
      {"{$showarticleinputer}", {Label::kArticleInputer, kArticlePages}},
      {"{$showarticleeditor}", {Label::kArticleEditor, kArticlePages}},
      {"{$showarticlecomefrom}", {Label::kArticleComeFrom, kArticlePages}},
      {"{$showarticleproperty}", {Label::kArticleProperty, kArticlePages}},
      {"{$showarticlecontent}", {Label::kArticleContent, kArticlePages}},
      {"{$showarticleupdatetime}", {Label::kArticleUpdateTime, kArticlePages}},
      {"{$showarticleclicks}", {Label::kArticleClicks, kArticlePages}},
      {"{$showarticleinfo}", {Label::kArticleInfo, kArticlePages}},
      {"{$showarticleprevious}", {Label::kArticlePrevious, kArticlePages}},
      {"{$showarticlenext}", {Label::kArticleNext, kArticlePages}},
      {"{$showarticlefooter}", {Label::kArticleFooter, kArticlePages}},
      {"{$zarnik}", {Label::kBlock, kFirst | kClassList}},
  };
  return kTable;
}

// One run of the engine: the page's arguments and what it has computed so far.
class PageRender {
 public:
  PageRender(RequestState& state, const ChannelSettings& channel, const PageSkin& skin,
             const TemplateArgs& args, PageValueCache* shared)
      : state_(state),
        channel_(channel),
        skin_(skin),
        args_(args),
        type_(LCase(args.page_type)),
        page_(PageBitOf(type_)),
        shared_(shared) {}

  std::string Render(std::string& template_text);
  // The content pages of the page's article, each followed by kPageSeparator: "" when it is not
  // paged, was not loaded or is the caller's (args.article).
  std::string TakeArticlePages() {
    return owned_article_ ? owned_article_->JoinedPages() : std::string();
  }

  // The chip renderers of the chip table: the chip's parameter text (between the first and the
  // second colon) and its whole attribute text (kind, colon, parameters).
  std::string DrawArticleList(const Variant& params, const std::string& chip);
  std::string DrawArticlePic(const Variant& params, const std::string& chip);
  std::string DrawAnnounce(const Variant& params, const std::string& chip);
  std::string DrawTopUser(const Variant& params, const std::string& chip);
  std::string DrawCorrelative(const Variant& params, const std::string& chip);
  std::string DrawComment(const Variant& params, const std::string& chip);
  std::string DrawJsFile(const Variant& params, const std::string& chip);

  // The scan of the template text for the pattern, kept in `kept` (the site server's) when given.
  static std::shared_ptr<const TemplateScan> KeptScan(KeptTemplateScans* kept,
                                                      const std::string& template_text,
                                                      std::string_view pattern, bool places);
  static KeptTemplateScans* ScansOf(const RequestState& state) {
    return state.site_caches != nullptr ? &state.site_caches->template_scans : nullptr;
  }

 private:
  std::string ServerPath() const { return state_.host.Application->Get("server_path").ToString(); }
  void ExpandBlocks(std::string& template_text);
  // False when the page is an article page whose article does not exist.
  bool EnsureArticle();
  std::string Slot(ArticleSlot slot) const { return (*article_)[slot].ToString(); }
  // The article body as the page shows it where the article holds it as text, else null.
  const std::string* ContentText() const;
  std::optional<std::string> LabelValue(Label label);
  std::optional<std::string> HeadLabel(Label label);
  std::optional<std::string> FrameLabel(Label label);
  std::optional<std::string> ListLabel(Label label);
  std::optional<std::string> ArticleLabel(Label label);
  std::string PageTitle();
  std::optional<std::string> SearchTitle();
  std::string ClickScript();
  std::string ArticleFooter();
  // The article's neighbours: the run's (PageValueCache) when they hold its id, else read once
  // for both links.
  const NeighbourRows* Neighbours();
  // What the page reads ahead (ReadAhead): PageReadsOf's, and the related articles' select,
  // whose making is kept for the chip's drawing.
  PageReads PlanReads(const std::string& template_text);
  std::string ChipValue(const std::string& chip);
  std::string NameOf(std::string_view table, std::optional<int64_t> id);
  // The value `what` of this page: from shared_ when it holds it for the page's arguments,
  // else drawn (and kept there).
  template <typename Draw>
  std::string SharedValue(const std::string& what, Draw draw);

  RequestState& state_;
  const ChannelSettings& channel_;  // the channel the page is drawn for
  const PageSkin& skin_;
  const TemplateArgs& args_;
  const std::string type_;
  const PageBit page_;
  PageValueCache* const shared_;

  std::string shared_key_;  // the page's arguments that shared values are kept under
  std::string base_path_;
  std::vector<std::string> block_html_;  // default page: block i at i (0 unused)
  std::unordered_map<std::string, size_t> block_markers_;
  std::string first_block_html_;  // first and class list pages
  bool article_loaded_ = false;
  std::optional<LoadedArticle> owned_article_;  // the article the render loaded itself
  std::optional<NeighbourRows> own_neighbours_;
  // The related-article chips' reads made by PlanReads, by chip.
  std::unordered_map<std::string, std::optional<RelatedRead>> related_reads_;
  const LoadedArticle* article_ = nullptr;  // args_.article or owned_article_; null: none
};

// The chip table: each chip kind by the name the page patterns spell, its renderer, and the page
// types whose pattern knows it. A renderer reads its chip's parameters into named fields once
// (ArticleListChip, ArticlePicChip; the announcement, related-article, top-user, comment and JS
// file chips read theirs in their own modules) and gives the HTML that replaces the chip; a chip
// whose fields fail their checks renders as its renderer says, as a rule "".
using ChipRenderer = std::string (PageRender::*)(const Variant& params, const std::string& chip);

struct ChipRow {
  std::string_view name;  // matched without regard to case
  ChipRenderer render;
  uint32_t pages;
};

constexpr uint32_t kListChipPages =
    kDefault | kFirst | kClassList | kSubjectList | kSearch | kContent | kOther;

// In the order of the kinds in the page patterns. The fields each chip reads:
//   ListArticleList         ArticleListChip, 22 fields (article_list_sql.h)
//   ListArticlePic          ArticlePicChip, 16 fields (article_pic.h)
//   ListAnnounce            AnnounceChip: layout, count, author and date flags (announcements.cpp)
//   ListTopUser             the count
//   listarticlecorrelative  count and title width, from the whole attribute text
//   ListComment             the count
//   JSFile                  the file name
constexpr ChipRow kChipTable[] = {
    {"ListArticleList", &PageRender::DrawArticleList, kListChipPages},
    {"ListArticlePic", &PageRender::DrawArticlePic, kListChipPages},
    {"ListAnnounce", &PageRender::DrawAnnounce, kAll & ~(kPrint | kNotice)},
    {"ListTopUser", &PageRender::DrawTopUser, kAll & ~(kPrint | kNotice | kTellFriend)},
    {"listarticlecorrelative", &PageRender::DrawCorrelative, kContent},
    {"ListComment", &PageRender::DrawComment, kContent | kComment},
    {"JSFile", &PageRender::DrawJsFile, kAll & ~(kPrint | kNotice)},
};

const ChipRow* FindChip(std::string_view kind) {
  for (const ChipRow& row : kChipTable) {
    if (LCase(row.name) == kind) return &row;
  }
  return nullptr;
}

// The page pattern: labels, and the chips of the table that the page type knows (print and
// notice pages know none).
std::string BuildPagePattern(PageBit page) {
  std::string kinds;
  for (const ChipRow& row : kChipTable) {
    if ((row.pages & page) == 0) continue;
    if (!kinds.empty()) kinds += "|";
    kinds += row.name;
  }
  if (kinds.empty()) return kLabelsOnly;
  return "((\\{\\$.+?\\})|(<img[^>]+?TemplateChip=\"((?:" + kinds + "):.+?)\"[^>]*>))";
}

const std::string& PagePattern(PageBit page) {
  static const std::unordered_map<uint32_t, std::string> kPatterns = [] {
    std::unordered_map<uint32_t, std::string> patterns;
    for (uint32_t bit = 1; bit <= kOther; bit <<= 1) {
      patterns.emplace(bit, BuildPagePattern(static_cast<PageBit>(bit)));
    }
    return patterns;
  }();
  return kPatterns.at(page);
}

// A text as a part of a shared value's key: its length first, so that no two lists of parts
// give the same key.
void AppendKeyPart(std::string& key, std::string_view part) {
  key += std::to_string(part.size());
  key += ':';
  key += part;
}

template <typename Draw>
std::string PageRender::SharedValue(const std::string& what, Draw draw) {
  if (shared_ == nullptr) return draw();
  if (shared_key_.empty()) {
    AppendKeyPart(shared_key_, channel_.ChannelID.ToString());
    AppendKeyPart(shared_key_, IdText(args_.class_id));
    AppendKeyPart(shared_key_, IdText(args_.subject_id));
    AppendKeyPart(shared_key_, args_.generate_html);
    AppendKeyPart(shared_key_, type_);
  }
  std::string key = shared_key_;
  AppendKeyPart(key, what);
  if (const std::string* kept = shared_->Find(key)) return *kept;
  std::string value = draw();
  shared_->Store(key, value);
  return value;
}

std::string PageRender::DrawArticleList(const Variant& params, const std::string& chip) {
  const std::optional<ArticleListChip> fields = ParseArticleListChip(params);
  if (!fields) return "";
  // Only a paged list reads the page number and size.
  std::string what = chip;
  if (fields->paged) {
    AppendKeyPart(what, IdText(args_.page_number));
    AppendKeyPart(what, std::to_string(args_.page_size));
  }
  return SharedValue(what, [&] {
    return ShowArticleList(state_, channel_, *fields, type_, args_.page_number, args_.page_size,
                           args_.class_id, args_.subject_id);
  });
}

std::string PageRender::DrawArticlePic(const Variant& params, const std::string& chip) {
  // The chip's fields are read with its value, once for a run of pages.
  return SharedValue(chip, [&] {
    const std::optional<ArticlePicChip> fields = ParseArticlePicChip(params);
    if (!fields) return std::string();
    return ShowArticlePic(state_, channel_, *fields, type_, args_.class_id, args_.subject_id);
  });
}

std::string PageRender::DrawAnnounce(const Variant& params, const std::string& chip) {
  return SharedValue(chip, [&] { return ShowAnnounceList(state_, channel_, params, type_); });
}

std::string PageRender::DrawTopUser(const Variant& params, const std::string& chip) {
  return SharedValue(chip, [&] { return ShowTopUser(state_, params, "1"); });
}

std::string PageRender::DrawCorrelative(const Variant& /*params*/, const std::string& chip) {
  auto planned = related_reads_.find(chip);
  if (planned != related_reads_.end()) {
    return ShowArticleCorrelative(state_, channel_, planned->second);
  }
  // The article the page has read already answers the relation's title and keywords.
  const LoadedArticle* loaded = args_.article;
  if (loaded == nullptr && article_loaded_) loaded = article_;
  return ShowArticleCorrelative(state_, channel_, chip, type_, args_.article_id, loaded);
}

PageReads PageRender::PlanReads(const std::string& template_text) {
  PageReads reads = PageReadsOf(state_, channel_, template_text, args_);
  // The related articles of the article the caller read: their select is made once, here.
  if (page_ != kContent || args_.article == nullptr) return reads;
  const std::shared_ptr<const TemplateScan> scan =
      KeptScan(ScansOf(state_), template_text, PagePattern(page_), true);
  for (const std::string& chip : scan->found.groups) {
    const size_t colon = chip.find(':');
    const ChipRow* row = FindChip(LCase(chip.substr(0, colon)));
    if (row == nullptr || row->render != &PageRender::DrawCorrelative) continue;
    std::optional<RelatedRead> read =
        RelatedArticlesRead(state_, channel_, chip, type_, args_.article_id, args_.article);
    if (read && !read->select.sql.empty()) reads.others.push_back(read->select);
    related_reads_.insert_or_assign(chip, std::move(read));
  }
  return reads;
}

std::string PageRender::DrawComment(const Variant& params, const std::string& /*chip*/) {
  return ShowCommentListJs(state_, channel_, params, type_, args_.article_id);
}

std::string PageRender::DrawJsFile(const Variant& params, const std::string& chip) {
  return SharedValue(chip, [&] { return ShowJsFile(state_, channel_, params); });
}

void PageRender::ExpandBlocks(std::string& template_text) {
  if (page_ == kDefault) {
    UniqueMatches found = CollectUniqueMatches(template_text, kBlockPattern);
    const std::vector<std::string>& blocks = found.texts;
    const std::vector<std::string>& bodies = found.groups;
    size_t n = blocks.size() - 1;
    if (n == 0) return;
    std::vector<std::string> keys, markers, designs(n + 1);
    for (size_t i = 1; i <= n; ++i) {
      std::string separator = "[zarnik" + std::to_string(i) + "]";
      designs[i] = blocks[i] + separator + bodies[i] + separator;
      keys.push_back(blocks[i]);
      markers.push_back("{$zarnik" + std::to_string(i) + "}");
      block_markers_.emplace(markers.back(), i);
    }
    template_text = MultiReplace(template_text, keys, markers);
    block_html_.assign(n + 1, std::string());
    for (size_t i = 1; i <= n; ++i) {
      block_html_[i] =
          ShowSubClassListByChannel(state_, skin_, static_cast<int64_t>(i), designs[i]);
    }
  } else if (page_ == kFirst || page_ == kClassList) {
    const std::shared_ptr<const TemplateScan> kept =
        KeptScan(ScansOf(state_), template_text, kBlockPattern, false);
    const TemplateScan& scan = *kept;
    const std::vector<std::string>& blocks = scan.found.texts;
    if (blocks.size() < 2) return;
    // Only the first block is expanded; later ones stay as typed.
    std::string design = blocks[1] + "[zarnik]" + scan.found.groups[1] + "[zarnik]";
    template_text = Replace(template_text, blocks[1], "{$zarnik}");
    // The sub-classes' lists depend on the page's class, not on its page number.
    first_block_html_ = SharedValue("ListSubClassList:" + design, [&] {
      return ShowSubClassList(state_, channel_, args_.class_id, type_, design);
    });
  }
}

bool PageRender::EnsureArticle() {
  if (!article_loaded_) {
    // The caller's article is read where it is: a long body is not copied.
    if (args_.article != nullptr) {
      article_ = args_.article;
    } else {
      owned_article_ = LoadArticle(state_.db, channel_, args_.article_id);
      if (owned_article_) {
        article_ = &*owned_article_;
        ChargeLongArticle(state_, *article_);
      }
    }
    article_loaded_ = true;
  }
  return article_ != nullptr;
}

const std::string* PageRender::ContentText() const {
  return std::get_if<std::string>(&(*article_)[kArticleContent].raw());
}

std::string PageRender::NameOf(std::string_view table, std::optional<int64_t> id) {
  // A missing id reads as a missing row, without a query.
  if (!id) return "不属于任何分类";
  return GetNameByID(state_.db, table, Variant(static_cast<long long>(*id)));
}

std::string PageRender::PageTitle() {
  switch (page_) {
    case kContent:
    case kPrint:
      return Slot(kArticleTitle);
    case kSearch:
      return "查询结果页";
    case kClassList:
      return NameOf("Vantrel_ArticleClass", args_.class_id) + "分类列表页";
    case kSubjectList:
      return NameOf("Vantrel_ArticleSubject", args_.subject_id) + "专题列表页";
    default:
      return state_.site.SiteName.ToString();
  }
}

std::optional<std::string> PageRender::SearchTitle() {
  const std::string& keyword = args_.search_keyword;
  if (keyword.empty()) return "所有文章";
  const std::string& type = args_.search_type;
  const char* field = nullptr;
  if (type == "d_title") {
    field = "标题";
  } else if (type == "d_content") {
    field = "内容";
  } else if (type == "d_author") {
    field = "作者";
  } else if (type == "d_inputer") {
    field = "录入者";
  } else {
    return std::nullopt;
  }
  // The keyword is the visitor's text: it goes into the page as text, never as markup.
  return std::string(field) + "包含<font color=red>" + HTMLEncode(keyword) + "</font>的文章";
}

const NeighbourRows* PageRender::Neighbours() {
  const NeighbourRows* run = shared_ != nullptr ? shared_->neighbours() : nullptr;
  if (!args_.article_id) return run;
  const int64_t id = *args_.article_id;
  if (run != nullptr && id >= run->first_id && id <= run->last_id) return run;
  if (!own_neighbours_) own_neighbours_ = LoadNeighbourRows(state_, id, id);
  return &*own_neighbours_;
}

std::string PageRender::ClickScript() {
  return "<script language='javascript' src='" + ServerPath() +
         "asp.asp?m=click&articleid=" + IdText(args_.article_id) +
         "&channelid=" + channel_.ChannelID.ToString() + "'></script>";
}

std::string PageRender::ArticleFooter() {
  std::string sp = ServerPath();
  std::string ids =
      "articleid=" + IdText(args_.article_id) + "&channelid=" + channel_.ChannelID.ToString();
  std::string footer;
  if ((*article_)[kArticleCommentFlag].ToBoolOr(false)) {
    footer += "【<a href='" + sp + "asp.asp?m=comment&" + ids + "'>发表评论</a>】";
  }
  footer += "【<a href='" + sp + "asp.asp?m=tellfriend&" + ids + "'>告诉好友</a>】【<a href='" +
            sp + "asp.asp?m=print&" + ids +
            "' target='_blank'>打印此页</a>】【<a href='javascript:window.close()'>关闭窗口</a>】";
  return footer;
}

// The labels of the page head: ids, folders, the stylesheet, the title, keywords and summary.
std::optional<std::string> PageRender::HeadLabel(Label label) {
  switch (label) {
    case Label::kChannelId:
      return channel_.ChannelID.ToString();
    case Label::kSiteUrl:
      return HtmlEscapeAttr(state_.site.SiteUrl.ToString());
    case Label::kInstallDir:
      return ServerPath();
    case Label::kChannelDir:
      return channel_.ChannelDir;
    case Label::kCss:
      return skin_.css_link;
    case Label::kCssDir:
      return skin_.skin_id;
    case Label::kPageTitle:
      return HtmlEscapeAttr(PageTitle());
    case Label::kPageKeyword:
      if (page_ == kContent) {
        return HtmlEscapeAttr(
            GetMatchedKeywords(state_.db, channel_, (*article_)[kArticleMetaRelative],
                               (*article_)[kArticleTitle], (*article_)[kArticleMetaKeyword]));
      }
      return HtmlEscapeAttr(state_.site.SiteKeyword.ToString());
    case Label::kPageDesc:
      // The loader's summary is encoded already (article_loader.h).
      return page_ == kContent ? Slot(kArticleSummary)
                               : HtmlEscapeAttr(state_.site.SiteDesc.ToString());
    default:
      return std::nullopt;
  }
}

// The labels of the page frame: channel names, menus, banner, logo, path and the site's footer.
std::optional<std::string> PageRender::FrameLabel(Label label) {
  switch (label) {
    case Label::kChannelName:
      return SharedValue("{$showchannelname}", [&] {
        return HtmlEscapeAttr(GetChannelName(state_.db, state_.caches, channel_.ChannelID));
      });
    case Label::kProjectName:
      return SharedValue("{$showprojectname}", [&] {
        return HtmlEscapeAttr(GetProjectName(state_.db, state_.caches, channel_.ChannelID));
      });
    case Label::kMenuCss:
      return "<link rel='stylesheet' href='" + base_path_ + "skin/default.css'" +
             ((page_ == kDefault || page_ == kFirst) ? ">" : " />");
    case Label::kMenuJs:
      return "<script type='text/javascript' src='" + ServerPath() +
             "NaviMenu/Js/menu.js'></script>";
    case Label::kNaviMenu:
      return "<script type='text/javascript' src='" + base_path_ + "Js/default.js'></script>";
    case Label::kBanner:
      return state_.site.SiteBanner;  // the site's own HTML
    case Label::kLogo:
      return state_.site.SiteLogo;  // the site's own HTML
    case Label::kPath:
      return SharedValue("{$showpath}", [&] {
        return ShowPath(state_, channel_, args_.class_id, args_.subject_id, args_.generate_html,
                        type_);
      });
    case Label::kChannel:
      return std::string();
    case Label::kChannelStat:
      return SharedValue("{$showchannelstat}", [&] {
        return page_ == kDefault ? ShowChannelStat(state_.db, state_.caches)
                                 : ChannelStatHtml(channel_);
      });
    case Label::kAdminLogin:
      return state_.site.AdminLoginLink;
    case Label::kCopyright:
      return state_.site.SiteCopyright.ToString();  // HTML cleaned of script when saved
    case Label::kWebmasterEmail:
      return HtmlEscapeAttr(state_.site.SiteEmail.ToString());
    default:
      return std::nullopt;
  }
}

// The labels of the list pages: list addresses, search, class, subject and announcement.
std::optional<std::string> PageRender::ListLabel(Label label) {
  switch (label) {
    case Label::kHotListUrl:
      return SharedValue("{$showarticlehotlisturl}",
                         [&] { return GetHotListUrl(state_, channel_); });
    case Label::kRecommendListUrl:
      return SharedValue("{$showarticlerecommendlisturl}",
                         [&] { return GetRecommendListUrl(state_, channel_); });
    case Label::kNewListUrl:
      return SharedValue("{$showarticlenewlisturl}",
                         [&] { return GetNewListUrl(state_, channel_); });
    case Label::kCommentListUrl:
      return ServerPath() + "asp.asp?m=comment&articleid=" + IdText(args_.article_id) +
             "&channelid=" + channel_.ChannelID.ToString();
    case Label::kSearchResult:
      return ShowSearchResult(state_, channel_, args_.search_type, args_.search_class,
                              args_.search_keyword, args_.search_order);
    case Label::kSearchTitle:
      return SearchTitle();
    case Label::kClassName:
      return SharedValue("{$showclassname}", [&] {
        return HtmlEscapeAttr(NameOf("Vantrel_ArticleClass", args_.class_id));
      });
    case Label::kClassLinkUrl:
      return SharedValue("{$showclasslinkurl}",
                         [&] { return GetClassLinkUrl(state_, channel_, args_.class_id); });
    case Label::kSubjectName:
      return SharedValue("{$showsubjectname}", [&] {
        return HtmlEscapeAttr(NameOf("Vantrel_ArticleSubject", args_.subject_id));
      });
    case Label::kAnnounceList:
      return ShowAnnounceDetail(state_.db, args_.notice_id);
    default:
      return std::nullopt;
  }
}

// The labels of the article pages, from the page's loaded article.
std::optional<std::string> PageRender::ArticleLabel(Label label) {
  switch (label) {
    case Label::kArticleId:
      return IdText(args_.article_id);
    case Label::kArticleTitle:
      return HtmlEscapeAttr(Slot(kArticleTitle));
    case Label::kArticleSubtitle:
      return HtmlEscapeAttr(Slot(kArticleSubtitle));
    case Label::kArticleLongTitle:
      return HtmlEscapeAttr(Slot(kArticleLongTitle));
    // The author, inputer, editor and source slots are encoded by the loader.
    case Label::kArticleAuthor:
      return Slot(kArticleAuthor);
    case Label::kArticleInputer:
      return Slot(kArticleInputer);
    case Label::kArticleEditor:
      return Slot(kArticleEditor);
    case Label::kArticleComeFrom:
      return Slot(kArticleComeFrom);
    case Label::kArticleProperty:
      return Slot(kArticleProperty);
    case Label::kArticleContent:
      // The article body: HTML cleaned of script when saved (Render reads text in place).
      return Slot(kArticleContent);
    case Label::kArticleUpdateTime:
      return FormatDate((*article_)[kArticleAddTime], 2);
    case Label::kArticleClicks:
      return ClickScript();
    case Label::kArticleInfo:
      return "作者：" + Slot(kArticleAuthor) + " 文章来源：" + Slot(kArticleComeFrom) +
             " 点击数：" + ClickScript() + " 更新时间：" +
             FormatDate((*article_)[kArticleAddTime], 2);
    case Label::kArticlePrevious:
      return ShowArticlePrevious(state_, channel_, args_.article_id, Neighbours());
    case Label::kArticleNext:
      return ShowArticleNext(state_, channel_, args_.article_id, Neighbours());
    case Label::kArticleFooter:
      return ArticleFooter();
    default:
      return std::nullopt;
  }
}

// Each label group's value comes from its own function, in the order the label table lists them.
std::optional<std::string> PageRender::LabelValue(Label label) {
  if (label <= Label::kPageDesc) return HeadLabel(label);
  if (label <= Label::kWebmasterEmail) return FrameLabel(label);
  if (label <= Label::kAnnounceList) return ListLabel(label);
  if (label == Label::kBlock) return first_block_html_;
  return ArticleLabel(label);
}

std::string PageRender::ChipValue(const std::string& chip) {
  size_t colon = chip.find(':');
  const ChipRow* row = FindChip(LCase(chip.substr(0, colon)));
  if (row == nullptr) return std::string();
  size_t next = chip.find(':', colon + 1);
  Variant params =
      chip.substr(colon + 1, next == std::string::npos ? std::string::npos : next - colon - 1);
  return (this->*(row->render))(params, chip);
}

// The matches of the pattern in the template text; with `places`, also where they stand and how
// each reads as a label.
std::unique_ptr<TemplateScan> ScanTemplate(const std::string& template_text,
                                           std::string_view pattern, bool places) {
  auto scan = std::make_unique<TemplateScan>();
  scan->found = CollectUniqueMatches(template_text, pattern);
  if (!places) return scan;
  const std::vector<std::string>& matches = scan->found.texts;
  scan->hits = FindKeys(template_text, matches);
  scan->labels.resize(matches.size());
  for (size_t i = 0; i < matches.size(); ++i) {
    std::string match = Trim(matches[i]);
    if (match.rfind("{$", 0) != 0) continue;
    TemplateScan::LabelAt& at = scan->labels[i];
    at.is_label = true;
    at.block_marker = match.find("zarnik") != std::string::npos;
    at.lower = LCase(match);
    at.trimmed = std::move(match);
  }
  return scan;
}

// The bytes a kept scan holds, near enough: its key (the text) and the scan's strings and places.
size_t ScanCharge(const std::string& key, const TemplateScan& scan) {
  size_t bytes = 2 * key.size() + scan.hits.size() * sizeof(KeyHit);
  for (const std::string& t : scan.found.texts) bytes += 3 * t.size() + 96;
  for (const std::string& g : scan.found.groups) bytes += g.size() + 32;
  return bytes;
}

std::shared_ptr<const TemplateScan> PageRender::KeptScan(KeptTemplateScans* kept,
                                                         const std::string& template_text,
                                                         std::string_view pattern, bool places) {
  if (kept == nullptr) return ScanTemplate(template_text, pattern, places);
  std::string key;
  key.reserve(pattern.size() + template_text.size() + 2);
  key.append(pattern).append(1, places ? '1' : '0').append(1, '\0').append(template_text);
  if (std::shared_ptr<const TemplateScan> scan = kept->Find(key)) return scan;
  std::shared_ptr<const TemplateScan> scan = ScanTemplate(template_text, pattern, places);
  kept->Keep(key, scan, ScanCharge(key, *scan));
  return scan;
}

std::string PageRender::Render(std::string& template_text) {
  base_path_ = page_ == kDefault
                   ? ServerPath()
                   : GetChannelPath(state_.host, state_.db, state_.caches, channel_.ChannelID);
  ExpandBlocks(template_text);
  // The page's reads in one exchange; a run of pages (shared_) keeps what it drew.
  if (shared_ == nullptr && ReadsAhead(state_.db)) ReadAhead(state_, PlanReads(template_text));

  const std::shared_ptr<const TemplateScan> kept =
      KeptScan(ScansOf(state_), template_text, PagePattern(page_), true);
  const TemplateScan* scan = kept.get();

  const std::vector<std::string>& matches = scan->found.texts;
  const std::vector<std::string>& groups = scan->found.groups;
  // Each value is drawn into `owned`, but for the article body, which is read where the article
  // keeps it: a long body is copied once, into the page.
  std::vector<std::string> owned(matches.size());
  std::vector<std::string_view> values(matches.size());
  const auto& table = LabelTable();
  for (size_t i = 0; i < matches.size(); ++i) {
    const TemplateScan::LabelAt& at = scan->labels[i];
    if (at.is_label) {
      if ((page_ & kArticlePages) != 0 && !EnsureArticle()) return "";
      values[i] = matches[i];
      if (page_ == kDefault && at.block_marker) {
        auto block = block_markers_.find(at.trimmed);
        if (block != block_markers_.end()) values[i] = block_html_[block->second];
      }
      auto row = table.find(at.lower);
      if (row != table.end() && (row->second.pages & page_) != 0) {
        const std::string* body =
            row->second.label == Label::kArticleContent ? ContentText() : nullptr;
        if (body != nullptr) {
          values[i] = *body;  // the article body: HTML cleaned of script when saved
        } else if (std::optional<std::string> value = LabelValue(row->second.label)) {
          owned[i] = std::move(*value);
          values[i] = owned[i];
        }
      }
    } else if (groups[i].find(':') != std::string::npos) {
      owned[i] = ChipValue(groups[i]);
      values[i] = owned[i];
    } else {
      values[i] = groups[i];
    }
  }
  return ReplaceKeyHits(template_text, scan->hits, matches, values);
}

}  // namespace

PageValueCache::PageValueCache() = default;
PageValueCache::~PageValueCache() = default;

void PageValueCache::KeepNeighbours(NeighbourRows rows) {
  neighbours_ = std::make_unique<NeighbourRows>(std::move(rows));
}

const std::string* PageValueCache::Find(const std::string& key) const {
  auto it = values_.find(key);
  return it == values_.end() ? nullptr : &it->second;
}

void PageValueCache::Store(const std::string& key, std::string value) {
  values_.insert_or_assign(key, std::move(value));
}

PageReads PageReadsOf(RequestState& state, const ChannelSettings& channel,
                      const std::string& template_text, const TemplateArgs& args) {
  PageReads reads;
  const PageBit page = PageBitOf(LCase(args.page_type));
  const std::shared_ptr<const TemplateScan> scan =
      PageRender::KeptScan(PageRender::ScansOf(state), template_text, PagePattern(page), true);
  for (const std::string& chip : scan->found.groups) {
    const size_t colon = chip.find(':');
    if (colon == std::string::npos) continue;
    const ChipRow* row = FindChip(LCase(chip.substr(0, colon)));
    if (row == nullptr) continue;
    const size_t next = chip.find(':', colon + 1);
    const std::string params =
        chip.substr(colon + 1, next == std::string::npos ? std::string::npos : next - colon - 1);
    if (row->render == &PageRender::DrawArticleList) {
      const std::optional<ArticleListChip> fields = ParseArticleListChip(params);
      if (!fields) continue;
      if (std::optional<BoundSql> select = WholeListSelect(
              state.db, channel, *fields, args.page_type, args.class_id, args.subject_id)) {
        reads.lists.push_back(std::move(*select));
      } else if (std::optional<Connection::TogetherRead> page =
                     PagedListRead(state, channel, *fields, args.page_type, args.page_number,
                                   args.page_size, args.class_id, args.subject_id)) {
        reads.pages.push_back(std::move(*page));
      }
    } else if (row->render == &PageRender::DrawArticlePic) {
      BoundSql select = GetArticlePicSql(state.db, channel, params, args.page_type, args.class_id,
                                         args.subject_id);
      if (!Trim(select.sql).empty()) reads.others.push_back(std::move(select));
    }
  }
  if (page != kContent || !args.article_id) return reads;
  const auto& table = LabelTable();
  for (const TemplateScan::LabelAt& at : scan->labels) {
    if (!at.is_label) continue;
    auto label = table.find(at.lower);
    if (label != table.end() && (label->second.label == Label::kArticlePrevious ||
                                 label->second.label == Label::kArticleNext)) {
      reads.others.push_back(NeighbourSelect(*args.article_id, *args.article_id));
      break;
    }
  }
  return reads;
}

std::string ParseTemplate(RequestState& state, const ChannelSettings& channel, const PageSkin& skin,
                          std::string& template_text, const TemplateArgs& args) {
  return ParseTemplatePage(state, channel, skin, template_text, args).html;
}

ParsedPage ParseTemplatePage(RequestState& state, const ChannelSettings& channel,
                             const PageSkin& skin, std::string& template_text,
                             const TemplateArgs& args, PageValueCache* shared) {
  PageRender render(state, channel, skin, args, shared);
  ParsedPage page;
  page.html = render.Render(template_text);
  page.article_pages = render.TakeArticlePages();
  return page;
}

}  // namespace folirex
