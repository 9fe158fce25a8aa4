#include "platform/db/sql_dialect.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

namespace folirex {

namespace {

enum class Tk { kSpace, kString, kQuoted, kIdent, kNumber, kParam, kOp, kGroup, kRaw };

// What an operand of "+" is known to hold.
enum class Kind { kUnknown, kText, kNumber, kColumn };

// A token, or a parenthesised group of nodes (kGroup), or text produced by the translation
// (kRaw). The tree keeps every blank, so that untouched parts come out exactly as written.
struct Node {
  Tk tk = Tk::kSpace;
  std::string text;
  std::vector<Node> kids;      // kGroup: the nodes between the parentheses
  Kind kind = Kind::kUnknown;  // kGroup and kRaw: what the expression holds
};

using Seq = std::vector<Node>;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string ToLower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Lower(c);
  return out;
}

bool IsIdentStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}
bool IsIdentChar(unsigned char c) { return IsIdentStart(c) || (c >= '0' && c <= '9') || c == '$'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Splits the text into tokens, calling push(kind, start, end) for each in order; throws DbError
// on an unterminated string, quoted name or comment.
template <typename Push>
void ScanTokens(std::string_view s, Push&& push) {
  size_t i = 0;
  while (i < s.size()) {
    const size_t start = i;
    const char c = s[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
      while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n' ||
                              s[i] == '\f' || s[i] == '\v')) {
        ++i;
      }
      push(Tk::kSpace, start, i);
    } else if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
      while (i < s.size() && s[i] != '\n') ++i;
      push(Tk::kSpace, start, i);
    } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
      size_t end = s.find("*/", i + 2);
      if (end == std::string_view::npos) throw DbError("SQL: unterminated comment");
      i = end + 2;
      push(Tk::kSpace, start, i);
    } else if (c == '\'') {
      ++i;
      for (;;) {
        if (i >= s.size()) throw DbError("SQL: unterminated string literal");
        if (s[i] == '\'') {
          if (i + 1 < s.size() && s[i + 1] == '\'') {
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        ++i;
      }
      push(Tk::kString, start, i);
    } else if (c == '"' || c == '[' || c == '`') {
      const char close = c == '[' ? ']' : c;
      size_t end = s.find(close, i + 1);
      if (end == std::string_view::npos) throw DbError("SQL: unterminated quoted name");
      i = end + 1;
      push(Tk::kQuoted, start, i);
    } else if (IsIdentStart(static_cast<unsigned char>(c))) {
      while (i < s.size() && IsIdentChar(static_cast<unsigned char>(s[i]))) ++i;
      push(Tk::kIdent, start, i);
    } else if (IsDigit(c) || (c == '.' && i + 1 < s.size() && IsDigit(s[i + 1]))) {
      while (i < s.size() && (IsDigit(s[i]) || s[i] == '.')) ++i;
      if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (j < s.size() && IsDigit(s[j])) {
          i = j;
          while (i < s.size() && IsDigit(s[i])) ++i;
        }
      }
      push(Tk::kNumber, start, i);
    } else if (c == '?') {
      ++i;
      push(Tk::kParam, start, i);
    } else {
      static const std::array<std::string_view, 7> kTwo = {
          "<=", ">=", "<>", "!=", "||", "::", "=="};
      size_t len = 1;
      for (std::string_view two : kTwo) {
        if (s.substr(i, 2) == two) len = 2;
      }
      i += len;
      push(Tk::kOp, start, i);
    }
  }
}

std::vector<Node> Tokenize(std::string_view s) {
  std::vector<Node> out;
  ScanTokens(s, [&](Tk tk, size_t start, size_t end) {
    Node n;
    n.tk = tk;
    n.text = std::string(s.substr(start, end - start));
    out.push_back(std::move(n));
  });
  return out;
}

