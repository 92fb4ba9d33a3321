// A query bound to a connection, shaped like the query component the run and
// the report writer are written against: statement text, open and close,
// rows with a current row, values by column, and a record filter.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/value.h"

namespace vers::platform {

class Connection;

class Query {
 public:
  explicit Query(Connection& connection);
  ~Query();
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  // Replaces the statement text; a query that is open is closed first.
  void set_sql(std::string text);
  const std::string& sql() const { return sql_; }

  // Runs the statement over the connection's workbook; the first row (that
  // passes the filter, when it is on) becomes current. Throws
  // engine::EngineError with the data source's message: not connected, a
  // statement outside the dialect, a missing table or column; the query
  // stays closed then. Opening an open query does nothing. The result is
  // the query's own: it outlives a disconnect.
  void open();
  void close();
  bool active() const;

  // Tests of an open query. Before open() both answer true.
  bool is_empty() const;  // the result has no row (the filter aside)
  bool eof() const;       // no current row: past the last row that passes
  // Steps to the next row that passes the filter; at the end it stays
  // there. Throws engine::EngineError when the query is closed.
  void next();

  // Column names of the open result, in order.
  const std::vector<std::string>& column_names() const;

  // The current row's value as text: Null and no current row give "".
  // Throws engine::EngineError for a column the result lacks, and when the
  // query is closed (like every read of a value below).
  std::string field_text(std::string_view column) const;
  std::string field_text(size_t index) const;

  // The current row's raw value; Null when there is no current row.
  engine::Value field_value(std::string_view column) const;

  // The current row's value converted to text: a number in its printed
  // form. A Null value, or no current row, is a failure (engine::EngineError).
  std::string field_as_string(std::string_view column) const;

  // The record filter: an expression over the result's columns, such as
  // " ID_Element = 'P_Name'". Switching it on (or changing it while on)
  // makes the first passing row current; switching it off makes the first
  // row current. An empty filter passes every row. A filter outside the
  // dialect, or naming a column the result lacks, throws
  // engine::EngineError when it is applied, and leaves the query as it was.
  void set_filter(std::string text);
  const std::string& filter() const { return filter_; }
  void set_filtered(bool on);
  bool filtered() const { return filtered_; }

 private:
  struct Result;
  void apply_filter();
  size_t column_index(std::string_view column) const;

  Connection& connection_;
  std::string sql_;
  std::string filter_;
  bool filtered_ = false;
  std::unique_ptr<Result> result_;  // non-null while open
};

}  // namespace vers::platform
