// The Document list as the verification run reads it: items numbered from 0
// at the top, each a Document path with a tick. The run changes nothing.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vers::verify {

class DocumentList {
 public:
  virtual ~DocumentList() = default;
  virtual size_t count() const = 0;
  virtual bool checked(size_t index) const = 0;
  virtual std::string text(size_t index) const = 0;
};

// A list held in memory: what the command line builds from its arguments.
struct DocumentItem {
  std::string path;
  bool checked = true;
};

class DocumentItems : public DocumentList {
 public:
  DocumentItems() = default;
  explicit DocumentItems(std::vector<DocumentItem> items) : items_(std::move(items)) {}

  size_t count() const override { return items_.size(); }
  bool checked(size_t index) const override { return items_.at(index).checked; }
  std::string text(size_t index) const override { return items_.at(index).path; }

 private:
  std::vector<DocumentItem> items_;
};

}  // namespace vers::verify