// Nests the tokens at their parentheses.
Seq BuildTree(std::vector<Node>& tokens, size_t* pos, bool nested) {
  Seq seq;
  while (*pos < tokens.size()) {
    Node& t = tokens[*pos];
    if (t.tk == Tk::kOp && t.text == "(") {
      ++*pos;
      Node group;
      group.tk = Tk::kGroup;
      group.kids = BuildTree(tokens, pos, true);
      seq.push_back(std::move(group));
      continue;
    }
    if (t.tk == Tk::kOp && t.text == ")") {
      if (!nested) throw DbError("SQL: unbalanced parentheses");
      ++*pos;
      return seq;
    }
    seq.push_back(std::move(t));
    ++*pos;
  }
  if (nested) throw DbError("SQL: unbalanced parentheses");
  return seq;
}

void Render(const Seq& seq, std::string* out) {
  for (const Node& n : seq) {
    if (n.tk == Tk::kGroup) {
      out->push_back('(');
      Render(n.kids, out);
      out->push_back(')');
    } else {
      out->append(n.text);
    }
  }
}

std::string Render(const Seq& seq, size_t begin, size_t end) {
  std::string out;
  Seq part(seq.begin() + static_cast<std::ptrdiff_t>(begin),
           seq.begin() + static_cast<std::ptrdiff_t>(end));
  Render(part, &out);
  return out;
}

std::string TrimText(std::string s) {
  size_t b = s.find_first_not_of(" \t\r\n\f\v");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n\f\v");
  return s.substr(b, e - b + 1);
}

bool IsWord(const Node& n, std::string_view word) {
  if (n.tk != Tk::kIdent || n.text.size() != word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (Lower(n.text[i]) != word[i]) return false;
  }
  return true;
}

bool IsOp(const Node& n, std::string_view op) { return n.tk == Tk::kOp && n.text == op; }

// Index of the next / previous node that is not a blank, or npos.
constexpr size_t kNone = static_cast<size_t>(-1);
size_t NextMeaningful(const Seq& seq, size_t i) {
  for (size_t j = i + 1; j < seq.size(); ++j) {
    if (seq[j].tk != Tk::kSpace) return j;
  }
  return kNone;
}
size_t PrevMeaningful(const Seq& seq, size_t i) {
  for (size_t j = i; j-- > 0;) {
    if (seq[j].tk != Tk::kSpace) return j;
  }
  return kNone;
}
size_t FirstMeaningful(const Seq& seq) {
  for (size_t j = 0; j < seq.size(); ++j) {
    if (seq[j].tk != Tk::kSpace) return j;
  }
  return kNone;
}

bool InList(std::string_view word, std::initializer_list<std::string_view> list) {
  std::string w = ToLower(word);
  return std::find(list.begin(), list.end(), w) != list.end();
}

// Words that end an operand of "+": clause keywords and the operators below "+".
bool IsBoundaryWord(const Node& n) {
  return n.tk == Tk::kIdent &&
         InList(n.text,
                {"select", "distinct", "all",    "from",    "where",  "and",   "or",     "not",
                 "on",     "set",      "values", "order",   "by",     "group", "having", "like",
                 "ilike",  "in",       "is",     "between", "when",   "then",  "else",   "case",
                 "end",    "as",       "join",   "inner",   "left",   "right", "outer",  "full",
                 "cross",  "asc",      "desc",   "limit",   "offset", "union", "into",   "insert",
                 "update", "delete",   "exists", "top",     "escape"});
}

bool IsBoundaryOp(const Node& n) {
  return n.tk == Tk::kOp && InList(n.text, {",", "=", "==", "<", ">", "<=", ">=", "<>", "!=", ";"});
}

bool IsTextFunction(std::string_view name) {
  return InList(name, {"cstr", "mid", "lcase", "ucase", "lower", "upper", "substr", "trim", "ltrim",
                       "rtrim", "left", "right", "replace", "chr", "space", "vb_cstr"});
}

bool IsNumberFunction(std::string_view name) {
  return InList(name, {"count", "sum", "avg", "len", "length", "datediff", "vb_datediff", "instr",
                       "abs", "round", "int", "clng", "cint", "cdbl"});
}

class Translator {
 public:
  Translator(SqlEngine engine, const SqlSchemaHints& hints) : engine_(engine), hints_(hints) {}

