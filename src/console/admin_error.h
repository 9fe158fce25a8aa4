// The console's error page (admin.asp?m=admin_error&errnum=N): why a console
// request was not served: 0 the database could not be opened, 1 no right for
// the page, 2 a bad parameter, any other number an unknown error. A complete
// page of its own, with every address absolute so it looks the same in either
// frame or in the whole window.
//
// It uses no database: the entry dispatches it even when the database cannot be
// opened, so it must work with RequestState::Conn empty. Runs on the request's
// worker.
#ifndef FOLIREX_CONSOLE_ADMIN_ERROR_H_
#define FOLIREX_CONSOLE_ADMIN_ERROR_H_

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

// A present but non-numeric errnum answers AlertBack "提示：参数错误！" (the
// request ends).
void Error_Main(RequestState& state, const ConsolePage& page);

}  // namespace folirex

#endif  // FOLIREX_CONSOLE_ADMIN_ERROR_H_
