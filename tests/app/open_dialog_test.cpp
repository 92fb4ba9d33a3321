// The real file-open dialog, driven while it is open: its settings, what it
// returns, and what it remembers from one opening to the next.
#include <QApplication>
#include <QDialogButtonBox>
#include <QListView>
#include <QPushButton>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/open_dialog.h"

using vers::app::OpenDialog;
using Paths = std::vector<std::string>;

namespace {

const QString kXls = QStringLiteral("Файл MS Excel (*.xls)");
const QString kXlt = QStringLiteral("Шаблон MS Excel (*.xlt)");

// Opens the dialog and lets `act` work on it once it shows; a dialog that
// `act` leaves open is cancelled, so that a failed check never hangs.
std::optional<Paths> while_open(OpenDialog& open, std::function<void(QFileDialog&)> act) {
  QTimer::singleShot(0, [&] {
    QFileDialog* shown = open.shown_dialog();
    if (!shown) return;
    act(*shown);
    if (open.shown_dialog() && shown->isVisible()) shown->reject();
  });
  return open.execute();
}

// What a user types into the name field, then the Open button.
void type_and_open(QFileDialog& dialog, const QString& names) {
  auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  QVERIFY(edit);
  edit->setText(names);
  auto* buttons = dialog.findChild<QDialogButtonBox*>();
  QVERIFY(buttons);
  QPushButton* open = buttons->button(QDialogButtonBox::Open);
  QVERIFY(open);
  QVERIFY2(open->isEnabled(), "the Open button is disabled");
  open->click();
}

}  // namespace

class OpenDialogTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString in_dir(const QString& name) const { return dir_.filePath(name); }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    for (const char* name : {"a.xls", "b.xls", "c.xlt", "d.ods"}) {
      QFile f(in_dir(QString::fromUtf8(name)));
      QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QDir::setCurrent(dir_.path());
  }

  void first_opening_has_the_fixed_settings() {
    OpenDialog open;
    while_open(open, [&](QFileDialog& d) {
      QCOMPARE(d.nameFilters(),
               (QStringList{kXls, kXlt, QStringLiteral("Книга OpenDocument (*.ods)"),
                            QStringLiteral("Книга Office Open XML (*.xlsx *.xlsm)")}));
      QCOMPARE(d.selectedNameFilter(), kXls);
      QVERIFY(d.testOption(QFileDialog::DontUseNativeDialog));
      // Several files at once, from the list or typed.
      auto* files = d.findChild<QListView*>(QStringLiteral("listView"));
      QVERIFY(files);
      QCOMPARE(files->selectionMode(), QAbstractItemView::ExtendedSelection);
      QCOMPARE(d.acceptMode(), QFileDialog::AcceptOpen);
      QVERIFY(d.isSizeGripEnabled());
      QVERIFY(d.defaultSuffix().isEmpty());
      QVERIFY(d.isModal());
    });
  }

  void several_files_come_back_as_full_paths_in_order() {
    OpenDialog open;
    const auto chosen =
        while_open(open, [](QFileDialog& d) { type_and_open(d, "\"b.xls\" \"a.xls\""); });
    QVERIFY(chosen.has_value());
    QCOMPARE(*chosen, (Paths{in_dir("b.xls").toStdString(), in_dir("a.xls").toStdString()}));
    QCOMPARE(open.remembered_path(), in_dir("b.xls"));
    QCOMPARE(open.remembered_filter(), kXls);
  }

  void a_typed_name_that_does_not_exist_is_accepted() {
    OpenDialog open;
    const auto chosen =
        while_open(open, [](QFileDialog& d) { type_and_open(d, "missing.xls"); });
    QVERIFY(chosen.has_value());
    QCOMPARE(*chosen, Paths{in_dir("missing.xls").toStdString()});
  }

  void the_next_opening_starts_with_the_filter_and_first_path_of_the_last_choice() {
    OpenDialog open;
    while_open(open, [&](QFileDialog& d) {
      d.selectNameFilter(kXlt);
      type_and_open(d, "c.xlt");
    });
    QCOMPARE(open.remembered_filter(), kXlt);
    QCOMPARE(open.remembered_path(), in_dir("c.xlt"));

    // Seen in the next opening; a change there that is cancelled is lost.
    while_open(open, [&](QFileDialog& d) {
      QCOMPARE(d.selectedNameFilter(), kXlt);
      QCOMPARE(d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text(),
               QStringLiteral("c.xlt"));
      QCOMPARE(QDir(d.directory()).canonicalPath(), QDir(dir_.path()).canonicalPath());
      d.selectNameFilter(kXls);
      d.reject();
    });
    QCOMPARE(open.remembered_filter(), kXlt);
    QCOMPARE(open.remembered_path(), in_dir("c.xlt"));
    while_open(open, [&](QFileDialog& d) { QCOMPARE(d.selectedNameFilter(), kXlt); });
  }

  void a_cancelled_opening_returns_nothing_and_remembers_nothing() {
    OpenDialog open;
    const auto chosen = while_open(open, [](QFileDialog& d) { d.reject(); });
    QVERIFY(!chosen.has_value());
    QVERIFY(open.remembered_path().isEmpty());
    QVERIFY(open.remembered_filter().isEmpty());
    QVERIFY(open.shown_dialog() == nullptr);
  }
};

QTEST_MAIN(OpenDialogTest)
#include "open_dialog_test.moc"
