// Feeds arbitrary bytes as an XML document to the direct parser and to the
// expat reader, and holds the two to each other: what expat takes the
// direct parser takes, giving the same events (the direct parser may refuse
// less, never more). EngineError is the one accepted failure; any other
// exception, a crash, a sanitizer report or a disagreement is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <string_view>

#include "engine/error.h"
#include "engine/xml/direct_parser.h"
#include "engine/xml/xml_reader.h"
#include "../tests/engine/xml_event_log.h"

using namespace vers::engine::xml;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t piece = size_t(1) << (data[0] % 17);
  const std::string_view document(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (!can_parse_directly(document)) return 0;

  EventLog by_expat, direct;
  bool expat_took = true, direct_took = true;
  try {
    parse(document, "«f.xml»", by_expat);
    by_expat.flush();
  } catch (const vers::engine::EngineError&) {
    expat_took = false;
  }
  try {
    PieceInput input(document, piece);
    parse_directly(input, "«f.xml»", direct);
    direct.flush();
  } catch (const vers::engine::EngineError&) {
    direct_took = false;
  }
  if (expat_took && !direct_took) {
    std::fprintf(stderr, "expat takes the document, the direct parser refuses it\n");
    std::abort();
  }
  if (expat_took && direct_took && by_expat.log != direct.log) {
    std::fprintf(stderr, "events differ:\nexpat:  %s\ndirect: %s\n", by_expat.log.c_str(), direct.log.c_str());
    std::abort();
  }
  return 0;
}
