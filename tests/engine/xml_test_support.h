// Shared by the tests of the zip container and the XML workbook readers:
// fixture bytes, and zip archives written by minizip from members given in
// the test, for the hostile and damaged archives that no spreadsheet
// application would save.
#pragma once

#include <gtest/gtest.h>
#include <minizip/zip.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "engine/error.h"
#include "engine/workbook.h"
#include "value_printing.h"

namespace vers::engine::xml_test {

inline std::string fixture(const std::string& file) { return std::string(VERS_FIXTURES_DIR) + "/" + file; }

inline std::vector<uint8_t> read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << "cannot read " << path;
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Member {
  std::string name;
  std::string data;
};

// A zip archive of the members, deflated unless stored is set; with zip64
// set, every member carries the 64-bit sizes and offsets.
inline std::vector<uint8_t> make_zip(const std::vector<Member>& members, bool stored = false, bool zip64 = false) {
  char path[] = "/tmp/vers_xml_test_XXXXXX";
  const int fd = mkstemp(path);
  EXPECT_GE(fd, 0);
  close(fd);
  zipFile z = zipOpen64(path, APPEND_STATUS_CREATE);
  EXPECT_NE(z, nullptr);
  for (const Member& m : members) {
    zip_fileinfo info{};
    EXPECT_EQ(zipOpenNewFileInZip64(z, m.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                    stored ? 0 : Z_DEFLATED, stored ? 0 : Z_DEFAULT_COMPRESSION, zip64 ? 1 : 0),
              ZIP_OK)
        << m.name;
    EXPECT_EQ(zipWriteInFileInZip(z, m.data.data(), unsigned(m.data.size())), ZIP_OK) << m.name;
    EXPECT_EQ(zipCloseFileInZip(z), ZIP_OK) << m.name;
  }
  EXPECT_EQ(zipClose(z, nullptr), ZIP_OK);
  std::vector<uint8_t> bytes = read_bytes(path);
  std::remove(path);
  return bytes;
}

// The members of a minimal OpenDocument spreadsheet around a content.xml.
inline std::vector<Member> ods_members(std::string content) {
  return {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
          {"content.xml", std::move(content)},
          {"META-INF/manifest.xml",
           "<?xml version=\"1.0\"?><manifest:manifest "
           "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
           "<manifest:file-entry manifest:full-path=\"/\" "
           "manifest:media-type=\"application/vnd.oasis.opendocument.spreadsheet\"/>"
           "<manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>"
           "</manifest:manifest>"}};
}

// content.xml of a spreadsheet whose body (tables, named expressions) is given.
inline std::string ods_content(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
         "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
         "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
         "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
         "xmlns:calcext=\"urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0\">"
         "<office:body><office:spreadsheet>" +
         body + "</office:spreadsheet></office:body></office:document-content>";
}

// The members of a minimal Office Open XML workbook with one sheet "S"
// whose sheetData is given, and optional shared strings.
inline std::vector<Member> xlsx_members(const std::string& sheet_data, const std::string& shared_strings = "") {
  const std::string ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  const std::string pkg = "http://schemas.openxmlformats.org/package/2006/relationships";
  std::vector<Member> members = {
      {"[Content_Types].xml",
       "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>"},
      {"_rels/.rels", "<?xml version=\"1.0\"?><Relationships xmlns=\"" + pkg +
                          "\"><Relationship Id=\"r1\" Type=\"" + rel +
                          "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
      {"xl/workbook.xml", "<?xml version=\"1.0\"?><workbook xmlns=\"" + ns + "\" xmlns:r=\"" + rel +
                              "\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rS\"/></sheets></workbook>"},
      {"xl/_rels/workbook.xml.rels",
       "<?xml version=\"1.0\"?><Relationships xmlns=\"" + pkg + "\"><Relationship Id=\"rS\" Type=\"" + rel +
           "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rT\" Type=\"" + rel +
           "/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>"},
      {"xl/worksheets/sheet1.xml",
       "<?xml version=\"1.0\"?><worksheet xmlns=\"" + ns + "\"><sheetData>" + sheet_data + "</sheetData></worksheet>"},
  };
  if (!shared_strings.empty())
    members.push_back({"xl/sharedStrings.xml", "<?xml version=\"1.0\"?><sst xmlns=\"" + ns + "\">" + shared_strings + "</sst>"});
  return members;
}

// The message of the EngineError that f throws, or "" (and a failure) when
// it throws none.
template <typename F>
std::string engine_error(F&& f) {
  try {
    f();
  } catch (const EngineError& e) {
    return e.what();
  }
  ADD_FAILURE() << "no EngineError";
  return "";
}

inline Value num(double v) { return Value::number(v); }
inline Value txt(std::string v) { return Value::text(std::move(v)); }
inline Value boolean(bool v) { return Value::boolean(v); }

// Compares a grid with the expected rows; numbers within 1e-9, since dates
// and times are fractions of a day.
inline void expect_grid(const CellGrid& grid, const std::vector<std::vector<Value>>& expected) {
  ASSERT_EQ(grid.rows, expected.size());
  for (uint32_t r = 0; r < grid.rows; ++r) {
    ASSERT_EQ(grid.cols, expected[r].size());
    for (uint32_t c = 0; c < grid.cols; ++c) {
      const Value& want = expected[r][c];
      if (want.is_number() && grid.at(r, c).is_number())
        EXPECT_NEAR(grid.at(r, c).as_number(), want.as_number(), 1e-9) << r << "," << c;
      else
        EXPECT_EQ(grid.at(r, c), want) << r << "," << c;
    }
  }
}

}  // namespace vers::engine::xml_test
