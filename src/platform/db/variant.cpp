#include "platform/db/variant.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>

namespace folirex {

namespace {

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int* year, int* month, int* day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = yoe + era * 400;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *year = static_cast<int>(y + (*month <= 2));
}

// 1899-12-30, day 0 of the automation date.
constexpr int64_t kSerialEpochDay = -25569;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Reads a number the way the scripting engine's numeric conversions read text: blanks around
// it, a sign, digits with an optional decimal point and exponent, or "&H" hexadecimal.
bool ParseNumber(std::string_view text, double* out) {
  std::string_view s = Trim(text);
  if (s.empty()) return false;
  if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h')) {
    int64_t v = 0;
    for (size_t i = 2; i < s.size(); ++i) {
      char c = s[i];
      int d;
      if (c >= '0' && c <= '9') {
        d = c - '0';
      } else if (c >= 'a' && c <= 'f') {
        d = c - 'a' + 10;
      } else if (c >= 'A' && c <= 'F') {
        d = c - 'A' + 10;
      } else {
        return false;
      }
      v = v * 16 + d;
      if (v > 0xFFFFFFFFLL) return false;
    }
    // Up to 4 digits the value is a 16-bit integer, up to 8 a 32-bit one; both are signed.
    size_t digits = s.size() - 2;
    if (digits <= 4 && v > 0x7FFF)
      v -= 0x10000;
    else if (digits <= 8 && v > 0x7FFFFFFF)
      v -= 0x100000000LL;
    *out = static_cast<double>(v);
    return true;
  }
  size_t i = 0;
  if (s[i] == '+' || s[i] == '-') ++i;
  size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t exp_digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++exp_digits;
    if (exp_digits == 0) return false;
  }
  if (i != s.size()) return false;
  std::string copy(s);
  errno = 0;
  double v = std::strtod(copy.c_str(), nullptr);
  if (errno == ERANGE && std::isinf(v)) return false;
  *out = v;
  return true;
}

// Parses up to `max_digits` decimal digits at *pos.
bool ReadInt(std::string_view s, size_t* pos, size_t max_digits, int* out) {
  size_t start = *pos;
  int v = 0;
  while (*pos < s.size() && *pos - start < max_digits && s[*pos] >= '0' && s[*pos] <= '9') {
    v = v * 10 + (s[*pos] - '0');
    ++*pos;
  }
  if (*pos == start) return false;
  *out = v;
  return true;
}

double RoundHalfEven(double v) {
  double r = std::round(v);
  if (std::fabs(v - std::trunc(v)) == 0.5) r = 2.0 * std::round(v / 2.0);
  return r;
}

[[noreturn]] void TypeMismatch(const char* what) {
  throw VariantError(std::string("Type mismatch: ") + what);
}

}  // namespace

// ---- DateTime ----

DateTime DateTime::Now() { return FromLocalTime(std::time(nullptr)); }

DateTime DateTime::FromLocalTime(std::time_t seconds) {
  std::tm tm{};
  localtime_r(&seconds, &tm);
  DateTime d;
  d.year = tm.tm_year + 1900;
  d.month = tm.tm_mon + 1;
  d.day = tm.tm_mday;
  d.hour = tm.tm_hour;
  d.minute = tm.tm_min;
  d.second = tm.tm_sec;
  return d;
}

