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

  // Drops the next count bytes of the key stream.
  void skip(size_t count);

 private:
  std::array<uint8_t, 256> state_{};
  uint8_t i_ = 0;
  uint8_t j_ = 0;
};

}  // namespace vers::engine::crypto
