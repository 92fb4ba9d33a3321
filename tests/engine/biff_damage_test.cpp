// Damaged records fail with a message that names the workbook and says
// what is wrong. The damage is done to copies of real fixtures.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/biff_fixture_files.h"
#include "engine/biff_patching.h"
#include "engine/error.h"
#include "engine/workbook.h"

namespace vers::engine {
namespace {

std::string failure_of(const std::vector<uint8_t>& bytes) {
  try {
    auto book = open_workbook_bytes(bytes, "книга.xls");
    for (size_t i = 0; i < book->sheet_names().size(); ++i)
      if (std::optional<CellArea> used = book->used_area(i)) book->read_area(i, *used);
  } catch (const EngineError& e) {
    return e.what();
  }
  return "no failure";
}

TEST(BiffDamage, FailsCleanlyAndSaysWhat) {
  struct Case {
    const char* what;
    const char* fixture;
    std::function<void(PatchableWorkbook&)> damage;
    const char* message_part;
  };
  const Case cases[] = {
      {"a sheet that starts past the stream", "engine_biff_values.xls",
       [](PatchableWorkbook& f) { f.set_u32(f.record(0x0085), 0x7FFFFFFF); },
       "лист «Значения»: лист начинается за концом потока"},
      {"a text number past the string table", "engine_biff_values.xls",
       [](PatchableWorkbook& f) { f.set_u32(f.record(0x00FD) + 6, 0x00FFFFFF); }, "нет в таблице строк"},
      {"a record longer than the stream", "engine_biff_values.xls",
       [](PatchableWorkbook& f) { f.set_u16(f.last_record() + 2, 0xFFFF); }, "лист «Пустой»: запись 0x000A"},
      {"an old BIFF version", "engine_biff_values.xls",
       [](PatchableWorkbook& f) { f.set_u16(f.record(0x0809), 0x0400); }, "Excel 2.x–4.0"},
      {"no BOF at the start", "engine_biff_values.xls",
       [](PatchableWorkbook& f) { f.set_u16(f.record(0x0809) - 4, 0x1234); }, "не начинается с записи BOF"},
      {"an Excel 95 text longer than its record", "engine_biff_values.biff7.xls",
       [](PatchableWorkbook& f) { f.set_u16(f.record(0x0204) + 6, 0xFFFF); }, "обрезана"},
      {"an Excel 95 sheet name longer than its record", "engine_biff_values.biff7.xls",
       [](PatchableWorkbook& f) { f.bytes.at(f.record(0x0085) + 6) = 0xFF; }, "запись 0x0085"},
  };
  for (const Case& c : cases) {
    PatchableWorkbook file(c.fixture);
    c.damage(file);
    const std::string message = failure_of(file.bytes);
    EXPECT_NE(message.find("«книга.xls»"), std::string::npos) << c.what << ": " << message;
    EXPECT_NE(message.find(c.message_part), std::string::npos) << c.what << ": " << message;
  }
}

// A damaged cell fails only a read of an area that holds it, whether or not
// the sheet's used area was found first, and whether the area is read as it
// is or clipped to the used area in the same pass.
TEST(BiffDamage, ADamagedCellOutsideTheAreaReadIsNoFailure) {
  PatchableWorkbook file("engine_biff_values.xls");
  const size_t label = file.record(0x00FD);
  file.set_u32(label + 6, 0x00FFFFFF);  // a text number past the string table
  const uint32_t row = file.u16(label), col = file.u16(label + 2);
  const CellArea holding{row, col, row, col};
  const CellArea other = row > 3 ? CellArea{0, 0, row - 1, 10} : CellArea{row + 1, 0, 100, 10};
  for (bool used_first : {false, true}) {
    SCOPED_TRACE(used_first ? "used area first" : "area only");
    auto book = open_workbook_bytes(file.bytes, "книга.xls");
    if (used_first) EXPECT_TRUE(book->used_area(0).has_value());
    EXPECT_NO_THROW(book->read_area(0, other));
    EXPECT_THROW(book->read_area(0, holding), EngineError);
  }
  for (bool used_first : {false, true}) {
    SCOPED_TRACE(used_first ? "clipped, used area first" : "clipped");
    auto book = open_workbook_bytes(file.bytes, "книга.xls");
    if (used_first) EXPECT_TRUE(book->used_area(0).has_value());
    EXPECT_NO_THROW(book->read_clipped_area(0, other, 1'000'000));
    auto fresh = open_workbook_bytes(file.bytes, "книга.xls");
    try {
      (used_first ? book : fresh)->read_clipped_area(0, CellArea{0, 0, 100, 10}, 1'000'000);
      ADD_FAILURE() << "a damaged cell inside the area read";
    } catch (const EngineError& e) {
      EXPECT_NE(std::string(e.what()).find("нет в таблице строк"), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace vers::engine
