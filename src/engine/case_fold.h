// Case folding of UTF-8 text, so that names and texts compare without regard
// to case: Latin, Latin-1 and Cyrillic letters (Ё and the letters of the
// neighbouring alphabets included).
#pragma once

#include <string>
#include <string_view>

namespace vers::engine {

// The lower-case form of one code point (itself when it has none we know).
char32_t fold_code_point(char32_t c);

// The text with every letter folded to lower case; broken UTF-8 sequences
// become U+FFFD.
std::string fold_case(std::string_view utf8);

// Compares two texts ignoring case, code point by code point: negative,
// zero or positive as a sorts before, with or after b.
int compare_ignoring_case(std::string_view a, std::string_view b);

inline bool equal_ignoring_case(std::string_view a, std::string_view b) { return compare_ignoring_case(a, b) == 0; }

}  // namespace vers::engine
