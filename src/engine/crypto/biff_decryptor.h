// Decryption of an encrypted BIFF workbook stream with the default password,
// the one spreadsheet applications encrypt with when the user gave none (they
// save a workbook whose structure is protected so). The program never asks
// for a password: a workbook under any other one stays closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/biff/biff_version.h"
#include "engine/biff/record_reader.h"
#include "engine/cfb/compound_file.h"
#include "engine/crypto/zeroed_pages.h"

namespace vers::engine::crypto {

// Decrypts, in place, every record of the workbook stream after its FILEPASS
// record, whose header starts at filepass_offset. Record headers, and the
// records and fields that are never encrypted, are left as they are, so the
// stream then parses as if it had never been encrypted. BIFF5 knows only XOR
// obfuscation; BIFF8 also RC4 and RC4 CryptoAPI. Throws EngineError naming
// book when the default password does not open the workbook, when its
// method of encryption is unknown, or when FILEPASS is damaged.
void decrypt_workbook_stream(std::span<uint8_t> stream, size_t filepass_offset, biff::BiffVersion version,
                             const std::string& book);

class StreamDecryptor;

// The workbook stream as the record reader is to see it, made readable a
// piece at a time, so that the cost follows what is read: the globals (the
// records up to the first EOF) at once, a sheet's substream when it is
// first asked for. A stream read from the file as it is asked for (see
// cfb::StreamBytes) reads just those pieces, and of the globals' shared
// string table only the records that a text is looked for in.
//
// A stream whose globals hold a FILEPASS record is decrypted so, piece by
// piece, but for the globals' shared string table, which is often most of
// them and of which a check reads few texts: each of its records is
// decrypted when a text is looked for in it. The key stream restarts at
// every 1024-byte block, so any piece decrypts on its own. A stream with a
// buffer of its own is decrypted there; one that is a view into the file is
// decrypted into fresh pages of its own, of which only those of the pieces
// decrypted are ever made. The file's pages are only read: writing to a
// private mapping copies each page it touches, at every open.
class WorkbookStream {
 public:
  // Throws EngineError as decrypt_workbook_stream does, when the stream
  // does not start with a BOF, and when the file cannot be read.
  WorkbookStream(cfb::StreamBytes stream, const std::string& book);
  ~WorkbookStream();
  WorkbookStream(WorkbookStream&&) noexcept;

  // Only the globals and the substreams asked for are readable.
  std::span<const uint8_t> bytes() const;

  // The globals: the records up to the first EOF and that EOF (the whole
  // stream when it has none).
  std::span<const uint8_t> globals() const;

  // The records of the shared string table (the globals' first SST record
  // and the CONTINUE records that follow it; after FILEPASS, when the
  // stream is read whole), whose reading or decryption waits for
  // prepare_strings. Their data views bytes(), where it is readable only
  // once prepared; until then bytes() does not hold even their headers.
  // Empty when nothing waits.
  const std::vector<biff::Record>& held_strings() const { return held_strings_; }

  // Reads, or decrypts, once, the held record of that number.
  void prepare_strings(size_t record);

  // The stream up to the end of the substream that starts at start, which
  // runs up to the nearest of substream_starts after it (or to the stream's
  // end); that substream is made readable, once. Throws EngineError when the
  // file cannot be read.
  std::span<const uint8_t> substream(size_t start, const std::vector<size_t>& substream_starts);

 private:
  std::span<uint8_t> plain();  // where the decrypted pieces go
  [[noreturn]] void unreadable() const;
  void load(size_t from, size_t to);     // reads [from, to) from the file, when not yet read
  void decrypt(size_t from, size_t to);  // the records from from, a header, up to to

  cfb::StreamBytes stream_;                     // as read from the file
  std::string book_;
  std::optional<ZeroedPages> plain_;            // none: decrypted in stream_'s own copy, or in the clear
  std::unique_ptr<StreamDecryptor> decryptor_;  // none: the stream is in the clear
  size_t globals_end_ = 0;
  std::vector<size_t> decrypted_;  // starts of the substreams decrypted
  std::vector<biff::Record> held_strings_;
  bool strings_encrypted_ = false;      // the held records are to be decrypted, not only read
  std::vector<bool> strings_prepared_;  // by held record
};

}  // namespace vers::engine::crypto
