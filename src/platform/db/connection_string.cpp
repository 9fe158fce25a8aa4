#include "platform/db/connection_string.h"

#include <map>

#include "platform/text/vb_text.h"

namespace folirex::db {

namespace {

std::string Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string_view::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return std::string(s.substr(b, e - b + 1));
}

// key=value pairs separated by ";"; a value starting with "{" runs to the matching "}" ("}}"
// stands for one "}"). The first occurrence of a key wins.
std::map<std::string, std::string> SplitPairs(std::string_view text) {
  std::map<std::string, std::string> pairs;
  size_t i = 0;
  while (i < text.size()) {
    size_t eq = text.find('=', i);
    size_t semi = text.find(';', i);
    if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
      // A part without "=": only blanks are allowed there.
      size_t end = semi == std::string_view::npos ? text.size() : semi;
      if (!Trim(text.substr(i, end - i)).empty()) {
        throw DbError("connection string: a part has no \"=\"");
      }
      i = end + 1;
      continue;
    }
    std::string key = LCase(Trim(text.substr(i, eq - i)));
    size_t v = eq + 1;
    while (v < text.size() && (text[v] == ' ' || text[v] == '\t')) ++v;
    std::string value;
    size_t next;
    if (v < text.size() && text[v] == '{') {
      size_t j = v + 1;
      for (;;) {
        if (j >= text.size()) throw DbError("connection string: unclosed \"{\"");
        if (text[j] == '}') {
          if (j + 1 < text.size() && text[j + 1] == '}') {
            value.push_back('}');
            j += 2;
            continue;
          }
          break;
        }
        value.push_back(text[j++]);
      }
      next = text.find(';', j);
      if (!Trim(text.substr(j + 1, (next == std::string_view::npos ? text.size() : next) - j - 1))
               .empty()) {
        throw DbError("connection string: text after \"}\"");
      }
    } else {
      next = text.find(';', v);
      value = Trim(text.substr(v, (next == std::string_view::npos ? text.size() : next) - v));
    }
    if (key.empty()) throw DbError("connection string: a value has no key");
    pairs.emplace(key, value);
    if (next == std::string_view::npos) break;
    i = next + 1;
  }
  return pairs;
}

std::string Get(const std::map<std::string, std::string>& pairs, const std::string& key) {
  auto it = pairs.find(key);
  return it == pairs.end() ? std::string() : it->second;
}

// Values holding ";", "{", "}" or blanks at either end are braced for ODBC.
std::string OdbcValue(const std::string& v) {
  bool brace = v.find_first_of(";{}=") != std::string::npos ||
               (!v.empty() && (v.front() == ' ' || v.back() == ' '));
  if (!brace) return v;
  std::string out = "{";
  for (char c : v) {
    out.push_back(c);
    if (c == '}') out.push_back('}');
  }
  out.push_back('}');
  return out;
}

}  // namespace

ConnectionTarget ParseConnectionString(std::string_view text) {
  std::map<std::string, std::string> pairs = SplitPairs(text);
  ConnectionTarget t;
  if (pairs.count("driver")) {
    t.kind = ConnectionTarget::Kind::kServer;
    t.driver = Get(pairs, "driver");
    if (t.driver.empty()) throw DbError("connection string: the driver is empty");
    std::string server = Get(pairs, "server");
    // "host,port" (the usual form) or "host:port"; a name with several ":" is an IPv6 address,
    // which takes a port as "[address]:port".
    size_t sep = server.rfind(',');
    if (sep == std::string::npos && server.find(':') == server.rfind(':')) sep = server.find(':');
    if (sep == std::string::npos && !server.empty() && server[0] == '[') {
      size_t close = server.find(']');
      if (close != std::string::npos && close + 1 < server.size() && server[close + 1] == ':') {
        sep = close + 1;
      }
    }
    if (sep != std::string::npos) {
      t.port = Trim(std::string_view(server).substr(sep + 1));
      server = Trim(std::string_view(server).substr(0, sep));
    }
    if (server.size() >= 2 && server.front() == '[' && server.back() == ']') {
      server = server.substr(1, server.size() - 2);
    }
    t.server = server;
    t.database = Get(pairs, "database");
    t.uid = Get(pairs, "uid");
    t.pwd = Get(pairs, "pwd");
    return t;
  }
  if (pairs.count("data source")) {
    t.kind = ConnectionTarget::Kind::kFile;
    t.path = Get(pairs, "data source");
    if (t.path.empty()) throw DbError("connection string: the data source is empty");
    t.user = Get(pairs, "user id");
    t.password = Get(pairs, "password");
    return t;
  }
  throw DbError("connection string: neither a driver nor a data source");
}

std::string ConnectionTarget::OdbcConnectionString() const {
  std::string s = "DRIVER={";
  for (char c : driver) {
    s.push_back(c);
    if (c == '}') s.push_back('}');
  }
  s += "};SERVER=" + OdbcValue(server) + ";";
  if (!port.empty()) s += "PORT=" + OdbcValue(port) + ";";
  s +=
      "DATABASE=" + OdbcValue(database) + ";UID=" + OdbcValue(uid) + ";PWD=" + OdbcValue(pwd) + ";";
  return s;
}

}  // namespace folirex::db
