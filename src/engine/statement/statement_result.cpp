#include "engine/statement/statement_result.h"

#include <algorithm>
#include <numeric>
#include <optional>

#include "engine/statement/evaluate.h"

namespace vers::engine {
namespace {

Expression column_of(size_t index) {
  Expression e;
  e.kind = Expression::Kind::Column;
  e.column = index;
  return e;
}

// Replaces each column reference by the output it names.
void substitute(Expression& e, const std::vector<std::string>& columns, const std::vector<Expression>& outputs,
                const std::string& table) {
  if (e.kind == Expression::Kind::Column) {
    std::optional<size_t> index = find_column(columns, e.name);
    if (!index) throw_missing_column(e.name, table);
    e = outputs[*index];
    return;
  }
  for (Expression& operand : e.operands) substitute(operand, columns, outputs, table);
}

}  // namespace

StatementResult::StatementResult(Table table) : source_(std::make_shared<const Table>(std::move(table))) {
  columns_ = source_->columns;
  for (size_t c = 0; c < columns_.size(); ++c) outputs_.push_back(column_of(c));
  records_.resize(source_->rows.size());
  std::iota(records_.begin(), records_.end(), size_t{0});
}

StatementResult::StatementResult(const SelectStatement& statement, std::shared_ptr<const Table> source)
    : source_(std::move(source)) {
  const Table& table = *source_;

  // The select list, bound, with the output names.
  if (statement.select_all) {
    columns_ = table.columns;
    for (size_t c = 0; c < columns_.size(); ++c) outputs_.push_back(column_of(c));
  } else {
    int unnamed = 0;
    for (const SelectItem& item : statement.items) {
      Expression e = item.expression;
      bind_columns(e, table);
      if (item.alias) {
        columns_.push_back(*item.alias);
      } else if (e.kind == Expression::Kind::Column) {
        columns_.push_back(table.columns[e.column]);
      } else {
        columns_.push_back("Expr" + std::to_string(++unnamed));
      }
      outputs_.push_back(std::move(e));
    }
  }

  std::optional<Expression> where = statement.where;
  if (where) bind_columns(*where, table);

  // A key names an output first, else a column of the table.
  struct SortKey {
    Expression expression;  // bound to the table's columns
    bool descending = false;
  };
  std::vector<SortKey> keys;
  for (const OrderItem& item : statement.order_by) {
    SortKey key;
    key.descending = item.descending;
    if (std::optional<size_t> out = find_column(columns_, item.name)) {
      key.expression = outputs_[*out];
    } else if (std::optional<size_t> in = find_column(table.columns, item.name)) {
      key.expression = column_of(*in);
    } else {
      throw_missing_column(item.name, table.name);
    }
    keys.push_back(std::move(key));
  }

  for (size_t r = 0; r < table.rows.size(); ++r)
    if (!where || engine::holds(*where, table.rows[r])) records_.push_back(r);
  if (keys.empty()) return;

  // Keys that are not bare columns are computed once per row for the sort.
  std::vector<std::vector<Value>> computed(keys.size());
  for (size_t k = 0; k < keys.size(); ++k) {
    if (keys[k].expression.kind == Expression::Kind::Column) continue;
    computed[k].reserve(records_.size());
    for (size_t record : records_) computed[k].push_back(evaluate(keys[k].expression, table.rows[record]));
  }
  auto key_value = [&](size_t k, size_t i) -> const Value& {
    if (keys[k].expression.kind == Expression::Kind::Column) return table.rows[records_[i]][keys[k].expression.column];
    return computed[k][i];
  };
  std::vector<size_t> order(records_.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    for (size_t k = 0; k < keys.size(); ++k) {
      int c = sort_compare(key_value(k, a), key_value(k, b));
      if (c != 0) return keys[k].descending ? c > 0 : c < 0;
    }
    return false;
  });
  std::vector<size_t> sorted;
  sorted.reserve(order.size());
  for (size_t i : order) sorted.push_back(records_[i]);
  records_ = std::move(sorted);
}

const Value& StatementResult::value(size_t row, size_t column, Value& scratch) const {
  return evaluate_ref(outputs_[column], source_->rows[records_[row]], scratch);
}

std::vector<Value> StatementResult::row(size_t row) const {
  std::vector<Value> values;
  values.reserve(outputs_.size());
  for (size_t c = 0; c < outputs_.size(); ++c) {
    Value scratch;
    const Value& v = value(row, c, scratch);
    values.push_back(&v == &scratch ? std::move(scratch) : v);
  }
  return values;
}

Expression StatementResult::bind(Expression condition) const {
  substitute(condition, columns_, outputs_, source_->name);
  return condition;
}

bool StatementResult::holds(const Expression& bound, size_t row) const {
  return engine::holds(bound, source_->rows[records_[row]]);
}

}  // namespace vers::engine
