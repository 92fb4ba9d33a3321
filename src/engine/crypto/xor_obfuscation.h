// XOR obfuscation of binary workbooks ("method 1"): a 16-bit key, a 16-bit
// password verifier and a 16-byte XOR array, all made from the password's
// single-byte characters (1 to 15 of them).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace vers::engine::crypto {

// The obfuscation key that the FILEPASS record stores beside the verifier.
uint16_t xor_obfuscation_key(std::string_view password);

// The password verifier that the FILEPASS record stores.
uint16_t xor_password_verifier(std::string_view password);

// The 16 bytes that obfuscated data is XORed with, cyclically.
std::array<uint8_t, 16> xor_obfuscation_array(std::string_view password);

// Recovers one obfuscated byte: XOR with its array byte, then rotate right
// by 5 bits (the writer rotated left by 5, then XORed).
inline uint8_t xor_deobfuscate(uint8_t byte, uint8_t array_byte) {
  const uint8_t value = byte ^ array_byte;
  return static_cast<uint8_t>((value >> 5) | (value << 3));
}

}  // namespace vers::engine::crypto
