#include "engine/file_bytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "engine/error.h"

namespace vers::engine {
namespace {

// Closes the descriptor on every way out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

[[noreturn]] void unreadable(const std::string& path) {
  throw EngineError("Не удалось прочитать файл «" + path + "»");
}

// Reads what the descriptor gives to its end, straight into the buffer,
// which starts at size_hint bytes (a file that grows meanwhile is read on).
std::vector<uint8_t> read_all(int fd, size_t size_hint, const std::string& path) {
  std::vector<uint8_t> bytes(size_hint);
  size_t have = 0;
  for (;;) {
    if (have == bytes.size()) {
      // Full: is there more? A small read first, so that a file read to
      // its exact size costs no larger buffer.
      uint8_t probe[512];
      ssize_t got;
      do got = ::read(fd, probe, sizeof probe);
      while (got < 0 && errno == EINTR);
      if (got < 0) unreadable(path);
      if (got == 0) break;
      bytes.resize(std::max<size_t>(bytes.size() * 2, size_t{1} << 16));
      std::copy(probe, probe + got, bytes.begin() + ptrdiff_t(have));
      have += static_cast<size_t>(got);
      continue;
    }
    const ssize_t got = ::read(fd, bytes.data() + have, bytes.size() - have);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      unreadable(path);
    }
    have += static_cast<size_t>(got);
  }
  bytes.resize(have);
  return bytes;
}

}  // namespace

FileBytes FileBytes::open(const std::string& path) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) throw EngineError("Файл «" + path + "» не найден");
  if (std::filesystem::is_directory(status)) throw EngineError("«" + path + "» — папка, а не файл книги");
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    const bool denied = errno == EACCES || errno == EPERM;
    throw EngineError("Не удалось прочитать файл «" + path + "»" + (denied ? ": нет доступа" : ""));
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) unreadable(path);
  // Only a regular file with bytes can be mapped; pipes, devices and
  // files that report no size (as some virtual ones do) are read instead,
  // and so are small files, for which a copy costs less than a mapping does
  // (its page faults, and the page-table flush when it is unmapped).
  if (S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_size) >= kMapFrom) {
    const size_t size = static_cast<size_t>(info.st_size);
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd.get(), 0);
    if (mapped != MAP_FAILED) return FileBytes(static_cast<const uint8_t*>(mapped), size, fd.release());
  }
  const size_t hint = S_ISREG(info.st_mode) && info.st_size > 0 ? static_cast<size_t>(info.st_size) : 0;
  return FileBytes(read_all(fd.get(), hint, path));
}

FileBytes::FileBytes(std::vector<uint8_t> bytes) : buffer_(std::move(bytes)), view_(buffer_) {}

FileBytes::FileBytes(FileBytes&& other) noexcept
    : buffer_(std::move(other.buffer_)), mapped_(std::exchange(other.mapped_, false)),
      fd_(std::exchange(other.fd_, -1)), view_(std::exchange(other.view_, {})) {}

FileBytes& FileBytes::operator=(FileBytes&& other) noexcept {
  if (this != &other) {
    release();
    buffer_ = std::move(other.buffer_);
    mapped_ = std::exchange(other.mapped_, false);
    fd_ = std::exchange(other.fd_, -1);
    view_ = std::exchange(other.view_, {});
  }
  return *this;
}

FileBytes::~FileBytes() { release(); }

GatheredBytes FileBytes::gather(std::span<const FilePiece> pieces) const {
  size_t total = 0;
  const FilePiece* longest = nullptr;
  size_t before_longest = 0;  // where the longest piece goes in the run
  for (const FilePiece& piece : pieces) {
    if (piece.offset > view_.size() || piece.length > view_.size() - piece.offset) return GatheredBytes();
    if (!longest || piece.length > longest->length) {
      longest = &piece;
      before_longest = total;
    }
    total += piece.length;
  }
  GatheredBytes out;
  auto copy_into = [&](uint8_t* run, size_t skip_begin, size_t skip_end) {
    // Copies every byte of the run outside [skip_begin, skip_end).
    size_t at = 0;
    for (const FilePiece& piece : pieces) {
      const uint8_t* from = view_.data() + piece.offset;
      const size_t end = at + piece.length;
      if (at < skip_begin) std::memcpy(run + at, from, std::min(end, skip_begin) - at);
      if (end > skip_end) {
        const size_t start = std::max(at, skip_end);
        std::memcpy(run + start, from + (start - at), end - start);
      }
      at = end;
    }
  };

  static const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  if (mapped_ && longest && longest->length >= 4 * page) {
    // The run starts delta bytes into the region, so that the longest
    // piece lies on the same page boundaries there as in the file: its
    // whole pages [mapped_begin, mapped_end) of the region are the file's
    // own. The rest of the region is fresh memory, filled in one step
    // before it is written to (a fault per page would cost more).
    const size_t delta = (longest->offset % page + page - before_longest % page) % page;
    const size_t region_size = (delta + total + page - 1) / page * page;
    const size_t mapped_begin = (delta + before_longest + page - 1) / page * page;
    const size_t mapped_end = (delta + before_longest + longest->length) / page * page;
    void* region = ::mmap(nullptr, region_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (region != MAP_FAILED) {
      uint8_t* const base = static_cast<uint8_t*>(region);
      const size_t file_offset = longest->offset + (mapped_begin - delta - before_longest);
      if (::mmap(base + mapped_begin, mapped_end - mapped_begin, PROT_READ, MAP_PRIVATE | MAP_FIXED, fd_,
                 static_cast<off_t>(file_offset)) != MAP_FAILED) {
        if (mapped_begin > 0) ::madvise(base, mapped_begin, MADV_POPULATE_WRITE);
        if (region_size > mapped_end) ::madvise(base + mapped_end, region_size - mapped_end, MADV_POPULATE_WRITE);
        copy_into(base + delta, mapped_begin - delta, mapped_end - delta);
        out.region_ = region;
        out.region_size_ = region_size;
        out.view_ = std::span<const uint8_t>(base + delta, total);
        return out;
      }
      ::munmap(region, region_size);
    }
  }
  out.buffer_.resize(total);
  copy_into(out.buffer_.data(), total, total);
  out.view_ = out.buffer_;
  return out;
}

GatheredBytes::GatheredBytes(GatheredBytes&& other) noexcept
    : buffer_(std::move(other.buffer_)), region_(std::exchange(other.region_, nullptr)),
      region_size_(std::exchange(other.region_size_, 0)), view_(std::exchange(other.view_, {})) {}

GatheredBytes& GatheredBytes::operator=(GatheredBytes&& other) noexcept {
  if (this != &other) {
    release();
    buffer_ = std::move(other.buffer_);
    region_ = std::exchange(other.region_, nullptr);
    region_size_ = std::exchange(other.region_size_, 0);
    view_ = std::exchange(other.view_, {});
  }
  return *this;
}

GatheredBytes::~GatheredBytes() { release(); }

void GatheredBytes::release() {
  if (region_) ::munmap(region_, region_size_);
  region_ = nullptr;
  region_size_ = 0;
  view_ = {};
  buffer_.clear();
}

void FileBytes::release() {
  if (mapped_) ::munmap(const_cast<uint8_t*>(view_.data()), view_.size());
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  mapped_ = false;
  view_ = {};
  buffer_.clear();
}

}  // namespace vers::engine
