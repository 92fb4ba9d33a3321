// Finds the tags of an XML document in a stream of bytes without parsing
// it: where each start, end and empty-element tag begins and ends, and its
// qualified name. Comments, CDATA sections, processing instructions and
// declarations are passed over whole, and a '>' inside a quoted attribute
// value does not end a tag. Nothing else is checked: bytes passed over here
// are checked by the XML parser when they are parsed. Works on any encoding
// in which ASCII characters stand for themselves (UTF-8, windows-1251).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vers::engine::xml {

class MarkupScanner {
 public:
  enum class TagKind { Start, End, Empty };

  struct Tag {
    TagKind kind;
    uint64_t begin;         // offset of its '<' in the stream
    uint64_t end;           // offset just past its '>'
    std::string_view name;  // qualified name, as written, while capturing
    std::string_view raw;   // the whole tag, for a start or empty tag while capturing
  };

  class Listener {
   public:
    virtual ~Listener() = default;
    virtual void tag(const Tag& tag) = 0;
  };

  // what names the document in messages.
  explicit MarkupScanner(std::string what) : what_(std::move(what)) {}

  // Scans the bytes that continue the stream, telling the listener of each
  // tag that ends in them; returns how many it took, all of them unless the
  // listener asked it to stop. Throws EngineError for a name or a captured
  // tag too long for any honest document.
  size_t scan(std::string_view bytes, Listener& listener);

  // Called by the listener from tag(): the scan returns right after that
  // tag, for the caller to go on from there itself or to scan again.
  void stop_after_this_tag() { stopping_ = true; }

  // While on, tags carry their names, and start and empty tags their raw
  // bytes unless with_raw is off; takes effect from the next tag on.
  void set_capture(bool on, bool with_raw = true) {
    capture_ = on;
    capture_raw_ = on && with_raw;
  }

  // True between a '<' and the end of its markup: a document must not end so.
  bool inside_markup() const { return state_ != State::Text; }

  // Offset of the next byte to scan.
  uint64_t position() const { return position_; }

  // Goes on at offset, outside markup, for a caller that has passed over
  // the bytes before it itself and knows that they end in text.
  void resume_at(uint64_t offset) {
    state_ = State::Text;
    position_ = offset;
  }

 private:
  enum class State : uint8_t {
    Text, Open, StartName, InTag, InQuote, EndName, EndTail, Bang, Comment, CData, Instruction, Declaration
  };

  // Passes tags whose raw bytes are not captured, from p on, looking only
  // at the marks between text, tags and values; stops at the end, at a
  // comment, CDATA section, instruction or declaration, at a name cut by the
  // end, or once raw bytes are to be captured.
  const char* pass_tags(const char* data, const char* p, const char* end, uint64_t base, Listener& listener);
  bool bang_step(char c);
  bool declaration_step(char c);
  // Steps p past the first "<mark><mark>>" (the end of a comment or of a
  // CDATA section), carrying a part seen at the end of bytes in run_. True
  // when the end was found.
  bool skip_past_closing(char mark, const char*& p, const char* end);
  void keep(const char* from, const char* to);
  void add_name(const char* from, const char* to);
  void emit(TagKind kind, uint64_t end, Listener& listener);

  std::string what_;
  State state_ = State::Text;
  uint64_t position_ = 0;
  uint64_t tag_begin_ = 0;
  bool stopping_ = false;  // the listener asked the scan to return
  bool capture_ = false;
  bool capture_raw_ = false;
  bool capturing_ = false;      // capture_ as it was when this tag began
  bool capturing_raw_ = false;  // and capture_raw_
  bool slash_ = false;      // the last mark in a tag was '/'
  char quote_ = 0;          // the quote of the attribute value being passed
  int run_ = 0;             // '-' or ']' seen in a row, '?' just seen
  int depth_ = 0;           // '[' open in a declaration
  std::string bang_;        // what follows "<!", until it is told apart
  std::string name_;
  std::string raw_;
};

}  // namespace vers::engine::xml
