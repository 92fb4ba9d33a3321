#include "engine/value_compare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "engine/case_fold.h"
#include "value_printing.h"

namespace vers::engine {
namespace {

Value N(double v) { return Value::number(v); }
Value T(const char* v) { return Value::text(v); }
Value B(bool v) { return Value::boolean(v); }
const Value kNull;

struct CompareCase {
  Value a, b;
  std::optional<int> order;  // sign; nothing: cannot be compared
};

TEST(ValueCompare, EveryPairOfTypes) {
  const std::vector<CompareCase> cases = {
      // Null meets nothing, itself included.
      {kNull, kNull, std::nullopt},
      {kNull, N(1), std::nullopt},
      {N(1), kNull, std::nullopt},
      {kNull, T("a"), std::nullopt},
      {B(true), kNull, std::nullopt},
      // Numbers numerically.
      {N(1), N(2), -1},
      {N(2), N(2), 0},
      {N(-0.5), N(-1), 1},
      // Texts ignoring case, Cyrillic too; digits in texts are still text.
      {T("abc"), T("ABC"), 0},
      {T("Привет"), T("пРИВЕТ"), 0},
      {T("Ёлка"), T("ёЛКА"), 0},
      {T("a"), T("b"), -1},
      {T("b"), T("A"), 1},
      {T("ab"), T("a"), 1},
      {T("10"), T("9"), -1},
      // A text that reads wholly as a number meets a number as that number.
      {T("1"), N(1), 0},
      {N(1), T(" 2 "), -1},
      {T("1e3"), N(1000), 0},
      {T("abc"), N(1), std::nullopt},
      {N(0), T(""), std::nullopt},
      {T("1abc"), N(1), std::nullopt},
      // A Boolean counts as 1 or 0.
      {B(true), N(1), 0},
      {B(false), N(0), 0},
      {B(true), N(0), 1},
      {N(0.5), B(true), -1},
      {B(true), T("1"), 0},
      {B(true), T("TRUE"), std::nullopt},
      {B(true), B(false), 1},
  };
  for (const CompareCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.a) + " vs " + ::testing::PrintToString(c.b));
    std::optional<int> order = compare_values(c.a, c.b);
    ASSERT_EQ(order.has_value(), c.order.has_value());
    if (order) EXPECT_EQ((*order > 0) - (*order < 0), *c.order);
  }
}

TEST(ValueCompare, ResultAboveZero) {
  const std::vector<std::pair<Value, bool>> cases = {
      {N(1), true},      {N(0.001), true}, {T("1"), true},  {B(true), true},  {kNull, false},
      {N(0), false},     {N(-1), false},   {T("0"), false}, {T("x"), false},  {T(""), false},
      {B(false), false},
  };
  for (const auto& [value, expected] : cases) {
    EXPECT_EQ(satisfies(value, CompareOp::Greater, N(0)), expected) << ::testing::PrintToString(value);
  }
}

TEST(ValueCompare, OperatorsAndNull) {
  struct OpCase {
    Value a;
    CompareOp op;
    Value b;
    bool expected;
  };
  const std::vector<OpCase> cases = {
      {N(1), CompareOp::Equal, N(1), true},          {N(1), CompareOp::NotEqual, N(1), false},
      {N(1), CompareOp::Less, N(2), true},           {N(2), CompareOp::LessEqual, N(2), true},
      {N(3), CompareOp::GreaterEqual, N(2), true},   {N(1), CompareOp::Greater, N(2), false},
      {T("a"), CompareOp::NotEqual, T("A"), false},  {T("a"), CompareOp::Less, T("B"), true},
      // Neither a comparison nor its opposite holds when one side is Null or
      // the two cannot be compared.
      {kNull, CompareOp::Equal, kNull, false},       {kNull, CompareOp::NotEqual, N(1), false},
      {T("x"), CompareOp::Equal, N(1), false},       {T("x"), CompareOp::NotEqual, N(1), false},
  };
  for (const OpCase& c : cases) {
    EXPECT_EQ(satisfies(c.a, c.op, c.b), c.expected)
        << ::testing::PrintToString(c.a) << " op " << int(c.op) << " " << ::testing::PrintToString(c.b);
  }
}

TEST(ValueCompare, SortOrderNullsNumbersTexts) {
  std::vector<Value> values = {T("b"), N(2), kNull, T("A"), N(1), B(true), T(""), N(-5)};
  std::vector<size_t> order = {0, 1, 2, 3, 4, 5, 6, 7};
  std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) { return sort_compare(values[x], values[y]) < 0; });
  // Null; numbers (TRUE ties with 1 and keeps its place after it); texts.
  EXPECT_EQ(order, (std::vector<size_t>{2, 7, 4, 5, 1, 6, 3, 0}));
  EXPECT_EQ(sort_compare(T("яблоко"), T("ЯБЛОКО")), 0);
  EXPECT_LT(sort_compare(T("Zebra"), T("апельсин")), 0);  // Latin before Cyrillic
}

TEST(CaseFold, LatinAndCyrillic) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"ID_Element", "id_element"},
      {"АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ", "абвгдежзийклмнопрстуфхцчшщъыьэюя"},
      {"ЁЇІЄЎҐ", "ёїієўґ"},
      {"ÀÉÖ×", "àéö×"},  // × has no lower case
      {"Данные 2008", "данные 2008"},
  };
  for (const auto& [text, folded] : cases) EXPECT_EQ(fold_case(text), folded) << text;
  EXPECT_TRUE(equal_ignoring_case("Data_Adr", "DATA_ADR"));
  EXPECT_FALSE(equal_ignoring_case("Data_Adr", "Data_Ad"));
  EXPECT_LT(compare_ignoring_case("Data", "data_adr"), 0);
}

}  // namespace
}  // namespace vers::engine
