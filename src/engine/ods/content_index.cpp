#include "engine/ods/content_index.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/error.h"
#include "engine/xml/byte_finder.h"
#include "engine/xml/direct_parser.h"
#include "engine/xml/markup_scanner.h"
#include "engine/xml/xml_reader.h"

namespace vers::engine::ods {
namespace {

// The index pass reads content.xml in pieces this large: the inflater
// writes larger pieces straight out instead of through its own buffer.
constexpr size_t kChunk = 256 * 1024;

// Bounds on what the index keeps of a hostile document: the prolog, the
// start tags open around a sheet, and all the distinct contexts together.
constexpr size_t kMaxProlog = size_t(1) << 20;
constexpr size_t kMaxOpenTags = size_t(4) << 20;
constexpr size_t kMaxContexts = size_t(16) << 20;

// Sheets closer together than this share a resume point: a sheet read
// inflates at most this much more, and the points kept stay few. Each
// point is a copy of the inflater in fresh memory, made for every sheet
// while a check reads only a few sheets: a few megabytes more to inflate
// for a sheet read costs less than a point for every sheet.
constexpr uint64_t kResumeSpacing = uint64_t(4) << 20;

// A UTF-16 document begins with a byte order mark or has a zero byte in
// its first two; every other encoding an XML parser reads keeps ASCII.
bool keeps_ascii(std::string_view first) {
  if (first.size() < 2) return true;
  const auto a = uint8_t(first[0]), b = uint8_t(first[1]);
  return !((a == 0xFE && b == 0xFF) || (a == 0xFF && b == 0xFE) || a == 0 || b == 0);
}

std::string_view local_part(std::string_view qualified) {
  const size_t colon = qualified.rfind(':');
  return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

std::string damaged(const std::string& what, const std::string& detail) {
  return "Файл " + what + " повреждён: " + detail;
}

// Passes the sheets, names and null date on, and remembers that a sheet has
// just begun, so that the scan can tell which table element is a sheet.
class WatchingSink : public ContentSink {
 public:
  explicit WatchingSink(ContentSink& sink) : sink_(sink) {}

  void sheet(size_t index, std::string_view name) override {
    began_ = true;
    sink_.sheet(index, name);
  }
  bool wants_cells(size_t) const override { return false; }
  void cells(size_t, uint32_t, uint32_t, uint32_t, uint32_t, const Value&) override {}
  void named_range(std::string_view name, std::string_view address, std::string_view expression) override {
    sink_.named_range(name, address, expression);
  }
  void null_date(const xml::Epoch& epoch) override { sink_.null_date(epoch); }

  bool take_began() { return std::exchange(began_, false); }

 private:
  ContentSink& sink_;
  bool began_ = false;
};

// A sheet cut out of the document, made whole again: the prolog, the start
// tags around the sheet, the sheet's own bytes, the end tags.
class SheetInput : public xml::Input {
 public:
  SheetInput(std::string_view prolog, std::string_view open_tags, zip::MemberStream& stream, uint64_t begin,
             uint64_t end, std::string_view close_tags)
      : pieces_{prolog, open_tags}, close_(close_tags), stream_(stream), begin_(begin), end_(end) {}

  size_t read(char* buffer, size_t size) override {
    for (;;) {
      if (piece_ < 2) {
        if (size_t n = take(pieces_[piece_], buffer, size)) return n;
        ++piece_;
        continue;
      }
      if (piece_ == 2) {
        if (size_t n = read_sheet(buffer, size)) return n;
        ++piece_;
        continue;
      }
      return take(close_, buffer, size);
    }
  }

 private:
  static size_t take(std::string_view& piece, char* buffer, size_t size) {
    const size_t n = std::min(piece.size(), size);
    std::memcpy(buffer, piece.data(), n);
    piece.remove_prefix(n);
    return n;
  }

  size_t read_sheet(char* buffer, size_t size) {
    while (stream_.position() < begin_) {
      const size_t skip = size_t(std::min<uint64_t>(begin_ - stream_.position(), size));
      if (stream_.read(buffer, skip) == 0) break;
    }
    if (stream_.position() >= end_) return 0;
    const size_t want = size_t(std::min<uint64_t>(end_ - stream_.position(), size));
    const size_t n = stream_.read(buffer, want);
    if (n == 0) throw EngineError(damaged(stream_.what(), "лист обрывается раньше, чем при открытии книги"));
    return n;
  }

  std::string_view pieces_[2];
  std::string_view close_;
  zip::MemberStream& stream_;
  uint64_t begin_, end_;
  int piece_ = 0;
};

}  // namespace

// The one pass: the scan finds the tags; what lies outside the sheets goes
// on to the parser; a table element that the parser takes for a sheet is
// passed over up to its matching end tag, and only its place is noted.
class IndexBuilder : public xml::MarkupScanner::Listener {
 public:
  IndexBuilder(ContentIndex& index, ContentSink& sink, zip::MemberStream& stream)
      : index_(index),
        stream_(stream),
        watch_(sink),
        handler_(content_handler(watch_, stream.what())),
        parser_(*handler_, stream.what()),
        scanner_(stream.what()) {
    scanner_.set_capture(true);
  }

