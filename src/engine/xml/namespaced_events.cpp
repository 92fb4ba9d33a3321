#include "engine/xml/namespaced_events.h"

namespace vers::engine::xml {

bool NamespacedEvents::start(const char* name, const char** attributes) {
  ++depth_;
  if (!scope_.open(depth_, attributes)) return false;
  // Every prefix declared, no two names the same once resolved (two the
  // same as written the tokenizer has refused already).
  resolved_.clear();
  for (const char** a = attributes; a[0]; a += 2) {
    if (NamespaceScope::is_declaration(a[0])) {
      resolved_.push_back({});
      continue;
    }
    const auto resolved = scope_.resolve(a[0], false);
    if (!resolved) return false;
    if (!resolved->ns.empty())
      for (const Name& earlier : resolved_)
        if (earlier.local == resolved->local && earlier.ns == resolved->ns) return false;
    resolved_.push_back(*resolved);
  }
  const auto element = scope_.resolve(name, true);
  if (!element) return false;
  handler_.start_element(*element, Attributes(attributes, resolved_.data()));
  return true;
}

bool NamespacedEvents::end(const char* name) {
  const auto element = scope_.resolve(name, true);
  if (!element) return false;
  handler_.end_element(*element);
  scope_.close(depth_--);
  return true;
}

}  // namespace vers::engine::xml
