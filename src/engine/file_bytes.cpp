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

bool FileBytes::read_at(size_t offset, std::span<uint8_t> out) const {
  if (offset > view_.size() || out.size() > view_.size() - offset) return false;
  if (fd_ < 0) {
    std::copy_n(view_.data() + offset, out.size(), out.data());
    return true;
  }
  size_t have = 0;
  while (have < out.size()) {
    const ssize_t got = ::pread(fd_, out.data() + have, out.size() - have, static_cast<off_t>(offset + have));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    have += static_cast<size_t>(got);
  }
  return true;
}

bool FileBytes::map_at(void* address, size_t offset, size_t length) const {
  if (!mapped_ || offset > view_.size() || length > view_.size() - offset) return false;
  return ::mmap(address, length, PROT_READ, MAP_PRIVATE | MAP_FIXED, fd_, static_cast<off_t>(offset)) != MAP_FAILED;
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
