// Evaluates statements and conditions over a table held in memory.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/statement/syntax.h"
#include "engine/table.h"

namespace vers::engine {

// The position of a column, its name compared ignoring case; the first one
// when several share the name.
std::optional<size_t> find_column(const std::vector<std::string>& columns, std::string_view name);

// "В таблице «table» нет столбца «column»".
[[noreturn]] void throw_missing_column(std::string_view column, std::string_view table);

// Binds every column reference of the expression to its position among the
// table's columns. Throws EngineError naming the column and the table when
// the table lacks one.
void bind_columns(Expression& expression, const Table& table);

// The value of a bound expression for one record. A comparison gives TRUE
// or FALSE, or Null when its operands cannot be compared; & joins printed
// forms, a Null operand counting as empty text (Null only when both are).
Value evaluate(const Expression& expression, std::span<const Value> row);

// The same without a copy where the value already exists: a column gives a
// reference into the record, a literal its own value; anything else is
// evaluated into scratch, which is returned.
const Value& evaluate_ref(const Expression& expression, std::span<const Value> row, Value& scratch);

// True when a bound condition holds for the record: TRUE, or a number other
// than 0. Null and an unknown outcome do not hold.
bool holds(const Expression& condition, std::span<const Value> row);

// Runs a statement over the table it names: the records that pass WHERE,
// ordered (stably) by ORDER BY, as the columns of the select list. An
// expression without an alias is named Expr1, Expr2, ...; a bare column
// keeps the table's name for it. Throws EngineError for a missing column.
// Every value is computed here; a StatementResult (statement_result.h)
// computes each when it is read.
Table run_statement(const SelectStatement& statement, const Table& table);

}  // namespace vers::engine
