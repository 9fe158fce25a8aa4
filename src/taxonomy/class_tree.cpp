#include "taxonomy/class_tree.h"

#include <set>
#include <string>

#include "platform/db/recordset.h"
#include "platform/db/sql_params.h"

namespace folirex {
namespace {

constexpr PreorderTree kClassTree({.table = "Vantrel_ArticleClass"});

Variant V(int64_t n) { return Variant(static_cast<long long>(n)); }

ClassTreeStatus ClassStatus(PreorderStatus status) {
  switch (status) {
    case PreorderStatus::kDone:
      return ClassTreeStatus::kDone;
    case PreorderStatus::kNothingToDo:
      return ClassTreeStatus::kNothingToDo;
    case PreorderStatus::kNoNode:
      return ClassTreeStatus::kNoClass;
    case PreorderStatus::kNoTarget:
      return ClassTreeStatus::kNoTarget;
    case PreorderStatus::kSameNode:
      return ClassTreeStatus::kSameClass;
    case PreorderStatus::kSamePlace:
      return ClassTreeStatus::kSamePlace;
    case PreorderStatus::kIntoOwnSubtree:
      return ClassTreeStatus::kIntoOwnSubtree;
  }
  return ClassTreeStatus::kNoClass;
}

}  // namespace

std::optional<ClassNode> FindClass(Connection& conn, int64_t channel, int64_t id) {
  return kClassTree.Find(conn, channel, id);
}

ClassTreeStatus AddClass(Connection& conn, int64_t channel, int64_t parent,
                         const ClassSettings& settings, int64_t* new_id) {
  return ClassStatus(kClassTree.Insert(
      conn, channel, parent,
      [&settings](Recordset& rs) {
        rs.Set("d_name", Variant(settings.name));
        rs.Set("d_dir", Variant(settings.dir));
        rs.Set("d_pagenum", V(settings.page_size));
        rs.Set("d_commentflag", Variant(settings.comments));
        rs.Set("d_commentcheckflag", Variant(settings.comments_checked));
        rs.Set("d_addarticleflag", Variant(settings.add_article));
        rs.Set("d_pointperarticle", V(settings.points));
        rs.Set("d_templatepageid", V(settings.template_page));
        rs.Set("d_generatedflag", Variant(false));
      },
      new_id));
}

ClassTreeStatus MoveClassUp(Connection& conn, int64_t channel, int64_t id) {
  return ClassStatus(kClassTree.MoveUp(conn, channel, id));
}

ClassTreeStatus MoveClassDown(Connection& conn, int64_t channel, int64_t id) {
  return ClassStatus(kClassTree.MoveDown(conn, channel, id));
}

ClassTreeStatus ResetClass(Connection& conn, int64_t channel, int64_t id) {
  return ClassStatus(kClassTree.Flatten(conn, channel, id));
}

ClassTreeStatus MoveClass(Connection& conn, int64_t channel, int64_t id, int64_t to) {
  return ClassStatus(kClassTree.Move(conn, channel, id, to));
}

ClassTreeStatus DeleteClass(Connection& conn, int64_t channel, int64_t id) {
  // The articles of the subtree go first, while its classes still hold their positions.
  return ClassStatus(kClassTree.Delete(conn, channel, id, [&](const PreorderNode& x) {
    conn.Execute(
        "delete from Vantrel_Article where d_channelid = ? and d_classid in (select d_id from "
        "Vantrel_ArticleClass where d_channelid = ? and d_order >= ? and d_order <= ?)",
        {V(channel), V(channel), V(x.order), V(x.order + x.child)});
  }));
}

ClassTreeStatus EmptyClasses(Connection& conn, int64_t channel, const std::vector<int64_t>& ids) {
  if (ids.empty()) return ClassTreeStatus::kNoClass;
  const std::set<int64_t> distinct(ids.begin(), ids.end());
  const std::string marks = Placeholders(distinct.size());
  std::vector<Variant> params{V(channel)};
  for (int64_t id : distinct) params.push_back(V(id));
  PreorderTree::Change change(kClassTree, conn, channel);
  const int64_t found =
      conn.ExecuteScalar(
              "select count(*) from Vantrel_ArticleClass where d_channelid = ? and d_id in (" +
                  marks + ")",
              params)
          .ToInt64Or(0);
  if (found != static_cast<int64_t>(distinct.size())) return ClassTreeStatus::kNoClass;
  conn.Execute(
      "update Vantrel_Article set d_deleted = true, d_generatedflag = false where d_classid in "
      "(select b.d_id from Vantrel_ArticleClass b, Vantrel_ArticleClass x where x.d_channelid = ? "
      "and x.d_id in (" +
          marks +
          ") and b.d_channelid = x.d_channelid and b.d_order >= x.d_order "
          "and b.d_order <= x.d_order + x.d_child)",
      params);
  change.Commit();
  return ClassTreeStatus::kDone;
}

void RenumberClasses(Connection& conn, int64_t channel) { kClassTree.Renumber(conn, channel); }

}  // namespace folirex