bool DateTime::Parse(std::string_view text, DateTime* out) {
  std::string_view s = Trim(text);
  size_t pos = 0;
  DateTime d;
  if (!ReadInt(s, &pos, 4, &d.year) || pos < 4) return false;
  if (pos >= s.size() || (s[pos] != '-' && s[pos] != '/')) return false;
  char sep = s[pos++];
  if (!ReadInt(s, &pos, 2, &d.month)) return false;
  if (pos >= s.size() || s[pos] != sep) return false;
  ++pos;
  if (!ReadInt(s, &pos, 2, &d.day)) return false;
  if (pos < s.size()) {
    if (s[pos] != ' ' && s[pos] != 'T') return false;
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == 'T')) ++pos;
    if (!ReadInt(s, &pos, 2, &d.hour)) return false;
    if (pos >= s.size() || s[pos] != ':') return false;
    ++pos;
    if (!ReadInt(s, &pos, 2, &d.minute)) return false;
    if (pos < s.size() && s[pos] == ':') {
      ++pos;
      if (!ReadInt(s, &pos, 2, &d.second)) return false;
      // Fractions of a second, as database servers write them, are dropped.
      if (pos < s.size() && s[pos] == '.') {
        ++pos;
        size_t start = pos;
        while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') ++pos;
        if (pos == start) return false;
      }
    }
    if (pos != s.size()) return false;
  }
  if (d.year < 100 || d.year > 9999 || d.month < 1 || d.month > 12 || d.day < 1 ||
      d.day > DaysInMonth(d.year, d.month) || d.hour > 23 || d.minute > 59 || d.second > 59) {
    return false;
  }
  *out = d;
  return true;
}

int64_t DateTime::DayNumber() const { return DaysFromCivil(year, month, day); }

int DateTime::Weekday() const {
  int64_t n = DayNumber();  // 1970-01-01 was a Thursday
  int64_t w = ((n + 4) % 7 + 7) % 7;
  return static_cast<int>(w) + 1;
}

double DateTime::ToSerial() const {
  double days = static_cast<double>(DayNumber() - kSerialEpochDay);
  double fraction = (hour * 3600 + minute * 60 + second) / 86400.0;
  // Before day 0 the fraction counts away from zero as well (-1.25 is 1899-12-29 06:00).
  return days < 0 ? days - fraction : days + fraction;
}

DateTime DateTime::FromSerial(double serial) {
  double whole = std::trunc(serial);
  double fraction = std::fabs(serial - whole);
  int64_t seconds = static_cast<int64_t>(std::llround(fraction * 86400.0));
  int64_t day = static_cast<int64_t>(whole) + kSerialEpochDay;
  if (seconds >= 86400) {
    seconds -= 86400;
    day += serial < 0 ? -1 : 1;
  }
  DateTime d;
  CivilFromDays(day, &d.year, &d.month, &d.day);
  d.hour = static_cast<int>(seconds / 3600);
  d.minute = static_cast<int>(seconds / 60 % 60);
  d.second = static_cast<int>(seconds % 60);
  return d;
}

std::string DateTime::ToStorage() const {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute,
                second);
  return buf;
}

std::string DateTime::ToDefaultText() const {
  char buf[40];
  if (hour == 0 && minute == 0 && second == 0) {
    std::snprintf(buf, sizeof buf, "%d-%d-%d", year, month, day);
  } else {
    std::snprintf(buf, sizeof buf, "%d-%d-%d %d:%02d:%02d", year, month, day, hour, minute, second);
  }
  return buf;
}

// ---- Variant ----

Variant Variant::Null() {
  Variant v;
  v.value_ = nullptr;
  return v;
}

Variant::Type Variant::type() const {
  switch (value_.index()) {
    case 0:
      return Type::kEmpty;
    case 1:
      return Type::kNull;
    case 2:
      return Type::kBoolean;
    case 3:
      return Type::kInteger;
    case 4:
      return Type::kDouble;
    case 5:
      return Type::kDate;
    default:
      return Type::kText;
  }
}

bool Variant::IsBlank() const {
  if (IsEmpty() || IsNull()) return true;
  const std::string* s = std::get_if<std::string>(&value_);
  return s != nullptr && s->empty();
}

bool Variant::IsNumeric() const {
  switch (type()) {
    case Type::kEmpty:
    case Type::kBoolean:
    case Type::kInteger:
    case Type::kDouble:
      return true;
    case Type::kText: {
      double d;
      return ParseNumber(std::get<std::string>(value_), &d);
    }
    default:
      return false;
  }
}

bool Variant::IsDate() const {
  if (type() == Type::kDate) return true;
  if (type() != Type::kText) return false;
  DateTime d;
  return DateTime::Parse(std::get<std::string>(value_), &d);
}

