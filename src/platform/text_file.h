// The report's text files: create empty, open for appending, write, end a
// line, close. Every operation is checked as it returns; the first failure
// raises InOutError. Text is UTF-8 inside the program and is written in
// windows-1251, a character that code page cannot hold as '?'. Lines end
// with CR LF.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace vers::platform {

// A failure of a text file operation. The text names the cause as the user
// sees it ("File not found", "File access denied", "I/O error 28"); the
// POSIX error number is kept for the caller.
class InOutError : public std::runtime_error {
 public:
  InOutError(int posix_error, const std::string& text)
      : std::runtime_error(text), posix_error_(posix_error) {}
  int posix_error() const { return posix_error_; }

 private:
  int posix_error_;
};

// The text for a POSIX error met on a file. ENOENT reads "File not found"
// when the file's directory exists and "Invalid filename" when it does not.
std::string in_out_error_text(int posix_error, bool directory_exists);

class TextFile {
 public:
  TextFile() = default;
  ~TextFile();  // closes a file left open by a failure, unchecked
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  // Creates the file empty, truncating an existing one, and closes it again.
  static void create_empty(const std::string& path);

  // Opens an existing file for writing at its end; a missing file is a
  // failure and is not created.
  void open_append(const std::string& path);
  void write(std::string_view utf8);
  void end_line();
  void close();
  bool is_open() const { return fd_ >= 0; }

 private:
  void write_bytes(std::string_view bytes);
  [[noreturn]] void fail(int posix_error) const;

  int fd_ = -1;
  std::string path_;
};

}  // namespace vers::platform
