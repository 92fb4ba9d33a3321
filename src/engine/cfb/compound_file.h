// Reader of the compound file container: a small FAT file system inside one
// file, in which .xls and .xlt workbooks keep their workbook stream.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cfb/stream_bytes.h"
#include "engine/file_bytes.h"

namespace vers::engine::cfb {

// True when the bytes start with the compound file signature.
bool has_signature(std::span<const uint8_t> file);

class CompoundFile {
 public:
  // Reads the header, the allocation table and the directory. The file's
  // bytes must outlive this object and every stream opened from it. Throws
  // EngineError naming display_name when the container is damaged.
  CompoundFile(std::span<const uint8_t> file, std::string display_name);

  // True when the root storage holds a stream of that name (ASCII, compared
  // case-insensitively).
  bool has_stream(std::string_view name) const;

  // The stream of that name directly under the root storage, or nothing.
  // Throws EngineError when its sector chain is damaged.
  std::optional<StreamBytes> open_stream(std::string_view name);

  // The same, handing the stream the file (the owner of the bytes this
  // object reads): a regular stream then reads its sectors from the file
  // only as they are asked for (see StreamBytes). Afterwards this object
  // answers has_stream only, as the file belongs to the stream or is gone.
  std::optional<StreamBytes> open_stream(std::string_view name, FileBytes file);

 private:
  struct Entry {
    std::u16string name;
    uint8_t type = 0;  // 1 storage, 2 stream, 5 root
    uint32_t left = 0, right = 0, child = 0;
    uint32_t start = 0;
    uint64_t size = 0;
  };

  [[noreturn]] void damaged(const std::string& what) const;
  void read_allocation_table();
  void read_directory();
  void read_mini_stream();
  std::vector<uint32_t> follow_chain(const std::vector<uint32_t>& table, uint32_t start, size_t unit_count,
                                     size_t units_wanted, const std::string& owner) const;
  StreamBytes read_regular(uint32_t start, uint64_t size, const std::string& owner,
                           FileBytes* file = nullptr) const;
  StreamBytes read_mini(uint32_t start, uint64_t size, const std::string& owner) const;
  const Entry* find_root_child(std::string_view name) const;
  std::optional<StreamBytes> read_stream(std::string_view name, FileBytes* file);

  std::span<const uint8_t> file_;
  std::string display_name_;
  uint32_t sector_shift_ = 9;
  size_t sector_size_ = 512;
  size_t sector_count_ = 0;  // sectors after the header that the file reaches into
  std::vector<uint32_t> fat_;
  std::vector<uint32_t> mini_fat_;
  std::vector<Entry> entries_;
  std::vector<uint32_t> root_children_;  // directory indices
  std::optional<StreamBytes> mini_stream_;
};

}  // namespace vers::engine::cfb
