// Opening a workbook: map (or read) the file and hand its bytes to the reader of
// the format that its first bytes show.
#include <cstring>
#include <memory>
#include <span>

#include "engine/biff/biff_workbook.h"
#include "engine/biff/messages.h"
#include "engine/cfb/compound_file.h"
#include "engine/cfb/little_endian.h"
#include "engine/error.h"
#include "engine/file_bytes.h"
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

std::unique_ptr<Workbook> open_file_bytes(FileBytes file, const std::string& display_name) {
  const std::span<const uint8_t> bytes = file.bytes();
  if (bytes.empty()) throw EngineError("Файл «" + display_name + "» пуст");
  switch (recognise(bytes)) {
    case Format::Compound:
    case Format::BareBiff:
      return biff::open_biff_workbook(std::move(file), display_name);
    case Format::OldBiff:
      biff::throw_old_format(display_name);
    case Format::Zip:
      return zip::open_zip_workbook(std::move(file), display_name);
    case Format::Unknown:
      break;
  }
  throw EngineError("Файл «" + display_name + "» не является книгой Excel");
}

}  // namespace

std::unique_ptr<Workbook> open_workbook_bytes(std::vector<uint8_t> bytes, const std::string& display_name) {
  return open_file_bytes(FileBytes(std::move(bytes)), display_name);
}

std::unique_ptr<Workbook> open_workbook(const std::string& path) { return open_file_bytes(FileBytes::open(path), path); }

}  // namespace vers::engine
