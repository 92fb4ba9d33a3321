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

void Rc4::skip(size_t count) {
  uint8_t i = i_, j = j_;
  uint8_t* s = state_.data();
  while (count-- > 0) {
    i = static_cast<uint8_t>(i + 1);
    j = static_cast<uint8_t>(j + s[i]);
    std::swap(s[i], s[j]);
  }
  i_ = i;
  j_ = j;
}

}  // namespace vers::engine::crypto
