#include "engine/crypto/digest.h"

#include <openssl/evp.h>

#include "engine/error.h"

namespace vers::engine::crypto {

namespace {

template <size_t N>
std::array<uint8_t, N> digest(const EVP_MD* algorithm, std::span<const uint8_t> data) {
  std::array<uint8_t, N> out{};
  unsigned int length = 0;
  if (EVP_Digest(data.data(), data.size(), out.data(), &length, algorithm, nullptr) != 1 || length != N) {
    // Only a broken OpenSSL installation gets here: MD5 and SHA-1 are in its
    // default provider.
    throw EngineError("Библиотека OpenSSL не смогла вычислить хеш: расшифровать книгу нельзя");
  }
  return out;
}

}  // namespace

Md5Digest md5(std::span<const uint8_t> data) { return digest<16>(EVP_md5(), data); }

Sha1Digest sha1(std::span<const uint8_t> data) { return digest<20>(EVP_sha1(), data); }

}  // namespace vers::engine::crypto
