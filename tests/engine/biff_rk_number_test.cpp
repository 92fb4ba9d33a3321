#include <gtest/gtest.h>

#include <cstring>

#include "engine/biff/rk_number.h"

namespace vers::engine::biff {
namespace {

TEST(BiffRkNumber, DecodesEveryForm) {
  struct Case {
    uint32_t rk;
    double expected;
  };
  const Case cases[] = {
      {0x00000002, 0},             // integer 0
      {(606024u << 2) | 2, 606024},  // integer
      {0xFFFFFFBE, -17},           // negative integer: -17 << 2 | 2
      {(1234u << 2) | 3, 12.34},   // integer, divided by 100
      {0x3FF00000, 1.0},           // the upper half of a double
      {0xC0240000, -10.0},
      {0x3FF00001, 0.01},          // double 1.0 divided by 100
  };
  for (const Case& c : cases) EXPECT_EQ(decode_rk(c.rk), c.expected) << std::hex << c.rk;
}

}  // namespace
}  // namespace vers::engine::biff
