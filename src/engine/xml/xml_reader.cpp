#include "engine/xml/xml_reader.h"

// The distributions build expat with DTD support, which declares the
// billion-laughs limits; the header declares them only when told so.
#ifndef XML_DTD
#define XML_DTD 1
#endif
#include <expat.h>

#include <cstring>
#include <exception>
#include <memory>

#include "engine/error.h"
#include "engine/xml/direct_parser.h"
#include "engine/xml/namespaced_events.h"
#include "engine/zip/zip_archive.h"

namespace vers::engine::xml {

// The parse in progress: the parser, the handler, and why it stopped.
class Parser::Session {
 public:
  Session(Handler& handler, std::string what) : handler_(handler), what_(std::move(what)) {
    // Namespaces are resolved here, not by expat (see NamespaceScope).
    parser_ = XML_ParserCreate(nullptr);
    if (!parser_) throw EngineError("Недостаточно памяти для чтения " + what_);
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &Session::on_start, &Session::on_end);
    XML_SetCharacterDataHandler(parser_, &Session::on_text);
    XML_SetEntityDeclHandler(parser_, &Session::on_entity_declaration);
    XML_SetExternalEntityRefHandler(parser_, &Session::on_external_entity);
    XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
#if XML_MAJOR_VERSION > 2 || (XML_MAJOR_VERSION == 2 && XML_MINOR_VERSION >= 4)
    // Entity declarations are refused anyway; this bounds what slips past.
    XML_SetBillionLaughsAttackProtectionMaximumAmplification(parser_, 10.0f);
    XML_SetBillionLaughsAttackProtectionActivationThreshold(parser_, 1u << 20);
#endif
#if XML_MAJOR_VERSION > 2 || (XML_MAJOR_VERSION == 2 && XML_MINOR_VERSION >= 6)
    // A caller feeding tag by tag needs each tag reported as soon as it is fed.
    XML_SetReparseDeferralEnabled(parser_, XML_FALSE);
#endif
  }
  ~Session() { XML_ParserFree(parser_); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Feeds one chunk; returns false once the parse has ended early.
  bool feed(const char* data, size_t size, bool last) {
    if (finished_early_) return false;
    if (XML_Parse(parser_, data, int(size), last ? XML_TRUE : XML_FALSE) == XML_STATUS_OK) return true;
    return stopped();
  }

  void* buffer(size_t size) {
    void* b = XML_GetBuffer(parser_, int(size));
    if (!b) throw EngineError("Недостаточно памяти для чтения " + what_);
    return b;
  }

  bool feed_buffer(size_t size, bool last) {
    if (XML_ParseBuffer(parser_, int(size), last ? XML_TRUE : XML_FALSE) == XML_STATUS_OK) return true;
    return stopped();
  }

 private:
  // After a failed call: rethrows the handler's exception, refuses entity
  // tricks and malformed XML; returns false for a handler that is done.
  bool stopped() {
    if (failure_) std::rethrow_exception(failure_);
    if (entity_refused_)
      throw EngineError("Файл " + what_ + " отвергнут: XML объявляет сущности, такие документы не читаются");
    if (finished_early_) return false;
    throw malformed();
  }

  EngineError malformed() const {
    return EngineError("Файл " + what_ + " повреждён: неверный XML в строке " +
                       std::to_string(XML_GetCurrentLineNumber(parser_)) + ", позиция " +
                       std::to_string(XML_GetCurrentColumnNumber(parser_) + 1));
  }

  template <typename F>
  static void guarded(void* data, F&& call) {
    auto* self = static_cast<Session*>(data);
    if (self->failure_ || self->finished_early_) return;
    try {
      call();
      if (self->handler_.done()) {
        self->finished_early_ = true;
        XML_StopParser(self->parser_, XML_FALSE);
      }
    } catch (...) {
      // An exception must not unwind through expat's C frames.
      self->failure_ = std::current_exception();
      XML_StopParser(self->parser_, XML_FALSE);
    }
  }

  static void on_start(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* self = static_cast<Session*>(data);
    guarded(data, [&] {
      if (!self->events_.start(name, attributes)) throw self->malformed();
    });
  }

  static void on_end(void* data, const XML_Char* name) {
    auto* self = static_cast<Session*>(data);
    guarded(data, [&] {
      if (!self->events_.end(name)) throw self->malformed();
    });
  }

  static void on_text(void* data, const XML_Char* chars, int length) {
    auto* self = static_cast<Session*>(data);
    guarded(data, [&] { self->events_.text(std::string_view(chars, size_t(length))); });
  }

  static void on_entity_declaration(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                                    const XML_Char*, const XML_Char*, const XML_Char*) {
    auto* self = static_cast<Session*>(data);
    self->entity_refused_ = true;
    XML_StopParser(self->parser_, XML_FALSE);
  }
  static int on_external_entity(XML_Parser, const XML_Char*, const XML_Char*, const XML_Char*, const XML_Char*) {
    return XML_STATUS_ERROR;  // never load anything from outside the archive
  }

  Handler& handler_;
  std::string what_;
  XML_Parser parser_ = nullptr;
  std::exception_ptr failure_;
  bool entity_refused_ = false;
  bool finished_early_ = false;
  NamespacedEvents events_{handler_};
};

namespace {

// A member of an archive as an input, its first bytes read ahead: they
// tell which parser takes it.
class MemberInput : public Input {
 public:
  static constexpr size_t kHead = 64 * 1024;

