#include "core/template_references.h"

#include <utility>

#include "platform/db/sql_params.h"
#include "platform/db/variant.h"

namespace folirex {
namespace {

// The lowest d_id `select` of `table` (its own values bound first) finds outside the leaving
// channels.
int64_t LowestOutside(Connection& conn, std::string_view table, std::string select,
                      std::vector<Variant> params, const std::vector<int64_t>& leaving_channels) {
  if (!leaving_channels.empty()) {
    select += " and d_channelid not in (" + Placeholders(leaving_channels.size()) + ")";
    for (int64_t id : leaving_channels) params.push_back(SqlNumber(id));
  }
  Variant found = conn.ExecuteScalar(
      db::KeptRead{.tables = {table}, .sql = std::move(select), .values = std::move(params)});
  return found.IsNull() ? 0 : found.ToInt64Or(0);
}

// "set column = case column when ? then ? ... end" + also_set + " where column in (?, ...)":
// every replacement of the table in one pass over it, each id bound.
void Repoint(Connection& conn, const char* table, const char* column,
             const std::vector<TemplateReplacement>& replacements, const char* also_set = "") {
  if (replacements.empty()) return;
  std::string cases = std::string("case ") + column;
  std::vector<Variant> params;
  std::vector<int64_t> from;
  for (const TemplateReplacement& r : replacements) {
    cases += " when ? then ?";
    params.push_back(SqlNumber(r.from));
    params.push_back(SqlNumber(r.to));
    from.push_back(r.from);
  }
  BoundSql where = IdsIn(column, from);
  params.insert(params.end(), where.params.begin(), where.params.end());
  conn.Execute(std::string("update ") + table + " set " + column + " = " + cases + " end" +
                   also_set + " where " + where.sql,
               params);
}

}  // namespace

int64_t LowestSystemSet(Connection& conn, const std::vector<int64_t>& leaving_channels) {
  return LowestOutside(conn, "Vantrel_Template",
                       "select min(d_id) from Vantrel_Template where d_sysflag = true", {},
                       leaving_channels);
}

int64_t LowestSystemPage(Connection& conn, std::string_view type,
                         const std::vector<int64_t>& leaving_channels) {
  return LowestOutside(
      conn, "Vantrel_TemplatePage",
      "select min(d_id) from Vantrel_TemplatePage where d_type = ? and d_sysflag = true",
      {Variant(std::string(type))}, leaving_channels);
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
