// The bytes of one stream of a compound file, laid out as one run that the
// record readers index from the stream's start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "engine/file_bytes.h"

namespace vers::engine::cfb {

// Either a view of bytes that are all there, or a buffer of the stream's
// own that its maker fills at once, or the stream's pieces of a file, made
// readable a part at a time as the readers ask for them (load). A reader of
// a large workbook then touches the globals and the few sheets a check
// needs, not the whole stream.
//
// The first stream a process reads from a mapped file is laid over the
// mapping: in one piece, a view of it; in several, the longest piece mapped
// again in its place in the run, and only the other pieces' bytes copied,
// as they are asked for. Every fresh page of memory costs the system a
// fault and a page cleared, which costs more than the file's own pages,
// which are in memory already. Later streams are copied, as they are asked
// for, into the buffer that the one before left (cheaper than mapping each
// file anew); memory then stays at the largest stream's size.
//
// Movable, not copyable; the bytes stay where they are when moved.
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
  // The stream's own writable buffer; nullptr when some of its bytes are
  // the file's (a view, or pieces of a mapped file).
  uint8_t* data();

  // Makes the bytes [from, to) of bytes() readable, copying from the file
  // those that were never copied; at once for a view or a filled buffer.
  // False when the file could not be read (another program cut it short).
  bool load(size_t from, size_t to);

  // Whether some bytes are the file's own pages, mapped: a reader should
  // then glance (peek) at what it does not need rather than read it whole,
  // as every page it touches is mapped in.
  bool holds_file_pages() const;

  // Copies the bytes [from, from + out.size()) into out without loading
  // them (through the mapping, or read from the file), for a glance at a
  // few bytes (a record's header) in a part that is not to be read whole.
  // False when they are not all there.
  bool peek(size_t from, std::span<uint8_t> out) const;

 private:
  struct FileSource;

  std::unique_ptr<uint8_t[]> own_;
  std::unique_ptr<FileSource> source_;  // none: every byte is there
  std::span<const uint8_t> view_;
};

}  // namespace vers::engine::cfb
