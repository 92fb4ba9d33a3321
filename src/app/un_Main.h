// The main window, frmMain: the one window of the program. It holds the
// nine buttons, the document list control and the three components (the
// file-open dialog, the connection and the query, the last two inside the
// verification run), and wires each control's event to its handler.
#pragma once

#include <QPushButton>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "app/check_list_box.h"
#include "app/open_dialog.h"
#include "app/qt_message_boxes.h"
#include "doclist/document_list_commands.h"
#include "platform/clock.h"
#include "platform/connection.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "platform/query.h"
#include "platform/shell.h"
#include "verify/form_run.h"

namespace vers::app {

// The window's caption.
inline constexpr const char* kMainWindowCaption = "Программный модуль \"ВЕРС 7-МТ\"";
// The manual's file name, in the Program directory.
inline constexpr const char* kManualFileName = "Руководство пользователя.doc";

// What the close handler leaves for the window: stay open, or close.
enum class CloseAction { caNone, caFree };

class TfrmMain : public QWidget {
  Q_OBJECT

  // Declared first, so that they exist before the fields that refer to them.
  // The window's own components are unused where Outside names another.
  OpenDialog own_dialog_;
  QtMessageBoxes own_boxes_;
  platform::SystemClock own_clock_;
  platform::MessageBoxes& boxes_;
  platform::Shell& shell_;
  std::string program_dir_;
  verify::FormRun run_;

 public:
  // What the window reaches outside itself: the shell that opens files and
  // the Program directory (where the report and the manual live), and the
  // boxes, the file dialog and the clock where they are not the window's
  // own (Qt's, and the system's). Tests put recording ones in their place.
  struct Outside {
    platform::Shell& shell;
    std::string program_dir;
    platform::MessageBoxes* boxes = nullptr;
    platform::FileDialog* dialog = nullptr;
    platform::Clock* clock = nullptr;
  };

  explicit TfrmMain(const Outside& outside);
  ~TfrmMain() override;

  // The controls, in declaration order; each lives as long as the window.
  QPushButton* btnQuit;
  platform::FileDialog& OpenDialog1;
  platform::Connection& FormConnection;
  platform::Query& qwData;
  QPushButton* btnVerificationData;
  QPushButton* btnChoiceFile;
  CheckListBox* CheckListBox1;
  QPushButton* btnFillForm;
  QPushButton* btnCheckAll;
  QPushButton* btnUncheckAll;
  QPushButton* btnInvertCheck;
  QPushButton* btnCleanList;
  QPushButton* btnHelp;

  // The event handlers. Each may throw; the window shows what escapes in
  // the default error box (see run_handler).
  void FormCreate();
  // Asks whether to quit; on Yes disconnects a connection that a failed run
  // left open and lets the window close.
  void FormClose(CloseAction& action);
  void btnQuitClick();
  // Opens the first file chosen in the dialog with its own application.
  void btnFillFormClick();
  // Opens the user manual beside the program, restored.
  void btnHelpClick();
  void btnChoiceFileClick();
  void btnCheckAllClick();
  void btnUncheckAllClick();
  void btnInvertCheckClick();
  void btnCleanListClick();
  void CheckListBox1DblClick();
  void btnVerificationDataClick();

  // A file in the Program directory: the manual, the report.
  std::string program_file(const char* name) const;

  // Runs a handler; a failure that escapes it is shown in the default error
  // box (the text with the full-stop rule, the application title, OK and
  // the stop icon), and the program goes on.
  void run_handler(const std::function<void()>& handler);

  // The desktop session is ending or the program was told to stop: the
  // window closes without asking and the event loop ends.
  void end_without_asking();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  QPushButton* make_button(int left, int top, int width, int height, const char* picture);
  void place_on_desktop();
  void wire(QPushButton* button, void (TfrmMain::*handler)());

  std::unique_ptr<doclist::DocumentListCommands> list_commands_;
  bool ending_ = false;
  QSize placed_outer_size_;  // the outer size the window was centred with
};

}  // namespace vers::app
