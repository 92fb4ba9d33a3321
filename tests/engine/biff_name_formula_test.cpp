// What the formula of a defined name refers to, on token sequences laid out
// as BIFF8 and BIFF5 write them.
#include <gtest/gtest.h>

#include <span>
#include <vector>

#include "engine/biff/name_formula.h"

namespace vers::engine::biff {
namespace {

using Bytes = std::vector<uint8_t>;
using Kind = DefinedName::Kind;

// BIFF8 3-D area: ixti, first row, last row, first column, last column.
Bytes area8(uint8_t ixti, uint8_t r1, uint8_t r2, uint8_t c1, uint8_t c2) {
  return {0x3B, ixti, 0, r1, 0, r2, 0, c1, 0xC0, c2, 0xC0};  // 0xC0: relative flags
}
Bytes ref8(uint8_t ixti, uint8_t r, uint8_t c) { return {0x3A, ixti, 0, r, 0, c, 0}; }
Bytes join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

ExternSheets biff8_sheets() {
  ExternSheets ext;
  ext.supbook_is_own = {true, false};
  ext.biff8 = {{0, 0, 0}, {0, 1, 1}, {0, 0, 1}, {1, 0, 0}, {0, 0xFFFF, 0xFFFF}, {0, 0xFFFE, 0xFFFE}};
  return ext;
}

// A name's formula and what it must be classified as, in a workbook of
// three sheets; sheet and area matter for an Area only.
struct Case {
  const char* what;
  Bytes tokens;
  Kind kind;
  size_t sheet;
  CellArea area;
};

void expect_classified(std::span<const Case> cases, BiffVersion version, const ExternSheets& ext) {
  for (const Case& c : cases) {
    const NameTarget t = classify_name_formula(c.tokens, version, ext, 3);
    EXPECT_EQ(t.kind, c.kind) << c.what;
    if (c.kind == Kind::Area) {
      EXPECT_EQ(t.sheet, c.sheet) << c.what;
      EXPECT_EQ(t.area, c.area) << c.what;
    }
  }
}

TEST(BiffNameFormula, ClassifiesBiff8Formulas) {
  const Case cases[] = {
      {"an area of the second sheet", area8(1, 1, 3, 1, 3), Kind::Area, 1, {1, 1, 3, 3}},
      {"one cell", ref8(0, 6, 2), Kind::Area, 0, {6, 2, 6, 2}},
      {"a value-class area", {0x5B, 1, 0, 0, 0, 4, 0, 0, 0, 2, 0}, Kind::Area, 1, {0, 0, 4, 2}},
      {"an area across two sheets", area8(2, 0, 1, 0, 1), Kind::MultipleAreas, 0, {}},
      {"a union", join({{0x29, 23, 0}, area8(0, 0, 1, 0, 0), ref8(1, 2, 2), {0x10}}), Kind::MultipleAreas, 0, {}},
      {"another workbook", area8(3, 0, 1, 0, 1), Kind::External, 0, {}},
      {"a deleted sheet", area8(4, 0, 1, 0, 1), Kind::Other, 0, {}},
      {"the workbook itself", ref8(5, 0, 0), Kind::Other, 0, {}},
      {"an index past the table", ref8(9, 0, 0), Kind::Other, 0, {}},
      {"a deleted reference", {0x3D, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Kind::Other, 0, {}},
      {"a number", {0x1E, 42, 0}, Kind::Other, 0, {}},
      {"a formula", join({ref8(0, 0, 0), {0x1E, 2, 0, 0x05}}), Kind::Other, 0, {}},
      {"two areas without a union", join({ref8(0, 0, 0), ref8(1, 0, 0)}), Kind::Other, 0, {}},
      {"cut short", {0x3B, 1, 0, 0}, Kind::Other, 0, {}},
      {"empty", {}, Kind::Other, 0, {}},
  };
  const ExternSheets ext = biff8_sheets();
  expect_classified(cases, BiffVersion::Biff8, ext);
}

// BIFF5 3-D area: EXTERNSHEET index, 8 unused bytes, first and last sheet,
// first and last row, first and last column.
Bytes area5(int16_t ixals, int16_t s1, int16_t s2, uint8_t r1, uint8_t r2, uint8_t c1, uint8_t c2) {
  return {0x3B, uint8_t(ixals), uint8_t(ixals >> 8), 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(s1), uint8_t(s1 >> 8),
          uint8_t(s2), uint8_t(s2 >> 8), r1, 0xC0, r2, 0xC0, c1, c2};
}

TEST(BiffNameFormula, ClassifiesBiff5Formulas) {
  ExternSheets ext;
  ext.biff5_is_own = {true, true, false};
  const Case cases[] = {
      {"an area of this workbook", area5(-2, 1, 1, 1, 3, 1, 3), Kind::Area, 1, {1, 1, 3, 3}},
      {"one cell", {0x3A, 0xFD, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 6, 0xC0, 2}, Kind::Area, 2, {6, 2, 6, 2}},
      {"through an own EXTERNSHEET", area5(1, 0, 0, 0, 0, 0, 0), Kind::Area, 0, {0, 0, 0, 0}},
      {"across sheets", area5(-1, 0, 1, 0, 1, 0, 1), Kind::MultipleAreas, 0, {}},
      {"another workbook", area5(3, 0, 0, 0, 1, 0, 1), Kind::External, 0, {}},
      {"a deleted sheet", area5(-1, -1, -1, 0, 1, 0, 1), Kind::Other, 0, {}},
      {"a sheet past the last", area5(-1, 5, 5, 0, 1, 0, 1), Kind::Other, 0, {}},
  };
  expect_classified(cases, BiffVersion::Biff5, ext);
}

}  // namespace
}  // namespace vers::engine::biff
