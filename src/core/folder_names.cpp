#include "core/folder_names.h"

#include <array>
#include <optional>
#include <string>

#include "core/settings_file.h"

namespace folirex {
namespace {

constexpr std::array<std::string_view, 15> kReservedFolders = {
    "admin",    "data", "editor",  "images",  "js",          "kelmira", "list",         "listhot",
    "navimenu", "skin", "subject", "uploads", "uploadfiles", "bin",     "aspnet_client"};

// The page extensions the channel and site settings offer (FileExtName).
constexpr std::array<std::string_view, 5> kPageExtensions = {".html", ".htm", ".shtml", ".shtm",
                                                             ".asp"};
// The endings of the database files the host never serves.
constexpr std::array<std::string_view, 5> kDatabaseSuffixes = {".db", ".db-wal", ".db-shm", ".mdb",
                                                               ".sqlite"};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerText(std::string_view text) {
  std::string lower;
  for (char c : text) lower += Lower(c);
  return lower;
}

bool IsDigitRun(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// "<stem>" with one of the page extensions: the stem, or nullopt.
std::optional<std::string_view> PageStem(std::string_view name) {
  for (std::string_view ext : kPageExtensions) {
    if (name.size() > ext.size() && name.ends_with(ext)) {
      return name.substr(0, name.size() - ext.size());
    }
  }
  return std::nullopt;
}

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
  const std::string lower = LowerText(name);
  for (std::string_view reserved : kReservedFolders) {
    if (lower == reserved) return true;
  }
  return false;
}

bool IsSiteFileName(std::string_view segment) {
  const std::string lower = LowerText(segment);
  const std::string_view name = lower;
  if (name == kSettingsFileName || name == "index.html" || name == "index.htm") return true;
  for (std::string_view suffix : kDatabaseSuffixes) {
    if (name.ends_with(suffix)) return true;
  }
  const std::optional<std::string_view> stem = PageStem(name);
  if (!stem) return false;
  if (*stem == "default") return true;
  // A list page: "list_<id>", or "list_<id>_<n>" for its later pages.
  if (!stem->starts_with("list_")) return false;
  const std::string_view numbers = stem->substr(5);
  const size_t bar = numbers.find('_');
  if (bar == std::string_view::npos) return IsDigitRun(numbers);
  return IsDigitRun(numbers.substr(0, bar)) && IsDigitRun(numbers.substr(bar + 1));
}

bool IsReservedFolderPath(std::string_view path) {
  if (IsReservedSiteFolder(path)) return true;
  size_t start = 0;
  while (true) {
    const size_t slash = path.find('/', start);
    if (IsSiteFileName(path.substr(start, slash - start))) return true;
    if (slash == std::string_view::npos) return false;
    start = slash + 1;
  }
}

}  // namespace folirex
