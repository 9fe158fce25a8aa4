#include "site/channel_loader.h"

namespace folirex {

void InitChannel(RequestState &state) {}

}  // namespace folirex
