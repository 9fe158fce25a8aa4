#include "core/site_files.h"

namespace folirex {

bool WriteTextFile(RequestState &, std::string_view, std::string_view) {
  return false;
}
std::string ReadTextFile(RequestState &, std::string_view) { return ""; }
std::string HtmlToJsWrite(std::string_view) { return ""; }
bool CreateFolderPath(RequestState &, std::string &) { return false; }
bool CreateFolderPath(RequestState &, std::string_view) { return false; }
bool CopyFolder(RequestState &, std::string_view, std::string_view, bool) {
  return false;
}
bool RenameFolder(RequestState &, std::string_view, std::string_view) {
  return false;
}
bool DeleteFolder(RequestState &, std::string_view) { return false; }
bool DeleteSubFolders(RequestState &, std::string_view, std::string_view) {
  return false;
}
bool DeleteFilesIn(RequestState &, std::string_view, std::string_view) {
  return false;
}
bool DeleteFile(RequestState &, std::string_view) { return false; }

} // namespace folirex
