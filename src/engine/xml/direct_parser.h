// A parser of its own for the large documents the readers stream through
// most (an OpenDocument sheet's cells): it hands a handler exactly the
// events that the expat reader does (xml_reader.h), at a fraction of the
// cost, for documents in UTF-8 without a document type declaration. It
// checks what makes a document well-formed as expat does: tags that nest
// and match, names, quoted attribute values, no attribute twice, entity and
// character references, comments, CDATA sections and processing
// instructions, valid UTF-8 and characters, one root element, the rules of
// namespaces.
#pragma once

#include <string>
#include <string_view>

#include "engine/xml/xml_reader.h"

namespace vers::engine::xml {

// Whether a document that starts with prolog (what comes before its root
// element, or any first bytes of it) can be parsed here: it is in UTF-8 (as
// declared, or by default) and has no document type declaration.
bool can_parse_directly(std::string_view prolog);

// Parses the whole input (or until handler.done()), as parse(Input&, ...)
// does, with the same errors: EngineError naming what when the document is
// not well-formed or declares entities; an exception thrown by the handler
// passes through. The memory it takes is bounded by the longest tag.
void parse_directly(Input& input, const std::string& what, Handler& handler);

}  // namespace vers::engine::xml
