#include "engine/file_bytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

// Reads what the descriptor gives to its end, starting from size_hint
// bytes (a file that grows meanwhile is read on).
std::vector<uint8_t> read_all(int fd, size_t size_hint, const std::string& path) {
  std::vector<uint8_t> bytes;
  bytes.reserve(size_hint);
  uint8_t chunk[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      unreadable(path);
    }
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
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
  // files that report no size (as some virtual ones do) are read instead.
  if (S_ISREG(info.st_mode) && info.st_size > 0) {
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

std::span<uint8_t> FileBytes::writable(size_t offset, size_t length) {
  if (offset > view_.size() || length > view_.size() - offset) return {};
  uint8_t* const data = const_cast<uint8_t*>(view_.data());
  if (mapped_ && length > 0) {
    // Writing to the shared pages one by one would copy each on its own
    // fault (and flush it from every processor's TLB). Instead the pages
    // are mapped anew, privately and writable, and filled in one step
    // (populating a private writable mapping copies its pages), then moved
    // over the old ones: that move either succeeds or leaves them in place.
    static const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    const size_t begin = offset / page * page;
    const size_t end = (offset + length + page - 1) / page * page;
    void* copy = ::mmap(nullptr, end - begin, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_POPULATE, fd_,
                        static_cast<off_t>(begin));
    if (copy == MAP_FAILED) return {};
    if (::mremap(copy, end - begin, end - begin, MREMAP_MAYMOVE | MREMAP_FIXED, data + begin) == MAP_FAILED) {
      ::munmap(copy, end - begin);
      return {};
    }
  }
  return std::span<uint8_t>(data, view_.size());
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