  // False for a document in an encoding the scan cannot read.
  bool run() {
    std::vector<char> buffer(kChunk);
    uint64_t offset = 0;
    while (const size_t n = stream_.read(buffer.data(), buffer.size())) {
      chunk_ = std::string_view(buffer.data(), n);
      chunk_base_ = offset;
      if (offset == 0 && !keeps_ascii(chunk_)) return false;
      if (!root_seen_) keep_prolog();
      scan_chunk();
      if (sheet_open_) {
        forwarded_ = offset + n;
      } else {
        forward(offset + n);
        expect_no_sheet();
      }
      offset += n;
    }
    if (sheet_open_) throw EngineError(damaged(stream_.what(), "содержимое обрывается внутри листа"));
    parser_.feed({}, true);
    return true;
  }

  void tag(const xml::MarkupScanner::Tag& tag) override {
    using Kind = xml::MarkupScanner::TagKind;
    if (sheet_open_) {
      // Inside a sheet only elements of the sheet's own name count: the
      // first end tag that closes as many as were opened ends the sheet.
      if (tag.name != sheet_tag_) return;
      if (tag.kind == Kind::Start) {
        ++depth_;
      } else if (tag.kind == Kind::End && --depth_ == 0) {
        close_sheet(tag);
      }
      return;
    }
    if (!root_seen_ && tag.kind != Kind::End) {
      root_seen_ = true;
      index_.prolog_.resize(size_t(tag.begin));
    }
    if (tag.kind == Kind::End) {
      if (!open_.empty()) {
        open_bytes_ -= open_.back().raw.size();
        open_.pop_back();
      }
      return;
    }
    if (local_part(tag.name) == "table") {
      // Let the parser see the start tag: it alone knows whether the
      // prefix means the table namespace and the element is a sheet.
      forward(tag.end);
      if (watch_.take_began()) {
        open_sheet(tag);
        scanner_.stop_after_this_tag();  // the sheet is passed over faster
        return;
      }
    }
    if (tag.kind == Kind::Start) {
      open_bytes_ += tag.raw.size();
      if (open_bytes_ > kMaxOpenTags) throw EngineError(damaged(stream_.what(), "слишком глубокая вложенность элементов"));
      open_.push_back({std::string(tag.raw), std::string(tag.name)});
    }
  }

 private:
  struct OpenElement {
    std::string raw;
    std::string name;
  };

