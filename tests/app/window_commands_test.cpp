// The window's own commands, pressed on its buttons: filling in a form,
// opening the manual, and a failure that escapes a handler.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <stdexcept>

#include "window_fixture.h"

using vers::platform::BoxIcon;
using vers::platform::ShowMode;
using vers::testing::BoxShown;
using vers::testing::ScriptedDialog;
using vers::testing::WindowFixture;

using Launches = std::vector<std::pair<std::string, ShowMode>>;
using Choice = ScriptedDialog::Choice;
Q_DECLARE_METATYPE(Choice)
Q_DECLARE_METATYPE(Launches)

class WindowCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void fill_form_opens_the_first_chosen_file_data();
  void fill_form_opens_the_first_chosen_file();
  void help_opens_the_manual_restored_data();
  void help_opens_the_manual_restored();
  void a_failure_in_a_handler_is_shown_and_the_program_goes_on_data();
  void a_failure_in_a_handler_is_shown_and_the_program_goes_on();
  void verification_writes_the_report_beside_the_program();
  void verification_with_nothing_ticked_only_says_so();
  void a_report_that_cannot_be_written_is_shown_and_the_program_goes_on();
};

void WindowCommandsTest::fill_form_opens_the_first_chosen_file_data() {
  QTest::addColumn<Choice>("choice");
  QTest::addColumn<Launches>("launched");
  QTest::newRow("one file") << Choice({"/home/u/Бланк 0606024.xlt"})
                            << Launches{{"/home/u/Бланк 0606024.xlt", ShowMode::Normal}};
  QTest::newRow("three files: the first only")
      << Choice({"/home/u/b.xls", "/home/u/a.xls", "/home/u/c.xls"})
      << Launches{{"/home/u/b.xls", ShowMode::Normal}};
  QTest::newRow("a typed name that does not exist")
      << Choice({"/home/u/нет такого.xls"})
      << Launches{{"/home/u/нет такого.xls", ShowMode::Normal}};
  QTest::newRow("cancelled") << Choice(std::nullopt) << Launches{};
}

void WindowCommandsTest::fill_form_opens_the_first_chosen_file() {
  QFETCH(Choice, choice);
  QFETCH(Launches, launched);
  WindowFixture f;
  auto& list = f.window->CheckListBox1->list();
  list.append("/home/u/listed.xls");
  list.set_ticked(0, true);
  f.dialog.choices = {choice};

  QTest::mouseClick(f.window->btnFillForm, Qt::LeftButton);

  QCOMPARE(f.dialog.openings, 1);
  QCOMPARE(f.shell.launched, launched);
  QVERIFY(f.boxes.shown.empty());
  // The document list is not touched.
  QCOMPARE(list.count(), 1);
  QCOMPARE(list.text(0), std::string("/home/u/listed.xls"));
  QVERIFY(list.ticked(0));
}

void WindowCommandsTest::help_opens_the_manual_restored_data() {
  QTest::addColumn<QString>("program_dir");
  QTest::addColumn<QString>("manual");
  QTest::newRow("a folder") << "/opt/Stat" << "/opt/Stat/Руководство пользователя.doc";
  QTest::newRow("a folder with blanks") << "/home/u/Мои программы/ВЕРС"
                                        << "/home/u/Мои программы/ВЕРС/Руководство пользователя.doc";
  QTest::newRow("the root keeps its one separator") << "/" << "/Руководство пользователя.doc";
}

void WindowCommandsTest::help_opens_the_manual_restored() {
  QFETCH(QString, program_dir);
  QFETCH(QString, manual);
  WindowFixture f(program_dir.toStdString());

  QTest::mouseClick(f.window->btnHelp, Qt::LeftButton);

  // The manual need not exist: it is handed over all the same, and nothing is shown.
  QCOMPARE(f.shell.launched, (Launches{{manual.toStdString(), ShowMode::Restore}}));
  QVERIFY(f.boxes.shown.empty());
  QCOMPARE(f.dialog.openings, 0);
}

void WindowCommandsTest::a_failure_in_a_handler_is_shown_and_the_program_goes_on_data() {
  QTest::addColumn<QString>("failure");
  QTest::addColumn<QString>("shown");
  QTest::newRow("ends in a letter") << "Unable to insert a line" << "Unable to insert a line.";
  QTest::newRow("ends in a digit") << "I/O error 32" << "I/O error 32.";
  QTest::newRow("ends in a colon") << "Нет доступа:" << "Нет доступа:.";
  QTest::newRow("ends in a full stop") << "Файл занят." << "Файл занят.";
  QTest::newRow("ends in !") << "Сбой!" << "Сбой!";
  QTest::newRow("ends in )") << "Сбой (5)" << "Сбой (5)";
}

