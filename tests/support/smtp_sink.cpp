#include "support/smtp_sink.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "platform/text/codepage.h"

namespace folirex {

namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string Trim(std::string_view text) {
  size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return "";
  size_t last = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(first, last - first + 1));
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

std::string Base64Decode(std::string_view text) {
  std::string out;
  uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    if (c == '=') break;
    int v = Base64Value(c);
    if (v < 0) continue;  // line breaks and blanks
    bits = (bits << 6) | static_cast<uint32_t>(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out.push_back(static_cast<char>((bits >> count) & 0xFF));
    }
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Quoted-printable; in a header's "Q" words "_" also stands for a blank.
std::string QuotedPrintableDecode(std::string_view text, bool header) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '_' && header) {
      out.push_back(' ');
    } else if (c == '=' && i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n')) {
      // A soft line break.
      i += (text[i + 1] == '\r' && i + 2 < text.size() && text[i + 2] == '\n') ? 2 : 1;
    } else if (c == '=' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
               HexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string CharsetToUtf8(std::string_view charset, std::string_view bytes) {
  std::string name = Lower(charset);
  if (name == "gb2312" || name == "gbk" || name == "gb18030" || name == "cp936") {
    return GbkToUtf8(bytes);
  }
  return std::string(bytes);
}

// The value of a parameter of a header such as Content-Type ("" when absent).
std::string HeaderParameter(std::string_view value, std::string_view parameter) {
  std::string lower = Lower(value);
  std::string key = Lower(parameter) + "=";
  size_t pos = 0;
  while ((pos = lower.find(key, pos)) != std::string::npos) {
    if (pos == 0 || lower[pos - 1] == ';' || lower[pos - 1] == ' ' || lower[pos - 1] == '\t') {
      size_t start = pos + key.size();
      size_t end = value.find(';', start);
      std::string result = Trim(value.substr(
          start, end == std::string_view::npos ? std::string_view::npos : end - start));
      if (result.size() >= 2 && result.front() == '"' && result.back() == '"') {
        result = result.substr(1, result.size() - 2);
      }
      return result;
    }
    pos += key.size();
  }
  return "";
}

// A buffered line reader and writer over one client socket; every wait also watches the stop
// pipe so that the sink can shut down a session that is still open.
class Session {
 public:
  Session(int fd, int stop_fd) : fd_(fd), stop_fd_(stop_fd) {}

  bool ReadLine(std::string* line) {
    while (true) {
      size_t newline = buffer_.find('\n');
      if (newline != std::string::npos) {
        size_t end = newline > 0 && buffer_[newline - 1] == '\r' ? newline - 1 : newline;
        line->assign(buffer_, 0, end);
        buffer_.erase(0, newline + 1);
        return true;
      }
      pollfd fds[2] = {{fd_, POLLIN, 0}, {stop_fd_, POLLIN, 0}};
      if (poll(fds, 2, -1) < 0) return false;
      if (fds[1].revents != 0) return false;
      char chunk[4096];
      ssize_t n = recv(fd_, chunk, sizeof(chunk), 0);
      if (n <= 0) return false;
      buffer_.append(chunk, static_cast<size_t>(n));
    }
  }

  bool Write(std::string_view text) {
    while (!text.empty()) {
      ssize_t n = send(fd_, text.data(), text.size(), MSG_NOSIGNAL);
      if (n <= 0) return false;
      text.remove_prefix(static_cast<size_t>(n));
    }
    return true;
  }

 private:
  int fd_;
  int stop_fd_;
  std::string buffer_;
};

// The address inside the angle brackets after "MAIL FROM:" or "RCPT TO:".
std::string PathArgument(std::string_view argument) {
  size_t open = argument.find('<');
  size_t close = argument.find('>', open == std::string_view::npos ? 0 : open);
  if (open == std::string_view::npos || close == std::string_view::npos) {
    return Trim(argument);
  }
  return std::string(argument.substr(open + 1, close - open - 1));
}

}  // namespace

std::vector<std::pair<std::string, std::string>> SmtpReceivedMail::Headers() const {
  std::vector<std::pair<std::string, std::string>> headers;
  size_t head_end = data.find("\r\n\r\n");
  std::string_view head = std::string_view(data).substr(0, head_end);
  size_t pos = 0;
  while (pos < head.size()) {
    size_t end = head.find("\r\n", pos);
    std::string_view line =
        head.substr(pos, end == std::string_view::npos ? head.size() - pos : end - pos);
    pos = end == std::string_view::npos ? head.size() : end + 2;
    if (!line.empty() && (line[0] == ' ' || line[0] == '\t') && !headers.empty()) {
      headers.back().second += std::string(line);
      continue;
    }
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    headers.emplace_back(std::string(line.substr(0, colon)), std::string(line.substr(colon + 1)));
  }
  for (auto& header : headers) header.second = Trim(header.second);
  return headers;
}

std::string SmtpReceivedMail::Header(std::string_view name) const {
  std::string wanted = Lower(name);
  for (const auto& [key, value] : Headers()) {
    if (Lower(key) == wanted) return value;
  }
  return "";
}

int SmtpReceivedMail::HeaderCount(std::string_view name) const {
  std::string wanted = Lower(name);
  int count = 0;
  for (const auto& header : Headers()) {
    if (Lower(header.first) == wanted) ++count;
  }
  return count;
}

std::string SmtpReceivedMail::DecodedHeader(std::string_view name) const {
  return DecodeMimeHeader(Header(name));
}

std::string SmtpReceivedMail::RawBody() const {
  size_t head_end = data.find("\r\n\r\n");
  if (head_end == std::string::npos) return "";
  return data.substr(head_end + 4);
}

std::string SmtpReceivedMail::DecodedBody() const {
  std::string encoding = Lower(Header("Content-Transfer-Encoding"));
  std::string body = RawBody();
  if (encoding == "base64") {
    body = Base64Decode(body);
  } else if (encoding == "quoted-printable") {
    body = QuotedPrintableDecode(body, false);
  }
  return CharsetToUtf8(HeaderParameter(Header("Content-Type"), "charset"), body);
}

std::string DecodeMimeHeader(std::string_view value) {
  std::string out;
  bool last_was_word = false;
  size_t pos = 0;
  while (pos < value.size()) {
    // An encoded word: "=?" charset "?" B-or-Q "?" text "?=".
    size_t start = value.find("=?", pos);
    size_t charset_end = start == std::string_view::npos ? start : value.find('?', start + 2);
    bool word = charset_end != std::string_view::npos && charset_end + 2 < value.size() &&
                value[charset_end + 2] == '?';
    size_t end = word ? value.find("?=", charset_end + 3) : std::string_view::npos;
    if (start == std::string_view::npos) {
      out += value.substr(pos);
      break;
    }
    if (end == std::string_view::npos) {  // "=?" that starts no word is text
      out += value.substr(pos, start + 2 - pos);
      pos = start + 2;
      last_was_word = false;
      continue;
    }
    std::string_view between = value.substr(pos, start - pos);
    // Blanks between two encoded words are folding, not text.
    if (!(last_was_word && Trim(between).empty())) out += between;
    std::string_view charset = value.substr(start + 2, charset_end - start - 2);
    char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(value[charset_end + 1])));
    std::string_view text = value.substr(charset_end + 3, end - charset_end - 3);
    std::string bytes =
        kind == 'B' ? Base64Decode(text) : QuotedPrintableDecode(text, /*header=*/true);
    out += CharsetToUtf8(charset, bytes);
    last_was_word = true;
    pos = end + 2;
  }
  return out;
}

