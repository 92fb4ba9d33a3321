#include "platform/error_text.h"

#include <gtest/gtest.h>

#include <ostream>

namespace vers::platform {
namespace {

struct Case {
  const char* failure;
  const char* shown;
};

// Names each case by its text in test listings.
void PrintTo(const Case& c, std::ostream* os) { *os << '"' << c.failure << '"'; }

class ErrorBoxTextTest : public ::testing::TestWithParam<Case> {};

TEST_P(ErrorBoxTextTest, AddsAFullStopAfterACharacterThatSortsAfterIt) {
  EXPECT_EQ(error_box_text(GetParam().failure), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    LastCharacters, ErrorBoxTextTest,
    ::testing::Values(Case{"File not found", "File not found."}, Case{"I/O error 28", "I/O error 28."},
                      Case{"Таблица «T_Check» не найдена", "Таблица «T_Check» не найдена."},
                      Case{"нет файла", "нет файла."}, Case{"Причина:", "Причина:."}, Case{"Как?", "Как?."},
                      Case{"Готово.", "Готово."}, Case{"Ошибка!", "Ошибка!"}, Case{"(код 5)", "(код 5)"},
                      Case{"с пробелом ", "с пробелом "}, Case{"a-", "a-"}, Case{"a,", "a,"},
                      Case{"/", "/."}, Case{"", ""}));

}  // namespace
}  // namespace vers::platform
