// Server: the page host's utility object. MapPath turns a site address into a disk path: a path
// beginning with "/" from the web root, any other from the install folder; "\" reads as "/";
// "." and ".." steps are taken within the site; each existing segment is matched without regard
// to letter case. The result never leaves the site root (HostError otherwise).
//
// CreateObject answers from a registry of the stand-in objects this program provides (the
// database, file-system, dictionary, regular-expression, stream, HTTP and mail objects), so the
// pages and the server environment check can ask whether a component name is available; the
// version each reports names the library behind it. No object is ever loaded by name.
//
// One Server per request, used by that request's worker; the site root and install folder are
// fixed for its lifetime.
#ifndef FOLIREX_PLATFORM_HOST_SERVER_H_
#define FOLIREX_PLATFORM_HOST_SERVER_H_

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace folirex {

class SiteFolderNames;  // platform/fs/site_path.h

class HostError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A component name this program stands in for, with the version it reports.
struct ComponentInfo {
  std::string prog_id;
  std::string version;
};

class Server {
 public:
  Server() = default;
  // `folder_names`: the site's folder names kept between requests (site_path.h), which MapPath
  // resolves through and the site's writes note what they create in; null keeps none. Must
  // outlive the Server.
  Server(std::filesystem::path site_root, std::string install_dir,
         SiteFolderNames* folder_names = nullptr);

  // Throws HostError when the path would leave the site root.
  std::filesystem::path MapPath(std::string_view path) const;
  // "&", "<", ">", the double and the single quote as entities, so the result is safe in element
  // text and in attributes of either quote kind.
  std::string HTMLEncode(std::string_view text) const;
  // Code page 936 bytes, percent-encoded; space as "+", as the host encodes query values.
  std::string URLEncode(std::string_view text) const;

  int ScriptTimeout() const { return script_timeout_; }
  void SetScriptTimeout(int seconds) { script_timeout_ = seconds; }

  // The stand-in registered under this ProgID (case-insensitive), if any. Mail components are
  // present only after SetMailConfigured(true), which the entry calls when the site has a mail
  // server set up.
  std::optional<ComponentInfo> CreateObject(std::string_view prog_id) const;
  void SetMailConfigured(bool configured) { mail_configured_ = configured; }

  const std::filesystem::path& site_root() const { return site_root_; }
  SiteFolderNames* folder_names() const { return folder_names_; }
  // The install folder as a site address: "/" or "/sub/".
  const std::string& install_dir() const { return install_dir_; }
  void SetInstallDir(std::string install_dir);

 private:
  std::filesystem::path site_root_;
  std::string install_dir_ = "/";
  SiteFolderNames* folder_names_ = nullptr;
  int script_timeout_ = 90;
  bool mail_configured_ = false;
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_HOST_SERVER_H_
