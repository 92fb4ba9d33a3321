// Shared by the tests of the .xls reader: the three .xls outputs that
// make_fixtures.sh writes for each source, and small look-ups.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/workbook.h"

namespace vers::engine {

// The .xls outputs of one fixture source, by the writer that made them.
struct XlsOutput {
  const char* suffix;  // appended to the fixture's name
  const char* writer;  // for test names
};

inline const XlsOutput kXlsOutputs[] = {
    {".xls", "LibreOfficeBiff8"},
    {".gnumeric.xls", "GnumericBiff8"},
    {".biff7.xls", "GnumericBiff7"},
};

inline std::string fixture_path(const std::string& file) { return std::string(VERS_FIXTURES_DIR) + "/" + file; }

inline std::vector<uint8_t> read_fixture(const std::string& file) {
  std::ifstream in(fixture_path(file), std::ios::binary);
  EXPECT_TRUE(in) << "no fixture " << file;
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The sheet's index by its name; fails the test when there is none.
inline size_t sheet_index(const Workbook& book, const std::string& name) {
  const std::vector<std::string>& names = book.sheet_names();
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return i;
  ADD_FAILURE() << "no sheet " << name;
  return 0;
}

inline const DefinedName* find_name(const Workbook& book, const std::string& name) {
  for (const DefinedName& n : book.defined_names())
    if (n.name == name) return &n;
  return nullptr;
}

inline std::string output_name(const testing::TestParamInfo<XlsOutput>& info) { return info.param.writer; }

}  // namespace vers::engine
