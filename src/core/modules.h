// The registry of page procedures that the two entries dispatch to. Each feature folder
// registers its own procedures in one function of its own (console/module.cpp and so on); the
// program calls those at start-up (app/feature_modules.h). The dispatch tables (which request
// value reaches which procedure, with which arguments) stay in the entry.
//
// The registry is filled once, before the first request, and only read afterwards: safe from
// any thread then.
#ifndef FOLIREX_CORE_MODULES_H_
#define FOLIREX_CORE_MODULES_H_

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/request_state.h"

namespace folirex {

// An administration module's entry: reads its own request values and writes the whole page.
using AdminEntry = std::function<void(RequestState&)>;
// A public page handler: takes the request values the entry's table names, in order, and
// returns the page text.
using PublicHandler = std::function<std::string(RequestState&, const std::vector<std::string>&)>;
// Loads the settings of channel RequestState.ChannelID (the channel loader of the public site).
using ChannelLoader = std::function<void(RequestState&)>;

class ModuleRegistry {
 public:
  // procedure: the system's name of the entry, such as "Login_Main".
  void AddAdminEntry(std::string procedure, AdminEntry entry);
  // procedure: the system's name of the handler, such as "ShowContent".
  void AddPublicHandler(std::string procedure, PublicHandler handler);
  void SetChannelLoader(ChannelLoader loader) { channel_loader_ = std::move(loader); }

  const AdminEntry* FindAdminEntry(std::string_view procedure) const;
  const PublicHandler* FindPublicHandler(std::string_view procedure) const;
  const ChannelLoader* channel_loader() const {
    return channel_loader_ ? &channel_loader_ : nullptr;
  }

 private:
  std::map<std::string, AdminEntry, std::less<>> admin_;
  std::map<std::string, PublicHandler, std::less<>> public_;
  ChannelLoader channel_loader_;
};

// The registry of this program: empty until the program fills it at start-up.
ModuleRegistry& Modules();

}  // namespace folirex

#endif  // FOLIREX_CORE_MODULES_H_
