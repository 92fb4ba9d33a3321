// Closing the main window: every close path asks once; No keeps everything
// as it was, Yes disconnects a connection left open and closes; the end of
// the desktop session and SIGTERM end the program without asking.
#include <QApplication>
#include <QCloseEvent>
#include <QTimer>
#include <QWindow>
#include <QtTest>
#include <csignal>
#include <functional>

#include "app/session_end.h"
#include "window_fixture.h"

using vers::testing::BoxShown;
using vers::testing::WindowFixture;

using ClosePath = std::function<void(vers::app::TfrmMain&)>;
Q_DECLARE_METATYPE(ClosePath)

namespace {

const std::string kWorkbook = VERS_FIXTURES_DIR "/window_form.xls";

void connect_to_workbook(vers::platform::Connection& connection) {
  connection.set_connection_string("DSN=DataVELM;DBQ=" + kWorkbook + ";DefaultDir=" +
                                   VERS_FIXTURES_DIR ";");
  connection.connect();
}

// A list of three items: the second ticked, the first and third selected,
// the third current.
void fill_list(vers::doclist::CheckList& list) {
  list.set_multi_select(true);
  for (const char* path : {"/home/u/a.xls", "/home/u/b.xls", "/home/u/c.xls"}) list.append(path);
  list.set_ticked(1, true);
  list.set_selected(0, true);
  list.set_selected(2, true);
  list.set_current_item(2);
}

}  // namespace

class WindowCloseTest : public QObject {
  Q_OBJECT

 private slots:
  void every_close_path_asks_once_data();
  void every_close_path_asks_once();
  void no_keeps_list_ticks_selection_and_connection();
  void yes_disconnects_an_open_connection_data();
  void yes_disconnects_an_open_connection();
  void signal_or_session_end_quits_without_asking_data();
  void signal_or_session_end_quits_without_asking();
};

void WindowCloseTest::every_close_path_asks_once_data() {
  QTest::addColumn<ClosePath>("close");
  QTest::addColumn<bool>("answer");
  const ClosePath quit_button = [](vers::app::TfrmMain& w) {
    QTest::mouseClick(w.btnQuit, Qt::LeftButton);
  };
  const ClosePath quit_button_by_key = [](vers::app::TfrmMain& w) {
    w.btnQuit->setFocus();
    QTest::keyClick(w.btnQuit, Qt::Key_Space);
  };
  // The close box, Alt+F4, the window menu and the taskbar all reach the
  // program as the window system's close request for the window.
  const ClosePath window_system = [](vers::app::TfrmMain& w) {
    QCloseEvent request;
    QApplication::sendEvent(w.windowHandle(), &request);
  };
  const ClosePath close_request = [](vers::app::TfrmMain& w) { w.close(); };
  for (bool answer : {false, true}) {
    const char* said = answer ? " answered Yes" : " answered No";
    QTest::addRow("quit button%s", said) << quit_button << answer;
    QTest::addRow("quit button by key%s", said) << quit_button_by_key << answer;
    QTest::addRow("window system%s", said) << window_system << answer;
    QTest::addRow("close request%s", said) << close_request << answer;
  }
}

void WindowCloseTest::every_close_path_asks_once() {
  QFETCH(ClosePath, close);
  QFETCH(bool, answer);
  WindowFixture f;
  f.boxes.confirm_answers = {answer};
  f.window->show();
  QApplication::setActiveWindow(f.window.get());
  QVERIFY(QTest::qWaitForWindowActive(f.window.get()));

  close(*f.window);

  QCOMPARE(f.boxes.shown.size(), size_t{1});
  const BoxShown& box = f.boxes.shown.front();
  QVERIFY(box.kind == BoxShown::Kind::Confirmation);
  QCOMPARE(box.text, std::string("Вы действительно хотите выйти из программы?"));
  QCOMPARE(box.caption, std::string("Сообщение"));
  QVERIFY(f.boxes.unexpected.empty());
  QCOMPARE(f.window->isVisible(), !answer);
}

void WindowCloseTest::no_keeps_list_ticks_selection_and_connection() {
  WindowFixture f;
  auto& w = *f.window;
  fill_list(w.CheckListBox1->list());
  connect_to_workbook(w.FormConnection);
  QVERIFY(w.FormConnection.connected());
  f.boxes.confirm_answers = {false};
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));

  QVERIFY(!w.close());

  const auto& list = w.CheckListBox1->list();
  QVERIFY(w.isVisible());
  QCOMPARE(list.count(), 3);
  QCOMPARE(list.text(0), std::string("/home/u/a.xls"));
  QCOMPARE(list.text(2), std::string("/home/u/c.xls"));
  QCOMPARE((std::vector<bool>{list.ticked(0), list.ticked(1), list.ticked(2)}),
           (std::vector<bool>{false, true, false}));
  QCOMPARE((std::vector<bool>{list.selected(0), list.selected(1), list.selected(2)}),
           (std::vector<bool>{true, false, true}));
  QCOMPARE(list.current_item(), std::optional<int>(2));
  QVERIFY(w.FormConnection.connected());
  QCOMPARE(w.FormConnection.connection_string(),
           "DSN=DataVELM;DBQ=" + kWorkbook + ";DefaultDir=" VERS_FIXTURES_DIR ";");
  QCOMPARE(f.confirmations(), 1);
}

void WindowCloseTest::yes_disconnects_an_open_connection_data() {
  QTest::addColumn<bool>("connected_before");
  QTest::newRow("left open by a failed run") << true;
  QTest::newRow("closed") << false;
}

void WindowCloseTest::yes_disconnects_an_open_connection() {
  QFETCH(bool, connected_before);
  WindowFixture f;
  auto& w = *f.window;
  if (connected_before) connect_to_workbook(w.FormConnection);
  f.boxes.confirm_answers = {true};
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));

  QVERIFY(w.close());

  QVERIFY(!w.isVisible());
  QVERIFY(!w.FormConnection.connected());
  QCOMPARE(f.confirmations(), 1);
}

void WindowCloseTest::signal_or_session_end_quits_without_asking_data() {
  QTest::addColumn<std::function<void()>>("end");
  QTest::newRow("SIGTERM") << std::function<void()>([] { ::raise(SIGTERM); });
  QTest::newRow("SIGHUP") << std::function<void()>([] { ::raise(SIGHUP); });
  // The session manager ends the application with a quit event.
  QTest::newRow("session ends") << std::function<void()>([] {
    QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
  });
}

void WindowCloseTest::signal_or_session_end_quits_without_asking() {
  QFETCH(std::function<void()>, end);
  WindowFixture f;
  auto& w = *f.window;
  vers::app::SessionEnd session_end([&w] { w.end_without_asking(); });
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));

  QTimer::singleShot(0, end);
  // A guard against a loop that never ends; it gives a code the end does not.
  QTimer guard;
  guard.setSingleShot(true);
  connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(7); });
  guard.start(30000);
  const int code = QApplication::exec();

  QCOMPARE(code, 0);
  QVERIFY(f.boxes.shown.empty());
  // What closes the window now closes it without asking.
  QVERIFY(w.close());
  QVERIFY(f.boxes.shown.empty());
}

QTEST_MAIN(WindowCloseTest)
#include "window_close_test.moc"
