// Variant: the loosely typed value that database fields, request values and page code pass
// around. It follows the scripting engine's rules that the pages rely on: "2" equals 2, true is
// -1, any comparison with null is false, CInt/CLng fail on overflow, a date's default text is
// "yyyy-M-d H:mm:ss".
//
// A Variant is a plain value: copyable, movable, no shared state, safe to use on any thread.
// Conversions that cannot succeed throw VariantError.
#ifndef FOLIREX_PLATFORM_DB_VARIANT_H_
#define FOLIREX_PLATFORM_DB_VARIANT_H_

#include <cstdint>
#include <ctime>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

namespace folirex {

class VariantError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A calendar date and time without a time zone (the server's local time, as the pages use it).
struct DateTime {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;

  // The current local date and time.
  static DateTime Now();
  // The local date and time of `seconds` since the epoch.
  static DateTime FromLocalTime(std::time_t seconds);
  // Parses "yyyy-m-d", "yyyy-m-d h:mm[:ss]", "yyyy/m/d ..." and the same with a "T" separator.
  // Returns false (leaving *out alone) for anything else or an impossible date.
  static bool Parse(std::string_view text, DateTime* out);

  // Days since 1899-12-30 plus the fraction of the day: the OLE automation date.
  double ToSerial() const;
  static DateTime FromSerial(double serial);
  // Whole days since 1970-01-01 (may be negative).
  int64_t DayNumber() const;
  // 1 = Sunday ... 7 = Saturday, as the scripting Weekday function answers.
  int Weekday() const;

  // "yyyy-mm-dd hh:mm:ss": the storage form in the database.
  std::string ToStorage() const;
  // "yyyy-M-d H:mm:ss", or "yyyy-M-d" when the time is midnight: the default text of a date.
  std::string ToDefaultText() const;

  friend bool operator==(const DateTime&, const DateTime&) = default;
  friend auto operator<=>(const DateTime&, const DateTime&) = default;
};

// The scripting DateDiff: the number of interval boundaries crossed from `from` to `to`
// (negative when `to` is earlier). Intervals: "yyyy", "q", "m", "y" and "d" (days), "w" (whole
// weeks), "ww" (Sundays crossed), "h", "n", "s"; any letter case. Returns false for another
// interval.
bool DateDiff(std::string_view interval, const DateTime& from, const DateTime& to, int64_t* out);

class Variant {
 public:
  enum class Type { kEmpty, kNull, kBoolean, kInteger, kDouble, kDate, kText };

  Variant() = default;                                               // empty
  Variant(bool value) : value_(value) {}                             // NOLINT
  Variant(int value) : value_(static_cast<int64_t>(value)) {}        // NOLINT
  Variant(long value) : value_(static_cast<int64_t>(value)) {}       // NOLINT
  Variant(long long value) : value_(static_cast<int64_t>(value)) {}  // NOLINT
  Variant(double value) : value_(value) {}                           // NOLINT
  Variant(const DateTime& value) : value_(value) {}                  // NOLINT
  Variant(const char* value) : value_(std::string(value)) {}         // NOLINT
  Variant(std::string value) : value_(std::move(value)) {}           // NOLINT
  Variant(std::string_view value) : value_(std::string(value)) {}    // NOLINT

  static Variant Null();

  Type type() const;
  bool IsEmpty() const { return type() == Type::kEmpty; }
  bool IsNull() const { return type() == Type::kNull; }
  // Empty, null, or text of length 0.
  bool IsBlank() const;
  bool IsNumeric() const;  // the scripting IsNumeric: numbers, and text that parses as one
  bool IsDate() const;     // a date, or text that parses as one

  // Text of the value: empty and null give "", booleans "True"/"False", numbers in their
  // shortest form, dates in their default text. Never throws.
  std::string ToString() const;
  // CStr: as ToString, but null throws.
  std::string CStr() const;
  // CLng / CInt: rounds half to even, parses text; throws on null, non-numeric text or overflow
  // of the 32-bit (CLng) or 16-bit (CInt) range. Empty is 0.
  int32_t CLng() const;
  int16_t CInt() const;
  // A 64-bit whole number with the CLng rules (for counts and ids).
  int64_t ToInt64() const;
  // CDbl: throws on null or non-numeric text. Empty is 0.
  double CDbl() const;
  // CBool: numbers are true when not 0; "true"/"false" text in any case; throws otherwise.
  bool CBool() const;
  // CDate: throws when the value is not a date nor text that parses as one.
  DateTime CDate() const;
  // Lenient forms for page code that must not fail: the fallback when the conversion would throw.
  int64_t ToInt64Or(int64_t fallback) const;
  double ToDoubleOr(double fallback) const;
  bool ToBoolOr(bool fallback) const;

  // The scripting "=" comparison: null on either side is false; a number and numeric text
  // compare as numbers; text compares as text (binary); booleans are -1/0; empty equals 0 and "".
  bool Equals(const Variant& other) const;
  // Ordering with the same rules; returns false for any comparison involving null.
  bool Less(const Variant& other) const;

  const std::variant<std::monostate, std::nullptr_t, bool, int64_t, double, DateTime, std::string>&
  raw() const {
    return value_;
  }

 private:
  std::variant<std::monostate, std::nullptr_t, bool, int64_t, double, DateTime, std::string> value_;
};

inline bool operator==(const Variant& a, const Variant& b) { return a.Equals(b); }

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_DB_VARIANT_H_
