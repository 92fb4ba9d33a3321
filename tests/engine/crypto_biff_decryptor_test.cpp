#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "engine/biff/biff_version.h"
#include "engine/biff/record_types.h"
#include "engine/cfb/little_endian.h"
#include "engine/crypto/biff_decryptor.h"
#include "engine/crypto_streams.h"
#include "engine/error.h"

namespace vers::engine::crypto {
namespace {

using biff::BiffVersion;
using testing::find_record;
using testing::fixture_stream;
using testing::RawRecord;
using testing::records_of;

constexpr uint16_t kWindowProtect = 0x0019;
constexpr uint16_t kProtect = 0x0012;
constexpr uint16_t kPassword = 0x0013;
constexpr uint16_t kIndex = 0x020B;
constexpr uint16_t kDbCell = 0x00D7;
constexpr uint16_t kExtSst = 0x00FF;

// The records of a stream as far as they do not depend on where records
// lie in the stream, nor on the protection that made the writer encrypt.
std::vector<RawRecord> comparable_records(std::span<const uint8_t> stream) {
  std::vector<RawRecord> out;
  for (RawRecord r : records_of(stream)) {
    switch (r.type) {
      case biff::record::kFilePass:
      case kWindowProtect:
      case kProtect:
      case kPassword:
      case kIndex:
      case kDbCell:
      case kExtSst:
        continue;
      case biff::record::kBoundSheet:  // drop the sheet's stream position
        r.data.erase(r.data.begin(), r.data.begin() + std::min<size_t>(4, r.data.size()));
        break;
      default:
        break;
    }
    r.offset = 0;
    out.push_back(std::move(r));
  }
  return out;
}

bool same_records(const std::vector<RawRecord>& a, const std::vector<RawRecord>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const RawRecord& x, const RawRecord& y) {
           return x.type == y.type && x.data == y.data;
         });
}

struct EncryptedFixture {
  const char* encrypted;
  const char* plain;  // the same workbook saved by the same writer without encryption
};

// Encrypted by LibreOffice (RC4 1.1, for a protected structure) and by
// Apache POI (RC4 CryptoAPI and RC4 1.1) under the default password.
TEST(CryptoBiffDecryptorTest, DecryptedStreamHasThePlainWorkbooksRecords) {
  const EncryptedFixture cases[] = {
      {"crypt_locked.xls", "crypt_plain.xls"},
      {"crypt_poi_cryptoapi.xls", "crypt_poi_plain.xls"},
      {"crypt_poi_rc4.xls", "crypt_poi_plain.xls"},
  };
  for (const EncryptedFixture& c : cases) {
    SCOPED_TRACE(c.encrypted);
    std::vector<uint8_t> stream = fixture_stream(c.encrypted);
    const std::vector<RawRecord> plain = comparable_records(fixture_stream(c.plain));
    const size_t filepass = find_record(stream, biff::record::kFilePass);
    ASSERT_NE(filepass, SIZE_MAX);
    ASSERT_FALSE(same_records(comparable_records(stream), plain)) << "the fixture is not encrypted";

    decrypt_workbook_stream(stream, filepass, BiffVersion::Biff8, c.encrypted);
    EXPECT_TRUE(same_records(comparable_records(stream), plain));
    // Each sheet's stream position, left in the clear, leads to its BOF.
    size_t sheets = 0;
    for (const RawRecord& r : records_of(stream)) {
      if (r.type != biff::record::kBoundSheet) continue;
      ++sheets;
      const size_t bof = read_u32(r.data.data());
      ASSERT_LE(bof + 2, stream.size());
      EXPECT_EQ(read_u16(stream.data() + bof), biff::record::kBof);
    }
    EXPECT_EQ(sheets, 2u);
  }
}

// The stream positions of the sheets, from the BOUNDSHEET records (their
// first field is in the clear).
std::vector<size_t> sheet_starts(std::span<const uint8_t> stream) {
  std::vector<size_t> starts;
  for (const RawRecord& r : records_of(stream)) {
    if (r.type == biff::record::kBoundSheet && r.data.size() >= 4) starts.push_back(read_u32(r.data.data()));
  }
  return starts;
}

