// The clock lives with the host's services in platform/; this name stays for the pages.
#ifndef FOLIREX_CORE_CLOCK_H_
#define FOLIREX_CORE_CLOCK_H_

#include "platform/clock.h"

#endif  // FOLIREX_CORE_CLOCK_H_
