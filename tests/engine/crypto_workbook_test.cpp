#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <functional>
#include <span>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/biff_fixture_files.h"
#include "engine/cfb_patching.h"
#include "engine/crypto/biff_decryptor.h"
#include "engine/crypto_streams.h"
#include "engine/error.h"
#include "engine/workbook.h"

namespace vers::engine {
namespace {

namespace fs = std::filesystem;

// Everything a workbook shows the tables: sheets, names and every value.
void expect_same_workbook(Workbook& actual, Workbook& expected) {
  ASSERT_EQ(actual.sheet_names(), expected.sheet_names());
  ASSERT_EQ(actual.defined_names().size(), expected.defined_names().size());
  for (size_t n = 0; n < expected.defined_names().size(); ++n) {
    const DefinedName& a = actual.defined_names()[n];
    const DefinedName& e = expected.defined_names()[n];
    EXPECT_EQ(a.name, e.name);
    EXPECT_EQ(a.kind, e.kind) << e.name;
    EXPECT_EQ(a.sheet, e.sheet) << e.name;
    EXPECT_EQ(a.area, e.area) << e.name;
  }
  for (size_t sheet = 0; sheet < expected.sheet_names().size(); ++sheet) {
    const std::optional<CellArea> used = expected.used_area(sheet);
    ASSERT_EQ(actual.used_area(sheet), used) << expected.sheet_names()[sheet];
    ASSERT_TRUE(used.has_value());
    const CellGrid a = actual.read_area(sheet, *used);
    const CellGrid e = expected.read_area(sheet, *used);
    EXPECT_EQ(a.cells, e.cells) << expected.sheet_names()[sheet];
  }
}

// Saved encrypted under the default password: by LibreOffice for a
// protected structure (RC4 1.1), by Apache POI (RC4 CryptoAPI, RC4 1.1).
TEST(CryptoWorkbookTest, EncryptedWorkbookReadsAsTheUnprotectedOne) {
  const std::unique_ptr<Workbook> plain = open_workbook(fixture_path("crypt_plain.xls"));
  for (const char* name : {"crypt_locked.xls", "crypt_poi_cryptoapi.xls", "crypt_poi_rc4.xls"}) {
    SCOPED_TRACE(name);
    const std::unique_ptr<Workbook> encrypted = open_workbook(fixture_path(name));
    expect_same_workbook(*encrypted, *plain);
  }
}

// The sheet "Проверки" is protected (PROTECT in its records): its cells
// read as they stand.
// Whether the process has a libcrypto mapped.
bool libcrypto_loaded() {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line))
    if (line.find("/libcrypto.so") != std::string::npos) return true;
  return false;
}

// libcrypto is loaded for the first workbook that needs decrypting, and
// never for plain ones.
TEST(CryptoWorkbookTest, LibcryptoIsLoadedOnlyWhenAWorkbookIsDecrypted) {
  if (libcrypto_loaded()) GTEST_SKIP() << "an earlier test in this process loaded libcrypto";
  for (const char* name : {"crypt_plain.xls", "crypt_plain.biff7.xls", "crypt_plain.ods", "crypt_plain.xlsx"}) {
    const std::unique_ptr<Workbook> plain = open_workbook(fixture_path(name));
    EXPECT_FALSE(libcrypto_loaded()) << name;
  }
  const std::unique_ptr<Workbook> encrypted = open_workbook(fixture_path("crypt_locked.xls"));
  EXPECT_TRUE(libcrypto_loaded());
}

TEST(CryptoWorkbookTest, SheetProtectionDoesNotChangeWhatIsRead) {
  for (const char* name : {"crypt_plain.xls", "crypt_locked.xls"}) {
    SCOPED_TRACE(name);
    const std::unique_ptr<Workbook> book = open_workbook(fixture_path(name));
    ASSERT_EQ(book->sheet_names(), (std::vector<std::string>{"Данные", "Проверки"}));
    ASSERT_EQ(book->used_area(1), (CellArea{0, 0, 40, 5}));
    const CellGrid grid = book->read_area(1, CellArea{0, 0, 4, 5});
    EXPECT_EQ(grid.at(0, 5), Value::text("Result"));
    EXPECT_EQ(grid.at(4, 4), Value::text("Контроль 4: графа 3 равна сумме граф 4–6"));
    EXPECT_EQ(grid.at(4, 5), Value::number(1));
    EXPECT_EQ(grid.at(3, 5), Value::number(0));
    const CellGrid data = book->read_area(0, CellArea{1, 0, 1, 2});
    EXPECT_EQ(data.at(0, 2), Value::text("0606024"));
  }
}

