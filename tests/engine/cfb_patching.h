// Byte-level patching of a real compound file, for the tests of damaged
// containers: find a directory entry, follow and rewire a sector chain.
// Only the simple layout of small files is handled: every FAT sector named
// in the header, the directory in one chain.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace vers::engine {

class PatchableCompoundFile {
 public:
  explicit PatchableCompoundFile(std::vector<uint8_t> bytes) : bytes(std::move(bytes)) {
    sector_size = size_t{1} << u16(0x1E);
  }

  uint16_t u16(size_t at) const { return static_cast<uint16_t>(bytes.at(at) | (bytes.at(at + 1) << 8)); }
  uint32_t u32(size_t at) const { return u16(at) | (static_cast<uint32_t>(u16(at + 2)) << 16); }
  void set_u16(size_t at, uint16_t v) {
    bytes.at(at) = static_cast<uint8_t>(v);
    bytes.at(at + 1) = static_cast<uint8_t>(v >> 8);
  }
  void set_u32(size_t at, uint32_t v) {
    set_u16(at, static_cast<uint16_t>(v));
    set_u16(at + 2, static_cast<uint16_t>(v >> 16));
  }

  size_t sector_offset(uint32_t sector) const { return (size_t{sector} + 1) * sector_size; }

  // Where the FAT holds the successor of sector.
  size_t fat_entry(uint32_t sector) const {
    const size_t per_sector = sector_size / 4;
    const uint32_t fat_sector = u32(0x4C + 4 * (sector / per_sector));
    return sector_offset(fat_sector) + 4 * (sector % per_sector);
  }
  uint32_t next(uint32_t sector) const { return u32(fat_entry(sector)); }
  void set_next(uint32_t sector, uint32_t successor) { set_u32(fat_entry(sector), successor); }

  std::vector<uint32_t> chain(uint32_t start) const {
    std::vector<uint32_t> sectors;
    for (uint32_t s = start; s < 0xFFFFFFFA && sectors.size() < bytes.size() / sector_size; s = next(s))
      sectors.push_back(s);
    return sectors;
  }

  // The offset of the directory entry named name (ASCII).
  size_t entry(const std::string& name) const {
    const size_t at = find_entry(name);
    if (at == 0) ADD_FAILURE() << "no directory entry " << name;
    return at;
  }
  bool has_entry(const std::string& name) const { return find_entry(name) != 0; }
  size_t find_entry(const std::string& name) const {
    for (uint32_t s : chain(u32(0x30))) {
      for (size_t e = sector_offset(s); e < sector_offset(s) + sector_size; e += 128) {
        if (u16(e + 0x40) != 2 * (name.size() + 1)) continue;
        bool same = true;
        for (size_t i = 0; i < name.size(); ++i) same = same && u16(e + 2 * i) == uint8_t(name[i]);
        if (same) return e;
      }
    }
    return 0;
  }
  uint32_t stream_start(const std::string& name) const { return u32(entry(name) + 0x74); }
  uint32_t stream_size(const std::string& name) const { return u32(entry(name) + 0x78); }

  // A stream's bytes, gathered along its chain.
  std::vector<uint8_t> stream_bytes(const std::string& name) const {
    std::vector<uint8_t> out;
    for (uint32_t s : chain(stream_start(name)))
      out.insert(out.end(), bytes.begin() + sector_offset(s), bytes.begin() + sector_offset(s) + sector_size);
    out.resize(stream_size(name));
    return out;
  }

  // Swaps the contents of a stream's first two sectors and rewires its
  // chain to match: the same stream, with its sectors out of order.
  void swap_first_two_sectors(const std::string& name) {
    const std::vector<uint32_t> sectors = chain(stream_start(name));
    ASSERT_GE(sectors.size(), 3u);
    const uint32_t a = sectors[0], b = sectors[1];
    std::swap_ranges(bytes.begin() + sector_offset(a), bytes.begin() + sector_offset(a + 1),
                     bytes.begin() + sector_offset(b));
    set_u32(entry(name) + 0x74, b);
    set_next(b, a);
    set_next(a, sectors[2]);
  }

