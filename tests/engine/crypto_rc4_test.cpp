#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/crypto/digest.h"
#include "engine/crypto/rc4.h"

namespace vers::engine::crypto {
namespace {

std::vector<uint8_t> bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<uint8_t> hex(const std::string& text) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < text.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
  return out;
}

struct KnownAnswer {
  std::string key;
  std::string plaintext;
  std::string ciphertext;  // hex
};

TEST(CryptoRc4Test, EncryptsThePublishedVectors) {
  const KnownAnswer cases[] = {
      {"Key", "Plaintext", "bbf316e8d940af0ad3"},
      {"Wiki", "pedia", "1021bf0420"},
      {"Secret", "Attack at dawn", "45a01f645fc35b383552544b9bf5"},
  };
  for (const KnownAnswer& c : cases) {
    std::vector<uint8_t> data = bytes(c.plaintext);
    Rc4(bytes(c.key)).apply(data);
    EXPECT_EQ(data, hex(c.ciphertext)) << c.key;
    Rc4(bytes(c.key)).apply(data);
    EXPECT_EQ(data, bytes(c.plaintext)) << "decrypting with " << c.key;
  }
}

// The key stream of the 40-bit key 0x0102030405 at several offsets
// (RFC 6229): reached by skipping, as a block's bytes in the clear are.
TEST(CryptoRc4Test, SkipsToAnyOffsetOfTheKeyStream) {
  const std::vector<uint8_t> key = {1, 2, 3, 4, 5};
  const struct {
    size_t offset;
    std::string stream;
  } cases[] = {
      {0, "b2396305f03dc027ccc3524a0a1118a8"},    {16, "6982944f18fc82d589c403a47a0d0919"},
      {240, "28cb1132c96ce286421dcaadb8b69eae"},  {256, "1cfcf62b03eddb641d77dfcf7f8d8c93"},
      {496, "42b7d0cdd918a8a33dd51781c81f4041"},  {1008, "45129048e6a0ed0b56b490338f078da5"},
  };
  for (const auto& c : cases) {
    Rc4 cipher(key);
    cipher.skip(c.offset);
    std::vector<uint8_t> data(16, 0);
    cipher.apply(data);
    EXPECT_EQ(data, hex(c.stream)) << "offset " << c.offset;
  }
  // Skipping and applying in pieces gives the same stream as one run.
  Rc4 whole(key), pieces(key);
  std::vector<uint8_t> a(300, 0), b(300, 0);
  whole.apply(a);
  pieces.skip(100);
  pieces.apply(std::span(b).subspan(100, 50));
  pieces.skip(7);
  pieces.apply(std::span(b).subspan(157));
  EXPECT_TRUE(std::equal(a.begin() + 100, a.begin() + 150, b.begin() + 100));
  EXPECT_TRUE(std::equal(a.begin() + 157, a.end(), b.begin() + 157));
}

TEST(CryptoDigestTest, HashesThePublishedVectors) {
  const std::vector<uint8_t> abc = bytes("abc");
  const Md5Digest m = md5(abc);
  EXPECT_EQ(std::vector<uint8_t>(m.begin(), m.end()), hex("900150983cd24fb0d6963f7d28e17f72"));
  const Sha1Digest s = sha1(abc);
  EXPECT_EQ(std::vector<uint8_t>(s.begin(), s.end()), hex("a9993e364706816aba3e25717850c26c9cd0d89d"));
  const Md5Digest empty = md5({});
  EXPECT_EQ(std::vector<uint8_t>(empty.begin(), empty.end()), hex("d41d8cd98f00b204e9800998ecf8427e"));
}

}  // namespace
}  // namespace vers::engine::crypto
