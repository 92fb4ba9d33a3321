#include "engine/xlsx/shared_strings.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "engine/error.h"
#include "engine/xlsx/x_escapes.h"
#include "engine/xml/limits.h"
#include "engine/xml/markup_scanner.h"
#include "engine/xml/xml_reader.h"
#include "engine/zip/zip_archive.h"

namespace vers::engine::xlsx {
namespace {

std::string_view local_part(std::string_view qualified) {
  const size_t colon = qualified.rfind(':');
  return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

// Whether the prolog leaves the document in UTF-8: no encoding declared, or
// UTF-8 declared.
bool declares_utf8(std::string_view prolog) {
  const size_t at = prolog.find("encoding");
  if (at == std::string_view::npos) return true;
  const size_t quote = prolog.find_first_of("\"'", at);
  if (quote == std::string_view::npos || prolog.size() < quote + 6) return false;
  std::string name(prolog.substr(quote + 1, 5));
  for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
  return name == "utf-8" && prolog.size() > quote + 6 && prolog[quote + 6] == prolog[quote];
}

// Finds the si elements: their places, the prolog and the root element.
class PlaceFinder : public xml::MarkupScanner::Listener {
 public:
  PlaceFinder(std::vector<SharedStrings::Place>& places, xml::MarkupScanner& scanner)
      : places_(places), scanner_(scanner) {}

  void tag(const xml::MarkupScanner::Tag& tag) override {
    using Kind = xml::MarkupScanner::TagKind;
    if (!root_seen && tag.kind != Kind::End) {
      root_seen = true;
      root_begin = tag.begin;
      root_open = std::string(tag.raw);
      root_name = std::string(tag.name);
      scanner_.set_capture(true, false);  // names alone tell the rest apart
    }
    const bool is_si = local_part(tag.name) == "si";
    if (tag.kind == Kind::Start) {
      ++depth_;
      if (is_si && !si_depth_) {
        si_depth_ = depth_;
        si_begin_ = tag.begin;
      }
    } else if (tag.kind == Kind::Empty) {
      if (is_si && !si_depth_) places_.push_back({tag.begin, tag.end});
    } else {
      if (si_depth_ && depth_ == si_depth_) {
        places_.push_back({si_begin_, tag.end});
        si_depth_ = 0;
      }
      --depth_;
    }
  }

  bool root_seen = false;
  uint64_t root_begin = 0;
  std::string root_open, root_name;

 private:
  std::vector<SharedStrings::Place>& places_;
  xml::MarkupScanner& scanner_;
  int depth_ = 0, si_depth_ = 0;
  uint64_t si_begin_ = 0;
};

// Decodes the string of one si element: its text runs joined, without the
// phonetic runs.
class StringHandler : public xml::Handler {
 public:
  explicit StringHandler(std::string what) : what_(std::move(what)) {}

  void start_element(const xml::Name& name, const xml::Attributes&) override {
    ++depth_;
    if (name.local == "si" && !si_depth_) {
      si_depth_ = depth_;
    } else if (si_depth_ && name.local == "rPh" && !phonetic_depth_) {
      phonetic_depth_ = depth_;
    } else if (si_depth_ && !phonetic_depth_ && name.local == "t") {
      t_depth_ = depth_;
    }
  }

  void end_element(const xml::Name&) override {
    if (depth_ == t_depth_) t_depth_ = 0;
    else if (depth_ == phonetic_depth_) phonetic_depth_ = 0;
    else if (depth_ == si_depth_) si_depth_ = 0;
    --depth_;
  }

  void text(std::string_view chars) override {
    if (!t_depth_) return;
    text_ += chars;
    xml::check_cell_text(text_.size(), what_);
  }

  std::string take() { return std::move(text_); }

 private:
  std::string what_;
  std::string text_;
  int depth_ = 0, si_depth_ = 0, t_depth_ = 0, phonetic_depth_ = 0;
};

}  // namespace

void SharedStrings::index(uint64_t max_bytes) {
  xml::MarkupScanner scanner(what_);
  scanner.set_capture(true);
  PlaceFinder finder(places_, scanner);
  scanner.scan(xml(), finder);
  if (scanner.inside_markup() || !finder.root_seen)
    throw EngineError("Файл " + what_ + " повреждён: таблица строк обрывается");
  // Each string costs its place besides the XML.
  if (xml().size() + places_.size() * sizeof(Place) > max_bytes)
    throw EngineError("Файл " + what_ + " не читается: таблица строк недопустимо велика для своего размера");
  prolog_ = std::string(xml().substr(0, size_t(finder.root_begin)));
  root_open_ = std::move(finder.root_open);
  root_close_ = "</" + finder.root_name + ">";
  utf8_ = declares_utf8(prolog_);
}

SharedStrings SharedStrings::parse(std::string document, const std::string& what, uint64_t max_bytes) {
  SharedStrings table;
  table.what_ = what;
  table.owned_ = std::move(document);
  table.index(max_bytes);
  return table;
}

SharedStrings SharedStrings::read(const zip::Archive& archive, const std::string& member) {
  // Honest text compresses perhaps tenfold; what the table holds may not
  // exceed a generous multiple of the member's compressed size.
  const uint64_t max_bytes = archive.compressed_size(member) * 32 + (uint64_t(64) << 20);
  auto stream = archive.open(member);
  // Inflated straight into a buffer sized once from what the directory
  // says; a directory that says too little only costs growing it.
  auto too_big = [&] {
    return EngineError("Файл " + stream->what() + " не читается: таблица строк недопустимо велика для своего размера");
  };
  xml::LargeBuffer buffer(size_t(std::min(archive.inflated_size(member), max_bytes)));
  size_t filled = 0;
  for (;;) {
    if (filled < buffer.capacity()) {
      const size_t n = stream->read(buffer.data() + filled, buffer.capacity() - filled);
      if (n == 0) break;
      filled += n;
      continue;
    }
    char more[4096];
    const size_t n = stream->read(more, sizeof more);
    if (n == 0) break;
    if (filled + n > max_bytes) throw too_big();
    xml::LargeBuffer bigger(
        size_t(std::min<uint64_t>(filled + std::max<size_t>(filled / 2, 64 * 1024), max_bytes + 1)));
    if (filled) std::memcpy(bigger.data(), buffer.data(), filled);
    std::memcpy(bigger.data() + filled, more, n);
    buffer = std::move(bigger);
    filled += n;
  }
  if (filled > max_bytes) throw too_big();
  SharedStrings table;
  table.what_ = stream->what();
  table.large_ = std::move(buffer);
  table.large_size_ = filled;
  table.index(max_bytes);
  return table;
}

// The common string, <si><t>text</t></si> with text that holds no markup,
// no reference and no carriage return, is its own bytes.
bool SharedStrings::read_plain(const Place& place, std::string_view& text) const {
  if (!utf8_) return false;
  std::string_view si = xml().substr(size_t(place.begin), size_t(place.end - place.begin));
  if (si.ends_with("/>")) {  // <si/>
    text = {};
    return si.find_first_of("\"'") == std::string_view::npos;
  }
  // <si>, without attributes.
  const size_t si_end = si.find('>');
  if (si_end == std::string_view::npos || si.substr(1, si_end - 1).find_first_of(" \t\n\r\"'") != std::string_view::npos)
    return false;
  std::string_view inner = si.substr(si_end + 1);
  const size_t close = inner.rfind("</");
  if (close == std::string_view::npos) return false;
  inner = inner.substr(0, close);
  // <t ...> without a quote that could hide a '>'.
  if (!inner.starts_with('<')) return false;
  const size_t t_end = inner.find('>');
  if (t_end == std::string_view::npos || inner[t_end - 1] == '/') return false;
  const std::string_view t_tag = inner.substr(1, t_end - 1);
  const std::string_view t_name = t_tag.substr(0, std::min(t_tag.size(), t_tag.find_first_of(" \t\n\r")));
  if (local_part(t_name) != "t") return false;
  const size_t dq = size_t(std::count(t_tag.begin(), t_tag.end(), '"'));
  const size_t sq = size_t(std::count(t_tag.begin(), t_tag.end(), '\''));
  if (dq % 2 || sq % 2 || (dq && sq)) return false;
  // The text, then </t> and nothing more.
  const std::string_view rest = inner.substr(t_end + 1);
  const size_t lt = rest.find('<');
  if (lt == std::string_view::npos || rest.substr(lt) != "</" + std::string(t_name) + ">") return false;
  text = rest.substr(0, lt);
  return text.find_first_of("&\r") == std::string_view::npos;
}

// Any other string: the element put in the root element and parsed.
std::string SharedStrings::decode(const Place& place) const {
  const std::string document = prolog_ + root_open_ +
                               std::string(xml().substr(size_t(place.begin), size_t(place.end - place.begin))) +
                               root_close_;
  StringHandler handler(what_);
  xml::parse(document, what_, handler);
  return handler.take();
}

std::string_view SharedStrings::at(size_t index) const {
  if (const auto found = decoded_.find(index); found != decoded_.end()) return found->second;
  const Place& place = places_[index];
  std::string_view plain;
  std::string text;
  if (read_plain(place, plain)) {
    if (plain.find("_x") == std::string_view::npos) return plain;
    text = std::string(plain);
  } else {
    text = decode(place);
  }
  decode_x_escapes(text);
  return decoded_.emplace(index, std::move(text)).first->second;
}

}  // namespace vers::engine::xlsx