  // Translates the top-level statement. Its own "top N" is kept in top_limit_ rather than
  // written, and the start of its ORDER BY in order_by_, for the window and count forms.
  void TranslateStatement(Seq& seq) {
    TranslateSeq(seq, /*top_level=*/true);
    for (size_t i = 0; i < seq.size(); ++i) {
      if (IsWord(seq[i], "order")) {
        size_t j = NextMeaningful(seq, i);
        if (j != kNone && IsWord(seq[j], "by")) {
          order_by_ = i;
          break;
        }
      }
    }
  }

  int64_t top_limit() const { return top_limit_; }
  size_t order_by() const { return order_by_; }

 private:
  // Translates one sequence, its groups first; answers what it holds as one expression.
  Kind TranslateSeq(Seq& seq, bool top_level) {
    for (Node& n : seq) {
      if (n.tk == Tk::kGroup) n.kind = TranslateSeq(n.kids, false);
    }
    RewriteLiterals(seq);
    RewriteFunctions(seq);
    RewriteTop(seq, top_level);
    Kind kind = RewritePlus(seq);
    if (engine_ == SqlEngine::kPostgres) {
      AliasDerivedTables(seq);
      WriteLikes(seq);
    }
    return kind;
  }

  // Like is ILIKE on PostgreSQL, which folds letter case as SQLite's like does. Its pattern takes
  // a backslash as an escape there, and as text in SQLite, which the pages' patterns were written
  // for: ESCAPE '' follows the pattern (up to the next boundary of its level: a clause word,
  // "and", "or", a comparison, a comma), unless the statement gives an escape of its own or the
  // pattern is not a plain operand.
  static void WriteLikes(Seq& seq) {
    for (size_t i = 0; i < seq.size(); ++i) {
      if (!IsWord(seq[i], "like")) continue;
      seq[i].text = "ILIKE";
      size_t end = kNone;  // the pattern's last meaningful node
      size_t j = i + 1;
      for (; j < seq.size(); ++j) {
        if (seq[j].tk == Tk::kSpace) continue;
        if (IsBoundary(seq, j)) break;
        end = j;
      }
      if (end == kNone || (j < seq.size() && IsWord(seq[j], "escape"))) continue;
      Node escape;
      escape.tk = Tk::kRaw;
      escape.text = " ESCAPE ''";
      seq.insert(seq.begin() + static_cast<std::ptrdiff_t>(end) + 1, std::move(escape));
    }
  }

  // Whether seq[i] ends an operand of "+" (and of like): a boundary operator or word, left(...)
  // and right(...) being functions, not joins.
  static bool IsBoundary(const Seq& seq, size_t i) {
    if (IsBoundaryOp(seq[i])) return true;
    if (!IsBoundaryWord(seq[i])) return false;
    const size_t next = NextMeaningful(seq, i);
    return !((IsWord(seq[i], "left") || IsWord(seq[i], "right")) && next != kNone &&
             seq[next].tk == Tk::kGroup);
  }

  // true/false become the stored flag values; now becomes the engine's local time.
  void RewriteLiterals(Seq& seq) {
    for (size_t i = 0; i < seq.size(); ++i) {
      Node& n = seq[i];
      if (n.tk != Tk::kIdent) continue;
      size_t prev = PrevMeaningful(seq, i);
      if (prev != kNone && IsOp(seq[prev], ".")) continue;
      size_t next = NextMeaningful(seq, i);
      const bool call = next != kNone && seq[next].tk == Tk::kGroup;
      if (!call && (IsWord(n, "true") || IsWord(n, "false"))) {
        n.text = IsWord(n, "true") ? "-1" : "0";
        n.tk = Tk::kNumber;
      } else if (IsWord(n, "now") && (!call || FirstMeaningful(seq[next].kids) == kNone)) {
        if (call)
          seq.erase(seq.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                    seq.begin() + static_cast<std::ptrdiff_t>(next) + 1);
        n.tk = Tk::kRaw;
        n.kind = Kind::kUnknown;
        n.text =
            engine_ == SqlEngine::kPostgres ? "localtimestamp(0)" : "datetime('now','localtime')";
      }
    }
  }