bool same_bytes(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

// The shared string table's records: the first SST and the CONTINUE
// records after it, as [begin, end) in the stream.
std::pair<size_t, size_t> strings_of(std::span<const uint8_t> stream) {
  size_t begin = SIZE_MAX, end = SIZE_MAX;
  for (const RawRecord& r : records_of(stream)) {
    if (begin == SIZE_MAX && r.type == biff::record::kSst) begin = r.offset;
    else if (begin != SIZE_MAX && end == SIZE_MAX && r.type != biff::record::kContinue) end = r.offset;
  }
  return {begin, end};
}

// A stream assembled in a copy is decrypted there, one that views the
// file's bytes into a buffer of its own, leaving those bytes as they are;
// either way the globals at once but for the shared string table, each of
// whose records is decrypted when asked for, and each sheet only when it
// is prepared; then the stream is the one decrypted whole.
TEST(CryptoBiffDecryptorTest, WorkbookStreamDecryptsEachPieceWhenFirstAsked) {
  const std::vector<uint8_t> encrypted = fixture_stream("crypt_locked.xls");
  std::vector<uint8_t> decrypted = encrypted;
  decrypt_workbook_stream(decrypted, find_record(encrypted, biff::record::kFilePass), BiffVersion::Biff8, "whole");
  const std::vector<size_t> starts = sheet_starts(encrypted);
  ASSERT_EQ(starts.size(), 2u);
  ASSERT_GT(starts[1], starts[0] + 1024);
  const auto [strings_begin, strings_end] = strings_of(encrypted);
  ASSERT_LT(strings_end, starts[0]);
  const std::span<const uint8_t> plain(decrypted);

  enum class Kind { kView, kCopy, kReadFromFile };
  for (const Kind kind : {Kind::kView, Kind::kCopy, Kind::kReadFromFile}) {
    SCOPED_TRACE(kind == Kind::kView ? "a view" : kind == Kind::kCopy ? "a copy" : "read from the file");
    const std::vector<uint8_t> file = encrypted;
    cfb::StreamBytes bytes(std::span<const uint8_t>{file});
    if (kind == Kind::kCopy) {
      bytes = cfb::StreamBytes(file.size());
      std::copy(file.begin(), file.end(), bytes.data());
    } else if (kind == Kind::kReadFromFile) {
      // In two pieces, so that they are copied into a buffer as asked for.
      const size_t half = file.size() / 2;
      bytes = cfb::StreamBytes(FileBytes(file), {FilePiece{0, half}, FilePiece{half, file.size() - half}});
    }
    const uint8_t* const own = bytes.data();
    WorkbookStream stream(std::move(bytes), "book");
    // Decrypted in the stream's own buffer, or beside a view.
    EXPECT_EQ(stream.bytes().data() == own, kind != Kind::kView);
    ASSERT_EQ(stream.bytes().size(), encrypted.size());
    const auto globals_same = [&](size_t from, size_t to) {
      return same_bytes(stream.bytes().subspan(from, to - from), plain.subspan(from, to - from));
    };
    EXPECT_TRUE(globals_same(0, strings_begin));
    EXPECT_TRUE(globals_same(strings_end, starts[0]));
    EXPECT_FALSE(globals_same(strings_begin + 4, strings_end));
    EXPECT_FALSE(same_bytes(stream.bytes().subspan(starts[0], 1024), plain.subspan(starts[0], 1024)));

    // The held records are the table's, each decrypted on its own.
    const std::vector<biff::Record>& held = stream.held_strings();
    ASSERT_GE(held.size(), 3u);
    EXPECT_EQ(held.front().offset, strings_begin);
    EXPECT_EQ(held.back().offset + 4 + held.back().data.size(), strings_end);
    const auto record_same = [&](const biff::Record& r) {
      return r.data.data() == stream.bytes().data() + r.offset + 4 && globals_same(r.offset, r.offset + 4 + r.data.size());
    };
    stream.prepare_strings(1);
    EXPECT_FALSE(record_same(held[0]));
    EXPECT_TRUE(record_same(held[1]));
    EXPECT_FALSE(record_same(held[2]));
    for (size_t r = held.size(); r-- > 0;) stream.prepare_strings(r);
    EXPECT_TRUE(globals_same(0, starts[0]));

    EXPECT_EQ(stream.substream(starts[1], starts).size(), encrypted.size());
    EXPECT_FALSE(same_bytes(stream.bytes().subspan(starts[0], 1024), plain.subspan(starts[0], 1024)));
    EXPECT_TRUE(same_bytes(stream.bytes().subspan(starts[1]), plain.subspan(starts[1])));

    for (int again = 0; again < 2; ++again) {  // a piece prepared twice is decrypted once
      for (size_t r = 0; r < held.size(); ++r) stream.prepare_strings(r);
      EXPECT_EQ(stream.substream(starts[0], starts).size(), starts[1]);  // up to the next sheet
      stream.substream(starts[1], starts);
    }
    EXPECT_TRUE(same_bytes(stream.bytes(), plain));
    EXPECT_TRUE(file == encrypted);
  }
}

// A record cut short by the stream's end is decrypted as far as it goes.
TEST(CryptoBiffDecryptorTest, DecryptsATruncatedStreamAsFarAsItGoes) {
  std::vector<uint8_t> whole = fixture_stream("crypt_locked.xls");
  const size_t filepass = find_record(whole, biff::record::kFilePass);
  for (size_t cut : {whole.size() / 2 + 3, size_t(5000), whole.size() - 1}) {
    std::vector<uint8_t> part(whole.begin(), whole.begin() + cut);
    decrypt_workbook_stream(part, filepass, BiffVersion::Biff8, "cut");
    std::vector<uint8_t> full = whole;
    decrypt_workbook_stream(full, filepass, BiffVersion::Biff8, "whole");
    EXPECT_TRUE(std::equal(part.begin(), part.end(), full.begin())) << "cut at " << cut;
  }
}

// Encrypted by Apache POI under the password "секрет".
TEST(CryptoBiffDecryptorTest, AnyOtherPasswordLeavesTheWorkbookClosed) {
  for (const char* name : {"crypt_poi_cryptoapi_secret.xls", "crypt_poi_rc4_secret.xls", "crypt_poi_xor_secret.xls"}) {
    std::vector<uint8_t> stream = fixture_stream(name);
    const std::vector<uint8_t> before = stream;
    const size_t filepass = find_record(stream, biff::record::kFilePass);
    ASSERT_NE(filepass, SIZE_MAX) << name;
    try {
      decrypt_workbook_stream(stream, filepass, BiffVersion::Biff8, name);
      ADD_FAILURE() << name << " was opened";
    } catch (const EngineError& e) {
      EXPECT_EQ(std::string(e.what()), std::string("Книга «") + name + "» защищена паролем");
    }
    EXPECT_EQ(stream, before) << name;
  }
}

// --- XOR obfuscation, on real streams obfuscated here -----------------------

// The obfuscation array of the default password, as Apache POI applies it.
constexpr std::array<uint8_t, 16> kDefaultXorArray = {135, 107, 154, 226, 30, 227, 5,   98,
                                                      30,  105, 150, 96,  152, 110, 148, 4};

bool stays_clear(uint16_t type) {
  static const uint16_t clear[] = {0x0809, 0x002F, 0x00E1, 0x0194, 0x0195, 0x0196, 0x0138};
  return std::find(std::begin(clear), std::end(clear), type) != std::end(clear);
}

// What a writer does: each byte of record data is rotated left by 5 bits
// and XORed with the array byte at its stream offset plus the record's
// length; record headers, the records above and BOUNDSHEET's first 4 bytes
// stay in the clear.
void obfuscate(std::vector<uint8_t>& stream, size_t from) {
  for (const RawRecord& r : records_of(stream)) {
    if (r.offset < from || stays_clear(r.type)) continue;
    const size_t first = r.type == biff::record::kBoundSheet ? 4 : 0;
    for (size_t i = first; i < r.data.size(); ++i) {
      const size_t at = r.offset + 4 + i;
      const uint8_t b = stream[at];
      stream[at] = static_cast<uint8_t>(((b << 5) | (b >> 3)) ^ kDefaultXorArray[(at + r.data.size()) % 16]);
    }
  }
}

// The fixture's stream with a FILEPASS record put right after its BOF.
std::vector<uint8_t> with_filepass(const std::vector<uint8_t>& stream, const std::vector<uint8_t>& filepass) {
  const size_t after_bof = 4 + read_u16(stream.data() + 2);
  std::vector<uint8_t> out(stream.begin(), stream.begin() + after_bof);
  out.push_back(biff::record::kFilePass & 0xFF);
  out.push_back(biff::record::kFilePass >> 8);
  out.push_back(static_cast<uint8_t>(filepass.size()));
  out.push_back(0);
  out.insert(out.end(), filepass.begin(), filepass.end());
  out.insert(out.end(), stream.begin() + after_bof, stream.end());
  return out;
}

TEST(CryptoBiffDecryptorTest, RemovesXorObfuscationOfBiff8AndBiff5) {
  // Key 0xB359 and verifier 0x9A0A of the default password; BIFF8 puts the
  // method (0, XOR) before them.
  const struct {
    const char* fixture;
    BiffVersion version;
    std::vector<uint8_t> filepass;
  } cases[] = {
      {"crypt_plain.xls", BiffVersion::Biff8, {0x00, 0x00, 0x59, 0xB3, 0x0A, 0x9A}},
      {"crypt_plain.biff7.xls", BiffVersion::Biff5, {0x59, 0xB3, 0x0A, 0x9A}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fixture);
    const std::vector<uint8_t> plain = with_filepass(fixture_stream(c.fixture), c.filepass);
    std::vector<uint8_t> stream = plain;
    const size_t filepass = find_record(stream, biff::record::kFilePass);
    obfuscate(stream, filepass + 1);
    ASSERT_NE(stream, plain);

    decrypt_workbook_stream(stream, filepass, c.version, c.fixture);
    EXPECT_EQ(stream, plain);
  }
}

TEST(CryptoBiffDecryptorTest, XorVerifierOfAnotherPasswordLeavesTheWorkbookClosed) {
  std::vector<uint8_t> stream = with_filepass(fixture_stream("crypt_plain.biff7.xls"), {0xC6, 0x1F, 0xEB, 0xCB});
  EXPECT_THROW(decrypt_workbook_stream(stream, find_record(stream, biff::record::kFilePass), BiffVersion::Biff5, "b"),
               EngineError);
}

// --- FILEPASS records that cannot be used -----------------------------------

std::vector<uint8_t> bof_and_filepass(const std::vector<uint8_t>& filepass, size_t claimed_size) {
  std::vector<uint8_t> s = {0x09, 0x08, 0x10, 0x00, 0x00, 0x06, 0x05, 0x00};
  s.resize(4 + 16, 0);
  s.push_back(0x2F);
  s.push_back(0x00);
  s.push_back(static_cast<uint8_t>(claimed_size & 0xFF));
  s.push_back(static_cast<uint8_t>(claimed_size >> 8));
  s.insert(s.end(), filepass.begin(), filepass.end());
  return s;
}

std::vector<uint8_t> cryptoapi_filepass(uint32_t cipher, uint32_t key_bits) {
  std::vector<uint8_t> p = {0x01, 0x00, 0x04, 0x00, 0x02, 0x00, 0x04, 0, 0, 0, 32, 0, 0, 0};
  auto u32 = [&p](uint32_t v) {
    for (int s = 0; s < 32; s += 8) p.push_back(static_cast<uint8_t>(v >> s));
  };
  for (uint32_t v : {0x04u, 0u, cipher, 0x8004u, key_bits, 1u, 0u, 0u}) u32(v);
  u32(16);
  p.resize(p.size() + 32, 0x11);  // salt, verifier
  u32(20);
  p.resize(p.size() + 20, 0x22);  // verifier hash
  return p;
}

TEST(CryptoBiffDecryptorTest, RejectsUnusableFilePassRecords) {
  const std::vector<uint8_t> rc4_short = {0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 1, 2, 3};
  const std::vector<uint8_t> cryptoapi = cryptoapi_filepass(0x6801, 40);
  const struct {
    const char* what;
    std::vector<uint8_t> stream;
    const char* message_part;
  } cases[] = {
      {"empty", bof_and_filepass({}, 0), "обрезана"},
      {"RC4 without its salt", bof_and_filepass(rc4_short, rc4_short.size()), "обрезана"},
      {"longer than the stream", bof_and_filepass(rc4_short, 300), "обрезана"},
      {"CryptoAPI cut in its verifier", bof_and_filepass({cryptoapi.begin(), cryptoapi.end() - 30}, cryptoapi.size() - 30),
       "обрезана"},
      {"unknown method", bof_and_filepass({0x02, 0x00, 0x01, 0x00, 0x01, 0x00}, 6), "защищена паролем"},
      {"RC4 of version 3.3", bof_and_filepass({0x01, 0x00, 0x03, 0x00, 0x03, 0x00}, 6), "защищена паролем"},
      {"CryptoAPI with AES", bof_and_filepass(cryptoapi_filepass(0x660E, 128), cryptoapi.size()), "защищена паролем"},
      {"CryptoAPI with a 256-bit key", bof_and_filepass(cryptoapi_filepass(0x6801, 256), cryptoapi.size()),
       "защищена паролем"},
      {"CryptoAPI, wrong verifier", bof_and_filepass(cryptoapi, cryptoapi.size()), "защищена паролем"},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> stream = c.stream;
    try {
      decrypt_workbook_stream(stream, 20, BiffVersion::Biff8, "form.xls");
      ADD_FAILURE() << c.what << ": opened";
    } catch (const EngineError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find("«form.xls»"), std::string::npos) << c.what << ": " << message;
      EXPECT_NE(message.find(c.message_part), std::string::npos) << c.what << ": " << message;
    }
  }
}

}  // namespace
}  // namespace vers::engine::crypto
