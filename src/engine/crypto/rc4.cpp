#include "engine/crypto/rc4.h"

#include <utility>

namespace vers::engine::crypto {

Rc4::Rc4(std::span<const uint8_t> key) {
  for (size_t n = 0; n < state_.size(); ++n) state_[n] = static_cast<uint8_t>(n);
  uint8_t j = 0;
  size_t k = 0;
  for (size_t n = 0; n < state_.size(); ++n) {
    j = static_cast<uint8_t>(j + state_[n] + key[k]);
    std::swap(state_[n], state_[j]);
    if (++k == key.size()) k = 0;
  }
}

// The loops work on local copies of the indices: the data may be any byte
// in memory, so the compiler could not otherwise keep them in registers.
void Rc4::apply(std::span<uint8_t> data) {
  uint8_t i = i_, j = j_;
  uint8_t* s = state_.data();
  for (uint8_t& byte : data) {
    i = static_cast<uint8_t>(i + 1);
    const uint8_t si = s[i];
    j = static_cast<uint8_t>(j + si);
    const uint8_t sj = s[j];
    s[i] = sj;
    s[j] = si;
    byte ^= s[static_cast<uint8_t>(si + sj)];
  }
  i_ = i;
  j_ = j;
}

void rc4_key_streams(const std::array<std::span<const uint8_t>, kStreamsAtOnce>& keys,
                     const std::array<std::span<uint8_t>, kStreamsAtOnce>& out) {
  constexpr size_t N = kStreamsAtOnce;
  std::array<std::array<uint8_t, 256>, N> s;
  for (size_t n = 0; n < 256; ++n)
    for (size_t k = 0; k < N; ++k) s[k][n] = static_cast<uint8_t>(n);
  std::array<uint8_t, N> j{};
  const size_t key_size = keys[0].size();
  size_t at = 0;
  for (size_t n = 0; n < 256; ++n) {
    for (size_t k = 0; k < N; ++k) {
      j[k] = static_cast<uint8_t>(j[k] + s[k][n] + keys[k][at]);
      std::swap(s[k][n], s[k][j[k]]);
    }
    if (++at == key_size) at = 0;
  }
  j = {};
  uint8_t i = 0;
  const size_t length = out[0].size();
  for (size_t n = 0; n < length; ++n) {
    i = static_cast<uint8_t>(i + 1);
    for (size_t k = 0; k < N; ++k) {
      const uint8_t si = s[k][i];
      j[k] = static_cast<uint8_t>(j[k] + si);
      const uint8_t sj = s[k][j[k]];
      s[k][i] = sj;
      s[k][j[k]] = si;
      out[k][n] = s[k][static_cast<uint8_t>(si + sj)];
    }
  }
}

}  // namespace vers::engine::crypto
