#include "engine/crypto/biff_decryptor.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "engine/biff/messages.h"
#include "engine/error.h"
#include "engine/biff/record_reader.h"
#include "engine/biff/record_types.h"
#include "engine/biff/workbook_globals.h"
#include "engine/cfb/little_endian.h"
#include "engine/crypto/rc4.h"
#include "engine/crypto/rc4_key.h"
#include "engine/crypto/xor_obfuscation.h"

namespace vers::engine::crypto {

// Turns the encrypted data of a record back into plain bytes.
class StreamDecryptor {
 public:
  virtual ~StreamDecryptor() = default;
  // bytes start at stream_offset in the stream and belong to a record whose
  // data is record_size bytes long.
  virtual void decrypt(std::span<uint8_t> bytes, size_t stream_offset, size_t record_size) = 0;
};

namespace {

using biff::BiffVersion;

// The password that applications encrypt with when the user gave none.
constexpr char16_t kDefaultPassword[] = u"VelvetSweatshop";
constexpr char kDefaultPasswordBytes[] = "VelvetSweatshop";

constexpr size_t kHeaderSize = 4;

// How far the walk over the globals reads ahead of the record it is at,
// when it reads the records it walks: several of the longest records.
constexpr size_t kLongestRecord = kHeaderSize + 0xFFFF;
constexpr size_t kReadAhead = size_t{256} << 10;
constexpr size_t kRc4BlockSize = 1024;

// Records that stay in the clear in an encrypted stream.
bool is_never_encrypted(uint16_t type) {
  switch (type) {
    case biff::record::kBof:
    case biff::record::kBofBiff2:
    case biff::record::kBofBiff3:
    case biff::record::kBofBiff4:
    case biff::record::kFilePass:
    case 0x00E1:  // INTERFACEHDR
    case 0x0194:  // USREXCL
    case 0x0195:  // FILELOCK
    case 0x0196:  // RRDINFO
    case 0x0138:  // RRDHEAD
      return true;
    default:
      return false;
  }
}

// BOUNDSHEET's first field, the stream position of its sheet, is in the clear.
constexpr size_t kBoundSheetClearBytes = 4;

// The FILEPASS record's data, read with bounds checks.
class FilePass {
 public:
  FilePass(std::span<const uint8_t> data, size_t offset, const std::string& book)
      : data_(data), offset_(offset), book_(book) {}

  uint16_t u16(size_t at) const { return read_u16(take(at, 2).data()); }
  uint32_t u32(size_t at) const { return read_u32(take(at, 4).data()); }
  std::span<const uint8_t> take(size_t at, size_t count) const {
    if (at > data_.size() || count > data_.size() - at) truncated();
    return data_.subspan(at, count);
  }

  [[noreturn]] void truncated() const {
    biff::throw_damaged(book_, biff::describe_record(biff::record::kFilePass, offset_) + " обрезана");
  }
  [[noreturn]] void not_opened() const { biff::throw_password_protected(book_); }

 private:
  std::span<const uint8_t> data_;
  size_t offset_;
  const std::string& book_;
};

// RC4: the key stream starts anew, with a key of its own, at every 1024-byte
// block of the stream, and runs on over the bytes left in the clear.
class Rc4Decryptor : public StreamDecryptor {
 public:
  explicit Rc4Decryptor(Rc4KeyDerivation keys) : keys_(std::move(keys)) {}

  void decrypt(std::span<uint8_t> bytes, size_t stream_offset, size_t /*record_size*/) override {
    while (!bytes.empty()) {
      const size_t in_block = stream_offset % kRc4BlockSize;
      const size_t count = std::min(bytes.size(), kRc4BlockSize - in_block);
      const uint8_t* key = key_stream(stream_offset / kRc4BlockSize) + in_block;
      for (size_t n = 0; n < count; ++n) bytes[n] ^= key[n];
      bytes = bytes.subspan(count);
      stream_offset += count;
    }
  }

 private:
  // The key stream of a whole block. It is made together with the next
  // blocks', which records, read in stream order, usually need next.
  const uint8_t* key_stream(size_t block) {
    if (!made_ || block < first_block_ || block - first_block_ >= kStreamsAtOnce) {
      std::array<std::vector<uint8_t>, kStreamsAtOnce> keys;
      std::array<std::span<const uint8_t>, kStreamsAtOnce> key_views;
      std::array<std::span<uint8_t>, kStreamsAtOnce> streams;
      for (size_t k = 0; k < kStreamsAtOnce; ++k) {
        keys[k] = keys_.block_key(static_cast<uint32_t>(block + k));
        key_views[k] = keys[k];
        streams[k] = std::span<uint8_t>(key_streams_).subspan(k * kRc4BlockSize, kRc4BlockSize);
      }
      rc4_key_streams(key_views, streams);
      first_block_ = block;
      made_ = true;
    }
    return key_streams_.data() + (block - first_block_) * kRc4BlockSize;
  }