std::string Variant::ToString() const {
  switch (type()) {
    case Type::kEmpty:
    case Type::kNull:
      return "";
    case Type::kBoolean:
      return std::get<bool>(value_) ? "True" : "False";
    case Type::kInteger:
      return std::to_string(std::get<int64_t>(value_));
    case Type::kDouble: {
      double v = std::get<double>(value_);
      if (v == 0) return "0";
      // 15 significant digits, exponent form from 1E+15 and below 1E-04: the engine's form.
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.15G", v);
      return buf;
    }
    case Type::kDate:
      return std::get<DateTime>(value_).ToDefaultText();
    case Type::kText:
      return std::get<std::string>(value_);
  }
  return "";
}

std::string Variant::CStr() const {
  if (IsNull()) throw VariantError("Invalid use of Null");
  return ToString();
}

double Variant::CDbl() const {
  switch (type()) {
    case Type::kEmpty:
      return 0;
    case Type::kNull:
      throw VariantError("Invalid use of Null");
    case Type::kBoolean:
      return std::get<bool>(value_) ? -1 : 0;
    case Type::kInteger:
      return static_cast<double>(std::get<int64_t>(value_));
    case Type::kDouble:
      return std::get<double>(value_);
    case Type::kDate:
      return std::get<DateTime>(value_).ToSerial();
    case Type::kText: {
      double d;
      if (!ParseNumber(std::get<std::string>(value_), &d)) TypeMismatch("not a number");
      return d;
    }
  }
  return 0;
}

int64_t Variant::ToInt64() const {
  if (const int64_t* i = std::get_if<int64_t>(&value_)) return *i;
  double d = RoundHalfEven(CDbl());
  if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0)) {
    throw VariantError("Overflow");
  }
  return static_cast<int64_t>(d);
}

int32_t Variant::CLng() const {
  int64_t v = ToInt64();
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
    throw VariantError("Overflow");
  }
  return static_cast<int32_t>(v);
}

int16_t Variant::CInt() const {
  int64_t v = ToInt64();
  if (v < std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max()) {
    throw VariantError("Overflow");
  }
  return static_cast<int16_t>(v);
}

bool Variant::CBool() const {
  switch (type()) {
    case Type::kEmpty:
      return false;
    case Type::kNull:
      throw VariantError("Invalid use of Null");
    case Type::kBoolean:
      return std::get<bool>(value_);
    case Type::kText: {
      std::string_view s = Trim(std::get<std::string>(value_));
      if (EqualsNoCase(s, "true")) return true;
      if (EqualsNoCase(s, "false")) return false;
      double d;
      if (!ParseNumber(s, &d)) TypeMismatch("not a boolean");
      return d != 0;
    }
    default:
      return CDbl() != 0;
  }
}

DateTime Variant::CDate() const {
  switch (type()) {
    case Type::kDate:
      return std::get<DateTime>(value_);
    case Type::kNull:
      throw VariantError("Invalid use of Null");
    case Type::kText: {
      DateTime d;
      if (DateTime::Parse(std::get<std::string>(value_), &d)) return d;
      double serial;
      if (ParseNumber(std::get<std::string>(value_), &serial)) return DateTime::FromSerial(serial);
      TypeMismatch("not a date");
    }
    default:
      return DateTime::FromSerial(CDbl());
  }
}

int64_t Variant::ToInt64Or(int64_t fallback) const {
  // The common cases without an exception: a whole number, and Null (which ToInt64 refuses).
  if (const int64_t* i = std::get_if<int64_t>(&value_)) return *i;
  if (IsNull()) return fallback;
  try {
    return ToInt64();
  } catch (const VariantError&) {
    return fallback;
  }
}

double Variant::ToDoubleOr(double fallback) const {
  try {
    return CDbl();
  } catch (const VariantError&) {
    return fallback;
  }
}

bool Variant::ToBoolOr(bool fallback) const {
  try {
    return CBool();
  } catch (const VariantError&) {
    return fallback;
  }
}

