// The bytes of one stream of a compound file, laid out as one run that the
// record readers index from the stream's start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "engine/file_bytes.h"

namespace vers::engine::cfb {

// Either a view of bytes that are all there (no copy), or a buffer of the
// stream's own: filled by its maker at once, or read from the file a part
// at a time, as the readers ask for them (load). A reader of a large
// workbook then reads the globals and the few sheets a check needs, not
// the whole stream: the file's pages are never mapped nor copied for the
// rest. Movable, not copyable; the bytes stay where they are when moved.
class StreamBytes {
 public:
  // A view of bytes that outlive this object; every byte is readable.
  explicit StreamBytes(std::span<const uint8_t> view);
  // A buffer of size bytes, to be filled through data() before use; it is
  // not zeroed first, as every byte is written once.
  explicit StreamBytes(size_t size);
  // The pieces of file (each inside file.bytes()) laid end to end; file is
  // kept to read them from. A part is readable only once loaded.
  StreamBytes(FileBytes file, std::vector<FilePiece> pieces);

  StreamBytes(StreamBytes&&) noexcept;
  StreamBytes& operator=(StreamBytes&&) noexcept;
  ~StreamBytes();

  std::span<const uint8_t> bytes() const { return view_; }
  // The stream's own writable buffer; nullptr for a view.
  uint8_t* data() { return own_.get(); }

  // Makes the bytes [from, to) of bytes() readable, reading from the file
  // those that were never read; at once for a view or a filled buffer.
  // False when the file could not be read (another program cut it short).
  bool load(size_t from, size_t to);

 private:
  struct FileSource;

  std::unique_ptr<uint8_t[]> own_;
  std::unique_ptr<FileSource> source_;  // none: every byte is there
  std::span<const uint8_t> view_;
};

}  // namespace vers::engine::cfb
