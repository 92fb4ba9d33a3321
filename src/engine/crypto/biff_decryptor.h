// Decryption of an encrypted BIFF workbook stream with the default password,
// the one spreadsheet applications encrypt with when the user gave none (they
// save a workbook whose structure is protected so). The program never asks
// for a password: a workbook under any other one stays closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/biff/biff_version.h"
#include "engine/cfb/compound_file.h"

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

// The workbook stream as the record reader is to see it. A stream whose
// globals (the records up to the first EOF) hold no FILEPASS record is
// used as it is. An encrypted one is copied and decrypted a piece at a
// time, so that the cost follows what is read: the globals at once, a
// sheet's substream when it is first asked for. The key stream restarts at
// every 1024-byte block, so any piece decrypts on its own.
class WorkbookStream {
 public:
  // Throws EngineError as decrypt_workbook_stream does, and when the stream
  // does not start with a BOF.
  WorkbookStream(cfb::StreamBytes stream, const std::string& book);
  ~WorkbookStream();
  WorkbookStream(WorkbookStream&&) noexcept;

  std::span<const uint8_t> bytes() const { return stream_.bytes(); }

  // Decrypts, once, the substream that starts at start and runs up to the
  // nearest of substream_starts after it (or to the stream's end).
  void prepare_substream(size_t start, const std::vector<size_t>& substream_starts);

 private:
  std::span<uint8_t> writable();

  cfb::StreamBytes stream_;
  std::unique_ptr<StreamDecryptor> decryptor_;  // none: the stream is in the clear
  size_t globals_end_ = 0;
  std::vector<size_t> decrypted_;  // starts of the substreams decrypted
};

}  // namespace vers::engine::crypto
