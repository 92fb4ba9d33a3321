#include "engine/crypto/xor_obfuscation.h"

#include <cstddef>

namespace vers::engine::crypto {

namespace {

// Fills the array past the password's characters.
constexpr std::array<uint8_t, 15> kPad = {0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80,
                                          0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00};

// The key's starting value, by the password's length less one.
constexpr std::array<uint16_t, 15> kInitialCode = {0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C,
                                                   0x0E10, 0xF1CE, 0x313E, 0x1872, 0xE139,
                                                   0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3};

// One value per bit of the password: 7 bits for each of up to 15 characters.
constexpr std::array<uint16_t, 105> kMatrix = {
    0xAEFC, 0x4DD9, 0x9BB2, 0x2745, 0x4E8A, 0x9D14, 0x2A09, 0x7B61, 0xF6C2, 0xFDA5, 0xEB6B, 0xC6F7,
    0x9DCF, 0x2BBF, 0x4563, 0x8AC6, 0x05AD, 0x0B5A, 0x16B4, 0x2D68, 0x5AD0, 0x0375, 0x06EA, 0x0DD4,
    0x1BA8, 0x3750, 0x6EA0, 0xDD40, 0xD849, 0xA0B3, 0x5147, 0xA28E, 0x553D, 0xAA7A, 0x44D5, 0x6F45,
    0xDE8A, 0xAD35, 0x4A4B, 0x9496, 0x390D, 0x721A, 0xEB23, 0xC667, 0x9CEF, 0x29FF, 0x53FE, 0xA7FC,
    0x5FD9, 0x47D3, 0x8FA6, 0x0F6D, 0x1EDA, 0x3DB4, 0x7B68, 0xF6D0, 0xB861, 0x60E3, 0xC1C6, 0x93AD,
    0x377B, 0x6EF6, 0xDDEC, 0x45A0, 0x8B40, 0x06A1, 0x0D42, 0x1A84, 0x3508, 0x6A10, 0xAA51, 0x4483,
    0x8906, 0x022D, 0x045A, 0x08B4, 0x1168, 0x76B4, 0xED68, 0xCAF1, 0x85C3, 0x1BA7, 0x374E, 0x6E9C,
    0x3730, 0x6E60, 0xDCC0, 0xA9A1, 0x4363, 0x86C6, 0x1DAD, 0x3331, 0x6662, 0xCCC4, 0x89A9, 0x0373,
    0x06E6, 0x0DCC, 0x1021, 0x2042, 0x4084, 0x8108, 0x1231, 0x2462, 0x48C4};

constexpr size_t kMaxPassword = 15;

std::string_view usable(std::string_view password) { return password.substr(0, kMaxPassword); }

// XOR, then rotate right by one bit.
uint8_t xor_ror(uint8_t a, uint8_t b) {
  const uint8_t value = a ^ b;
  return static_cast<uint8_t>((value >> 1) | (value << 7));
}

}  // namespace

uint16_t xor_obfuscation_key(std::string_view password) {
  password = usable(password);
  if (password.empty()) return 0;
  uint16_t key = kInitialCode[password.size() - 1];
  // The last character takes the matrix's last 7 values, the one before it
  // the 7 before those, and so on; each set bit XORs its value in.
  size_t element = kMatrix.size() - 1;
  for (auto it = password.rbegin(); it != password.rend(); ++it) {
    uint8_t c = static_cast<uint8_t>(*it);
    for (int bit = 0; bit < 7; ++bit) {
      if (c & 0x40) key ^= kMatrix[element];
      c = static_cast<uint8_t>(c << 1);
      --element;
    }
  }
  return key;
}

uint16_t xor_password_verifier(std::string_view password) {
  password = usable(password);
  // The characters from the last to the first, then the length, are folded
  // into a 15-bit rotating value.
  uint16_t verifier = 0;
  auto fold = [&verifier](uint8_t byte) {
    const uint16_t high_bit = (verifier & 0x4000) ? 1 : 0;
    verifier = static_cast<uint16_t>((((verifier << 1) & 0x7FFF) | high_bit) ^ byte);
  };
  for (auto it = password.rbegin(); it != password.rend(); ++it) fold(static_cast<uint8_t>(*it));
  fold(static_cast<uint8_t>(password.size()));
  return verifier ^ 0xCE4B;
}

std::array<uint8_t, 16> xor_obfuscation_array(std::string_view password) {
  password = usable(password);
  std::array<uint8_t, 16> array{};
  if (password.empty()) return array;
  const uint16_t key = xor_obfuscation_key(password);
  const uint8_t key_high = static_cast<uint8_t>(key >> 8);
  const uint8_t key_low = static_cast<uint8_t>(key & 0xFF);
  // Even positions mix in the key's low byte, odd ones its high byte.
  auto mix = [&](size_t index, uint8_t byte) { array[index] = xor_ror(byte, index % 2 ? key_high : key_low); };

  const size_t length = password.size();
  for (size_t n = 0; n < length; ++n) mix(n, static_cast<uint8_t>(password[n]));
  // The positions after the password take the pad from its start.
  for (size_t n = length; n < 16; ++n) mix(n, kPad[n - length]);
  return array;
}

}  // namespace vers::engine::crypto
