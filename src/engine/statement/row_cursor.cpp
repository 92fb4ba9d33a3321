#include "engine/statement/row_cursor.h"

#include "engine/statement/evaluate.h"

namespace vers::engine {

RowCursor::RowCursor(Table result) : result_(std::move(result)) {}

bool RowCursor::passes(size_t row) const { return !filter_ || holds(*filter_, result_.rows[row]); }

void RowCursor::advance_to_passing(size_t from) {
  current_ = from;
  while (current_ < result_.rows.size() && !passes(current_)) ++current_;
}

void RowCursor::next() {
  if (!eof()) advance_to_passing(current_ + 1);
}

void RowCursor::set_filter(std::optional<Expression> condition) {
  if (condition) bind_columns(*condition, result_);
  filter_ = std::move(condition);
  advance_to_passing(0);
}

}  // namespace vers::engine
