// The message digests that password-based key derivation needs, computed by
// OpenSSL's libcrypto.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>

namespace vers::engine::crypto {

using Md5Digest = std::array<uint8_t, 16>;
using Sha1Digest = std::array<uint8_t, 20>;

Md5Digest md5(std::span<const uint8_t> data);
Sha1Digest sha1(std::span<const uint8_t> data);

// One hash function with its OpenSSL context, kept for hashing again and
// again: every 1024-byte block of an encrypted stream has a hashed key, and
// making a context for each would cost more than the hash itself.
class Digest {
 public:
  enum class Algorithm { Md5, Sha1 };

  // Throws EngineError when OpenSSL lacks the algorithm.
  explicit Digest(Algorithm algorithm);
  ~Digest();
  Digest(Digest&&) noexcept;
  Digest& operator=(Digest&&) noexcept;

  // Bytes of a hash: 16 for MD5, 20 for SHA-1.
  size_t size() const { return size_; }

  // Hashes the parts, one after the other, into out, which holds size()
  // bytes. Throws EngineError when OpenSSL fails.
  void hash(std::initializer_list<std::span<const uint8_t>> parts, std::span<uint8_t> out);

 private:
  struct Context;
  std::unique_ptr<Context> context_;
  size_t size_ = 0;
};

}  // namespace vers::engine::crypto
