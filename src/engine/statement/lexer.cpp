#include "engine/statement/lexer.h"

#include "engine/statement/syntax_error.h"

namespace vers::engine {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Letters of any script may start a name: every byte of a multi-byte UTF-8
// sequence is >= 0x80.
bool starts_name(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}
bool continues_name(char c) { return starts_name(c) || is_digit(c) || c == '$'; }

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  std::vector<Token> run() {
    std::vector<Token> tokens;
    for (;;) {
      while (pos_ < text_.size() && is_blank(text_[pos_])) ++pos_;
      if (pos_ == text_.size()) {
        tokens.push_back(Token{Token::Kind::End, {}, {}, position_of(pos_)});
        return tokens;
      }
      tokens.push_back(next());
    }
  }

 private:
  // Positions count characters, not bytes, so that a Cyrillic name before
  // the fault does not shift them.
  // Asked for in increasing order, so counting goes on from the last answer.
  size_t position_of(size_t byte) const {
    if (byte < counted_bytes_) counted_bytes_ = 0, counted_chars_ = 0;
    for (; counted_bytes_ < byte; ++counted_bytes_) {
      if ((static_cast<unsigned char>(text_[counted_bytes_]) & 0xC0) != 0x80) ++counted_chars_;
    }
    return counted_chars_ + 1;
  }

  Token make(Token::Kind kind, size_t start, std::string text) const {
    return Token{kind, std::move(text), std::string(text_.substr(start, pos_ - start)), position_of(start)};
  }

  Token next() {
    size_t start = pos_;
    char c = text_[pos_];
    if (starts_name(c)) {
      while (pos_ < text_.size() && continues_name(text_[pos_])) ++pos_;
      return make(Token::Kind::Identifier, start, std::string(text_.substr(start, pos_ - start)));
    }
    if (is_digit(c) || (c == '.' && pos_ + 1 < text_.size() && is_digit(text_[pos_ + 1]))) return number(start);
    if (c == '\'') return quoted(start, '\'', Token::Kind::String);
    if (c == '[') return quoted(start, ']', Token::Kind::QuotedIdentifier);
    if (c == '`') return quoted(start, '`', Token::Kind::QuotedIdentifier);
    if (c == '<' || c == '>') {
      ++pos_;
      if (pos_ < text_.size() && (text_[pos_] == '=' || (c == '<' && text_[pos_] == '>'))) ++pos_;
      return make(Token::Kind::Symbol, start, std::string(text_.substr(start, pos_ - start)));
    }
    static constexpr std::string_view kSingle = "(),*&;.=+-";
    if (kSingle.find(c) != std::string_view::npos) {
      ++pos_;
      return make(Token::Kind::Symbol, start, std::string(1, c));
    }
    // Show the whole character, not one byte of it.
    size_t end = pos_ + 1;
    while (end < text_.size() && (static_cast<unsigned char>(text_[end]) & 0xC0) == 0x80) ++end;
    throw_syntax_error(position_of(start), text_.substr(start, end - start), "такой знак в инструкции недопустим");
  }

  Token number(size_t start) {
    while (pos_ < text_.size() && is_digit(text_[pos_])) ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '.') {
      ++pos_;
      while (pos_ < text_.size() && is_digit(text_[pos_])) ++pos_;
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      size_t mark = pos_++;
      if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
      if (pos_ < text_.size() && is_digit(text_[pos_])) {
        while (pos_ < text_.size() && is_digit(text_[pos_])) ++pos_;
      } else {
        pos_ = mark;  // "1e" is the number 1 followed by a name
      }
    }
    return make(Token::Kind::Number, start, std::string(text_.substr(start, pos_ - start)));
  }

  // A quoted text or name; the closing quote written twice stands for itself.
  Token quoted(size_t start, char close, Token::Kind kind) {
    std::string value;
    ++pos_;
    for (;;) {
      if (pos_ == text_.size()) {
        throw_syntax_error(position_of(start), text_.substr(start, 1),
                           kind == Token::Kind::String ? "строка не закрыта кавычкой" : "имя не закрыто скобкой");
      }
      char c = text_[pos_++];
      if (c == close) {
        if (pos_ < text_.size() && text_[pos_] == close) {
          value.push_back(close);
          ++pos_;
          continue;
        }
        break;
      }
      value.push_back(c);
    }
    if (kind == Token::Kind::QuotedIdentifier && value.empty()) {
      pos_ = start + 2;
      throw_syntax_error(position_of(start), text_.substr(start, 2), "пустое имя");
    }
    return make(kind, start, std::move(value));
  }

  std::string_view text_;
  size_t pos_ = 0;
  mutable size_t counted_bytes_ = 0;
  mutable size_t counted_chars_ = 0;
};

}  // namespace

std::vector<Token> tokenize(std::string_view text) { return Lexer(text).run(); }

}  // namespace vers::engine
