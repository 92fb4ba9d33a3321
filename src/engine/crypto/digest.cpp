#include "engine/crypto/digest.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include "engine/error.h"

namespace vers::engine::crypto {

namespace {

// Only a broken OpenSSL installation gets here: MD5 and SHA-1 are in its
// default provider.
[[noreturn]] void openssl_failed() {
  throw EngineError("Библиотека OpenSSL не смогла вычислить хеш: расшифровать книгу нельзя");
}

// The hashes need nothing of the system's OpenSSL configuration: MD5 and
// SHA-1 are in the default provider, which loads without it. Reading and
// applying that file is a good part of OpenSSL's start-up, and a
// configuration that left the default provider out would only keep
// workbooks closed.
void start_openssl() {
  static const bool started = OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr) == 1;
  if (!started) openssl_failed();
}

}  // namespace

// The algorithm is looked up once (an implicit lookup at every hash costs
// as much as hashing a short key), and the context is reset, not remade.
struct Digest::Context {
  explicit Context(Algorithm algorithm)
      : md((start_openssl(), EVP_MD_fetch(nullptr, algorithm == Algorithm::Md5 ? "MD5" : "SHA1", nullptr))), ctx(EVP_MD_CTX_new()) {}
  ~Context() {
    EVP_MD_CTX_free(ctx);
    EVP_MD_free(md);
  }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  EVP_MD* md;
  EVP_MD_CTX* ctx;
};

Digest::Digest(Algorithm algorithm) : context_(std::make_unique<Context>(algorithm)) {
  if (!context_->md || !context_->ctx) openssl_failed();
  size_ = static_cast<size_t>(EVP_MD_get_size(context_->md));
}

Digest::~Digest() = default;
Digest::Digest(Digest&&) noexcept = default;
Digest& Digest::operator=(Digest&&) noexcept = default;

void Digest::hash(std::initializer_list<std::span<const uint8_t>> parts, std::span<uint8_t> out) {
  if (out.size() < size_ || EVP_DigestInit_ex(context_->ctx, context_->md, nullptr) != 1) openssl_failed();
  for (const std::span<const uint8_t> part : parts) {
    if (EVP_DigestUpdate(context_->ctx, part.data(), part.size()) != 1) openssl_failed();
  }
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context_->ctx, out.data(), &length) != 1 || length != size_) openssl_failed();
}

Md5Digest md5(std::span<const uint8_t> data) {
  Md5Digest out{};
  Digest(Digest::Algorithm::Md5).hash({data}, out);
  return out;
}

Sha1Digest sha1(std::span<const uint8_t> data) {
  Sha1Digest out{};
  Digest(Digest::Algorithm::Sha1).hash({data}, out);
  return out;
}

}  // namespace vers::engine::crypto
