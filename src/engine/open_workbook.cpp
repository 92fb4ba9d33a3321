// Opening a workbook: read the file and hand its bytes to the reader of
// the format that its first bytes show.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <span>
#include <system_error>

#include "engine/biff/biff_workbook.h"
#include "engine/biff/messages.h"
#include "engine/cfb/compound_file.h"
#include "engine/cfb/little_endian.h"
#include "engine/error.h"
#include "engine/workbook.h"
#include "engine/zip/zip_workbook.h"

namespace vers::engine {
namespace {

enum class Format { Compound, BareBiff, OldBiff, Zip, Unknown };

Format recognise(std::span<const uint8_t> bytes) {
  if (cfb::has_signature(bytes)) return Format::Compound;
  if (bytes.size() >= 4 && std::memcmp(bytes.data(), "PK\x03\x04", 4) == 0) return Format::Zip;
  if (bytes.size() >= 4) {
    const uint16_t first_record = read_u16(bytes.data());
    const uint16_t length = read_u16(bytes.data() + 2);
    if (first_record == 0x0809 && (length == 8 || length == 16)) return Format::BareBiff;
    if ((first_record == 0x0009 || first_record == 0x0209 || first_record == 0x0409) && length <= 16)
      return Format::OldBiff;
  }
  return Format::Unknown;
}

std::vector<uint8_t> read_file(const std::string& path) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) throw EngineError("Файл «" + path + "» не найден");
  if (std::filesystem::is_directory(status)) throw EngineError("«" + path + "» — папка, а не файл книги");
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  std::FILE* f = file.get();
  if (!f) {
    const bool denied = errno == EACCES || errno == EPERM;
    throw EngineError("Не удалось прочитать файл «" + path + "»" + (denied ? ": нет доступа" : ""));
  }
  // Sized once from the file's length; a file that grows meanwhile is
  // read on to its end.
  uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) size = 0;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  size_t filled = std::fread(bytes.data(), 1, bytes.size(), f);
  uint8_t more[1 << 16];
  if (filled == bytes.size()) {
    while (size_t got = std::fread(more, 1, sizeof more, f)) bytes.insert(bytes.end(), more, more + got);
  } else {
    bytes.resize(filled);
  }
  if (std::ferror(f)) throw EngineError("Не удалось прочитать файл «" + path + "»");
  return bytes;
}

}  // namespace

std::unique_ptr<Workbook> open_workbook_bytes(std::vector<uint8_t> bytes, const std::string& display_name) {
  if (bytes.empty()) throw EngineError("Файл «" + display_name + "» пуст");
  switch (recognise(bytes)) {
    case Format::Compound:
    case Format::BareBiff:
      return biff::open_biff_workbook(std::move(bytes), display_name);
    case Format::OldBiff:
      biff::throw_old_format(display_name);
    case Format::Zip:
      return zip::open_zip_workbook(std::move(bytes), display_name);
    case Format::Unknown:
      break;
  }
  throw EngineError("Файл «" + display_name + "» не является книгой Excel");
}

std::unique_ptr<Workbook> open_workbook(const std::string& path) { return open_workbook_bytes(read_file(path), path); }

}  // namespace vers::engine
