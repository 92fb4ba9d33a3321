// Third-party OpenDocument and Office Open XML workbooks: each opens, or
// fails with a clear message naming it, and every sheet reads within
// bounds; binary .xlsb workbooks, a format not read here, fail as not a
// workbook. What the files contain is not asserted: they are not ours.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/error.h"
#include "engine/workbook.h"

namespace vers::engine {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> xml_corpus_files() {
  std::vector<std::string> files;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(fs::path(VERS_CORPUS_DIR), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string ext = it->path().extension().string();
    if (ext == ".ods" || ext == ".xlsx" || ext == ".xlsm" || ext == ".xlsb") files.push_back(it->path().string());
  }
  std::sort(files.begin(), files.end());
  if (files.empty()) files.push_back("");  // keeps the suite, which then skips
  return files;
}

std::string test_name(const testing::TestParamInfo<std::string>& info) {
  std::string name = fs::path(info.param).filename().string();
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name.empty() ? "none" : name + "_" + std::to_string(info.index);
}

bool starts_as_zip(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  char head[4] = {};
  const size_t n = std::fread(head, 1, 4, f);
  std::fclose(f);
  return n == 4 && head[0] == 'P' && head[1] == 'K' && head[2] == 3 && head[3] == 4;
}

class XmlCorpus : public testing::TestWithParam<std::string> {};

TEST_P(XmlCorpus, OpensOrFailsCleanly) {
  const std::string path = GetParam();
  if (path.empty()) GTEST_SKIP() << "no corpus in " << VERS_CORPUS_DIR;
  const std::string file = fs::path(path).filename().string();
  std::unique_ptr<Workbook> book;
  try {
    book = open_workbook(path);
  } catch (const EngineError& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find(file), std::string::npos) << message;
    if (fs::path(path).extension() == ".xlsb" && starts_as_zip(path))
      EXPECT_NE(message.find("не является книгой"), std::string::npos) << message;
    return;
  }
  EXPECT_NE(fs::path(path).extension(), ".xlsb") << "a binary workbook opened";
  for (size_t sheet = 0; sheet < book->sheet_names().size(); ++sheet) {
    try {
      const auto used = book->used_area(sheet);
      if (!used) continue;
      // The first rows of the used area, at most a few thousand cells.
      CellArea head = *used;
      head.last_col = std::min(head.last_col, head.first_col + 255);
      head.last_row = std::min<uint64_t>(head.last_row, head.first_row + 4096 / head.cols());
      const CellGrid grid = book->read_area(sheet, head);
      EXPECT_EQ(grid.cells.size(), size_t(head.rows()) * head.cols());
    } catch (const EngineError& e) {
      EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Files, XmlCorpus, testing::ValuesIn(xml_corpus_files()), test_name);

}  // namespace
}  // namespace vers::engine
