// The syntax tree of a statement and of a record filter, as the parser
// builds it. Column references are bound to column positions before the
// tree is evaluated over a table.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/value.h"
#include "engine/value_compare.h"

namespace vers::engine {

struct Expression {
  enum class Kind {
    Column,   // name; bound to column
    Literal,  // literal
    Concat,   // operands[0] & operands[1]
    Compare,  // operands[0] op operands[1]
    IsNull,   // operands[0] IS NULL, or IS NOT NULL when negated
    And,
    Or,
    Not,
  };
  static constexpr size_t kUnbound = static_cast<size_t>(-1);

  Kind kind = Kind::Literal;
  size_t position = 0;  // where it starts in the text, in characters from 1
  size_t depth = 1;     // levels of the tree from here down
  std::string name;     // Column: as written, without brackets
  size_t column = kUnbound;
  Value literal;
  CompareOp op = CompareOp::Equal;
  bool negated = false;
  std::vector<Expression> operands;
};

struct SelectItem {
  Expression expression;
  std::optional<std::string> alias;
};

struct OrderItem {
  std::string name;  // a column of the table or a name of the select list
  size_t position = 0;
  bool descending = false;
};

struct SelectStatement {
  bool select_all = false;          // SELECT *
  std::vector<SelectItem> items;    // otherwise
  std::string table;                // without brackets
  std::optional<Expression> where;
  std::vector<OrderItem> order_by;
};

}  // namespace vers::engine