  // The arguments of a call, each rendered and trimmed.
  static std::vector<std::string> Arguments(const Seq& args) {
    std::vector<std::string> out;
    size_t begin = 0;
    for (size_t i = 0; i <= args.size(); ++i) {
      if (i == args.size() || IsOp(args[i], ",")) {
        out.push_back(TrimText(Render(args, begin, i)));
        begin = i + 1;
      }
    }
    if (out.size() == 1 && out[0].empty()) out.clear();
    return out;
  }

  void RewriteFunctions(Seq& seq) {
    for (size_t i = 0; i < seq.size(); ++i) {
      Node& n = seq[i];
      if (n.tk != Tk::kIdent) continue;
      size_t next = NextMeaningful(seq, i);
      if (next == kNone || seq[next].tk != Tk::kGroup) continue;
      size_t prev = PrevMeaningful(seq, i);
      if (prev != kNone && IsOp(seq[prev], ".")) continue;
      std::string name = ToLower(n.text);
      if (name == "lcase") {
        n.text = "lower";
      } else if (name == "ucase") {
        n.text = "upper";
      } else if (name == "mid") {
        n.text = "substr";
      } else if (name == "len") {
        n.text = "length";
      } else if (name == "cstr") {
        if (engine_ == SqlEngine::kPostgres) {
          std::vector<std::string> args = Arguments(seq[next].kids);
          if (args.size() != 1) throw DbError("SQL: cstr takes one argument");
          ReplaceCall(seq, i, next, "CAST(" + args[0] + " AS text)", Kind::kText);
        } else {
          n.text = "vb_cstr";
        }
      } else if (name == "datediff") {
        std::vector<std::string> args = Arguments(seq[next].kids);
        if (args.size() != 3) throw DbError("SQL: datediff takes three arguments");
        if (engine_ == SqlEngine::kPostgres) {
          ReplaceCall(seq, i, next, PostgresDateDiff(args), Kind::kNumber);
        } else {
          n.text = "vb_datediff";
        }
      }
    }
  }

  static void ReplaceCall(Seq& seq, size_t name, size_t group, std::string text, Kind kind) {
    Node raw;
    raw.tk = Tk::kRaw;
    raw.text = std::move(text);
    raw.kind = kind;
    seq[name] = std::move(raw);
    seq.erase(seq.begin() + static_cast<std::ptrdiff_t>(name) + 1,
              seq.begin() + static_cast<std::ptrdiff_t>(group) + 1);
  }

  static std::string PostgresDateDiff(const std::vector<std::string>& args) {
    const std::string& interval = args[0];
    if (interval.size() < 2 || interval.front() != '\'' || interval.back() != '\'') {
      throw DbError("SQL: datediff needs a literal interval on this database");
    }
    std::string i = ToLower(interval.substr(1, interval.size() - 2));
    const std::string a = args[1], b = args[2];
    auto date = [](const std::string& x) { return "CAST(" + x + " AS date)"; };
    auto ts = [](const std::string& x) { return "CAST(" + x + " AS timestamp)"; };
    auto part = [&](const char* field, const std::string& x) {
      return std::string("CAST(EXTRACT(") + field + " FROM " + ts(x) + ") AS integer)";
    };
    auto epoch_units = [&](const std::string& x, int seconds) {
      return "floor(EXTRACT(EPOCH FROM " + ts(x) + ") / " + std::to_string(seconds) + ")";
    };
    if (i == "d" || i == "y") return "(" + date(b) + " - " + date(a) + ")";
    if (i == "yyyy") return "(" + part("YEAR", b) + " - " + part("YEAR", a) + ")";
    if (i == "q") {
      return "((" + part("YEAR", b) + " * 4 + " + part("QUARTER", b) + ") - (" + part("YEAR", a) +
             " * 4 + " + part("QUARTER", a) + "))";
    }
    if (i == "m") {
      return "((" + part("YEAR", b) + " * 12 + " + part("MONTH", b) + ") - (" + part("YEAR", a) +
             " * 12 + " + part("MONTH", a) + "))";
    }
    if (i == "w") return "CAST(trunc((" + date(b) + " - " + date(a) + ") / 7.0) AS integer)";
    if (i == "ww") {
      // Weeks begin on Sunday; 1899-12-31 was one.
      return "CAST(floor((" + date(b) + " - DATE '1899-12-31') / 7.0) - floor((" + date(a) +
             " - DATE '1899-12-31') / 7.0) AS integer)";
    }
    if (i == "h" || i == "n" || i == "s") {
      int unit = i == "h" ? 3600 : (i == "n" ? 60 : 1);
      return "CAST(" + epoch_units(b, unit) + " - " + epoch_units(a, unit) + " AS bigint)";
    }
    throw DbError("SQL: unknown datediff interval " + interval);
  }

