// The bytes of a workbook file, owned for as long as a reader needs them:
// either a read-only mapping of a large file, so that only the pages a
// reader touches are ever read from disk, or a buffer in memory (for bytes
// handed over by a caller, small files, and files that cannot be mapped,
// such as pipes).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vers::engine {

// A range of a file's bytes.
struct FilePiece {
  size_t offset = 0;
  size_t length = 0;
};

class FileBytes {
 public:
  // Files at least this large are mapped, smaller ones read.
  static constexpr uint64_t kMapFrom = 64 * 1024;

  // Maps the file at path, or reads it when it is small or cannot be
  // mapped. Throws EngineError naming path when it is missing, a folder or
  // unreadable.
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

  // Copies the file's bytes [offset, offset + out.size()) into out: read
  // from the file itself when it is mapped, so that its pages are not
  // mapped in for a single copy. False when they are not all there (the
  // file was cut short since it was opened).
  bool read_at(size_t offset, std::span<uint8_t> out) const;

  // Whether the bytes are a mapping of the file, which map_at can map again.
  bool mapped() const { return mapped_; }

  // Maps the file's bytes [offset, offset + length), page-aligned both,
  // read-only, over the pages at address (which the caller has reserved).
  // False when the file is not mapped or the system refuses.
  bool map_at(void* address, size_t offset, size_t length) const;

 private:
  FileBytes(const uint8_t* mapped, size_t size, int fd) : mapped_(true), fd_(fd), view_(mapped, size) {}
  void release();

  std::vector<uint8_t> buffer_;
  bool mapped_ = false;
  int fd_ = -1;  // of a mapped file, kept open to map pieces of it again
  std::span<const uint8_t> view_;
};

}  // namespace vers::engine
