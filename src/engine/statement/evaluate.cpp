#include "engine/statement/evaluate.h"

#include <algorithm>
#include <numeric>

#include "engine/case_fold.h"
#include "engine/error.h"

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

[[noreturn]] void throw_missing_column(std::string_view column, std::string_view table) {
  throw EngineError("В таблице «" + std::string(table) + "» нет столбца «" + std::string(column) + "»");
}

// Where an ORDER BY key is read from: the select list's output, or the
// table's record when the list does not name it.
struct SortKey {
  bool from_output = false;
  size_t column = 0;
  bool descending = false;
};

}  // namespace

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

Value evaluate(const Expression& e, const std::vector<Value>& row) {
  switch (e.kind) {
    case Expression::Kind::Column: return row[e.column];
    case Expression::Kind::Literal: return e.literal;
    case Expression::Kind::Concat: {
      Value a = evaluate(e.operands[0], row), b = evaluate(e.operands[1], row);
      if (a.is_null() && b.is_null()) return Value();
      return Value::text(to_text(a) + to_text(b));
    }
    case Expression::Kind::Compare: {
      Value a = evaluate(e.operands[0], row), b = evaluate(e.operands[1], row);
      if (!compare_values(a, b)) return Value();
      return Value::boolean(satisfies(a, e.op, b));
    }
    case Expression::Kind::IsNull: return Value::boolean(evaluate(e.operands[0], row).is_null() != e.negated);
    case Expression::Kind::Not: {
      std::optional<bool> t = truth(evaluate(e.operands[0], row));
      return from_truth(t ? std::optional<bool>(!*t) : std::nullopt);
    }
    case Expression::Kind::And: {
      // Either side false makes it false, even when the other is unknown.
      std::optional<bool> a = truth(evaluate(e.operands[0], row));
      if (a == false) return Value::boolean(false);
      std::optional<bool> b = truth(evaluate(e.operands[1], row));
      if (b == false) return Value::boolean(false);
      return from_truth(a && b ? std::optional<bool>(true) : std::nullopt);
    }
    case Expression::Kind::Or: {
      std::optional<bool> a = truth(evaluate(e.operands[0], row));
      if (a == true) return Value::boolean(true);
      std::optional<bool> b = truth(evaluate(e.operands[1], row));
      if (b == true) return Value::boolean(true);
      return from_truth(a && b ? std::optional<bool>(false) : std::nullopt);
    }
  }
  return Value();
}

bool holds(const Expression& condition, const std::vector<Value>& row) {
  return truth(evaluate(condition, row)) == true;
}

Table run_statement(const SelectStatement& statement, const Table& table) {
  Table result;
  result.name = table.name;

  // The select list, bound, with the output names.
  std::vector<Expression> outputs;
  if (statement.select_all) {
    result.columns = table.columns;
  } else {
    int unnamed = 0;
    for (const SelectItem& item : statement.items) {
      Expression e = item.expression;
      bind_columns(e, table);
      if (item.alias) {
        result.columns.push_back(*item.alias);
      } else if (e.kind == Expression::Kind::Column) {
        result.columns.push_back(table.columns[e.column]);
      } else {
        result.columns.push_back("Expr" + std::to_string(++unnamed));
      }
      outputs.push_back(std::move(e));
    }
  }

  std::optional<Expression> where = statement.where;
  if (where) bind_columns(*where, table);

  std::vector<SortKey> keys;
  for (const OrderItem& item : statement.order_by) {
    SortKey key;
    key.descending = item.descending;
    if (std::optional<size_t> out = find_column(result.columns, item.name)) {
      key.from_output = true;
      key.column = *out;
    } else if (std::optional<size_t> in = find_column(table.columns, item.name)) {
      key.column = *in;
    } else {
      throw_missing_column(item.name, table.name);
    }
    keys.push_back(key);
  }

  std::vector<size_t> sources;  // the table's record behind each result row
  for (size_t r = 0; r < table.rows.size(); ++r) {
    const std::vector<Value>& row = table.rows[r];
    if (where && !holds(*where, row)) continue;
    sources.push_back(r);
    if (statement.select_all) {
      result.rows.push_back(row);
    } else {
      std::vector<Value> out;
      out.reserve(outputs.size());
      for (const Expression& e : outputs) out.push_back(evaluate(e, row));
      result.rows.push_back(std::move(out));
    }
  }

  if (!keys.empty()) {
    std::vector<size_t> order(result.rows.size());
    std::iota(order.begin(), order.end(), size_t{0});
    auto key_value = [&](const SortKey& key, size_t i) -> const Value& {
      return key.from_output ? result.rows[i][key.column] : table.rows[sources[i]][key.column];
    };
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      for (const SortKey& key : keys) {
        int c = sort_compare(key_value(key, a), key_value(key, b));
        if (c != 0) return key.descending ? c > 0 : c < 0;
      }
      return false;
    });
    std::vector<std::vector<Value>> sorted;
    sorted.reserve(order.size());
    for (size_t i : order) sorted.push_back(std::move(result.rows[i]));
    result.rows = std::move(sorted);
  }
  return result;
}

}  // namespace vers::engine
