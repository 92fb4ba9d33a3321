// The relationships of an Office Open XML package part (a ".rels" member):
// which part is the workbook, which parts are its sheets and its shared
// strings. Targets are resolved to member names of the archive.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vers::engine::zip {
class Archive;
}

namespace vers::engine::xlsx {

struct Relationship {
  std::string id;
  std::string type;  // a URI; compare its last segment (see type_is)
  std::string part;  // member name the target resolves to; empty if external
};

// True when the relationship type's last path segment is kind
// ("officeDocument", "worksheet", "sharedStrings"): transitional and strict
// packages use different URIs for the same kinds.
bool type_is(const Relationship& relationship, std::string_view kind);

// The member that holds the relationships of part: "xl/workbook.xml" ->
// "xl/_rels/workbook.xml.rels"; "" (the package) -> "_rels/.rels".
std::string relationships_member(std::string_view part);

// Resolves a target written in the relationships of part: relative to the
// part's folder, or absolute from the package root when it begins with '/'.
std::string resolve_target(std::string_view part, std::string_view target);

// Reads the relationships of part; none when the archive lacks the member.
std::vector<Relationship> read_relationships(const zip::Archive& archive, std::string_view part);

}  // namespace vers::engine::xlsx
