// A streaming XML reader over expat: it feeds a member of an archive to the
// parser in chunks and hands elements and text to a handler, so memory does
// not grow with the document. Namespaces are resolved: a handler sees each
// name as its namespace URI and local part, whatever prefix the file used.
// Entity declarations are refused (no entity expansion tricks) and nothing
// external is ever loaded.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace vers::engine::zip {
class MemberStream;
}

namespace vers::engine::xml {

struct Name {
  std::string_view ns;     // namespace URI, empty when none
  std::string_view local;  // local part

  bool is(std::string_view uri, std::string_view local_name) const { return local == local_name && ns == uri; }
};

// The attributes of a start tag: their values as written (name, value pairs
// ending with a null name), and their names resolved, one for each pair (a
// namespace declaration resolves to an empty name, which nothing finds).
class Attributes {
 public:
  Attributes(const char** raw, const Name* resolved) : raw_(raw), resolved_(resolved) {}
  // The value of the attribute in namespace uri (empty for an unprefixed
  // attribute) with that local name, or nullptr.
  const char* find(std::string_view uri, std::string_view local_name) const;
  // The same, matching the local name in any namespace.
  const char* find_local(std::string_view local_name) const;

 private:
  const char** raw_;
  const Name* resolved_;
};

class Handler {
 public:
  virtual ~Handler() = default;
  virtual void start_element(const Name& name, const Attributes& attributes) = 0;
  virtual void end_element(const Name& name) = 0;
  // Character data, in pieces of any size.
  virtual void text(std::string_view chars) = 0;
  // Polled after each callback: true ends the parse early and cleanly.
  virtual bool done() const { return false; }
};

// Bytes of a document, read in pieces; read returns 0 at the end.
class Input {
 public:
  virtual ~Input() = default;
  virtual size_t read(char* buffer, size_t size) = 0;
};

// Parses the whole input (or until handler.done()); what names it in
// messages. Errors are those of the member's parse below.
void parse(Input& input, const std::string& what, Handler& handler);

// A parse fed by the caller, piece by piece, for a caller that decides what
// the parser sees. Errors are those of parse.
class Parser {
 public:
  Parser(Handler& handler, std::string what);
  ~Parser();
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  // Parses the next bytes of the document; last tells that it ends with
  // them. Returns false once the handler is done (the rest is not needed).
  bool feed(std::string_view bytes, bool last = false);

 private:
  friend void parse(Input&, const std::string&, Handler&);
  class Session;
  std::unique_ptr<Session> session_;
};

// Parses the whole member (or until handler.done()); one in UTF-8 without
// a document type by the direct parser (direct_parser.h), which gives the
// same events. Throws EngineError naming the member when it is not
// well-formed XML, declares entities, or cannot be read; an exception
// thrown by the handler passes through.
void parse(zip::MemberStream& input, Handler& handler);

// The same for a document in memory; what names it in messages.
void parse(std::string_view document, const std::string& what, Handler& handler);

}  // namespace vers::engine::xml
