// The registry of page procedures that the two entries dispatch to. Each feature folder
// registers its own in one function of its own (console/module.cpp, site/module.cpp); the
// program calls those at start-up (app/feature_modules.h). The console's routes are m values
// with their procedures, each registered by its module together with the right it needs (see
// console/admin_frame.h); the public site's routes are m values and the handlers that serve
// them.
//
// The registry is filled once, before the first request, and only read afterwards: safe from
// any thread then.
#ifndef FOLIREX_CORE_MODULES_H_
#define FOLIREX_CORE_MODULES_H_

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/console_request.h"
#include "core/public_request.h"
#include "core/request_state.h"

namespace folirex {

// An administration page: takes the console request's values, parsed once at the entry, and
// writes the whole page.
using AdminEntry = std::function<void(RequestState&, const ConsoleRequest&)>;

// One console route: requests whose m is `m` reach `entry`, the page procedure of the system's
// name `procedure` (such as "Login_Main").
struct AdminRoute {
  std::string m;  // lower case
  std::string procedure;
  AdminEntry entry;
  // The action whose body is an upload (multipart, read raw), if any.
  std::string upload_action = {};
  // The selects the page is sure to read first, by the session alone: on a database that reads
  // ahead the entry has them read with the request's first read (RequestCaches::
  // ReadWithChannels).
  std::function<std::vector<BoundSql>(RequestState&)> first_reads = {};
};
// A public page handler: takes the request's values, parsed once at the entry, and returns the
// page text, which the entry writes.
using PublicHandler = std::function<std::string(RequestState&, const PublicRequest&)>;
// The selects a public page is sure to read, by the request's values alone: on a database that
// reads ahead the entry has them read with the request's first read (RequestCaches::
// ReadWithChannels).
using PublicFirstReads = std::function<std::vector<BoundSql>(const PublicRequest&)>;
// The settings of the channel a public request is served for (the public site's channel loader);
// the entry keeps them as the request's channel (state.channel).
using ChannelLoader =
    std::function<ChannelSettings(RequestState&, std::optional<int64_t> channel_id)>;
// Writes the static page(s) of one article of the current channel (loaded in state.channel) and
// marks the article generated; true only when every file was written. Set by the publishing
// layer; the console's article saves call it when an article is published at once.
using ArticlePageWriter = std::function<bool(RequestState&, int64_t article_id)>;

class ModuleRegistry {
 public:
  // Routes are compared in the order added; a later route of the same m is never reached.
  void AddAdminRoute(AdminRoute route);
  // The public page for requests whose m is this value (compared without regard to case).
  void AddPublicRoute(std::string_view m, PublicHandler handler);
  // The pages of a request whose m names no route: the site's home page (ShowDefault) when the
  // request names no channel and the site has several, else the channel's first page
  // (ShowFirst).
  void SetHomePage(PublicHandler handler) { home_page_ = std::move(handler); }
  void SetFirstPage(PublicHandler handler) { first_page_ = std::move(handler); }
  void SetChannelLoader(ChannelLoader loader) { channel_loader_ = std::move(loader); }
  void SetPublicFirstReads(PublicFirstReads reads) { public_first_reads_ = std::move(reads); }
  void SetArticlePageWriter(ArticlePageWriter writer) { article_page_writer_ = std::move(writer); }

  // The route of m (exactly as given: the entry lower-cases the request's value); null for none.
  const AdminRoute* FindAdminRoute(std::string_view m) const;
  // The route of a procedure (the entry's fallback, Login_Main); null when none is registered.
  const AdminRoute* FindAdminProcedure(std::string_view procedure) const;
  const std::vector<AdminRoute>& admin_routes() const { return admin_; }
  // m in lower case (the entry lower-cases the request's value).
  const PublicHandler* FindPublicRoute(std::string_view m) const;
  const PublicHandler* home_page() const { return home_page_ ? &home_page_ : nullptr; }
  const PublicHandler* first_page() const { return first_page_ ? &first_page_ : nullptr; }
  const ChannelLoader* channel_loader() const {
    return channel_loader_ ? &channel_loader_ : nullptr;
  }
  const PublicFirstReads* public_first_reads() const {
    return public_first_reads_ ? &public_first_reads_ : nullptr;
  }
  // Null until the publishing layer has set it.
  const ArticlePageWriter* article_page_writer() const {
    return article_page_writer_ ? &article_page_writer_ : nullptr;
  }

 private:
  std::vector<AdminRoute> admin_;
  std::map<std::string, PublicHandler, std::less<>> public_routes_;
  PublicHandler home_page_;
  PublicHandler first_page_;
  PublicFirstReads public_first_reads_;
  ChannelLoader channel_loader_;
  ArticlePageWriter article_page_writer_;
};

// The registry of this program: empty until the program fills it at start-up.
ModuleRegistry& Modules();

}  // namespace folirex

#endif  // FOLIREX_CORE_MODULES_H_
