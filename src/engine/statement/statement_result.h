// The result of a statement over a table: which of the table's records it
// holds, in which order, and the select list that makes its columns. A
// value is computed when it is read, so a report that reads two rows of a
// result pays for those two, not for the columns of every row.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "engine/statement/syntax.h"
#include "engine/table.h"

namespace vers::engine {

class StatementResult {
 public:
  // Runs the statement's WHERE and ORDER BY over source, which the result
  // shares. Throws EngineError naming the column and the table when the
  // statement names a column the table lacks.
  StatementResult(const SelectStatement& statement, std::shared_ptr<const Table> source);

  // A table as its own result: every record, every column.
  explicit StatementResult(Table table);

  const std::string& name() const { return source_->name; }
  const std::vector<std::string>& columns() const { return columns_; }
  size_t size() const { return records_.size(); }

  // The value in a row (below size()) and column (below columns().size()):
  // a reference into the table for a bare column, otherwise computed into
  // scratch.
  const Value& value(size_t row, size_t column, Value& scratch) const;

  // Every value of a row.
  std::vector<Value> row(size_t row) const;

  // A condition over the result's columns, rewritten to read the table's
  // records. Throws EngineError naming a column the result lacks.
  Expression bind(Expression condition) const;

  // True when a condition that bind() gave holds for the row.
  bool holds(const Expression& bound, size_t row) const;

 private:
  std::shared_ptr<const Table> source_;
  std::vector<std::string> columns_;
  std::vector<Expression> outputs_;  // per column, bound to the table's columns
  std::vector<size_t> records_;      // the table's record behind each row
};

}  // namespace vers::engine
