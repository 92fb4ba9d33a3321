#include "engine/xml/direct_parser.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "engine/error.h"
#include "engine/xml/namespaced_events.h"

namespace vers::engine::xml {
namespace {

constexpr size_t kChunk = 64 * 1024;
// A tag, comment, CDATA section or instruction longer than this is refused:
// the buffer that holds it whole never grows past it.
constexpr size_t kLongestMarkup = size_t(16) << 20;

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Name characters: ASCII letters, '_' and ':', and every byte of a
// character past ASCII, which is checked as such; after the first also
// digits, '-' and '.'.
struct NameBytes {
  bool start[256] = {};
  bool rest[256] = {};
  NameBytes() {
    for (int c = 0; c < 256; ++c) {
      start[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
      rest[c] = start[c] || (c >= '0' && c <= '9') || c == '-' || c == '.';
    }
  }
};
const NameBytes kName;


// Bytes that text cannot be passed on as it is with: a reference, a
// carriage return, the start of "]]>", a control character, and every byte
// of a multi-byte character, which is checked.
struct SpecialBytes {
  bool in_text[256] = {};
  bool in_value[256] = {};
  SpecialBytes() {
    for (int c = 0; c < 0x20; ++c) in_text[c] = in_value[c] = true;
    for (int c = 0x80; c < 0x100; ++c) in_text[c] = in_value[c] = true;
    in_text[int('\n')] = false;
    in_text[int('&')] = in_text[int('\r')] = in_text[int(']')] = true;
    in_value[int('&')] = in_value[int('<')] = true;
  }
};
const SpecialBytes kSpecial;

// The length of the valid UTF-8 character of two or more bytes at p (end
// bounds it), or 0. Overlong forms, surrogates and U+FFFE/U+FFFF are not
// characters of XML.
size_t utf8_length(const unsigned char* p, const unsigned char* end) {
  const size_t left = size_t(end - p);
  auto cont = [&](size_t i) { return i < left && (p[i] & 0xC0) == 0x80; };
  const unsigned char c = p[0];
  if (c >= 0xC2 && c <= 0xDF) return cont(1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    if (!cont(1) || !cont(2)) return 0;
    if (c == 0xE0 && p[1] < 0xA0) return 0;
    if (c == 0xED && p[1] >= 0xA0) return 0;
    if (c == 0xEF && p[1] == 0xBF && (p[2] == 0xBE || p[2] == 0xBF)) return 0;
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (!cont(1) || !cont(2) || !cont(3)) return 0;
    if (c == 0xF0 && p[1] < 0x90) return 0;
    if (c == 0xF4 && p[1] >= 0x90) return 0;
    return 4;
  }
  return 0;
}

void append_utf8(std::string& out, uint32_t u) {
  if (u < 0x80) {
    out += char(u);
  } else if (u < 0x800) {
    out += char(0xC0 | (u >> 6));
    out += char(0x80 | (u & 0x3F));
  } else if (u < 0x10000) {
    out += char(0xE0 | (u >> 12));
    out += char(0x80 | ((u >> 6) & 0x3F));
    out += char(0x80 | (u & 0x3F));
  } else {
    out += char(0xF0 | (u >> 18));
    out += char(0x80 | ((u >> 12) & 0x3F));
    out += char(0x80 | ((u >> 6) & 0x3F));
    out += char(0x80 | (u & 0x3F));
  }
}

bool is_xml_char(uint32_t u) {
  return u == 0x9 || u == 0xA || u == 0xD || (u >= 0x20 && u <= 0xD7FF) || (u >= 0xE000 && u <= 0xFFFD) ||
         (u >= 0x10000 && u <= 0x10FFFF);
}

// Thrown inside the parser for a document that is not well-formed; turned
// into the message with the place where it was found.
struct Malformed {
  const char* at;
};

// The length of the character of two or more bytes at p; Malformed when
// it is none.
size_t character_length(const char* p, const char* end) {
  const size_t n = utf8_length(reinterpret_cast<const unsigned char*>(p), reinterpret_cast<const unsigned char*>(end));
  if (n == 0) throw Malformed{p};
  return n;
}

// Appends that character to out; returns where it ends.
const char* append_character(const char* p, const char* end, std::string& out) {
  const size_t n = character_length(p, end);
  out.append(p, n);
  return p + n;
}

class DirectParser {
 public:
  DirectParser(Input& input, const std::string& what, Handler& handler)
      : input_(input), what_(what), events_(handler) {}

