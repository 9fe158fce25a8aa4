#include "site/comments.h"

namespace folirex {

std::string ShowComment(RequestState &, const Variant &, const Variant &,
                        const Variant &) {
  return "";
}
std::string ShowCommentListJs(RequestState &, const Variant &, const Variant &,
                              const Variant &) {
  return "";
}
std::string ShowCommentList(RequestState &, const Variant &, const Variant &,
                            const Variant &) {
  return "";
}
std::string RenderCommentRows(RequestState &, std::string_view) { return ""; }
std::string RenderCommentPage(RequestState &, Cls_Pagination &) { return ""; }

} // namespace folirex
