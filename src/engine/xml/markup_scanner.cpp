#include "engine/xml/markup_scanner.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/error.h"

namespace vers::engine::xml {
namespace {

// No honest document has element names or start tags near these sizes.
constexpr size_t kMaxName = 64 * 1024;
constexpr size_t kMaxCapturedTag = size_t(4) << 20;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The bytes that end a run inside a tag: most of a document's bytes are
// inside tags, so each run is passed with a table look-up per byte.
struct StopTable {
  bool stop[256] = {};
  constexpr explicit StopTable(std::string_view bytes) {
    for (char c : bytes) stop[uint8_t(c)] = true;
  }
};
constexpr StopTable kStartNameEnd(" \t\n\r/>");
constexpr StopTable kEndNameEnd(" \t\n\r>");

// Where the first quote or '>' lies in [p, end), or end: what ends a run of
// attributes. Sixteen bytes at a time where the processor allows.
const char* find_tag_mark(const char* p, const char* end) {
#if defined(__SSE2__)
  const __m128i quote = _mm_set1_epi8('"'), apostrophe = _mm_set1_epi8('\''), close = _mm_set1_epi8('>');
  for (; end - p >= 16; p += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, apostrophe)),
                                      _mm_cmpeq_epi8(bytes, close));
    if (const int mask = _mm_movemask_epi8(hits)) return p + __builtin_ctz(unsigned(mask));
  }
#endif
  while (p < end && *p != '"' && *p != '\'' && *p != '>') ++p;
  return p;
}

// The marks that move a scan between text, tags and attribute values.
bool is_mark(char c) { return c == '<' || c == '>' || c == '"' || c == '\''; }

// One bit for each mark among the 64 bytes from p (fewer at the end).
uint64_t marks_in_block(const char* p, const char* end) {
  uint64_t mask = 0;
#if defined(__SSE2__)
  if (end - p >= 64) {
    const __m128i quote = _mm_set1_epi8('"'), apostrophe = _mm_set1_epi8('\''), open = _mm_set1_epi8('<'),
                  close = _mm_set1_epi8('>');
    for (int i = 0; i < 4; ++i) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
      const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, apostrophe)),
                                        _mm_or_si128(_mm_cmpeq_epi8(bytes, open), _mm_cmpeq_epi8(bytes, close)));
      mask |= uint64_t(uint32_t(_mm_movemask_epi8(hits))) << (16 * i);
    }
    return mask;
  }
#endif
  const int n = int(std::min<ptrdiff_t>(end - p, 64));
  for (int i = 0; i < n; ++i)
    if (is_mark(p[i])) mask |= uint64_t(1) << i;
  return mask;
}

// Where the first stop byte lies in [p, end), or end.
const char* find_stop(const char* p, const char* end, const StopTable& table) {
  while (p < end && !table.stop[uint8_t(*p)]) ++p;
  return p;
}

// Whether the last byte in [from, to) that is no blank is '/'; unknown
// (returns known = false) when all of them are blanks.
bool ends_with_slash(const char* from, const char* to, bool& known) {
  while (to > from && is_blank(to[-1])) --to;
  known = to > from;
  return known && to[-1] == '/';
}

}  // namespace

void MarkupScanner::keep(const char* from, const char* to) {
  if (!capturing_raw_) return;
  if (raw_.size() + size_t(to - from) > kMaxCapturedTag)
    throw EngineError("Файл " + what_ + " не читается: тег длиннее " + std::to_string(kMaxCapturedTag >> 20) + " МиБ");
  raw_.append(from, to);
}

void MarkupScanner::add_name(const char* from, const char* to) {
  if (!capturing_) return;  // only a captured tag's name is needed
  if (name_.size() + size_t(to - from) > kMaxName)
    throw EngineError("Файл " + what_ + " не читается: имя элемента длиннее " + std::to_string(kMaxName) + " байт");
  name_.append(from, to);
}

void MarkupScanner::emit(TagKind kind, uint64_t end, Listener& listener) {
  const bool with_raw = capturing_raw_ && kind != TagKind::End;
  listener.tag(Tag{kind, tag_begin_, end, name_, with_raw ? std::string_view(raw_) : std::string_view()});
}

