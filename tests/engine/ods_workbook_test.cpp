// The OpenDocument reader behind Workbook, on a workbook that LibreOffice
// saved and on damaged or hostile archives made in the test.
#include "engine/ods/ods_workbook.h"

#include <gtest/gtest.h>

#include "engine/zip/zip_archive.h"
#include "xml_test_support.h"

namespace vers::engine {
namespace {

using xml_test::boolean;
using xml_test::engine_error;
using xml_test::fixture;
using xml_test::num;
using xml_test::ods_content;
using xml_test::txt;

std::unique_ptr<Workbook> open_ods_bytes(std::vector<uint8_t> bytes, const std::string& name = "книга.ods") {
  return ods::open_ods(std::make_unique<zip::Archive>(std::move(bytes), name));
}

std::unique_ptr<Workbook> open_content(const std::string& body) {
  return open_ods_bytes(xml_test::make_zip(xml_test::ods_members(ods_content(body))));
}

TEST(OdsWorkbook, ReadsSheetsNamesAndValuesSavedByLibreOffice) {
  auto book = open_workbook(fixture("xml_values.ods"));
  EXPECT_EQ(book->sheet_names(), (std::vector<std::string>{"Данные формы", "Лист 'с' кавычками"}));

  ASSERT_EQ(book->defined_names().size(), 2u);
  const DefinedName& data = book->defined_names()[0];
  EXPECT_EQ(data.name, "Data_Adr");
  EXPECT_EQ(data.kind, DefinedName::Kind::Area);
  EXPECT_EQ(data.sheet, 0u);
  EXPECT_EQ(data.area, (CellArea{0, 0, 17, 3}));
  const DefinedName& quoted = book->defined_names()[1];
  EXPECT_EQ(quoted.kind, DefinedName::Kind::Area);
  EXPECT_EQ(quoted.sheet, 1u);
  EXPECT_EQ(quoted.area, (CellArea{2, 1, 3, 1}));

  // The million empty rows at the end of the sheet are not part of it.
  EXPECT_EQ(book->used_area(0), (CellArea{0, 0, 17, 3}));
  const CellGrid grid = book->read_area(0, CellArea{0, 0, 17, 3});
  const double t = (9 * 3600 + 5 * 60 + 7) / 86400.0;
  const std::vector<std::vector<Value>> expected = {
      {txt("Вид"), txt("Значение"), {}, {}},
      {txt("число"), num(3.25), {}, {}},
      {txt("процент"), num(0.125), {}, {}},
      {txt("деньги"), num(1234.5), {}, {}},
      {txt("дата и время"), num(39512 + t), {}, {}},
      {txt("дата"), num(36525), {}, {}},
      {txt("время"), num(t), {}, {}},
      {txt("истина"), boolean(true), {}, {}},
      {txt("абзацы"), txt("Первый абзац\nвторой   с пробелами"), {}, {}},
      {txt("оформление"), txt("жирный и обычный"), {}, {}},
      {txt("ошибка"), {}, {}, {}},
      {txt("пустой текст"), txt(""), {}, {}},
      {txt("ложь по формуле"), boolean(false), {}, {}},
      {txt("повтор"), num(7), num(7), num(7)},
      {txt("повтор"), num(7), num(7), num(7)},
      {txt("повтор"), num(7), num(7), num(7)},
      {txt("объединённая"), txt("слева вверху"), num(5), {}},
      {{}, {}, {}, txt("после")},
  };
  xml_test::expect_grid(grid, expected);
}

TEST(OdsWorkbook, ReadAreaKeepsOnlyTheAreaAndReachesPastTheUsedArea) {
  auto book = open_content(
      "<table:table table:name='S'>"
      "<table:table-row><table:table-cell office:value-type='float' office:value='1' table:number-columns-repeated='4'/></table:table-row>"
      "<table:table-row table:number-rows-repeated='3'><table:table-cell/><table:table-cell office:value-type='float' office:value='2'/></table:table-row>"
      "</table:table>"
      "<table:table table:name='Пустой'><table:table-row table:number-rows-repeated='1048576'><table:table-cell table:number-columns-repeated='1024'/></table:table-row></table:table>");
  EXPECT_EQ(book->used_area(0), (CellArea{0, 0, 3, 3}));
  EXPECT_EQ(book->used_area(1), std::nullopt);

  const CellGrid grid = book->read_area(0, CellArea{0, 1, 5, 2});
  ASSERT_EQ(grid.rows, 6u);
  ASSERT_EQ(grid.cols, 2u);
  const std::vector<Value> expected = {num(1), num(1), num(2), {}, num(2), {}, num(2), {}, {}, {}, {}, {}};
  EXPECT_EQ(grid.cells, expected);
  EXPECT_EQ(book->read_area(1, CellArea{0, 0, 9, 9}).cells, std::vector<Value>(100));
}

TEST(OdsWorkbook, ASheetClaimingABillionRowsIsReadWithinBounds) {
  auto book = open_content(
      "<table:table table:name='S'>"
      "<table:table-row table:number-rows-repeated='1000000000'>"
      "<table:table-cell office:value-type='string' table:number-columns-repeated='1000000000'><text:p>x</text:p></table:table-cell>"
      "</table:table-row></table:table>");
  EXPECT_EQ(book->used_area(0), (CellArea{0, 0, (1u << 24) - 1, 16383}));
  const CellGrid grid = book->read_area(0, CellArea{100, 100, 101, 101});
  EXPECT_EQ(grid.cells, std::vector<Value>(4, txt("x")));
  // The whole of it would not fit in memory: refused, not allocated.
  const std::string message = engine_error([&] { book->read_area(0, CellArea{0, 0, (1u << 24) - 1, 16383}); });
  EXPECT_NE(message.find("книга.ods"), std::string::npos) << message;
}

TEST(OdsWorkbook, FailsCleanlyOnDamagedArchives) {
  const std::string good = ods_content("<table:table table:name='S'/>");
  struct Case {
    const char* what;
    std::vector<xml_test::Member> members;
    const char* expected;
  } cases[] = {
      {"no content", {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}}, "content.xml"},
      {"truncated content", xml_test::ods_members(good.substr(0, good.size() / 2)), "content.xml"},
      {"entity tricks", xml_test::ods_members("<?xml version='1.0'?><!DOCTYPE r [<!ENTITY a 'a'>]><r>&a;</r>"), "сущност"},
      {"encrypted", {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}, {"content.xml", "\x01\x02"},
                     {"META-INF/manifest.xml", "<manifest:manifest xmlns:manifest='urn:oasis:names:tc:opendocument:xmlns:manifest:1.0'>"
                      "<manifest:file-entry manifest:full-path='content.xml'><manifest:encryption-data/></manifest:file-entry></manifest:manifest>"}},
       "паролем"},
  };
  for (const Case& c : cases) {
    const std::string message = engine_error([&] { open_ods_bytes(xml_test::make_zip(c.members)); });
    EXPECT_NE(message.find("книга.ods"), std::string::npos) << c.what << ": " << message;
    EXPECT_NE(message.find(c.expected), std::string::npos) << c.what << ": " << message;
  }
}

TEST(OdsWorkbook, ATruncatedFileFailsCleanly) {
  std::vector<uint8_t> bytes = xml_test::read_bytes(fixture("xml_values.ods"));
  for (const size_t keep : {bytes.size() / 3, bytes.size() - 30, size_t(100)}) {
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + keep);
    const std::string message = engine_error([&] { open_workbook_bytes(cut, "обрезан.ods"); });
    EXPECT_NE(message.find("обрезан.ods"), std::string::npos) << message;
  }
}

}  // namespace
}  // namespace vers::engine
