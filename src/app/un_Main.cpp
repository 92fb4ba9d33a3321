#include "app/un_Main.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMoveEvent>
#include <QScreen>
#include <QShowEvent>
#include <exception>

#include "app/button_picture.h"
#include "app/window_font.h"
#include "platform/error_text.h"

namespace vers::app {

namespace {

constexpr int kClientWidth = 662;
constexpr int kClientHeight = 187;
constexpr int kPictureSize = 24;
constexpr const char* kReportFileName = "Errors.txt";

// The document list as the run reads it: the ticks and texts of the items.
class ListForRun : public verify::DocumentList {
 public:
  explicit ListForRun(const doclist::CheckList& list) : list_(list) {}
  size_t count() const override { return static_cast<size_t>(list_.count()); }
  bool checked(size_t index) const override { return list_.ticked(static_cast<int>(index)); }
  std::string text(size_t index) const override { return list_.text(static_cast<int>(index)); }

 private:
  const doclist::CheckList& list_;
};

}  // namespace

TfrmMain::TfrmMain(const Outside& outside)
    : QWidget(nullptr,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                  Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      own_dialog_(this),
      own_boxes_(this),
      boxes_(outside.boxes ? *outside.boxes : own_boxes_),
      shell_(outside.shell),
      program_dir_(outside.program_dir),
      run_(boxes_, shell_, outside.clock ? *outside.clock : own_clock_, platform::RegionalTime(),
           program_file(kReportFileName)),
      OpenDialog1(outside.dialog ? *outside.dialog : own_dialog_),
      FormConnection(run_.connection()),
      qwData(run_.query()) {
  setObjectName("frmMain");
  setWindowTitle(QString::fromUtf8(kMainWindowCaption));
  setFont(window_font());
  setFixedSize(kClientWidth, kClientHeight);

  // Created in declaration order; the tab order below is the table's, not this.
  btnQuit = make_button(8, 128, 145, 33, "btnQuit");
  btnQuit->setText(QString::fromUtf8("Завершить работу"));
  btnVerificationData = make_button(8, 88, 145, 33, "btnVerificationData");
  btnVerificationData->setText(QString::fromUtf8("Проверка по ВЕРС"));
  btnChoiceFile = make_button(8, 48, 145, 33, "btnChoiceFile");
  btnChoiceFile->setText(QString::fromUtf8("Выбор файлов"));
  CheckListBox1 = new CheckListBox(this);
  CheckListBox1->setObjectName("CheckListBox1");
  CheckListBox1->setGeometry(160, 9, 447, 169);
  btnFillForm = make_button(8, 8, 145, 33, "btnFillForm");
  btnFillForm->setText(QString::fromUtf8("Заполнить форму"));
  btnCheckAll = make_button(616, 8, 38, 33, "btnCheckAll");
  btnCheckAll->setToolTip(QString::fromUtf8("Выбрать все"));
  btnUncheckAll = make_button(616, 41, 38, 36, "btnUncheckAll");
  btnUncheckAll->setToolTip(QString::fromUtf8("Отменить все"));
  btnInvertCheck = make_button(616, 77, 38, 33, "btnInvertCheck");
  btnInvertCheck->setToolTip(QString::fromUtf8("Инвертировать выбранное"));
  btnCleanList = make_button(616, 111, 38, 33, "btnCleanList");
  btnCleanList->setToolTip(QString::fromUtf8("Удалить выделенные файлы из списка"));
  btnHelp = make_button(616, 144, 38, 33, "btnHelp");
  btnHelp->setToolTip(QString::fromUtf8("Руководство пользователя"));

  QWidget* tab_order[] = {btnFillForm,   btnChoiceFile,  btnVerificationData,
                          btnQuit,       CheckListBox1,  btnCheckAll,
                          btnUncheckAll, btnInvertCheck, btnCleanList,
                          btnHelp};
  for (size_t i = 1; i < std::size(tab_order); ++i)
    setTabOrder(tab_order[i - 1], tab_order[i]);

  list_commands_ = std::make_unique<doclist::DocumentListCommands>(
      CheckListBox1->list(), *CheckListBox1, boxes_, OpenDialog1, shell_);

  wire(btnFillForm, &TfrmMain::btnFillFormClick);
  wire(btnChoiceFile, &TfrmMain::btnChoiceFileClick);
  wire(btnVerificationData, &TfrmMain::btnVerificationDataClick);
  wire(btnQuit, &TfrmMain::btnQuitClick);
  wire(btnCheckAll, &TfrmMain::btnCheckAllClick);
  wire(btnUncheckAll, &TfrmMain::btnUncheckAllClick);
  wire(btnInvertCheck, &TfrmMain::btnInvertCheckClick);
  wire(btnCleanList, &TfrmMain::btnCleanListClick);
  wire(btnHelp, &TfrmMain::btnHelpClick);
  connect(CheckListBox1, &CheckListBox::dblClick, this,
          [this] { run_handler([this] { CheckListBox1DblClick(); }); });

  run_handler([this] { FormCreate(); });
  place_on_desktop();
}

TfrmMain::~TfrmMain() = default;

QPushButton* TfrmMain::make_button(int left, int top, int width, int height,
                                   const char* picture) {
  auto* button = new QPushButton(this);
  button->setObjectName(picture);
  button->setGeometry(left, top, width, height);
  button->setIcon(button_picture(picture));
  button->setIconSize(QSize(kPictureSize, kPictureSize));
  // Enter presses the button that has the focus, as Space does.
  button->setAutoDefault(true);
  return button;
}

void TfrmMain::wire(QPushButton* button, void (TfrmMain::*handler)()) {
  connect(button, &QPushButton::clicked, this,
          [this, handler] { run_handler([this, handler] { (this->*handler)(); }); });
}

void TfrmMain::run_handler(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& failure) {
    boxes_.notice(platform::error_box_text(failure.what()), kApplicationTitle,
                  platform::BoxIcon::Stop);
  }
}

// Centred on the area that spans all screens, the frame included once the
// window system has told its size.
void TfrmMain::place_on_desktop() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect desktop = screen->virtualGeometry();
  const QSize outer = frameGeometry().size();
  placed_outer_size_ = outer;
  move(desktop.left() + (desktop.width() - outer.width()) / 2,
       desktop.top() + (desktop.height() - outer.height()) / 2);
}

void TfrmMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) place_on_desktop();
}

// The window manager adds its frame after the window is shown: centre the
// window again, frame included, once its outer size is known.
void TfrmMain::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (isVisible() && frameGeometry().size() != placed_outer_size_) place_on_desktop();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (ending_) {
    event->accept();
    return;
  }
  // The window stays open unless the handler ends with an action other than
  // caNone; a failure inside it leaves the window open too.
  CloseAction action = CloseAction::caNone;
  run_handler([&] {
    CloseAction proposed = CloseAction::caFree;
    FormClose(proposed);
    action = proposed;
  });
  if (action == CloseAction::caNone)
    event->ignore();
  else
    event->accept();
}

void TfrmMain::end_without_asking() {
  ending_ = true;
  QCoreApplication::exit(0);
}

// --- the handlers of this window -------------------------------------------

void TfrmMain::FormCreate() { list_commands_->FormCreate(); }

void TfrmMain::FormClose(CloseAction& action) {
  if (boxes_.confirm("Вы действительно хотите выйти из программы?", "Сообщение")) {
    if (FormConnection.connected()) FormConnection.disconnect();
    action = CloseAction::caFree;
  } else {
    action = CloseAction::caNone;
  }
}

void TfrmMain::btnQuitClick() { close(); }

void TfrmMain::btnFillFormClick() {
  const auto chosen = OpenDialog1.execute();
  if (!chosen || chosen->empty()) return;
  shell_.open(chosen->front(), platform::ShowMode::Normal);
}

std::string TfrmMain::program_file(const char* name) const {
  std::string path = program_dir_;
  if (path.empty() || path.back() != '/') path += '/';
  return path + name;
}

void TfrmMain::btnHelpClick() {
  shell_.open(program_file(kManualFileName), platform::ShowMode::Restore);
}

// --- the document list and the run -----------------------------------------

void TfrmMain::btnChoiceFileClick() { list_commands_->btnChoiceFileClick(); }
void TfrmMain::btnCheckAllClick() { list_commands_->btnCheckAllClick(); }
void TfrmMain::btnUncheckAllClick() { list_commands_->btnUncheckAllClick(); }
void TfrmMain::btnInvertCheckClick() { list_commands_->btnInvertCheckClick(); }
void TfrmMain::btnCleanListClick() { list_commands_->btnCleanListClick(); }
void TfrmMain::CheckListBox1DblClick() { list_commands_->CheckListBox1DblClick(); }

void TfrmMain::btnVerificationDataClick() {
  run_.VerifyDocuments(ListForRun(CheckListBox1->list()));
}

}  // namespace vers::app
