#include "engine/zip/zip_archive.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <cstring>

#include "engine/error.h"
#include "engine/zip/member_inflater.h"

namespace vers::engine::zip {
namespace {

std::string_view without_leading_slash(std::string_view name) {
  while (!name.empty() && name.front() == '/') name.remove_prefix(1);
  return name;
}

// Member names compare without ASCII case, and with '\\' for '/' as some
// Windows tools write them.
bool same_member_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c == '\\' ? '/' : c; };
           return fold(x) == fold(y);
         });
}

std::string damaged(const std::string& file, const std::string& detail) {
  return "Файл «" + file + "» повреждён: " + detail;
}

// The compression methods a workbook's members use.
constexpr int kMethodStored = 0;
constexpr int kMethodDeflated = 8;
constexpr uLong kFlagEncrypted = 1;

// The archive's bytes as the file minizip reads: a cursor over memory.
struct MemoryFile {
  std::span<const uint8_t> bytes;
  uint64_t position = 0;
};

voidpf open_memory(voidpf opaque, const void*, int) { return opaque; }

uLong read_memory(voidpf, voidpf stream, void* buffer, uLong size) {
  auto* file = static_cast<MemoryFile*>(stream);
  const uint64_t left = file->bytes.size() - std::min<uint64_t>(file->position, file->bytes.size());
  const uLong n = uLong(std::min<uint64_t>(size, left));
  if (n) std::memcpy(buffer, file->bytes.data() + file->position, n);
  file->position += n;
  return n;
}

uLong write_memory(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T tell_memory(voidpf, voidpf stream) { return static_cast<MemoryFile*>(stream)->position; }

long seek_memory(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* file = static_cast<MemoryFile*>(stream);
  uint64_t base = 0;
  if (origin == ZLIB_FILEFUNC_SEEK_CUR) base = file->position;
  else if (origin == ZLIB_FILEFUNC_SEEK_END) base = file->bytes.size();
  else if (origin != ZLIB_FILEFUNC_SEEK_SET) return -1;
  if (offset > file->bytes.size() - std::min<uint64_t>(base, file->bytes.size())) return -1;
  file->position = base + offset;
  return 0;
}

int close_memory(voidpf, voidpf) { return 0; }

int error_memory(voidpf, voidpf) { return 0; }

}  // namespace

// What the directory says of one member.
struct Archive::Entry {
  unz64_file_pos place{};  // its entry in the directory, for minizip to go back to
  int method = 0;
  bool encrypted = false;
  uint32_t crc = 0;
  uint64_t compressed = 0;
  uint64_t inflated = 0;
};

// minizip's reader of the directory, over the archive's bytes.
class Archive::Directory {
 public:
  explicit Directory(std::span<const uint8_t> bytes) : file_{bytes} {
    zlib_filefunc64_def functions{};
    functions.zopen64_file = open_memory;
    functions.zread_file = read_memory;
    functions.zwrite_file = write_memory;
    functions.ztell64_file = tell_memory;
    functions.zseek64_file = seek_memory;
    functions.zclose_file = close_memory;
    functions.zerror_file = error_memory;
    functions.opaque = &file_;
    unz_ = unzOpen2_64("", &functions);
  }
  ~Directory() {
    if (unz_) unzClose(unz_);
  }
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;

  unzFile handle() const { return unz_; }

 private:
  MemoryFile file_;
  unzFile unz_ = nullptr;
};

uint64_t ResumePoint::offset() const { return state_ ? state_->out : 0; }

bool looks_like_zip(std::span<const uint8_t> bytes) {
  if (bytes.size() < 4 || bytes[0] != 'P' || bytes[1] != 'K') return false;
  return (bytes[2] == 3 && bytes[3] == 4) || (bytes[2] == 5 && bytes[3] == 6);
}

Archive::Archive(FileBytes bytes, std::string display_name, Limits limits)
    : bytes_(std::move(bytes)), display_name_(std::move(display_name)), limits_(limits) {
  // A workbook's archive begins with its signature; bytes that merely end
  // like an archive are something else.
  if (!looks_like_zip(bytes_.bytes())) throw EngineError(damaged(display_name_, "это не архив zip"));
  directory_ = std::make_unique<Directory>(bytes_.bytes());
  const unzFile unz = directory_->handle();
  unz_global_info64 global{};
  if (!unz || unzGetGlobalInfo64(unz, &global) != UNZ_OK)
    throw EngineError(damaged(display_name_, "не читается оглавление архива zip"));
  if (global.number_entry > limits_.max_members)
    throw EngineError("Файл «" + display_name_ + "» не читается: в архиве больше " +
                      std::to_string(limits_.max_members) + " частей");

  names_.reserve(size_t(global.number_entry));
  entries_.reserve(size_t(global.number_entry));
  std::string name(0xFFFF, '\0');  // a name's length is a 16-bit field
  for (int at = unzGoToFirstFile(unz); names_.size() < global.number_entry; at = unzGoToNextFile(unz)) {
    unz_file_info64 info{};
    Entry entry;
    if (at != UNZ_OK || unzGetCurrentFileInfo64(unz, &info, name.data(), uLong(name.size()), nullptr, 0, nullptr, 0) !=
                            UNZ_OK ||
        unzGetFilePos64(unz, &entry.place) != UNZ_OK)
      throw EngineError(damaged(display_name_, "не читается оглавление архива zip"));
    entry.method = int(info.compression_method);
    entry.encrypted = info.flag & kFlagEncrypted;
    entry.crc = uint32_t(info.crc);
    entry.compressed = info.compressed_size;
    entry.inflated = info.uncompressed_size;
    names_.emplace_back(name.data(), std::min<size_t>(info.size_filename, name.size()));
    entries_.push_back(entry);
  }
}

