#include "engine/crypto/digest.h"

#include "engine/crypto/openssl_library.h"
#include "engine/error.h"

namespace vers::engine::crypto {

namespace {

// Only a broken OpenSSL installation gets here: MD5 and SHA-1 are in its
// default provider.
[[noreturn]] void openssl_failed() {
  throw EngineError("Библиотека OpenSSL не смогла вычислить хеш: расшифровать книгу нельзя");
}

}  // namespace

// The algorithm is looked up once (an implicit lookup at every hash costs
// as much as hashing a short key), and the context is reset, not remade.
struct Digest::Context {
  explicit Context(Algorithm algorithm)
      : lib(openssl()),
        md(lib.md_fetch(nullptr, algorithm == Algorithm::Md5 ? "MD5" : "SHA1", nullptr)),
        ctx(lib.ctx_new()) {}
  ~Context() {
    lib.ctx_free(ctx);
    lib.md_free(md);
  }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  const OpensslFunctions& lib;
  EVP_MD* md;
  EVP_MD_CTX* ctx;
};

Digest::Digest(Algorithm algorithm) : context_(std::make_unique<Context>(algorithm)) {
  if (!context_->md || !context_->ctx) openssl_failed();
  size_ = static_cast<size_t>(context_->lib.md_get_size(context_->md));
}

Digest::~Digest() = default;
Digest::Digest(Digest&&) noexcept = default;
Digest& Digest::operator=(Digest&&) noexcept = default;

void Digest::hash(std::initializer_list<std::span<const uint8_t>> parts, std::span<uint8_t> out) {
  const OpensslFunctions& lib = context_->lib;
  if (out.size() < size_ || lib.digest_init(context_->ctx, context_->md, nullptr) != 1) openssl_failed();
  for (const std::span<const uint8_t> part : parts) {
    if (lib.digest_update(context_->ctx, part.data(), part.size()) != 1) openssl_failed();
  }
  unsigned int length = 0;
  if (lib.digest_final(context_->ctx, out.data(), &length) != 1 || length != size_) openssl_failed();
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
