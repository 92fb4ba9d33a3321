#include "engine/xlsx/defined_name_reference.h"

#include <algorithm>
#include <optional>

#include "engine/xml/a1_reference.h"

namespace vers::engine::xlsx {
namespace {

using Kind = DefinedName::Kind;

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\n' || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// One reference "Sheet!A1:B2" split into its sheet part and its cells.
struct Reference {
  std::string sheet;       // unquoted
  bool external = false;   // "[1]Sheet"
  bool three_d = false;    // "Sheet1:Sheet3"
  std::string_view cells;  // "A1:B2"
};

std::optional<Reference> split_reference(std::string_view text) {
  const size_t bang = xml::find_unquoted(text, '!');
  if (bang == std::string_view::npos) return std::nullopt;
  Reference r;
  const std::string_view sheet_part = text.substr(0, bang);
  r.cells = text.substr(bang + 1);
  size_t pos = 0;
  if (sheet_part.starts_with('\'')) {
    if (!xml::read_quoted_name(sheet_part, pos, r.sheet) || pos != sheet_part.size()) return std::nullopt;
  } else {
    r.sheet = std::string(sheet_part);
  }
  r.external = r.sheet.starts_with('[');
  // Sheet names cannot hold a colon: one spans sheets ("A:C" or 'A b:C d').
  r.three_d = r.sheet.find(':') != std::string::npos;
  return r;
}

}  // namespace

DefinedName classify_reference(std::string name, std::string_view formula,
                               const std::vector<std::string>& sheet_names) {
  DefinedName result;
  result.name = std::move(name);
  result.kind = Kind::Other;

  std::string_view text = trim(formula);
  if (text.starts_with('=')) text = trim(text.substr(1));
  if (text.empty() || text.find("#REF!") != std::string_view::npos) return result;
  if (text.starts_with('(') && text.ends_with(')')) text = trim(text.substr(1, text.size() - 2));

  // A list of references is several areas (joined by ',', or by '~' as
  // LibreOffice writes a union); anything with a function call, an
  // operator or a constant is a formula.
  std::vector<std::string_view> parts;
  for (size_t start = 0;;) {
    const size_t comma = std::min(xml::find_unquoted(text, ',', start), xml::find_unquoted(text, '~', start));
    parts.push_back(trim(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  std::vector<Reference> references;
  for (const auto part : parts) {
    auto r = split_reference(part);
    if (!r) return result;
    for (const char c : r->cells)
      if (!(c == '$' || c == ':' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
        return result;
    references.push_back(std::move(*r));
  }
  if (std::any_of(references.begin(), references.end(), [](const Reference& r) { return r.external; })) {
    result.kind = Kind::External;
    return result;
  }
  if (references.size() > 1 || references[0].three_d) {
    result.kind = Kind::MultipleAreas;
    return result;
  }

  const Reference& r = references[0];
  const size_t colon = r.cells.find(':');
  const auto first = xml::parse_a1_point(r.cells.substr(0, colon));
  std::optional<xml::A1Point> last;
  if (colon != std::string_view::npos) {
    last = xml::parse_a1_point(r.cells.substr(colon + 1));
    if (!last) return result;
  }
  if (!first) return result;
  constexpr uint32_t kSheetRows = 1048576;  // the rows of an Office Open XML sheet
  const auto area = xml::make_a1_area(*first, last, kSheetRows);
  const auto sheet = std::find(sheet_names.begin(), sheet_names.end(), r.sheet);
  if (!area || sheet == sheet_names.end()) return result;
  result.kind = Kind::Area;
  result.sheet = size_t(sheet - sheet_names.begin());
  result.area = *area;
  return result;
}

}  // namespace vers::engine::xlsx
