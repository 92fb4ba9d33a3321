#include "engine/cfb/stream_bytes.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>

namespace vers::engine::cfb {
namespace {

// What was copied is kept by chunk; the chunks of one load that were never
// copied are copied in one go.
constexpr size_t kChunk = size_t{4} << 10;

// The buffer that a stream copied from a file leaves behind for the next
// one. The first stream of a process is laid out over the file's mapping:
// the file's pages are in memory already, while every fresh page of a
// buffer costs the system a page fault and a page cleared, which for a
// large stream costs more than reading it. A process that goes on to
// check more workbooks reads each later stream into the buffer the one
// before left, whose pages are there already: cheaper than mapping each
// file's pages anew. Memory then stays at the largest stream's size.
class KeptBuffer {
 public:
  // The kept buffer when it holds size bytes, or a new one; nullptr for
  // the first stream, which is to map.
  std::unique_ptr<uint8_t[]> take(size_t size, size_t& capacity) {
    std::lock_guard lock(mutex_);
    if (!mapped_once_) {
      mapped_once_ = true;
      return nullptr;
    }
    if (buffer_ && capacity_ >= size) {
      capacity = capacity_;
      return std::move(buffer_);
    }
    capacity = size;
    return std::unique_ptr<uint8_t[]>(new uint8_t[size]);
  }
  void give_back(std::unique_ptr<uint8_t[]> buffer, size_t capacity) {
    std::lock_guard lock(mutex_);
    if (!buffer_ || capacity > capacity_) {
      buffer_ = std::move(buffer);
      capacity_ = capacity;
    }
  }

 private:
  std::mutex mutex_;
  bool mapped_once_ = false;
  std::unique_ptr<uint8_t[]> buffer_;
  size_t capacity_ = 0;
};

KeptBuffer& kept_buffer() {
  static KeptBuffer* kept = new KeptBuffer;  // never destroyed: streams may outlive static destruction
  return *kept;
}

size_t page_size() {
  static const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  return page;
}

}  // namespace

struct StreamBytes::FileSource {
  FileBytes file;
  std::vector<FilePiece> pieces;
  std::vector<size_t> piece_starts;  // where each piece begins in the stream
  std::vector<bool> copied;          // by chunk
  // The bytes [mapped_from, mapped_to) of the stream are the file's own
  // pages, mapped in the region that holds the stream.
  size_t mapped_from = 0, mapped_to = 0;
  void* region = nullptr;
  size_t region_size = 0;
  // Or every byte is in the file's buffer in memory, viewed as it is.
  bool all_there = false;
  // Or the buffer the bytes are copied into, all of them.
  std::unique_ptr<uint8_t[]> buffer;
  size_t buffer_capacity = 0;

