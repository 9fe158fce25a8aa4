#include "core/article_marks.h"

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

void MarkClassesAndSubjectsOf(Connection& conn, int64_t channel_id, const std::string& condition) {
  std::string channel = std::to_string(channel_id);
  std::string articles =
      "select d_classid from Vantrel_Article where d_channelid = " + channel + " and " + condition;
  conn.Execute("update Vantrel_ArticleClass set d_generatedflag = false where d_channelid = " +
               channel + " and d_id in (" + articles + ")");
  std::string subjects = "select d_subjectid from Vantrel_Article where d_channelid = " + channel +
                         " and " + condition;
  conn.Execute("update Vantrel_ArticleSubject set d_generatedflag = false where d_channelid = " +
               channel + " and d_id in (" + subjects + ")");
}

void ChangeChannelCounters(Connection& conn, int64_t channel_id, int64_t items, int64_t checked) {
  if (items == 0 && checked == 0) return;
  conn.Execute(
      "update Vantrel_Channel set d_itemcount = d_itemcount + ?, d_itemcountchecked = "
      "d_itemcountchecked + ? where d_id = ?",
      {Number(items), Number(checked), Number(channel_id)});
}

}  // namespace folirex