  // Scans the chunk. Inside a sheet, the scanner first ends the markup the
  // chunk may begin in; pass_sheet passes over what follows, and the
  // scanner goes on from where that stops, until the next sheet begins.
  void scan_chunk() {
    size_t at = 0;
    if (sheet_open_) at = end_markup();
    while (at < chunk_.size()) {
      if (sheet_open_ && !scanner_.inside_markup()) {
        at = pass_sheet(at);
        if (at == chunk_.size()) return;
      }
      if (scanner_.position() != chunk_base_ + at) scanner_.resume_at(chunk_base_ + at);
      at += scanner_.scan(chunk_.substr(at), *this);  // stops after a sheet's start tag
    }
  }

  // Lets the scanner go on from the start of the chunk, up to one '>' at a
  // time, until it is outside markup; returns where it stopped.
  size_t end_markup() {
    size_t at = 0;
    while (scanner_.inside_markup() && at < chunk_.size()) {
      const void* gt = std::memchr(chunk_.data() + at, '>', chunk_.size() - at);
      const size_t to = gt ? size_t(static_cast<const char*>(gt) - chunk_.data()) + 1 : chunk_.size();
      scanner_.scan(chunk_.substr(at, to - at), *this);
      at = to;
    }
    return at;
  }

  // Passes the bytes of an open sheet in the chunk, looking
  // only at each '<': outside comments, CDATA sections and instructions,
  // every '<' of a document begins a tag (no attribute value or text may
  // hold one), so the sheet's end tag is found without scanning the tags
  // between. Stops, for the scanner to go on, at the first comment, CDATA
  // section or instruction, at a start tag of the sheet's own name, at a
  // tag too near the chunk's end to tell, and after the sheet's end tag;
  // returns where. Starts at from, outside markup.
  size_t pass_sheet(size_t from) {
    const std::string_view name = sheet_tag_;
    const char* const data = chunk_.data();
    const char* const end = data + chunk_.size();
    // The byte after the name first: most tags inside a sheet begin with
    // the sheet's own name ("table:table-cell").
    const auto names_it = [&](const char* at) {
      const char after = at[name.size()];
      return (after == '>' || after == '/' || after == ' ' || after == '\t' || after == '\n' || after == '\r') &&
             std::string_view(at, name.size()) == name;
    };
    const char* p = data + from;
    xml::ByteFinder less_than(p, end, '<');
    while (const char* const lt = less_than.next(p)) {
      // '<', '/', the name and the byte after it
      if (size_t(end - lt) < name.size() + 3) return size_t(lt - data);
      if (lt[1] == '/' && names_it(lt + 2)) {
        const void* gt = std::memchr(lt + 2 + name.size(), '>', size_t(end - lt) - 2 - name.size());
        if (!gt) return size_t(lt - data);
        const char* const tag_end = static_cast<const char*>(gt) + 1;
        if (--depth_ == 0) {
          close_sheet({xml::MarkupScanner::TagKind::End, chunk_base_ + uint64_t(lt - data),
                       chunk_base_ + uint64_t(tag_end - data), name, {}});
          return size_t(tag_end - data);
        }
        p = tag_end;
        continue;
      }
      if (lt[1] == '!' || lt[1] == '?' || names_it(lt + 1)) return size_t(lt - data);
      p = lt + 1;
    }
    return chunk_.size();
  }

  void keep_prolog() {
    if (index_.prolog_.size() + chunk_.size() > kMaxProlog + kChunk)
      throw EngineError(damaged(stream_.what(), "нет корневого элемента"));
    index_.prolog_.append(chunk_);
  }

  // Feeds the parser the bytes of the current chunk not yet fed, up to the
  // offset.
  void forward(uint64_t up_to) {
    const uint64_t from = std::max(forwarded_, chunk_base_);
    if (up_to > from) parser_.feed(chunk_.substr(size_t(from - chunk_base_), size_t(up_to - from)));
    forwarded_ = std::max(forwarded_, up_to);
  }

  // A sheet that begins anywhere but at a scanned table tag would leave the
  // index out of step with the sheets.
  void expect_no_sheet() {
    if (watch_.take_began()) throw EngineError(damaged(stream_.what(), "лист начинается там, где его не найти"));
  }

