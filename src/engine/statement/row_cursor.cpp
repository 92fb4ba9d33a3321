#include "engine/statement/row_cursor.h"

namespace vers::engine {

RowCursor::RowCursor(StatementResult result) : result_(std::move(result)) {}

RowCursor::RowCursor(Table result) : RowCursor(StatementResult(std::move(result))) {}

bool RowCursor::passes(size_t row) const { return !filter_ || result_.holds(*filter_, row); }

void RowCursor::advance_to_passing(size_t from) {
  current_ = from;
  while (current_ < result_.size() && !passes(current_)) ++current_;
}

void RowCursor::next() {
  if (!eof()) advance_to_passing(current_ + 1);
}

const std::vector<Value>* RowCursor::current() const {
  if (eof()) return nullptr;
  if (row_at_ != current_) {
    row_ = result_.row(current_);
    row_at_ = current_;
  }
  return &row_;
}

void RowCursor::set_filter(std::optional<Expression> condition) {
  if (condition) condition = result_.bind(std::move(*condition));
  filter_ = std::move(condition);
  advance_to_passing(0);
}

}  // namespace vers::engine
