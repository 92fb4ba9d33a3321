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

void rc4_key_streams(std::span<const uint8_t> key_a, std::span<const uint8_t> key_b, std::span<uint8_t> out_a,
                     std::span<uint8_t> out_b) {
  std::array<uint8_t, 256> a, b;
  for (size_t n = 0; n < a.size(); ++n) a[n] = b[n] = static_cast<uint8_t>(n);
  uint8_t ja = 0, jb = 0;
  size_t k = 0;
  for (size_t n = 0; n < a.size(); ++n) {
    ja = static_cast<uint8_t>(ja + a[n] + key_a[k]);
    jb = static_cast<uint8_t>(jb + b[n] + key_b[k]);
    std::swap(a[n], a[ja]);
    std::swap(b[n], b[jb]);
    if (++k == key_a.size()) k = 0;
  }
  uint8_t i = 0;
  ja = jb = 0;
  for (size_t n = 0; n < out_a.size(); ++n) {
    i = static_cast<uint8_t>(i + 1);
    const uint8_t sa = a[i], sb = b[i];
    ja = static_cast<uint8_t>(ja + sa);
    jb = static_cast<uint8_t>(jb + sb);
    const uint8_t ta = a[ja], tb = b[jb];
    a[i] = ta;
    a[ja] = sa;
    b[i] = tb;
    b[jb] = sb;
    out_a[n] = a[static_cast<uint8_t>(sa + ta)];
    out_b[n] = b[static_cast<uint8_t>(sb + tb)];
  }
}

}  // namespace vers::engine::crypto