  void open_sheet(const xml::MarkupScanner::Tag& tag) {
    ContentIndex::Sheet sheet;
    sheet.begin = tag.begin;
    sheet.end = tag.end;
    sheet.context = context();
    sheet.resume = stream_.resume_point(tag.begin);
    // Sheets close together share one point, so that few are kept.
    if (!index_.sheets_.empty()) {
      const zip::ResumePoint& last = index_.sheets_.back().resume;
      if (sheet.resume.offset() < last.offset() + kResumeSpacing) sheet.resume = last;
    }
    index_.sheets_.push_back(std::move(sheet));
    if (tag.kind == xml::MarkupScanner::TagKind::Empty) return;
    sheet_open_ = true;
    depth_ = 1;
    sheet_tag_ = std::string(tag.name);
    scanner_.set_capture(true, false);  // names only: the sheet's own name is counted
  }

  void close_sheet(const xml::MarkupScanner::Tag& tag) {
    index_.sheets_.back().end = tag.end;
    sheet_open_ = false;
    scanner_.set_capture(true);
    // The parser gets an end tag of the same name in place of the real one,
    // which may have begun in a chunk already gone; the sheet's own bytes
    // are checked when the sheet is read.
    forwarded_ = tag.end;
    const std::string end_tag = "</" + sheet_tag_ + ">";
    parser_.feed(end_tag);
    expect_no_sheet();
  }

  // The context of the elements open now: the last one when it is the same.
  size_t context() {
    std::string open_tags, close_tags;
    for (const auto& element : open_) open_tags += element.raw;
    for (auto it = open_.rbegin(); it != open_.rend(); ++it) close_tags += "</" + it->name + ">";
    auto& contexts = index_.contexts_;
    if (!contexts.empty() && contexts.back().open_tags == open_tags) return contexts.size() - 1;
    contexts_bytes_ += open_tags.size() + close_tags.size();
    if (contexts_bytes_ > kMaxContexts) throw EngineError(damaged(stream_.what(), "слишком много разных мест для листов"));
    contexts.push_back({std::move(open_tags), std::move(close_tags)});
    return contexts.size() - 1;
  }

  ContentIndex& index_;
  zip::MemberStream& stream_;
  WatchingSink watch_;
  std::unique_ptr<xml::Handler> handler_;
  xml::Parser parser_;
  xml::MarkupScanner scanner_;

  std::string_view chunk_;
  uint64_t chunk_base_ = 0;
  uint64_t forwarded_ = 0;  // the parser has had every byte before this
  bool root_seen_ = false;
  std::vector<OpenElement> open_;
  size_t open_bytes_ = 0;
  size_t contexts_bytes_ = 0;
  bool sheet_open_ = false;
  int depth_ = 0;
  std::string sheet_tag_;
};

std::unique_ptr<ContentIndex> ContentIndex::build(const zip::Archive& archive, const std::string& member,
                                                  ContentSink& sink) {
  std::unique_ptr<ContentIndex> index(new ContentIndex(archive, member));
  auto stream = archive.open(member);
  IndexBuilder builder(*index, sink, *stream);
  if (!builder.run()) return nullptr;
  return index;
}

void ContentIndex::read_sheet(size_t sheet, const xml::Epoch& epoch, ContentSink& sink) const {
  const Sheet& place = sheets_.at(sheet);
  const Context& context = contexts_[place.context];
  auto stream = archive_.open(member_, place.resume);
  SheetInput input(prolog_, context.open_tags, *stream, place.begin, place.end, context.close_tags);
  auto handler = content_handler(sink, stream->what(), {sheet, epoch});
  // A sheet's cells are most of what is parsed: in UTF-8, as spreadsheets
  // write it, without expat, whose events cost several times more.
  if (xml::can_parse_directly(prolog_)) xml::parse_directly(input, stream->what(), *handler);
  else xml::parse(input, stream->what(), *handler);
}

}  // namespace vers::engine::ods
