#include "collection/collect_project.h"

#include <iostream>
#include <utility>

#include "core/settings_file.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"

namespace folirex {

std::optional<CollectProject> LoadCollectProject(Connection& conn, int64_t id, int64_t channel_id) {
  Recordset rs;
  rs.Open("select * from Vantrel_CollectProject where d_id = ?", {Variant(id)}, conn, 0, 1);
  if (rs.Eof()) return std::nullopt;
  CollectProject p;
  p.id = rs["d_id"].ToInt64Or(0);
  p.channel_id = rs["D_ChannelID"].ToInt64Or(0);
  if (channel_id > 0 && p.channel_id != channel_id) return std::nullopt;
  p.class_id = rs["D_ClassID"].ToInt64Or(0);
  auto text = [&rs](std::string_view column) { return rs[column].ToString(); };
  p.name = text("D_Name");
  p.page_url = text("D_PageUrl");
  p.first_diff = rs["D_FirstDiff"].ToInt64Or(0) == 1;
  p.first_file_name = text("D_FirstFileName");
  p.page_header = text("D_PageHeader");
  p.page_footer = text("D_PageFooter");
  p.id_url = text("D_IDUrl");
  p.header = text("D_Header");
  p.footer = text("D_Footer");
  p.title1 = text("D_Title1");
  p.title2 = text("D_Title2");
  p.author1 = text("D_Author1");
  p.author2 = text("D_Author2");
  p.content1 = text("D_Content1");
  p.content2 = text("D_Content2");
  p.do_flag = text("D_DoFlag");
  p.check_flag = rs["D_CheckFlag"].ToInt64Or(0);
  p.page_next_match = text("D_PageNextMatch");
  p.page_next_url = text("D_PageNextUrl");
  return p;
}

CollectLimits CollectLimitsOf(const SiteConfig& site) {
  CollectLimits limits;
  // The settings file was checked when it was read; a list that does not parse opens nothing.
  limits.allow_networks.Parse(site.CollectAllowNetworks, nullptr);
  return limits;
}

FetchOptions CollectFetchOptions(const CollectLimits& limits, bool image) {
  FetchOptions options;
  options.timeout_seconds = limits.timeout_seconds;
  options.connect_timeout_seconds = limits.connect_timeout_seconds;
  options.max_bytes = image ? limits.max_image_bytes : limits.max_page_bytes;
  options.max_redirects = limits.max_redirects;
  options.allow_networks = limits.allow_networks;
  return options;
}

std::optional<std::string> ArticleCollect_GetHttpPage(std::string_view url,
                                                      const FetchOptions& options,
                                                      FetchResult* failure) {
  FetchResult result = Fetch(url, options);
  if (!result.ok) {
    if (failure != nullptr) *failure = std::move(result);
    return std::nullopt;
  }
  return DecodePageAsDeclared(result.body, result.content_type);
}

std::string CollectRefusalText(std::string_view address) {
  // The address is the numeric form of the refused socket address; a refusal without one (a
  // socket of another family) names none.
  std::string named = address.empty() ? "该地址" : "地址 " + std::string(address) + " ";
  return named + "不是公网地址，已拒绝采集（如需采集内网或本机网站，请在 " + kSettingsFileName +
         " 的 CollectAllowNetworks 中加入该网络）";
}

void LogCollectRefusal(const CollectProject& project, std::string_view address) {
  // The project's name is the administrator's text, written as log text.
  std::string line = "folirex: " + FormatDate(Variant(DateTime::Now()), Variant(int64_t{1})) +
                     " collection project " + std::to_string(project.id) + " \"" +
                     LogText(project.name) + "\": the address " +
                     std::string(address.empty() ? "?" : address) +
                     " is not public and was refused; CollectAllowNetworks in " +
                     kSettingsFileName + " opens its network\n";
  std::cerr << line << std::flush;
}

}  // namespace folirex