  void rename(const std::string& from, const std::string& to) {
    const size_t e = entry(from);
    for (size_t i = 0; i < 32; ++i) set_u16(e + 2 * i, i < to.size() ? uint8_t(to[i]) : 0);
    set_u16(e + 0x40, static_cast<uint16_t>(2 * (to.size() + 1)));
  }

  std::vector<uint8_t> bytes;
  size_t sector_size;
};

// A compound file of version 4 (4096-byte sectors) that holds one stream
// of at least 4096 bytes, laid out as: header, FAT, directory, the stream.
inline std::vector<uint8_t> version4_file(const std::string& name, const std::vector<uint8_t>& stream) {
  constexpr size_t kSector = 4096;
  const size_t stream_sectors = (stream.size() + kSector - 1) / kSector;
  std::vector<uint8_t> f((3 + stream_sectors) * kSector);
  auto put16 = [&](size_t at, uint16_t v) { f[at] = uint8_t(v), f[at + 1] = uint8_t(v >> 8); };
  auto put32 = [&](size_t at, uint32_t v) { put16(at, uint16_t(v)), put16(at + 2, uint16_t(v >> 16)); };
  const uint8_t signature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::copy(signature, signature + 8, f.begin());
  put16(0x18, 0x3E), put16(0x1A, 4), put16(0x1C, 0xFFFE), put16(0x1E, 12), put16(0x20, 6);
  put32(0x28, 1), put32(0x2C, 1), put32(0x30, 1), put32(0x38, 4096);
  put32(0x3C, 0xFFFFFFFE), put32(0x44, 0xFFFFFFFE);
  for (size_t i = 0; i < 109; ++i) put32(0x4C + 4 * i, i == 0 ? 0 : 0xFFFFFFFF);
  // FAT: sector 0 is the FAT itself, 1 the directory, 2.. the stream.
  const size_t fat = kSector;
  for (size_t i = 0; i < kSector / 4; ++i) put32(fat + 4 * i, 0xFFFFFFFF);
  put32(fat, 0xFFFFFFFD), put32(fat + 4, 0xFFFFFFFE);
  for (size_t i = 0; i < stream_sectors; ++i)
    put32(fat + 4 * (2 + i), i + 1 < stream_sectors ? uint32_t(3 + i) : 0xFFFFFFFE);
  // Directory: the root entry and the stream; the other slots stay empty.
  const size_t dir = 2 * kSector;
  auto entry = [&](size_t at, const std::string& entry_name, uint8_t type, uint32_t child, uint32_t start,
                   uint64_t size) {
    for (size_t i = 0; i < entry_name.size(); ++i) put16(at + 2 * i, uint8_t(entry_name[i]));
    put16(at + 0x40, uint16_t(2 * (entry_name.size() + 1)));
    f[at + 0x42] = type;
    put32(at + 0x44, 0xFFFFFFFF), put32(at + 0x48, 0xFFFFFFFF), put32(at + 0x4C, child);
    put32(at + 0x74, start), put32(at + 0x78, uint32_t(size)), put32(at + 0x7C, uint32_t(size >> 32));
  };
  for (size_t at = dir; at < dir + kSector; at += 128)
    put32(at + 0x44, 0xFFFFFFFF), put32(at + 0x48, 0xFFFFFFFF), put32(at + 0x4C, 0xFFFFFFFF);
  entry(dir, "Root Entry", 5, 1, 0xFFFFFFFE, 0);
  entry(dir + 128, name, 2, 0xFFFFFFFF, 2, stream.size());
  std::copy(stream.begin(), stream.end(), f.begin() + 3 * kSector);
  return f;
}

}  // namespace vers::engine
