// Text in the encodings that workbooks and the report use. Inside the program
// text is UTF-8; these convert at the edges.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vers::engine {

// Appends one Unicode code point as UTF-8 (an invalid one as U+FFFD).
void append_utf8(std::string& out, char32_t code_point);

// Decodes 8-bit text in the code page a CODEPAGE record names (1251, 1252,
// 866, ...). Bytes below 0x80 are ASCII. A byte the code page lacks, and any
// byte >= 0x80 of a code page we do not know, becomes U+FFFD.
std::string decode_codepage(std::string_view bytes, uint16_t codepage);

// True when decode_codepage knows the code page (1200, UTF-16, counts: its
// 8-bit texts are Latin-1 then).
bool is_known_codepage(uint16_t codepage);

// Decodes little-endian UTF-16 (unpaired surrogates become U+FFFD).
std::string decode_utf16le(const uint8_t* data, size_t units);

// Decodes "compressed" 8-bit BIFF8 text: each byte is the low half of a
// UTF-16 unit, i.e. Latin-1.
std::string decode_latin1(const uint8_t* data, size_t count);

// Encodes UTF-8 as windows-1251; a character it cannot hold, and a broken
// UTF-8 sequence, becomes '?'.
std::string encode_windows1251(std::string_view utf8);

// Reads the next code point of UTF-8 text at pos and advances pos; a broken
// sequence yields U+FFFD and advances by one byte.
char32_t next_code_point(std::string_view utf8, size_t& pos);

}  // namespace vers::engine
