#include "engine/xml/namespace_scope.h"

#include "engine/xml/xml_reader.h"

namespace vers::engine::xml {
namespace {

constexpr std::string_view kXmlPrefix = "xml";
constexpr std::string_view kXmlUri = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view kXmlnsPrefix = "xmlns";
constexpr std::string_view kXmlnsUri = "http://www.w3.org/2000/xmlns/";

}  // namespace

NamespaceScope::NamespaceScope() { bindings_.push_back({std::string(kXmlPrefix), std::string(kXmlUri), 0}); }

bool NamespaceScope::is_declaration(std::string_view attribute) {
  return attribute.starts_with(kXmlnsPrefix) &&
         (attribute.size() == kXmlnsPrefix.size() || attribute[kXmlnsPrefix.size()] == ':');
}

bool NamespaceScope::open(int depth, const char** attributes) {
  for (const char** a = attributes; a && a[0]; a += 2) {
    const std::string_view name = a[0];
    if (!is_declaration(name)) continue;
    forget_recent();
    const std::string_view uri = a[1];
    if (name.size() == kXmlnsPrefix.size()) {
      if (uri == kXmlUri || uri == kXmlnsUri) return false;
      bindings_.push_back({"", std::string(uri), depth});
      continue;
    }
    const std::string_view prefix = name.substr(kXmlnsPrefix.size() + 1);
    // A prefix cannot be undeclared, "xmlns" never declared, and "xml"
    // only to its own URI, which no other prefix may take.
    if (prefix.empty() || prefix.find(':') != std::string_view::npos || uri.empty() || prefix == kXmlnsPrefix ||
        uri == kXmlnsUri || (prefix == kXmlPrefix) != (uri == kXmlUri))
      return false;
    bindings_.push_back({std::string(prefix), std::string(uri), depth});
  }
  return true;
}

void NamespaceScope::close(int depth) {
  if (bindings_.back().depth < depth) return;
  forget_recent();
  while (bindings_.back().depth >= depth && bindings_.size() > 1) bindings_.pop_back();
}

void NamespaceScope::forget_recent() const {
  for (const Binding*& recent : recent_) recent = nullptr;
}

const NamespaceScope::Binding* NamespaceScope::find(std::string_view prefix) const {
  auto same = [&](const std::string& candidate) {
    return candidate.size() == prefix.size() && (prefix.empty() || candidate[0] == prefix[0]) && candidate == prefix;
  };
  for (size_t i = 0; i < kRecent && recent_[i]; ++i)
    if (same(recent_[i]->prefix)) return recent_[i];
  for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it) {
    if (!same(it->prefix)) continue;
    for (size_t i = kRecent - 1; i > 0; --i) recent_[i] = recent_[i - 1];
    recent_[0] = &*it;
    return &*it;
  }
  return nullptr;
}

std::optional<Name> NamespaceScope::resolve(std::string_view qualified, bool element) const {
  const size_t colon = qualified.find(':');
  if (colon == std::string_view::npos) {
    if (!element) return Name{{}, qualified};
    const Binding* binding = find("");
    return Name{binding ? std::string_view(binding->uri) : std::string_view(), qualified};
  }
  const std::string_view prefix = qualified.substr(0, colon), local = qualified.substr(colon + 1);
  if (prefix.empty() || local.empty() || local.find(':') != std::string_view::npos) return std::nullopt;
  const Binding* binding = find(prefix);
  if (!binding) return std::nullopt;
  return Name{binding->uri, local};
}

}  // namespace vers::engine::xml
