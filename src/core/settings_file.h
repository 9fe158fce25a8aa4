// The site's settings file, folirex.conf: the five database settings the host page used to set
// on the component, where to listen, the machine's mail server, the proxies whose
// X-Forwarded-For names the client, the bound on open connections, the memory request bodies
// and waiting answers may take, what one client address may hold, and the networks article
// collection may reach besides public addresses. One "Key=Value" per line; blank lines and lines
// starting with "#" are ignored; keys are matched without regard to case.
#ifndef FOLIREX_CORE_SETTINGS_FILE_H_
#define FOLIREX_CORE_SETTINGS_FILE_H_

#include <cstddef>
#include <filesystem>
#include <string>

namespace folirex {

struct SiteSettings {
  std::string DbType = "0";
  std::string DBPath = "data/site.db";
  std::string DBUser;
  std::string DBPwd;
  std::string DBServer;
  std::string listen = "127.0.0.1:8080";
  // The machine's own mail server, which the CDONTS mail flag sends through.
  std::string mail_server = "127.0.0.1:25";
  // Addresses of reverse proxies in front of the server, separated by commas; only a
  // connection from one of them may name the client with X-Forwarded-For.
  std::string trusted_proxies;
  // Open connections at most (a number from 1 to 1000000).
  std::string max_connections = "10000";
  // The memory that request bodies being received or held by pages may take in all: bytes, or
  // megabytes with "MB" ("256MB").
  std::string max_body_memory = "256MB";
  // What one client address may hold at once: open connections (1 to 1000000), and the memory
  // of its bodies without an account (a size as max_body_memory). A trusted proxy's connections
  // are not counted; its clients' bodies count toward the address it names.
  std::string max_client_connections = "256";
  std::string max_client_body_memory = "4MB";
  // The memory that answers waiting on their clients may hold in all, and for one client address
  // (sizes as max_body_memory); files sent from the disk or shared by every answer cost nothing.
  std::string max_answer_memory = "64MB";
  std::string max_client_answer_memory = "4MB";
  // Networks that article collection may fetch from although they are private or local
  // (addresses and CIDR blocks, separated by commas); empty: public addresses only.
  std::string collect_allow_networks;
};

inline constexpr const char* kSettingsFileName = "folirex.conf";

// Reads the file; false with a one-line reason in *error when it cannot be read or holds a line
// that is not "Key=Value", an unknown key, or a CollectAllowNetworks item that is not an address
// or CIDR block.
bool ReadSettingsFile(const std::filesystem::path& file, SiteSettings* settings,
                      std::string* error);
// Writes the file atomically; false with a reason when it cannot.
bool WriteSettingsFile(const std::filesystem::path& file, const SiteSettings& settings,
                       std::string* error);

// A size in bytes ("1048576") or in megabytes of 1,048,576 bytes ("256MB", "256 mb") from 1 MB to
// 1,048,576 MB; false for any other text.
bool ParseMemorySize(const std::string& text, size_t* bytes);

// A whole number from `low` to `high`, digits only (a count of the settings or the command
// line); false for any other text.
template <typename Number>
bool ParseCount(const std::string& text, long low, long high, Number* out) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  long n = std::stol(text);
  if (n < low || n > high) return false;
  *out = static_cast<Number>(n);
  return true;
}

// Splits "host:port" (or "[v6]:port"); false when the port is not a number in 1..65535 (0 is
// allowed: any free port).
bool ParseListenAddress(const std::string& text, std::string* host, int* port);

}  // namespace folirex

#endif  // FOLIREX_CORE_SETTINGS_FILE_H_
