// The printed form of numbers: integral values without a fraction, others
// in the shortest form that reads back as the same double.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "engine/value.h"

namespace vers::engine {
namespace {

TEST(ValueFormat, PrintsNumbersAsTheyReadBack) {
  struct Case {
    double value;
    const char* expected;
  };
  const Case cases[] = {
      {0.0, "0"},
      {-0.0, "0"},
      {606024, "606024"},
      {-17, "-17"},
      {0.5, "0.5"},
      {-2.25, "-2.25"},
      {0.1 + 0.2, "0.30000000000000004"},
      {9007199254740993.0, "9007199254740992"},        // the double nearest 2^53 + 1
      {9223372036854774784.0, "9223372036854774784"},  // the largest double below 2^63
      {9223372036854775808.0, "9223372036854775808"},  // 2^63 itself
      {-9223372036854775808.0, "-9223372036854775808"},
      {1e20, "100000000000000000000"},
      {1e21, "1e+21"},
      {1.5e300, "1.5e+300"},
      {std::numeric_limits<double>::infinity(), "inf"},
  };
  for (const Case& c : cases) EXPECT_EQ(format_number(c.value), c.expected) << c.expected;
  EXPECT_EQ(to_text(Value::number(42)), "42");
}

}  // namespace
}  // namespace vers::engine
