#include "platform/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/codepage.h"

namespace vers::platform {
namespace {

bool directory_of_exists(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
  struct stat st;
  return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

[[noreturn]] void raise(int posix_error, const std::string& path) {
  throw InOutError(posix_error, in_out_error_text(posix_error, directory_of_exists(path)));
}

}  // namespace

std::string in_out_error_text(int posix_error, bool directory_exists) {
  switch (posix_error) {
    case ENOENT:
      return directory_exists ? "File not found" : "Invalid filename";
    case ENOTDIR:
      return "Invalid filename";
    case EMFILE:
    case ENFILE:
      return "Too many open files";
    case EACCES:
    case EPERM:
    case EROFS:
      return "File access denied";
    default:
      return "I/O error " + std::to_string(posix_error);
  }
}

TextFile::~TextFile() {
  if (fd_ >= 0) ::close(fd_);
}

void TextFile::create_empty(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) raise(errno, path);
  if (::close(fd) != 0) raise(errno, path);
}

void TextFile::open_append(const std::string& path) {
  if (fd_ >= 0) close();
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) raise(errno, path);
  fd_ = fd;
  path_ = path;
}

void TextFile::write(std::string_view utf8) { write_bytes(engine::encode_windows1251(utf8)); }

void TextFile::end_line() { write_bytes("\r\n"); }

void TextFile::close() {
  if (fd_ < 0) return;
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) raise(errno, path_);
}

void TextFile::write_bytes(std::string_view bytes) {
  if (fd_ < 0) fail(EBADF);
  while (!bytes.empty()) {
    ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

void TextFile::fail(int posix_error) const { raise(posix_error, path_); }

}  // namespace vers::platform
