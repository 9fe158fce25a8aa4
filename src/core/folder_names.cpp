#include "core/folder_names.h"

#include <array>
#include <string>

namespace folirex {
namespace {

constexpr std::array<std::string_view, 15> kReservedFolders = {
    "admin",   "data",     "editor",  "images",  "js",          "kelmira", "list",    "listhot",
    "navimenu", "skin",    "subject", "uploads", "uploadfiles", "bin",     "aspnet_client"};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool IsPlainFolderSegment(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-' || c == '.';
    if (!ok) return false;
  }
  return true;
}

bool IsPlainFolderPath(std::string_view path) {
  if (path.empty()) return false;
  size_t start = 0;
  while (true) {
    const size_t slash = path.find('/', start);
    if (!IsPlainFolderSegment(path.substr(start, slash - start))) return false;
    if (slash == std::string_view::npos) return true;
    start = slash + 1;
  }
}

bool IsReservedSiteFolder(std::string_view name) {
  const size_t slash = name.find('/');
  if (slash != std::string_view::npos) name = name.substr(0, slash);
  std::string lower;
  for (char c : name) lower += Lower(c);
  for (std::string_view reserved : kReservedFolders) {
    if (lower == reserved) return true;
  }
  return false;
}

}  // namespace folirex
