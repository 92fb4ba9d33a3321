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

  // The same bytes for a reader that rearranges them in place. A mapping
  // is private: it is made writable here, only the pages written to are
  // copied, and nothing ever reaches the file. Empty when that fails.
  std::span<uint8_t> writable();

 private:
  FileBytes(const uint8_t* mapped, size_t size) : mapped_(true), view_(mapped, size) {}
  void release();

  std::vector<uint8_t> buffer_;
  bool mapped_ = false;
  std::span<const uint8_t> view_;
};

}  // namespace vers::engine
