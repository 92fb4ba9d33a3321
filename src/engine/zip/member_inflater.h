// The inflated bytes of a stored or deflated member, read from its raw bytes
// in memory. ISA-L inflates here, between calls its whole state is a plain
// structure (the window of recent output included), so a stream can copy it
// now and then, and a later stream can start from such a copy instead of
// from the member's beginning.
#pragma once

#include <isa-l/igzip_lib.h>

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
  uint64_t out = 0;  // inflated bytes before the point
  uint64_t in = 0;   // raw bytes taken in before it
  // The inflater as it stood there, up to the end of the output it holds
  // (the rest of its buffer is free space); empty for a stored member.
  std::vector<uint8_t> inflater;
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
  size_t inflate_into(uint8_t* buffer, size_t size);
  void keep_point();
  [[noreturn]] void fail(const std::string& detail) const;

  std::span<const uint8_t> raw_;
  bool stored_;
  std::string what_;
  std::unique_ptr<inflate_state> state_;  // for a deflated member
  uint64_t in_ = 0;  // raw bytes handed to the inflater (or copied, when stored) so far
  bool finished_ = false;
  uint64_t out_ = 0;
  std::optional<uint32_t> expected_crc_;
  uint32_t stored_crc_ = 0;  // of a stored member's bytes so far

  std::shared_ptr<const ResumePoint::State> from_;
  // The latest points kept, newest last.
  static constexpr size_t kKept = 8;
  std::array<std::shared_ptr<const ResumePoint::State>, kKept> kept_;
  size_t kept_count_ = 0;
};

}  // namespace vers::engine::zip
