// One value type for a cell and for every expression result.
#pragma once

#include <string>
#include <string_view>
#include <variant>

namespace vers::engine {

class Value {
 public:
  enum class Type { Null, Number, Text, Boolean };

  Value() = default;  // Null
  static Value number(double v) { return Value(Payload(v)); }
  static Value text(std::string v) { return Value(Payload(std::move(v))); }
  static Value boolean(bool v) { return Value(Payload(v)); }

  Type type() const { return static_cast<Type>(payload_.index()); }
  bool is_null() const { return type() == Type::Null; }
  bool is_number() const { return type() == Type::Number; }
  bool is_text() const { return type() == Type::Text; }
  bool is_boolean() const { return type() == Type::Boolean; }

  // Accessors; calling one for the wrong type is a programming error.
  double as_number() const { return std::get<double>(payload_); }
  const std::string& as_text() const { return std::get<std::string>(payload_); }
  bool as_boolean() const { return std::get<bool>(payload_); }

  friend bool operator==(const Value&, const Value&) = default;

 private:
  using Payload = std::variant<std::monostate, double, std::string, bool>;
  explicit Value(Payload p) : payload_(std::move(p)) {}
  Payload payload_;
};

// The printed form of a number: an integral value without a fraction
// ("606024"), any other value in the shortest form that reads back as the
// same double, with "." as the decimal point.
std::string format_number(double v);

// The printed form of any value: Null is empty text, a number as above,
// a Boolean "TRUE" or "FALSE", a text itself.
std::string to_text(const Value& v);

// The same, appended to out.
void append_text(const Value& v, std::string& out);

// Reads a text as a number when the whole text is one (blanks around it
// allowed): "12", "-3.5", "1e3". Used where text meets a number.
bool parse_number(std::string_view text, double& out);

}  // namespace vers::engine
