#include "site/class_folders.h"

namespace folirex {

std::string GetClassListDir(RequestState &, const Variant &, const Variant &,
                            const Variant &) {
  return "";
}

void DeleteClassFolders(RequestState &) {}

} // namespace folirex