  explicit MemberInput(zip::MemberStream& stream) : stream_(stream), head_(kHead, '\0') {
    size_t have = 0;
    while (have < head_.size()) {
      const size_t n = stream_.read(head_.data() + have, head_.size() - have);
      if (n == 0) break;
      have += n;
    }
    head_.resize(have);
  }

  std::string_view head() const { return head_; }

  size_t read(char* buffer, size_t size) override {
    if (given_ < head_.size()) {
      const size_t n = std::min(size, head_.size() - given_);
      std::memcpy(buffer, head_.data() + given_, n);
      given_ += n;
      return n;
    }
    return stream_.read(buffer, size);
  }

 private:
  zip::MemberStream& stream_;
  std::string head_;
  size_t given_ = 0;
};

}  // namespace

Parser::Parser(Handler& handler, std::string what) : session_(std::make_unique<Session>(handler, std::move(what))) {}

Parser::~Parser() = default;

bool Parser::feed(std::string_view bytes, bool last) {
  constexpr size_t kChunk = 1 << 30;  // XML_Parse takes an int length
  do {
    const size_t n = std::min(bytes.size(), kChunk);
    if (!session_->feed(bytes.data(), n, last && n == bytes.size())) return false;
    bytes.remove_prefix(n);
  } while (!bytes.empty());
  return true;
}

const char* Attributes::find(std::string_view uri, std::string_view local_name) const {
  for (size_t i = 0; raw_ && raw_[2 * i]; ++i)
    if (resolved_[i].local == local_name && resolved_[i].ns == uri) return raw_[2 * i + 1];
  return nullptr;
}

const char* Attributes::find_local(std::string_view local_name) const {
  for (size_t i = 0; raw_ && raw_[2 * i]; ++i)
    if (resolved_[i].local == local_name) return raw_[2 * i + 1];
  return nullptr;
}

void parse(Input& input, const std::string& what, Handler& handler) {
  constexpr size_t kChunk = 64 * 1024;
  Parser::Session session(handler, what);
  for (;;) {
    char* buffer = static_cast<char*>(session.buffer(kChunk));
    const size_t n = input.read(buffer, kChunk);
    if (!session.feed_buffer(n, n == 0) || n == 0) return;
  }
}

void parse(zip::MemberStream& input, Handler& handler) {
  MemberInput member(input);
  // Most members are in UTF-8 without a document type: parsed directly,
  // at a fraction of expat's cost. The others go to expat.
  if (can_parse_directly(member.head())) parse_directly(member, input.what(), handler);
  else parse(member, input.what(), handler);
}

void parse(std::string_view document, const std::string& what, Handler& handler) {
  Parser parser(handler, what);
  parser.feed(document, true);
}

}  // namespace vers::engine::xml
