#include "site/js_snippet_writer.h"

namespace folirex {

bool CreateJsFile(RequestState &, const Variant &, const Variant &,
                  const Variant &) {
  return false;
}

} // namespace folirex
