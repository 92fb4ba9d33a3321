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

// Bytes gathered from several places of a file into one run (see
// FileBytes::gather); they stay where they are when the owner is moved.
class GatheredBytes {
 public:
  GatheredBytes() = default;
  GatheredBytes(GatheredBytes&& other) noexcept;
  GatheredBytes& operator=(GatheredBytes&& other) noexcept;
  GatheredBytes(const GatheredBytes&) = delete;
  GatheredBytes& operator=(const GatheredBytes&) = delete;
  ~GatheredBytes();

  std::span<const uint8_t> bytes() const { return view_; }

 private:
  friend class FileBytes;
  void release();

  std::vector<uint8_t> buffer_;  // the copy, when not mapped
  void* region_ = nullptr;       // or the mapping that holds them
  size_t region_size_ = 0;
  std::span<const uint8_t> view_;
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

  // Pieces of the file (each inside bytes()) laid end to end in one run,
  // as a container's fragmented stream needs them. In a mapped file the
  // longest piece is mapped again, in its place in the run, and only the
  // other bytes are copied; otherwise, or where mapping fails, it is all
  // copied.
  GatheredBytes gather(std::span<const FilePiece> pieces) const;

 private:
  FileBytes(const uint8_t* mapped, size_t size, int fd) : mapped_(true), fd_(fd), view_(mapped, size) {}
  void release();

  std::vector<uint8_t> buffer_;
  bool mapped_ = false;
  int fd_ = -1;  // of a mapped file, kept open to map pieces of it again
  std::span<const uint8_t> view_;
};

}  // namespace vers::engine
