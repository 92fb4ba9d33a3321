// A member's stream can be opened again at a point an earlier stream gave,
// and then yields exactly the bytes from there on; a member whose bytes do
// not match its checksum is refused.
#include <gtest/gtest.h>

#include <random>

#include "engine/zip/zip_archive.h"
#include "xml_test_support.h"

namespace vers::engine::zip {
namespace {

using xml_test::engine_error;
using xml_test::make_zip;

// Text that deflates into many blocks: words in a random order.
std::string many_blocks_of_text(size_t size) {
  const char* words[] = {"<table:table-cell ", "office:value='", "12345", "'/>", "Раздел ", "строка ", "графа ", "\n"};
  std::mt19937 random(7);
  std::string text;
  while (text.size() < size) text += words[random() % std::size(words)];
  return text;
}

TEST(ZipResume, AStreamOpenedAtAPointGoesOnFromThere) {
  const std::string text = many_blocks_of_text(12 << 20);  // points are some megabytes apart
  for (const bool stored : {false, true}) {
    Archive archive(make_zip({{"content.xml", text}}, stored), "книга.ods");
    auto first = archive.open("content.xml");
    std::vector<char> buffer(100000);
    std::vector<std::pair<uint64_t, ResumePoint>> points;
    uint64_t read = 0;
    while (const size_t n = first->read(buffer.data(), buffer.size())) {
      read += n;
      EXPECT_EQ(first->position(), read);
      // A place inside the bytes just read, as a scan finds a tag there.
      const uint64_t place = read - n / 3;
      points.emplace_back(place, first->resume_point(place));
    }
    ASSERT_EQ(read, text.size());
    size_t resumed = 0;
    for (const auto& [place, point] : points) {
      ASSERT_LE(point.offset(), place);
      resumed += point.offset() > 0;
      auto again = archive.open("content.xml", point);
      EXPECT_EQ(again->position(), point.offset());
      std::string tail(size_t(place - point.offset()) + 5000, '\0');
      size_t got = 0;
      while (got < tail.size()) {
        const size_t n = again->read(tail.data() + got, tail.size() - got);
        if (n == 0) break;
        got += n;
      }
      tail.resize(got);
      EXPECT_EQ(tail, text.substr(size_t(point.offset()), tail.size())) << "at " << place << (stored ? " stored" : "");
    }
    // Most places are reached without inflating from the beginning.
    EXPECT_GT(resumed, points.size() / 2) << (stored ? "stored" : "deflated");
  }
}

TEST(ZipResume, AMemberThatDoesNotMatchItsChecksumIsRefused) {
  for (const bool stored : {false, true}) {
    std::vector<uint8_t> bytes = make_zip({{"a.xml", "<a>" + std::string(1000, 'q') + "</a>"}}, stored);
    // The checksum stands in the local header (at 14) and in the central
    // directory's entry (at 16): change both, the data stays sound.
    bytes[14] ^= 0x5A;
    for (size_t i = 0; i + 4 < bytes.size(); ++i)
      if (bytes[i] == 'P' && bytes[i + 1] == 'K' && bytes[i + 2] == 1 && bytes[i + 3] == 2) bytes[i + 16] ^= 0x5A;
    Archive archive(bytes, "битый.zip");
    const std::string message = engine_error([&] {
      auto stream = archive.open("a.xml");
      char buffer[4096];
      while (stream->read(buffer, sizeof buffer)) {
      }
    });
    EXPECT_NE(message.find("битый.zip"), std::string::npos) << message;
    EXPECT_NE(message.find("контрольная сумма"), std::string::npos) << message;
  }
}

}  // namespace
}  // namespace vers::engine::zip
