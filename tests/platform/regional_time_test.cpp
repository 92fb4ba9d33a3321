#include "platform/regional_time.h"

#include <gtest/gtest.h>
#include <locale.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace vers::platform {
namespace {

bool locale_installed(const char* name) {
  locale_t l = newlocale(LC_TIME_MASK, name, nullptr);
  if (!l) return false;
  freelocale(l);
  return true;
}

LocalDateTime at(int hour, int minute, int second) { return {2008, 3, 5, hour, minute, second}; }

struct LocaleCase {
  const char* locale;
  LocalDateTime when;
  const char* date;
  const char* time;
};

class RegionalTimeLocaleTest : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(RegionalTimeLocaleTest, FormatsAsTheLocaleDoes) {
  const LocaleCase& c = GetParam();
  if (!locale_installed(c.locale)) GTEST_SKIP() << c.locale << " is not installed";
  RegionalTime regional(c.locale);
  EXPECT_EQ(regional.date_text(c.when), c.date);
  EXPECT_EQ(regional.time_text(c.when), c.time);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, RegionalTimeLocaleTest,
    ::testing::Values(LocaleCase{"ru_RU.UTF-8", at(9, 5, 7), "05.03.2008", "09:05:07"},
                      LocaleCase{"ru_RU.UTF-8", at(23, 59, 0), "05.03.2008", "23:59:00"},
                      LocaleCase{"ru_RU.UTF-8", {2026, 12, 31, 0, 0, 1}, "31.12.2026", "00:00:01"},
                      LocaleCase{"en_US.UTF-8", at(9, 5, 7), "03/05/2008", "09:05:07 AM"},
                      LocaleCase{"en_US.UTF-8", at(0, 0, 0), "03/05/2008", "12:00:00 AM"},
                      LocaleCase{"en_US.UTF-8", at(12, 30, 0), "03/05/2008", "12:30:00 PM"},
                      LocaleCase{"en_US.UTF-8", at(23, 1, 2), "03/05/2008", "11:01:02 PM"},
                      LocaleCase{"C.UTF-8", at(9, 5, 7), "03/05/08", "09:05:07"}));

TEST(RegionalTimeTest, AnUnknownLocaleFallsBackToTheCLocale) {
  RegionalTime regional("no_such_locale");
  EXPECT_EQ(regional.date_text(at(9, 5, 7)), "03/05/08");
  EXPECT_EQ(regional.time_text(at(21, 5, 7)), "21:05:07");
}

// Formats that the installed locales do not show: hours without a leading
// zero, other separators, the designator first.
struct FormatCase {
  const char* date_format;
  const char* time_format;
  const char* time_format_ampm;
  LocalDateTime when;
  const char* date;
  const char* time;
};

class RegionalTimeFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(RegionalTimeFormatTest, BuildsTheLongTimeFromTheFormat) {
  const FormatCase& c = GetParam();
  RegionalTime regional = RegionalTime::from_formats(c.date_format, c.time_format, c.time_format_ampm, "AM", "PM");
  EXPECT_EQ(regional.date_text(c.when), c.date);
  EXPECT_EQ(regional.time_text(c.when), c.time);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, RegionalTimeFormatTest,
    ::testing::Values(FormatCase{"%d.%m.%Y", "%k:%M:%S", "", at(9, 5, 7), "05.03.2008", "9:05:07"},
                      FormatCase{"%d.%m.%Y", "%-H:%M", "", at(9, 5, 7), "05.03.2008", "9:05:07"},
                      FormatCase{"%Y-%m-%d", "%H.%M.%S", "", at(9, 5, 7), "2008-03-05", "09.05.07"},
                      FormatCase{"%d/%m/%Y", "%l:%M:%S %p", "", at(21, 5, 7), "05/03/2008", "9:05:07 PM"},
                      FormatCase{"%d/%m/%Y", "%r", "%-I:%M:%S %p", at(0, 15, 0), "05/03/2008", "12:15:00 AM"},
                      FormatCase{"%Y/%m/%d", "%p %I:%M:%S", "", at(13, 0, 9), "2008/03/05", "PM 01:00:09"},
                      FormatCase{"%e.%m.%y", "", "", at(9, 5, 7), " 5.03.08", "09:05:07"}));

TEST(RegionalTimeTest, AnEmptyDesignatorAddsNothing) {
  RegionalTime regional = RegionalTime::from_formats("%d.%m.%Y", "%I:%M:%S %p", "", "", "");
  EXPECT_EQ(regional.time_text(at(15, 4, 3)), "03:04:03");
}

// The environment decides as on a desktop: LC_ALL over LC_TIME over LANG.
class RegionalTimeEnvironmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!locale_installed("ru_RU.UTF-8") || !locale_installed("en_US.UTF-8"))
      GTEST_SKIP() << "needs ru_RU.UTF-8 and en_US.UTF-8";
    for (const char* name : {"LC_ALL", "LC_TIME", "LANG"}) {
      const char* v = std::getenv(name);
      saved_.push_back({name, v ? std::optional<std::string>(v) : std::nullopt});
      unsetenv(name);
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name, value->c_str(), 1);
      else
        unsetenv(name);
    }
  }
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST_F(RegionalTimeEnvironmentTest, ReadsTheProcessLocale) {
  setenv("LANG", "en_US.UTF-8", 1);
  EXPECT_EQ(RegionalTime().date_text(at(9, 5, 7)), "03/05/2008");
  setenv("LC_TIME", "ru_RU.UTF-8", 1);
  EXPECT_EQ(RegionalTime().date_text(at(9, 5, 7)), "05.03.2008");
  setenv("LC_ALL", "en_US.UTF-8", 1);
  EXPECT_EQ(RegionalTime().time_text(at(9, 5, 7)), "09:05:07 AM");
}

}  // namespace
}  // namespace vers::platform
