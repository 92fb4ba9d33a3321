// The OpenDocument content stream: cell values by value type, the text of
// paragraphs, repeated and covered cells, and workbook-wide names.
#include "engine/ods/ods_content.h"

#include <gtest/gtest.h>

#include "xml_test_support.h"

namespace vers::engine::ods {
namespace {

using xml_test::boolean;
using xml_test::num;
using xml_test::ods_content;
using xml_test::txt;

struct CellRun {
  size_t sheet;
  uint32_t row, rows, col, cols;
  Value value;
  friend bool operator==(const CellRun&, const CellRun&) = default;
};

void PrintTo(const CellRun& r, std::ostream* os) {
  *os << "sheet " << r.sheet << " rows " << r.row << "+" << r.rows << " cols " << r.col << "+" << r.cols << " ";
  PrintTo(r.value, os);
}

// Keeps every event, for the sheets it is asked to.
class Collect : public ContentSink {
 public:
  void sheet(size_t, std::string_view name) override { sheets.emplace_back(name); }
  bool wants_cells(size_t sheet) const override { return wanted < 0 || size_t(wanted) == sheet; }
  void cells(size_t sheet, uint32_t row, uint32_t rows, uint32_t col, uint32_t cols, const Value& v) override {
    runs.push_back({sheet, row, rows, col, cols, v});
  }
  void named_range(std::string_view name, std::string_view address, std::string_view expression) override {
    names.push_back(std::string(name) + "=" + std::string(address) + "|" + std::string(expression));
  }

