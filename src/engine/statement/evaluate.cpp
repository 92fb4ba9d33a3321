#include "engine/statement/evaluate.h"

#include <memory>

#include "engine/case_fold.h"
#include "engine/error.h"
#include "engine/statement/statement_result.h"

namespace vers::engine {
namespace {

// The truth of a value as a condition: nothing when it is unknown.
std::optional<bool> truth(const Value& v) {
  switch (v.type()) {
    case Value::Type::Boolean: return v.as_boolean();
    case Value::Type::Number: return v.as_number() != 0;
    case Value::Type::Text: {
      double d = 0;
      if (parse_number(v.as_text(), d)) return d != 0;
      return std::nullopt;
    }
    case Value::Type::Null: return std::nullopt;
  }
  return std::nullopt;
}

Value from_truth(std::optional<bool> t) { return t ? Value::boolean(*t) : Value(); }

std::optional<bool> operand_truth(const Expression& e, std::span<const Value> row) {
  Value scratch;
  return truth(evaluate_ref(e, row, scratch));
}

// An upper bound of the printed size of a value, for the room of a join.
size_t printed_size(const Value& v) { return v.is_text() ? v.as_text().size() : 24; }

}  // namespace

void throw_missing_column(std::string_view column, std::string_view table) {
  throw EngineError("В таблице «" + std::string(table) + "» нет столбца «" + std::string(column) + "»");
}

std::optional<size_t> find_column(const std::vector<std::string>& columns, std::string_view name) {
  for (size_t i = 0; i < columns.size(); ++i) {
    if (equal_ignoring_case(columns[i], name)) return i;
  }
  return std::nullopt;
}

void bind_columns(Expression& expression, const Table& table) {
  if (expression.kind == Expression::Kind::Column) {
    std::optional<size_t> index = find_column(table.columns, expression.name);
    if (!index) throw_missing_column(expression.name, table.name);
    expression.column = *index;
  }
  for (Expression& operand : expression.operands) bind_columns(operand, table);
}

Value evaluate(const Expression& e, std::span<const Value> row) {
  switch (e.kind) {
    case Expression::Kind::Column: return row[e.column];
    case Expression::Kind::Literal: return e.literal;
    case Expression::Kind::Concat: {
      Value scratch_a, scratch_b;
      const Value& a = evaluate_ref(e.operands[0], row, scratch_a);
      const Value& b = evaluate_ref(e.operands[1], row, scratch_b);
      if (a.is_null() && b.is_null()) return Value();
      std::string text;
      text.reserve(printed_size(a) + printed_size(b));
      append_text(a, text);
      append_text(b, text);
      return Value::text(std::move(text));
    }
    case Expression::Kind::Compare: {
      Value scratch_a, scratch_b;
      const Value& a = evaluate_ref(e.operands[0], row, scratch_a);
      const Value& b = evaluate_ref(e.operands[1], row, scratch_b);
      const std::optional<int> order = compare_values(a, b);
      if (!order) return Value();
      return Value::boolean(order_satisfies(*order, e.op));
    }
    case Expression::Kind::IsNull: {
      Value scratch;
      return Value::boolean(evaluate_ref(e.operands[0], row, scratch).is_null() != e.negated);
    }
    case Expression::Kind::Not: {
      std::optional<bool> t = operand_truth(e.operands[0], row);
      return from_truth(t ? std::optional<bool>(!*t) : std::nullopt);
    }
    case Expression::Kind::And: {
      // Either side false makes it false, even when the other is unknown.
      std::optional<bool> a = operand_truth(e.operands[0], row);
      if (a == false) return Value::boolean(false);
      std::optional<bool> b = operand_truth(e.operands[1], row);
      if (b == false) return Value::boolean(false);
      return from_truth(a && b ? std::optional<bool>(true) : std::nullopt);
    }
    case Expression::Kind::Or: {
      std::optional<bool> a = operand_truth(e.operands[0], row);
      if (a == true) return Value::boolean(true);
      std::optional<bool> b = operand_truth(e.operands[1], row);
      if (b == true) return Value::boolean(true);
      return from_truth(a && b ? std::optional<bool>(false) : std::nullopt);
    }
  }
  return Value();
}

const Value& evaluate_ref(const Expression& e, std::span<const Value> row, Value& scratch) {
  if (e.kind == Expression::Kind::Column) return row[e.column];
  if (e.kind == Expression::Kind::Literal) return e.literal;
  scratch = evaluate(e, row);
  return scratch;
}

bool holds(const Expression& condition, std::span<const Value> row) {
  return truth(evaluate(condition, row)) == true;
}

Table run_statement(const SelectStatement& statement, const Table& table) {
  // Not owned: the result lives only while its rows are copied out.
  const StatementResult result(statement, std::shared_ptr<const Table>(std::shared_ptr<const Table>(), &table));
  Table out;
  out.name = table.name;
  out.columns = result.columns();
  std::vector<Value> block;
  block.reserve(result.size() * out.columns.size());
  for (size_t r = 0; r < result.size(); ++r) {
    for (size_t c = 0; c < out.columns.size(); ++c) {
      Value scratch;
      const Value& v = result.value(r, c, scratch);
      block.push_back(&v == &scratch ? std::move(scratch) : v);
    }
  }
  out.rows = TableRows(std::move(block), out.columns.size(), 0);
  return out;
}

}  // namespace vers::engine
