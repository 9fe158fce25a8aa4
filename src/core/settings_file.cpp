#include "core/settings_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/net/target_address.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

std::string TrimSpace(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

}  // namespace

bool ReadSettingsFile(const std::filesystem::path& file, SiteSettings* settings,
                      std::string* error) {
  std::ifstream in(file);
  if (!in) {
    *error = "cannot read " + file.string();
    return false;
  }
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    std::string t = TrimSpace(line);
    if (t.empty() || t[0] == '#') continue;
    size_t eq = t.find('=');
    if (eq == std::string::npos) {
      *error = file.string() + ":" + std::to_string(number) + ": expected Key=Value";
      return false;
    }
    std::string key = LCase(TrimSpace(t.substr(0, eq)));
    std::string value = TrimSpace(t.substr(eq + 1));
    if (key == "dbtype") {
      settings->DbType = value;
    } else if (key == "dbpath") {
      settings->DBPath = value;
    } else if (key == "dbuser") {
      settings->DBUser = value;
    } else if (key == "dbpwd") {
      settings->DBPwd = value;
    } else if (key == "dbserver") {
      settings->DBServer = value;
    } else if (key == "listen") {
      settings->listen = value;
    } else if (key == "mailserver") {
      settings->mail_server = value;
    } else if (key == "trustedproxies") {
      settings->trusted_proxies = value;
    } else if (key == "maxconnections") {
      settings->max_connections = value;
    } else if (key == "maxbodymemory") {
      settings->max_body_memory = value;
    } else if (key == "maxclientconnections") {
      settings->max_client_connections = value;
    } else if (key == "maxclientbodymemory") {
      settings->max_client_body_memory = value;
    } else if (key == "maxanswermemory") {
      settings->max_answer_memory = value;
    } else if (key == "maxclientanswermemory") {
      settings->max_client_answer_memory = value;
    } else if (key == "collectallownetworks") {
      std::string bad;
      if (!NetworkList().Parse(value, &bad)) {
        *error = file.string() + ":" + std::to_string(number) + ": CollectAllowNetworks: '" + bad +
                 "' is not an address or network";
        return false;
      }
      settings->collect_allow_networks = value;
    } else {
      *error = file.string() + ":" + std::to_string(number) + ": unknown setting " + key;
      return false;
    }
  }
  return true;
}

bool WriteSettingsFile(const std::filesystem::path& file, const SiteSettings& settings,
                       std::string* error) {
  std::ostringstream out;
  out << "# Folirex site settings. DbType 0: the SQLite file DBPath (relative to the site);\n"
      << "# any other value: the server database DBPath on DBServer through ODBC.\n"
      << "DbType=" << settings.DbType << "\n"
      << "DBPath=" << settings.DBPath << "\n"
      << "DBUser=" << settings.DBUser << "\n"
      << "DBPwd=" << settings.DBPwd << "\n"
      << "DBServer=" << settings.DBServer << "\n"
      << "Listen=" << settings.listen << "\n"
      << "MailServer=" << settings.mail_server << "\n"
      << "# Reverse proxies (addresses, comma-separated) whose X-Forwarded-For names the client.\n"
      << "TrustedProxies=" << settings.trusted_proxies << "\n"
      << "MaxConnections=" << settings.max_connections << "\n"
      << "# The memory request bodies may take in all, in bytes or with MB; past it a request\n"
      << "# is answered 503 before its body is read.\n"
      << "MaxBodyMemory=" << settings.max_body_memory << "\n"
      << "# What one client address may hold at once: open connections, and the memory of its\n"
      << "# request bodies (signed-in console requests are not counted).\n"
      << "MaxClientConnections=" << settings.max_client_connections << "\n"
      << "MaxClientBodyMemory=" << settings.max_client_body_memory << "\n"
      << "# The memory that answers not yet taken by their clients, and visitors' pages while\n"
      << "# they are built, may hold in all, and answers for one client address; past it an\n"
      << "# answer is dropped and its connection closed, a page answered 503.\n"
      << "MaxAnswerMemory=" << settings.max_answer_memory << "\n"
      << "MaxClientAnswerMemory=" << settings.max_client_answer_memory << "\n"
      << "# Private or local networks (addresses, CIDR blocks, comma-separated) that article\n"
      << "# collection may fetch from; empty: public addresses only.\n"
      << "CollectAllowNetworks=" << settings.collect_allow_networks << "\n";
  std::filesystem::path temp = file;
  temp += ".tmp";
  {
    std::ofstream f(temp, std::ios::binary | std::ios::trunc);
    f << out.str();
    f.close();
    if (!f) {
      *error = "cannot write " + temp.string();
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::permissions(
      temp, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, ec);
  std::filesystem::rename(temp, file, ec);
  if (ec) {
    *error = "cannot write " + file.string() + ": " + ec.message();
    std::filesystem::remove(temp, ec);
    return false;
  }
  return true;
}

bool ParseMemorySize(const std::string& text, size_t* bytes) {
  constexpr uint64_t kMegabyte = 1 << 20;
  constexpr uint64_t kMost = kMegabyte << 20;
  std::string t = TrimSpace(text);
  uint64_t unit = 1;
  if (t.size() > 2 && LCase(t.substr(t.size() - 2)) == "mb") {
    unit = kMegabyte;
    t = TrimSpace(t.substr(0, t.size() - 2));
  }
  if (t.empty() || t.size() > 13 || t.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  uint64_t n = std::stoull(t);
  if (n > kMost / unit || n * unit < kMegabyte) return false;
  *bytes = static_cast<size_t>(n * unit);
  return true;
}

bool ParseListenAddress(const std::string& text, std::string* host, int* port) {
  size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  std::string h = text.substr(0, colon);
  std::string p = text.substr(colon + 1);
  if (h.size() >= 2 && h.front() == '[' && h.back() == ']') h = h.substr(1, h.size() - 2);
  if (p.empty() || p.size() > 5) return false;
  for (char c : p) {
    if (c < '0' || c > '9') return false;
  }
  int n = std::stoi(p);
  if (n > 65535) return false;
  *host = h;
  *port = n;
  return true;
}

}  // namespace folirex
