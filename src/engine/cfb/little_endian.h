// Reading little-endian integers from bytes whose bounds the caller has
// already checked. Both the container and the record layer use these.
#pragma once

#include <cstdint>
#include <cstring>

namespace vers::engine {

inline uint16_t read_u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t read_u32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

inline uint64_t read_u64(const uint8_t* p) { return read_u32(p) | (static_cast<uint64_t>(read_u32(p + 4)) << 32); }

inline double read_f64(const uint8_t* p) {
  const uint64_t bits = read_u64(p);
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

}  // namespace vers::engine