void WindowCommandsTest::a_failure_in_a_handler_is_shown_and_the_program_goes_on() {
  QFETCH(QString, failure);
  QFETCH(QString, shown);
  WindowFixture f;
  const std::string text = failure.toStdString();
  f.dialog.on_open = [text] { throw std::runtime_error(text); };
  f.window->show();
  QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));

  QTest::mouseClick(f.window->btnFillForm, Qt::LeftButton);

  QCOMPARE(f.boxes.shown.size(), size_t{1});
  const BoxShown& box = f.boxes.shown.front();
  QVERIFY(box.kind == BoxShown::Kind::Notice);
  QCOMPARE(QString::fromStdString(box.text), shown);
  QCOMPARE(box.caption,
           std::string("Модуль проверки по формулам логического и арифметического контроля"));
  QVERIFY(box.icon == BoxIcon::Stop);
  QVERIFY(f.shell.launched.empty());

  // The window goes on: it is open and its buttons still work.
  QVERIFY(f.window->isVisible());
  QTest::mouseClick(f.window->btnHelp, Qt::LeftButton);
  QCOMPARE(f.shell.launched.size(), size_t{1});
}

void WindowCommandsTest::verification_writes_the_report_beside_the_program() {
  QTemporaryDir program_dir;
  QVERIFY(program_dir.isValid());
  WindowFixture f(program_dir.path().toStdString());
  auto& list = f.window->CheckListBox1->list();
  list.append(VERS_FIXTURES_DIR "/window_form.xls");
  list.append("/home/u/не отмечен.xls");
  list.set_ticked(0, true);

  QTest::mouseClick(f.window->btnVerificationData, Qt::LeftButton);

  const std::string report = program_dir.filePath("Errors.txt").toStdString();
  QCOMPARE(f.shell.launched, (Launches{{report, ShowMode::Normal}}));
  QVERIFY(f.boxes.shown.empty());
  QFile file(QString::fromStdString(report));
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  // "Файл: " in windows-1251, then the path of the one ticked document.
  QVERIFY(bytes.startsWith("\xD4\xE0\xE9\xEB: " VERS_FIXTURES_DIR "/window_form.xls\r\n"));
  QVERIFY(!bytes.contains("\xED\xE5 \xEE\xF2\xEC\xE5\xF7\xE5\xED"));  // the unticked one
  // A known form: its title line and its one failed check ("Форма: Проба
  // окна", "Раздел 1, строка 01: итог не равен сумме строк").
  QVERIFY(bytes.contains("\r\n\xD4\xEE\xF0\xEC\xE0: \xCF\xF0\xEE\xE1\xE0 \xEE\xEA\xED\xE0\r\n"));
  QVERIFY(bytes.contains("\r\n\xD0\xE0\xE7\xE4\xE5\xEB 1, \xF1\xF2\xF0\xEE\xEA\xE0 01: "
                         "\xE8\xF2\xEE\xE3 \xED\xE5 \xF0\xE0\xE2\xE5\xED "
                         "\xF1\xF3\xEC\xEC\xE5 \xF1\xF2\xF0\xEE\xEA\r\n"));
  QVERIFY(bytes.endsWith("\r\n\r\n\r\n\r\n"));
  // The connection is closed again after the run.
  QVERIFY(!f.window->FormConnection.connected());
}

void WindowCommandsTest::verification_with_nothing_ticked_only_says_so() {
  QTemporaryDir program_dir;
  WindowFixture f(program_dir.path().toStdString());
  f.window->CheckListBox1->list().append("/home/u/a.xls");

  QTest::mouseClick(f.window->btnVerificationData, Qt::LeftButton);

  QCOMPARE(f.boxes.shown.size(), size_t{1});
  QVERIFY(f.boxes.shown.front().kind == BoxShown::Kind::Information);
  QCOMPARE(f.boxes.shown.front().text, std::string("Выберите документ для проверки."));
  QVERIFY(f.shell.launched.empty());
  QVERIFY(!QFile::exists(program_dir.filePath("Errors.txt")));
}

void WindowCommandsTest::a_report_that_cannot_be_written_is_shown_and_the_program_goes_on() {
  QTemporaryDir parent;
  // A Program directory that does not exist: the report cannot be created.
  WindowFixture f(parent.filePath("нет такой папки").toStdString());
  auto& list = f.window->CheckListBox1->list();
  list.append(VERS_FIXTURES_DIR "/window_form.xls");
  list.set_ticked(0, true);

  QTest::mouseClick(f.window->btnVerificationData, Qt::LeftButton);

  QCOMPARE(f.boxes.shown.size(), size_t{1});
  const BoxShown& box = f.boxes.shown.front();
  QVERIFY(box.kind == BoxShown::Kind::Notice);
  QCOMPARE(box.text, std::string("Invalid filename."));
  QCOMPARE(box.caption,
           std::string("Модуль проверки по формулам логического и арифметического контроля"));
  QVERIFY(box.icon == BoxIcon::Stop);
  QVERIFY(f.shell.launched.empty());

  // The program goes on: the next command works, the list is as it was.
  QTest::mouseClick(f.window->btnHelp, Qt::LeftButton);
  QCOMPARE(f.shell.launched.size(), size_t{1});
  QCOMPARE(list.count(), 1);
  QVERIFY(list.ticked(0));
}

QTEST_MAIN(WindowCommandsTest)
#include "window_commands_test.moc"