// After "<!": true once the bytes tell a comment, a CDATA section or a
// declaration apart; the state is then set.
bool MarkupScanner::bang_step(char c) {
  bang_ += c;
  if (bang_ == "--") {
    state_ = State::Comment;
    run_ = 0;
    return true;
  }
  if (bang_ == "[CDATA[") {
    state_ = State::CData;
    run_ = 0;
    return true;
  }
  if (std::string_view("--").starts_with(bang_) || std::string_view("[CDATA[").starts_with(bang_)) return false;
  // A declaration (<!DOCTYPE ...>): the bytes read so far belong to it.
  state_ = State::Declaration;
  depth_ = 0;
  quote_ = 0;
  return true;
}

// True at the '>' that ends a declaration: one outside quotes and outside
// the brackets of an internal subset.
bool MarkupScanner::declaration_step(char c) {
  if (quote_) {
    if (c == quote_) quote_ = 0;
  } else if (c == '"' || c == '\'') {
    quote_ = c;
  } else if (c == '[') {
    ++depth_;
  } else if (c == ']') {
    if (depth_ > 0) --depth_;
  } else if (c == '>' && depth_ == 0) {
    return true;
  }
  return false;
}

bool MarkupScanner::skip_past_closing(char mark, const char*& p, const char* end) {
  for (; p < end; ++p) {
    if (run_ == 0) {
      const void* found = std::memchr(p, mark, size_t(end - p));
      if (!found) {
        p = end;
        return false;
      }
      p = static_cast<const char*>(found);
    }
    if (*p == mark) {
      ++run_;
    } else if (*p == '>' && run_ >= 2) {
      ++p;
      return true;
    } else {
      run_ = 0;
    }
  }
  return false;
}

const char* MarkupScanner::pass_tags(const char* data, const char* p, const char* end, uint64_t base,
                                     Listener& listener) {
  auto offset = [&](const char* at) { return base + uint64_t(at - data); };
  const char* segment = p;  // where the tag's bytes since its name or last value began
  // The marks of one block of 64 bytes at a time, taken lowest first.
  const char* block = p;
  uint64_t marks = marks_in_block(block, end);
  auto next_mark = [&]() -> const char* {
    while (!marks) {
      block += 64;
      if (block >= end) return nullptr;
      marks = marks_in_block(block, end);
    }
    const char* mark = block + __builtin_ctzll(marks);
    marks &= marks - 1;
    return mark;
  };
  while (const char* mark = next_mark()) {
    if (mark < p) continue;  // passed over already
    p = mark + 1;
    switch (state_) {
      case State::Text: {
        if (*mark != '<') break;
        tag_begin_ = offset(mark);
        capturing_ = capture_;
        capturing_raw_ = false;
        name_.clear();
        if (p == end || *p == '!' || *p == '?') {
          state_ = State::Open;  // the general steps tell these apart
          return p;
        }
        const bool end_tag = *p == '/';
        const char* name = end_tag ? p + 1 : p;
        if (capturing_) {
          // The name, when it ends in these bytes; else the general steps
          // gather it.
          const char* stop = find_stop(name, end, end_tag ? kEndNameEnd : kStartNameEnd);
          if (stop == end) {
            state_ = State::Open;
            return p;
          }
          add_name(name, stop);
          name = stop;
        }
        p = name;
        if (end_tag) {
          state_ = State::EndTail;
        } else {
          state_ = State::InTag;
          slash_ = false;
          segment = p;
        }
        break;
      }
      case State::EndTail:
        if (*mark != '>') break;
        state_ = State::Text;
        emit(TagKind::End, offset(p), listener);
        if (capture_raw_ || stopping_) return p;
        break;
      case State::InTag:
        if (*mark == '<') break;
        if (*mark == '>') {
          bool known = false;
          const bool slash = ends_with_slash(segment, mark, known);
          if (known) slash_ = slash;
          state_ = State::Text;
          emit(slash_ ? TagKind::Empty : TagKind::Start, offset(p), listener);
          if (capture_raw_ || stopping_) return p;
          break;
        }
        quote_ = *mark;
        slash_ = false;
        state_ = State::InQuote;
        break;
      case State::InQuote:
        if (*mark != quote_) break;
        state_ = State::InTag;
        segment = p;
        break;
      default:
        return mark;
    }
  }
  if (state_ == State::InTag) {
    bool known = false;
    const bool slash = ends_with_slash(segment, end, known);
    if (known) slash_ = slash;
  }
  return end;
}

