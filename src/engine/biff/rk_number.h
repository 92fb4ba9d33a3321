// The RK number: a compact 32-bit form of a cell's number. Bit 0 says the
// value was multiplied by 100, bit 1 that the upper 30 bits are a signed
// integer; otherwise they are the upper 30 bits of a double.
#pragma once

#include <cstdint>
#include <cstring>

namespace vers::engine::biff {

inline double decode_rk(uint32_t rk) {
  double value;
  if (rk & 0x02) {
    value = static_cast<double>(static_cast<int32_t>(rk) >> 2);
  } else {
    const uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFC) << 32;
    std::memcpy(&value, &bits, sizeof value);
  }
  return (rk & 0x01) ? value / 100 : value;
}

}  // namespace vers::engine::biff
