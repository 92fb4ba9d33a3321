// The direct parser hands a handler what the expat reader does, for the
// sheets it reads and for documents that try every corner of the syntax,
// whatever the pieces the input comes in; and it refuses what expat refuses.
#include "engine/xml/direct_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/error.h"
#include "engine/zip/zip_archive.h"
#include "xml_event_log.h"
#include "xml_test_support.h"

namespace vers::engine::xml {
namespace {

struct Outcome {
  std::string log;
  std::string error;  // empty when parsed
};

Outcome run(bool directly, std::string_view document, size_t piece, int stop_after = 0) {
  EventLog recorder;
  recorder.stop_after = stop_after;
  PieceInput input(document, piece);
  Outcome outcome;
  try {
    if (directly) parse_directly(input, "«a.xml»", recorder);
    else parse(input, "«a.xml»", recorder);
    recorder.flush();
  } catch (const EngineError& e) {
    outcome.error = e.what();
  }
  outcome.log = recorder.log;
  return outcome;
}

void expect_same_events(std::string_view document, int stop_after = 0) {
  const Outcome expat = run(false, document, 1 << 16, stop_after);
  ASSERT_TRUE(expat.error.empty()) << expat.error;
  for (const size_t piece : {size_t(1), size_t(7), size_t(4096), size_t(1) << 20}) {
    const Outcome direct = run(true, document, piece, stop_after);
    EXPECT_EQ(direct.error, "") << "in pieces of " << piece;
    EXPECT_EQ(direct.log, expat.log) << "in pieces of " << piece;
  }
}

TEST(XmlDirectParser, GivesTheEventsExpatGives) {
  const char* documents[] = {
      // Names, namespaces, the default namespace and its undeclaring.
      "<?xml version='1.0' encoding='UTF-8'?>\n<r xmlns='urn:x' xmlns:y='urn:y' a='1' y:b='2'><c xmlns=''/><y:d/></r>",
      "<p:r xmlns:p='urn:y'><p:c xmlns:p='urn:x' p:a='in'/><p:d p:b='out'/></p:r>",
      "<r xml:space='preserve' a='2'/>",
      // References in text and values, blanks and line ends in values.
      "<r a='&lt;&amp;&gt;&quot;&apos;&#65;&#x416;&#x1F600;'>x &lt; y &amp;&amp; &#1046;&#x0416;</r>",
      "<r a='one\ttwo\nthree\r\nfour\rfive' b=\"it's\">t</r>",
      "<r a='&#9;&#10;&#13;'/>",
      // Line ends in text, CDATA sections, comments and instructions.
      "<r>a\r\nb\rc\n<![CDATA[<not a tag> & ]] >\r\n]]>d<!-- a <comment> - -->e<?pi some data?>f</r>",
      "<!-- before --><?pi before?>\n<r/>\n<!-- after -->\n<?pi after?>\n",
      // Blanks inside tags, empty elements, '>' and the other quote in values.
      "<r  a = \"x>y\"\n\tb='\"' ><e/><e a='1' /></r >",
      // Text past ASCII, in names too; a byte order mark.
      "\xEF\xBB\xBF<ячейка a='знач'>Текст — «кавычки» 𝔸</ячейка>",
      // An OpenDocument cell of each kind.
      "<office:document-content xmlns:office='urn:oasis:names:tc:opendocument:xmlns:office:1.0' "
      "xmlns:table='urn:oasis:names:tc:opendocument:xmlns:table:1.0' "
      "xmlns:text='urn:oasis:names:tc:opendocument:xmlns:text:1.0'><table:table table:name='Лист1'>"
      "<table:table-row><table:table-cell office:value-type='float' office:value='1.5' "
      "table:formula='of:=[.A1]*2'><text:p>1,5</text:p></table:table-cell>"
      "<table:table-cell table:number-columns-repeated='3'/><table:table-cell office:value-type='string'>"
      "<text:p>a<text:s text:c='3'/>b</text:p><text:p>c</text:p></table:table-cell></table:table-row>"
      "</table:table></office:document-content>",
  };
  for (const char* d : documents) {
    SCOPED_TRACE(d);
    expect_same_events(d);
  }
}

TEST(XmlDirectParser, GivesTheEventsExpatGivesForEverySheetOfTheFixtures) {
  for (const char* fixture : {"engine_biff_values.ods", "engine_biff_long.ods", "engine_biff_names.ods",
                              "form_known_errors.ods", "xml_values.ods"}) {
    SCOPED_TRACE(fixture);
    const zip::Archive archive(xml_test::read_bytes(xml_test::fixture(fixture)), fixture);
    const std::string content = archive.read_small("content.xml", 16 << 20);
    ASSERT_TRUE(can_parse_directly(content.substr(0, content.find("<office:document-content"))));
    expect_same_events(content);
  }
}

TEST(XmlDirectParser, EndsEarlyWhenTheHandlerIsDone) {
  expect_same_events("<r><a/><b>text</b><c/></r>", 2);
}

// Long runs of text and long tags, cut by the buffer's end anywhere: in a
// reference, a character, a line end, a "]]".
TEST(XmlDirectParser, TextAndTagsLongerThanTheBufferAreWhole) {
  std::string text;
  while (text.size() < 300'000) text += "Ж&amp;\r\n]]&#x416;x";
  std::string values;
  while (values.size() < 100'000) values += "&quot;Ё";
  expect_same_events("<r a='" + values + "'>" + text + "</r>");
  expect_same_events("<r><![CDATA[" + text + "]]></r>");
  expect_same_events("<r><!--" + std::string(200'000, 'c') + "--></r>");
}

TEST(XmlDirectParser, RefusesWhatExpatRefuses) {
  const char* documents[] = {
      "",
      "   ",
      "<r>",
      "<r></s>",
      "<r><a></r></a>",
      "<r/><s/>",
      "text<r/>",
      "<r/>text",
      "<r a='1' a='2'/>",
      "<r xmlns:p='urn:x' xmlns:q='urn:x' p:a='1' q:a='2'/>",
      "<p:r/>",
      "<r p:a='1'/>",
      "<r a=1/>",
      "<r a='1'b='2'/>",
      "<r a='<'/>",
      "<r a='1/>",
      "<r>&unknown;</r>",
      "<r>&#0;</r>",
      "<r>&#xD800;</r>",
      "<r>&#x110000;</r>",
      "<r>&amp</r>",
      "<r>a & b</r>",
      "<r>]]></r>",
      "<r>\x01</r>",
      "<r>\xFF</r>",
      "<r>\xC3</r>",
      "<r>\xED\xA0\x80</r>",
      "<r>\xEF\xBF\xBF</r>",
      "<r a='\xC0\x80'/>",
      "<r><!-- a -- b --></r>",
      "<r><!DOCTYPE r></r>",
      "<r><![CDATA[open</r>",
      "<r><?xml version='1.0'?></r>",
      "<1r/>",
      "<r><//r>",
      "< r/>",
      "<r",
  };
  for (const char* d : documents) {
    SCOPED_TRACE(d);
    const Outcome expat = run(false, d, 1 << 16);
    EXPECT_NE(expat.error, "") << "expat takes it";
    for (const size_t piece : {size_t(1), size_t(1) << 16}) {
      const Outcome direct = run(true, d, piece);
      EXPECT_NE(direct.error.find("«a.xml» повреждён: неверный XML в строке"), std::string::npos)
          << "in pieces of " << piece << ": " << direct.error;
    }
  }
}

TEST(XmlDirectParser, TellsTheLineOfTheFault) {
  const Outcome direct = run(true, "<r>\n<a>\n\n</b></r>", 3);
  EXPECT_NE(direct.error.find("в строке 4"), std::string::npos) << direct.error;
}

TEST(XmlDirectParser, TakesDocumentsInUtf8WithoutADocumentType) {
  using namespace std::string_view_literals;
  const std::pair<std::string_view, bool> cases[] = {
      {"", true},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", true},
      {"<?xml version='1.0' encoding='utf-8' standalone='yes'?>", true},
      {"<?xml version=\"1.0\"?>", true},
      {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>", true},
      {"<?xml version=\"1.0\" encoding=\"windows-1251\"?>", false},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", false},
      {"<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY e 'x'>]>", false},
      {"\xFF\xFE<\0?\0x\0m\0l\0"sv, false},  // UTF-16
      {"<\0r\0/\0>\0"sv, false},
  };
  for (const auto& [prolog, taken] : cases) EXPECT_EQ(can_parse_directly(prolog), taken) << prolog.substr(0, 40);
}

}  // namespace
}  // namespace vers::engine::xml