  // "select [distinct] top N ..." loses "top N"; the limit goes to the end of that select.
  void RewriteTop(Seq& seq, bool top_level) {
    size_t sel = FirstMeaningful(seq);
    if (sel == kNone || !IsWord(seq[sel], "select")) {
      // An "insert into ... select top N" keeps its select at this level too.
      sel = kNone;
      for (size_t i = 0; i < seq.size(); ++i) {
        if (IsWord(seq[i], "select")) {
          sel = i;
          break;
        }
      }
      if (sel == kNone) return;
    }
    size_t j = NextMeaningful(seq, sel);
    if (j != kNone && (IsWord(seq[j], "distinct") || IsWord(seq[j], "all"))) {
      j = NextMeaningful(seq, j);
    }
    if (j == kNone || !IsWord(seq[j], "top")) return;
    size_t num = NextMeaningful(seq, j);
    if (num == kNone || seq[num].tk != Tk::kNumber) return;
    char* end = nullptr;
    const long long n = std::strtoll(seq[num].text.c_str(), &end, 10);
    if (*end != '\0' || n < 0) throw DbError("SQL: top needs a whole number");
    // Drop "top", the number and the blank after it.
    size_t stop = num + 1;
    if (stop < seq.size() && seq[stop].tk == Tk::kSpace) ++stop;
    seq.erase(seq.begin() + static_cast<std::ptrdiff_t>(j),
              seq.begin() + static_cast<std::ptrdiff_t>(stop));
    if (top_level) {
      top_limit_ = n;
      return;
    }
    while (!seq.empty() && seq.back().tk == Tk::kSpace) seq.pop_back();
    Node limit;
    limit.tk = Tk::kRaw;
    limit.text = " LIMIT " + std::to_string(n);
    seq.push_back(std::move(limit));
  }

  Kind TermKind(const Seq& seq, const std::vector<size_t>& term, std::string* column) const {
    if (term.size() == 1) {
      const Node& n = seq[term[0]];
      switch (n.tk) {
        case Tk::kString:
          return Kind::kText;
        case Tk::kNumber:
          return Kind::kNumber;
        case Tk::kGroup:
        case Tk::kRaw:
          return n.kind;
        case Tk::kQuoted:
          *column = n.text.substr(1, n.text.size() - 2);
          return Kind::kColumn;
        case Tk::kIdent:
          if (IsWord(n, "null")) return Kind::kUnknown;
          *column = n.text;
          return Kind::kColumn;
        default:
          return Kind::kUnknown;
      }
    }
    if (term.size() == 2 && seq[term[0]].tk == Tk::kIdent && seq[term[1]].tk == Tk::kGroup) {
      if (IsTextFunction(seq[term[0]].text)) return Kind::kText;
      if (IsNumberFunction(seq[term[0]].text)) return Kind::kNumber;
      return Kind::kUnknown;
    }
    if (term.size() == 3 && IsOp(seq[term[1]], ".") &&
        (seq[term[2]].tk == Tk::kIdent || seq[term[2]].tk == Tk::kQuoted)) {
      const std::string& t = seq[term[2]].text;
      *column = seq[term[2]].tk == Tk::kQuoted ? t.substr(1, t.size() - 2) : t;
      return Kind::kColumn;
    }
    for (size_t k : term) {
      if (seq[k].tk == Tk::kOp && InList(seq[k].text, {"-", "*", "/", "%"})) return Kind::kNumber;
    }
    return Kind::kUnknown;
  }

  bool ColumnIsText(const std::string& column) const {
    return hints_.is_text_column && hints_.is_text_column(column);
  }

