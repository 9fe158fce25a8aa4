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

// The page for a lookup key, read with the query in state.db.Sql the first time it is asked for.
const RequestCaches::TemplatePageRow& ReadPage(RequestState& state, const std::string& key) {
  auto cached = state.caches.TemplatePageCache.find(key);
  if (cached != state.caches.TemplatePageCache.end()) return cached->second;
  RequestCaches::TemplatePageRow row;
  Recordset rs;
  rs.Open(state.db.Sql, *state.db.Conn, 0, 1);
  if (!rs.Eof()) {
    row.found = true;
    row.content = rs["d_content"].ToString();
    row.skin_id = rs["d_skinid"];
  }
  rs.Close();
  return state.caches.TemplatePageCache.emplace(key, std::move(row)).first->second;
}

const RequestCaches::TemplatePageRow* FindBySet(RequestState& state, const Variant& template_id,
                                                const std::string& type) {
  if (!IsDigits(template_id) || !IsPageTypeWord(type)) return nullptr;
  state.db.Sql =
      "select d_content, d_skinid from Vantrel_TemplatePage where d_id = (select d_pageid from "
      "Vantrel_TemplateAndPage where d_templateid = " +
      template_id.ToString() + " and d_type = '" + type + "')";
  return &ReadPage(state, "set " + template_id.ToString() + " " + type);
}

const RequestCaches::TemplatePageRow* FindById(RequestState& state, const Variant& page_id) {
  if (!IsDigits(page_id)) return nullptr;
  state.db.Sql =
      "select d_content, d_skinid from Vantrel_TemplatePage where d_id = " + page_id.ToString();
  return &ReadPage(state, "page " + page_id.ToString());
}

}  // namespace

std::string LoadTemplatePage(RequestState& state, const Variant& template_id,
                             const Variant& page_type) {
  const RequestCaches::TemplatePageRow* row = FindBySet(state, template_id, page_type.ToString());
  return row ? row->content : "";
}

std::string LoadTemplatePageById(RequestState& state, const Variant& page_id) {
  const RequestCaches::TemplatePageRow* row = FindById(state, page_id);
  return row ? row->content : "";
}

Variant TemplatePageSkinId(RequestState& state, const Variant& template_id,
                           const Variant& template_page_id, const Variant& page_type) {
  const RequestCaches::TemplatePageRow* row =
      template_id.ToString().empty() ? FindById(state, template_page_id)
                                     : FindBySet(state, template_id, page_type.ToString());
  return row && row->found ? row->skin_id : Variant("1");
}

}  // namespace folirex
