// The streaming XML reader: namespaces resolved whatever the prefix, text in
// pieces, an early end on request, and refusal of entity tricks, external
// entities and malformed documents.
#include "engine/xml/xml_reader.h"

#include <gtest/gtest.h>

#include "engine/zip/zip_archive.h"
#include "xml_test_support.h"

namespace vers::engine::xml {
namespace {

using xml_test::engine_error;

// Writes what it sees as one line of events.
class Recorder : public Handler {
 public:
  void start_element(const Name& name, const Attributes& a) override {
    log += "<{" + std::string(name.ns) + "}" + std::string(name.local);
    if (const char* v = a.find("urn:a", "x")) log += " a:x=" + std::string(v);
    if (const char* v = a.find("", "y")) log += " y=" + std::string(v);
    log += ">";
    ++elements;
  }
  void end_element(const Name& name) override { log += "</" + std::string(name.local) + ">"; }
  void text(std::string_view chars) override { log += chars; }
  bool done() const override { return stop_after > 0 && elements >= stop_after; }

  std::string log;
  int elements = 0;
  int stop_after = 0;
};

TEST(XmlReader, ResolvesNamespacesWhateverThePrefix) {
  const char* documents[] = {
      "<p:r xmlns:p='urn:a' p:x='1' y='2'>t&amp;<p:c/></p:r>",
      "<r xmlns='urn:a' xmlns:q='urn:a' q:x='1' y='2'>t&amp;<c/></r>",
  };
  for (const char* d : documents) {
    Recorder r;
    parse(d, "«a.xml»", r);
    EXPECT_EQ(r.log, "<{urn:a}r a:x=1 y=2>t&<{urn:a}c></c></r>") << d;
  }
}

TEST(XmlReader, NamespaceDeclarationsHoldForTheirElementOnly) {
  struct Case {
    const char* document;
    const char* log;
  } cases[] = {
      // An inner declaration shadows the outer one, and ends with its element.
      {"<p:r xmlns:p='urn:b'><p:c xmlns:p='urn:a' p:x='1'/><p:d/></p:r>",
       "<{urn:b}r><{urn:a}c a:x=1></c><{urn:b}d></d></r>"},
      // The default namespace can be undeclared; attributes never take it.
      {"<r xmlns='urn:a' x='1'><c xmlns=''/><d/></r>", "<{urn:a}r><{}c></c><{urn:a}d></d></r>"},
      // Declarations are no attributes of the element.
      {"<r xmlns:y='urn:a' xmlns='urn:a'/>", "<{urn:a}r></r>"},
      // The xml prefix is always declared.
      {"<r xml:space='preserve' y='2'/>", "<{}r y=2></r>"},
  };
  for (const Case& c : cases) {
    Recorder r;
    parse(c.document, "«a.xml»", r);
    EXPECT_EQ(r.log, c.log) << c.document;
  }
}

TEST(XmlReader, UndeclaredOrForbiddenPrefixesAreMalformed) {
  const char* documents[] = {
      "<p:r/>",                                     // element prefix never declared
      "<r><p:c xmlns:p='urn:a'/><p:d/></r>",        // declared on a sibling only
      "<r p:x='1'/>",                               // attribute prefix never declared
      "<r xmlns:p=''/>",                            // a prefix cannot be undeclared
      "<r xmlns:xmlns='urn:a'/>",                   // nor "xmlns" declared
      "<r xmlns:xml='urn:a'/>",                     // nor "xml" bound elsewhere
      "<r xmlns:p='http://www.w3.org/XML/1998/namespace'/>",
      "<a:b:c xmlns:a='urn:a'/>",                   // no qualified name
      "<r xmlns:p='urn:a' xmlns:q='urn:a' p:x='1' q:x='2'/>",  // one attribute twice
  };
  for (const char* d : documents) {
    Recorder r;
    const std::string message = engine_error([&] { parse(d, "«плохой.xml»", r); });
    EXPECT_NE(message.find("«плохой.xml» повреждён: неверный XML в строке 1"), std::string::npos) << d << ": " << message;
  }
}

TEST(XmlReader, StreamsAMemberInChunksAndStopsWhenTheHandlerIsDone) {
  std::string document = "<root>";
  for (int i = 0; i < 50000; ++i) document += "<row n='" + std::to_string(i) + "'>текст</row>";
  document += "</root>";
  zip::Archive archive(xml_test::make_zip({{"big.xml", document}}), "a.zip");

  Recorder all;
  parse(*archive.open("big.xml"), all);
  EXPECT_EQ(all.elements, 50001);

  Recorder some;
  some.stop_after = 10;
  parse(*archive.open("big.xml"), some);
  EXPECT_EQ(some.elements, 10);
}

TEST(XmlReader, RefusesEntityDeclarationsAndExternalEntities) {
  const char* documents[] = {
      // Exponential expansion.
      "<?xml version='1.0'?><!DOCTYPE r [<!ENTITY a 'aaaaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;'>"
      "<!ENTITY c '&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;'><!ENTITY d '&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;'>]><r>&d;&d;&d;</r>",
      // A file from outside the archive.
      "<?xml version='1.0'?><!DOCTYPE r [<!ENTITY x SYSTEM 'file:///etc/passwd'>]><r>&x;</r>",
      // A parameter entity from outside.
      "<?xml version='1.0'?><!DOCTYPE r [<!ENTITY % p SYSTEM 'file:///etc/passwd'> %p;]><r/>",
  };
  for (const char* d : documents) {
    Recorder r;
    const std::string message = engine_error([&] { parse(d, "«книга.xlsx» (часть «x.xml»)", r); });
    EXPECT_NE(message.find("«книга.xlsx» (часть «x.xml»)"), std::string::npos) << message;
    EXPECT_EQ(r.log.find("root:"), std::string::npos);
    EXPECT_LT(r.log.size(), 100u) << d;
  }
}

TEST(XmlReader, ReadsADoctypeWithoutEntities) {
  Recorder r;
  parse("<?xml version='1.0'?><!DOCTYPE r><r>x</r>", "«a»", r);
  EXPECT_EQ(r.log, "<{}r>x</r>");
}

TEST(XmlReader, MalformedDocumentsFailWithThePosition) {
  struct Case {
    const char* document;
    const char* line;
  } cases[] = {
      {"<r><a></r>", "строке 1"},
      {"<r>\n\n<a b='1' b='2'/></r>", "строке 3"},
      {"", "строке 1"},
      {"<r>&undefined;</r>", "строке 1"},
      {"<r>", "строке 1"},  // truncated
  };
  for (const Case& c : cases) {
    Recorder r;
    const std::string message = engine_error([&] { parse(c.document, "«плохой.xml»", r); });
    EXPECT_NE(message.find("«плохой.xml»"), std::string::npos) << message;
    EXPECT_NE(message.find(c.line), std::string::npos) << c.document << ": " << message;
  }
}

TEST(XmlReader, AHandlersExceptionPassesThrough) {
  class Throwing : public Handler {
    void start_element(const Name& name, const Attributes&) override {
      if (name.local == "bad") throw EngineError("плохой элемент");
    }
    void end_element(const Name&) override {}
    void text(std::string_view) override {}
  } handler;
  EXPECT_EQ(engine_error([&] { parse("<r><ok/><bad/><ok/></r>", "«a»", handler); }), "плохой элемент");
}

}  // namespace
}  // namespace vers::engine::xml
