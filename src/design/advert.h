// The advertisement page (m=admin_ad): the list of Vantrel_AD (twenty to a page, filtered by
// kind), the add and edit forms, the saves, the bulk delete, and the writer (action js) of the
// script files js/ad/<code>.js that template pages include to show each advertisement.
//
// Kinds (d_type): 0 an image with a link, 1 a Flash movie, 2 a text with or without a link.
// A code becomes a file name, so it holds only letters, digits, "_" and "-" and names one
// advertisement; the saves refuse any other, and a link or file address that would run script
// (core/script_link.h). Stored values go into the scripts encoded for their place, an address
// that would run script as "#", so no advertisement can break the page that includes it. Adding,
// editing and deleting write no file: the scripts follow the rows when the writer runs.
//
// The page needs a signed-in administrator with the right XT_Manage_AD; every change comes from
// a posted form. Call on the request's worker; refusals end the request through AlertBack.
#ifndef FOLIREX_DESIGN_ADVERT_H_
#define FOLIREX_DESIGN_ADVERT_H_

#include <cstdint>
#include <string>

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

void AD_Main(RequestState& state, const ConsolePage& page);

// One advertisement as the script writer reads it.
struct Advert {
  int64_t type = 0;
  std::string text, url, src;
  int64_t width = 0, height = 0;
};

// The HTML an advertisement's script writes into a page; "" for a type other than 0, 1 and 2.
std::string AdvertHtml(const Advert& ad);

// True when the code may name a script file: 1 to 50 letters, digits, "_" and "-".
bool IsAdvertCode(const std::string& code);

}  // namespace folirex

#endif  // FOLIREX_DESIGN_ADVERT_H_