  // Turns every "+" chain that joins text into "||". Returns what the whole sequence holds when
  // it is one expression (used by the enclosing "+" chain), else kUnknown.
  Kind RewritePlus(Seq& seq) {
    Kind whole = Kind::kUnknown;
    bool had_boundary = false;
    size_t begin = 0;
    for (size_t i = 0; i <= seq.size(); ++i) {
      const bool boundary = i == seq.size() || IsBoundary(seq, i);
      if (!boundary) continue;
      if (i > begin) {
        size_t removed = 0;
        whole = RewriteSegment(seq, begin, i, &removed);
        i -= removed;
      }
      begin = i + 1;
      if (i < seq.size()) had_boundary = true;
    }
    return had_boundary ? Kind::kUnknown : whole;
  }

  // One expression between boundaries; *removed counts the nodes that wrapping folded away.
  Kind RewriteSegment(Seq& seq, size_t begin, size_t end, size_t* removed) {
    std::vector<std::vector<size_t>> terms(1);
    std::vector<size_t> pluses;
    for (size_t i = begin; i < end; ++i) {
      const Node& n = seq[i];
      if (n.tk == Tk::kSpace) continue;
      if (IsOp(n, "+") && !terms.back().empty()) {
        const Node& last = seq[terms.back().back()];
        const bool after_operand = last.tk != Tk::kOp || IsOp(last, ")");
        if (after_operand) {
          pluses.push_back(i);
          terms.emplace_back();
          continue;
        }
      }
      terms.back().push_back(i);
    }
    if (terms.back().empty()) return Kind::kUnknown;
    bool any_text = false, any_number = false, any_text_column = false;
    for (const auto& term : terms) {
      std::string column;
      Kind k = TermKind(seq, term, &column);
      if (k == Kind::kText) any_text = true;
      if (k == Kind::kNumber) any_number = true;
      if (k == Kind::kColumn && !any_text && !any_number && ColumnIsText(column)) {
        any_text_column = true;
      }
    }
    const bool text = any_text || (!any_number && any_text_column);
    if (pluses.empty()) return text ? Kind::kText : (any_number ? Kind::kNumber : Kind::kUnknown);
    if (!text) return Kind::kNumber;
    for (size_t p : pluses) seq[p].text = "||";
    // "||" binds tighter than the arithmetic around it: an operand made of several parts is
    // wrapped, working from the back so that earlier indexes stay valid.
    for (size_t t = terms.size(); t-- > 0;) {
      const auto& term = terms[t];
      bool simple =
          term.size() == 1 ||
          (term.size() == 2 && seq[term[0]].tk == Tk::kIdent && seq[term[1]].tk == Tk::kGroup) ||
          (term.size() == 3 && IsOp(seq[term[1]], "."));
      if (simple) continue;
      Node group;
      group.tk = Tk::kGroup;
      group.kids.assign(seq.begin() + static_cast<std::ptrdiff_t>(term.front()),
                        seq.begin() + static_cast<std::ptrdiff_t>(term.back()) + 1);
      seq.erase(seq.begin() + static_cast<std::ptrdiff_t>(term.front()) + 1,
                seq.begin() + static_cast<std::ptrdiff_t>(term.back()) + 1);
      seq[term.front()] = std::move(group);
      *removed += term.back() - term.front();
    }
    return Kind::kText;
  }

  // PostgreSQL wants a name for every derived table; the pages leave it out after "count(*)".
  void AliasDerivedTables(Seq& seq) {
    bool in_from = false;
    for (size_t i = 0; i < seq.size(); ++i) {
      const Node& n = seq[i];
      if (IsWord(n, "from")) in_from = true;
      if (n.tk == Tk::kIdent &&
          InList(n.text, {"where", "order", "group", "having", "limit", "union", "set"})) {
        in_from = false;
      }
      if (n.tk != Tk::kGroup) continue;
      size_t first = FirstMeaningful(n.kids);
      if (first == kNone || !IsWord(n.kids[first], "select")) continue;
      size_t prev = PrevMeaningful(seq, i);
      if (prev == kNone) continue;
      const bool table_place = IsWord(seq[prev], "from") || IsWord(seq[prev], "join") ||
                               (IsOp(seq[prev], ",") && in_from);
      if (!table_place) continue;
      size_t next = NextMeaningful(seq, i);
      bool named =
          next != kNone &&
          ((seq[next].tk == Tk::kIdent &&
            !InList(seq[next].text, {"where", "order", "group", "having", "left", "right", "inner",
                                     "join", "full", "cross", "on", "union", "limit", "outer"})) ||
           seq[next].tk == Tk::kQuoted);
      if (named) continue;
      Node alias;
      alias.tk = Tk::kRaw;
      alias.text = " AS vb_dt" + std::to_string(++alias_count_);
      seq.insert(seq.begin() + static_cast<std::ptrdiff_t>(i) + 1, std::move(alias));
    }
  }

