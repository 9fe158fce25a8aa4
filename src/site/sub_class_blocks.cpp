#include "site/sub_class_blocks.h"

namespace folirex {

std::string ShowSubClassListByChannel(RequestState &, const Variant &,
                                      const Variant &) {
  return "";
}

std::string ParseSubClassBlock(RequestState &, const Variant &, const Variant &,
                               const Variant &) {
  return "";
}

std::string ShowSubClassList(RequestState &, const Variant &, const Variant &,
                             const Variant &) {
  return "";
}

} // namespace folirex
