#include "cli/query_command.h"

#include <filesystem>
#include <stdexcept>

#include "cli/batch_command.h"
#include "platform/connection.h"
#include "platform/connection_string.h"
#include "platform/error_text.h"
#include "platform/query.h"
#include "platform/short_dir.h"
#include "verify/document_path.h"

namespace vers::cli {
namespace {

constexpr std::string_view kHelp =
    "  vers-check --query \"ИНСТРУКЦИЯ\" ФАЙЛ\n"
    "      Выполняет инструкцию SELECT над книгой ФАЙЛ так же, как её выполняет\n"
    "      проверка, и печатает результат строками, разделёнными табуляцией:\n"
    "      сначала имена столбцов, затем по строке на запись. Пустое значение\n"
    "      печатается как ничего, табуляция, перевод строки, возврат каретки и\n"
    "      обратная косая черта внутри значения - как \\t, \\n, \\r и \\\\.\n"
    "      Таблица - имя области книги (Data_Adr, T_Check) или лист [Лист1$].\n"
    "      Пример: vers-check --query \"Select Val from Data_Adr Where ID_Element = 'P_OKUD'\" форма.xls\n"
    "      Код выхода 0; при ошибке её текст выводится в stderr, код выхода 2.\n";

std::string escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

// The connection string as the batch mode's run builds it for a document:
// the path made absolute as a file dialog returns it, split into directory
// and file name, and the directory's stand-in for a short form.
std::string connection_string_for(const std::string& file) {
  std::string path = absolute_document_path(file, std::filesystem::current_path().string());
  verify::DocumentPathParts parts = verify::split_document_path(path);
  return platform::form_connection_string(platform::short_directory(parts.directory), parts.file_name);
}

void print_row(std::ostream& out, const std::vector<std::string>& fields) {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out << '\t';
    out << escaped(fields[i]);
  }
  out << '\n';
}

}  // namespace

std::string_view query_command_help() { return kHelp; }

int run_query_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 2) {
    err << "Ожидаются инструкция и файл книги: vers-check --query \"ИНСТРУКЦИЯ\" ФАЙЛ.\n";
    return 2;
  }
  if (args[1].empty()) {
    err << "Не указан файл книги.\n";
    return 2;
  }
  try {
    platform::Connection connection;
    connection.set_connection_string(connection_string_for(args[1]));
    connection.connect();
    platform::Query query(connection);
    query.set_sql(args[0]);
    query.open();
    print_row(out, query.column_names());
    size_t columns = query.column_names().size();
    for (; !query.eof(); query.next()) {
      std::vector<std::string> fields;
      for (size_t i = 0; i < columns; ++i) fields.push_back(query.field_text(i));
      print_row(out, fields);
    }
    out.flush();
    return 0;
  } catch (const std::exception& e) {
    err << platform::error_box_text(e.what()) << '\n';
    return 2;
  }
}

}  // namespace vers::cli