Archive::~Archive() = default;

int64_t Archive::find(std::string_view name) const {
  name = without_leading_slash(name);
  for (size_t i = 0; i < names_.size(); ++i) {
    if (same_member_name(without_leading_slash(names_[i]), name)) return int64_t(i);
  }
  return -1;
}

uint64_t Archive::bound(const Entry& entry) const {
  const uint64_t slack = uint64_t(1) << 20;
  const uint64_t ratio = std::max<uint64_t>(limits_.max_ratio, 1);
  const uint64_t by_ratio = entry.compressed > (UINT64_MAX - slack) / ratio ? UINT64_MAX : entry.compressed * ratio + slack;
  return std::min(limits_.max_inflated_bytes, by_ratio);
}

bool Archive::contains(std::string_view name) const { return find(name) >= 0; }

uint64_t Archive::compressed_size(std::string_view name) const {
  const int64_t index = find(name);
  return index < 0 ? 0 : entries_[size_t(index)].compressed;
}

uint64_t Archive::inflated_size(std::string_view name) const {
  const int64_t index = find(name);
  if (index < 0) return 0;
  const Entry& entry = entries_[size_t(index)];
  return std::min(entry.inflated, bound(entry));
}

std::unique_ptr<MemberStream> Archive::open(std::string_view name, const ResumePoint& from) const {
  const std::string member(name);
  const int64_t index = find(name);
  if (index < 0) throw EngineError(damaged(display_name_, "в архиве нет части «" + member + "»"));
  const Entry& entry = entries_[size_t(index)];
  if (entry.encrypted) throw EngineError("Книга «" + display_name_ + "» защищена паролем");
  if (entry.method != kMethodStored && entry.method != kMethodDeflated)
    throw EngineError("Файл «" + display_name_ + "» не читается: часть «" + member +
                      "» сжата неизвестным способом (" + std::to_string(entry.method) + ")");
  const uint64_t limit = bound(entry);
  if (entry.inflated > limit)
    throw EngineError(damaged(display_name_, "часть «" + member + "» распаковывается в недопустимо большой объём"));

  // minizip checks the member's local header against the directory and
  // tells where its raw bytes begin; they are then read from memory.
  const unzFile unz = directory_->handle();
  int method = 0, level = 0;
  if (unzGoToFilePos64(unz, &entry.place) != UNZ_OK || unzOpenCurrentFile2(unz, &method, &level, 1) != UNZ_OK)
    throw EngineError(damaged(display_name_, "не читается часть «" + member + "»"));
  const uint64_t begin = unzGetCurrentFileZStreamPos64(unz);
  unzCloseCurrentFile(unz);
  const uint64_t size = bytes_.bytes().size();
  if (begin > size || entry.compressed > size - begin)
    throw EngineError(damaged(display_name_, "часть «" + member + "» выходит за конец архива"));

  const std::string what = "«" + display_name_ + "» (часть «" + member + "»)";
  auto inflater = std::make_unique<MemberInflater>(bytes_.bytes().subspan(size_t(begin), size_t(entry.compressed)),
                                                   entry.method == kMethodStored, from.state_, entry.crc, what);
  return std::unique_ptr<MemberStream>(new MemberStream(std::move(inflater), limit, from.offset(), what));
}

std::string Archive::read_small(std::string_view name, size_t max_bytes) const {
  auto stream = open(name);
  std::string out;
  char buffer[16384];
  while (size_t n = stream->read(buffer, sizeof buffer)) {
    if (out.size() + n > max_bytes)
      throw EngineError(damaged(display_name_, "часть «" + std::string(name) + "» слишком велика"));
    out.append(buffer, n);
  }
  return out;
}

MemberStream::MemberStream(std::unique_ptr<MemberInflater> inflater, uint64_t bound, uint64_t position,
                           std::string what)
    : inflater_(std::move(inflater)), bound_(bound), position_(position), what_(std::move(what)) {}

MemberStream::~MemberStream() = default;

size_t MemberStream::read(char* buffer, size_t size) {
  const size_t n = inflater_->read(buffer, size);
  position_ += n;
  if (position_ > bound_)
    throw EngineError("Файл " + what_ + " повреждён: часть распаковывается в недопустимо большой объём");
  return n;
}

ResumePoint MemberStream::resume_point(uint64_t offset) const { return ResumePoint(inflater_->point_before(offset)); }

}  // namespace vers::engine::zip
