#include "engine/biff/name_formula.h"

#include <algorithm>

#include "engine/cfb/little_endian.h"

namespace vers::engine::biff {
namespace {

// Formula tokens, by their base number (the class bits masked off).
constexpr uint8_t kUnion = 0x10;
constexpr uint8_t kParen = 0x15;
constexpr uint8_t kMemArea = 0x26;
constexpr uint8_t kMemErr = 0x27;
constexpr uint8_t kMemNoMem = 0x28;
constexpr uint8_t kMemFunc = 0x29;
constexpr uint8_t kMemAreaN = 0x2E;
constexpr uint8_t kMemNoMemN = 0x2F;
constexpr uint8_t kRef3d = 0x3A;
constexpr uint8_t kArea3d = 0x3B;
constexpr uint8_t kRefErr3d = 0x3C;
constexpr uint8_t kAreaErr3d = 0x3D;

struct Reference {
  bool own = false;
  bool deleted = false;
  int first_sheet = 0;
  int last_sheet = 0;
  CellArea area;
};

// Reads a 3-D reference token's operand; false when it is cut short.
bool read_reference(std::span<const uint8_t> t, size_t& pos, uint8_t base, BiffVersion version,
                    const ExternSheets& ext, Reference& ref) {
  const bool is_area = base == kArea3d || base == kAreaErr3d;
  ref.deleted = base == kRefErr3d || base == kAreaErr3d;
  if (version == BiffVersion::Biff8) {
    const size_t size = is_area ? 10 : 6;
    if (t.size() - pos < size) return false;
    const uint8_t* p = t.data() + pos;
    pos += size;
    const uint16_t ixti = read_u16(p);
    if (ixti >= ext.biff8.size()) {
      ref.own = ref.deleted = true;
      return true;
    }
    const ExternSheets::Biff8Entry& xti = ext.biff8[ixti];
    const bool known = xti.supbook < ext.supbook_is_own.size();
    ref.own = !known || ext.supbook_is_own[xti.supbook];
    if (!known) ref.deleted = true;
    // 0xFFFE is the workbook itself, 0xFFFF a deleted sheet: no area there.
    if (xti.first_sheet >= 0xFFFE || xti.last_sheet >= 0xFFFE) ref.deleted = true;
    ref.first_sheet = xti.first_sheet;
    ref.last_sheet = xti.last_sheet;
    if (is_area) {
      ref.area = {read_u16(p + 2), static_cast<uint32_t>(read_u16(p + 6) & 0x3FFF), read_u16(p + 4),
                  static_cast<uint32_t>(read_u16(p + 8) & 0x3FFF)};
    } else {
      const uint32_t row = read_u16(p + 2), col = read_u16(p + 4) & 0x3FFF;
      ref.area = {row, col, row, col};
    }
    return true;
  }
  // BIFF5: EXTERNSHEET index (negative: this workbook), 8 unused bytes,
  // first and last sheet, then rows with flags in their top bits and
  // 8-bit columns.
  const size_t size = is_area ? 20 : 17;
  if (t.size() - pos < size) return false;
  const uint8_t* p = t.data() + pos;
  pos += size;
  const int16_t ixals = static_cast<int16_t>(read_u16(p));
  const bool known = ixals < 0 || (ixals > 0 && size_t(ixals) <= ext.biff5_is_own.size());
  ref.own = ixals < 0 || !known || ext.biff5_is_own[ixals - 1];
  ref.first_sheet = static_cast<int16_t>(read_u16(p + 10));
  ref.last_sheet = static_cast<int16_t>(read_u16(p + 12));
  if (!known || ref.first_sheet < 0 || ref.last_sheet < 0) ref.deleted = true;
  if (is_area) {
    ref.area = {static_cast<uint32_t>(read_u16(p + 14) & 0x3FFF), p[18],
                static_cast<uint32_t>(read_u16(p + 16) & 0x3FFF), p[19]};
  } else {
    const uint32_t row = read_u16(p + 14) & 0x3FFF, col = p[16];
    ref.area = {row, col, row, col};
  }
  return true;
}

}  // namespace

NameTarget classify_name_formula(std::span<const uint8_t> t, BiffVersion version, const ExternSheets& ext,
                                 size_t sheet_count) {
  const NameTarget other;
  std::vector<Reference> refs;
  size_t unions = 0;
  for (size_t pos = 0; pos < t.size();) {
    const uint8_t token = t[pos++];
    if (token == kUnion) {
      ++unions;
      continue;
    }
    if (token == kParen) continue;
    if (token < 0x20 || token >= 0x80) return other;  // an operator or a constant
    const uint8_t base = (token & 0x1F) | 0x20;
    size_t skip = 0;
    switch (base) {
      case kMemArea:
      case kMemErr:
      case kMemNoMem:
        skip = 6;  // they wrap the references that follow them
        break;
      case kMemFunc:
      case kMemAreaN:
      case kMemNoMemN:
        skip = 2;
        break;
      case kRef3d:
      case kArea3d:
      case kRefErr3d:
      case kAreaErr3d: {
        Reference ref;
        if (!read_reference(t, pos, base, version, ext, ref)) return other;
        refs.push_back(ref);
        continue;
      }
      default:
        return other;  // a function, a name, a reference without a sheet ...
    }
    if (t.size() - pos < skip) return other;
    pos += skip;
  }
  if (refs.empty() || unions + 1 != refs.size()) return other;
  // Into another workbook, whatever its sheets (a writer that cannot find
  // them marks them deleted).
  if (std::any_of(refs.begin(), refs.end(), [](const Reference& r) { return !r.own; }))
    return {DefinedName::Kind::External, 0, {}};
  if (std::any_of(refs.begin(), refs.end(), [](const Reference& r) { return r.deleted; })) return other;
  const Reference& ref = refs.front();
  if (refs.size() > 1 || ref.first_sheet != ref.last_sheet) return {DefinedName::Kind::MultipleAreas, 0, {}};
  if (size_t(ref.first_sheet) >= sheet_count) return other;
  CellArea area = ref.area;
  if (area.first_row > area.last_row) std::swap(area.first_row, area.last_row);
  if (area.first_col > area.last_col) std::swap(area.first_col, area.last_col);
  return {DefinedName::Kind::Area, size_t(ref.first_sheet), area};
}

}  // namespace vers::engine::biff
