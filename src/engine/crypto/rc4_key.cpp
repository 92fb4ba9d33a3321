#include "engine/crypto/rc4_key.h"

#include <algorithm>

#include "engine/crypto/digest.h"
#include "engine/crypto/rc4.h"

namespace vers::engine::crypto {

namespace {

std::vector<uint8_t> utf16le(std::u16string_view text) {
  std::vector<uint8_t> out;
  out.reserve(text.size() * 2);
  for (char16_t unit : text) {
    out.push_back(static_cast<uint8_t>(unit & 0xFF));
    out.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return out;
}

void append(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

Rc4KeyDerivation Rc4KeyDerivation::standard(std::u16string_view password, std::span<const uint8_t> salt) {
  // The password's hash, cut to 40 bits, is mixed with the salt sixteen
  // times over; that hash, cut to 40 bits again, is the base of every block key.
  const Md5Digest password_hash = md5(utf16le(password));
  std::vector<uint8_t> mixed;
  for (int round = 0; round < 16; ++round) {
    append(mixed, std::span(password_hash).first(5));
    append(mixed, salt);
  }
  const Md5Digest mixed_hash = md5(mixed);
  return Rc4KeyDerivation(Digest::Algorithm::Md5, std::vector<uint8_t>(mixed_hash.begin(), mixed_hash.begin() + 5),
                          16, 16);
}

Rc4KeyDerivation Rc4KeyDerivation::cryptoapi(std::u16string_view password, std::span<const uint8_t> salt,
                                             uint32_t key_bits) {
  std::vector<uint8_t> salted(salt.begin(), salt.end());
  append(salted, utf16le(password));
  const Sha1Digest base = sha1(salted);
  const size_t key_bytes = key_bits / 8;
  // A 40-bit key is used as 128 bits, the rest zeros.
  const size_t padded_bytes = key_bits == 40 ? 16 : key_bytes;
  return Rc4KeyDerivation(Digest::Algorithm::Sha1, std::vector<uint8_t>(base.begin(), base.end()), key_bytes,
                          padded_bytes);
}

std::vector<uint8_t> Rc4KeyDerivation::hash(std::initializer_list<std::span<const uint8_t>> parts) const {
  std::vector<uint8_t> out(digest_.size());
  digest_.hash(parts, out);
  return out;
}

std::vector<uint8_t> Rc4KeyDerivation::block_key(uint32_t block) const {
  const uint8_t number[4] = {static_cast<uint8_t>(block), static_cast<uint8_t>(block >> 8),
                             static_cast<uint8_t>(block >> 16), static_cast<uint8_t>(block >> 24)};
  std::vector<uint8_t> key = hash({base_, number});
  key.resize(key_bytes_);
  key.resize(padded_bytes_, 0);
  return key;
}

bool Rc4KeyDerivation::verifies(std::span<const uint8_t> encrypted_verifier,
                                std::span<const uint8_t> encrypted_verifier_hash) const {
  std::vector<uint8_t> verifier(encrypted_verifier.begin(), encrypted_verifier.end());
  std::vector<uint8_t> verifier_hash(encrypted_verifier_hash.begin(), encrypted_verifier_hash.end());
  Rc4 cipher(block_key(0));
  cipher.apply(verifier);
  cipher.apply(verifier_hash);
  const std::vector<uint8_t> expected = hash({verifier});
  return verifier_hash.size() == expected.size() && std::equal(expected.begin(), expected.end(), verifier_hash.begin());
}

}  // namespace vers::engine::crypto
