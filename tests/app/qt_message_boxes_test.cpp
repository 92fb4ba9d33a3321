// The boxes as Qt shows them: captions, texts, buttons, default button and
// icon, and the answer that each button gives.
#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/qt_message_boxes.h"

using vers::app::QtMessageBoxes;
using vers::platform::BoxIcon;

namespace {

// Runs `act` on the box once it shows; a box that `act` leaves open is
// closed with its escape button, so that a failed check never hangs.
void when_shown(std::function<void(QMessageBox&)> act) {
  QTimer::singleShot(0, [act] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY2(box, "no message box is shown");
    act(*box);
    if (box->isVisible()) box->done(QMessageBox::No);
  });
}

QList<QMessageBox::StandardButton> buttons_of(const QMessageBox& box) {
  QList<QMessageBox::StandardButton> out;
  for (QAbstractButton* b : box.buttons()) out << box.standardButton(b);
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

class QtMessageBoxesTest : public QObject {
  Q_OBJECT

 private slots:
  void two_line_texts_show_one_line_break_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("line feed, carriage return") << "one\n\rtwo" << "one\ntwo";
    QTest::newRow("one line") << "Файлы для удаления не выбраны." << "Файлы для удаления не выбраны.";
    QTest::newRow("a lone line feed stays") << "a\nb" << "a\nb";
    QTest::newRow("two breaks") << "a\n\r\n\rb" << "a\n\nb";
  }
  void two_line_texts_show_one_line_break() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(vers::app::box_text(text.toStdString()), shown);
  }

  void the_confirmation_box_data() {
    QTest::addColumn<int>("press");  // the key or button that answers
    QTest::addColumn<bool>("consent");
    QTest::newRow("Yes") << int(QMessageBox::Yes) << true;
    QTest::newRow("No") << int(QMessageBox::No) << false;
    QTest::newRow("Enter takes the default") << int(Qt::Key_Return) << true;
    QTest::newRow("Escape is No") << int(Qt::Key_Escape) << false;
  }
  void the_confirmation_box() {
    QFETCH(int, press);
    QFETCH(bool, consent);
    QWidget window;
    window.show();
    QtMessageBoxes boxes(&window);
    when_shown([&](QMessageBox& box) {
      QCOMPARE(box.windowTitle(), QStringLiteral("Удалить файлы из списка"));
      QCOMPARE(box.text(), QStringLiteral("Удалить выделенные файлы из списка?\n"
                                          "Для удаления нажмите кнопку Да"));
      QCOMPARE(box.textFormat(), Qt::PlainText);
      QCOMPARE(box.icon(), QMessageBox::Question);
      QCOMPARE(buttons_of(box), (QList<QMessageBox::StandardButton>{QMessageBox::Yes,
                                                                     QMessageBox::No}));
      QCOMPARE(box.defaultButton(), box.button(QMessageBox::Yes));
      QCOMPARE(box.parentWidget(), &window);
      if (press == Qt::Key_Return || press == Qt::Key_Escape)
        QTest::keyClick(&box, Qt::Key(press));
      else
        box.button(QMessageBox::StandardButton(press))->click();
    });
    QCOMPARE(boxes.confirm("Удалить выделенные файлы из списка?\n\rДля удаления нажмите кнопку Да",
                           "Удалить файлы из списка"),
             consent);
  }

  void a_notice_has_one_ok_button_and_its_icon_data() {
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("shown");
    QTest::newRow("question") << int(BoxIcon::Question) << int(QMessageBox::Question);
    QTest::newRow("stop") << int(BoxIcon::Stop) << int(QMessageBox::Critical);
    QTest::newRow("warning") << int(BoxIcon::Warning) << int(QMessageBox::Warning);
    QTest::newRow("information") << int(BoxIcon::Information) << int(QMessageBox::Information);
    QTest::newRow("none") << int(BoxIcon::None) << int(QMessageBox::NoIcon);
  }
  void a_notice_has_one_ok_button_and_its_icon() {
    QFETCH(int, icon);
    QFETCH(int, shown);
    QtMessageBoxes boxes;
    bool seen = false;
    when_shown([&](QMessageBox& box) {
      QCOMPARE(box.windowTitle(), QStringLiteral("Файлы не выбраны"));
      QCOMPARE(box.text(), QStringLiteral("Файлы для удаления не выбраны."));
      QCOMPARE(int(box.icon()), shown);
      QCOMPARE(buttons_of(box), QList<QMessageBox::StandardButton>{QMessageBox::Ok});
      seen = true;
      QTest::keyClick(&box, Qt::Key_Return);
    });
    boxes.notice("Файлы для удаления не выбраны.", "Файлы не выбраны", BoxIcon(icon));
    QVERIFY(seen);
  }

  void the_information_message_is_titled_and_centred_on_the_screen() {
    QWidget window;
    window.setGeometry(0, 0, 200, 100);
    window.show();
    QtMessageBoxes boxes(&window);
    bool seen = false;
    when_shown([&](QMessageBox& box) {
      QCOMPARE(box.windowTitle(),
               QStringLiteral("Модуль проверки по формулам логического и арифметического контроля"));
      QCOMPARE(box.text(), QStringLiteral("Проверка завершена"));
      QCOMPARE(box.icon(), QMessageBox::NoIcon);
      QCOMPARE(buttons_of(box), QList<QMessageBox::StandardButton>{QMessageBox::Ok});
      QVERIFY(box.parentWidget() == nullptr);
      const QPoint centre = box.screen()->availableGeometry().center();
      QVERIFY2((box.frameGeometry().center() - centre).manhattanLength() <= 4,
               "the box is not centred on the screen");
      seen = true;
      box.button(QMessageBox::Ok)->click();
    });
    boxes.information("Проверка завершена");
    QVERIFY(seen);
  }
};

QTEST_MAIN(QtMessageBoxesTest)
#include "qt_message_boxes_test.moc"
