// The inflated bytes of a stored or deflated member, read from its raw bytes
// in memory: zlib inflates here, so that the stream can note where deflate
// blocks begin and a later stream can start at one of them (with the window
// of bytes before it) instead of at the beginning.
#pragma once

#include <zlib.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/zip/zip_archive.h"

namespace vers::engine::zip {

struct ResumePoint::State {
  uint64_t out = 0;              // inflated bytes before the point
  uint64_t in = 0;               // raw bytes before it
  int bits = 0;                  // bits of the raw byte before it that belong after it
  uint8_t byte = 0;              // that byte
  std::vector<uint8_t> window;   // the inflated bytes just before it, up to 32 KiB
};

class MemberInflater {
 public:
  // raw: the member's bytes as stored, which outlive the inflater. A stream
  // from the beginning checks the inflated bytes against expected_crc.
  MemberInflater(std::span<const uint8_t> raw, bool stored, std::shared_ptr<const ResumePoint::State> from,
                 std::optional<uint32_t> expected_crc, std::string what);
  ~MemberInflater();
  MemberInflater(const MemberInflater&) = delete;
  MemberInflater& operator=(const MemberInflater&) = delete;

  // Throws EngineError when the raw bytes are damaged.
  size_t read(char* buffer, size_t size);

  // The latest point kept at or before offset; null for the beginning.
  std::shared_ptr<const ResumePoint::State> point_before(uint64_t offset) const;

 private:
  void refill();
  void note_block_start(uint64_t out);
  [[noreturn]] void fail(const std::string& detail) const;

  std::span<const uint8_t> raw_;
  bool stored_;
  std::string what_;
  z_stream z_{};
  bool z_ready_ = false;
  uint64_t in_ = 0;  // raw bytes handed to zlib (or copied, when stored) so far
  bool finished_ = false;
  uint64_t out_ = 0;
  std::optional<uint32_t> expected_crc_;
  uint32_t crc_ = 0;

  std::shared_ptr<const ResumePoint::State> from_;
  // The latest points kept, newest last.
  static constexpr size_t kKept = 8;
  std::array<std::shared_ptr<const ResumePoint::State>, kKept> kept_;
  size_t kept_count_ = 0;
};

}  // namespace vers::engine::zip
