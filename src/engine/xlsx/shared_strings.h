// The shared string table of an Office Open XML workbook, held for the
// cells to refer to by index. Rich text runs are joined; phonetic runs are
// not part of the text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
  static SharedStrings parse(std::string_view document, const std::string& what, uint64_t max_bytes);

  size_t size() const { return starts_.size(); }
  std::string_view at(size_t index) const {
    const size_t end = index + 1 < starts_.size() ? starts_[index + 1] : text_.size();
    return std::string_view(text_).substr(starts_[index], end - starts_[index]);
  }

 private:
  friend class SharedStringsHandler;
  std::string text_;             // every string, one after another
  std::vector<size_t> starts_;   // where each begins in text_
};

}  // namespace vers::engine::xlsx
