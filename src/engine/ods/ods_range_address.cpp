#include "engine/ods/ods_range_address.h"

#include <algorithm>
#include <optional>

#include "engine/xml/a1_reference.h"

namespace vers::engine::ods {
namespace {

using Kind = DefinedName::Kind;

// One end of a range: "$Sheet.$A$1", "'Sheet name'.A1" or ".$C$3".
struct Point {
  std::optional<std::string> sheet;  // absent when the text names none
  xml::A1Point cell;
};

std::optional<Point> parse_point(std::string_view text) {
  Point point;
  size_t pos = 0;
  if (pos < text.size() && text[pos] == '$') ++pos;
  const size_t dot = xml::find_unquoted(text, '.', pos);
  if (dot != std::string_view::npos) {
    std::string sheet;
    if (pos < text.size() && text[pos] == '\'') {
      if (!xml::read_quoted_name(text, pos, sheet) || pos != dot) return std::nullopt;
    } else {
      sheet = std::string(text.substr(pos, dot - pos));
    }
    if (!sheet.empty()) point.sheet = std::move(sheet);
    pos = dot + 1;
  } else {
    pos = 0;  // no sheet: the '$' belongs to the column
  }
  const auto cell = xml::parse_a1_point(text.substr(pos));
  if (!cell || !cell->row || !cell->col) return std::nullopt;
  point.cell = *cell;
  return point;
}

}  // namespace

DefinedName classify_range_address(std::string name, std::string_view address,
                                   const std::vector<std::string>& sheet_names) {
  DefinedName result;
  result.name = std::move(name);
  result.kind = Kind::Other;

  // Trim the blanks around, then a blank outside quotes separates ranges.
  while (!address.empty() && address.front() == ' ') address.remove_prefix(1);
  while (!address.empty() && address.back() == ' ') address.remove_suffix(1);
  if (address.empty() || address.find("#REF!") != std::string_view::npos) return result;
  if (xml::find_unquoted(address, ' ') != std::string_view::npos) {
    result.kind = Kind::MultipleAreas;
    return result;
  }
  if (xml::find_unquoted(address, '#') != std::string_view::npos) {
    result.kind = Kind::External;
    return result;
  }

  const size_t colon = xml::find_unquoted(address, ':');
  const auto first = parse_point(address.substr(0, colon));
  std::optional<Point> last;
  if (colon != std::string_view::npos) {
    last = parse_point(address.substr(colon + 1));
    if (!last) return result;
  }
  if (!first || !first->sheet) return result;
  if (last && last->sheet && *last->sheet != *first->sheet) {
    result.kind = Kind::MultipleAreas;  // a range across sheets
    return result;
  }
  const auto sheet = std::find(sheet_names.begin(), sheet_names.end(), *first->sheet);
  if (sheet == sheet_names.end()) return result;
  const auto area = xml::make_a1_area(first->cell, last ? std::optional(last->cell) : std::nullopt);
  if (!area) return result;
  result.kind = Kind::Area;
  result.sheet = size_t(sheet - sheet_names.begin());
  result.area = *area;
  return result;
}

DefinedName classify_expression(std::string name, std::string_view expression,
                                const std::vector<std::string>& sheet_names) {
  if (expression.starts_with("of:")) expression.remove_prefix(3);
  if (expression.starts_with('=')) expression.remove_prefix(1);
  // Split at the union operator '~' outside quotes; each piece must be one
  // bracketed reference.
  std::vector<DefinedName> pieces;
  for (size_t start = 0;;) {
    const size_t tilde = xml::find_unquoted(expression, '~', start);
    std::string_view piece =
        expression.substr(start, tilde == std::string_view::npos ? std::string_view::npos : tilde - start);
    if (piece.size() < 2 || piece.front() != '[' || piece.back() != ']' ||
        xml::find_unquoted(piece.substr(1, piece.size() - 2), ']') != std::string_view::npos) {
      DefinedName other;
      other.name = std::move(name);
      return other;
    }
    pieces.push_back(classify_range_address(name, piece.substr(1, piece.size() - 2), sheet_names));
    if (tilde == std::string_view::npos) break;
    start = tilde + 1;
  }
  if (pieces.size() == 1) return pieces.front();
  DefinedName result;
  result.name = std::move(name);
  const bool external = std::any_of(pieces.begin(), pieces.end(), [](const DefinedName& p) { return p.kind == Kind::External; });
  result.kind = external ? Kind::External : Kind::MultipleAreas;
  return result;
}

}  // namespace vers::engine::ods
