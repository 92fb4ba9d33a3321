// The shared string table of an Office Open XML workbook, held for the
// cells to refer to by index. Rich text runs are joined; phonetic runs are
// not part of the text. Opening only finds where each string lies in the
// member's XML; a string is decoded the first time a cell asks for it, so
// a workbook whose tables use few of its strings pays for those alone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/xml/large_buffer.h"

namespace vers::engine::zip {
class Archive;
}

namespace vers::engine::xlsx {

class SharedStrings {
 public:
  SharedStrings() = default;

  // Reads the member. Throws EngineError when it is damaged, or when what
  // it would hold is far beyond what its compressed size can honestly carry.
  static SharedStrings read(const zip::Archive& archive, const std::string& member);

  // The same for a document in memory, with a bound on what it may hold.
  static SharedStrings parse(std::string document, const std::string& what, uint64_t max_bytes);

  size_t size() const { return places_.size(); }

  // The string at index (< size()). Throws EngineError when its XML is
  // damaged.
  std::string_view at(size_t index) const;

  // Where one string's si element lies in the member.
  struct Place {
    uint64_t begin;  // the '<' of its si element
    uint64_t end;    // just past the element
  };

 private:

  void index(uint64_t max_bytes);
  // The member as written.
  std::string_view xml() const {
    return large_.data() ? std::string_view(large_.data(), large_size_) : std::string_view(owned_);
  }
  bool read_plain(const Place& place, std::string_view& text) const;
  std::string decode(const Place& place) const;

  std::string what_;
  std::string owned_;            // the member as written, when handed over as a string
  xml::LargeBuffer large_;       // or as read from the archive
  size_t large_size_ = 0;
  std::string prolog_;           // what comes before the root element
  std::string root_open_, root_close_;
  bool utf8_ = true;             // the member is in UTF-8: plain text is taken as it stands
  std::vector<Place> places_;
  mutable std::unordered_map<size_t, std::string> decoded_;  // the strings that had to be decoded
};

}  // namespace vers::engine::xlsx
