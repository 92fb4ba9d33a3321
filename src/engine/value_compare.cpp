#include "engine/value_compare.h"

#include "engine/case_fold.h"

namespace vers::engine {
namespace {

int three_way(double a, double b) { return a < b ? -1 : (a > b ? 1 : 0); }

// The number a value stands for when it meets a number.
std::optional<double> numeric(const Value& v) {
  switch (v.type()) {
    case Value::Type::Number: return v.as_number();
    case Value::Type::Boolean: return v.as_boolean() ? 1.0 : 0.0;
    case Value::Type::Text: {
      double d = 0;
      if (parse_number(v.as_text(), d)) return d;
      return std::nullopt;
    }
    case Value::Type::Null: return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

std::optional<int> compare_values(const Value& a, const Value& b) {
  if (a.is_null() || b.is_null()) return std::nullopt;
  if (a.is_text() && b.is_text()) return compare_ignoring_case(a.as_text(), b.as_text());
  std::optional<double> x = numeric(a), y = numeric(b);
  if (!x || !y) return std::nullopt;
  return three_way(*x, *y);
}

bool order_satisfies(int order, CompareOp op) {
  switch (op) {
    case CompareOp::Equal: return order == 0;
    case CompareOp::NotEqual: return order != 0;
    case CompareOp::Less: return order < 0;
    case CompareOp::Greater: return order > 0;
    case CompareOp::LessEqual: return order <= 0;
    case CompareOp::GreaterEqual: return order >= 0;
  }
  return false;
}

bool satisfies(const Value& a, CompareOp op, const Value& b) {
  std::optional<int> order = compare_values(a, b);
  return order && order_satisfies(*order, op);
}

int sort_compare(const Value& a, const Value& b) {
  auto rank = [](const Value& v) {
    switch (v.type()) {
      case Value::Type::Null: return 0;
      case Value::Type::Number:
      case Value::Type::Boolean: return 1;
      case Value::Type::Text: return 2;
    }
    return 0;
  };
  int ra = rank(a), rb = rank(b);
  if (ra != rb) return ra < rb ? -1 : 1;
  if (ra == 0) return 0;
  if (ra == 2) return compare_ignoring_case(a.as_text(), b.as_text());
  return three_way(*numeric(a), *numeric(b));
}

}  // namespace vers::engine
