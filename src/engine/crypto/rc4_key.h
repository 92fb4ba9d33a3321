// Password-based keys of RC4-encrypted binary workbooks. The stream is cut
// into blocks of 1024 bytes and each block is encrypted with a key of its
// own, derived from the password, the file's salt and the block's number.
// Two methods exist: "RC4" (version 1.1, MD5 based, 128-bit keys) and
// "RC4 CryptoAPI" (versions 2.2, 3.2, 4.2, SHA-1 based, 40 to 128 bits).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/crypto/digest.h"

namespace vers::engine::crypto {

class Rc4KeyDerivation {
 public:
  // RC4 (version 1.1) with its 16-byte salt.
  static Rc4KeyDerivation standard(std::u16string_view password, std::span<const uint8_t> salt);

  // RC4 CryptoAPI; key_bits is a multiple of 8 from 40 to 128.
  static Rc4KeyDerivation cryptoapi(std::u16string_view password, std::span<const uint8_t> salt,
                                    uint32_t key_bits);

  // The RC4 key of block number block.
  std::vector<uint8_t> block_key(uint32_t block) const;

  // True when the password opens the file: the 16-byte verifier and its
  // hash (16 bytes for RC4, 20 for CryptoAPI), both encrypted one after the
  // other with the key of block 0, decrypt to a verifier and its hash.
  bool verifies(std::span<const uint8_t> encrypted_verifier,
                std::span<const uint8_t> encrypted_verifier_hash) const;

 private:
  Rc4KeyDerivation(Digest::Algorithm hash, std::vector<uint8_t> base, size_t key_bytes, size_t padded_bytes)
      : digest_(hash), base_(std::move(base)), key_bytes_(key_bytes), padded_bytes_(padded_bytes) {}

  std::vector<uint8_t> hash(std::initializer_list<std::span<const uint8_t>> parts) const;

  mutable Digest digest_;      // reused for every block: it holds no state between hashes
  std::vector<uint8_t> base_;  // the hashed password that each block's number is appended to
  size_t key_bytes_;           // bytes of the block hash taken as key
  size_t padded_bytes_;        // the key's length after zero padding
};

}  // namespace vers::engine::crypto
