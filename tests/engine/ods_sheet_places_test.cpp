// Opening an OpenDocument spreadsheet notes where each sheet lies in
// content.xml and parses only what lies outside the sheets; a sheet is read
// later from its own bytes. Markup that merely looks like a sheet's end,
// names before or after the sheets, other prefixes and a sheet read more
// than once must all come out as a whole-document parse would give them.
#include <gtest/gtest.h>

#include "engine/ods/ods_workbook.h"
#include "engine/zip/zip_archive.h"
#include "xml_test_support.h"

namespace vers::engine {
namespace {

using xml_test::engine_error;
using xml_test::num;
using xml_test::txt;

std::unique_ptr<Workbook> open_document(const std::string& content) {
  auto bytes = xml_test::make_zip(xml_test::ods_members(content));
  return ods::open_ods(std::make_unique<zip::Archive>(std::move(bytes), "книга.ods"));
}

std::unique_ptr<Workbook> open_body(const std::string& body) { return open_document(xml_test::ods_content(body)); }

std::string text_cell(const std::string& inner) {
  return "<table:table-cell office:value-type='string'><text:p>" + inner + "</text:p></table:table-cell>";
}

std::string sheet(const std::string& name, const std::string& rows) {
  return "<table:table table:name='" + name + "'>" + rows + "</table:table>";
}

std::string row(const std::string& cells) { return "<table:table-row>" + cells + "</table:table-row>"; }

CellGrid whole(Workbook& book, size_t index) {
  const auto used = book.used_area(index);
  EXPECT_TRUE(used) << index;
  return book.read_area(index, *used);
}

TEST(OdsSheetPlaces, MarkupThatLooksLikeASheetsEndStaysInsideTheSheet) {
  const std::string first = sheet(
      "Первый",
      row(text_cell("<![CDATA[a > </table:table><b]]>")) +
          row("<!-- > </table:table> --><table:table-cell office:value-type='float' office:value='2' "
              "table:formula='of:=IF([.A1]>1;2;3)'/>") +
          row("<?marker > </table:table> ?>" + text_cell("&lt;/table:table&gt;")));
  const std::string second = sheet("Второй", row(text_cell("второй")));
  auto book = open_body(first + "<!-- > <table:table table:name='Ложный'> -->" + second);

  ASSERT_EQ(book->sheet_names(), (std::vector<std::string>{"Первый", "Второй"}));
  xml_test::expect_grid(whole(*book, 0), {{txt("a > </table:table><b")}, {num(2)}, {txt("</table:table>")}});
  xml_test::expect_grid(whole(*book, 1), {{txt("второй")}});
}

// content.xml is read in pieces of this size when a book is opened.
constexpr size_t kPiece = 256 * 1024;

// Rows of filler text enough to carry a sheet past the first piece.
std::string filler_rows(size_t bytes) {
  std::string rows;
  while (rows.size() < bytes) rows += row(text_cell(std::string(100, 'x')));
  return rows;
}

// In a sheet longer than a piece, markup that looks like the sheet's end,
// inside a comment, a CDATA section, an instruction or a nested table, is
// still inside the sheet, wherever the pieces are cut.
TEST(OdsSheetPlaces, MarkupThatLooksLikeASheetsEndStaysInsideALongSheet) {
  const std::string tricky =
      row(text_cell("<![CDATA[a > </table:table><b]]>")) + row("<!-- > </table:table> -->" + text_cell("c")) +
      row("<?marker > </table:table> ?>" + text_cell("d")) +
      row("<table:table-cell><table:table table:name='Вложенная'></table:table></table:table-cell>");
  for (const size_t shift : {size_t{0}, size_t{7}, size_t{31}, size_t{64}}) {
    SCOPED_TRACE(shift);
    const std::string rows = filler_rows(kPiece + shift) + tricky + filler_rows(kPiece) + row(text_cell("последняя"));
    auto book = open_body(sheet("Первый", rows) + sheet("Второй", row(text_cell("второй"))));
    ASSERT_EQ(book->sheet_names(), (std::vector<std::string>{"Первый", "Второй"}));
    const auto used = book->used_area(0);
    ASSERT_TRUE(used);
    const uint32_t tricky_row = uint32_t((kPiece + shift + 99) / row(text_cell(std::string(100, 'x'))).size());
    const CellGrid cells = book->read_area(0, CellArea{tricky_row, 0, tricky_row + 2, 0});
    EXPECT_EQ(cells.cells, (std::vector<Value>{txt("a > </table:table><b"), txt("c"), txt("d")}));
    xml_test::expect_grid(book->read_area(0, CellArea{used->last_row, 0, used->last_row, 0}), {{txt("последняя")}});
    xml_test::expect_grid(whole(*book, 1), {{txt("второй")}});
  }
}

// A sheet's end tag, and the tags around it, read the same wherever a
// piece is cut in them.
TEST(OdsSheetPlaces, ASheetsEndCutBetweenPiecesIsFound) {
  const std::string head = xml_test::ods_content("");
  const std::string before = head.substr(0, head.find("</office:spreadsheet>"));
  const std::string last_row = row(text_cell("конец"));
  const std::string one_filler = row(text_cell(std::string(100, 'x')));
  for (size_t cut = 0; cut < 40; ++cut) {
    SCOPED_TRACE(cut);
    // The end tag of the first sheet begins from 20 bytes before the end
    // of the second piece to 19 after it (the piece a sheet opens in is
    // scanned whole).
    std::string rows = filler_rows(2 * kPiece - 4096);
    const size_t sheet_start = before.size();
    const std::string open_tag = "<table:table table:name='Первый'>";
    const size_t end_tag_at = sheet_start + open_tag.size() + rows.size() + last_row.size();
    const size_t wanted = 2 * kPiece - 20 + cut;  // where the end tag should begin
    rows += row(text_cell(std::string(wanted - end_tag_at - row(text_cell("")).size(), 'y')));
    auto book = open_body(sheet("Первый", rows + last_row) + sheet("Второй", row(text_cell("второй"))));
    ASSERT_EQ(book->sheet_names(), (std::vector<std::string>{"Первый", "Второй"}));
    const auto used = book->used_area(0);
    ASSERT_TRUE(used);
    xml_test::expect_grid(book->read_area(0, CellArea{used->last_row, 0, used->last_row, 0}), {{txt("конец")}});
    xml_test::expect_grid(whole(*book, 1), {{txt("второй")}});
  }
}

TEST(OdsSheetPlaces, NamesBeforeAndAfterTheSheetsAreRead) {
  const std::string names_before =
      "<table:named-expressions><table:named-range table:name='Раньше' "
      "table:cell-range-address='$Б.$A$1:.$A$2'/></table:named-expressions>";
  const std::string names_after =
      "<table:named-expressions><table:named-range table:name='Позже' "
      "table:cell-range-address='$А.$A$1'/></table:named-expressions>";
  auto book = open_body(names_before + sheet("А", row(text_cell("а"))) +
                        sheet("Б", row(text_cell("б1")) + row(text_cell("б2"))) + names_after);

  ASSERT_EQ(book->defined_names().size(), 2u);
  EXPECT_EQ(book->defined_names()[0].name, "Раньше");
  EXPECT_EQ(book->defined_names()[0].sheet, 1u);
  EXPECT_EQ(book->defined_names()[0].area, (CellArea{0, 0, 1, 0}));
  EXPECT_EQ(book->defined_names()[1].name, "Позже");
  EXPECT_EQ(book->defined_names()[1].sheet, 0u);
  xml_test::expect_grid(book->read_area(1, CellArea{0, 0, 1, 0}), {{txt("б1")}, {txt("б2")}});
}

TEST(OdsSheetPlaces, ASheetReadAgainAndInAnyOrderGivesTheSameCells) {
  std::string rows;
  for (int r = 0; r < 200; ++r)
    rows += row("<table:table-cell office:value-type='float' office:value='" + std::to_string(r) + "'/>");
  auto book = open_body(sheet("А", rows) + sheet("Б", row(text_cell("б"))) + sheet("В", rows));

  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_EQ(book->used_area(2), (CellArea{0, 0, 199, 0}));
    const CellGrid tail = book->read_area(2, CellArea{150, 0, 151, 0});
    xml_test::expect_grid(tail, {{num(150)}, {num(151)}});
    xml_test::expect_grid(book->read_area(1, CellArea{0, 0, 0, 0}), {{txt("б")}});
    xml_test::expect_grid(book->read_area(0, CellArea{0, 0, 1, 0}), {{num(0)}, {num(1)}});
  }
}

TEST(OdsSheetPlaces, AnyPrefixAndOnlyTheTableNamespaceMakeASheet) {
  const std::string content =
      "<?xml version='1.0' encoding='UTF-8'?>"
      "<o:document-content xmlns:o='urn:oasis:names:tc:opendocument:xmlns:office:1.0' "
      "xmlns:t='urn:oasis:names:tc:opendocument:xmlns:table:1.0' "
      "xmlns:p='urn:oasis:names:tc:opendocument:xmlns:text:1.0' xmlns:x='urn:example:other'>"
      "<o:body><o:spreadsheet>"
      "<x:table><x:row/></x:table>"
      "<t:table t:name='Один'><t:table-row><t:table-cell o:value-type='string'><p:p>раз</p:p>"
      "</t:table-cell></t:table-row></t:table>"
      "<table xmlns='urn:oasis:names:tc:opendocument:xmlns:table:1.0' name='Два'/>"
      "<t:table t:name='Три'/>"
      "</o:spreadsheet></o:body></o:document-content>";
  auto book = open_document(content);

  ASSERT_EQ(book->sheet_names(), (std::vector<std::string>{"Один", "", "Три"}));
  xml_test::expect_grid(whole(*book, 0), {{txt("раз")}});
  EXPECT_FALSE(book->used_area(1));
  EXPECT_FALSE(book->used_area(2));
  xml_test::expect_grid(book->read_area(2, CellArea{0, 0, 0, 1}), {{{}, {}}});
}

TEST(OdsSheetPlaces, TheNullDateCountsForSheetsReadLater) {
  auto book = open_body(
      "<table:calculation-settings><table:null-date table:date-value='1904-01-01'/></table:calculation-settings>" +
      sheet("Д", row("<table:table-cell office:value-type='date' office:date-value='1904-01-03'/>")));
  xml_test::expect_grid(whole(*book, 0), {{num(2)}});
}

TEST(OdsSheetPlaces, AUtf16DocumentIsReadWhole) {
  const std::string ascii = xml_test::ods_content(sheet("A", row(text_cell("one")) + row(text_cell("two"))) +
                                                  sheet("B", row(text_cell("three"))));
  std::string utf16 = "\xFF\xFE";  // little-endian, with its byte order mark
  for (char c : std::string_view(ascii).substr(ascii.find("?>") + 2)) {
    utf16 += c;
    utf16 += '\0';
  }
  auto book = open_document(utf16);
  ASSERT_EQ(book->sheet_names(), (std::vector<std::string>{"A", "B"}));
  xml_test::expect_grid(whole(*book, 0), {{txt("one")}, {txt("two")}});
  xml_test::expect_grid(whole(*book, 1), {{txt("three")}});
}

TEST(OdsSheetPlaces, DamageInsideOrAroundASheetFailsCleanly) {
  // Cut off inside a sheet: found when opening.
  const std::string cut = xml_test::ods_content(sheet("А", row(text_cell("а")) + row(text_cell("б"))));
  const std::string opened =
      engine_error([&] { open_document(cut.substr(0, cut.find("</table:table-row>") + 5)); });
  EXPECT_NE(opened.find("книга.ods"), std::string::npos) << opened;

  // Broken markup inside a sheet: found when the sheet is read, naming the
  // member.
  auto book = open_body(sheet("А", row(text_cell("а"))) + sheet("Б", row(text_cell("<b>б</c>"))));
  const std::string read = engine_error([&] { book->read_area(1, CellArea{0, 0, 0, 0}); });
  EXPECT_NE(read.find("content.xml"), std::string::npos) << read;
  xml_test::expect_grid(book->read_area(0, CellArea{0, 0, 0, 0}), {{txt("а")}});

  // Broken markup outside the sheets: found when opening.
  const std::string outside = engine_error([&] { open_body(sheet("А", "") + "<table:named-expressions>"); });
  EXPECT_NE(outside.find("content.xml"), std::string::npos) << outside;
}

}  // namespace
}  // namespace vers::engine
