// A table as statements see it: a named area of a sheet as column names and
// records of values.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/value.h"

namespace vers::engine {

class Workbook;

// The records of a table, kept as one block of values, a record of width()
// values after another: a table read from a sheet keeps the grid it was
// read into (its first row, the header, skipped) instead of copying each
// record out.
class TableRows {
 public:
  TableRows() = default;
  // Records given one by one (all of the same length), as tests and
  // statement results build them.
  TableRows(const std::vector<std::vector<Value>>& rows);  // NOLINT: a list of records is rows
  TableRows(std::initializer_list<std::vector<Value>> rows) : TableRows(std::vector<std::vector<Value>>(rows)) {}
  // The block's rows after its first skipped_rows rows.
  TableRows(std::vector<Value> block, size_t width, size_t skipped_rows);

  size_t size() const { return width_ == 0 ? 0 : (block_.size() - first_) / width_; }
  bool empty() const { return size() == 0; }
  size_t width() const { return width_; }
  std::span<const Value> operator[](size_t row) const {
    return std::span<const Value>(block_).subspan(first_ + row * width_, width_);
  }

  class Iterator {
   public:
    using value_type = std::span<const Value>;
    using difference_type = std::ptrdiff_t;
    Iterator() = default;
    Iterator(const TableRows* rows, size_t row) : rows_(rows), row_(row) {}
    value_type operator*() const { return (*rows_)[row_]; }
    Iterator& operator++() {
      ++row_;
      return *this;
    }
    Iterator operator++(int) { return Iterator(rows_, row_++); }
    friend bool operator==(const Iterator& a, const Iterator& b) { return a.row_ == b.row_; }

   private:
    const TableRows* rows_ = nullptr;
    size_t row_ = 0;
  };
  Iterator begin() const { return Iterator(this, 0); }
  Iterator end() const { return Iterator(this, size()); }

  // The same records with the same values.
  friend bool operator==(const TableRows& a, const TableRows& b);

 private:
  std::vector<Value> block_;
  size_t width_ = 0;
  size_t first_ = 0;  // where the first record starts in block_
};

struct Table {
  std::string name;                  // as the workbook spells it
  std::vector<std::string> columns;  // from the area's first row
  TableRows rows;                    // every further row, in sheet order
};

// Loads the table a statement names: a workbook-wide defined name (compared
// case-insensitively) that refers to one area of one sheet, or a whole sheet
// written "[Sheet$]" or "Sheet$" (its used area). The first row gives the
// column names; an empty header cell is named F1, F2, ... by its position.
// Throws EngineError naming the table when it does not exist or is not one
// area of this workbook.
Table load_table(Workbook& workbook, std::string_view name);

}  // namespace vers::engine
