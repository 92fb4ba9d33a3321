#include "engine/biff/workbook_globals.h"

#include <optional>
#include <utility>

#include "engine/biff/messages.h"
#include "engine/biff/name_formula.h"
#include "engine/biff/record_cursor.h"
#include "engine/biff/record_reader.h"
#include "engine/biff/record_types.h"
#include "engine/cfb/little_endian.h"

namespace vers::engine::biff {
namespace {

constexpr uint16_t kExtSst = 0x00FF;  // the shared string table's index
constexpr uint16_t kNameBuiltIn = 0x0020;
constexpr size_t kNameHeaderSize = 14;

// What the globals pass keeps of records whose meaning depends on records
// that may come after them (the code page, the external sheets).
struct PendingName {
  size_t offset;              // of the NAME record, for messages
  std::vector<uint8_t> data;  // CONTINUE records joined
};
struct Pending {
  std::vector<Record> sheets;  // BOUNDSHEET
  std::vector<PendingName> names;
};

SheetInfo read_sheet(std::span<const uint8_t> data, const WorkbookGlobals& g, RecordCursor& cursor) {
  if (data.size() < 7) throw RecordCursor::Truncated{};
  SheetInfo sheet;
  sheet.offset = read_u32(data.data());
  sheet.kind = data[5];  // data[4] is the visibility
  cursor.start({data.subspan(6)});
  if (g.version == BiffVersion::Biff8)
    cursor.read_unicode_string(false, sheet.name);
  else
    cursor.read_codepage_chars(cursor.u8(), g.codepage, sheet.name);
  return sheet;
}

// Adds the name when it is a user's workbook-wide name. Built-in names
// (print areas, filters ...) are left out so they never shadow a user's.
void add_name(std::span<const uint8_t> data, const ExternSheets& ext, WorkbookGlobals& g, RecordCursor& cursor) {
  if (data.size() < kNameHeaderSize) throw RecordCursor::Truncated{};
  const uint16_t flags = read_u16(data.data());
  const size_t chars = data[3];
  const size_t formula_size = read_u16(data.data() + 4);
  const uint16_t sheet_number = read_u16(data.data() + 8);  // 1-based; 0 for the workbook
  if ((flags & kNameBuiltIn) || sheet_number != 0) return;

  DefinedName name;
  size_t text_bytes = chars;
  cursor.start({data.subspan(kNameHeaderSize)});
  if (g.version == BiffVersion::Biff8) {
    const bool high_byte = (cursor.u8() & 0x01) != 0;
    cursor.read_chars(chars, high_byte, name.name);
    text_bytes = 1 + chars * (high_byte ? 2 : 1);
  } else {
    cursor.read_codepage_chars(chars, g.codepage, name.name);
  }
  const std::span<const uint8_t> formula = data.subspan(kNameHeaderSize + text_bytes);
  if (formula.size() < formula_size) throw RecordCursor::Truncated{};
  const NameTarget target = classify_name_formula(formula.first(formula_size), g.version, ext, g.sheets.size());
  name.kind = target.kind;
  name.sheet = target.sheet;
  name.area = target.area;
  g.names.push_back(std::move(name));
}

}  // namespace

BiffVersion version_of_bof(const Record& bof, const std::string& book) {
  if (bof.type == record::kBofBiff2 || bof.type == record::kBofBiff3 || bof.type == record::kBofBiff4)
    throw_old_format(book);
  if (bof.type != record::kBof || bof.data.size() < 4)
    throw_damaged(book, "поток книги не начинается с записи BOF");
  switch (read_u16(bof.data.data())) {
    case 0x0600: return BiffVersion::Biff8;
    case 0x0500: return BiffVersion::Biff5;
    case 0x0200:
    case 0x0300:
    case 0x0400: throw_old_format(book);
    default:  // some writers leave the version out: a BIFF8 BOF is the longer one
      return bof.data.size() >= 16 ? BiffVersion::Biff8 : BiffVersion::Biff5;
  }
}

WorkbookGlobals read_workbook_globals(std::span<const uint8_t> stream, const std::string& book, HeldStrings held) {
  WorkbookGlobals g;
  std::optional<RecordReader> reader;
  reader.emplace(stream, 0, book);
  Record r;
  if (!reader->next(r)) throw_damaged(book, "поток книги пуст");
  g.version = version_of_bof(r, book);
  const bool biff8 = g.version == BiffVersion::Biff8;

  Pending pending;
  ExternSheets ext;
  RecordCursor cursor;
  try {
    while (reader->next(r) && r.type != record::kEof) {
      if (!held.records.empty() && r.offset == held.records.front().offset) {
        // The stream does not hold the table's records readable yet, not
        // even their headers: the walk goes on after them.
        const Record& last = held.records.back();
        reader.emplace(stream, last.offset + 4 + last.data.size(), book);
        g.strings.read(std::move(held.records), book, std::move(held.prepare));
        held.records.clear();
        continue;
      }
      switch (r.type) {
        case record::kFilePass:
          // The records after this one were decrypted before the reader saw
          // the stream (crypto::WorkbookStream).
          break;
        case record::kCodePage:
          if (r.data.size() >= 2) g.codepage = read_u16(r.data.data());
          if (g.codepage == 32769) g.codepage = 1252;  // the old number of windows-1252
          break;
        case record::kBoundSheet:
          pending.sheets.push_back(r);
          break;
        case record::kSst: {
          std::vector<Record> records{r};
          uint16_t next_type = 0;
          Record continued;
          while (reader->peek_type(next_type) && next_type == record::kContinue && reader->next(continued))
            records.push_back(continued);
          g.strings.read(std::move(records), book);
          break;
        }
        case kExtSst:
          g.strings.use_index(r.data);
          break;
        case record::kSupBook:
          // This workbook's own SUPBOOK is 4 bytes: its sheet count, 0x0401.
          ext.supbook_is_own.push_back(r.data.size() == 4 && read_u16(r.data.data() + 2) == 0x0401);
          break;
        case record::kExternSheet:
          if (biff8) {
            cursor.start(r, *reader);
            const size_t count = cursor.u16();
            for (size_t i = 0; i < count; ++i) {
              ExternSheets::Biff8Entry e;
              e.supbook = cursor.u16();
              e.first_sheet = cursor.u16();
              e.last_sheet = cursor.u16();
              ext.biff8.push_back(e);
            }
          } else {
            // Length, then the encoded document: 2, 3 or 4 first mean a
            // sheet of this workbook (or the workbook itself).
            const bool own = r.data.size() >= 2 && r.data[1] >= 0x02 && r.data[1] <= 0x04;
            ext.biff5_is_own.push_back(own);
          }
          break;
        case record::kName: {
          cursor.start(r, *reader);
          PendingName& name = pending.names.emplace_back(PendingName{r.offset, {}});
          while (!cursor.at_end()) name.data.push_back(cursor.u8());
          break;
        }
        default:
          break;
      }
    }
    for (const Record& sheet : pending.sheets) {
      r = sheet;
      g.sheets.push_back(read_sheet(sheet.data, g, cursor));
    }
    for (const PendingName& name : pending.names) {
      r.type = record::kName;
      r.offset = name.offset;
      add_name(name.data, ext, g, cursor);
    }
  } catch (const RecordCursor::Truncated&) {
    throw_damaged(book, describe_record(r.type, r.offset) + " обрезана");
  }
  return g;
}

}  // namespace vers::engine::biff
