#include "engine/biff/messages.h"

#include <cstdio>

#include "engine/error.h"

namespace vers::engine::biff {

void throw_damaged(const std::string& book, const std::string& what) {
  throw EngineError("Книга «" + book + "» повреждена: " + what);
}

std::string describe_record(uint16_t type, size_t offset) {
  char text[64];
  std::snprintf(text, sizeof text, "запись 0x%04X по смещению %zu", static_cast<unsigned>(type), offset);
  return text;
}

}  // namespace vers::engine::biff

namespace vers::engine::biff {

void throw_password_protected(const std::string& book) { throw EngineError("Книга «" + book + "» защищена паролем"); }

void throw_old_format(const std::string& book) {
  throw EngineError("Книга «" + book +
                    "» сохранена в формате Excel 2.x–4.0, который не поддерживается: сохраните её в формате "
                    "Excel 97–2003");
}

}  // namespace vers::engine::biff