  void run() {
    buffer_.resize(kChunk);
    try {
      parse();
    } catch (const Malformed& m) {
      throw malformed(m.at);
    }
  }

 private:
  void parse() {
    if (!more()) throw Malformed{data()};  // an empty document has no root element
    if (end_ - pos_ >= 3 && std::memcmp(data() + pos_, "\xEF\xBB\xBF", 3) == 0) pos_ += 3;  // a byte order mark
    for (;;) {
      if (pos_ == end_) {
        if (eof_) break;
        more();
        continue;
      }
      if (buffer_[pos_] == '<') {
        if (!markup()) {
          if (eof_) throw Malformed{data() + pos_};  // cut off inside a tag
          more();
          continue;
        }
      } else if (!text()) {
        more();
        continue;
      }
      if (events_.handler().done()) return;
    }
    if (!names_.empty() || !root_seen_) throw Malformed{data() + end_};
  }

  const char* data() const { return buffer_.data(); }

  // Reads on: keeps the bytes not yet taken, at the front, and adds what
  // the input gives. False at the end of the input.
  bool more() {
    if (eof_) return false;
    if (pos_ > 0) {
      for (size_t i = 0; i < pos_; ++i)
        if (buffer_[i] == '\n') ++lines_dropped_, column_base_ = dropped_ + i + 1;
      dropped_ += pos_;
      std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
      end_ -= pos_;
      pos_ = 0;
    }
    if (end_ == buffer_.size()) {
      if (buffer_.size() >= kLongestMarkup) throw Malformed{data() + end_};
      buffer_.resize(std::min(buffer_.size() * 2, kLongestMarkup));
    }
    // Fills the buffer, so that each look for a tag's end covers many.
    const size_t before = end_;
    while (end_ < buffer_.size()) {
      const size_t n = input_.read(buffer_.data() + end_, buffer_.size() - end_);
      if (n == 0) {
        eof_ = true;
        break;
      }
      end_ += n;
    }
    return end_ > before;
  }

  EngineError malformed(const char* at) const {
    size_t line = lines_dropped_ + 1;
    uint64_t line_start = column_base_;
    const size_t index = size_t(at - data());
    for (size_t i = 0; i < index && i < end_; ++i)
      if (buffer_[i] == '\n') ++line, line_start = dropped_ + i + 1;
    return EngineError("Файл " + what_ + " повреждён: неверный XML в строке " + std::to_string(line) +
                       ", позиция " + std::to_string(dropped_ + index - line_start + 1));
  }

  // --- Character data ---

  // Text up to the next '<' or the end: false when it needs more input to
  // be taken whole (a reference, a character or a line end cut by the end
  // of the buffer).
  bool text() {
    const char* const begin = data() + pos_;
    const char* lt = static_cast<const char*>(std::memchr(begin, '<', end_ - pos_));
    const char* stop = lt ? lt : data() + end_;
    if (!lt && !eof_) {
      // A long run is passed on but for its last bytes, which may be the
      // start of something cut in two; a short one waits for more.
      if (end_ - pos_ < buffer_.size() / 2) return false;
      stop = safe_end(begin, stop);
      if (stop == begin) return false;  // all of it may be cut: the buffer grows
    }
    if (names_.empty()) {  // outside the root element: blanks only
      for (const char* p = begin; p < stop; ++p)
        if (!is_space(*p)) throw Malformed{p};
    } else {
      deliver_text(begin, stop);
    }
    pos_ = size_t(stop - data());
    return true;
  }

  // Where a run of text cut by the buffer's end may be cut: before a
  // reference not closed yet, a multi-byte character, a carriage return and
  // a ']' that are the run's last bytes.
  const char* safe_end(const char* begin, const char* end) const {
    const char* amp = end;
    for (const char* p = end; p > begin;) {
      --p;
      if (*p == ';') break;
      if (*p == '&') {
        amp = p;
        break;
      }
    }
    end = amp;
    for (int i = 0; i < 4 && end > begin && (static_cast<unsigned char>(end[-1]) >= 0x80); ++i) --end;
    while (end > begin && (end[-1] == '\r' || end[-1] == ']')) --end;
    return end;
  }

