// What Office Open XML defined names refer to, from their formula text.
#include "engine/xlsx/defined_name_reference.h"

#include <gtest/gtest.h>

namespace vers::engine::xlsx {
namespace {

using Kind = DefinedName::Kind;

const std::vector<std::string> kSheets = {"Лист1", "Sheet name", "It's"};

TEST(XlsxDefinedName, ClassifiesReferences) {
  struct Case {
    const char* formula;
    Kind kind;
    size_t sheet;
    CellArea area;
  } cases[] = {
      {"Лист1!$A$1:$C$3", Kind::Area, 0, {0, 0, 2, 2}},
      {"'Sheet name'!$A$1", Kind::Area, 1, {0, 0, 0, 0}},
      {"'It''s'!B2:A1", Kind::Area, 2, {0, 0, 1, 1}},
      {"=Лист1!$B:$B", Kind::Area, 0, {0, 1, 1048575, 1}},
      {"Лист1!$2:$3", Kind::Area, 0, {1, 0, 2, 16383}},
      {"(Лист1!$A$1)", Kind::Area, 0, {0, 0, 0, 0}},
      {"Лист1!$A$1,Лист1!$B$2", Kind::MultipleAreas, 0, {}},
      {"(Лист1!$A$1:$A$2,'Sheet name'!$C$2)", Kind::MultipleAreas, 0, {}},
      {"Лист1!$A$1:$A$2~'Sheet name'!$C$2", Kind::MultipleAreas, 0, {}},
      {"Лист1:'Sheet name'!$A$1", Kind::MultipleAreas, 0, {}},
      {"'Лист1:Sheet name'!$A$1:$B$2", Kind::MultipleAreas, 0, {}},
      {"[1]Лист1!$A$1", Kind::External, 0, {}},
      {"'[1]Sheet name'!$A$1", Kind::External, 0, {}},
      {"42", Kind::Other, 0, {}},
      {"\"текст\"", Kind::Other, 0, {}},
      {"#REF!", Kind::Other, 0, {}},
      {"Лист1!#REF!", Kind::Other, 0, {}},
      {"SUM(Лист1!$A$1:$A$2)", Kind::Other, 0, {}},
      {"Лист1!$A$1+1", Kind::Other, 0, {}},
      {"Лист1!$A$1 Лист1!$A$1:$B$2", Kind::Other, 0, {}},  // an intersection
      {"Нет!$A$1", Kind::Other, 0, {}},
      {"{1,2}", Kind::Other, 0, {}},
      {"", Kind::Other, 0, {}},
  };
  for (const Case& c : cases) {
    const DefinedName n = classify_reference("Имя", c.formula, kSheets);
    EXPECT_EQ(n.name, "Имя");
    EXPECT_EQ(n.kind, c.kind) << c.formula;
    if (c.kind != Kind::Area || n.kind != Kind::Area) continue;
    EXPECT_EQ(n.sheet, c.sheet) << c.formula;
    EXPECT_EQ(n.area, c.area) << c.formula;
  }
}

}  // namespace
}  // namespace vers::engine::xlsx
