#include "engine/zip/zip_archive.h"

#include <zip.h>

#include <algorithm>

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

}  // namespace

uint64_t ResumePoint::offset() const { return state_ ? state_->out : 0; }

bool looks_like_zip(std::span<const uint8_t> bytes) {
  if (bytes.size() < 4 || bytes[0] != 'P' || bytes[1] != 'K') return false;
  return (bytes[2] == 3 && bytes[3] == 4) || (bytes[2] == 5 && bytes[3] == 6);
}

Archive::Archive(FileBytes bytes, std::string display_name, Limits limits)
    : bytes_(std::move(bytes)), display_name_(std::move(display_name)), limits_(limits) {
  // libzip takes no bytes at all for an empty archive; a workbook's archive
  // begins with its signature.
  if (!looks_like_zip(bytes_.bytes())) throw EngineError(damaged(display_name_, "это не архив zip"));
  zip_error_t error;
  zip_error_init(&error);
  // The source borrows bytes_, which lives as long as the archive.
  zip_source_t* source = zip_source_buffer_create(bytes_.bytes().data(), bytes_.bytes().size(), 0, &error);
  if (source) {
    zip_ = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!zip_) zip_source_free(source);
  }
  zip_error_fini(&error);
  if (!zip_) throw EngineError(damaged(display_name_, "не читается оглавление архива zip"));

  const zip_int64_t count = zip_get_num_entries(zip_, 0);
  if (count < 0 || uint64_t(count) > limits_.max_members) {
    zip_discard(zip_);
    zip_ = nullptr;
    throw EngineError("Файл «" + display_name_ + "» не читается: в архиве больше " +
                      std::to_string(limits_.max_members) + " частей");
  }
  names_.reserve(size_t(count));
  compressed_sizes_.reserve(size_t(count));
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t st;
    zip_stat_init(&st);
    const bool ok = zip_stat_index(zip_, zip_uint64_t(i), 0, &st) == 0 && (st.valid & ZIP_STAT_NAME);
    names_.push_back(ok ? st.name : "");
    compressed_sizes_.push_back(ok && (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0);
  }
}

Archive::~Archive() {
  if (zip_) zip_discard(zip_);
}

int64_t Archive::find(std::string_view name) const {
  name = without_leading_slash(name);
  for (size_t i = 0; i < names_.size(); ++i) {
    if (same_member_name(without_leading_slash(names_[i]), name)) return int64_t(i);
  }
  return -1;
}

bool Archive::contains(std::string_view name) const { return find(name) >= 0; }

uint64_t Archive::compressed_size(std::string_view name) const {
  const int64_t index = find(name);
  return index < 0 ? 0 : compressed_sizes_[size_t(index)];
}

std::unique_ptr<MemberStream> Archive::open(std::string_view name, const ResumePoint& from) const {
  const std::string member(name);
  const int64_t index = find(name);
  if (index < 0) throw EngineError(damaged(display_name_, "в архиве нет части «" + member + "»"));

  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(zip_, zip_uint64_t(index), 0, &st) != 0)
    throw EngineError(damaged(display_name_, "не читается часть «" + member + "»"));
  if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
    throw EngineError("Книга «" + display_name_ + "» защищена паролем");

  const uint64_t compressed = compressed_sizes_[size_t(index)];
  const uint64_t bound = std::min(limits_.max_inflated_bytes, compressed * limits_.max_ratio + (uint64_t(1) << 20));
  if ((st.valid & ZIP_STAT_SIZE) && st.size > bound)
    throw EngineError(damaged(display_name_, "часть «" + member + "» распаковывается в недопустимо большой объём"));

  const std::string what = "«" + display_name_ + "» (часть «" + member + "»)";
  // Stored and deflated members, which is what spreadsheets write, are read
  // raw and inflated here, so that their streams can be resumed.
  const bool method_known = st.valid & ZIP_STAT_COMP_METHOD;
  const bool stored = method_known && st.comp_method == ZIP_CM_STORE;
  const bool deflated = method_known && st.comp_method == ZIP_CM_DEFLATE;
  const zip_flags_t flags = stored || deflated ? ZIP_FL_COMPRESSED : 0;
  zip_file_t* file = zip_fopen_index(zip_, zip_uint64_t(index), flags);
  if (!file) {
    const int code = zip_error_code_zip(zip_get_error(zip_));
    if (code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_ENCRNOTSUPP)
      throw EngineError("Книга «" + display_name_ + "» защищена паролем");
    throw EngineError(damaged(display_name_, "не читается часть «" + member + "»"));
  }
  if (!flags) return std::unique_ptr<MemberStream>(new MemberStream(file, nullptr, bound, 0, what));
  std::optional<uint32_t> crc;
  if (st.valid & ZIP_STAT_CRC) crc = st.crc;
  auto inflater = std::make_unique<MemberInflater>(file, stored, from.state_, crc, what);
  return std::unique_ptr<MemberStream>(new MemberStream(nullptr, std::move(inflater), bound, from.offset(), what));
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

MemberStream::MemberStream(zip_file_t* file, std::unique_ptr<MemberInflater> inflater, uint64_t bound,
                           uint64_t position, std::string what)
    : file_(file), inflater_(std::move(inflater)), bound_(bound), position_(position), what_(std::move(what)) {}

MemberStream::~MemberStream() {
  if (file_) zip_fclose(file_);
}

size_t MemberStream::read(char* buffer, size_t size) {
  const zip_int64_t n = inflater_ ? zip_int64_t(inflater_->read(buffer, size)) : zip_fread(file_, buffer, size);
  if (n < 0) {
    const bool crc = zip_error_code_zip(zip_file_get_error(file_)) == ZIP_ER_CRC;
    throw EngineError("Файл " + what_ + " повреждён: " +
                      (crc ? "контрольная сумма части не сходится" : "данные архива не читаются"));
  }
  position_ += uint64_t(n);
  if (position_ > bound_)
    throw EngineError("Файл " + what_ + " повреждён: часть распаковывается в недопустимо большой объём");
  return size_t(n);
}

ResumePoint MemberStream::resume_point(uint64_t offset) const {
  return inflater_ ? ResumePoint(inflater_->point_before(offset)) : ResumePoint();
}

}  // namespace vers::engine::zip
