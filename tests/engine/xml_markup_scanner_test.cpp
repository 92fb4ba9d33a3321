// The tag scan: kinds and places of tags, marks inside quoted values,
// comments, CDATA sections, instructions and declarations passed over whole,
// the same tags whatever is captured of them and wherever the stream is cut
// into chunks.
#include "engine/xml/markup_scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vers::engine::xml {
namespace {

using Kind = MarkupScanner::TagKind;

struct Event {
  Kind kind;
  uint64_t begin, end;
  std::string name;
  std::string raw = {};
  friend bool operator==(const Event&, const Event&) = default;
};

std::ostream& operator<<(std::ostream& out, const Event& e) {
  return out << int(e.kind) << "[" << e.begin << "," << e.end << ")" << e.name << " " << e.raw;
}

// What a scan captures.
enum class Capture { None, Names, NamesAndRaw };

class Recorder : public MarkupScanner::Listener {
 public:
  explicit Recorder(MarkupScanner& scanner, int capture_from = -1) : scanner_(scanner), capture_from_(capture_from) {}
  void tag(const MarkupScanner::Tag& tag) override {
    events.push_back({tag.kind, tag.begin, tag.end, std::string(tag.name), std::string(tag.raw)});
    if (int(events.size()) == capture_from_) scanner_.set_capture(true);
  }
  std::vector<Event> events;

 private:
  MarkupScanner& scanner_;
  int capture_from_;
};

// The tags of a document scanned in chunks of the given sizes (the last
// repeated).
std::vector<Event> scan(std::string_view document, Capture capture, std::vector<size_t> chunks) {
  MarkupScanner scanner("«a.xml»");
  scanner.set_capture(capture != Capture::None, capture == Capture::NamesAndRaw);
  Recorder recorder(scanner);
  size_t at = 0;
  for (size_t i = 0; at < document.size(); ++i) {
    const size_t n = std::min(chunks[std::min(i, chunks.size() - 1)], document.size() - at);
    scanner.scan(document.substr(at, n), recorder);
    at += n;
  }
  return recorder.events;
}

std::vector<Event> without(std::vector<Event> events, Capture keep) {
  for (Event& e : events) {
    if (keep != Capture::NamesAndRaw) e.raw.clear();
    if (keep == Capture::None) e.name.clear();
  }
  return events;
}

const char* const kDocuments[] = {
    "<r a='x>y' b=\"/\"><e/><f  /><g a='1'/><h a=\"2\" ></h></r>",
    "<?xml version='1.0'?><!DOCTYPE r [<!ELEMENT r ANY><!ATTLIST r a CDATA '>'>]><r/>",
    "<r><!-- <no/> -- > --><![CDATA[<no> ]] ]]><?pi <no/> ? >?><yes/></r>",
    "<t:table xmlns:t='urn:t' t:name='a&apos;b'>\n<t:row\n t:x=\"'\"\n/>text > more</t:table>",
    "<a/ ><b / ><c d='/'>< ></c></a>",
    "<r><!DOCTYPE x><!x></r>",
};

TEST(MarkupScanner, FindsTagsAndTheirKinds) {
  const std::string document = kDocuments[0];
  const std::vector<Event> expected = {
      {Kind::Start, 0, 17, "r", "<r a='x>y' b=\"/\">"}, {Kind::Empty, 17, 21, "e", "<e/>"},
      {Kind::Empty, 21, 27, "f", "<f  />"},              {Kind::Empty, 27, 37, "g", "<g a='1'/>"},
      {Kind::Start, 37, 47, "h", "<h a=\"2\" >"},       {Kind::End, 47, 51, "h"},
      {Kind::End, 51, 55, "r"},
  };
  EXPECT_EQ(scan(document, Capture::NamesAndRaw, {document.size()}), expected);
  const std::vector<Event> others = {{Kind::Start, 0, 3, "r"}, {Kind::Empty, 58, 64, "yes"}, {Kind::End, 64, 68, "r"}};
  EXPECT_EQ(scan(kDocuments[2], Capture::Names, {4096}), others);
}

TEST(MarkupScanner, SameTagsWhateverIsCapturedAndWhereverTheChunksEnd) {
  for (const char* d : kDocuments) {
    const std::string_view document = d;
    const std::vector<Event> whole = scan(document, Capture::NamesAndRaw, {document.size()});
    ASSERT_FALSE(whole.empty()) << d;
    for (const Capture capture : {Capture::None, Capture::Names, Capture::NamesAndRaw}) {
      const std::vector<Event> expected = without(whole, capture);
      EXPECT_EQ(scan(document, capture, {document.size()}), expected) << d;
      EXPECT_EQ(scan(document, capture, {1}), expected) << d;
      for (size_t cut = 1; cut < document.size(); ++cut)
        EXPECT_EQ(scan(document, capture, {cut, document.size()}), expected) << d << " cut at " << cut;
    }
  }
}

TEST(MarkupScanner, CaptureTurnedOnByTheListenerTakesEffectFromTheNextTag) {
  MarkupScanner scanner("«a.xml»");
  Recorder recorder(scanner, 2);
  scanner.scan("<a><b x='1'><c/></b><d>", recorder);
  const std::vector<Event> expected = {
      {Kind::Start, 0, 3, ""}, {Kind::Start, 3, 12, ""}, {Kind::Empty, 12, 16, "c", "<c/>"},
      {Kind::End, 16, 20, "b"}, {Kind::Start, 20, 23, "d", "<d>"},
  };
  EXPECT_EQ(recorder.events, expected);
}

TEST(MarkupScanner, TellsWhenTheBytesEndInsideMarkup) {
  struct Case {
    const char* document;
    bool inside;
  } cases[] = {{"<a>text", false}, {"<a", true}, {"<a b='>", true}, {"<a><!-- x", true}, {"<a></a", true}};
  for (const Case& c : cases) {
    for (const Capture capture : {Capture::None, Capture::Names, Capture::NamesAndRaw}) {
      MarkupScanner scanner("«a.xml»");
      scanner.set_capture(capture != Capture::None, capture == Capture::NamesAndRaw);
      Recorder recorder(scanner);
      scanner.scan(c.document, recorder);
      EXPECT_EQ(scanner.inside_markup(), c.inside) << c.document << " capture " << int(capture);
    }
  }
}

}  // namespace
}  // namespace vers::engine::xml