  SqlEngine engine_;
  const SqlSchemaHints& hints_;
  int64_t top_limit_ = -1;
  size_t order_by_ = kNone;
  int alias_count_ = 0;
};

// Parses one statement (a trailing ";" allowed) into its tree.
Seq ParseStatement(std::string_view sql) {
  std::vector<Node> tokens = Tokenize(sql);
  size_t pos = 0;
  Seq seq = BuildTree(tokens, &pos, false);
  for (size_t i = 0; i < seq.size(); ++i) {
    if (IsOp(seq[i], ";")) {
      for (size_t j = i + 1; j < seq.size(); ++j) {
        if (seq[j].tk != Tk::kSpace && !IsOp(seq[j], ";")) {
          throw DbError("SQL: one statement at a time");
        }
      }
      seq.resize(i);
      break;
    }
  }
  while (!seq.empty() && seq.back().tk == Tk::kSpace) seq.pop_back();
  return seq;
}

struct Translated {
  Seq seq;
  int64_t top_limit = -1;
  size_t order_by = kNone;
};

Translated TranslateTree(std::string_view sql, SqlEngine engine, const SqlSchemaHints& hints) {
  Translated t;
  t.seq = ParseStatement(sql);
  Translator translator(engine, hints);
  translator.TranslateStatement(t.seq);
  t.top_limit = translator.top_limit();
  t.order_by = translator.order_by();
  return t;
}

}  // namespace

std::string TranslateSql(std::string_view sql, SqlEngine engine, const SqlSchemaHints& hints) {
  if (engine == SqlEngine::kNone) return std::string(sql);
  Translated t = TranslateTree(sql, engine, hints);
  std::string out;
  Render(t.seq, &out);
  if (t.top_limit >= 0) out += " LIMIT " + std::to_string(t.top_limit);
  return out;
}

std::string TranslateWindowSql(std::string_view sql, SqlEngine engine, int64_t offset,
                               int64_t count, const SqlSchemaHints& hints) {
  if (offset < 0) offset = 0;
  if (count < 0) count = 0;
  Translated t = TranslateTree(sql, engine, hints);
  std::string out;
  Render(t.seq, &out);
  if (t.top_limit >= 0) count = std::min(count, std::max<int64_t>(0, t.top_limit - offset));
  out += " LIMIT " + std::to_string(count) + " OFFSET " + std::to_string(offset);
  return out;
}

std::string TranslateCountSql(std::string_view sql, SqlEngine engine, const SqlSchemaHints& hints) {
  Translated t = TranslateTree(sql, engine, hints);
  std::string inner;
  if (t.top_limit < 0 && t.order_by != kNone) {
    inner = TrimText(Render(t.seq, 0, t.order_by));
  } else {
    Render(t.seq, &inner);
    if (t.top_limit >= 0) inner += " LIMIT " + std::to_string(t.top_limit);
  }
  return "SELECT count(*) FROM (" + inner + ") AS vb_count";
}

