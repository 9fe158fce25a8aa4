#include "site/template_lookup.h"

#include <string_view>

#include "core/text_helpers.h"
#include "platform/db/recordset.h"

namespace folirex {
namespace {

// Page types are fixed lower-case words; nothing else is put into the query.
bool IsPageTypeWord(std::string_view word) {
  if (word.empty()) return false;
  for (char c : word) {
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
  }
  return true;
}

std::string ReadContent(RequestState& state) {
  Recordset rs;
  rs.Open(state.Sql, *state.Conn, 0, 1);
  std::string content = rs.Eof() ? std::string() : rs["d_content"].ToString();
  rs.Close();
  return content;
}

}  // namespace

std::string LoadTemplatePage(RequestState& state, const Variant& template_id,
                             const Variant& page_type) {
  std::string type = page_type.ToString();
  if (!IsDigits(template_id) || !IsPageTypeWord(type)) return "";
  state.Sql =
      "select d_content from Vantrel_TemplatePage where d_id = (select d_pageid from "
      "Vantrel_TemplateAndPage where d_templateid = " +
      template_id.ToString() + " and d_type = '" + type + "')";
  return ReadContent(state);
}

std::string LoadTemplatePageById(RequestState& state, const Variant& page_id) {
  if (!IsDigits(page_id)) return "";
  state.Sql = "select d_content from Vantrel_TemplatePage where d_id = " + page_id.ToString();
  return ReadContent(state);
}

}  // namespace folirex
