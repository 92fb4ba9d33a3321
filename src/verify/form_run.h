// The verification run: every ticked document of a Document list is opened,
// identified by its P_OKUD code and given its report block in the report
// file (Errors.txt in the program directory unless the caller names
// another). The window's button, the command-line checker and the tests
// drive this same class.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/connection.h"
#include "platform/message_box.h"
#include "platform/query.h"
#include "platform/regional_time.h"
#include "platform/shell.h"
#include "verify/document_list.h"

namespace vers::platform {
class TextFile;
}

namespace vers::verify {

// The accepted form codes, each framed by '#'.
inline constexpr std::string_view AllowedFormCodes =
    "#0606024#0606021#0606020#0606026#0000001#0000002#0609552#0609535#0609549#0609541#0609537#0609546#";

// The message of a run with nothing ticked.
inline constexpr std::string_view kNothingToVerify = "Выберите документ для проверки.";

// What became of one document, for callers that show progress or sum up.
// It changes nothing in the report.
struct DocumentOutcome {
  enum class Kind {
    Known,            // code accepted: failed checks, or none
    CodeNotAccepted,  // a code was read but is not one of AllowedFormCodes
    CodeUnread,       // the workbook could not be opened or its code read
  };
  size_t index = 0;  // the item's position in the list
  std::string path;
  Kind kind = Kind::CodeUnread;
  std::string code;          // the code as read (Known, CodeNotAccepted)
  std::string failure;       // CodeUnread: the text of the failure swallowed
  size_t failed_checks = 0;  // Known: the failed-check lines written
};

class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // Before a ticked document is opened.
  virtual void document_started(size_t index, size_t count, const std::string& path) = 0;
  // After its report block is complete in the report file.
  virtual void document_reported(const DocumentOutcome& outcome) = 0;
};

enum class RunEnd {
  NothingToVerify,  // empty list or nothing ticked: the message was shown
  Completed,        // every ticked document reported, the report handed to the shell
};

class FormRun {
 public:
  FormRun(platform::MessageBoxes& boxes, platform::Shell& shell, platform::Clock& clock,
          platform::RegionalTime regional_time, std::string report_path);
  FormRun(const FormRun&) = delete;
  FormRun& operator=(const FormRun&) = delete;

  // The run (the verification button's handler). A failure of the report
  // writer, such as an InOutError or a statement the workbook cannot
  // answer, leaves the run at once: earlier report blocks stay complete in
  // the file, later documents are not verified and the shell is not called.
  RunEnd VerifyDocuments(const DocumentList& list, RunObserver* observer = nullptr);

  // Builds the connection string for the workbook at path, keeps it and the
  // path's parts in the fields, and connects. True when connected; never
  // throws (a failure empties the three fields and gives false).
  bool ConnectToForm(const std::string& path);

  // True when "#" + code + "#" occurs in AllowedFormCodes, byte for byte.
  static bool Form_ID_Check(std::string_view code);

  // The report writer: appends the report block of the document in
  // FormFilePath, starting the file afresh when first_document is true. A
  // code text that sorts after "0" takes the known-document branch, read
  // through qwData on FormConnection; any other the unknown-document
  // banner. Returns the number of failed-check lines written.
  size_t Verification(bool first_document, const std::string& code);

  // True when a code text takes the known-document branch of Verification.
  static bool is_known_code(std::string_view code);

  const std::string& report_path() const { return report_path_; }
  const std::string& form_file_path() const { return FormFilePath; }
  const std::string& form_file_name() const { return FormFileName; }
  const std::string& form_dir_short() const { return FormDirShort; }
  const std::string& form_conn_string() const { return FormConnString; }
  // The connection and the query; the window disconnects a connection left
  // connected by a failed run when it closes.
  platform::Connection& connection() { return FormConnection; }
  platform::Query& query() { return qwData; }

 private:
  static void write_line(platform::TextFile& report, std::string_view text);

  platform::MessageBoxes& boxes_;
  platform::Shell& shell_;
  platform::Clock& clock_;
  platform::RegionalTime regional_time_;
  std::string report_path_;

  platform::Connection FormConnection;
  platform::Query qwData{FormConnection};
  std::string FormFilePath;
  std::string FormFileName;
  std::string FormDirShort;
  std::string FormConnString;
  std::string connect_failure_;  // the text ConnectToForm swallowed last
};

}  // namespace vers::verify