// Saved by Apache POI under the password "секрет".
TEST(CryptoWorkbookTest, WorkbookUnderAnotherPasswordFailsToOpen) {
  for (const char* name : {"crypt_poi_cryptoapi_secret.xls", "crypt_poi_rc4_secret.xls", "crypt_poi_xor_secret.xls"}) {
    const std::string path = fixture_path(name);
    try {
      open_workbook(path);
      ADD_FAILURE() << name << " was opened";
    } catch (const EngineError& e) {
      EXPECT_EQ(std::string(e.what()), "Книга «" + path + "» защищена паролем");
    }
  }
}

std::vector<uint8_t> read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A copy of a workbook in a file of its own, removed at the end of the test.
class TemporaryWorkbook {
 public:
  TemporaryWorkbook(const std::string& name, const std::vector<uint8_t>& bytes)
      : path_(fs::temp_directory_path() / ("vers_crypto_" + std::to_string(::getpid()) + "_" + name)) {
    std::ofstream(path_, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  ~TemporaryWorkbook() { fs::remove(path_); }
  TemporaryWorkbook(const TemporaryWorkbook&) = delete;
  TemporaryWorkbook& operator=(const TemporaryWorkbook&) = delete;
  std::string path() const { return path_.string(); }

 private:
  fs::path path_;
};

// Two workbooks open on one encrypted file at once each decrypt what they
// read, and the file stays as it was.
TEST(CryptoWorkbookTest, DecryptingChangesNeitherTheFileNorAnotherWorkbookOnIt) {
  const std::vector<uint8_t> original = read_fixture("crypt_locked.xls");
  const TemporaryWorkbook file("twice.xls", original);
  const std::unique_ptr<Workbook> plain = open_workbook(fixture_path("crypt_plain.xls"));
  const std::unique_ptr<Workbook> first = open_workbook(file.path());
  expect_same_workbook(*first, *plain);
  const std::unique_ptr<Workbook> second = open_workbook(file.path());
  expect_same_workbook(*second, *plain);
  expect_same_workbook(*first, *plain);  // every sheet again, now from its decrypted bytes
  EXPECT_TRUE(read_file(file.path()) == original);
}

// The workbook stream of crypt_locked.xls, its last sectors moved to the
// end of the file: the chain still ascends but lies in two runs, laid end
// to end before the stream is decrypted.
std::vector<uint8_t> stream_in_two_runs(const std::vector<uint8_t>& original) {
  PatchableCompoundFile file(original);
  const std::vector<uint32_t> chain = file.chain(file.stream_start("Workbook"));
  constexpr size_t kMoved = 4;
  const uint32_t first_new = static_cast<uint32_t>(file.bytes.size() / file.sector_size - 1);
  EXPECT_GT(chain.size(), 2 * kMoved);
  EXPECT_LT(first_new + kMoved, file.sector_size / 4);  // their FAT entries are in the first FAT sector
  const size_t tail = chain.size() - kMoved;
  for (size_t i = tail; i < chain.size(); ++i) {
    const size_t from = file.sector_offset(chain[i]);
    file.bytes.insert(file.bytes.end(), file.bytes.begin() + from, file.bytes.begin() + from + file.sector_size);
    std::fill(file.bytes.begin() + from, file.bytes.begin() + from + file.sector_size, 0xEE);
    file.set_next(chain[i], 0xFFFFFFFF);
  }
  file.set_next(chain[tail - 1], first_new);
  for (uint32_t s = first_new; s + 1 < first_new + kMoved; ++s) file.set_next(s, s + 1);
  file.set_next(first_new + kMoved - 1, 0xFFFFFFFE);
  EXPECT_TRUE(file.stream_bytes("Workbook") == PatchableCompoundFile(original).stream_bytes("Workbook"));
  return file.bytes;
}

// The same stream with its first two sectors swapped: out of order, so the
// runs are laid end to end in another order than the file's.
std::vector<uint8_t> stream_out_of_order(const std::vector<uint8_t>& original) {
  PatchableCompoundFile file(original);
  file.swap_first_two_sectors("Workbook");
  return file.bytes;
}

// However the encrypted stream lies in the file, and whether the file is
// mapped or handed over in memory, it reads as the unprotected workbook.
TEST(CryptoWorkbookTest, EncryptedStreamReadsTheSameWhereverItsSectorsLie) {
  const std::vector<uint8_t> original = read_fixture("crypt_locked.xls");
  const struct {
    const char* layout;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"as saved", original},
      {"in two runs", stream_in_two_runs(original)},
      {"out of order", stream_out_of_order(original)},
      {"without a container", crypto::testing::fixture_stream("crypt_locked.xls")},
  };
  const std::unique_ptr<Workbook> plain = open_workbook(fixture_path("crypt_plain.xls"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.layout);
    const TemporaryWorkbook file("layout.xls", c.bytes);
    const std::unique_ptr<Workbook> mapped = open_workbook(file.path());
    expect_same_workbook(*mapped, *plain);
    const std::unique_ptr<Workbook> in_memory = open_workbook_bytes(c.bytes, "книга.xls");
    expect_same_workbook(*in_memory, *plain);
    EXPECT_TRUE(read_file(file.path()) == c.bytes);
  }
}

// Each text cell read on its own, the last first, so that the shared
// string table's records are decrypted out of order.
TEST(CryptoWorkbookTest, TextsReadOneByOneInAnyOrderAreThoseOfTheUnprotectedWorkbook) {
  const std::unique_ptr<Workbook> plain = open_workbook(fixture_path("crypt_plain.xls"));
  const std::unique_ptr<Workbook> encrypted = open_workbook(fixture_path("crypt_locked.xls"));
  size_t texts = 0;
  for (size_t sheet = plain->sheet_names().size(); sheet-- > 0;) {
    const CellArea used = *plain->used_area(sheet);
    const CellGrid expected = plain->read_area(sheet, used);
    for (uint32_t row = used.last_row + 1; row-- > used.first_row;) {
      for (uint32_t col = used.last_col + 1; col-- > used.first_col;) {
        const Value& value = expected.at(row - used.first_row, col - used.first_col);
        if (!value.is_text()) continue;
        ++texts;
        const CellGrid cell = encrypted->read_area(sheet, CellArea{row, col, row, col});
        ASSERT_EQ(cell.at(0, 0), value) << "sheet " << sheet << ", row " << row << ", column " << col;
      }
    }
  }
  EXPECT_GT(texts, 700u);
}

// crypt_locked.xls's workbook stream with the data of its shared string
// table's index (EXTSST) changed as damage changes the decrypted bytes:
// RC4 XORs a key stream into the bytes, so XORing the change into the
// encrypted bytes makes it.
std::vector<uint8_t> with_index_changed(const std::function<void(std::span<uint8_t>)>& change) {
  constexpr uint16_t kExtSst = 0x00FF;
  std::vector<uint8_t> stream = crypto::testing::fixture_stream("crypt_locked.xls");
  std::vector<uint8_t> decrypted = stream;
  crypto::decrypt_workbook_stream(decrypted, crypto::testing::find_record(stream, 0x002F), biff::BiffVersion::Biff8,
                                  "crypt_locked.xls");
  const size_t index = crypto::testing::find_record(stream, kExtSst);
  EXPECT_NE(index, SIZE_MAX);
  const size_t size = size_t{stream[index + 2]} | size_t{stream[index + 3]} << 8;
  std::vector<uint8_t> changed(decrypted.begin() + index + 4, decrypted.begin() + index + 4 + size);
  change(changed);
  for (size_t i = 0; i < size; ++i) stream[index + 4 + i] ^= decrypted[index + 4 + i] ^ changed[i];
  return stream;
}

// An index that does not agree with the table is set aside: the workbook
// still reads as the unprotected one.
TEST(CryptoWorkbookTest, DamagedStringIndexOfAnEncryptedWorkbookIsSetAside) {
  const auto entry = [](std::span<uint8_t> index, size_t n) { return index.subspan(2 + 8 * n, 8); };
  const auto add = [](std::span<uint8_t> field, size_t bytes, int delta) {
    uint32_t value = 0;
    for (size_t i = 0; i < bytes; ++i) value |= uint32_t{field[i]} << (8 * i);
    value += static_cast<uint32_t>(delta);
    for (size_t i = 0; i < bytes; ++i) field[i] = static_cast<uint8_t>(value >> (8 * i));
  };
  const struct {
    const char* what;
    std::function<void(std::span<uint8_t>)> change;
  } cases[] = {
      {"as saved", [](std::span<uint8_t>) {}},
      {"an entry a byte on",
       [&](std::span<uint8_t> index) {
         add(entry(index, 2), 4, 1);
         add(entry(index, 2).subspan(4), 2, 1);
       }},
      {"fewer texts per bucket", [&](std::span<uint8_t> index) { add(index, 2, -1); }},
      {"more texts per bucket", [&](std::span<uint8_t> index) { add(index, 2, 1); }},
      {"entries zeroed", [](std::span<uint8_t> index) { std::fill(index.begin() + 2, index.end(), 0); }},
  };
  const std::unique_ptr<Workbook> plain = open_workbook(fixture_path("crypt_plain.xls"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<uint8_t> stream = with_index_changed(c.change);
    const std::unique_ptr<Workbook> encrypted = open_workbook_bytes(stream, "книга.xls");
    expect_same_workbook(*encrypted, *plain);
  }
}

}  // namespace
}  // namespace vers::engine
