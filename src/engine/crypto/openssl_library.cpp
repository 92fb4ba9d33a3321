#include "engine/crypto/openssl_library.h"

#include <dlfcn.h>

#include "engine/error.h"

#ifndef VERS_LIBCRYPTO_NAME
#error "VERS_LIBCRYPTO_NAME names the shared libcrypto to load (the build sets it)"
#endif

namespace vers::engine::crypto {

namespace {

[[noreturn]] void unavailable(const std::string& library, const std::string& why) {
  throw EngineError("Не удалось загрузить библиотеку OpenSSL (" + library + "): " + why +
                    "; расшифровать книгу нельзя");
}

template <typename Function>
void take(void* handle, const char* name, const std::string& library, Function& out) {
  void* found = ::dlsym(handle, name);
  if (!found) unavailable(library, std::string("нет функции ") + name);
  out = reinterpret_cast<Function>(found);
}

}  // namespace

OpensslFunctions load_openssl(const std::string& library) {
  // Never closed: the functions stay in use until the process ends.
  void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = ::dlerror();
    unavailable(library, why ? why : "причина неизвестна");
  }
  OpensslFunctions f{};
  take(handle, "OPENSSL_init_crypto", library, f.init_crypto);
  take(handle, "EVP_MD_fetch", library, f.md_fetch);
  take(handle, "EVP_MD_free", library, f.md_free);
  take(handle, "EVP_MD_get_size", library, f.md_get_size);
  take(handle, "EVP_MD_CTX_new", library, f.ctx_new);
  take(handle, "EVP_MD_CTX_free", library, f.ctx_free);
  take(handle, "EVP_DigestInit_ex", library, f.digest_init);
  take(handle, "EVP_DigestUpdate", library, f.digest_update);
  take(handle, "EVP_DigestFinal_ex", library, f.digest_final);
  // MD5 and SHA-1 are in the default provider, which loads without the
  // system's configuration; reading and applying that file is a good part
  // of OpenSSL's start-up, and a configuration that left the default
  // provider out would only keep workbooks closed.
  if (f.init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr) != 1) unavailable(library, "она не запускается");
  return f;
}

const OpensslFunctions& openssl() {
  // A failed load throws out of the initialisation, so the next call tries
  // again.
  static const OpensslFunctions functions = load_openssl(VERS_LIBCRYPTO_NAME);
  return functions;
}

}  // namespace vers::engine::crypto
