#include "engine/statement/syntax_error.h"

#include <string>

namespace vers::engine {

void throw_syntax_error(size_t position, std::string_view found, std::string_view what) {
  std::string message = "Ошибка синтаксиса в инструкции SQL в позиции " + std::to_string(position) + ": ";
  if (found.empty()) {
    message += "инструкция кончилась";
  } else {
    message += "найдено «" + std::string(found) + "»";
  }
  if (!what.empty()) message += "; " + std::string(what);
  throw EngineError(message);
}

}  // namespace vers::engine
