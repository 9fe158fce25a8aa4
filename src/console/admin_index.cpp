#include "console/admin_index.h"

#include "console/admin_frame.h"

namespace folirex {
namespace {

// Each frame carries its name as its id too, so scripts that look a frame up
// either way (by the window's named frames or through the document) find the
// same one.
void Index_ShowFrameset(RequestState& state) {
  state.host.Response->Write(
      "<html>\r\n<head>\r\n<title>后台管理程序</title>\r\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; "
      "charset=gb2312\">\r\n"
      "</head>\r\n"
      "<frameset cols=\"150,*\" framespacing=\"0\" border=\"0\" "
      "frameborder=\"0\">\r\n"
      "<frame name=\"frame_left\" id=\"frame_left\" src=\"?m=admin_menu\" "
      "scrolling=\"yes\">\r\n"
      "<frame name=\"center\" id=\"center\" src=\"?m=admin_main\" "
      "scrolling=\"yes\">\r\n"
      "<noframes>\r\n<body topmargin=\"0\" leftmargin=\"0\">\r\n"
      "此网页使用了框架，但您的浏览器不支持框架\r\n</body>\r\n</noframes>\r\n"
      "</frameset>\r\n</html>\r\n");
}

}  // namespace

void Index_Main(RequestState& state) { Index_ShowFrameset(state); }

}  // namespace folirex
