// The compound file container, on real workbooks and on copies of them
// damaged byte by byte.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "engine/biff_fixture_files.h"
#include "engine/cfb/compound_file.h"
#include "engine/cfb_patching.h"
#include "engine/error.h"
#include "engine/workbook.h"

namespace vers::engine {
namespace {

namespace fs = std::filesystem;

const char kFixture[] = "engine_biff_values.xls";

std::vector<uint8_t> workbook_stream(const std::vector<uint8_t>& file) {
  cfb::CompoundFile container(file, "книга.xls");
  std::optional<cfb::StreamBytes> stream = container.open_stream("Workbook");
  if (!stream) ADD_FAILURE() << "no Workbook stream";
  return stream ? std::vector<uint8_t>(stream->bytes().begin(), stream->bytes().end()) : std::vector<uint8_t>();
}

// The message of the EngineError that opening the bytes throws.
std::string failure_of(std::vector<uint8_t> bytes) {
  try {
    auto book = open_workbook_bytes(std::move(bytes), "книга.xls");
    for (size_t i = 0; i < book->sheet_names().size(); ++i) book->used_area(i);
  } catch (const EngineError& e) {
    return e.what();
  }
  return "no failure";
}

// The patched file reads as the original, from bytes in memory and from a
// file on disk.
void expect_reads_as_original(const std::vector<uint8_t>& patched, const std::vector<uint8_t>& original) {
  const fs::path path = fs::temp_directory_path() / ("vers_cfb_patched_" + std::to_string(::getpid()) + ".xls");
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(patched.data()), static_cast<std::streamsize>(patched.size()));
  auto reference = open_workbook_bytes(original, "книга.xls");
  std::unique_ptr<Workbook> books[] = {open_workbook_bytes(patched, "книга.xls"), open_workbook(path.string())};
  fs::remove(path);
  for (const auto& book : books) {
    EXPECT_EQ(book->sheet_names(), reference->sheet_names());
    for (size_t sheet = 0; sheet < reference->sheet_names().size(); ++sheet) {
      const CellArea area{0, 0, 25, 6};
      EXPECT_EQ(book->read_area(sheet, area).cells, reference->read_area(sheet, area).cells) << sheet;
    }
  }
}

TEST(CfbCompoundFile, OpensTheWorkbookStreamWhateverTheCaseOfItsName) {
  const std::vector<uint8_t> file = read_fixture(kFixture);
  cfb::CompoundFile container(file, "книга.xls");
  EXPECT_TRUE(container.has_stream("workbook"));
  EXPECT_TRUE(container.has_stream("WORKBOOK"));
  EXPECT_FALSE(container.has_stream("Book"));
  const std::optional<cfb::StreamBytes> stream = container.open_stream("WorkBook");
  ASSERT_TRUE(stream);
  const PatchableCompoundFile patchable(file);
  EXPECT_EQ(stream->bytes().size(), patchable.stream_size("Workbook"));
  EXPECT_EQ(stream->bytes()[0], 0x09);  // BOF
  EXPECT_EQ(stream->bytes()[1], 0x08);
}

TEST(CfbCompoundFile, ReadsSmallStreamsFromTheMiniStream) {
  // The document summary is far below 4096 bytes: it lives in mini sectors.
  const std::vector<uint8_t> file = read_fixture(kFixture);
  cfb::CompoundFile container(file, "книга.xls");
  const std::optional<cfb::StreamBytes> summary = container.open_stream("\x05SummaryInformation");
  ASSERT_TRUE(summary);
  const PatchableCompoundFile patchable(file);
  ASSERT_LT(patchable.stream_size("\x05SummaryInformation"), 4096u);
  EXPECT_EQ(summary->bytes().size(), patchable.stream_size("\x05SummaryInformation"));
  ASSERT_GE(summary->bytes().size(), 2u);
  EXPECT_EQ(summary->bytes()[0], 0xFE);  // a property set starts with its byte order
  EXPECT_EQ(summary->bytes()[1], 0xFF);
}

TEST(CfbCompoundFile, AssemblesAStreamWhoseSectorsAreOutOfOrder) {
  const std::vector<uint8_t> original = read_fixture(kFixture);
  PatchableCompoundFile file(original);
  file.swap_first_two_sectors("Workbook");
  EXPECT_EQ(workbook_stream(file.bytes), workbook_stream(original));
}

TEST(CfbCompoundFile, ReadsAStreamInterruptedByOtherSectors) {
  // The stream's last sector moves to a new sector at the end of the file:
  // the chain still runs forward but no longer in one piece, as in large
  // files whose allocation table sits amid the stream.
  const std::vector<uint8_t> original = read_fixture(kFixture);
  PatchableCompoundFile file(original);
  const std::vector<uint32_t> chain = file.chain(file.stream_start("Workbook"));
  const uint32_t moved = static_cast<uint32_t>(file.bytes.size() / file.sector_size - 1);
  ASSERT_LT(moved, file.sector_size / 4);  // its FAT entry is in the first FAT sector
  file.bytes.insert(file.bytes.end(), file.bytes.begin() + file.sector_offset(chain.back()),
                    file.bytes.begin() + file.sector_offset(chain.back()) + file.sector_size);
  std::fill(file.bytes.begin() + file.sector_offset(chain.back()),
            file.bytes.begin() + file.sector_offset(chain.back()) + file.sector_size, 0xEE);
  file.set_next(chain[chain.size() - 2], moved);
  file.set_next(moved, 0xFFFFFFFE);
  file.set_next(chain.back(), 0xFFFFFFFF);

  EXPECT_EQ(workbook_stream(file.bytes), workbook_stream(original));  // copied
  // Read piece by piece, from bytes in memory and from a file.
  expect_reads_as_original(file.bytes, original);
}

TEST(CfbCompoundFile, ReadsAStreamWhoseLongestRunComesLast) {
  // All but the stream's first sector move to the end of the file, as when
  // the allocation table follows a stream's first sectors: the first run is
  // the one that moves, whether the bytes are in memory or in a file.
  const std::vector<uint8_t> original = read_fixture(kFixture);
  PatchableCompoundFile file(original);
  const std::vector<uint32_t> chain = file.chain(file.stream_start("Workbook"));
  ASSERT_GE(chain.size(), 3u);
  const uint32_t first_new = static_cast<uint32_t>(file.bytes.size() / file.sector_size - 1);
  ASSERT_LT(first_new + chain.size(), file.sector_size / 4);  // their FAT entries are in the first FAT sector
  for (size_t i = 1; i < chain.size(); ++i) {
    const size_t from = file.sector_offset(chain[i]);
    file.bytes.insert(file.bytes.end(), file.bytes.begin() + from, file.bytes.begin() + from + file.sector_size);
    std::fill(file.bytes.begin() + from, file.bytes.begin() + from + file.sector_size, 0xEE);
  }
  for (size_t i = 1; i < chain.size(); ++i) file.set_next(chain[i], 0xFFFFFFFF);
  file.set_next(chain[0], first_new);
  for (size_t i = 1; i + 1 < chain.size(); ++i)
    file.set_next(static_cast<uint32_t>(first_new + i - 1), static_cast<uint32_t>(first_new + i));
  file.set_next(static_cast<uint32_t>(first_new + chain.size() - 2), 0xFFFFFFFE);

  expect_reads_as_original(file.bytes, original);
}

TEST(CfbCompoundFile, ReadsFilesWith4096ByteSectors) {
  // The same workbook stream in a container of version 4.
  const PatchableCompoundFile original(read_fixture(kFixture));
  const std::vector<uint8_t> stream = original.stream_bytes("Workbook");
  ASSERT_GE(stream.size(), 4096u);
  const std::vector<uint8_t> file = version4_file("Workbook", stream);
  EXPECT_EQ(workbook_stream(file), stream);
  auto book = open_workbook_bytes(file, "книга.xls");
  auto reference = open_workbook_bytes(original.bytes, "книга.xls");
  EXPECT_EQ(book->sheet_names(), reference->sheet_names());
  const CellArea area{0, 0, 20, 5};
  EXPECT_EQ(book->read_area(0, area).cells, reference->read_area(0, area).cells);
}

TEST(CfbCompoundFile, OpensAnExcel95StreamNamedBook) {
  PatchableCompoundFile file(read_fixture("engine_biff_values.biff7.xls"));
  auto book = open_workbook_bytes(file.bytes, "книга.xls");
  EXPECT_EQ(book->sheet_names().front(), "Значения");
  // Without either name the file is no workbook.
  file.rename("Book", "Booq");
  EXPECT_NE(failure_of(file.bytes).find("не является книгой Excel"), std::string::npos);
}

TEST(CfbCompoundFile, DamageFailsCleanlyAndSaysWhat) {
  struct Case {
    const char* what;
    std::function<void(PatchableCompoundFile&)> damage;
    const char* message_part;
  };
  const Case cases[] = {
      {"loop in the stream's chain",
       [](PatchableCompoundFile& f) {
         const std::vector<uint32_t> chain = f.chain(f.stream_start("Workbook"));
         f.set_next(chain[2], chain[0]);
       },
       "зациклена"},
      {"loop in the directory's chain",
       [](PatchableCompoundFile& f) { f.set_next(f.u32(0x30), f.u32(0x30)); },
       "каталог"},
      {"stream starts past the end of the file",
       [](PatchableCompoundFile& f) { f.set_u32(f.entry("Workbook") + 0x74, 0x00FFFF00); },
       "за концом файла"},
      {"sector past the end in mid-chain",
       [](PatchableCompoundFile& f) {
         const std::vector<uint32_t> chain = f.chain(f.stream_start("Workbook"));
         f.set_next(chain[1], 5000);
       },
       "сектор 5000"},
      {"stream larger than its chain",
       [](PatchableCompoundFile& f) {
         const size_t sectors = f.chain(f.stream_start("Workbook")).size();
         f.set_u32(f.entry("Workbook") + 0x78, static_cast<uint32_t>(sectors * f.sector_size + 1));
       },
       "длиннее своей цепочки"},
      {"stream larger than the file",
       [](PatchableCompoundFile& f) { f.set_u32(f.entry("Workbook") + 0x78, 0x7FFFFFFF); },
       "длиннее самого файла"},
      {"bad byte order mark", [](PatchableCompoundFile& f) { f.set_u16(0x1C, 0xFEFF); }, "заголовок"},
      {"bad sector size", [](PatchableCompoundFile& f) { f.set_u16(0x1E, 10); }, "заголовок"},
      {"allocation table larger than the file",
       [](PatchableCompoundFile& f) { f.set_u32(0x2C, 1000000); },
       "таблицы размещения"},
      {"file cut in its header", [](PatchableCompoundFile& f) { f.bytes.resize(300); }, "обрезан"},
      {"file cut in half",
       [](PatchableCompoundFile& f) { f.bytes.resize(f.bytes.size() / 2); },
       "за концом файла"},
  };
  for (const Case& c : cases) {
    PatchableCompoundFile file(read_fixture(kFixture));
    c.damage(file);
    const std::string message = failure_of(file.bytes);
    EXPECT_NE(message.find("«книга.xls»"), std::string::npos) << c.what << ": " << message;
    EXPECT_NE(message.find(c.message_part), std::string::npos) << c.what << ": " << message;
  }
}

}  // namespace
}  // namespace vers::engine
