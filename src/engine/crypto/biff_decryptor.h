// Decryption of an encrypted BIFF workbook stream with the default password,
// the one spreadsheet applications encrypt with when the user gave none (they
// save a workbook whose structure is protected so). The program never asks
// for a password: a workbook under any other one stays closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

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

// The workbook stream as the record reader is to see it: the stream itself
// when its globals (the records up to the first EOF) hold no FILEPASS
// record, otherwise a copy decrypted by decrypt_workbook_stream. Throws
// EngineError as that does, and when the stream does not start with a BOF.
cfb::StreamBytes decrypted_workbook_stream(cfb::StreamBytes stream, const std::string& book);

}  // namespace vers::engine::crypto
