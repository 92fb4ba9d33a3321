// The failures of the BIFF reader, worded for the user.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vers::engine::biff {

// "Книга «book» повреждена: what"
[[noreturn]] void throw_damaged(const std::string& book, const std::string& what);

// Names a record for such a message: "запись 0x00FC по смещению 1234".
std::string describe_record(uint16_t type, size_t offset);

}  // namespace vers::engine::biff

namespace vers::engine::biff {

// "Книга «book» защищена паролем"
[[noreturn]] void throw_password_protected(const std::string& book);

// A workbook of Excel 2.x to 4.0, whose records this reader does not know.
[[noreturn]] void throw_old_format(const std::string& book);

}  // namespace vers::engine::biff
