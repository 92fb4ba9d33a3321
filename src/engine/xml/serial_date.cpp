#include "engine/xml/serial_date.h"

#include <charconv>
#include <cstdint>

namespace vers::engine::xml {
namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t days_from_civil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

bool is_leap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int days_in_month(int64_t y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && is_leap(y) ? 29 : days[m - 1];
}

// Reads exactly count digits at pos.
bool read_digits(std::string_view text, size_t& pos, size_t count, int& out) {
  if (pos + count > text.size()) return false;
  out = 0;
  for (size_t i = 0; i < count; ++i) {
    const char c = text[pos + i];
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  pos += count;
  return true;
}

bool expect(std::string_view text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

// Reads a non-negative decimal number ("07", "7.25") at pos.
bool read_decimal(std::string_view text, size_t& pos, double& out) {
  const size_t start = pos;
  while (pos < text.size() && ((text[pos] >= '0' && text[pos] <= '9') || text[pos] == '.')) ++pos;
  if (pos == start) return false;
  const auto result = std::from_chars(text.data() + start, text.data() + pos, out);
  return result.ec == std::errc() && result.ptr == text.data() + pos;
}

// Reads "YYYY-MM-DD" at pos as a day count from 1970-01-01.
bool read_date(std::string_view text, size_t& pos, int64_t& days) {
  int y = 0, m = 0, d = 0;
  if (!read_digits(text, pos, 4, y) || !expect(text, pos, '-') || !read_digits(text, pos, 2, m) ||
      !expect(text, pos, '-') || !read_digits(text, pos, 2, d))
    return false;
  if (m < 1 || m > 12 || d < 1 || d > days_in_month(y, m)) return false;
  days = days_from_civil(y, m, d);
  return true;
}

}  // namespace

bool parse_epoch(std::string_view text, Epoch& epoch) {
  size_t pos = 0;
  int64_t days = 0;
  if (!read_date(text, pos, days) || pos != text.size()) return false;
  std::from_chars(text.data(), text.data() + 4, epoch.year);
  std::from_chars(text.data() + 5, text.data() + 7, epoch.month);
  std::from_chars(text.data() + 8, text.data() + 10, epoch.day);
  return true;
}

bool iso_date_to_serial(std::string_view text, const Epoch& epoch, double& serial) {
  size_t pos = 0;
  // A time alone ("10:10:10") is a time of day: the fraction only.
  const bool time_only = text.size() > 2 && text[2] == ':';
  int64_t days = days_from_civil(epoch.year, epoch.month, epoch.day);
  if (!time_only && !read_date(text, pos, days)) return false;
  double fraction = 0;
  if (time_only || (pos < text.size() && text[pos] == 'T')) {
    if (!time_only) ++pos;
    int h = 0, m = 0;
    double s = 0;
    if (!read_digits(text, pos, 2, h) || !expect(text, pos, ':') || !read_digits(text, pos, 2, m)) return false;
    if (pos < text.size() && text[pos] == ':') {
      ++pos;
      if (!read_decimal(text, pos, s)) return false;
    }
    if (h > 24 || m > 59 || s >= 61) return false;
    fraction = (h * 3600.0 + m * 60.0 + s) / 86400.0;
  }
  // A zone suffix: "Z" or "+03:00" / "-05:00".
  if (pos < text.size() && text[pos] == 'Z') {
    ++pos;
  } else if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    int zh = 0, zm = 0;
    ++pos;
    if (!read_digits(text, pos, 2, zh) || !expect(text, pos, ':') || !read_digits(text, pos, 2, zm)) return false;
  }
  if (pos != text.size()) return false;
  serial = double(days - days_from_civil(epoch.year, epoch.month, epoch.day)) + fraction;
  return true;
}

bool iso_duration_to_days(std::string_view text, double& days) {
  size_t pos = 0;
  const bool negative = expect(text, pos, '-');
  if (!expect(text, pos, 'P')) return false;
  double seconds = 0;
  bool in_time = false, any = false;
  while (pos < text.size()) {
    if (text[pos] == 'T') {
      if (in_time) return false;
      in_time = true;
      ++pos;
      continue;
    }
    double amount = 0;
    if (!read_decimal(text, pos, amount) || pos >= text.size()) return false;
    const char unit = text[pos++];
    any = true;
    if (!in_time && unit == 'D') seconds += amount * 86400.0;
    else if (!in_time && unit == 'W') seconds += amount * 7 * 86400.0;
    else if (in_time && unit == 'H') seconds += amount * 3600.0;
    else if (in_time && unit == 'M') seconds += amount * 60.0;
    else if (in_time && unit == 'S') seconds += amount;
    else return false;  // years and months have no fixed length in days
  }
  if (!any) return false;
  days = (negative ? -seconds : seconds) / 86400.0;
  return true;
}

}  // namespace vers::engine::xml