namespace {

// The result of comparing two non-null values: <0, 0 or >0.
int Compare(const Variant& a, const Variant& b) {
  using T = Variant::Type;
  auto is_num = [](T t) { return t == T::kBoolean || t == T::kInteger || t == T::kDouble; };
  auto three_way = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
  T ta = a.type(), tb = b.type();

  if (ta == T::kText && tb == T::kText) {
    return three_way(std::get<std::string>(a.raw()), std::get<std::string>(b.raw()));
  }
  if (ta == T::kEmpty && tb == T::kEmpty) return 0;
  // Empty is 0 next to a number or a date and "" next to text.
  if (ta == T::kEmpty)
    return tb == T::kText ? three_way(std::string(), b.ToString()) : three_way(0.0, b.CDbl());
  if (tb == T::kEmpty)
    return ta == T::kText ? three_way(a.ToString(), std::string()) : three_way(a.CDbl(), 0.0);
  if (ta == T::kInteger && tb == T::kInteger) {
    return three_way(std::get<int64_t>(a.raw()), std::get<int64_t>(b.raw()));
  }
  if (ta == T::kDate && tb == T::kDate) {
    return three_way(std::get<DateTime>(a.raw()), std::get<DateTime>(b.raw()));
  }
  if ((is_num(ta) || ta == T::kDate) && (is_num(tb) || tb == T::kDate)) {
    return three_way(a.CDbl(), b.CDbl());
  }
  // One side is text, the other a number, a boolean or a date.
  const bool text_left = ta == T::kText;
  const Variant& text = text_left ? a : b;
  const Variant& other = text_left ? b : a;
  int sign = text_left ? -1 : 1;  // result as seen from `other`, flipped when text is on the left
  const std::string& s = std::get<std::string>(text.raw());
  if (other.type() == T::kDate) {
    DateTime d;
    if (DateTime::Parse(s, &d)) return sign * three_way(std::get<DateTime>(other.raw()), d);
    return sign * three_way(other.ToString(), s);
  }
  double n;
  if (ParseNumber(s, &n)) return sign * three_way(other.CDbl(), n);
  if (other.type() == T::kBoolean) {
    std::string_view t = Trim(s);
    if (EqualsNoCase(t, "true") || EqualsNoCase(t, "false")) {
      return sign * three_way(other.CDbl(), EqualsNoCase(t, "true") ? -1.0 : 0.0);
    }
  }
  // A number is less than text that is not a number.
  return sign * -1;
}

}  // namespace

bool Variant::Equals(const Variant& other) const {
  if (IsNull() || other.IsNull()) return false;
  return Compare(*this, other) == 0;
}

bool Variant::Less(const Variant& other) const {
  if (IsNull() || other.IsNull()) return false;
  return Compare(*this, other) < 0;
}

}  // namespace folirex

namespace folirex {

bool DateDiff(std::string_view interval, const DateTime& from, const DateTime& to, int64_t* out) {
  std::string i(Trim(interval));
  for (char& c : i) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  const int64_t days = to.DayNumber() - from.DayNumber();
  auto seconds_of = [](const DateTime& d) {
    return d.DayNumber() * 86400 + d.hour * 3600 + d.minute * 60 + d.second;
  };
  // Floor division, so that boundaries before 1970 count like those after it.
  auto floor_div = [](int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
  };
  if (i == "yyyy") {
    *out = to.year - from.year;
  } else if (i == "q") {
    *out = (to.year * 4 + (to.month - 1) / 3) - (from.year * 4 + (from.month - 1) / 3);
  } else if (i == "m") {
    *out = (to.year * 12 + to.month) - (from.year * 12 + from.month);
  } else if (i == "y" || i == "d") {
    *out = days;
  } else if (i == "w") {
    *out = days / 7;
  } else if (i == "ww") {
    // Weeks begin on Sunday; 1970-01-04 was one.
    *out = floor_div(to.DayNumber() - 3, 7) - floor_div(from.DayNumber() - 3, 7);
  } else if (i == "h") {
    *out = floor_div(seconds_of(to), 3600) - floor_div(seconds_of(from), 3600);
  } else if (i == "n") {
    *out = floor_div(seconds_of(to), 60) - floor_div(seconds_of(from), 60);
  } else if (i == "s") {
    *out = seconds_of(to) - seconds_of(from);
  } else {
    return false;
  }
  return true;
}

}  // namespace folirex
