// Reads the statement dialect:
//   SELECT * | item [, item ...] FROM table [WHERE condition]
//     [ORDER BY name [ASC|DESC] [, ...]] [;]
// where an item is an expression with an optional "AS alias", and a name is
// Name or [Name with blanks]. Expressions: column names, 'text' ('' for a
// quote), numbers, NULL, TRUE, FALSE, parentheses, & (joins texts), the
// comparisons = <> < > <= >=, IS [NOT] NULL, NOT, AND, OR. Keywords and
// names are case-insensitive.
#pragma once

#include <optional>
#include <string_view>

#include "engine/statement/syntax.h"

namespace vers::engine {

// Throws EngineError naming the position and the token found when the text
// is outside the dialect.
SelectStatement parse_statement(std::string_view text);

// A record filter: one condition, such as " ID_Element = 'P_Name'", or
// nothing for a blank text (every row passes).
std::optional<Expression> parse_condition(std::string_view text);

}  // namespace vers::engine