  Rc4KeyDerivation keys_;
  std::array<uint8_t, kStreamsAtOnce * kRc4BlockSize> key_streams_{};  // of blocks from first_block_ on
  size_t first_block_ = 0;
  bool made_ = false;
};

// XOR obfuscation: a byte's place in the array is its stream offset plus the
// length of its record's data, modulo 16.
class XorDecryptor : public StreamDecryptor {
 public:
  explicit XorDecryptor(std::array<uint8_t, 16> array) : array_(array) {}

  void decrypt(std::span<uint8_t> bytes, size_t stream_offset, size_t record_size) override {
    size_t index = (stream_offset + record_size) % array_.size();
    for (uint8_t& byte : bytes) {
      byte = xor_deobfuscate(byte, array_[index]);
      index = (index + 1) % array_.size();
    }
  }

 private:
  std::array<uint8_t, 16> array_;
};

std::unique_ptr<StreamDecryptor> xor_decryptor(const FilePass& pass, uint16_t verifier) {
  if (verifier != xor_password_verifier(kDefaultPasswordBytes)) pass.not_opened();
  return std::make_unique<XorDecryptor>(xor_obfuscation_array(kDefaultPasswordBytes));
}

// RC4, version 1.1: salt, verifier and verifier hash, 16 bytes each.
std::unique_ptr<StreamDecryptor> rc4_decryptor(const FilePass& pass, size_t at) {
  Rc4KeyDerivation keys = Rc4KeyDerivation::standard(kDefaultPassword, pass.take(at, 16));
  if (!keys.verifies(pass.take(at + 16, 16), pass.take(at + 32, 16))) pass.not_opened();
  return std::make_unique<Rc4Decryptor>(std::move(keys));
}

// RC4 CryptoAPI: flags, the encryption header's size, the header (flags,
// extra size, cipher, hash, key size, ...), then the verifier (salt size,
// salt, verifier, hash size, verifier hash).
std::unique_ptr<StreamDecryptor> cryptoapi_decryptor(const FilePass& pass, size_t at) {
  constexpr uint32_t kCipherRc4 = 0x6801;
  constexpr uint32_t kHashSha1 = 0x8004;
  constexpr uint32_t kSha1Size = 20;
  constexpr size_t kVerifierSize = 16;
  const uint32_t header_size = pass.u32(at + 4);
  const size_t header = at + 8;
  const uint32_t cipher = pass.u32(header + 8);  // 0: the provider's default, RC4
  const uint32_t hash = pass.u32(header + 12);   // 0: SHA-1
  uint32_t key_bits = pass.u32(header + 16);
  if (key_bits == 0) key_bits = 40;
  if ((cipher != kCipherRc4 && cipher != 0) || (hash != kHashSha1 && hash != 0) || key_bits < 40 || key_bits > 128 ||
      key_bits % 8 != 0) {
    pass.not_opened();
  }
  size_t at_verifier = header + header_size;
  const uint32_t salt_size = pass.u32(at_verifier);
  const std::span<const uint8_t> salt = pass.take(at_verifier + 4, salt_size);
  at_verifier += 4 + salt_size;
  const std::span<const uint8_t> verifier = pass.take(at_verifier, kVerifierSize);
  const uint32_t hash_size = pass.u32(at_verifier + kVerifierSize);
  if (hash_size != kSha1Size) pass.not_opened();
  const std::span<const uint8_t> verifier_hash = pass.take(at_verifier + kVerifierSize + 4, hash_size);

  Rc4KeyDerivation keys = Rc4KeyDerivation::cryptoapi(kDefaultPassword, salt, key_bits);
  if (!keys.verifies(verifier, verifier_hash)) pass.not_opened();
  return std::make_unique<Rc4Decryptor>(std::move(keys));
}

// BIFF5's FILEPASS holds the XOR key and verifier alone; BIFF8's names the
// method first: 0 XOR, 1 RC4, whose version then tells RC4 1.1 from CryptoAPI.
std::unique_ptr<StreamDecryptor> decryptor_for(const FilePass& pass, BiffVersion version) {
  if (version == BiffVersion::Biff5) return xor_decryptor(pass, pass.u16(2));
  switch (pass.u16(0)) {
    case 0x0000:
      return xor_decryptor(pass, pass.u16(4));
    case 0x0001: {
      const uint16_t major = pass.u16(2);
      const uint16_t minor = pass.u16(4);
      if (major == 1 && minor == 1) return rc4_decryptor(pass, 6);
      if (major >= 2 && major <= 4 && minor == 2) return cryptoapi_decryptor(pass, 6);
      pass.not_opened();
    }
    default:
      pass.not_opened();
  }
}

// The decryptor that FILEPASS, whose header starts at filepass_offset,
// describes, and the stream offset where the records after it begin.
std::unique_ptr<StreamDecryptor> open_filepass(std::span<const uint8_t> stream, size_t filepass_offset,
                                               BiffVersion version, const std::string& book, size_t& records_start) {
  if (filepass_offset > stream.size() || stream.size() - filepass_offset < kHeaderSize ||
      read_u16(stream.data() + filepass_offset) != biff::record::kFilePass) {
    biff::throw_damaged(book, "запись FILEPASS не найдена по смещению " + std::to_string(filepass_offset));
  }
  const size_t pass_size = read_u16(stream.data() + filepass_offset + 2);
  const size_t pass_start = filepass_offset + kHeaderSize;
  const FilePass pass(stream.subspan(pass_start, std::min(pass_size, stream.size() - pass_start)), filepass_offset,
                      book);
  if (pass_size > stream.size() - pass_start) pass.truncated();
  records_start = pass_start + pass_size;
  return decryptor_for(pass, version);
}

// Decrypts the records that start at from, a record's header, up to the
// offset to, from in into out, which are of one size and may be the same
// bytes: the bytes at and past to are left alone, so that ranges that do
// not overlap are never decrypted twice. Record headers are read from in.
// A record cut short by the end of the stream is decrypted as far as it
// goes; the record reader reports the damage.
void decrypt_records(std::span<const uint8_t> in, std::span<uint8_t> out, size_t from, size_t to,
                     StreamDecryptor& decryptor) {
  to = std::min(to, in.size());
  if (from < to && out.data() != in.data()) std::copy(in.begin() + from, in.begin() + to, out.begin() + from);
  size_t position = from;
  while (position < to && in.size() - position >= kHeaderSize) {
    const uint16_t type = read_u16(in.data() + position);
    const size_t size = read_u16(in.data() + position + 2);
    const size_t data = position + kHeaderSize;
    const size_t available = std::min(size, in.size() - data);
    if (!is_never_encrypted(type)) {
      const size_t clear = type == biff::record::kBoundSheet ? std::min(kBoundSheetClearBytes, available) : 0;
      const size_t begin = data + clear;
      const size_t end = std::min(data + available, to);
      if (begin < end) decryptor.decrypt(out.subspan(begin, end - begin), begin, size);
    }
    if (available < size) break;
    position = data + size;
  }
}

size_t end_of(const biff::Record& record) { return record.offset + kHeaderSize + record.data.size(); }

}  // namespace

void decrypt_workbook_stream(std::span<uint8_t> stream, size_t filepass_offset, BiffVersion version,
                             const std::string& book) {
  size_t records_start = 0;
  const std::unique_ptr<StreamDecryptor> decryptor =
      open_filepass(stream, filepass_offset, version, book, records_start);
  decrypt_records(stream, stream, records_start, stream.size(), *decryptor);
}

WorkbookStream::WorkbookStream(cfb::StreamBytes stream, const std::string& book)
    : stream_(std::move(stream)), book_(book) {
  const std::span<const uint8_t> bytes = stream_.bytes();
  // Record headers are in the clear, so the globals can be walked as they
  // are. The shared string table's records are held back, not read, when
  // they are to be decrypted, or when they are the file's own pages: each
  // is then made readable when a text is looked for in it. Otherwise the
  // globals are read ahead in large runs.
  const bool hold_strings = stream_.holds_file_pages();
  std::optional<size_t> filepass;
  bool in_strings = false;  // among the shared string table's records
  BiffVersion version = BiffVersion::Biff8;
  size_t at = 0;
  size_t read_to = 0;  // read ahead up to here
  uint8_t header[kHeaderSize];
  while (at < bytes.size() && bytes.size() - at >= kHeaderSize) {
    if (!hold_strings && at + kLongestRecord > read_to) {  // the next run, in one read
      read_to = at + kReadAhead;
      load(at, read_to);
    }
    if (!stream_.peek(at, header)) unreadable();
    const uint16_t type = read_u16(header);
    const size_t length = read_u16(header + 2);
    if (bytes.size() - at - kHeaderSize < length) {
      load(at, bytes.size());
      biff::Record cut;
      biff::RecordReader(bytes, at, book).next(cut);  // says that the record is cut short
    }
    const biff::Record record{type, bytes.subspan(at + kHeaderSize, length), at};
    if (type == biff::record::kSst && held_strings_.empty() && (filepass || hold_strings)) {
      in_strings = true;
      strings_encrypted_ = filepass.has_value();
    } else if (type != biff::record::kContinue) {
      in_strings = false;
    }
    if (in_strings) {
      held_strings_.push_back(record);
    } else {
      load(at, at + kHeaderSize + length);
      if (at == 0) version = biff::version_of_bof(record, book);  // the stream must start with a BOF
    }
    if (type == biff::record::kFilePass && !filepass) filepass = at;
    at += kHeaderSize + length;
    if (type == biff::record::kEof) break;
  }
  globals_end_ = at;
  strings_prepared_.assign(held_strings_.size(), false);
  if (!filepass) return;
  size_t records_start = 0;
  decryptor_ = open_filepass(bytes, *filepass, version, book, records_start);
  // No copy of its own: a view into the file, decrypted into fresh pages.
  if (!stream_.data()) plain_.emplace(bytes.size());
  const std::span<uint8_t> out = plain();
  if (plain_) {
    plain_->make(0, records_start);
    std::copy(bytes.begin(), bytes.begin() + records_start, out.begin());
  }
  // The held records lie in one run: the globals decrypted at once are
  // those before and after it.
  const size_t strings_begin = held_strings_.empty() ? records_start : held_strings_.front().offset;
  const size_t strings_end = held_strings_.empty() ? records_start : end_of(held_strings_.back());
  decrypt(records_start, strings_begin);
  decrypt(strings_end, globals_end_);
  for (biff::Record& held : held_strings_) held.data = out.subspan(held.offset + kHeaderSize, held.data.size());
}

WorkbookStream::~WorkbookStream() = default;
WorkbookStream::WorkbookStream(WorkbookStream&&) noexcept = default;

std::span<const uint8_t> WorkbookStream::bytes() const {
  if (plain_) return plain_->bytes();
  return stream_.bytes();
}

std::span<uint8_t> WorkbookStream::plain() {
  if (plain_) return plain_->bytes();
  return std::span<uint8_t>(stream_.data(), stream_.bytes().size());
}

void WorkbookStream::unreadable() const {
  throw EngineError("Не удалось прочитать файл «" + book_ + "»: он изменился при чтении");
}

void WorkbookStream::load(size_t from, size_t to) {
  if (!stream_.load(from, to)) unreadable();
}

std::span<const uint8_t> WorkbookStream::globals() const { return bytes().first(globals_end_); }

void WorkbookStream::decrypt(size_t from, size_t to) {
  load(from, to);
  if (plain_) plain_->make(from, to);
  decrypt_records(stream_.bytes(), plain(), from, to, *decryptor_);
}

void WorkbookStream::prepare_strings(size_t record) {
  if (record >= held_strings_.size() || strings_prepared_[record]) return;
  const biff::Record& held = held_strings_[record];
  if (strings_encrypted_) decrypt(held.offset, end_of(held));
  else load(held.offset, end_of(held));
  strings_prepared_[record] = true;
}

std::span<const uint8_t> WorkbookStream::substream(size_t start, const std::vector<size_t>& substream_starts) {
  // A substream runs up to the nearest other substream's start.
  size_t end = stream_.bytes().size();
  for (const size_t other : substream_starts)
    if (other > start) end = std::min(end, other);
  if (start >= end) return bytes().first(std::min(start, end));
  if (!decryptor_) {
    load(start, end);
  } else if (std::find(decrypted_.begin(), decrypted_.end(), start) == decrypted_.end()) {
    // Never into the globals, decrypted already: the pieces decrypted
    // never overlap.
    decrypt(std::max(start, globals_end_), end);
    decrypted_.push_back(start);
  }
  return bytes().first(end);
}

}  // namespace vers::engine::crypto
