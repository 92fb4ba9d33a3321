#include "platform/connection_string.h"

#include <gtest/gtest.h>

#include "engine/error.h"

namespace vers::platform {
namespace {

struct ValueCase {
  const char* text;
  const char* key;
  std::optional<std::string> value;
};

TEST(ConnectionString, Values) {
  const std::vector<ValueCase> cases = {
      {"DSN=DataVELM;DBQ=/home/u/f.xls;DefaultDir=/home/u;", "DSN", "DataVELM"},
      {"DSN=DataVELM;DBQ=/home/u/f.xls;DefaultDir=/home/u;", "DBQ", "/home/u/f.xls"},
      {"DSN=DataVELM;DBQ=/home/u/f.xls;DefaultDir=/home/u;", "defaultdir", "/home/u"},
      {" dsn = DataVELM ;  Dbq = /a b/c.xls ", "DBQ", "/a b/c.xls"},  // blanks around keys and values
      {" dsn = DataVELM ;", "DSN", "DataVELM"},
      {"DBQ={ /a b/c.xls };DSN=DataVELM", "DBQ", " /a b/c.xls "},  // braces keep them
      {"DBQ={/a;b/c.xls};DSN=DataVELM", "DBQ", "/a;b/c.xls"},
      {"DBQ={/a}}b/{c}}.xls}", "DBQ", "/a}b/{c}.xls"},
      {"DBQ= {/x;y} ;DSN=DataVELM", "DSN", "DataVELM"},
      {"DBQ=;DSN=DataVELM", "DBQ", ""},
      {";;DSN=DataVELM;;", "DSN", "DataVELM"},
      {"DSN=First;DSN=Second", "DSN", "First"},
      {"DSN=DataVELM", "DBQ", std::nullopt},
      {"", "DSN", std::nullopt},
  };
  for (const ValueCase& c : cases) {
    EXPECT_EQ(ConnectionString::parse(c.text).value(c.key), c.value) << c.text << " / " << c.key;
  }
}

TEST(ConnectionString, Malformed) {
  const std::vector<const char*> cases = {"DSN", "DSN=DataVELM;DBQ", "=x", " =x;DSN=DataVELM", "DBQ={/a;b",
                                          "DBQ={/a}x;DSN=DataVELM"};
  for (const char* text : cases) {
    try {
      ConnectionString::parse(text);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const engine::EngineError& e) {
      EXPECT_NE(std::string(e.what()).find(text), std::string::npos) << e.what();
    }
  }
}

TEST(ConnectionString, QuotedValuesReadBack) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"/home/u/f.xls", "/home/u/f.xls"},
      {"/home/u/a;b.xls", "{/home/u/a;b.xls}"},
      {"/home/u/a}b.xls", "{/home/u/a}}b.xls}"},
      {"/home/u/{x}.xls", "{/home/u/{x}}.xls}"},
      {" lead", "{ lead}"},
      {"/dir/trail.xls ", "{/dir/trail.xls }"},
      {"/dir/in between.xls", "/dir/in between.xls"},
      {"", ""},
  };
  for (const auto& [value, quoted] : cases) {
    EXPECT_EQ(quote_connection_value(value), quoted);
    EXPECT_EQ(ConnectionString::parse("DBQ=" + quote_connection_value(value) + ";DSN=DataVELM").value("DBQ"), value);
  }
}

}  // namespace
}  // namespace vers::platform
