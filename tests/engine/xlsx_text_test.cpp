// Text in Office Open XML: "_xHHHH_" escapes, and the shared string table
// with rich text runs and phonetic runs.
#include <gtest/gtest.h>

#include "engine/xlsx/shared_strings.h"
#include "engine/xlsx/x_escapes.h"
#include "engine/zip/zip_archive.h"
#include "xml_test_support.h"

namespace vers::engine::xlsx {
namespace {

TEST(XEscapes, DecodesEscapedCharacters) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"ABC_x000D_DEF", "ABC\rDEF"},
      {"_x0041__x0042_", "AB"},
      {"_x005F_x000D_", "_x000D_"},  // an escaped underscore
      {"_xD83D__xDE00_", "\xF0\x9F\x98\x80"},
      {"_xD83D_", "\xEF\xBF\xBD"},  // a lone surrogate
      {"_x04_ and _xZZZZ_ and _x0041", "_x04_ and _xZZZZ_ and _x0041"},
      {"без escapes", "без escapes"},
      {"_x000d_", "\r"},
  };
  for (const Case& c : cases) {
    std::string s = c.in;
    decode_x_escapes(s);
    EXPECT_EQ(s, c.out) << c.in;
  }
}

TEST(SharedStrings, JoinsRunsAndSkipsPhoneticText) {
  const SharedStrings table = SharedStrings::parse(
      "<sst xmlns='http://schemas.openxmlformats.org/spreadsheetml/2006/main'>"
      "<si><t>простая</t></si>"
      "<si><r><rPr><b/></rPr><t>жирный</t></r><r><t xml:space='preserve'> и обычный</t></r></si>"
      "<si><t>漢字</t><rPh sb='0' eb='2'><t>かんじ</t></rPh><phoneticPr fontId='0'/></si>"
      "<si/>"
      "<si><t>a_x000D_b</t></si>"
      "<x:si xmlns:x='http://schemas.openxmlformats.org/spreadsheetml/2006/main'><x:t>с приставкой</x:t></x:si>"
      "</sst>",
      "«a.xlsx»", 1 << 20);
  const std::vector<std::string> expected = {"простая", "жирный и обычный", "漢字", "", "a\rb", "с приставкой"};
  ASSERT_EQ(table.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(table.at(i), expected[i]) << i;
}

TEST(SharedStrings, PlainAndMarkedUpStringsDecodeAsTheXmlSays) {
  const std::string ns = "<sst xmlns='http://schemas.openxmlformats.org/spreadsheetml/2006/main'>";
  struct Case {
    std::string si;
    std::string text;
  } cases[] = {
      {"<si><t>просто</t></si>", "просто"},
      {"<si><t xml:space=\"preserve\">  с пробелами </t></si>", "  с пробелами "},
      {"<si><t>A &amp; B &lt;C&gt; &#1046;</t></si>", "A & B <C> Ж"},
      {"<si><t>две\r\nстроки\rи ещё</t></si>", "две\nстроки\nи ещё"},
      {"<si><t>_x0041__x005F_x0042_</t></si>", "A_x0042_"},
      {"<si><t a='>'>кавычки</t></si>", "кавычки"},
      {"<si><t><![CDATA[<не разметка>]]></t></si>", "<не разметка>"},
      {"<si>\n  <t>с отступом</t>\n</si>", "с отступом"},
      {"<si><t/></si>", ""},
  };
  std::string document = ns;
  for (const Case& c : cases) document += c.si;
  document += "</sst>";
  const SharedStrings table = SharedStrings::parse(document, "«a.xlsx»", 1 << 20);
  ASSERT_EQ(table.size(), std::size(cases));
  // In any order, and again.
  for (int pass = 0; pass < 2; ++pass)
    for (size_t i = std::size(cases); i-- > 0;) EXPECT_EQ(table.at(i), cases[i].text) << cases[i].si;
}

TEST(SharedStrings, TextInADeclaredSingleByteEncodingIsDecoded) {
  // "café" in ISO-8859-1.
  const SharedStrings table = SharedStrings::parse(
      "<?xml version='1.0' encoding='ISO-8859-1'?><sst><si><t>caf\xE9</t></si></sst>", "«a.xlsx»", 1 << 20);
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table.at(0), "caf\xC3\xA9");
}

TEST(SharedStrings, DamageIsFoundWhenItsStringIsRead) {
  const SharedStrings table =
      SharedStrings::parse("<sst><si><t>цел</t></si><si><t>a</b></si></sst>", "«a.xlsx» (часть «s.xml»)", 1 << 20);
  EXPECT_EQ(table.at(0), "цел");
  const std::string message = xml_test::engine_error([&] { table.at(1); });
  EXPECT_NE(message.find("s.xml"), std::string::npos) << message;

  const std::string cut = xml_test::engine_error(
      [&] { SharedStrings::parse("<sst><si><t>цел</t></si><si><t", "«a.xlsx» (часть «s.xml»)", 1 << 20); });
  EXPECT_NE(cut.find("s.xml"), std::string::npos) << cut;
}

TEST(SharedStrings, RefusesATableBeyondItsBound) {
  std::string document = "<sst>";
  for (int i = 0; i < 1000; ++i) document += "<si/>";
  document += "</sst>";
  const std::string message =
      xml_test::engine_error([&] { SharedStrings::parse(document, "«a.xlsx» (часть «s.xml»)", 4000); });
  EXPECT_NE(message.find("«a.xlsx»"), std::string::npos) << message;
}

// Sets the inflated size that both headers of the archive's last member
// give.
void claim_inflated_size(std::vector<uint8_t>& bytes, uint32_t size) {
  auto last = [&](uint8_t kind) {
    for (size_t i = bytes.size() - 4; i > 0; --i)
      if (bytes[i] == 'P' && bytes[i + 1] == 'K' && bytes[i + 2] == kind && bytes[i + 3] == kind + 1) return i;
    ADD_FAILURE() << "no record " << int(kind);
    return size_t(0);
  };
  for (const size_t at : {last(3) + 22, last(1) + 24})
    for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = uint8_t(size >> (8 * i));
}

TEST(SharedStrings, ReadsTheWholeMemberWhateverSizeTheDirectoryGives) {
  // Large enough to be kept in a mapped buffer, and small.
  for (const int count : {150000, 3}) {
    std::string document = "<sst>";
    for (int i = 0; i < count; ++i) document += "<si><t>строка " + std::to_string(i) + "</t></si>";
    document += "</sst>";
    for (const uint32_t claimed : {uint32_t(document.size()), uint32_t(0), uint32_t(100), uint32_t(document.size() / 2)}) {
      std::vector<uint8_t> bytes = xml_test::make_zip({{"a.xml", "<a/>"}, {"s.xml", document}});
      claim_inflated_size(bytes, claimed);
      const zip::Archive archive(bytes, "a.xlsx");
      const SharedStrings table = SharedStrings::read(archive, "s.xml");
      ASSERT_EQ(table.size(), size_t(count)) << claimed;
      EXPECT_EQ(table.at(0), "строка 0") << claimed;
      EXPECT_EQ(table.at(size_t(count - 1)), "строка " + std::to_string(count - 1)) << claimed;
    }
  }
}

}  // namespace
}  // namespace vers::engine::xlsx