  FileSource(FileBytes f, std::vector<FilePiece> p) : file(std::move(f)), pieces(std::move(p)) {}
  ~FileSource() {
    if (region) ::munmap(region, region_size);
    if (buffer) kept_buffer().give_back(std::move(buffer), buffer_capacity);
  }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  // Reads the stream's bytes [from, to) into out.
  bool read(uint8_t* out, size_t from, size_t to) const {
    out -= from;
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

  // Copies [from, to) of the stream to run, but for the mapped bytes.
  bool copy(uint8_t* run, size_t from, size_t to) const {
    if (from < mapped_from && !read(run + from, from, std::min(to, mapped_from))) return false;
    if (to > mapped_to && !read(run + std::max(from, mapped_to), std::max(from, mapped_to), to)) return false;
    return true;
  }

  // Lays the stream out in a region of its own with the longest piece's
  // whole pages mapped from the file; false when that is not worth it or
  // the system refuses. The run then starts run_offset bytes in.
  bool map_longest(size_t size, size_t& run_offset) {
    const size_t page = page_size();
    size_t longest = 0;
    for (size_t i = 1; i < pieces.size(); ++i)
      if (pieces[i].length > pieces[longest].length) longest = i;
    const FilePiece& piece = pieces[longest];
    if (!file.mapped() || piece.length < 4 * page) return false;
    // The run starts delta bytes into the region, so that the piece lies on
    // the same page boundaries there as in the file.
    const size_t start = piece_starts[longest];
    const size_t delta = (piece.offset % page + page - start % page) % page;
    region_size = (delta + size + page - 1) / page * page;
    const size_t pages_from = (delta + start + page - 1) / page * page;
    const size_t pages_to = (delta + start + piece.length) / page * page;
    if (pages_to <= pages_from) return false;
    region = ::mmap(nullptr, region_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (region == MAP_FAILED) {
      region = nullptr;
      return false;
    }
    uint8_t* const base = static_cast<uint8_t*>(region);
    const size_t file_from = piece.offset + (pages_from - delta - start);
    if (!file.map_at(base + pages_from, file_from, pages_to - pages_from)) {
      ::munmap(region, region_size);
      region = nullptr;
      return false;
    }
    mapped_from = pages_from - delta;
    mapped_to = pages_to - delta;
    run_offset = delta;
    return true;
  }
};

StreamBytes::StreamBytes(std::span<const uint8_t> view) : view_(view) {}

StreamBytes::StreamBytes(size_t size) : own_(new uint8_t[size]), view_(own_.get(), size) {}

StreamBytes::StreamBytes(FileBytes file, std::vector<FilePiece> pieces)
    : source_(std::make_unique<FileSource>(std::move(file), std::move(pieces))) {
  FileSource& source = *source_;
  size_t size = 0;
  for (const FilePiece& piece : source.pieces) {
    source.piece_starts.push_back(size);
    size += piece.length;
  }
  const std::span<const uint8_t> file_bytes = source.file.bytes();
  const bool one_run = source.pieces.size() == 1 && source.pieces[0].offset <= file_bytes.size() &&
                       source.pieces[0].length <= file_bytes.size() - source.pieces[0].offset;
  if (one_run && !source.file.mapped()) {  // in memory: a view, all there
    view_ = file_bytes.subspan(source.pieces[0].offset, size);
    source.all_there = true;
    return;
  }
  source.copied.assign((size + kChunk - 1) / kChunk, false);
  if (source.file.mapped()) source.buffer = kept_buffer().take(size, source.buffer_capacity);
  size_t run_offset = 0;
  if (source.buffer) {
    view_ = std::span<const uint8_t>(source.buffer.get(), size);
  } else if (one_run) {  // the file's own pages
    view_ = file_bytes.subspan(source.pieces[0].offset, size);
    source.mapped_to = size;
  } else if (source.map_longest(size, run_offset)) {
    view_ = std::span<const uint8_t>(static_cast<const uint8_t*>(source.region) + run_offset, size);
  } else {
    own_.reset(new uint8_t[size]);
    view_ = std::span<const uint8_t>(own_.get(), size);
  }
}

bool StreamBytes::holds_file_pages() const { return source_ && source_->mapped_to > source_->mapped_from; }

uint8_t* StreamBytes::data() {
  if (own_) return own_.get();
  return source_ && source_->buffer ? source_->buffer.get() : nullptr;
}

StreamBytes::StreamBytes(StreamBytes&&) noexcept = default;
StreamBytes& StreamBytes::operator=(StreamBytes&&) noexcept = default;
StreamBytes::~StreamBytes() = default;

bool StreamBytes::load(size_t from, size_t to) {
  if (!source_ || source_->all_there) return true;
  to = std::min(to, view_.size());
  if (from >= to) return true;
  FileSource& source = *source_;
  if (from >= source.mapped_from && to <= source.mapped_to) return true;  // the file's own pages
  // Each run of chunks not yet copied is copied in one go.
  uint8_t* const run = const_cast<uint8_t*>(view_.data());  // the copied bytes are the stream's own
  for (size_t chunk = from / kChunk, last = (to - 1) / kChunk; chunk <= last;) {
    if (source.copied[chunk]) {
      ++chunk;
      continue;
    }
    size_t end = chunk;
    while (end <= last && !source.copied[end]) ++end;
    if (!source.copy(run, chunk * kChunk, std::min(end * kChunk, view_.size()))) return false;
    std::fill(source.copied.begin() + ptrdiff_t(chunk), source.copied.begin() + ptrdiff_t(end), true);
    chunk = end;
  }
  return true;
}

bool StreamBytes::peek(size_t from, std::span<uint8_t> out) const {
  if (from > view_.size() || out.size() > view_.size() - from) return false;
  if (out.empty()) return true;
  if (source_ && !source_->all_there && (from < source_->mapped_from || from + out.size() > source_->mapped_to)) {
    const std::vector<bool>& copied = source_->copied;
    for (size_t chunk = from / kChunk; chunk <= (from + out.size() - 1) / kChunk; ++chunk)
      if (!copied[chunk]) return source_->read(out.data(), from, from + out.size());
  }
  std::copy_n(view_.data() + from, out.size(), out.data());
  return true;
}

}  // namespace vers::engine::cfb
