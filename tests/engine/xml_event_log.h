// What an XML handler heard, as one line, and a document handed over in
// pieces: for the tests and the fuzzer that hold the direct parser to
// expat.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

#include "engine/xml/xml_reader.h"

namespace vers::engine::xml {

// Writes what it hears as one line of events: names resolved, the
// attributes of a few names, text between two events joined, as a handler
// takes it in pieces of any size.
class EventLog : public Handler {
 public:
  void start_element(const Name& name, const Attributes& a) override {
    flush();
    log += "<{" + std::string(name.ns) + "}" + std::string(name.local);
    static constexpr std::pair<const char*, const char*> kWanted[] = {
        {"", "a"},
        {"", "b"},
        {"urn:x", "a"},
        {"urn:y", "b"},
        {"urn:oasis:names:tc:opendocument:xmlns:table:1.0", "name"},
        {"urn:oasis:names:tc:opendocument:xmlns:office:1.0", "value"},
        {"urn:oasis:names:tc:opendocument:xmlns:office:1.0", "value-type"},
        {"urn:oasis:names:tc:opendocument:xmlns:table:1.0", "number-columns-repeated"},
        {"urn:oasis:names:tc:opendocument:xmlns:text:1.0", "c"},
        {"urn:oasis:names:tc:opendocument:xmlns:table:1.0", "formula"}};
    for (const auto& [ns, local] : kWanted)
      if (const char* v = a.find(ns, local)) log += std::string(" ") + ns + "|" + local + "=[" + v + "]";
    if (const char* v = a.find_local("a")) log += std::string(" *a=[") + v + "]";
    log += ">";
    ++elements;
  }
  void end_element(const Name& name) override {
    flush();
    log += "</{" + std::string(name.ns) + "}" + std::string(name.local) + ">";
  }
  void text(std::string_view chars) override { pending += chars; }
  bool done() const override { return stop_after > 0 && elements >= stop_after; }

  // Takes in the text not yet followed by an event.
  void flush() {
    if (!pending.empty()) log += "[" + pending + "]";
    pending.clear();
  }

  std::string log;
  std::string pending;
  int elements = 0;
  int stop_after = 0;  // done after this many start tags, when positive
};

// A document handed over in pieces of one size.
class PieceInput : public Input {
 public:
  PieceInput(std::string_view document, size_t piece) : rest_(document), piece_(piece) {}
  size_t read(char* buffer, size_t size) override {
    const size_t n = std::min({rest_.size(), size, piece_});
    std::copy_n(rest_.data(), n, buffer);
    rest_.remove_prefix(n);
    return n;
  }

 private:
  std::string_view rest_;
  size_t piece_;
};

}  // namespace vers::engine::xml
