// The bytes of a workbook file, owned for as long as a reader needs them:
// either a read-only mapping of the file, so that only the pages a reader
// touches are ever read from disk, or a buffer in memory (for bytes handed
// over by a caller, and for files that cannot be mapped, such as pipes).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vers::engine {

class FileBytes {
 public:
  // Maps the file at path, or reads it when it cannot be mapped. Throws
  // EngineError naming path when it is missing, a folder or unreadable.
  //
  // A mapped file's size is taken once, here. Should another program cut
  // the file short while it is mapped, touching the lost pages raises
  // SIGBUS: a known limit of mapping, accepted for the speed it gives.
  static FileBytes open(const std::string& path);

  // Takes over bytes already in memory.
  FileBytes(std::vector<uint8_t> bytes);  // NOLINT: a vector is the bytes of a file

  FileBytes(FileBytes&& other) noexcept;
  FileBytes& operator=(FileBytes&& other) noexcept;
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  ~FileBytes();

  // The bytes; their address does not change when the owner is moved.
  std::span<const uint8_t> bytes() const { return view_; }

  // The same bytes (all of them, at the same address) for a reader that
  // rearranges the length bytes from offset in place. In a mapping, the
  // pages holding that range are replaced here by private writable copies
  // of themselves, filled in one step, so that writing costs no fault per
  // page; the rest stays read-only and shared with the file, and nothing
  // ever reaches the file. May be called for several ranges. Empty when
  // the range is not inside the bytes or the copies cannot be made.
  std::span<uint8_t> writable(size_t offset, size_t length);

 private:
  FileBytes(const uint8_t* mapped, size_t size, int fd) : mapped_(true), fd_(fd), view_(mapped, size) {}
  void release();

  std::vector<uint8_t> buffer_;
  bool mapped_ = false;
  int fd_ = -1;  // of a mapped file, kept open to copy pages from
  std::span<const uint8_t> view_;
};

}  // namespace vers::engine
