#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "engine/biff/record_types.h"
#include "engine/cfb/little_endian.h"
#include "engine/crypto/rc4_key.h"
#include "engine/crypto/xor_obfuscation.h"
#include "engine/crypto_streams.h"

namespace vers::engine::crypto {
namespace {

using testing::find_record;
using testing::fixture_stream;

// The data of the FILEPASS record of a fixture.
std::vector<uint8_t> filepass_of(const std::string& fixture) {
  const std::vector<uint8_t> stream = fixture_stream(fixture);
  const size_t at = find_record(stream, biff::record::kFilePass);
  if (at == SIZE_MAX) {
    ADD_FAILURE() << fixture << " has no FILEPASS";
    return {};
  }
  const size_t size = read_u16(stream.data() + at + 2);
  return {stream.begin() + at + 4, stream.begin() + at + 4 + size};
}

std::span<const uint8_t> part(const std::vector<uint8_t>& data, size_t at, size_t count) {
  return std::span(data).subspan(at, count);
}

// LibreOffice encrypts a workbook with a protected structure with RC4 1.1
// under the default password: salt, verifier and verifier hash follow the
// method and version words.
TEST(CryptoKeysTest, Rc4VerifierOfLibreOfficeAcceptsOnlyTheDefaultPassword) {
  const std::vector<uint8_t> pass = filepass_of("crypt_locked.xls");
  ASSERT_EQ(pass.size(), 54u);
  ASSERT_EQ(read_u16(pass.data()), 1);      // RC4
  ASSERT_EQ(read_u16(pass.data() + 2), 1);  // version 1.1
  ASSERT_EQ(read_u16(pass.data() + 4), 1);
  const struct {
    std::u16string password;
    bool opens;
  } cases[] = {{u"VelvetSweatshop", true}, {u"velvetsweatshop", false}, {u"", false}, {u"секрет", false}};
  for (const auto& c : cases) {
    const Rc4KeyDerivation keys = Rc4KeyDerivation::standard(c.password, part(pass, 6, 16));
    EXPECT_EQ(keys.verifies(part(pass, 22, 16), part(pass, 38, 16)), c.opens);
  }
}

// Apache POI writes RC4 CryptoAPI with a 40-bit key, which is used as a
// 128-bit one whose last 88 bits are zero.
TEST(CryptoKeysTest, CryptoApiVerifierOfPoiAcceptsOnlyTheDefaultPassword) {
  const std::vector<uint8_t> pass = filepass_of("crypt_poi_cryptoapi.xls");
  ASSERT_GE(pass.size(), 14u);
  ASSERT_EQ(read_u16(pass.data() + 4), 2);  // minor version of CryptoAPI
  const size_t header = 14;
  const size_t header_size = read_u32(pass.data() + 10);
  const uint32_t key_bits = read_u32(pass.data() + header + 16);
  ASSERT_EQ(key_bits, 40u);
  const size_t verifier = header + header_size;
  ASSERT_EQ(read_u32(pass.data() + verifier), 16u);       // salt size
  ASSERT_EQ(read_u32(pass.data() + verifier + 36), 20u);  // verifier hash size
  const auto salt = part(pass, verifier + 4, 16);
  for (const auto& [password, opens] : std::vector<std::pair<std::u16string, bool>>{
           {u"VelvetSweatshop", true}, {u"секрет", false}, {u"VelvetSweatshoP", false}}) {
    const Rc4KeyDerivation keys = Rc4KeyDerivation::cryptoapi(password, salt, key_bits);
    EXPECT_EQ(keys.verifies(part(pass, verifier + 20, 16), part(pass, verifier + 40, 20)), opens);
  }
  const std::vector<uint8_t> key = Rc4KeyDerivation::cryptoapi(u"VelvetSweatshop", salt, 40).block_key(0);
  ASSERT_EQ(key.size(), 16u);
  EXPECT_EQ(std::vector<uint8_t>(key.begin() + 5, key.end()), std::vector<uint8_t>(11, 0));
  EXPECT_EQ(Rc4KeyDerivation::cryptoapi(u"VelvetSweatshop", salt, 128).block_key(0).size(), 16u);
}

TEST(CryptoKeysTest, EveryBlockHasAKeyOfItsOwn) {
  const std::vector<uint8_t> salt(16, 0x5A);
  for (const Rc4KeyDerivation& keys : {Rc4KeyDerivation::standard(u"VelvetSweatshop", salt),
                                       Rc4KeyDerivation::cryptoapi(u"VelvetSweatshop", salt, 128)}) {
    EXPECT_NE(keys.block_key(0), keys.block_key(1));
    EXPECT_NE(keys.block_key(1), keys.block_key(2));
    EXPECT_EQ(keys.block_key(7), keys.block_key(7));
  }
}

// Key and verifier as Apache POI stores them in the FILEPASS of an
// XOR-obfuscated workbook; the verifier is the legacy sheet-protection
// hash too ("test" is CBEB, "password" 83AF).
TEST(CryptoKeysTest, XorKeyAndVerifierMatchKnownValues) {
  const struct {
    std::string password;
    uint16_t verifier;
  } verifiers[] = {{"VelvetSweatshop", 0x9A0A}, {"test", 0xCBEB}, {"password", 0x83AF}};
  for (const auto& c : verifiers) EXPECT_EQ(xor_password_verifier(c.password), c.verifier) << c.password;
  EXPECT_EQ(xor_obfuscation_key("VelvetSweatshop"), 0xB359);
}

// The array that Apache POI obfuscated the sheets of a workbook with under
// the default password (recovered from its output and the plain workbook).
TEST(CryptoKeysTest, XorArrayOfTheDefaultPassword) {
  const std::array<uint8_t, 16> expected = {135, 107, 154, 226, 30, 227, 5, 98, 30, 105, 150, 96, 152, 110, 148, 4};
  EXPECT_EQ(xor_obfuscation_array("VelvetSweatshop"), expected);
}

}  // namespace
}  // namespace vers::engine::crypto
