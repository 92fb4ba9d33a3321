// The report writer: one report block per document, appended to the report
// file, which is opened and closed again by every call.
#include <string>
#include <string_view>

#include "platform/text_file.h"
#include "verify/form_run.h"

namespace vers::verify {
namespace {

constexpr std::string_view kElementQuery = "Select (Name &  Val) as CaptionInForm, ID_Element from Data_Adr";
constexpr std::string_view kCheckQuery =
    "Select ID_Form, ID_Section, ID_Rule, ID_Check, Name, Result from T_Check where Result>0 "
    "Order by ID_Form, ID_Section, ID_Rule, ID_Check";
constexpr std::string_view kFormNameFilter = " ID_Element = 'P_FormName'";
constexpr std::string_view kNameFilter = " ID_Element = 'P_Name'";

constexpr std::string_view kBannerEdge = "******************************************************************";
constexpr std::string_view kBannerMessage = "***      Ошибка №1: Неизвестный документ!!!      ***";
constexpr std::string_view kNoErrors = "Ошибки в документе не найдены.";
constexpr const char* kLineEnd = "\r\n";  // as TextFile::end_line ends a line

}  // namespace

bool FormRun::is_known_code(std::string_view code) {
  // std::string_view compares as unsigned bytes, the shorter text first
  // when one is a prefix of the other.
  return code > std::string_view("0");
}

// A line and its end go to the file in one write: a report of many lines
// costs one system call per line.
void FormRun::write_line(platform::TextFile& report, std::string_view text) {
  std::string line(text);
  line += kLineEnd;
  report.write(line);
}

size_t FormRun::Verification(bool first_document, const std::string& code) {
  platform::TextFile report;
  if (first_document) platform::TextFile::create_empty(report_path_);
  report.open_append(report_path_);

  write_line(report, "Файл: " + FormFilePath);
  platform::LocalDateTime now = clock_.now();
  write_line(report, "Дата: " + regional_time_.date_text(now) + "   " + regional_time_.time_text(now));

  size_t failed_checks = 0;
  if (is_known_code(code)) {
    if (qwData.active()) qwData.close();
    qwData.set_sql(std::string(kElementQuery));
    qwData.open();
    if (!qwData.is_empty()) {
      qwData.set_filtered(false);
      qwData.set_filter(std::string(kFormNameFilter));
      qwData.set_filtered(true);
      write_line(report, qwData.field_text("CaptionInForm"));
      qwData.set_filtered(false);
      qwData.set_filter(std::string(kNameFilter));
      qwData.set_filtered(true);
      write_line(report, qwData.field_text("CaptionInForm"));
      qwData.set_filtered(false);
      qwData.set_filter("");
    }

    if (qwData.active()) qwData.close();
    qwData.set_sql(std::string(kCheckQuery));
    qwData.open();
    if (qwData.is_empty()) {
      write_line(report, kNoErrors);
    } else {
      for (; !qwData.eof(); qwData.next()) {
        write_line(report, qwData.field_text("Name"));
        ++failed_checks;
      }
    }
    qwData.close();
    qwData.set_sql("");
  } else {
    write_line(report, kBannerEdge);
    write_line(report, kBannerMessage);
    write_line(report, kBannerEdge);
  }

  // The completion line, then three empty lines.
  write_line(report, "Проверка завершена: " + regional_time_.time_text(clock_.now()) + "." + kLineEnd + kLineEnd +
                         kLineEnd);
  report.close();
  return failed_checks;
}

}  // namespace vers::verify
