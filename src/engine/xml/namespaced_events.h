// The step between a tokenizer and a handler: tags as written (qualified
// names, attribute pairs) become the handler's events with their names
// resolved against the namespaces in scope. Both the expat reader and the
// direct parser deliver through it, so a handler sees the same events from
// either.
#pragma once

#include <string_view>
#include <vector>

#include "engine/xml/namespace_scope.h"
#include "engine/xml/xml_reader.h"

namespace vers::engine::xml {

class NamespacedEvents {
 public:
  explicit NamespacedEvents(Handler& handler) : handler_(handler) {}

  // A start tag: name and attributes (name, value pairs ending with a null
  // name), NUL-terminated. False, before the handler hears of it, when it
  // breaks the rules of namespaces: a prefix not declared, a declaration
  // that is forbidden, two attributes of one resolved name.
  bool start(const char* name, const char** attributes);

  // The end tag of the innermost element open, named as its start tag was.
  bool end(const char* name);

  void text(std::string_view chars) { handler_.text(chars); }

  Handler& handler() { return handler_; }

 private:
  Handler& handler_;
  NamespaceScope scope_;
  int depth_ = 0;             // elements open
  std::vector<Name> resolved_;  // the names of the attributes of the tag at hand
};

}  // namespace vers::engine::xml
