#include "engine/xlsx/relationships.h"

#include "engine/xml/xml_reader.h"
#include "engine/zip/zip_archive.h"

namespace vers::engine::xlsx {
namespace {

// A relationships member lists parts, it holds no data: a small bound.
constexpr size_t kMaxRelationshipsBytes = size_t(16) << 20;

std::string_view folder_of(std::string_view part) {
  const size_t slash = part.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : part.substr(0, slash + 1);
}

class RelationshipsHandler : public xml::Handler {
 public:
  void start_element(const xml::Name& name, const xml::Attributes& a) override {
    if (name.local != "Relationship") return;
    const char* id = a.find("", "Id");
    const char* type = a.find("", "Type");
    const char* target = a.find("", "Target");
    const char* mode = a.find("", "TargetMode");
    if (!id || !type || !target) return;
    Relationship r{id, type, ""};
    if (!mode || std::string_view(mode) != "External") r.part = resolve_target(part, target);
    found.push_back(std::move(r));
  }
  void end_element(const xml::Name&) override {}
  void text(std::string_view) override {}

  std::string part;
  std::vector<Relationship> found;
};

}  // namespace

bool type_is(const Relationship& relationship, std::string_view kind) {
  const std::string_view type(relationship.type);
  return type.size() > kind.size() && type.substr(type.size() - kind.size()) == kind &&
         type[type.size() - kind.size() - 1] == '/';
}

std::string relationships_member(std::string_view part) {
  const std::string_view folder = folder_of(part);
  return std::string(folder) + "_rels/" + std::string(part.substr(folder.size())) + ".rels";
}

std::string resolve_target(std::string_view part, std::string_view target) {
  std::string path = target.starts_with('/') ? std::string(target.substr(1))
                                             : std::string(folder_of(part)) + std::string(target);
  // Normalise "." and ".." segments.
  std::vector<std::string> segments;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string segment = path.substr(start, end - start);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    start = end + 1;
  }
  std::string out;
  for (const auto& s : segments) out += (out.empty() ? "" : "/") + s;
  return out;
}

std::vector<Relationship> read_relationships(const zip::Archive& archive, std::string_view part) {
  const std::string member = relationships_member(part);
  if (!archive.contains(member)) return {};
  RelationshipsHandler handler;
  handler.part = std::string(part);
  xml::parse(archive.read_small(member, kMaxRelationshipsBytes),
             "«" + archive.display_name() + "» (часть «" + member + "»)", handler);
  return std::move(handler.found);
}

}  // namespace vers::engine::xlsx
