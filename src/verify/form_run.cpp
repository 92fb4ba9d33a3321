#include "verify/form_run.h"

#include <exception>

#include "platform/short_dir.h"
#include "platform/connection_string.h"
#include "verify/document_path.h"

namespace vers::verify {
namespace {

constexpr const char* kCodeQuery = "Select Val from Data_Adr Where ID_Element = 'P_OKUD'";

std::string failure_text(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "неизвестная ошибка";
  }
}

}  // namespace

FormRun::FormRun(platform::MessageBoxes& boxes, platform::Shell& shell, platform::Clock& clock,
                 platform::RegionalTime regional_time, std::string report_path)
    : boxes_(boxes),
      shell_(shell),
      clock_(clock),
      regional_time_(std::move(regional_time)),
      report_path_(std::move(report_path)) {}

bool FormRun::Form_ID_Check(std::string_view code) {
  std::string framed = "#";
  framed += code;
  framed += '#';
  return AllowedFormCodes.find(framed) != std::string_view::npos;
}

bool FormRun::ConnectToForm(const std::string& path) {
  try {
    DocumentPathParts parts = split_document_path(path);
    FormFileName = parts.file_name;
    FormDirShort = platform::short_directory(parts.directory);
    FormConnString = platform::form_connection_string(FormDirShort, FormFileName);
    if (FormConnection.connected()) FormConnection.disconnect();
    FormConnection.set_connection_string(FormConnString);
    FormConnection.connect();
    return FormConnection.connected();
  } catch (...) {
    connect_failure_ = failure_text(std::current_exception());
    FormConnString.clear();
    FormFileName.clear();
    FormDirShort.clear();
    return false;
  }
}

RunEnd FormRun::VerifyDocuments(const DocumentList& list, RunObserver* observer) {
  const size_t count = list.count();
  if (count == 0) {
    boxes_.information(std::string(kNothingToVerify));
    return RunEnd::NothingToVerify;
  }
  bool first_document = true;
  size_t unticked = 0;
  for (size_t i = 0; i < count; ++i) {
    if (!list.checked(i)) {
      if (++unticked == count) {
        boxes_.information(std::string(kNothingToVerify));
        return RunEnd::NothingToVerify;
      }
      continue;
    }
    FormFilePath = list.text(i);
    if (observer) observer->document_started(i, count, FormFilePath);

    DocumentOutcome outcome;
    outcome.index = i;
    outcome.path = FormFilePath;
    std::string code;
    // Identification: whatever fails here only makes the document unknown.
    try {
      connect_failure_.clear();
      if (ConnectToForm(FormFilePath)) {
        qwData.set_sql(kCodeQuery);
        qwData.open();
        outcome.code = qwData.field_as_string("Val");
        code = Form_ID_Check(outcome.code) ? outcome.code : "0";
      } else {
        outcome.failure = connect_failure_;
      }
    } catch (...) {
      outcome.failure = failure_text(std::current_exception());
    }

    outcome.failed_checks = Verification(first_document, code);
    first_document = false;
    FormConnection.disconnect();

    if (is_known_code(code))
      outcome.kind = DocumentOutcome::Kind::Known;
    else
      outcome.kind = code.empty() ? DocumentOutcome::Kind::CodeUnread : DocumentOutcome::Kind::CodeNotAccepted;
    if (observer) observer->document_reported(outcome);
  }
  qwData.close();
  FormConnection.disconnect();
  shell_.open(report_path_, platform::ShowMode::Normal);
  return RunEnd::Completed;
}

}  // namespace vers::verify
