// One form check as the benchmarks run it: open the workbook through the
// connection and run the statements of a check (identification, element
// captions, failed checks), handing each line the report writer would read
// to emit: the form code, each element's caption, each failed check.
#pragma once

#include <filesystem>
#include <string>
#include <utility>

#include "platform/connection.h"
#include "platform/query.h"

namespace vers_bench {

namespace fs = std::filesystem;
using vers::platform::Connection;
using vers::platform::Query;

constexpr const char* kIdentify = "Select Val from Data_Adr Where ID_Element = 'P_OKUD'";
constexpr const char* kCaptions = "Select (Name &  Val) as CaptionInForm, ID_Element from Data_Adr";
constexpr const char* kChecks =
    "Select ID_Form, ID_Section, ID_Rule, ID_Check, Name, Result from T_Check where Result>0 "
    "Order by ID_Form, ID_Section, ID_Rule, ID_Check";

inline std::string connection_string(const fs::path& workbook) {
  const fs::path full = fs::absolute(workbook);
  return "DSN=DataVELM;DBQ=" + full.string() + ";DefaultDir=" + full.parent_path().string() + ";";
}

template <typename Emit>
void check_form(const fs::path& workbook, Emit&& emit) {
  Connection connection;
  connection.set_connection_string(connection_string(workbook));
  connection.connect();
  Query query(connection);

  query.set_sql(kIdentify);
  query.open();
  emit("P_OKUD\t" + query.field_text("Val"));

  query.set_sql(kCaptions);
  query.open();
  for (; !query.eof(); query.next()) emit(query.field_text("CaptionInForm") + "\t" + query.field_text("ID_Element"));

  query.set_sql(kChecks);
  query.open();
  for (; !query.eof(); query.next()) {
    std::string line;
    for (size_t i = 0; i < query.column_names().size(); ++i) {
      if (i) line += '\t';
      line += query.field_text(i);
    }
    emit(std::move(line));
  }
  query.close();
  connection.disconnect();
}

}  // namespace vers_bench