  void deliver_text(const char* begin, const char* end) {
    const char* p = begin;
    while (p < end && !kSpecial.in_text[static_cast<unsigned char>(*p)]) ++p;
    if (p == end) {
      if (begin < end) events_.text(std::string_view(begin, size_t(end - begin)));
      return;
    }
    scratch_.assign(begin, p);
    while (p < end) {
      const unsigned char c = static_cast<unsigned char>(*p);
      if (!kSpecial.in_text[c]) {
        const char* run = p;
        while (p < end && !kSpecial.in_text[static_cast<unsigned char>(*p)]) ++p;
        scratch_.append(run, p);
      } else if (c == '&') {
        p = reference(p, end, scratch_);
      } else if (c == '\r') {
        scratch_ += '\n';
        p += (p + 1 < end && p[1] == '\n') ? 2 : 1;
      } else if (c == ']') {
        if (end - p >= 3 && p[1] == ']' && p[2] == '>') throw Malformed{p};
        scratch_ += ']';
        ++p;
      } else if (c >= 0x80) {
        p = append_character(p, end, scratch_);
      } else if (c == '\t') {
        scratch_ += '\t';
        ++p;
      } else {
        throw Malformed{p};  // a control character
      }
    }
    events_.text(scratch_);
  }

  // The reference at p ("&...;", before end) decoded onto out; returns
  // where it ends.
  const char* reference(const char* p, const char* end, std::string& out) const {
    const char* semi = static_cast<const char*>(std::memchr(p, ';', size_t(end - p)));
    if (!semi) throw Malformed{p};
    const std::string_view name(p + 1, size_t(semi - p - 1));
    if (name == "lt") out += '<';
    else if (name == "gt") out += '>';
    else if (name == "amp") out += '&';
    else if (name == "quot") out += '"';
    else if (name == "apos") out += '\'';
    else if (name.size() >= 2 && name[0] == '#') {
      const bool hex = name[1] == 'x';
      const std::string_view digits = name.substr(hex ? 2 : 1);
      if (digits.empty()) throw Malformed{p};
      uint32_t u = 0;
      for (const char c : digits) {
        uint32_t d;
        if (c >= '0' && c <= '9') d = uint32_t(c - '0');
        else if (hex && c >= 'a' && c <= 'f') d = uint32_t(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F') d = uint32_t(c - 'A' + 10);
        else throw Malformed{p};
        u = u * (hex ? 16 : 10) + d;
        if (u > 0x10FFFF) throw Malformed{p};
      }
      if (!is_xml_char(u)) throw Malformed{p};
      append_utf8(out, u);
    } else {
      throw Malformed{p};  // an entity the document could only have declared, which it may not
    }
    return semi + 1;
  }

  // --- Markup ---

  // Where the first occurrence of token after from, inside the buffer,
  // ends, or nullptr.
  const char* find(size_t from, std::string_view token) const {
    if (from > end_) return nullptr;
    const char* hit = static_cast<const char*>(
        memmem(data() + from, end_ - from, token.data(), token.size()));
    return hit ? hit + token.size() : nullptr;
  }

  // The markup at pos_: false when the buffer does not hold it whole.
  bool markup() {
    const size_t left = end_ - pos_;
    const char* const lt = data() + pos_;
    if (left < 2) return false;
    if (lt[1] == '/') return end_tag();
    if (lt[1] == '?') return instruction();
    if (lt[1] == '!') {
      if (left < 4) return false;
      if (lt[2] == '-' && lt[3] == '-') return comment();
      if (left < 9) return false;
      if (std::memcmp(lt, "<![CDATA[", 9) == 0) return cdata();
      throw Malformed{lt};  // a document type declaration, or nothing XML knows
    }
    return start_tag();
  }

  bool comment() {
    const char* const stop = find(pos_ + 4, "--");
    if (!stop) return false;
    if (stop == data() + end_) return false;
    if (*stop != '>') throw Malformed{stop - 2};  // "--" inside a comment
    check_chars(data() + pos_ + 4, stop - 2);
    pos_ = size_t(stop + 1 - data());
    return true;
  }

  bool instruction() {
    const char* const stop = find(pos_ + 2, "?>");
    if (!stop) return false;
    const char* p = data() + pos_ + 2;
    const char* name_end = p;
    while (name_end < stop - 2 && !is_space(*name_end)) ++name_end;
    const std::string_view target(p, size_t(name_end - p));
    if (target.empty() || !kName.start[static_cast<unsigned char>(target[0])]) throw Malformed{p};
    const bool declaration = target.size() == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' &&
                             (target[2] | 0x20) == 'l';
    if (declaration && (dropped_ + pos_ > 3 || seen_markup_)) throw Malformed{p};  // only at the very start
    seen_markup_ = true;
    check_chars(name_end, stop - 2);
    pos_ = size_t(stop - data());
    return true;
  }

  bool cdata() {
    const char* const stop = find(pos_ + 9, "]]>");
    if (!stop) return false;
    if (names_.empty()) throw Malformed{data() + pos_};
    const char* begin = data() + pos_ + 9;
    const char* end = stop - 3;
    check_chars(begin, end);
    if (std::find(begin, end, '\r') == end) {
      if (begin < end) events_.text(std::string_view(begin, size_t(end - begin)));
    } else {
      scratch_.clear();
      for (const char* p = begin; p < end; ++p) {
        if (*p != '\r') scratch_ += *p;
        else if (p + 1 < end && p[1] == '\n') continue;
        else scratch_ += '\n';
      }
      events_.text(scratch_);
    }
    pos_ = size_t(stop - data());
    return true;
  }

  // Characters that are not XML's (control characters, invalid UTF-8).
  void check_chars(const char* begin, const char* end) const {
    for (const char* p = begin; p < end;) {
      const unsigned char c = static_cast<unsigned char>(*p);
      if (c < 0x80) {
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') throw Malformed{p};
        ++p;
        continue;
      }
      p += character_length(p, end);
    }
  }

  // A name at p (before end) checked; returns where it ends.
  const char* name(const char* p, const char* end) const {
    if (p == end || !kName.start[static_cast<unsigned char>(*p)]) throw Malformed{p};
    const char* q = p;
    unsigned char any = 0;  // the bytes or'ed: past ASCII when its top bit is set
    while (q < end && kName.rest[static_cast<unsigned char>(*q)]) any |= static_cast<unsigned char>(*q++);
    if (any & 0x80) check_chars(p, q);
    return q;
  }

  bool end_tag() {
    const char* const gt = static_cast<const char*>(std::memchr(data() + pos_, '>', end_ - pos_));
    if (!gt) return false;
    const char* const begin = data() + pos_ + 2;
    const char* const name_end = name(begin, gt);
    for (const char* p = name_end; p < gt; ++p)
      if (!is_space(*p)) throw Malformed{p};
    if (names_.empty() || std::string_view(names_.back()) != std::string_view(begin, size_t(name_end - begin)))
      throw Malformed{begin};
    if (!events_.end(names_.back().c_str())) throw Malformed{begin};
    spare_.push_back(std::move(names_.back()));
    names_.pop_back();
    pos_ = size_t(gt + 1 - data());
    return true;
  }

  // The start tag at pos_, read in one pass up to its '>'; false when the
  // buffer ends before it.
  bool start_tag() {
    const char* const lt = data() + pos_;
    const char* const end = data() + end_;
    const char* p = lt + 1;
    const char* name_end = p;
    while (name_end < end && kName.rest[static_cast<unsigned char>(*name_end)]) ++name_end;
    if (name_end == end) return false;
    name(p, name_end);
    arena_.clear();
    arena_.append(p, name_end);
    arena_ += '\0';
    offsets_.clear();
    p = name_end;
    bool empty = false;
    for (;;) {
      const char* const after_name = p;
      while (p < end && is_space(*p)) ++p;
      if (p == end) return false;
      if (*p == '>') break;
      if (*p == '/') {
        if (p + 1 == end) return false;
        if (p[1] != '>') throw Malformed{p};
        empty = true;
        ++p;
        break;
      }
      if (p == after_name) throw Malformed{p};  // attributes must be apart
      const char* const attribute = p;
      while (p < end && kName.rest[static_cast<unsigned char>(*p)]) ++p;
      if (p == end) return false;
      name(attribute, p);
      offsets_.push_back(arena_.size());
      arena_.append(attribute, p);
      arena_ += '\0';
      while (p < end && is_space(*p)) ++p;
      if (p == end) return false;
      if (*p != '=') throw Malformed{p};
      ++p;
      while (p < end && is_space(*p)) ++p;
      if (p == end) return false;
      if (*p != '"' && *p != '\'') throw Malformed{p};
      const char* const close = static_cast<const char*>(std::memchr(p + 1, *p, size_t(end - p - 1)));
      if (!close) return false;
      offsets_.push_back(arena_.size());
      value(p + 1, close);
      arena_ += '\0';
      p = close + 1;
    }
    const char* const gt = p;
    if (names_.empty() && root_seen_) throw Malformed{lt};  // a second root element
    // The same name twice, as written.
    for (size_t a = 0; a < offsets_.size(); a += 2)
      for (size_t b = 0; b < a; b += 2)
        if (std::strcmp(arena_.c_str() + offsets_[a], arena_.c_str() + offsets_[b]) == 0) throw Malformed{lt};
    pointers_.clear();
    for (const size_t offset : offsets_) pointers_.push_back(arena_.c_str() + offset);
    pointers_.push_back(nullptr);
    pointers_.push_back(nullptr);
    if (!events_.start(arena_.c_str(), pointers_.data())) throw Malformed{lt};
    root_seen_ = seen_markup_ = true;
    if (empty) {
      // A handler done at the start tag hears no more, as from expat.
      if (!events_.handler().done() && !events_.end(arena_.c_str())) throw Malformed{lt};
    } else {
      names_.push_back(take_spare());
      names_.back().assign(arena_.c_str());
    }
    pos_ = size_t(gt + 1 - data());
    return true;
  }

  // An attribute's value decoded onto the arena: references replaced,
  // line ends and tabs made blanks.
  void value(const char* p, const char* end) {
    while (p < end) {
      const char* run = p;
      while (p < end && !kSpecial.in_value[static_cast<unsigned char>(*p)]) ++p;
      arena_.append(run, p);
      if (p == end) break;
      const unsigned char c = static_cast<unsigned char>(*p);
      if (c == '&') {
        p = reference(p, end, arena_);
      } else if (c == '<') {
        throw Malformed{p};
      } else if (c == '\r') {
        arena_ += ' ';
        p += (p + 1 < end && p[1] == '\n') ? 2 : 1;
      } else if (c == '\t' || c == '\n') {
        arena_ += ' ';
        ++p;
      } else if (c >= 0x80) {
        p = append_character(p, end, arena_);
      } else {
        throw Malformed{p};  // a control character
      }
    }
  }

  std::string take_spare() {
    if (spare_.empty()) return {};
    std::string s = std::move(spare_.back());
    spare_.pop_back();
    return s;
  }

  Input& input_;
  const std::string& what_;
  NamespacedEvents events_;

  std::vector<char> buffer_;
  size_t pos_ = 0, end_ = 0;  // the bytes not yet taken
  bool eof_ = false;
  uint64_t dropped_ = 0;       // bytes taken and dropped from the buffer's front
  size_t lines_dropped_ = 0;   // line feeds among them
  uint64_t column_base_ = 0;   // where the line of the last of them starts

  bool root_seen_ = false;
  bool seen_markup_ = false;           // a tag or instruction already: no XML declaration after it
  std::vector<std::string> names_;     // of the elements open, outermost first
  std::vector<std::string> spare_;     // names' strings, kept for their room
  std::string arena_;                  // the tag's names and values, each ending in '\0'
  std::vector<size_t> offsets_;        // of the attributes' names and values in the arena
  std::vector<const char*> pointers_;  // the same, as the events take them
  std::string scratch_;                // decoded text
};

}  // namespace

bool can_parse_directly(std::string_view prolog) {
  if (prolog.find("<!DOCTYPE") != std::string_view::npos) return false;
  // UTF-16, with or without its byte order mark, has zero bytes in ASCII.
  if (prolog.find('\0') != std::string_view::npos || prolog.starts_with("\xFE\xFF") || prolog.starts_with("\xFF\xFE"))
    return false;
  if (prolog.substr(0, 3) == "\xEF\xBB\xBF") prolog.remove_prefix(3);
  if (prolog.substr(0, 5) != "<?xml") return true;  // no declaration: UTF-8
  const std::string_view declaration = prolog.substr(0, prolog.find("?>"));
  const size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return true;  // UTF-8 by default
  const size_t open = declaration.find_first_of("\"'", at);
  if (open == std::string_view::npos) return false;
  const size_t close = declaration.find(declaration[open], open + 1);
  if (close == std::string_view::npos) return false;
  std::string encoding(declaration.substr(open + 1, close - open - 1));
  for (char& c : encoding) c = char(std::tolower(static_cast<unsigned char>(c)));
  return encoding == "utf-8";
}

void parse_directly(Input& input, const std::string& what, Handler& handler) {
  DirectParser(input, what, handler).run();
}

}  // namespace vers::engine::xml
