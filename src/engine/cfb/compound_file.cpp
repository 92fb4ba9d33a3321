#include "engine/cfb/compound_file.h"

#include <algorithm>
#include <cstring>

#include "engine/cfb/little_endian.h"
#include "engine/error.h"

namespace vers::engine::cfb {
namespace {

constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr size_t kHeaderSize = 512;
constexpr uint32_t kMaxRegularSector = 0xFFFFFFFA;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFreeSector = 0xFFFFFFFF;
constexpr size_t kHeaderDifatEntries = 109;
constexpr size_t kEntrySize = 128;
constexpr size_t kMiniSectorSize = 64;
constexpr uint32_t kNoEntry = 0xFFFFFFFF;
constexpr uint64_t kMiniStreamCutoff = 4096;  // smaller streams live in the mini stream

bool same_name(const std::u16string& entry_name, std::string_view ascii) {
  if (entry_name.size() != ascii.size()) return false;
  for (size_t i = 0; i < ascii.size(); ++i) {
    const char16_t u = entry_name[i];
    if (u >= 0x80) return false;
    auto lower = [](unsigned c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    if (lower(u) != lower(static_cast<unsigned char>(ascii[i]))) return false;
  }
  return true;
}

std::string ascii_name(const std::u16string& name) {
  std::string out;
  for (char16_t u : name) out += u < 0x80 ? static_cast<char>(u) : '?';
  return out;
}

}  // namespace

bool has_signature(std::span<const uint8_t> file) {
  return file.size() >= sizeof kSignature && std::equal(kSignature, kSignature + sizeof kSignature, file.data());
}

CompoundFile::CompoundFile(std::span<const uint8_t> file, std::string display_name)
    : file_(file), display_name_(std::move(display_name)) {
  if (!has_signature(file_)) damaged("нет подписи составного файла");
  if (file_.size() < kHeaderSize) damaged("файл обрезан внутри заголовка");
  const uint8_t* h = file_.data();
  sector_shift_ = read_u16(h + 0x1E);
  if (read_u16(h + 0x1C) != 0xFFFE || (sector_shift_ != 9 && sector_shift_ != 12) || read_u16(h + 0x20) != 6)
    damaged("неверный заголовок составного файла");
  sector_size_ = size_t{1} << sector_shift_;
  if (file_.size() < sector_size_) damaged("файл обрезан внутри заголовка");
  // A last sector cut short still counts: only the bytes a stream needs
  // from it must be there.
  sector_count_ = (file_.size() - sector_size_ + sector_size_ - 1) / sector_size_;

  read_allocation_table();
  read_directory();
}

void CompoundFile::damaged(const std::string& what) const {
  throw EngineError("Файл «" + display_name_ + "» повреждён: " + what);
}

// The FAT is spread over sectors listed in the header's DIFAT and in the
// chain of DIFAT sectors that continues it.
void CompoundFile::read_allocation_table() {
  const uint8_t* h = file_.data();
  const uint32_t fat_sectors = read_u32(h + 0x2C);
  if (fat_sectors == 0 || fat_sectors > sector_count_) damaged("неверная длина таблицы размещения секторов");

  std::vector<uint32_t> fat_sector_ids;
  fat_sector_ids.reserve(fat_sectors);
  for (size_t i = 0; i < kHeaderDifatEntries && fat_sector_ids.size() < fat_sectors; ++i)
    fat_sector_ids.push_back(read_u32(h + 0x4C + 4 * i));

  const size_t per_difat_sector = sector_size_ / 4 - 1;  // the last entry links on
  std::vector<bool> seen(sector_count_);
  uint32_t difat = read_u32(h + 0x44);
  while (fat_sector_ids.size() < fat_sectors) {
    if (difat == kEndOfChain || difat == kFreeSector) damaged("цепочка секторов DIFAT обрывается");
    if (difat >= sector_count_ || (size_t{difat} + 2) * sector_size_ > file_.size())
      damaged("сектор DIFAT " + std::to_string(difat) + " лежит за концом файла");
    if (seen[difat]) damaged("цепочка секторов DIFAT зациклена");
    seen[difat] = true;
    const uint8_t* p = file_.data() + (size_t{difat} + 1) * sector_size_;
    for (size_t i = 0; i < per_difat_sector && fat_sector_ids.size() < fat_sectors; ++i)
      fat_sector_ids.push_back(read_u32(p + 4 * i));
    difat = read_u32(p + 4 * per_difat_sector);
  }

  const size_t per_sector = sector_size_ / 4;
  fat_.resize(fat_sector_ids.size() * per_sector);
  for (size_t i = 0; i < fat_sector_ids.size(); ++i) {
    const uint32_t s = fat_sector_ids[i];
    if (s >= sector_count_ || (size_t{s} + 2) * sector_size_ > file_.size())
      damaged("сектор таблицы размещения " + std::to_string(s) + " лежит за концом файла");
    const uint8_t* p = file_.data() + (size_t{s} + 1) * sector_size_;
    for (size_t j = 0; j < per_sector; ++j) fat_[i * per_sector + j] = read_u32(p + 4 * j);
  }
}

// Walks a chain of sectors (or mini sectors) through its allocation table.
// units_wanted is how many the owner's size needs; with SIZE_MAX the chain
// runs to its end. Every step is checked, so a damaged chain fails instead
// of looping or reading past the end.
std::vector<uint32_t> CompoundFile::follow_chain(const std::vector<uint32_t>& table, uint32_t start,
                                                 size_t unit_count, size_t units_wanted,
                                                 const std::string& owner) const {
  std::vector<uint32_t> chain;
  if (units_wanted != SIZE_MAX) chain.reserve(units_wanted);
  std::vector<bool> seen(unit_count);
  uint32_t s = start;
  while (chain.size() < units_wanted) {
    if (s == kEndOfChain && units_wanted == SIZE_MAX) break;
    if (s == kEndOfChain || s == kFreeSector) damaged(owner + " длиннее своей цепочки секторов");
    if (s > kMaxRegularSector) damaged("цепочка секторов (" + owner + ") повреждена");
    if (s >= unit_count || s >= table.size())
      damaged("сектор " + std::to_string(s) + " (" + owner + ") лежит за концом файла");
    if (seen[s]) damaged("цепочка секторов (" + owner + ") зациклена");
    seen[s] = true;
    chain.push_back(s);
    s = table[s];
  }
  return chain;
}

void CompoundFile::read_directory() {
  const uint32_t first = read_u32(file_.data() + 0x30);
  const std::vector<uint32_t> chain = follow_chain(fat_, first, sector_count_, SIZE_MAX, "каталог");
  const size_t per_sector = sector_size_ / kEntrySize;
  entries_.reserve(chain.size() * per_sector);
  for (uint32_t s : chain) {
    const size_t base = (size_t{s} + 1) * sector_size_;
    if (base + sector_size_ > file_.size())
      damaged("сектор " + std::to_string(s) + " (каталог) лежит за концом файла");
    for (size_t k = 0; k < per_sector; ++k) {
      const uint8_t* e = file_.data() + base + k * kEntrySize;
      Entry entry;
      const size_t name_units = std::min<size_t>(read_u16(e + 0x40) / 2, 32);
      for (size_t i = 0; i + 1 < name_units; ++i) entry.name += static_cast<char16_t>(read_u16(e + 2 * i));
      entry.type = e[0x42];
      entry.left = read_u32(e + 0x44);
      entry.right = read_u32(e + 0x48);
      entry.child = read_u32(e + 0x4C);
      entry.start = read_u32(e + 0x74);
      // Files of version 3 may leave junk in the size's upper half.
      entry.size = sector_shift_ == 9 ? read_u32(e + 0x78) : read_u64(e + 0x78);
      entries_.push_back(std::move(entry));
    }
  }
  if (entries_.empty() || entries_[0].type != 5) damaged("нет корневого каталога");

  // The root's children form a tree through left and right links; walk it
  // with an explicit stack, visiting every entry at most once.
  std::vector<bool> seen(entries_.size());
  std::vector<uint32_t> stack{entries_[0].child};
  while (!stack.empty()) {
    const uint32_t i = stack.back();
    stack.pop_back();
    if (i == kNoEntry || i >= entries_.size() || seen[i]) continue;
    seen[i] = true;
    root_children_.push_back(i);
    stack.push_back(entries_[i].left);
    stack.push_back(entries_[i].right);
  }
}

const CompoundFile::Entry* CompoundFile::find_root_child(std::string_view name) const {
  for (uint32_t i : root_children_)
    if (entries_[i].type == 2 && same_name(entries_[i].name, name)) return &entries_[i];
  return nullptr;
}

bool CompoundFile::has_stream(std::string_view name) const { return find_root_child(name) != nullptr; }

std::optional<StreamBytes> CompoundFile::open_stream(std::string_view name) { return read_stream(name, nullptr); }

std::optional<StreamBytes> CompoundFile::open_stream(std::string_view name, FileBytes file) {
  if (file.bytes().data() != file_.data() || file.bytes().size() != file_.size()) damaged("буфер файла подменён");
  return read_stream(name, &file);
}

std::optional<StreamBytes> CompoundFile::read_stream(std::string_view name, FileBytes* file) {
  const Entry* entry = find_root_child(name);
  if (!entry) return std::nullopt;
  const std::string owner = "поток «" + ascii_name(entry->name) + "»";
  if (entry->size < kMiniStreamCutoff) {
    read_mini_stream();
    return read_mini(entry->start, entry->size, owner);
  }
  return read_regular(entry->start, entry->size, owner, file);
}

StreamBytes CompoundFile::read_regular(uint32_t start, uint64_t size, const std::string& owner,
                                       FileBytes* file) const {
  if (size > uint64_t{sector_count_} * sector_size_) damaged(owner + " длиннее самого файла");
  const size_t wanted = static_cast<size_t>((size + sector_size_ - 1) / sector_size_);
  const std::vector<uint32_t> chain = follow_chain(fat_, start, sector_count_, wanted, owner);
  if (chain.empty()) return StreamBytes(std::span<const uint8_t>());

  // Every sector of the chain must hold the bytes the stream takes from it.
  auto check_in_file = [&](size_t index) {
    const size_t take = std::min<uint64_t>(sector_size_, size - uint64_t{index} * sector_size_);
    if ((size_t{chain[index]} + 1) * sector_size_ + take > file_.size())
      damaged("сектор " + std::to_string(chain[index]) + " (" + owner + ") лежит за концом файла");
    return take;
  };
  for (size_t i = 0; i < chain.size(); ++i) check_in_file(i);
  if (file) {
    // One piece per run of consecutive sectors, read when asked for.
    std::vector<FilePiece> pieces;
    for (size_t i = 0; i < chain.size();) {
      size_t end = i + 1;
      while (end < chain.size() && chain[end] == chain[end - 1] + 1) ++end;
      const size_t length = std::min<uint64_t>((end - i) * sector_size_, size - uint64_t{i} * sector_size_);
      pieces.push_back({(size_t{chain[i]} + 1) * sector_size_, length});
      i = end;
    }
    return StreamBytes(std::move(*file), std::move(pieces));
  }
  bool contiguous = true;
  for (size_t i = 1; i < chain.size(); ++i)
    if (chain[i] != chain[i - 1] + 1) contiguous = false;
  const uint8_t* first = file_.data() + (size_t{chain[0]} + 1) * sector_size_;
  if (contiguous) return StreamBytes(std::span<const uint8_t>(first, static_cast<size_t>(size)));

  StreamBytes copy(static_cast<size_t>(size));
  for (size_t i = 0; i < chain.size(); ++i) {
    const size_t take = check_in_file(i);
    std::memcpy(copy.data() + i * sector_size_, file_.data() + (size_t{chain[i]} + 1) * sector_size_, take);
  }
  return copy;
}

// Small streams live in 64-byte mini sectors inside the mini stream, which
// is the root entry's own stream, chained by the mini FAT.
void CompoundFile::read_mini_stream() {
  if (mini_stream_) return;
  const Entry& root = entries_[0];
  mini_stream_.emplace(read_regular(root.start, root.size, "мини-поток"));
  const uint32_t first_mini_fat = read_u32(file_.data() + 0x3C);
  if (first_mini_fat == kEndOfChain || first_mini_fat == kFreeSector) return;
  const std::vector<uint32_t> chain = follow_chain(fat_, first_mini_fat, sector_count_, SIZE_MAX, "мини-таблица");
  const size_t per_sector = sector_size_ / 4;
  mini_fat_.reserve(chain.size() * per_sector);
  for (uint32_t s : chain) {
    const size_t base = (size_t{s} + 1) * sector_size_;
    if (base + sector_size_ > file_.size())
      damaged("сектор " + std::to_string(s) + " (мини-таблица) лежит за концом файла");
    for (size_t j = 0; j < per_sector; ++j) mini_fat_.push_back(read_u32(file_.data() + base + 4 * j));
  }
}

StreamBytes CompoundFile::read_mini(uint32_t start, uint64_t size, const std::string& owner) const {
  const std::span<const uint8_t> mini = mini_stream_->bytes();
  const size_t mini_count = (mini.size() + kMiniSectorSize - 1) / kMiniSectorSize;
  if (size > uint64_t{mini_count} * kMiniSectorSize) damaged(owner + " длиннее мини-потока");
  const size_t wanted = static_cast<size_t>((size + kMiniSectorSize - 1) / kMiniSectorSize);
  const std::vector<uint32_t> chain = follow_chain(mini_fat_, start, mini_count, wanted, owner);
  StreamBytes copy(static_cast<size_t>(size));
  for (size_t i = 0; i < chain.size(); ++i) {
    const size_t take = std::min<uint64_t>(kMiniSectorSize, size - uint64_t{i} * kMiniSectorSize);
    const size_t from = size_t{chain[i]} * kMiniSectorSize;
    if (from + take > mini.size()) damaged(owner + " выходит за конец мини-потока");
    std::memcpy(copy.data() + i * kMiniSectorSize, mini.data() + from, take);
  }
  return copy;
}

}  // namespace vers::engine::cfb
