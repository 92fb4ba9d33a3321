// Lets GoogleTest print values and tables in its failure messages.
#pragma once

#include <ostream>

#include "engine/table.h"
#include "engine/value.h"

namespace vers::engine {

inline void PrintTo(const Value& v, std::ostream* os) {
  switch (v.type()) {
    case Value::Type::Null: *os << "Null"; break;
    case Value::Type::Number: *os << "Number(" << format_number(v.as_number()) << ")"; break;
    case Value::Type::Text: *os << "Text(\"" << v.as_text() << "\")"; break;
    case Value::Type::Boolean: *os << (v.as_boolean() ? "TRUE" : "FALSE"); break;
  }
}

inline void PrintTo(const TableRows& rows, std::ostream* os) {
  *os << "{";
  for (std::span<const Value> row : rows) {
    *os << " {";
    for (const Value& v : row) {
      *os << " ";
      PrintTo(v, os);
    }
    *os << " }";
  }
  *os << " }";
}

}  // namespace vers::engine
