// The two steps of a collection run and the picture saving of the second.
//
//   ArticleCollect_GetList      one list page of a project: logs its new article links in
//                               Vantrel_CollectLog and answers "成功|ids", "完成|ids" or a failure
//                               text without "|".
//   ArticleCollect_GetContent   one logged article page: cut by the project's markers, cleaned,
//                               its pictures copied, stored as an article of the channel (or
//                               refused as a duplicate title, or marked failed); answers the
//                               step's message. The pictures it copied stay only with an article
//                               stored: a refused or failed article leaves none behind. It may
//                               first write the addDataID2 script of the article's further pages to
//                               the response. It ends within limits.step_time: pictures still
//                               pending then are skipped, and a success message counts them
//                               ("成功：新增(跳过3个图片)").
//   ArticleCollect_SaveRemoteImages  the pictures of a content saved into the channel's upload
//                               folder, the content pointing at the copies.
//
// A fetch the address rule refuses (a page or picture on this machine or a private network that
// CollectAllowNetworks does not open) is named in the step's answer with its address, and
// written to the server's error output once per project of a run (ArticleCollect_BeginRun).
//
// The steps run on the request's worker with state.db open and the current channel loaded
// (InitChannel); they trap every failure and report it in their answer. Every value taken from a
// remote page reaches SQL as a bound value. An article is stored together with its log row and
// the channel's counters and the regeneration marks of its class (and, when an article is
// fetched again, of its former class and subject) in one transaction: a failed store changes
// none of them and is reported as "失败" with the log row marked 3.
#ifndef FOLIREX_COLLECTION_COLLECT_STEPS_H_
#define FOLIREX_COLLECTION_COLLECT_STEPS_H_

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "collection/collect_project.h"
#include "core/clock.h"
#include "core/request_state.h"
#include "platform/db/variant.h"

namespace folirex {

// Column sizes of what the steps store: longer values are cut to them.
inline constexpr int kCollectTitleWidth = 95;      // display width (CutStr) of a collected title
inline constexpr int kCollectAuthorWidth = 20;     // display width of a collected author
inline constexpr size_t kCollectTextColumn = 255;  // characters of the short text columns

// What the steps need beyond the request: the limits of remote answers, the clock (the content
// step's deadline, the added time and the picture folder) and the draw of picture names (100 to
// 999).
struct CollectRun {
  CollectLimits limits;
  std::shared_ptr<const Clock> clock = SteadyClock();
  std::function<int()> draw;  // empty: a random number
};

// Begins a run of the session's collection steps: the batch page that drives them is being
// written. Until the next run begins, a project's first refused fetch is written to the error
// output and the later ones are not.
void ArticleCollect_BeginRun(RequestState& state);

std::string ArticleCollect_GetList(RequestState& state, const CollectRun& run, int64_t project_id,
                                   int64_t page);

// dataflag: "select" fetches again without the title test; "" makes the test. doflag: "" the
// project decides, "1" HTML, "0" plain text. Other values of either are the caller's to refuse.
std::string ArticleCollect_GetContent(RequestState& state, const CollectRun& run, int64_t log_id,
                                      std::string_view dataflag, std::string_view doflag);

// The picture list of a content: each saved file's site path followed by "|", the last saved
// first, and the files on disk that this call wrote (each a new name); how many pictures were not
// fetched because the step's time ran out (`deadline` on run.clock) or run.limits.max_images had
// been fetched already; and how many the address rule refused, with the first refused address.
// Pictures not fetched keep their remote address.
struct SavedImages {
  std::string content;
  std::string upload_list;
  std::vector<std::filesystem::path> files;
  int skipped = 0;
  int refused = 0;
  std::string refused_address;
};
SavedImages ArticleCollect_SaveRemoteImages(RequestState& state, const CollectRun& run,
                                            std::string content, std::string_view page_url,
                                            Clock::TimePoint deadline);

// The address a picture tag names: the last run of characters other than "=", line feed and
// quotes that ends in .gif, .jpg, .jpeg or .swf (any letter case), trimmed; "" when none.
std::string ArticleCollect_GetImageSrc(std::string_view tag);

// A collected title or author cleaned for storage: tags, quotes and the entities &quot; &amp;
// &lt; &gt; removed, white space runs made one blank, trimmed, then cut to `width`.
std::string CleanCollectedField(std::string_view text, int width);

// The plain-text form of a content: paragraphs and line breaks as "<BR>", every other tag gone,
// blank runs made one blank, and no "<" or ">" left but those of "<BR>".
std::string CollectPlainText(std::string content);

}  // namespace folirex

#endif  // FOLIREX_COLLECTION_COLLECT_STEPS_H_
