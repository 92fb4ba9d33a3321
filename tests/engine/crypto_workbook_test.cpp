#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/biff_fixture_files.h"
#include "engine/error.h"
#include "engine/workbook.h"

namespace vers::engine {
namespace {

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

}  // namespace
}  // namespace vers::engine
