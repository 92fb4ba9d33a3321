// The failure of a statement or filter outside the dialect: says where.
#pragma once

#include <cstddef>
#include <string_view>

#include "engine/error.h"

namespace vers::engine {

// "Ошибка синтаксиса в инструкции SQL в позиции N: найдено «FOUND»; what".
[[noreturn]] void throw_syntax_error(size_t position, std::string_view found, std::string_view what);

}  // namespace vers::engine
