#include "engine/cfb/stream_bytes.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

namespace vers::engine::cfb {
namespace {

// Parts are read from the file in chunks of this size: a record walk asks
// for a few bytes at a time, a sheet for its whole substream.
constexpr size_t kChunk = size_t{64} << 10;

// Makes the pages of [begin, end) present in one step before they are
// written: a fresh buffer otherwise takes a fault per page as the file's
// bytes are read into it. Advice the system does not know is ignored.
void make_pages(uint8_t* begin, uint8_t* end) {
#ifdef MADV_POPULATE_WRITE
  static const uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const uintptr_t first = (reinterpret_cast<uintptr_t>(begin) + page - 1) / page * page;
  const uintptr_t last = reinterpret_cast<uintptr_t>(end) / page * page;
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#else
  (void)begin;
  (void)end;
#endif
}

}  // namespace

struct StreamBytes::FileSource {
  FileBytes file;
  std::vector<FilePiece> pieces;
  std::vector<size_t> piece_starts;  // where each piece begins in the stream
  std::vector<bool> loaded;          // by chunk

  // Reads the stream's bytes [from, to) into out + from.
  bool read(uint8_t* out, size_t from, size_t to) const {
    size_t i = static_cast<size_t>(std::upper_bound(piece_starts.begin(), piece_starts.end(), from) -
                                   piece_starts.begin()) - 1;
    for (; from < to && i < pieces.size(); ++i) {
      const size_t within = from - piece_starts[i];
      const size_t take = std::min(pieces[i].length - within, to - from);
      if (!file.read_at(pieces[i].offset + within, std::span<uint8_t>(out + from, take))) return false;
      from += take;
    }
    return from >= to;
  }
};

StreamBytes::StreamBytes(std::span<const uint8_t> view) : view_(view) {}

StreamBytes::StreamBytes(size_t size) : own_(new uint8_t[size]), view_(own_.get(), size) {}

StreamBytes::StreamBytes(FileBytes file, std::vector<FilePiece> pieces)
    : source_(new FileSource{std::move(file), std::move(pieces), {}, {}}) {
  size_t size = 0;
  for (const FilePiece& piece : source_->pieces) {
    source_->piece_starts.push_back(size);
    size += piece.length;
  }
  source_->loaded.assign((size + kChunk - 1) / kChunk, false);
  own_.reset(new uint8_t[size]);
  view_ = std::span<const uint8_t>(own_.get(), size);
}

StreamBytes::StreamBytes(StreamBytes&&) noexcept = default;
StreamBytes& StreamBytes::operator=(StreamBytes&&) noexcept = default;
StreamBytes::~StreamBytes() = default;

bool StreamBytes::load(size_t from, size_t to) {
  if (!source_) return true;
  to = std::min(to, view_.size());
  if (from >= to) return true;
  std::vector<bool>& loaded = source_->loaded;
  // Each run of chunks not yet read is read in one go.
  for (size_t chunk = from / kChunk, last = (to - 1) / kChunk; chunk <= last;) {
    if (loaded[chunk]) {
      ++chunk;
      continue;
    }
    size_t end = chunk;
    while (end <= last && !loaded[end]) ++end;
    const size_t begin_byte = chunk * kChunk, end_byte = std::min(end * kChunk, view_.size());
    make_pages(own_.get() + begin_byte, own_.get() + end_byte);
    if (!source_->read(own_.get(), begin_byte, end_byte)) return false;
    std::fill(loaded.begin() + ptrdiff_t(chunk), loaded.begin() + ptrdiff_t(end), true);
    chunk = end;
  }
  return true;
}

}  // namespace vers::engine::cfb
