// Where each sheet of an OpenDocument content.xml lies, learnt in one pass
// that parses only what lies outside the sheets: the sheet names, the
// workbook-wide names (which follow the sheets) and the null date. The cells
// of the sheets are passed over by a scan for tags alone. A sheet is later
// read by parsing only its own bytes, put inside the elements around it, so
// that the parser sees a whole document with its namespaces declared.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/ods/ods_content.h"
#include "engine/zip/zip_archive.h"

namespace vers::engine::ods {

class ContentIndex {
 public:
  // Reads the member through once; the sink hears of the sheets, the names
  // and the null date, never of cells. Throws EngineError when the member
  // is damaged. Returns nothing for a document whose encoding is not a
  // superset of ASCII (UTF-16): the caller then reads it whole.
  static std::unique_ptr<ContentIndex> build(const zip::Archive& archive, const std::string& member, ContentSink& sink);

  size_t sheet_count() const { return sheets_.size(); }

  // Streams the cells of one sheet through the sink, which sees it under its
  // own number and with the document's null date.
  void read_sheet(size_t sheet, const xml::Epoch& epoch, ContentSink& sink) const;

 private:
  friend class IndexBuilder;

  // The elements open around a sheet: their start tags as written, and the
  // end tags that close them.
  struct Context {
    std::string open_tags;
    std::string close_tags;
  };
  struct Sheet {
    uint64_t begin = 0;  // the '<' of its start tag
    uint64_t end = 0;    // just past its end tag
    size_t context = 0;
    zip::ResumePoint resume;
  };

  ContentIndex(const zip::Archive& archive, std::string member) : archive_(archive), member_(std::move(member)) {}

  const zip::Archive& archive_;
  std::string member_;
  std::string prolog_;  // what comes before the root element: the XML declaration
  std::vector<Context> contexts_;
  std::vector<Sheet> sheets_;
};

}  // namespace vers::engine::ods
