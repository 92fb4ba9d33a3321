// Date and time texts in the user's regional form, taken from the process's
// locale (LC_ALL, LC_TIME, LANG) as the C library describes it.
#pragma once

#include <memory>
#include <string>

#include "platform/clock.h"

namespace vers::platform {

class RegionalTime {
 public:
  // The settings of the process's environment.
  RegionalTime();
  // The settings of a named locale ("ru_RU.UTF-8"); an unknown name falls
  // back to the "C" locale.
  explicit RegionalTime(const std::string& locale_name);

  // Settings given as the C library spells them (UTF-8): the date format
  // D_FMT, the time formats T_FMT and T_FMT_AMPM, and the designators.
  static RegionalTime from_formats(std::string date_format, std::string time_format,
                                   std::string time_format_ampm, std::string am, std::string pm);

  // The short date: the locale's date format (D_FMT) with its separators.
  std::string date_text(const LocalDateTime& t) const;

  // The long time: hour, separator, two-digit minutes, separator, two-digit
  // seconds. The hour has a leading zero when the locale's format pads it
  // with one; a 12-hour clock runs 1..12 with the locale's designator after
  // the time (or before it, when the locale puts it first), one space apart.
  std::string time_text(const LocalDateTime& t) const;

  // What the time format was read as; for the tests and for curiosity.
  bool twelve_hour() const { return twelve_hour_; }
  bool hour_leading_zero() const { return hour_leading_zero_; }
  bool designator_first() const { return designator_first_; }
  const std::string& time_separator() const { return time_separator_; }

 private:
  struct Locale;
  RegionalTime(std::shared_ptr<Locale> locale, std::string date_format, const std::string& time_format,
               const std::string& time_format_ampm, std::string am, std::string pm);
  static RegionalTime from_locale(const char* locale_name);
  void read_time_format(std::string format, const std::string& time_format_ampm);

  std::shared_ptr<Locale> locale_;  // for month and day names in the date; may be null
  std::string date_format_;         // strftime pattern, UTF-8
  std::string time_separator_ = ":";
  std::string am_;
  std::string pm_;
  bool twelve_hour_ = false;
  bool hour_leading_zero_ = true;
  bool designator_first_ = false;
};

}  // namespace vers::platform
