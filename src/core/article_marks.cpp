#include "core/article_marks.h"

#include <string>
#include <utility>
#include <vector>

namespace folirex {
namespace {

Variant Number(int64_t n) { return Variant(static_cast<long long>(n)); }

}  // namespace

void MarkClassAndSubject(Connection& conn, int64_t class_id, int64_t subject_id) {
  if (class_id != 0) {
    conn.Execute("update Vantrel_ArticleClass set d_generatedflag = false where d_id = ?",
                 {Number(class_id)});
  }
  if (subject_id != 0) {
    conn.Execute("update Vantrel_ArticleSubject set d_generatedflag = false where d_id = ?",
                 {Number(subject_id)});
  }
}

void MarkClassesAndSubjectsOf(Connection& conn, int64_t channel_id, const std::string& condition,
                              const std::vector<Variant>& params) {
  std::vector<Variant> bound = {Number(channel_id), Number(channel_id)};
  bound.insert(bound.end(), params.begin(), params.end());
  for (const auto& [table, column] : {std::pair{"Vantrel_ArticleClass", "d_classid"},
                                      std::pair{"Vantrel_ArticleSubject", "d_subjectid"}}) {
    conn.Execute(std::string("update ") + table +
                     " set d_generatedflag = false where d_channelid = ? and d_id in (select " +
                     column + " from Vantrel_Article where d_channelid = ? and " + condition + ")",
                 bound);
  }
}

void ChangeChannelCounters(Connection& conn, int64_t channel_id, int64_t items, int64_t checked) {
  if (items == 0 && checked == 0) return;
  conn.Execute(
      "update Vantrel_Channel set d_itemcount = d_itemcount + ?, d_itemcountchecked = "
      "d_itemcountchecked + ? where d_id = ?",
      {Number(items), Number(checked), Number(channel_id)});
}

}  // namespace folirex
