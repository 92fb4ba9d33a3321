#include "cli/batch_command.h"

#include <exception>
#include <filesystem>

#include "platform/error_text.h"
#include "platform/message_box.h"
#include "verify/document_list.h"
#include "verify/form_run.h"

namespace vers::cli {
namespace {

constexpr std::string_view kHelp =
    "  vers-check [--report ФАЙЛ] [--open] КНИГА...\n"
    "      Проверяет книги форм (.xls, .xlt, .ods, .xlsx) в заданном порядке, как\n"
    "      кнопка проверки в окне, где отмечены все документы: каждая книга\n"
    "      опознаётся по коду P_OKUD и получает свой блок в отчёте Errors.txt\n"
    "      (windows-1251, строки кончаются CR LF). Относительные пути\n"
    "      дополняются текущим каталогом.\n"
    "      --report ФАЙЛ  писать отчёт в ФАЙЛ, а не в Errors.txt в каталоге\n"
    "                     программы; прежнее содержимое заменяется.\n"
    "      --open         открыть отчёт в программе рабочего стола для текстов.\n"
    "      --             дальше только книги, даже если имя начинается с «-».\n"
    "      На стандартный вывод - строка на каждую книгу, поля через табуляцию:\n"
    "        ВЕРНО       ПУТЬ  форма известна, все проверки выполнены;\n"
    "        ОШИБКИ      ПУТЬ  форма известна, есть невыполненные проверки;\n"
    "        НЕИЗВЕСТЕН  ПУТЬ  код формы не из списка или не прочитан;\n"
    "      затем строка ИТОГ со счётом и путём отчёта.\n"
    "      Код выхода: 0 - все книги известны и без ошибок; 1 - есть ошибки или\n"
    "      неизвестные документы; 2 - проверка прервана сбоем (его текст - на\n"
    "      стандартный поток ошибок), не задано ни одной книги или неверна\n"
    "      командная строка. На терминале ход проверки виден в потоке ошибок.\n";

// The run's boxes on the command line: the one message it shows goes to err.
class StreamBoxes : public platform::MessageBoxes {
 public:
  explicit StreamBoxes(std::ostream& err) : err_(err) {}
  void information(const std::string& text) override { err_ << text << "\n"; }
  bool confirm(const std::string& text, const std::string&) override {
    err_ << text << "\n";
    return false;
  }
  void notice(const std::string& text, const std::string&, platform::BoxIcon) override { err_ << text << "\n"; }

 private:
  std::ostream& err_;
};

// Without --open the report stays where it is.
class NoShell : public platform::Shell {
 public:
  void open(const std::string&, platform::ShowMode) override {}
};

std::string one_line(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  return text;
}

// Prints each document's outcome as it is reported, and keeps the count.
class BatchPrinter : public verify::RunObserver {
 public:
  BatchPrinter(std::ostream& out, std::ostream& err, bool progress) : out_(out), err_(err), progress_(progress) {}

  void document_started(size_t index, size_t count, const std::string& path) override {
    if (!progress_) return;
    err_ << "\r\033[KПроверка " << index + 1 << " из " << count << ": " << path << std::flush;
  }

  void document_reported(const verify::DocumentOutcome& outcome) override {
    clear_progress();
    using Kind = verify::DocumentOutcome::Kind;
    ++documents;
    switch (outcome.kind) {
      case Kind::Known:
        if (outcome.failed_checks == 0) {
          ++passed;
          out_ << "ВЕРНО\t" << outcome.path << "\tформа " << outcome.code << ", ошибок не найдено\n";
        } else {
          ++failed;
          out_ << "ОШИБКИ\t" << outcome.path << "\tформа " << outcome.code
               << ", не выполнено проверок: " << outcome.failed_checks << "\n";
        }
        break;
      case Kind::CodeNotAccepted:
        ++unknown;
        out_ << "НЕИЗВЕСТЕН\t" << outcome.path << "\tкод формы «" << one_line(outcome.code)
             << "» не из списка известных форм\n";
        break;
      case Kind::CodeUnread:
        ++unknown;
        out_ << "НЕИЗВЕСТЕН\t" << outcome.path << "\tкод формы не прочитан: " << one_line(outcome.failure) << "\n";
        break;
    }
    out_.flush();
  }

  void clear_progress() {
    if (progress_) err_ << "\r\033[K" << std::flush;
  }

  size_t documents = 0, passed = 0, failed = 0, unknown = 0;

 private:
  std::ostream& out_;
  std::ostream& err_;
  bool progress_;
};

struct Options {
  std::vector<std::string> paths;
  std::string report;
  bool open = false;
  bool help = false;
};

// Returns false after writing what is wrong to err.
bool parse(const std::vector<std::string>& args, const BatchEnvironment& env, Options& options, std::ostream& err) {
  options.report = env.default_report;
  bool only_paths = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (only_paths || a.size() < 2 || a[0] != '-') {
      options.paths.push_back(absolute_document_path(a, env.working_directory));
    } else if (a == "--") {
      only_paths = true;
    } else if (a == "--help" || a == "-h") {
      options.help = true;
    } else if (a == "--open") {
      options.open = true;
    } else if (a == "--report" || a.rfind("--report=", 0) == 0) {
      std::string file;
      if (a == "--report") {
        if (i + 1 >= args.size()) {
          err << "После --report нужно имя файла отчёта.\n";
          return false;
        }
        file = args[++i];
      } else {
        file = a.substr(9);
      }
      if (file.empty()) {
        err << "После --report нужно имя файла отчёта.\n";
        return false;
      }
      options.report = absolute_document_path(file, env.working_directory);
    } else {
      err << "Неизвестный ключ «" << a << "»; справка: vers-check --help.\n";
      return false;
    }
  }
  return true;
}

}  // namespace

std::string_view batch_command_help() { return kHelp; }

std::string absolute_document_path(const std::string& path, const std::string& dir) {
  std::filesystem::path p(path);
  if (p.is_relative()) p = std::filesystem::path(dir) / p;
  return p.lexically_normal().string();
}

int run_batch_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      BatchEnvironment& env) {
  Options options;
  if (!parse(args, env, options, err)) return 2;
  if (options.help) {
    out << kHelp;
    return 0;
  }

  std::vector<verify::DocumentItem> items;
  items.reserve(options.paths.size());
  for (std::string& path : options.paths) items.push_back({std::move(path), true});

  StreamBoxes boxes(err);
  NoShell no_shell;
  platform::Shell& shell = options.open ? env.shell : no_shell;
  verify::FormRun run(boxes, shell, env.clock, env.regional_time, options.report);
  BatchPrinter printer(out, err, env.progress);
  try {
    if (run.VerifyDocuments(verify::DocumentItems(std::move(items)), &printer) == verify::RunEnd::NothingToVerify)
      return 2;
  } catch (const std::exception& failure) {
    printer.clear_progress();
    out.flush();
    err << platform::error_box_text(failure.what()) << "\n";
    return 2;
  }
  out << "ИТОГ\tдокументов: " << printer.documents << ", верно: " << printer.passed
      << ", с ошибками: " << printer.failed << ", неизвестных: " << printer.unknown << "\tотчёт: " << options.report
      << "\n";
  return printer.failed == 0 && printer.unknown == 0 ? 0 : 1;
}

}  // namespace vers::cli
