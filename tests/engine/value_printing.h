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

}  // namespace vers::engine
