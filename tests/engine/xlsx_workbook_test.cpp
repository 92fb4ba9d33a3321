// The Office Open XML reader behind Workbook: a workbook LibreOffice saved,
// one written by hand with the constructs applications read but do not
// write, and damaged or hostile archives made in the test.
#include "engine/xlsx/xlsx_workbook.h"

#include <gtest/gtest.h>

#include "engine/zip/zip_archive.h"
#include "xml_test_support.h"

namespace vers::engine {
namespace {

using xml_test::boolean;
using xml_test::engine_error;
using xml_test::fixture;
using xml_test::num;
using xml_test::txt;
using xml_test::expect_grid;
using Kind = DefinedName::Kind;

std::unique_ptr<Workbook> open_sheet(const std::string& sheet_data, const std::string& strings = "") {
  return open_workbook_bytes(xml_test::make_zip(xml_test::xlsx_members(sheet_data, strings)), "книга.xlsx");
}

TEST(XlsxWorkbook, ReadsAWorkbookSavedByLibreOffice) {
  auto book = open_workbook(fixture("xml_values.xlsx"));
  EXPECT_EQ(book->sheet_names(), (std::vector<std::string>{"Данные формы", "Лист 'с' кавычками"}));
  ASSERT_EQ(book->defined_names().size(), 2u);
  EXPECT_EQ(book->defined_names()[1].name, "Кавычки");
  EXPECT_EQ(book->defined_names()[1].kind, Kind::Area);
  EXPECT_EQ(book->defined_names()[1].sheet, 1u);
  EXPECT_EQ(book->defined_names()[1].area, (CellArea{2, 1, 3, 1}));
  EXPECT_EQ(book->used_area(0), (CellArea{0, 0, 17, 3}));
  const double t = (9 * 3600 + 5 * 60 + 7) / 86400.0;
  expect_grid(book->read_area(0, CellArea{4, 1, 12, 1}), {{num(39512 + t)},
                                                           {num(36525)},
                                                           {num(t)},
                                                           {boolean(true)},
                                                           {txt("Первый абзац\nвторой   с пробелами")},
                                                           {txt("жирный и обычный")},
                                                           {Value()},  // an error
                                                           {txt("")},
                                                           {boolean(false)}});
}

TEST(XlsxWorkbook, ReadsHandMadeConstructs) {
  auto book = open_workbook(fixture("xml_handmade.xlsx"));
  EXPECT_EQ(book->sheet_names(), (std::vector<std::string>{"Ячейки", "Sheet 'two'"}));

  // Sheet-local and built-in names are not workbook-wide names.
  struct NameCase {
    const char* name;
    Kind kind;
  } names[] = {{"Область", Kind::Area},         {"Кавычки", Kind::Area},    {"Столбец", Kind::Area},
               {"Список", Kind::MultipleAreas}, {"Объём", Kind::MultipleAreas}, {"Внешняя", Kind::External},
               {"Константа", Kind::Other},      {"Удалённая", Kind::Other}, {"Формула", Kind::Other}};
  ASSERT_EQ(book->defined_names().size(), std::size(names));
  for (size_t i = 0; i < std::size(names); ++i) {
    EXPECT_EQ(book->defined_names()[i].name, names[i].name);
    EXPECT_EQ(book->defined_names()[i].kind, names[i].kind) << names[i].name;
  }
  EXPECT_EQ(book->defined_names()[1].sheet, 1u);
  EXPECT_EQ(book->defined_names()[1].area, (CellArea{0, 0, 1, 1}));

  EXPECT_EQ(book->used_area(0), (CellArea{0, 0, 5, 2}));
  // The 1904 date system: a stored number stays as it is, an ISO date
  // becomes the serial of that system.
  const double t = (9 * 3600 + 5 * 60 + 7) / 86400.0;
  expect_grid(book->read_area(0, CellArea{0, 0, 5, 2}),
              {{txt("простая"), txt("жирный и обычный"), txt("漢字")},
               {num(2.5), txt("встроенная строка"), boolean(true)},
               {Value(), Value(), Value()},
               {num(39512 - 1462 + t), num(38050.25), Value()},
               {txt(""), txt("a\rb"), txt("строка\r\nвторая _x000D_ буквально")},
               {boolean(false), txt("A\xF0\x9F\x98\x80"), Value()}});
  EXPECT_EQ(book->used_area(1), (CellArea{1, 1, 1, 1}));
  expect_grid(book->read_area(1, CellArea{1, 1, 1, 1}), {{num(-0.001)}});
}

TEST(XlsxWorkbook, ReadAreaKeepsOnlyTheAreaAndReachesPastTheUsedArea) {
  auto book = open_sheet(
      "<row r='2'><c r='B2'><v>1</v></c><c r='C2'><v>2</v></c></row>"
      "<row r='3'><c r='A3'><v>3</v></c><c r='D3'><v>4</v></c></row>"
      "<row r='1000000'><c r='XFD1000000'><v>5</v></c></row>");
  EXPECT_EQ(book->used_area(0), (CellArea{1, 0, 999999, 16383}));
  expect_grid(book->read_area(0, CellArea{0, 1, 3, 3}),
              {{Value(), Value(), Value()}, {num(1), num(2), Value()}, {Value(), Value(), num(4)}, {Value(), Value(), Value()}});
  const std::string message = engine_error([&] { book->read_area(0, CellArea{0, 0, 999999, 16383}); });
  EXPECT_NE(message.find("книга.xlsx"), std::string::npos) << message;
}

TEST(XlsxWorkbook, ReadAreaStopsAtTheFirstRowBelowTheArea) {
  // The sheet's end is damaged: reading the top rows never gets there,
  // finding the used area must.
  auto book = open_sheet("<row r='1'><c r='A1'><v>1</v></c></row><row r='2'><c r='A2'><v>2</v></c></row>"
                         "<row r='3'><c r='A3'><v>3</v></c></row><row r='4'><c r='A4'><v>4</v></c><broken>");
  expect_grid(book->read_area(0, CellArea{0, 0, 1, 0}), {{num(1)}, {num(2)}});
  EXPECT_NE(engine_error([&] { book->used_area(0); }).find("книга.xlsx"), std::string::npos);
}

TEST(XlsxWorkbook, CellTypesAndTheirEdgeCases) {
  struct Case {
    const char* cell;
    Value value;
  } cases[] = {
      {"<c r='A1'><v>1e3</v></c>", num(1000)},
      {"<c r='A1' t='n'><v></v></c>", Value()},
      {"<c r='A1' t='s'><v>1</v></c>", txt("второй")},
      {"<c r='A1' t='s'><v></v></c>", Value()},
      {"<c r='A1' t='str'><f>A2</f></c>", Value()},  // no cached result
      {"<c r='A1' t='inlineStr'><v>из v</v></c>", txt("из v")},
      {"<c r='A1' t='inlineStr'><is><t><![CDATA[<CDATA>]]></t></is></c>", txt("<CDATA>")},
      {"<c r='A1' t='b'><v>true</v></c>", boolean(true)},
      {"<c r='A1' t='e'><f>1/0</f><v>#DIV/0!</v></c>", Value()},
      {"<c r='A1' t='d'><v>2024-02-29</v></c>", num(45351)},
      {"<c r='A1' t='d'><v>not a date</v></c>", Value()},
      {"<c r='A1' t='x'><v>1</v></c>", Value()},
  };
  for (const Case& c : cases) {
    auto book = open_sheet(std::string("<row r='1'>") + c.cell + "</row>", "<si><t>первый</t></si><si><t>второй</t></si>");
    EXPECT_EQ(book->read_area(0, CellArea{0, 0, 0, 0}).cells[0], c.value) << c.cell;
  }
}

TEST(XlsxWorkbook, DamagedSheetsFailNamingFileSheetAndCell) {
  struct Case {
    const char* sheet_data;
    const char* expected;
  } cases[] = {
      {"<row r='1'><c r='B1' t='s'><v>7</v></c></row>", "B1"},
      {"<row r='1'><c r='B1' t='s'><v>-1</v></c></row>", "B1"},
      {"<row r='1'><c r='1B'><v>1</v></c></row>", "1B"},
      {"<row r='0'><c><v>1</v></c></row>", "строки"},
      {"<row r='1'><c r='A1'><v>1</v></c>", "XML"},  // truncated
  };
  for (const Case& c : cases) {
    auto book = open_sheet(c.sheet_data, "<si><t>один</t></si>");
    const std::string message = engine_error([&] { book->used_area(0); });
    EXPECT_NE(message.find("книга.xlsx"), std::string::npos) << message;
    EXPECT_NE(message.find(c.expected), std::string::npos) << c.sheet_data << ": " << message;
  }
}

TEST(XlsxWorkbook, OpensLazilyAndFailsOnlyWhenABrokenSheetIsRead) {
  auto members = xml_test::xlsx_members("<row r='1'><c r='A1'><v>1</v></c></row>");
  members[4].data = "<?xml version='1.0'?><!DOCTYPE w [<!ENTITY a 'a'>]><worksheet>&a;</worksheet>";
  auto book = open_workbook_bytes(xml_test::make_zip(members), "ленивая.xlsx");
  EXPECT_EQ(book->sheet_names(), std::vector<std::string>{"S"});
  const std::string message = engine_error([&] { book->read_area(0, CellArea{0, 0, 0, 0}); });
  EXPECT_NE(message.find("ленивая.xlsx"), std::string::npos) << message;
  EXPECT_NE(message.find("сущност"), std::string::npos) << message;

  members.erase(members.begin() + 4);  // the sheet's part is missing
  auto missing = open_workbook_bytes(xml_test::make_zip(members), "ленивая.xlsx");
  EXPECT_NE(engine_error([&] { missing->used_area(0); }).find("«S»"), std::string::npos);
}

TEST(XlsxWorkbook, ZipArchivesThatAreNoWorkbookFailAsSuch) {
  const std::vector<std::vector<xml_test::Member>> archives = {
      {{"hello.txt", "hi"}},
      // A binary workbook: its workbook part is not XML.
      {{"[Content_Types].xml", "<Types/>"},
       {"_rels/.rels", "<Relationships xmlns='http://schemas.openxmlformats.org/package/2006/relationships'>"
                       "<Relationship Id='r1' Type='http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument' Target='xl/workbook.bin'/></Relationships>"},
       {"xl/workbook.bin", "\x83\x01\x00"}},
      // An OpenDocument text, not a spreadsheet.
      {{"mimetype", "application/vnd.oasis.opendocument.text"}, {"content.xml", "<r/>"}},
  };
  for (const auto& members : archives) {
    const std::string message = engine_error([&] { open_workbook_bytes(xml_test::make_zip(members), "не книга.zip"); });
    EXPECT_NE(message.find("«не книга.zip» не является книгой"), std::string::npos) << message;
  }
}

TEST(XlsxWorkbook, ATruncatedFileFailsCleanly) {
  const std::vector<uint8_t> bytes = xml_test::read_bytes(fixture("xml_values.xlsx"));
  for (const size_t keep : {bytes.size() / 3, bytes.size() - 30, size_t(100)}) {
    const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + keep);
    const std::string message = engine_error([&] { open_workbook_bytes(cut, "обрезан.xlsx"); });
    EXPECT_NE(message.find("обрезан.xlsx"), std::string::npos) << message;
  }
}

}  // namespace
}  // namespace vers::engine
