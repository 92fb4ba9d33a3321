// The namespace prefixes declared on the elements open at a point of a
// document, and the names they make: each qualified name as its namespace
// URI and local part. Kept here rather than by the parser, which would
// otherwise copy and hash every prefixed name's URI over again.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace vers::engine::xml {

struct Name;

class NamespaceScope {
 public:
  NamespaceScope();

  // A start tag at nesting depth: takes in the declarations among its
  // attributes (name, value pairs ending with a null name). False for a
  // declaration that XML namespaces forbid.
  bool open(int depth, const char** attributes);

  // The end of the element at depth: its declarations go out of scope.
  void close(int depth);

  // A qualified name resolved; nothing when its prefix is not declared or
  // it is no qualified name. Element names take the default namespace,
  // attribute names do not. The URI lives while its declaration is in scope.
  std::optional<Name> resolve(std::string_view qualified, bool element) const;

  // True for the attributes that declare namespaces.
  static bool is_declaration(std::string_view attribute);

 private:
  struct Binding {
    std::string prefix;  // empty for the default namespace
    std::string uri;     // empty to undeclare the default namespace
    int depth;
  };
  const Binding* find(std::string_view prefix) const;

  std::deque<Binding> bindings_;  // innermost last; a deque keeps the URIs in place
  // The bindings found last: a document uses few prefixes, name after name.
  static constexpr size_t kRecent = 4;
  mutable const Binding* recent_[kRecent] = {};
  void forget_recent() const;
};

}  // namespace vers::engine::xml
