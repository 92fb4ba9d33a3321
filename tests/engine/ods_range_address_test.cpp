// What OpenDocument named ranges and named expressions refer to.
#include "engine/ods/ods_range_address.h"

#include <gtest/gtest.h>

namespace vers::engine::ods {
namespace {

using Kind = DefinedName::Kind;

const std::vector<std::string> kSheets = {"Лист1", "Данные формы", "It's"};

TEST(OdsRangeAddress, ClassifiesAddresses) {
  struct Case {
    const char* address;
    Kind kind;
    size_t sheet;
    CellArea area;
  } cases[] = {
      {"$Лист1.$A$1:.$C$3", Kind::Area, 0, {0, 0, 2, 2}},
      {"Лист1.B2", Kind::Area, 0, {1, 1, 1, 1}},
      {"$'Данные формы'.$B$2:$'Данные формы'.$D$4", Kind::Area, 1, {1, 1, 3, 3}},
      {"$'It''s'.$A$1", Kind::Area, 2, {0, 0, 0, 0}},
      {" $Лист1.$A$1 ", Kind::Area, 0, {0, 0, 0, 0}},
      {"$Лист1.$A$1:$'Данные формы'.$B$3", Kind::MultipleAreas, 0, {}},
      {"$Лист1.$A$1:.$A$2 $Лист1.$C$1", Kind::MultipleAreas, 0, {}},
      {"'file:///tmp/other.ods'#$Лист1.$A$1", Kind::External, 0, {}},
      {"$Нет.$A$1", Kind::Other, 0, {}},
      {"$#REF!.$A$1", Kind::Other, 0, {}},
      {"$Лист1.$A$1:.$A", Kind::Other, 0, {}},
      {"$A$1", Kind::Other, 0, {}},  // no sheet
      {"", Kind::Other, 0, {}},
  };
  for (const Case& c : cases) {
    const DefinedName n = classify_range_address("Имя", c.address, kSheets);
    EXPECT_EQ(n.name, "Имя");
    EXPECT_EQ(n.kind, c.kind) << c.address;
    if (c.kind != Kind::Area || n.kind != Kind::Area) continue;
    EXPECT_EQ(n.sheet, c.sheet) << c.address;
    EXPECT_EQ(n.area, c.area) << c.address;
  }
}

TEST(OdsRangeAddress, ClassifiesNamedExpressions) {
  struct Case {
    const char* expression;
    Kind kind;
  } cases[] = {
      {"of:=[$Лист1.$A$1:.$B$2]", Kind::Area},
      {"[$Лист1.$A$1:.$A$2]~[$'Данные формы'.$C$2]", Kind::MultipleAreas},
      {"of:=['file:///tmp/other.ods'#$Лист1.$A$1:.$B$2]", Kind::External},
      {"of:=42", Kind::Other},
      {"of:=[$Лист1.$B$2]&\"!\"", Kind::Other},
      {"of:=SUM([$Лист1.$A$1:.$A$3])", Kind::Other},
      {"", Kind::Other},
  };
  for (const Case& c : cases) EXPECT_EQ(classify_expression("Имя", c.expression, kSheets).kind, c.kind) << c.expression;
  const DefinedName area = classify_expression("Имя", "of:=[$Лист1.$A$1:.$B$2]", kSheets);
  EXPECT_EQ(area.area, (CellArea{0, 0, 1, 1}));
}

}  // namespace
}  // namespace vers::engine::ods
