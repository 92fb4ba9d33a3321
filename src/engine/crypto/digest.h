// The message digests that password-based key derivation needs, computed by
// OpenSSL's libcrypto.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace vers::engine::crypto {

using Md5Digest = std::array<uint8_t, 16>;
using Sha1Digest = std::array<uint8_t, 20>;

Md5Digest md5(std::span<const uint8_t> data);
Sha1Digest sha1(std::span<const uint8_t> data);

}  // namespace vers::engine::crypto
