#include "core/messages.h"

#include "core/database.h"

namespace folirex {

void AlertBack(RequestState& state, std::string_view message) {
  CloseDatabase(state);
  std::string text = "<script language=javascript>alert('";
  text += message;
  text += "\\n\\n系统将自动返回前一页面...');history.back();</script>";
  state.Response->Write(text);
  state.Response->End();
}

void Alert(RequestState& state, std::string_view message) {
  std::string text = "<script language=javascript>alert('";
  text += message;
  text += "')</script>";
  state.Response->Write(text);
}

void GoUrl(RequestState& state, std::string_view url) {
  std::string text = "<script language=javascript>location.href='";
  text += url;
  text += "'</script>";
  state.Response->Write(text);
}

}  // namespace folirex
