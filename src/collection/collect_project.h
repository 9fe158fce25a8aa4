// A collection project: the row of Vantrel_CollectProject with its twenty rule columns, read by
// the steps, the test run and the project page; and the limits of what collection fetches.
//
// Request thread only; reads on the connection given. Database failures throw DbError.
#ifndef FOLIREX_COLLECTION_COLLECT_PROJECT_H_
#define FOLIREX_COLLECTION_COLLECT_PROJECT_H_

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/request_state.h"
#include "platform/db/connection.h"
#include "platform/net/http_fetch.h"

namespace folirex {

struct CollectProject {
  int64_t id = 0;
  int64_t channel_id = 0;
  int64_t class_id = 0;
  std::string name;
  std::string page_url;
  bool first_diff = false;
  std::string first_file_name;
  std::string page_header;
  std::string page_footer;
  std::string id_url;
  std::string header;
  std::string footer;
  std::string title1;
  std::string title2;
  std::string author1;
  std::string author2;
  std::string content1;
  std::string content2;
  std::string do_flag;  // "0" plain text, anything else HTML with local pictures
  int64_t check_flag = 0;
  std::string page_next_match;
  std::string page_next_url;
};

// The project `id`; nullopt when there is none, or when channel_id is given (above 0) and the
// project belongs to another channel.
std::optional<CollectProject> LoadCollectProject(Connection& conn, int64_t id,
                                                 int64_t channel_id = 0);

// How big and how slow a remote answer may be, and where it may come from. Pages and pictures
// have caps of their own; the picture cap is the collector's fixed 5,120,000 bytes. A content
// step, its pictures included, takes at most step_time and saves at most max_images pictures.
struct CollectLimits {
  int timeout_seconds = 30;
  int connect_timeout_seconds = 10;
  size_t max_page_bytes = size_t{4} << 20;
  size_t max_image_bytes = 5120000;
  int max_redirects = 5;
  std::chrono::seconds step_time{60};
  size_t max_images = 100;
  // The private or local networks the administrator opened (CollectAllowNetworks); every
  // other target must be a public address.
  NetworkList allow_networks;
};

// The limits of a request of the site: the defaults, with the networks of the settings file.
CollectLimits CollectLimitsOf(const SiteConfig& site);

// The fetch options for pages (or pictures when `image`) within the limits.
FetchOptions CollectFetchOptions(const CollectLimits& limits, bool image);

// ArticleCollect_GetHttpPage: the page as text, decoded as its declared charset (code page 936
// unless it declares UTF-8); nullopt when the fetch failed, and then, when `failure` is given,
// the failed fetch in it (FetchResult::refused tells a refusal by the address rule). The HTTP
// status is not judged.
std::optional<std::string> ArticleCollect_GetHttpPage(std::string_view url,
                                                      const FetchOptions& options,
                                                      FetchResult* failure = nullptr);

// What the console says of a fetch the address rule refused: the address and the setting that
// opens its network, "地址 127.0.0.1 不是公网地址，已拒绝采集（如需采集内网或本机网站，请在
// folirex.conf 的 CollectAllowNetworks 中加入该网络）". Plain text: a page encodes it.
std::string CollectRefusalText(std::string_view address);

// One line on the server's error output (standard error) for a fetch of `project` the address
// rule refused, naming the project, the address and CollectAllowNetworks.
void LogCollectRefusal(const CollectProject& project, std::string_view address);

}  // namespace folirex

#endif  // FOLIREX_COLLECTION_COLLECT_PROJECT_H_