std::string SingleTableOf(std::string_view sql) {
  Seq seq;
  try {
    seq = ParseStatement(sql);
  } catch (const DbError&) {
    return "";
  }
  size_t first = FirstMeaningful(seq);
  if (first == kNone || !IsWord(seq[first], "select")) return "";
  size_t from = kNone;
  for (size_t i = first; i < seq.size(); ++i) {
    if (IsWord(seq[i], "group") || IsWord(seq[i], "union") || IsWord(seq[i], "distinct")) {
      return "";
    }
    if (from == kNone && IsWord(seq[i], "from")) from = i;
  }
  if (from == kNone) return "";
  size_t table = NextMeaningful(seq, from);
  if (table == kNone || (seq[table].tk != Tk::kIdent && seq[table].tk != Tk::kQuoted)) return "";
  size_t after = NextMeaningful(seq, table);
  if (after != kNone && !IsWord(seq[after], "where") && !IsWord(seq[after], "order")) return "";
  const std::string& name = seq[table].text;
  return seq[table].tk == Tk::kQuoted ? name.substr(1, name.size() - 2) : name;
}

// Every statement a page runs comes through here, some twice: the scan keeps no tokens, but
// still reads to the end, so that a text the tokenizer refuses answers "" as before.
std::string LeadingKeyword(std::string_view sql) {
  // Nearly every statement begins with its word, after blanks or opening brackets: read at once,
  // without scanning the whole text (a long select is built for each page). Any other beginning
  // (a comment, a quote) is read token by token.
  size_t i = 0;
  while (i < sql.size() &&
         (sql[i] == ' ' || sql[i] == '\t' || sql[i] == '\r' || sql[i] == '\n' || sql[i] == '(')) {
    ++i;
  }
  if (i < sql.size() && IsIdentStart(static_cast<unsigned char>(sql[i])) &&
      static_cast<unsigned char>(sql[i]) < 0x80) {
    size_t end = i;
    while (end < sql.size() && IsIdentChar(static_cast<unsigned char>(sql[end]))) ++end;
    return ToLower(sql.substr(i, end - i));
  }
  bool found = false;
  std::string_view first;
  try {
    ScanTokens(sql, [&](Tk tk, size_t start, size_t end) {
      if (found || tk == Tk::kSpace) return;
      std::string_view text = sql.substr(start, end - start);
      if (tk == Tk::kOp && text == "(") return;
      found = true;
      if (tk == Tk::kIdent) first = text;
    });
  } catch (const DbError&) {
    return "";
  }
  return ToLower(first);
}

WriteTarget WriteTargetOf(std::string_view sql) {
  // The first words and the name after them; nothing further along decides.
  constexpr size_t kWords = 8;
  std::vector<std::pair<Tk, std::string_view>> words;
  try {
    ScanTokens(sql, [&](Tk tk, size_t start, size_t end) {
      if (tk != Tk::kSpace && words.size() < kWords)
        words.emplace_back(tk, sql.substr(start, end - start));
    });
  } catch (const DbError&) {
    return {};
  }
  size_t at = 0;
  auto word = [&](std::string_view w) {
    if (at < words.size() && words[at].first == Tk::kIdent && ToLower(words[at].second) == w) {
      ++at;
      return true;
    }
    return false;
  };
  // The name at `at`: its last part after any "schema.", without quotes.
  auto name = [&]() -> std::string {
    std::string_view last;
    while (at < words.size() && (words[at].first == Tk::kIdent || words[at].first == Tk::kQuoted)) {
      last = words[at].second;
      if (words[at].first == Tk::kQuoted) last = last.substr(1, last.size() - 2);
      ++at;
      if (at + 1 < words.size() && words[at].first == Tk::kOp && words[at].second == ".") {
        ++at;
        continue;
      }
      break;
    }
    return std::string(last);
  };
  WriteTarget target;
  if ((word("insert") || word("replace")) && word("into")) {
    target.table = name();
  } else if (word("update")) {
    if (word("or")) ++at;  // "update or replace T"
    target.table = name();
  } else if (word("delete") && word("from")) {
    target.table = name();
  } else if (word("truncate")) {
    word("table");
    target.table = name();
  } else if (word("create")) {
    if (!word("temp")) word("temporary");
    if (word("table")) {
      if (word("if") && word("not")) word("exists");
      target.table = name();
      target.reshapes = true;
    }
  } else if (word("alter") || word("drop")) {
    if (word("table")) {
      if (word("if")) word("exists");
      target.table = name();
      target.reshapes = true;
    }
  }
  if (target.table.empty()) target.reshapes = false;
  return target;
}

}  // namespace folirex
