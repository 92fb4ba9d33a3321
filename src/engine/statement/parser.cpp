#include "engine/statement/parser.h"

#include <algorithm>
#include <array>

#include "engine/case_fold.h"
#include "engine/statement/lexer.h"
#include "engine/statement/syntax_error.h"

namespace vers::engine {
namespace {

// Words that cannot stand as a bare name; bracket a column that is named so.
constexpr std::array<std::string_view, 15> kReserved = {
    "select", "from", "where", "order", "by", "as", "and", "or", "not", "asc", "desc", "is", "null", "true", "false",
};

// Deeper expressions are refused rather than risk the stack: evaluating
// and freeing a tree recurses once per level.
constexpr size_t kMaxDepth = 200;

bool is_reserved(const Token& t) {
  if (t.kind != Token::Kind::Identifier) return false;
  for (std::string_view word : kReserved) {
    if (equal_ignoring_case(t.text, word)) return true;
  }
  return false;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : tokens_(tokenize(text)) {}

  SelectStatement statement() {
    SelectStatement s;
    expect_keyword("SELECT");
    if (accept_symbol("*")) {
      s.select_all = true;
    } else {
      do s.items.push_back(select_item());
      while (accept_symbol(","));
    }
    expect_keyword("FROM");
    s.table = name("ожидается имя таблицы").text;
    if (accept_keyword("WHERE")) s.where = expression();
    if (accept_keyword("ORDER")) {
      expect_keyword("BY");
      do s.order_by.push_back(order_item());
      while (accept_symbol(","));
    }
    accept_symbol(";");
    expect_end();
    return s;
  }

  std::optional<Expression> condition() {
    if (peek().kind == Token::Kind::End) return std::nullopt;
    Expression e = expression();
    expect_end();
    return e;
  }

 private:
  const Token& peek() const { return tokens_[pos_]; }
  const Token& take() {
    const Token& t = tokens_[pos_];
    if (t.kind != Token::Kind::End) ++pos_;
    return t;
  }

  bool is_keyword(std::string_view word) const {
    return peek().kind == Token::Kind::Identifier && equal_ignoring_case(peek().text, word);
  }
  bool accept_keyword(std::string_view word) {
    if (!is_keyword(word)) return false;
    take();
    return true;
  }
  void expect_keyword(std::string_view word) {
    if (!accept_keyword(word)) fail("ожидается " + std::string(word));
  }
  bool is_symbol(std::string_view symbol) const {
    return peek().kind == Token::Kind::Symbol && peek().text == symbol;
  }
  bool accept_symbol(std::string_view symbol) {
    if (!is_symbol(symbol)) return false;
    take();
    return true;
  }
  void expect_end() {
    if (peek().kind != Token::Kind::End) fail("ожидается конец инструкции");
  }
  [[noreturn]] void fail(std::string_view what) const { throw_syntax_error(peek().position, peek().source, what); }

  // A table, column or alias name: bare or in brackets.
  const Token& name(std::string_view what) {
    bool bare = peek().kind == Token::Kind::Identifier && !is_reserved(peek());
    if (!bare && peek().kind != Token::Kind::QuotedIdentifier) fail(what);
    return take();
  }

  SelectItem select_item() {
    SelectItem item{expression(), std::nullopt};
    if (accept_keyword("AS")) item.alias = name("ожидается имя столбца после AS").text;
    return item;
  }

  OrderItem order_item() {
    size_t position = peek().position;
    OrderItem item{name("ожидается имя столбца").text, position, false};
    if (accept_keyword("DESC")) {
      item.descending = true;
    } else {
      accept_keyword("ASC");
    }
    return item;
  }

  Expression node(Expression::Kind kind, size_t position, std::vector<Expression> operands) {
    Expression e;
    e.kind = kind;
    e.position = position;
    e.depth = 1;
    for (const Expression& operand : operands) e.depth = std::max(e.depth, operand.depth + 1);
    if (e.depth > kMaxDepth) fail("выражение слишком сложное");
    e.operands = std::move(operands);
    return e;
  }

  // Counts the levels of parentheses and NOT on the way down, before the
  // parser's own recursion could grow too deep.
  void enter() {
    if (++nesting_ > kMaxDepth) fail("выражение слишком сложное");
  }
  void leave() { --nesting_; }

  // Precedence from loosest: OR, AND, NOT, comparison, &.
  Expression expression() {
    Expression left = conjunction();
    while (is_keyword("OR")) {
      take();
      size_t position = left.position;
      left = node(Expression::Kind::Or, position, {std::move(left), conjunction()});
    }
    return left;
  }

  Expression conjunction() {
    Expression left = negation();
    while (is_keyword("AND")) {
      take();
      size_t position = left.position;
      left = node(Expression::Kind::And, position, {std::move(left), negation()});
    }
    return left;
  }

  Expression negation() {
    if (is_keyword("NOT")) {
      size_t position = take().position;
      enter();
      Expression operand = negation();
      leave();
      return node(Expression::Kind::Not, position, {std::move(operand)});
    }
    return comparison();
  }

  Expression comparison() {
    Expression left = concatenation();
    size_t position = left.position;
    if (accept_keyword("IS")) {
      bool negated = accept_keyword("NOT");
      expect_keyword("NULL");
      Expression e = node(Expression::Kind::IsNull, position, {std::move(left)});
      e.negated = negated;
      return e;
    }
    static constexpr std::array<std::pair<std::string_view, CompareOp>, 6> kOps = {{
        {"=", CompareOp::Equal},
        {"<>", CompareOp::NotEqual},
        {"<", CompareOp::Less},
        {">", CompareOp::Greater},
        {"<=", CompareOp::LessEqual},
        {">=", CompareOp::GreaterEqual},
    }};
    for (const auto& [symbol, op] : kOps) {
      if (accept_symbol(symbol)) {
        Expression e = node(Expression::Kind::Compare, position, {std::move(left), concatenation()});
        e.op = op;
        return e;
      }
    }
    return left;
  }

  Expression concatenation() {
    Expression left = primary();
    while (accept_symbol("&")) {
      size_t position = left.position;
      left = node(Expression::Kind::Concat, position, {std::move(left), primary()});
    }
    return left;
  }

  Expression literal(size_t position, Value v) {
    Expression e = node(Expression::Kind::Literal, position, {});
    e.literal = std::move(v);
    return e;
  }

  Expression primary() {
    const Token& t = peek();
    size_t position = t.position;
    if (t.kind == Token::Kind::String) return literal(position, Value::text(take().text));
    if (t.kind == Token::Kind::Number || ((is_symbol("-") || is_symbol("+")) && tokens_[pos_ + 1].kind == Token::Kind::Number)) {
      bool negative = accept_symbol("-");
      if (!negative) accept_symbol("+");
      double v = 0;
      if (!parse_number(peek().text, v)) fail("число записано неверно");
      take();
      return literal(position, Value::number(negative ? -v : v));
    }
    if (accept_keyword("NULL")) return literal(position, Value());
    if (accept_keyword("TRUE")) return literal(position, Value::boolean(true));
    if (accept_keyword("FALSE")) return literal(position, Value::boolean(false));
    if (accept_symbol("(")) {
      enter();
      Expression inner = expression();
      leave();
      if (!accept_symbol(")")) fail("ожидается «)»");
      return inner;
    }
    Expression e = node(Expression::Kind::Column, position, {});
    e.name = name("ожидается имя столбца, текст в кавычках или число").text;
    return e;
  }

  std::vector<Token> tokens_;
  size_t pos_ = 0;
  size_t nesting_ = 0;
};

}  // namespace

SelectStatement parse_statement(std::string_view text) { return Parser(text).statement(); }

std::optional<Expression> parse_condition(std::string_view text) { return Parser(text).condition(); }

}  // namespace vers::engine
