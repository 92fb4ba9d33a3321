#include "platform/regional_time.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>

namespace vers::platform {

struct RegionalTime::Locale {
  locale_t handle = nullptr;
  bool utf8 = true;
  ~Locale() {
    if (handle) freelocale(handle);
  }
};

namespace {

// Text of the locale's own code set as UTF-8; what cannot be converted
// stays as it is.
std::string to_utf8(const std::string& text, const char* codeset) {
  if (text.empty()) return text;
  iconv_t cd = iconv_open("UTF-8", codeset);
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  std::string out(text.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  char* o = out.data();
  size_t out_left = out.size();
  size_t r = iconv(cd, &in, &in_left, &o, &out_left);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return text;
  out.resize(out.size() - out_left);
  return out;
}

struct Directive {
  size_t begin = 0;  // position of '%'
  size_t end = 0;    // one past the conversion character
  char flag = 0;     // '-', '_', '0' or 0
  char conversion = 0;
};

// The next strftime directive at or after pos; conversion 0 when none.
Directive next_directive(const std::string& format, size_t pos) {
  for (size_t i = pos; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    Directive d;
    d.begin = i;
    size_t j = i + 1;
    if (j < format.size() && (format[j] == '-' || format[j] == '_' || format[j] == '0' || format[j] == '^' || format[j] == '#'))
      d.flag = format[j++];
    if (j < format.size() && (format[j] == 'E' || format[j] == 'O')) ++j;
    if (j >= format.size()) return {};
    d.conversion = format[j];
    d.end = j + 1;
    if (d.conversion == '%') {
      i = j;
      continue;
    }
    return d;
  }
  return {};
}

// Replaces the composite directives by what they stand for.
std::string expand(const std::string& format, const std::string& ampm_format) {
  std::string out;
  size_t pos = 0;
  for (Directive d = next_directive(format, 0); d.conversion; d = next_directive(format, d.end)) {
    out.append(format, pos, d.begin - pos);
    switch (d.conversion) {
      case 'T': out += "%H:%M:%S"; break;
      case 'R': out += "%H:%M"; break;
      case 'r': out += ampm_format.empty() ? "%I:%M:%S %p" : ampm_format; break;
      default: out.append(format, d.begin, d.end - d.begin);
    }
    pos = d.end;
  }
  out.append(format, pos);
  return out;
}

std::string two_digits(int v) {
  char buf[4];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

}  // namespace

RegionalTime::RegionalTime() : RegionalTime(from_locale("")) {}

RegionalTime::RegionalTime(const std::string& locale_name) : RegionalTime(from_locale(locale_name.c_str())) {}

RegionalTime::RegionalTime(std::shared_ptr<Locale> locale, std::string date_format, const std::string& time_format,
                           const std::string& time_format_ampm, std::string am, std::string pm)
    : locale_(std::move(locale)), date_format_(std::move(date_format)), am_(std::move(am)), pm_(std::move(pm)) {
  read_time_format(time_format, time_format_ampm);
}

RegionalTime RegionalTime::from_formats(std::string date_format, std::string time_format,
                                        std::string time_format_ampm, std::string am, std::string pm) {
  return RegionalTime(nullptr, std::move(date_format), time_format, time_format_ampm, std::move(am), std::move(pm));
}

RegionalTime RegionalTime::from_locale(const char* locale_name) {
  auto locale = std::make_shared<Locale>();
  locale->handle = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, locale_name, nullptr);
  if (!locale->handle) locale->handle = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", nullptr);
  if (!locale->handle) return from_formats("%m/%d/%y", "%H:%M:%S", "", "AM", "PM");
  const char* codeset = nl_langinfo_l(CODESET, locale->handle);
  locale->utf8 = std::strcmp(codeset, "UTF-8") == 0;
  auto item = [&](nl_item what) {
    const char* text = nl_langinfo_l(what, locale->handle);
    return locale->utf8 ? std::string(text) : to_utf8(text, codeset);
  };
  // The date pattern stays in the locale's code set: strftime_l fills it
  // with names in that code set, and date_text converts the whole result.
  std::string date_format = nl_langinfo_l(D_FMT, locale->handle);
  std::string time_format = item(T_FMT);
  std::string ampm_format = item(T_FMT_AMPM);
  std::string am = item(AM_STR);
  std::string pm = item(PM_STR);
  return RegionalTime(std::move(locale), std::move(date_format), time_format, ampm_format, std::move(am),
                      std::move(pm));
}

void RegionalTime::read_time_format(std::string format, const std::string& time_format_ampm) {
  if (format.empty()) format = "%H:%M:%S";
  format = expand(format, time_format_ampm);
  Directive hour;
  std::optional<size_t> designator_at;
  for (Directive d = next_directive(format, 0); d.conversion; d = next_directive(format, d.end)) {
    if (d.conversion == 'p' || d.conversion == 'P') {
      if (!designator_at) designator_at = d.begin;
    } else if (!hour.conversion && std::strchr("HkIl", d.conversion)) {
      hour = d;
      Directive minute = next_directive(format, d.end);
      std::string separator = format.substr(d.end, (minute.conversion ? minute.begin : format.size()) - d.end);
      if (!separator.empty()) time_separator_ = separator;
    }
  }
  if (!hour.conversion) return;  // no hour at all: keep the 24-hour defaults
  twelve_hour_ = hour.conversion == 'I' || hour.conversion == 'l';
  bool padded_by_nature = hour.conversion == 'H' || hour.conversion == 'I';
  hour_leading_zero_ = hour.flag == '0' || (padded_by_nature && hour.flag != '-' && hour.flag != '_');
  designator_first_ = designator_at && *designator_at < hour.begin;
}

std::string RegionalTime::date_text(const LocalDateTime& t) const {
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  std::time_t normal = timegm(&tm);  // fills in the day of the week and of the year
  gmtime_r(&normal, &tm);
  char buf[256];
  size_t n = locale_ && locale_->handle ? strftime_l(buf, sizeof buf, date_format_.c_str(), &tm, locale_->handle)
                                        : std::strftime(buf, sizeof buf, date_format_.c_str(), &tm);
  std::string text(buf, n);
  if (locale_ && locale_->handle && !locale_->utf8)
    text = to_utf8(text, nl_langinfo_l(CODESET, locale_->handle));
  return text;
}

std::string RegionalTime::time_text(const LocalDateTime& t) const {
  int hour = t.hour;
  if (twelve_hour_) {
    hour %= 12;
    if (hour == 0) hour = 12;
  }
  std::string clock = (hour_leading_zero_ ? two_digits(hour) : std::to_string(hour)) + time_separator_ +
                      two_digits(t.minute) + time_separator_ + two_digits(t.second);
  if (!twelve_hour_) return clock;
  const std::string& designator = t.hour < 12 ? am_ : pm_;
  if (designator.empty()) return clock;
  return designator_first_ ? designator + " " + clock : clock + " " + designator;
}

}  // namespace vers::platform
