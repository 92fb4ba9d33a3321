#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/crypto/digest.h"
#include "engine/crypto/openssl_library.h"
#include "engine/error.h"
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
// (RFC 6229), made beside those of other keys of the same length, which
// come out as the one cipher alone gives them.
TEST(CryptoRc4Test, MakesSeveralKeyStreamsAtOnce) {
  const std::vector<uint8_t> key = {1, 2, 3, 4, 5};
  const struct {
    size_t offset;
    std::string stream;
  } published[] = {
      {0, "b2396305f03dc027ccc3524a0a1118a8"},    {16, "6982944f18fc82d589c403a47a0d0919"},
      {240, "28cb1132c96ce286421dcaadb8b69eae"},  {256, "1cfcf62b03eddb641d77dfcf7f8d8c93"},
      {496, "42b7d0cdd918a8a33dd51781c81f4041"},  {1008, "45129048e6a0ed0b56b490338f078da5"},
  };
  // Each stream at once is the stream of its key alone.
  const auto expect_each_alone = [](const std::array<std::vector<uint8_t>, kStreamsAtOnce>& keys, size_t length) {
    std::array<std::vector<uint8_t>, kStreamsAtOnce> streams;
    std::array<std::span<const uint8_t>, kStreamsAtOnce> key_views;
    std::array<std::span<uint8_t>, kStreamsAtOnce> out;
    for (size_t k = 0; k < kStreamsAtOnce; ++k) {
      streams[k].assign(length, 0xAA);
      key_views[k] = keys[k];
      out[k] = streams[k];
    }
    rc4_key_streams(key_views, out);
    for (size_t k = 0; k < kStreamsAtOnce; ++k) {
      std::vector<uint8_t> alone(length, 0);
      Rc4(keys[k]).apply(alone);
      EXPECT_EQ(streams[k], alone) << "stream " << k;
    }
    return streams;
  };
  const auto streams = expect_each_alone({key, bytes("Wiki!"), bytes("Secre"), std::vector<uint8_t>{1, 2, 3, 4, 5}}, 1024);
  for (const auto& c : published) {
    EXPECT_EQ(std::vector<uint8_t>(streams[0].begin() + c.offset, streams[0].begin() + c.offset + 16), hex(c.stream))
        << "offset " << c.offset;
  }
  // Keys of the longest length, and a stream shorter than the state.
  std::array<std::vector<uint8_t>, kStreamsAtOnce> longest;
  for (size_t k = 0; k < kStreamsAtOnce; ++k)
    for (size_t n = 0; n < 256; ++n) longest[k].push_back(static_cast<uint8_t>(n * (31 + 2 * k) + 7 * k));
  expect_each_alone(longest, 100);
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

// One digest hashes again and again, and hashing parts is hashing them
// joined.
TEST(CryptoDigestTest, ReusedDigestHashesEachInputOnItsOwn) {
  const std::vector<uint8_t> a = bytes("a"), bc = bytes("bc"), abc = bytes("abc");
  const struct {
    Digest::Algorithm algorithm;
    const char* abc_hash;
    const char* empty_hash;
  } cases[] = {
      {Digest::Algorithm::Md5, "900150983cd24fb0d6963f7d28e17f72", "d41d8cd98f00b204e9800998ecf8427e"},
      {Digest::Algorithm::Sha1, "a9993e364706816aba3e25717850c26c9cd0d89d", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
  };
  for (const auto& c : cases) {
    Digest digest(c.algorithm);
    std::vector<uint8_t> out(digest.size());
    for (int round = 0; round < 2; ++round) {
      digest.hash({abc}, out);
      EXPECT_EQ(out, hex(c.abc_hash));
      digest.hash({}, out);
      EXPECT_EQ(out, hex(c.empty_hash));
      digest.hash({a, {}, bc}, out);
      EXPECT_EQ(out, hex(c.abc_hash));
    }
  }
}

// A libcrypto that cannot be had fails with a message that names it,
// rather than a crash at the first hash.
TEST(CryptoOpensslLibraryTest, LibraryThatCannotBeHadFailsNamingIt) {
  const struct {
    const char* library;
    const char* why;
  } cases[] = {
      {"libvers-no-such-library.so.9", "libvers-no-such-library.so.9"},
      {"libz.so.1", "нет функции OPENSSL_init_crypto"},  // loads, but is not libcrypto
  };
  for (const auto& c : cases) {
    try {
      load_openssl(c.library);
      ADD_FAILURE() << c.library << " loaded";
    } catch (const EngineError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find(c.library), std::string::npos) << message;
      EXPECT_NE(message.find(c.why), std::string::npos) << message;
      EXPECT_NE(message.find("расшифровать книгу нельзя"), std::string::npos) << message;
    }
  }
}

}  // namespace
}  // namespace vers::engine::crypto
