// Relationship targets of an Office Open XML package resolved to members.
#include "engine/xlsx/relationships.h"

#include <gtest/gtest.h>

namespace vers::engine::xlsx {
namespace {

TEST(XlsxRelationships, ResolvesTargetsRelativeOrAbsolute) {
  struct Case {
    const char* part;
    const char* target;
    const char* member;
  } cases[] = {
      {"xl/workbook.xml", "worksheets/sheet1.xml", "xl/worksheets/sheet1.xml"},
      {"xl/workbook.xml", "/xl/worksheets/sheet1.xml", "xl/worksheets/sheet1.xml"},
      {"xl/workbook.xml", "../strings.xml", "strings.xml"},
      {"xl/workbook.xml", "./a/../b/./c.xml", "xl/b/c.xml"},
      {"", "xl/workbook.xml", "xl/workbook.xml"},
      {"", "/xl/workbook.xml", "xl/workbook.xml"},
      {"xl/workbook.xml", "../../../x.xml", "x.xml"},
  };
  for (const Case& c : cases) EXPECT_EQ(resolve_target(c.part, c.target), c.member) << c.part << " " << c.target;
}

TEST(XlsxRelationships, NamesTheMemberOfAPartsRelationships) {
  EXPECT_EQ(relationships_member("xl/workbook.xml"), "xl/_rels/workbook.xml.rels");
  EXPECT_EQ(relationships_member(""), "_rels/.rels");
  EXPECT_EQ(relationships_member("book.xml"), "_rels/book.xml.rels");
}

TEST(XlsxRelationships, MatchesTypesOfBothConformanceClasses) {
  const Relationship transitional{"r1", "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet", ""};
  const Relationship strict{"r2", "http://purl.oclc.org/ooxml/officeDocument/relationships/worksheet", ""};
  const Relationship other{"r3", "http://example.com/chartsheetworksheet", ""};
  EXPECT_TRUE(type_is(transitional, "worksheet"));
  EXPECT_TRUE(type_is(strict, "worksheet"));
  EXPECT_FALSE(type_is(other, "worksheet"));
  EXPECT_FALSE(type_is(transitional, "sharedStrings"));
}

}  // namespace
}  // namespace vers::engine::xlsx