  int wanted = -1;
  std::vector<std::string> sheets;
  std::vector<CellRun> runs;
  std::vector<std::string> names;
};

Collect read(const std::string& body, int wanted = -1) {
  Collect c;
  c.wanted = wanted;
  read_content(ods_content(body), "«t.ods» (часть «content.xml»)", c);
  return c;
}

// One cell's value, as the reader decodes it.
Value cell(const std::string& cell_xml) {
  const Collect c = read("<table:table table:name='S'><table:table-row>" + cell_xml + "</table:table-row></table:table>");
  EXPECT_LE(c.runs.size(), 1u) << cell_xml;
  return c.runs.empty() ? Value() : c.runs[0].value;
}

TEST(OdsContent, DecodesValuesByType) {
  const double t = (9 * 3600 + 5 * 60 + 7) / 86400.0;
  struct Case {
    const char* xml;
    Value value;
  } cases[] = {
      {"<table:table-cell office:value-type='float' office:value='-12.5'><text:p>-12,5</text:p></table:table-cell>", num(-12.5)},
      {"<table:table-cell office:value-type='percentage' office:value='0.125'><text:p>12.5%</text:p></table:table-cell>", num(0.125)},
      {"<table:table-cell office:value-type='currency' office:currency='RUB' office:value='1E3'/>", num(1000)},
      {"<table:table-cell office:value-type='date' office:date-value='2008-03-05T09:05:07'/>", num(39512 + t)},
      {"<table:table-cell office:value-type='date' office:date-value='2008-03-05'/>", num(39512)},
      {"<table:table-cell office:value-type='time' office:time-value='PT09H05M07S'/>", num(t)},
      {"<table:table-cell office:value-type='boolean' office:boolean-value='true'/>", boolean(true)},
      {"<table:table-cell office:value-type='boolean' office:boolean-value='false'/>", boolean(false)},
      {"<table:table-cell office:value-type='string'><text:p>Привет</text:p></table:table-cell>", txt("Привет")},
      {"<table:table-cell office:value-type='string' office:string-value='из атрибута'><text:p>иначе</text:p></table:table-cell>", txt("из атрибута")},
      {"<table:table-cell office:value-type='string'/>", txt("")},
      // Formula cells give their saved result; an error reads as empty.
      {"<table:table-cell table:formula='of:=1+1' office:value-type='float' office:value='2'/>", num(2)},
      {"<table:table-cell table:formula='of:=1/0' office:value-type='string' office:string-value='' calcext:value-type='error'><text:p>#DIV/0!</text:p></table:table-cell>", Value()},
      {"<table:table-cell table:formula='of:=&quot;&quot;'><text:p/></table:table-cell>", txt("")},
      // Empty cells, and values that do not read.
      {"<table:table-cell/>", Value()},
      {"<table:table-cell><text:p/></table:table-cell>", Value()},
      {"<table:table-cell office:value-type='float' office:value='abc'/>", Value()},
      {"<table:table-cell office:value-type='date' office:date-value='вчера'/>", Value()},
      {"<table:table-cell office:value-type='void'/>", Value()},
  };
  for (const Case& c : cases) EXPECT_EQ(cell(c.xml), c.value) << c.xml;
}

TEST(OdsContent, JoinsTheTextOfParagraphs) {
  struct Case {
    const char* paragraphs;
    const char* text;
  } cases[] = {
      {"<text:p>один</text:p><text:p>два</text:p>", "один\nдва"},
      {"<text:p>a<text:s/>b<text:s text:c='3'/>c</text:p>", "a b   c"},
      {"<text:p>a<text:tab/>b<text:line-break/>c</text:p>", "a\tb\nc"},
      {"<text:p><text:span>жирный</text:span> и <text:a xlink:href='x'>ссылка</text:a></text:p>", "жирный и ссылка"},
      {"<text:p>keeps   three</text:p>", "keeps   three"},
      {"<office:annotation><text:p>примечание</text:p></office:annotation><text:p>значение</text:p>", "значение"},
      {"<text:p/><text:p>после пустого</text:p>", "\nпосле пустого"},
      {"<text:h>заголовок</text:h><text:list><text:list-item><text:p>пункт</text:p></text:list-item></text:list>",
       "заголовок\nпункт"},
  };
  for (const Case& c : cases) {
    const std::string xml = std::string("<table:table-cell office:value-type='string' "
                                        "xmlns:xlink='http://www.w3.org/1999/xlink'>") +
                            c.paragraphs + "</table:table-cell>";
    EXPECT_EQ(cell(xml), txt(c.text)) << c.paragraphs;
  }
}

TEST(OdsContent, RepeatedRowsAndColumnsStayOneRun) {
  const Collect c = read(
      "<table:table table:name='S'>"
      "<table:table-row table:number-rows-repeated='2'><table:table-cell table:number-columns-repeated='3'/></table:table-row>"
      "<table:table-row table:number-rows-repeated='1000000000'>"
      "<table:table-cell/><table:table-cell office:value-type='float' office:value='1' table:number-columns-repeated='1000000000'/>"
      "</table:table-row>"
      "<table:table-row><table:table-cell office:value-type='float' office:value='2'/></table:table-row>"
      "</table:table>");
  // Clipped to the largest sheet: 2^24 rows, 16384 columns.
  const std::vector<CellRun> expected = {{0, 2, (1u << 24) - 2, 1, 16383, num(1)}};
  EXPECT_EQ(c.runs, expected);
}

TEST(OdsContent, CoveredCellsTakeTheirPlaceAndKeepTheirValues) {
  const Collect c = read(
      "<table:table table:name='S'><table:table-row>"
      "<table:table-cell table:number-columns-spanned='2' office:value-type='string'><text:p>слито</text:p></table:table-cell>"
      "<table:covered-table-cell office:value-type='float' office:value='5'/>"
      "<table:table-cell office:value-type='float' office:value='6'/>"
      "</table:table-row><table:table-row>"
      "<table:covered-table-cell table:number-columns-repeated='2'/>"
      "<table:table-cell office:value-type='float' office:value='7'/>"
      "</table:table-row></table:table>");
  const std::vector<CellRun> expected = {
      {0, 0, 1, 0, 1, txt("слито")}, {0, 0, 1, 1, 1, num(5)}, {0, 0, 1, 2, 1, num(6)}, {0, 1, 1, 2, 1, num(7)}};
  EXPECT_EQ(c.runs, expected);
}

TEST(OdsContent, RowsInGroupsAndHeadersCountAndSubtablesDoNot) {
  const Collect c = read(
      "<table:table table:name='S'>"
      "<table:table-header-rows><table:table-row><table:table-cell office:value-type='float' office:value='1'/></table:table-row></table:table-header-rows>"
      "<table:table-row-group><table:table-rows><table:table-row>"
      "<table:table-cell office:value-type='float' office:value='2'>"
      "<table:table table:name='вложенная'><table:table-row><table:table-cell office:value-type='float' office:value='9'/></table:table-row></table:table>"
      "</table:table-cell></table:table-row></table:table-rows></table:table-row-group>"
      "</table:table>");
  const std::vector<CellRun> expected = {{0, 0, 1, 0, 1, num(1)}, {0, 1, 1, 0, 1, num(2)}};
  EXPECT_EQ(c.runs, expected);
  EXPECT_EQ(c.sheets, std::vector<std::string>{"S"});
}

TEST(OdsContent, ReadsOnlyTheWantedSheetAndWorkbookWideNames) {
  const Collect c = read(
      "<table:table table:name='Один'><table:table-row><table:table-cell office:value-type='float' office:value='1'/></table:table-row>"
      "<table:named-expressions><table:named-range table:name='местное' table:cell-range-address='$Один.$A$1'/></table:named-expressions>"
      "</table:table>"
      "<table:table table:name='Два'><table:table-row><table:table-cell office:value-type='float' office:value='2'/></table:table-row></table:table>"
      "<table:named-expressions>"
      "<table:named-range table:name='Область' table:base-cell-address='$Один.$A$1' table:cell-range-address='$Один.$A$1:.$B$2'/>"
      "<table:named-expression table:name='Число' table:expression='of:=42'/>"
      "</table:named-expressions>",
      1);
  EXPECT_EQ(c.sheets, (std::vector<std::string>{"Один", "Два"}));
  const std::vector<CellRun> expected = {{1, 0, 1, 0, 1, num(2)}};
  EXPECT_EQ(c.runs, expected);
  EXPECT_EQ(c.names, (std::vector<std::string>{"Область=$Один.$A$1:.$B$2|", "Число=|of:=42"}));
}

TEST(OdsContent, DatesCountFromTheDocumentsNullDate) {
  const Collect c = read(
      "<table:calculation-settings><table:null-date table:date-value='1904-01-01'/></table:calculation-settings>"
      "<table:table table:name='S'><table:table-row>"
      "<table:table-cell office:value-type='date' office:date-value='1904-01-03'/></table:table-row></table:table>");
  ASSERT_EQ(c.runs.size(), 1u);
  EXPECT_EQ(c.runs[0].value, num(2));
}

TEST(OdsContent, RefusesTextThatGrowsWithoutEnd) {
  std::string spaces;
  for (int i = 0; i < 3; ++i) spaces += "<text:s text:c='16000000'/>";
  const std::string message = xml_test::engine_error(
      [&] { cell("<table:table-cell office:value-type='string'><text:p>" + spaces + "</text:p></table:table-cell>"); });
  EXPECT_NE(message.find("«t.ods»"), std::string::npos) << message;
}

}  // namespace
}  // namespace vers::engine::ods
