// The zip container: members by name, streaming with an inflate bound, and
// clean failures for archives that are damaged or built to exhaust memory.
#include "engine/zip/zip_archive.h"

#include <gtest/gtest.h>

#include <functional>

#include "xml_test_support.h"

namespace vers::engine::zip {
namespace {

using xml_test::engine_error;
using xml_test::make_zip;

std::string read_all(MemberStream& stream) {
  std::string out;
  char buffer[7];  // small, so that reading goes over several chunks
  while (size_t n = stream.read(buffer, sizeof buffer)) out.append(buffer, n);
  return out;
}

TEST(ZipArchive, ReadsMembersStoredAndDeflated) {
  const std::string big(100000, 'x');
  for (const bool stored : {true, false}) {
    Archive archive(make_zip({{"a.txt", "Привет"}, {"dir/b.xml", big}, {"empty", ""}}, stored), "книга.zip");
    EXPECT_EQ(archive.member_names(), (std::vector<std::string>{"a.txt", "dir/b.xml", "empty"}));
    EXPECT_EQ(read_all(*archive.open("a.txt")), "Привет");
    EXPECT_EQ(read_all(*archive.open("dir/b.xml")), big);
    EXPECT_EQ(read_all(*archive.open("empty")), "");
  }
}

TEST(ZipArchive, FindsMembersIgnoringCaseLeadingSlashAndBackslashes) {
  Archive archive(make_zip({{"xl\\workbook.xml", "w"}, {"[Content_Types].xml", "t"}}), "a.xlsx");
  struct Case {
    const char* name;
    bool found;
  } cases[] = {{"xl/workbook.xml", true}, {"/xl/workbook.xml", true}, {"XL/Workbook.XML", true},
               {"[content_types].xml", true}, {"xl/workbook.xm", false}, {"workbook.xml", false}};
  for (const Case& c : cases) EXPECT_EQ(archive.contains(c.name), c.found) << c.name;
}

TEST(ZipArchive, MissingMemberFailsNamingFileAndMember) {
  Archive archive(make_zip({{"a", "1"}}), "книга.ods");
  const std::string message = engine_error([&] { archive.open("content.xml"); });
  EXPECT_NE(message.find("книга.ods"), std::string::npos) << message;
  EXPECT_NE(message.find("content.xml"), std::string::npos) << message;
}

TEST(ZipArchive, RefusesBytesThatAreNoArchive) {
  std::vector<uint8_t> truncated = make_zip({{"a.xml", std::string(5000, 'a')}});
  truncated.resize(truncated.size() / 2);  // the directory at the end is gone
  const std::vector<std::vector<uint8_t>> inputs = {
      {}, {'P', 'K', 3, 4}, std::vector<uint8_t>(100, 0x55), truncated};
  for (const auto& bytes : inputs) {
    const std::string message = engine_error([&] { Archive archive(bytes, "плохой.zip"); });
    EXPECT_NE(message.find("«плохой.zip»"), std::string::npos) << message;
  }
}

TEST(ZipArchive, RecognisesZipSignatures) {
  EXPECT_TRUE(looks_like_zip(make_zip({{"a", "b"}})));
  EXPECT_FALSE(looks_like_zip(std::vector<uint8_t>{0xD0, 0xCF, 0x11, 0xE0}));
  EXPECT_FALSE(looks_like_zip(std::vector<uint8_t>{'P', 'K'}));
}

TEST(ZipArchive, RefusesArchiveWithTooManyMembers) {
  std::vector<xml_test::Member> members;
  for (int i = 0; i <= 10000; ++i) members.push_back({"m" + std::to_string(i), ""});
  const std::vector<uint8_t> bytes = make_zip(members, true);
  const std::string message = engine_error([&] { Archive archive(bytes, "много.zip"); });
  EXPECT_NE(message.find("много.zip"), std::string::npos) << message;
  EXPECT_NE(message.find("10000"), std::string::npos) << message;
  members.pop_back();
  EXPECT_EQ(Archive(make_zip(members, true), "ровно.zip").member_names().size(), 10000u);
}

TEST(ZipArchive, StopsMembersThatInflatePastTheirBound) {
  // Four mebibytes of zeros deflate to about four kibibytes.
  const std::vector<uint8_t> bomb = make_zip({{"zeros.xml", std::string(4 << 20, '\0')}});
  struct Case {
    const char* what;
    Limits limits;
    bool fails;
  } cases[] = {
      {"default limits", Limits{}, false},
      {"ratio bound", Limits{10000, 10, uint64_t(1) << 30}, true},
      {"absolute cap", Limits{10000, 1100, 1 << 20}, true},
  };
  for (const Case& c : cases) {
    Archive archive(bomb, "бомба.xlsx", c.limits);
    if (!c.fails) {
      EXPECT_EQ(read_all(*archive.open("zeros.xml")).size(), size_t(4 << 20)) << c.what;
      continue;
    }
    const std::string message = engine_error([&] {
      auto stream = archive.open("zeros.xml");
      char buffer[65536];
      while (stream->read(buffer, sizeof buffer) > 0) {
      }
    });
    EXPECT_NE(message.find("бомба.xlsx"), std::string::npos) << c.what << ": " << message;
    EXPECT_NE(message.find("zeros.xml"), std::string::npos) << c.what << ": " << message;
  }
}

TEST(ZipArchive, ReadSmallRefusesLargerMembers) {
  Archive archive(make_zip({{"mimetype", std::string(300, 'm')}}), "a.ods");
  EXPECT_EQ(archive.read_small("mimetype", 300).size(), 300u);
  EXPECT_NE(engine_error([&] { archive.read_small("mimetype", 299); }).find("mimetype"), std::string::npos);
}

TEST(ZipArchive, ReadsMembersWithSixtyFourBitSizes) {
  const std::string big(300000, 'z');
  for (const bool stored : {true, false}) {
    Archive archive(make_zip({{"a.xml", "<a/>"}, {"b.xml", big}}, stored, true), "большая.xlsx");
    EXPECT_EQ(archive.member_names(), (std::vector<std::string>{"a.xml", "b.xml"}));
    EXPECT_EQ(read_all(*archive.open("a.xml")), "<a/>");
    EXPECT_EQ(read_all(*archive.open("b.xml")), big);
    EXPECT_EQ(archive.inflated_size("b.xml"), big.size());
  }
}

// Offsets of a member's fields in its local header and in its directory
// entry.
struct Field {
  size_t local, central, width;
};
constexpr Field kFlags{6, 8, 2}, kMethod{8, 10, 2}, kCompressedSize{18, 20, 4}, kDirectoryOffset{0, 16, 4};

// The last record of the kind (3: local header, 1: directory entry, 5: end
// of the directory).
size_t find_signature(const std::vector<uint8_t>& bytes, uint8_t kind) {
  for (size_t i = bytes.size() - 4; i > 0; --i)
    if (bytes[i] == 'P' && bytes[i + 1] == 'K' && bytes[i + 2] == kind && bytes[i + 3] == kind + 1) return i;
  ADD_FAILURE() << "no record " << int(kind);
  return 0;
}

uint64_t get(const std::vector<uint8_t>& bytes, size_t at, size_t width) {
  uint64_t v = 0;
  for (size_t i = 0; i < width; ++i) v |= uint64_t(bytes[at + i]) << (8 * i);
  return v;
}

void put(std::vector<uint8_t>& bytes, size_t at, size_t width, uint64_t v) {
  for (size_t i = 0; i < width; ++i) bytes[at + i] = uint8_t(v >> (8 * i));
}

// Sets a field of the last member, in both headers so that they agree.
void set_member_field(std::vector<uint8_t>& bytes, const Field& field, uint64_t v) {
  put(bytes, find_signature(bytes, 3) + field.local, field.width, v);
  put(bytes, find_signature(bytes, 1) + field.central, field.width, v);
}

TEST(ZipArchive, DamagedDirectoriesAndMembersFailNamingTheFile) {
  const std::string text = "<a>" + std::string(20000, 'q') + "</a>";
  struct Case {
    const char* what;
    bool stored;
    std::function<void(std::vector<uint8_t>&)> damage;
    const char* message;
  } cases[] = {
      {"directory cut short", false,
       [](auto& b) { b.erase(b.begin() + long(find_signature(b, 1)) + 10, b.begin() + long(find_signature(b, 5))); },
       "оглавление"},
      {"directory placed past the end", false,
       [](auto& b) { put(b, find_signature(b, 5) + kDirectoryOffset.central, 4, b.size() + 100); }, "оглавление"},
      {"local header overwritten", false, [](auto& b) { b[find_signature(b, 3) + 2] = 'X'; }, "не читается часть"},
      {"deflated bytes running past the end", false,
       [](auto& b) { set_member_field(b, kCompressedSize, b.size() * 2); }, "выходит за конец архива"},
      {"stored bytes running past the end", true,
       [](auto& b) { set_member_field(b, kCompressedSize, b.size() * 2); }, "выходит за конец архива"},
      {"deflated bytes cut short", false,
       [](auto& b) {
         const size_t local = find_signature(b, 3);
         set_member_field(b, kCompressedSize, get(b, local + kCompressedSize.local, 4) / 2);
       },
       "обрываются"},
      {"stored bytes cut short", true,
       [](auto& b) { set_member_field(b, kCompressedSize, 1000); }, "контрольная сумма"},
      {"unknown method", false, [](auto& b) { set_member_field(b, kMethod, 12); }, "неизвестным способом"},
      {"encrypted member", false, [](auto& b) { set_member_field(b, kFlags, 1); }, "защищена паролем"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = make_zip({{"mimetype", "x"}, {"a.xml", text}}, c.stored);
    c.damage(bytes);
    const std::string message = engine_error([&] {
      Archive archive(bytes, "битый.xlsx");
      read_all(*archive.open("a.xml"));
    });
    EXPECT_NE(message.find("битый.xlsx"), std::string::npos) << c.what << ": " << message;
    EXPECT_NE(message.find(c.message), std::string::npos) << c.what << ": " << message;
  }
}

TEST(ZipArchive, DamagedMemberDataFailsCleanly) {
  std::vector<uint8_t> bytes = make_zip({{"a.xml", std::string(20000, 'q') + "tail"}});
  // The deflated data begins after the local header (30 bytes + name).
  for (size_t i = 40; i < 60 && i < bytes.size(); ++i) bytes[i] ^= 0xA5;
  Archive archive(bytes, "битый.zip");
  const std::string message = engine_error([&] { read_all(*archive.open("a.xml")); });
  EXPECT_NE(message.find("битый.zip"), std::string::npos) << message;
}

}  // namespace
}  // namespace vers::engine::zip
