// Splits a statement's text into tokens. Keywords are left as identifiers:
// the parser knows which words are reserved.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vers::engine {

struct Token {
  enum class Kind {
    Identifier,        // Name, Data_Adr, Sheet1$, SELECT ...
    QuotedIdentifier,  // [Name with blanks] or `Name`; text without the quotes
    String,            // 'text', '' inside for a quote; text unquoted
    Number,            // 12, 0.5, 1e3
    Symbol,            // ( ) , * & ; . = <> < > <= >= + -
    End,
  };
  Kind kind = Kind::End;
  std::string text;     // as described per kind
  std::string source;   // the token as written, for messages
  size_t position = 0;  // in characters from 1
};

// Throws EngineError naming the position for a character outside the
// dialect, or an unclosed quote or bracket. The last token is End.
std::vector<Token> tokenize(std::string_view text);

}  // namespace vers::engine
