// OpenSSL's libcrypto, loaded the first time a workbook needs decrypting.
// Most workbooks are not encrypted; a process that never decrypts does not
// pay for loading and relocating the library, which costs about as much as
// checking a large form.
#pragma once

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <string>

namespace vers::engine::crypto {

// The few functions the digests call, taken from the loaded library.
struct OpensslFunctions {
  decltype(&OPENSSL_init_crypto) init_crypto;
  decltype(&EVP_MD_fetch) md_fetch;
  decltype(&EVP_MD_free) md_free;
  decltype(&EVP_MD_get_size) md_get_size;
  decltype(&EVP_MD_CTX_new) ctx_new;
  decltype(&EVP_MD_CTX_free) ctx_free;
  decltype(&EVP_DigestInit_ex) digest_init;
  decltype(&EVP_DigestUpdate) digest_update;
  decltype(&EVP_DigestFinal_ex) digest_final;
};

// The system's libcrypto, loaded and started on the first call (without
// reading the system's OpenSSL configuration: the hashes need nothing of
// it). Throws EngineError, on this and every later call, when it cannot be
// loaded or lacks a function.
const OpensslFunctions& openssl();

// Loads the library of that name afresh, for openssl() and for tests.
// Throws EngineError when it cannot be loaded or lacks a function.
OpensslFunctions load_openssl(const std::string& library);

}  // namespace vers::engine::crypto
