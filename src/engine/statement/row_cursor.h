// The rows of a statement's result with a current row and a record filter:
// what a query steps through.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "engine/statement/syntax.h"
#include "engine/table.h"

namespace vers::engine {

class RowCursor {
 public:
  // The first row becomes current.
  explicit RowCursor(Table result);

  const Table& result() const { return result_; }
  bool is_empty() const { return result_.rows.empty(); }  // the filter aside

  // No current row: past the last row that passes the filter.
  bool eof() const { return current_ >= result_.rows.size(); }
  // Steps to the next row that passes; does nothing at the end.
  void next();
  // The current row; nullptr at the end.
  const std::vector<Value>* current() const { return eof() ? nullptr : &result_.rows[current_]; }

  // Sets the record filter (nothing: every row passes) and makes the first
  // row that passes current. Throws EngineError when the condition names a
  // column the result lacks; the cursor is then unchanged.
  void set_filter(std::optional<Expression> condition);

 private:
  bool passes(size_t row) const;
  void advance_to_passing(size_t from);

  Table result_;
  std::optional<Expression> filter_;  // bound to result_'s columns
  size_t current_ = 0;
};

}  // namespace vers::engine