struct SmtpSink::State {
  int listen_fd = -1;
  int stop_pipe[2] = {-1, -1};
  int port = 0;
  std::thread acceptor;

  mutable std::mutex mutex;
  std::vector<std::thread> workers;
  std::vector<SmtpReceivedMail> messages;
  int connections = 0;
  bool require_auth = false;
  std::string required_user;
  std::string required_password;
  std::vector<std::string> refused_recipients;

  void Accept();
  void Serve(int fd);
  bool CredentialsAccepted(const std::string& user, const std::string& password) {
    std::lock_guard<std::mutex> lock(mutex);
    return !require_auth || (user == required_user && password == required_password);
  }
};

void SmtpSink::State::Accept() {
  while (true) {
    pollfd fds[2] = {{listen_fd, POLLIN, 0}, {stop_pipe[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) return;
    if (fds[1].revents != 0) return;
    int fd = accept(listen_fd, nullptr, nullptr);
    if (fd < 0) continue;
    std::lock_guard<std::mutex> lock(mutex);
    ++connections;
    workers.emplace_back([this, fd] {
      Serve(fd);
      close(fd);
    });
  }
}

void SmtpSink::State::Serve(int fd) {
  Session session(fd, stop_pipe[0]);
  SmtpReceivedMail mail;  // the transaction being built
  std::string helo;
  std::string mechanism, user, password;
  bool authenticated = false;
  bool in_transaction = false;

  auto reset = [&] {
    mail = SmtpReceivedMail{};
    in_transaction = false;
  };
  // Reads one base64 line of an AUTH exchange; false when the client gave up.
  auto read_auth_line = [&](std::string* decoded) {
    std::string line;
    if (!session.ReadLine(&line) || line == "*") return false;
    *decoded = Base64Decode(line);
    return true;
  };
  auto finish_auth = [&](const std::string& kind) {
    if (!CredentialsAccepted(user, password)) {
      return session.Write("535 5.7.8 Authentication credentials invalid\r\n");
    }
    mechanism = kind;
    authenticated = true;
    return session.Write("235 2.7.0 Authentication successful\r\n");
  };

  if (!session.Write("220 folirex-sink ESMTP ready\r\n")) return;
  std::string line;
  while (session.ReadLine(&line)) {
    size_t blank = line.find(' ');
    std::string verb = Upper(line.substr(0, blank));
    std::string argument = blank == std::string::npos ? "" : Trim(line.substr(blank + 1));
    bool ok = true;
    if (verb == "EHLO") {
      helo = argument;
      reset();
      ok = session.Write("250-folirex-sink\r\n250-AUTH PLAIN LOGIN\r\n250 8BITMIME\r\n");
    } else if (verb == "HELO") {
      helo = argument;
      reset();
      ok = session.Write("250 folirex-sink\r\n");
    } else if (verb == "AUTH") {
      size_t space = argument.find(' ');
      std::string kind = Upper(argument.substr(0, space));
      std::string initial = space == std::string::npos ? "" : Trim(argument.substr(space + 1));
      if (authenticated) {
        ok = session.Write("503 5.5.1 Already authenticated\r\n");
      } else if (kind == "PLAIN") {
        std::string decoded;
        if (!initial.empty() && initial != "=") {
          decoded = Base64Decode(initial);
        } else {
          if (!session.Write("334 \r\n")) break;
          if (!read_auth_line(&decoded)) {
            ok = session.Write("501 5.7.0 Authentication cancelled\r\n");
            continue;
          }
        }
        // authorization identity NUL user NUL password
        size_t first = decoded.find('\0');
        size_t second = first == std::string::npos ? first : decoded.find('\0', first + 1);
        if (second == std::string::npos) {
          ok = session.Write("501 5.5.2 Malformed PLAIN response\r\n");
        } else {
          user = decoded.substr(first + 1, second - first - 1);
          password = decoded.substr(second + 1);
          ok = finish_auth("PLAIN");
        }
      } else if (kind == "LOGIN") {
        if (!initial.empty()) {
          user = Base64Decode(initial);
        } else {
          if (!session.Write("334 VXNlcm5hbWU6\r\n")) break;
          if (!read_auth_line(&user)) {
            ok = session.Write("501 5.7.0 Authentication cancelled\r\n");
            continue;
          }
        }
        if (!session.Write("334 UGFzc3dvcmQ6\r\n")) break;
        if (!read_auth_line(&password)) {
          ok = session.Write("501 5.7.0 Authentication cancelled\r\n");
          continue;
        }
        ok = finish_auth("LOGIN");
      } else {
        ok = session.Write("504 5.5.4 Unrecognized authentication type\r\n");
      }
    } else if (verb == "MAIL" && Upper(argument).rfind("FROM:", 0) == 0) {
      bool refused;
      {
        std::lock_guard<std::mutex> lock(mutex);
        refused = require_auth && !authenticated;
      }
      if (refused) {
        ok = session.Write("530 5.7.0 Authentication required\r\n");
      } else {
        reset();
        mail.mail_from = PathArgument(argument.substr(5));
        in_transaction = true;
        ok = session.Write("250 2.1.0 OK\r\n");
      }
    } else if (verb == "RCPT" && Upper(argument).rfind("TO:", 0) == 0) {
      std::string address = PathArgument(argument.substr(3));
      bool refused = false;
      {
        std::lock_guard<std::mutex> lock(mutex);
        for (const std::string& r : refused_recipients) {
          if (Lower(r) == Lower(address)) refused = true;
        }
      }
      if (!in_transaction) {
        ok = session.Write("503 5.5.1 Need MAIL before RCPT\r\n");
      } else if (refused) {
        ok = session.Write("550 5.1.1 Mailbox unavailable\r\n");
      } else {
        mail.rcpt_to.push_back(address);
        ok = session.Write("250 2.1.5 OK\r\n");
      }
    } else if (verb == "DATA") {
      if (!in_transaction || mail.rcpt_to.empty()) {
        ok = session.Write("503 5.5.1 Need RCPT before DATA\r\n");
        continue;
      }
      if (!session.Write("354 End data with <CR><LF>.<CR><LF>\r\n")) break;
      std::string data_line;
      bool complete = false;
      while (session.ReadLine(&data_line)) {
        if (data_line == ".") {
          complete = true;
          break;
        }
        if (!data_line.empty() && data_line[0] == '.') data_line.erase(0, 1);
        mail.data += data_line;
        mail.data += "\r\n";
      }
      if (!complete) break;
      mail.helo = helo;
      if (authenticated) {
        mail.auth_mechanism = mechanism;
        mail.auth_user = user;
        mail.auth_password = password;
      }
      {
        std::lock_guard<std::mutex> lock(mutex);
        messages.push_back(mail);
      }
      reset();
      ok = session.Write("250 2.0.0 OK queued\r\n");
    } else if (verb == "RSET") {
      reset();
      ok = session.Write("250 2.0.0 OK\r\n");
    } else if (verb == "NOOP") {
      ok = session.Write("250 2.0.0 OK\r\n");
    } else if (verb == "QUIT") {
      session.Write("221 2.0.0 Bye\r\n");
      break;
    } else {
      ok = session.Write("502 5.5.2 Command not implemented\r\n");
    }
    if (!ok) break;
  }
}

SmtpSink::SmtpSink() : state_(std::make_unique<State>()) {
  State& s = *state_;
  if (pipe(s.stop_pipe) != 0) throw std::runtime_error("smtp sink: pipe failed");
  s.listen_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s.listen_fd < 0) throw std::runtime_error("smtp sink: socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof(address);
  if (bind(s.listen_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(s.listen_fd, 16) != 0 ||
      getsockname(s.listen_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(s.listen_fd);
    close(s.stop_pipe[0]);
    close(s.stop_pipe[1]);
    throw std::runtime_error("smtp sink: cannot listen on 127.0.0.1");
  }
  s.port = ntohs(address.sin_port);
  s.acceptor = std::thread([state = state_.get()] { state->Accept(); });
}

SmtpSink::~SmtpSink() {
  State& s = *state_;
  char byte = 1;
  (void)!write(s.stop_pipe[1], &byte, 1);
  s.acceptor.join();
  // The acceptor has ended, so no worker is added any more.
  for (std::thread& worker : s.workers) worker.join();
  close(s.listen_fd);
  close(s.stop_pipe[0]);
  close(s.stop_pipe[1]);
}

int SmtpSink::port() const { return state_->port; }

std::vector<SmtpReceivedMail> SmtpSink::Messages() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->messages;
}

int SmtpSink::ConnectionCount() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->connections;
}

void SmtpSink::RequireAuth(std::string user, std::string password) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->require_auth = true;
  state_->required_user = std::move(user);
  state_->required_password = std::move(password);
}

void SmtpSink::RefuseRecipient(std::string address) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->refused_recipients.push_back(std::move(address));
}

}  // namespace folirex
