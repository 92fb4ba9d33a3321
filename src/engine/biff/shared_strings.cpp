#include "engine/biff/shared_strings.h"

#include <algorithm>

#include "engine/biff/messages.h"

namespace vers::engine::biff {

std::string SharedStrings::at(size_t index) const {
  std::string text;
  cursor_.seek(starts_[index]);
  try {
    cursor_.read_unicode_string(true, text);
  } catch (const RecordCursor::Truncated&) {
    // read() passed over this very text, so this is never met; should the
    // two ever part, the failure stays a clean one.
    throw_damaged(book_, "таблица строк обрывается на строке " + std::to_string(index + 1));
  }
  return text;
}

void SharedStrings::read(const RecordCursor& cursor, const std::string& book) {
  cursor_ = cursor;
  book_ = book;
  starts_.clear();
  size_t stated = 0;
  try {
    cursor_.skip(4);  // total number of references to the table
    stated = cursor_.u32();
  } catch (const RecordCursor::Truncated&) {
    throw_damaged(book, describe_record(cursor_.type(), cursor_.offset()) + " (таблица строк) обрезана");
  }
  // Every text takes at least 3 bytes.
  starts_.reserve(std::min<size_t>(stated, cursor_.remaining() / 3));
  while (!cursor_.at_end()) {
    const RecordCursor::Position start = cursor_.position();
    try {
      cursor_.skip_unicode_string(true);
    } catch (const RecordCursor::Truncated&) {
      if (starts_.size() >= stated) break;  // trailing bytes after the stated texts
      throw_damaged(book, "таблица строк обрывается на строке " + std::to_string(starts_.size() + 1) + " из " +
                              std::to_string(stated));
    }
    starts_.push_back(start);
  }
}

}  // namespace vers::engine::biff