size_t MarkupScanner::scan(std::string_view bytes, Listener& listener) {
  const char* const data = bytes.data();
  const char* const end = data + bytes.size();
  const uint64_t base = position_;
  const char* p = data;
  auto offset = [&](const char* at) { return base + uint64_t(at - data); };

  while (p < end && !stopping_) {
    const bool passing = state_ == State::Text ? !capture_raw_
                         : state_ == State::InTag || state_ == State::InQuote || state_ == State::EndTail
                             ? !capturing_raw_
                             : false;
    if (passing) {
      p = pass_tags(data, p, end, base, listener);
      if (stopping_) break;
      continue;
    }
    switch (state_) {
      case State::Text: {
        const void* lt = std::memchr(p, '<', size_t(end - p));
        if (!lt) {
          p = end;
          break;
        }
        p = static_cast<const char*>(lt);
        tag_begin_ = offset(p);
        capturing_ = capture_;
        capturing_raw_ = capture_raw_;
        raw_.clear();
        name_.clear();
        keep(p, p + 1);
        ++p;
        state_ = State::Open;
        break;
      }
      case State::Open: {
        const char c = *p;
        if (c == '/') {
          state_ = capturing_ ? State::EndName : State::EndTail;
          ++p;
        } else if (c == '!') {
          state_ = State::Bang;
          bang_.clear();
          ++p;
        } else if (c == '?') {
          state_ = State::Instruction;
          run_ = 0;
          ++p;
        } else {
          // The name matters only to a captured tag; otherwise the name
          // runs on as the tag's first mark-free bytes.
          state_ = capturing_ ? State::StartName : State::InTag;
          slash_ = false;
        }
        break;
      }
      case State::StartName: {
        const char* stop = find_stop(p, end, kStartNameEnd);
        add_name(p, stop);
        keep(p, stop);
        p = stop;
        if (p < end) state_ = State::InTag;
        break;
      }
      case State::InTag: {
        // Up to a quote, which opens a value, or the '>' that ends the tag;
        // a '/' just before that '>' makes it an empty-element tag.
        const char* stop = find_tag_mark(p, end);
        bool known = false;
        const bool slash = ends_with_slash(p, stop, known);
        if (known) slash_ = slash;
        if (stop == end) {
          keep(p, end);
          p = end;
          break;
        }
        if (*stop == '>') {
          keep(p, stop + 1);
          p = stop + 1;
          state_ = State::Text;
          emit(slash_ ? TagKind::Empty : TagKind::Start, offset(p), listener);
          break;
        }
        quote_ = *stop;
        slash_ = false;
        keep(p, stop + 1);
        p = stop + 1;
        state_ = State::InQuote;
        break;
      }
      case State::InQuote: {
        const void* q = std::memchr(p, quote_, size_t(end - p));
        const char* stop = q ? static_cast<const char*>(q) + 1 : end;
        keep(p, stop);
        p = stop;
        if (q) state_ = State::InTag;
        break;
      }
      case State::EndName: {
        const char* stop = find_stop(p, end, kEndNameEnd);
        add_name(p, stop);
        p = stop;
        if (p < end) state_ = State::EndTail;
        break;
      }
      case State::EndTail: {
        const void* gt = std::memchr(p, '>', size_t(end - p));
        if (!gt) {
          p = end;
          break;
        }
        p = static_cast<const char*>(gt) + 1;
        state_ = State::Text;
        emit(TagKind::End, offset(p), listener);
        break;
      }
      case State::Bang: {
        const char c = *p++;
        if (bang_step(c) && state_ == State::Declaration) {
          // Replay what was read: it may hold a quote, a '[' or the '>'.
          const std::string seen = bang_;
          for (char s : seen)
            if (declaration_step(s)) state_ = State::Text;
        }
        break;
      }
      case State::Comment:  // ends at "-->"
        if (skip_past_closing('-', p, end)) state_ = State::Text;
        break;
      case State::CData:  // ends at "]]>"
        if (skip_past_closing(']', p, end)) state_ = State::Text;
        break;
      case State::Instruction: {
        // Ends at "?>".
        for (; p < end; ++p) {
          if (*p == '>' && run_) {
            ++p;
            state_ = State::Text;
            break;
          }
          run_ = *p == '?';
        }
        break;
      }
      case State::Declaration: {
        for (; p < end; ++p) {
          if (declaration_step(*p)) {
            ++p;
            state_ = State::Text;
            break;
          }
        }
        break;
      }
    }
  }
  if (stopping_) {
    stopping_ = false;
    position_ = offset(p);
    return size_t(p - data);
  }
  position_ = base + bytes.size();
  return bytes.size();
}

}  // namespace vers::engine::xml
