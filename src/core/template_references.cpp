#include "core/template_references.h"

#include "platform/db/variant.h"

namespace folirex {
namespace {

// "not in (...)" for the leaving channels, or nothing when none leave.
std::string OutsideChannels(const std::vector<int64_t>& channels) {
  return channels.empty() ? "" : " and d_channelid not " + InIds(channels);
}

int64_t LowestOrZero(const Variant& found) { return found.IsNull() ? 0 : found.ToInt64Or(0); }

// "set column = case column when a then b ... end" + extra + " where column in (a, ...)": every
// replacement of the table in one pass over it.
void Repoint(Connection& conn, const char* table, const char* column,
             const std::vector<TemplateReplacement>& replacements, const char* also_set = "") {
  if (replacements.empty()) return;
  std::string cases = std::string("case ") + column;
  std::vector<int64_t> from;
  for (const TemplateReplacement& r : replacements) {
    cases += " when " + std::to_string(r.from) + " then " + std::to_string(r.to);
    from.push_back(r.from);
  }
  conn.Execute(std::string("update ") + table + " set " + column + " = " + cases + " end" +
               also_set + " where " + column + " " + InIds(from));
}

}  // namespace

std::string InIds(const std::vector<int64_t>& ids) {
  std::string list;
  for (int64_t id : ids) list += (list.empty() ? "" : ",") + std::to_string(id);
  return "in (" + list + ")";
}

int64_t LowestSystemSet(Connection& conn, const std::vector<int64_t>& leaving_channels) {
  return LowestOrZero(
      conn.ExecuteScalar("select min(d_id) from Vantrel_Template where d_sysflag = true" +
                         OutsideChannels(leaving_channels)));
}

int64_t LowestSystemPage(Connection& conn, std::string_view type,
                         const std::vector<int64_t>& leaving_channels) {
  return LowestOrZero(conn.ExecuteScalar(
      "select min(d_id) from Vantrel_TemplatePage where d_type = ? and d_sysflag = true" +
          OutsideChannels(leaving_channels),
      {Variant(std::string(type))}));
}

void RepointTemplateSets(Connection& conn, const std::vector<TemplateReplacement>& sets) {
  Repoint(conn, "Vantrel_Channel", "d_templateid", sets);
}

void RepointTemplatePages(Connection& conn, const std::vector<TemplateReplacement>& pages) {
  Repoint(conn, "Vantrel_TemplateAndPage", "d_pageid", pages);
  for (const char* table : {"Vantrel_ArticleClass", "Vantrel_ArticleSubject", "Vantrel_Article"}) {
    Repoint(conn, table, "d_templatepageid", pages, ", d_generatedflag = false");
  }
  Repoint(conn, "Vantrel_Config", "d_templatepageid", pages);
}

}  // namespace folirex
