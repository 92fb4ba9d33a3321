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

// How many key streams rc4_key_streams makes at once.
inline constexpr size_t kStreamsAtOnce = 4;

// Writes the first bytes of the key streams of kStreamsAtOnce keys of the
// same length, each to its out, which are of one size. The streams are
// computed in one loop: they do not depend on each other, so the processor
// works on all of them at once, which takes about half the time of one
// after the other. Keys of 1 to 256 bytes.
void rc4_key_streams(const std::array<std::span<const uint8_t>, kStreamsAtOnce>& keys,
                     const std::array<std::span<uint8_t>, kStreamsAtOnce>& out);

}  // namespace vers::engine::crypto
