// How values compare, in conditions and in sort order. Written once, used by
// WHERE, the record filter and ORDER BY alike.
#pragma once

#include <optional>

#include "engine/value.h"

namespace vers::engine {

enum class CompareOp { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual };

// The order of two values as a condition sees it: negative, zero or
// positive; nothing when they cannot be compared. Texts compare ignoring
// case; numbers numerically; a Boolean counts as 1 or 0; a text that reads
// wholly as a number meets a number (or Boolean) as that number, any other
// text cannot be compared with one. Null cannot be compared with anything.
std::optional<int> compare_values(const Value& a, const Value& b);

// True when "a op b" holds; never for values that cannot be compared.
bool satisfies(const Value& a, CompareOp op, const Value& b);

// True when an order that compare_values gave satisfies op.
bool order_satisfies(int order, CompareOp op);

// The sort order of ORDER BY: Nulls first, then numbers (Booleans as 1 and
// 0), then texts ignoring case. Negative, zero or positive.
int sort_compare(const Value& a, const Value& b);

}  // namespace vers::engine
