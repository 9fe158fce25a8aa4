// The console test site with what the design page tests share: a signed-in administrator, the
// alert of a refused request, and the text a browser would post back from a form's text area.
#ifndef FOLIREX_TESTS_DESIGN_DESIGN_SITE_H_
#define FOLIREX_TESTS_DESIGN_DESIGN_SITE_H_

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "console/console_site.h"

namespace folirex::testing {

using Form = std::vector<std::pair<std::string, std::string>>;

inline const std::string kBack = "\\n\\n系统将自动返回前一页面...";

// Entities of a text area or attribute value back to their characters.
inline std::string DecodeEntities(const std::string& text) {
  const std::pair<std::string, std::string> kEntities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
  std::string out;
  for (size_t i = 0; i < text.size();) {
    bool replaced = false;
    for (const auto& [entity, character] : kEntities) {
      if (text.compare(i, entity.size(), entity) == 0) {
        out += character;
        i += entity.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) out += text[i++];
  }
  return out;
}

// What a browser shows (and posts back) in the text area `name` of a page: its content decoded,
// without the one line feed that directly follows the start tag. "<missing>" when there is none.
inline std::string TextAreaValue(const std::string& page, const std::string& name) {
  size_t tag = page.find("<textarea name='" + name + "'");
  if (tag == std::string::npos) return "<missing>";
  size_t begin = page.find('>', tag) + 1;
  size_t end = page.find("</textarea>", begin);
  std::string raw = page.substr(begin, end - begin);
  if (raw.rfind("\r\n", 0) == 0) {
    raw.erase(0, 2);
  } else if (raw.rfind("\n", 0) == 0) {
    raw.erase(0, 1);
  }
  return DecodeEntities(raw);
}

class DesignConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(site_.SignInAsAdmin().status, 302); }

  // The alert a refused request answers with, without the going-back text.
  static std::string Refusal(const HttpAnswer& answer) {
    std::string alert = AlertText(answer.text);
    if (alert.size() >= kBack.size() &&
        alert.compare(alert.size() - kBack.size(), kBack.size(), kBack) == 0) {
      alert.erase(alert.size() - kBack.size());
    }
    return alert;
  }
  int64_t Count(const std::string& sql) { return site_.Number(sql); }

  ConsoleSite site_;
};

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_DESIGN_DESIGN_SITE_H_
