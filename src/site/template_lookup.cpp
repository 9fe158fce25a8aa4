#include "site/template_lookup.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/public_request.h"
#include "platform/db/recordset.h"
#include "platform/db/sql_params.h"

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

// The page for a lookup key, read with `read` the first time it is asked for.
const RequestCaches::TemplatePageRow& ReadPage(DatabaseState& db, RequestCaches& caches,
                                               const std::string& key, const db::KeptRead& read) {
  auto cached = caches.TemplatePageCache.find(key);
  if (cached != caches.TemplatePageCache.end()) return cached->second;
  RequestCaches::TemplatePageRow row;
  Recordset rs;
  rs.Open(read, *db.Conn);
  if (!rs.Eof()) {
    row.found = true;
    row.content = rs["d_content"].ToString();
    row.skin_id = rs["d_skinid"];
  }
  rs.Close();
  return caches.TemplatePageCache.emplace(key, std::move(row)).first->second;
}

// An id beyond 64 bits names no page: no lookup is made for it.
const RequestCaches::TemplatePageRow* FindBySet(DatabaseState& db, RequestCaches& caches,
                                                const Variant& template_id,
                                                const std::string& type) {
  const std::optional<int64_t> id = ParseId(template_id.ToString());
  if (!id || !IsPageTypeWord(type)) return nullptr;
  return &ReadPage(
      db, caches, "set " + template_id.ToString() + " " + type,
      {.tables = {"Vantrel_TemplatePage", "Vantrel_TemplateAndPage"},
       .sql = "select d_content, d_skinid from Vantrel_TemplatePage where d_id = (select "
              "d_pageid from Vantrel_TemplateAndPage where d_templateid = ? and d_type = ?)",
       .values = {SqlNumber(*id), Variant(type)}});
}

const RequestCaches::TemplatePageRow* FindById(DatabaseState& db, RequestCaches& caches,
                                               const Variant& page_id) {
  const std::optional<int64_t> id = ParseId(page_id.ToString());
  if (!id) return nullptr;
  return &ReadPage(db, caches, "page " + page_id.ToString(),
                   {.tables = {"Vantrel_TemplatePage"},
                    .sql = "select d_content, d_skinid from Vantrel_TemplatePage where d_id = ?",
                    .values = {SqlNumber(*id)}});
}

// The page by set and type when template_id is not empty, else by page id.
const RequestCaches::TemplatePageRow* FindPage(DatabaseState& db, RequestCaches& caches,
                                               const Variant& template_id,
                                               const Variant& template_page_id,
                                               const Variant& page_type) {
  return template_id.ToString().empty() ? FindById(db, caches, template_page_id)
                                        : FindBySet(db, caches, template_id, page_type.ToString());
}

}  // namespace

std::string LoadTemplatePage(DatabaseState& db, RequestCaches& caches, const Variant& template_id,
                             const Variant& page_type) {
  const RequestCaches::TemplatePageRow* row =
      FindBySet(db, caches, template_id, page_type.ToString());
  return row ? row->content : "";
}

std::string LoadTemplatePageById(DatabaseState& db, RequestCaches& caches, const Variant& page_id) {
  const RequestCaches::TemplatePageRow* row = FindById(db, caches, page_id);
  return row ? row->content : "";
}

Variant TemplatePageSkinId(DatabaseState& db, RequestCaches& caches, const Variant& template_id,
                           const Variant& template_page_id, const Variant& page_type) {
  const RequestCaches::TemplatePageRow* row =
      FindPage(db, caches, template_id, template_page_id, page_type);
  return row && row->found ? row->skin_id : Variant("1");
}

bool TemplatePageFound(DatabaseState& db, RequestCaches& caches, const Variant& template_id,
                       const Variant& template_page_id, const Variant& page_type) {
  const RequestCaches::TemplatePageRow* row =
      FindPage(db, caches, template_id, template_page_id, page_type);
  return row && row->found;
}

}  // namespace folirex
