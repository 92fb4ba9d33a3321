// A zip archive held in memory (or mapped): its member names and each member
// as a stream of inflated bytes. minizip reads the directory; the members'
// raw bytes are taken straight from memory and inflated here. Every limit
// that protects the program from a hostile archive is enforced here: the
// number of members, the place of each member's bytes inside the archive,
// and the inflated size of each member.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_bytes.h"

namespace vers::engine::zip {
class MemberInflater;
}

namespace vers::engine::zip {

// True when the bytes begin like a zip archive (a local file header, or the
// end record of an empty archive).
bool looks_like_zip(std::span<const uint8_t> bytes);

class MemberStream;

// A place in a member's inflated bytes from which a stream can be opened
// without inflating all that comes before it. Copies share what they hold.
class ResumePoint {
 public:
  ResumePoint() = default;  // the member's beginning
  uint64_t offset() const;  // inflated bytes before the place

 private:
  friend class Archive;
  friend class MemberStream;
  friend class MemberInflater;
  struct State;
  explicit ResumePoint(std::shared_ptr<const State> state) : state_(std::move(state)) {}
  std::shared_ptr<const State> state_;
};

// The bounds an archive is read within.
struct Limits {
  // More members than this and the archive is refused: no workbook has them.
  uint64_t max_members = 10000;
  // A member may inflate to this multiple of its compressed size (deflate
  // cannot do better than about 1032:1) plus a mebibyte, and never past the
  // absolute cap.
  uint64_t max_ratio = 1100;
  uint64_t max_inflated_bytes = uint64_t(1) << 30;
};

class Archive {
 public:
  // Reads the archive's directory. Throws EngineError naming display_name
  // when the bytes are not a readable zip archive or exceed the limits.
  Archive(FileBytes bytes, std::string display_name, Limits limits = {});
  ~Archive();
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;

  const std::string& display_name() const { return display_name_; }

  // Member names as stored, in directory order.
  const std::vector<std::string>& member_names() const { return names_; }

  // True when the archive has a member of that name (ASCII case ignored, a
  // leading '/' ignored, '\\' taken for '/').
  bool contains(std::string_view name) const;

  // The stored (compressed) size of a member, 0 when it is missing.
  uint64_t compressed_size(std::string_view name) const;

  // The size the directory gives for a member's inflated bytes (0 when it is
  // missing), never more than its stream's bound: a reader may reserve that
  // much. A damaged directory may give less than the stream yields.
  uint64_t inflated_size(std::string_view name) const;

  // Opens a member for streaming, from its beginning or from a point that a
  // stream of the same member gave. Throws EngineError when it is missing,
  // encrypted, compressed by a method other than deflate, or lies outside
  // the archive.
  std::unique_ptr<MemberStream> open(std::string_view name, const ResumePoint& from = {}) const;

  // The whole member, refused (EngineError) when it inflates past max_bytes.
  // For small members only (the mimetype, relationships).
  std::string read_small(std::string_view name, size_t max_bytes) const;

 private:
  struct Entry;
  class Directory;
  int64_t find(std::string_view name) const;
  uint64_t bound(const Entry& entry) const;

  FileBytes bytes_;
  std::string display_name_;
  Limits limits_;
  std::unique_ptr<Directory> directory_;
  std::vector<std::string> names_;
  std::vector<Entry> entries_;
};

// The inflated bytes of one member, read in chunks. It stops with an
// EngineError when the member inflates past the bound of its Limits.
class MemberStream {
 public:
  ~MemberStream();
  MemberStream(const MemberStream&) = delete;
  MemberStream& operator=(const MemberStream&) = delete;

  // Reads up to size bytes into buffer; returns 0 at the member's end.
  size_t read(char* buffer, size_t size);

  // Inflated bytes before the next one read (counted from the member's
  // beginning, also for a stream opened at a resume point).
  uint64_t position() const { return position_; }

  // A point at or before the offset, which must not lie before the last
  // bytes read; the member's beginning when none is kept.
  ResumePoint resume_point(uint64_t offset) const;

  // What messages call this member: «file» (часть «member»).
  const std::string& what() const { return what_; }

 private:
  friend class Archive;
  MemberStream(std::unique_ptr<MemberInflater> inflater, uint64_t bound, uint64_t position, std::string what);

  std::unique_ptr<MemberInflater> inflater_;
  uint64_t bound_;
  uint64_t position_ = 0;
  std::string what_;
};

}  // namespace vers::engine::zip
