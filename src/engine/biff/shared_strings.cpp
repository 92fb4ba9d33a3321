#include "engine/biff/shared_strings.h"

#include <algorithm>

#include "engine/biff/messages.h"

namespace vers::engine::biff {

void SharedStrings::read(RecordCursor& cursor, const std::string& book) {
  pool_.clear();
  ends_.clear();
  size_t stated = 0;
  try {
    cursor.skip(4);  // total number of references to the table
    stated = cursor.u32();
  } catch (const RecordCursor::Truncated&) {
    throw_damaged(book, describe_record(cursor.type(), cursor.offset()) + " (таблица строк) обрезана");
  }
  // Every text takes at least 3 bytes; as UTF-8 about as many as in the file.
  ends_.reserve(std::min<size_t>(stated, cursor.remaining() / 3));
  //pool_.reserve(cursor.remaining());
  while (!cursor.at_end()) {
    const size_t before = pool_.size();
    try {
      cursor.read_unicode_string(true, pool_);
    } catch (const RecordCursor::Truncated&) {
      if (ends_.size() >= stated) {  // trailing bytes after the stated texts
        pool_.resize(before);
        break;
      }
      throw_damaged(book, "таблица строк обрывается на строке " + std::to_string(ends_.size() + 1) + " из " +
                              std::to_string(stated));
    }
    ends_.push_back(pool_.size());
  }
}

}  // namespace vers::engine::biff
