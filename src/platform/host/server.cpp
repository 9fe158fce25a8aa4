#include "platform/host/server.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <curl/curl.h>
#include <pcre2.h>
#include <sqlite3.h>

#include <vector>

#include "platform/fs/site_path.h"
#include "platform/host/host_text.h"
#include "platform/text/codepage.h"
#include "platform/text/html_escape.h"
namespace folirex {

namespace {

std::string CurlVersion() {
  const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
  return std::string("libcurl ") + (info != nullptr && info->version ? info->version : "");
}

std::string Pcre2Version() {
  char buf[64] = {};
  if (pcre2_config(PCRE2_CONFIG_VERSION, buf) < 0) return "PCRE2";
  return std::string("PCRE2 ") + buf;
}

struct Registered {
  const char* prog_id;
  bool mail;
  std::string (*version)();
};

std::string SqliteVersion() { return std::string("SQLite ") + sqlite3_libversion(); }
std::string OwnVersion() { return "Folirex"; }

const Registered kRegistry[] = {
    {"ADODB.Connection", false, &SqliteVersion},
    {"ADODB.Recordset", false, &SqliteVersion},
    {"ADODB.Stream", false, &OwnVersion},
    {"Scripting.FileSystemObject", false, &OwnVersion},
    {"Scripting.Dictionary", false, &OwnVersion},
    {"VBScript.RegExp", false, &Pcre2Version},
    {"Microsoft.XMLHTTP", false, &CurlVersion},
    {"CDONTS.NewMail", true, &CurlVersion},
    {"JMail.Message", true, &CurlVersion},
};

std::string NormalizeInstallDir(std::string dir) {
  for (char& c : dir) {
    if (c == '\\') c = '/';
  }
  if (dir.empty() || dir.front() != '/') dir.insert(dir.begin(), '/');
  if (dir.back() != '/') dir.push_back('/');
  return dir;
}

}  // namespace

Server::Server(std::filesystem::path site_root, std::string install_dir,
               SiteFolderNames* folder_names)
    : site_root_(std::move(site_root)),
      install_dir_(NormalizeInstallDir(std::move(install_dir))),
      folder_names_(folder_names) {}

void Server::SetInstallDir(std::string install_dir) {
  install_dir_ = NormalizeInstallDir(std::move(install_dir));
}

std::filesystem::path Server::MapPath(std::string_view path) const {
  std::string address(path);
  for (char& c : address) {
    if (c == '\\') c = '/';
  }
  if (address.find('\0') != std::string::npos) {
    throw HostError("MapPath: the path holds a NUL character");
  }
  std::string full =
      (!address.empty() && address.front() == '/') ? address : install_dir_ + address;
  // Steps are taken on the address, so ".." never climbs through a link on the disk, and an
  // address that would climb above the web root is refused.
  std::vector<std::string_view> segments;
  std::string_view rest(full);
  while (!rest.empty()) {
    size_t slash = rest.find('/');
    std::string_view segment = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (segment.empty() || segment == ".") continue;
    if (segment == "..") {
      if (segments.empty()) throw HostError("MapPath: the path leaves the site: " + address);
      segments.pop_back();
      continue;
    }
    segments.push_back(segment);
  }
  std::string relative;
  for (std::string_view segment : segments) {
    if (!relative.empty()) relative.push_back('/');
    relative.append(segment);
  }
  std::optional<std::filesystem::path> resolved =
      fs::ResolveInside(site_root_, relative, folder_names_);
  if (!resolved) throw HostError("MapPath: the path leaves the site: " + address);
  return *resolved;
}

std::string Server::HTMLEncode(std::string_view text) const { return HtmlEscapeAttr(text); }

std::string Server::URLEncode(std::string_view text) const {
  // A character outside the code page goes as "&#N;", the form browsers post it in.
  return host::FormUrlEncodeBytes(Utf8ToGbk(text, Unmappable::kCharRef));
}

std::optional<ComponentInfo> Server::CreateObject(std::string_view prog_id) const {
  for (const Registered& entry : kRegistry) {
    if (!host::EqualsNoCase(prog_id, entry.prog_id)) continue;
    if (entry.mail && !mail_configured_) return std::nullopt;
    return ComponentInfo{entry.prog_id, entry.version()};
  }
  return std::nullopt;
}

}  // namespace folirex
