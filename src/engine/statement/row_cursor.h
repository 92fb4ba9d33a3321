// The rows of a statement's result with a current row and a record filter:
// what a query steps through.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "engine/statement/statement_result.h"
#include "engine/statement/syntax.h"
#include "engine/table.h"

namespace vers::engine {

class RowCursor {
 public:
  // The first row becomes current.
  explicit RowCursor(StatementResult result);
  explicit RowCursor(Table result);

  const StatementResult& result() const { return result_; }
  bool is_empty() const { return result_.size() == 0; }  // the filter aside

  // No current row: past the last row that passes the filter.
  bool eof() const { return current_ >= result_.size(); }
  // Steps to the next row that passes; does nothing at the end.
  void next();
  // The current row, valid until the cursor moves; nullptr at the end.
  const std::vector<Value>* current() const;
  // One value of the current row (see StatementResult::value); the cursor
  // must not be at the end.
  const Value& value(size_t column, Value& scratch) const { return result_.value(current_, column, scratch); }

  // Sets the record filter (nothing: every row passes) and makes the first
  // row that passes current. Throws EngineError when the condition names a
  // column the result lacks; the cursor is then unchanged.
  void set_filter(std::optional<Expression> condition);

 private:
  bool passes(size_t row) const;
  void advance_to_passing(size_t from);

  StatementResult result_;
  std::optional<Expression> filter_;  // bound by result_
  size_t current_ = 0;
  mutable std::vector<Value> row_;  // the current row, once current() is asked
  mutable size_t row_at_ = static_cast<size_t>(-1);
};

}  // namespace vers::engine
