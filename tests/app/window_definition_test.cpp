// The main window as the user sees it: frame, size, place, caption, font,
// every control's place, caption, hint and picture, and the tab order.
#include <QApplication>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QScreen>
#include <QtTest>

#include "app/button_picture.h"
#include "window_fixture.h"

using vers::testing::WindowFixture;

class WindowDefinitionTest : public QObject {
  Q_OBJECT

 private slots:
  void window_frame_size_and_caption();
  void window_is_centred_on_the_desktop();
  void window_font_gives_13_pixel_lines();
  void controls_data();
  void controls();
  void tab_order_follows_the_table();
  void pictures_data();
  void pictures();
  void program_icon_is_32_by_32_at_32_bits();
};

void WindowDefinitionTest::window_frame_size_and_caption() {
  WindowFixture f;
  auto& w = *f.window;
  QCOMPARE(w.objectName(), QString("frmMain"));
  QCOMPARE(w.windowTitle(), QString::fromUtf8("Программный модуль \"ВЕРС 7-МТ\""));
  QCOMPARE(w.windowTitle().size(), 30);
  QCOMPARE(w.size(), QSize(662, 187));
  QCOMPARE(w.minimumSize(), QSize(662, 187));
  QCOMPARE(w.maximumSize(), QSize(662, 187));
  const Qt::WindowFlags flags = w.windowFlags();
  QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
  QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
  QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
  QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
  QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
  QVERIFY(w.toolTip().isEmpty());  // the window itself shows no hint
}

void WindowDefinitionTest::window_is_centred_on_the_desktop() {
  WindowFixture f;
  auto& w = *f.window;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
  const QRect frame = w.frameGeometry();
  QCOMPARE(frame.left(), desktop.left() + (desktop.width() - frame.width()) / 2);
  QCOMPARE(frame.top(), desktop.top() + (desktop.height() - frame.height()) / 2);
}

void WindowDefinitionTest::window_font_gives_13_pixel_lines() {
  WindowFixture f;
  const QFont font = f.window->font();
  QCOMPARE(font.pixelSize(), 11);
  QCOMPARE(QFontMetrics(font).height(), 13);
  QVERIFY(!QFontInfo(font).fixedPitch());
  QVERIFY(!font.bold() && !font.italic() && !font.underline());
  // Every control uses the window's font.
  QCOMPARE(f.window->btnHelp->font(), font);
  QCOMPARE(f.window->CheckListBox1->font(), font);
}

void WindowDefinitionTest::controls_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QRect>("geometry");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QString>("hint");
  auto row = [](const char* name, int left, int top, int width, int height,
                const char* caption, const char* hint) {
    QTest::newRow(name) << QString(name) << QRect(left, top, width, height)
                        << QString::fromUtf8(caption) << QString::fromUtf8(hint);
  };
  row("btnFillForm", 8, 8, 145, 33, "Заполнить форму", "");
  row("btnChoiceFile", 8, 48, 145, 33, "Выбор файлов", "");
  row("btnVerificationData", 8, 88, 145, 33, "Проверка по ВЕРС", "");
  row("btnQuit", 8, 128, 145, 33, "Завершить работу", "");
  row("CheckListBox1", 160, 9, 447, 169, "", "");
  row("btnCheckAll", 616, 8, 38, 33, "", "Выбрать все");
  row("btnUncheckAll", 616, 41, 38, 36, "", "Отменить все");
  row("btnInvertCheck", 616, 77, 38, 33, "", "Инвертировать выбранное");
  row("btnCleanList", 616, 111, 38, 33, "", "Удалить выделенные файлы из списка");
  row("btnHelp", 616, 144, 38, 33, "", "Руководство пользователя");
}

void WindowDefinitionTest::controls() {
  QFETCH(QString, name);
  QFETCH(QRect, geometry);
  QFETCH(QString, caption);
  QFETCH(QString, hint);
  WindowFixture f;
  f.window->show();
  QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
  auto* control = f.window->findChild<QWidget*>(name);
  QVERIFY(control);
  QCOMPARE(control->parentWidget(), f.window.get());
  QCOMPARE(control->geometry(), geometry);
  QCOMPARE(control->toolTip(), hint);
  QVERIFY(control->isEnabled());
  QVERIFY(control->isVisible());
  if (auto* button = qobject_cast<QPushButton*>(control)) {
    QCOMPARE(button->text(), caption);
    QVERIFY(!button->icon().isNull());
    QCOMPARE(button->iconSize(), QSize(24, 24));
  }
}

void WindowDefinitionTest::tab_order_follows_the_table() {
  WindowFixture f;
  auto& w = *f.window;
  w.show();
  QApplication::setActiveWindow(&w);
  QVERIFY(QTest::qWaitForWindowActive(&w));
  w.btnFillForm->setFocus();
  QStringList order{QApplication::focusWidget()->objectName()};
  for (int i = 0; i < 10; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    order << QApplication::focusWidget()->objectName();
  }
  const QStringList expected{"btnFillForm",   "btnChoiceFile",  "btnVerificationData",
                             "btnQuit",       "CheckListBox1",  "btnCheckAll",
                             "btnUncheckAll", "btnInvertCheck", "btnCleanList",
                             "btnHelp",       "btnFillForm"};
  QCOMPARE(order, expected);
}

// The bits per pixel that a BMP file's header declares.
static int bmp_bits_per_pixel(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return -1;
  const QByteArray bytes = file.readAll();
  if (bytes.size() < 30 || !bytes.startsWith("BM")) return -1;
  return static_cast<unsigned char>(bytes[28]) | (static_cast<unsigned char>(bytes[29]) << 8);
}

void WindowDefinitionTest::pictures_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<int>("bits");
  QTest::newRow("btnFillForm") << "btnFillForm" << 8;
  QTest::newRow("btnChoiceFile") << "btnChoiceFile" << 24;
  QTest::newRow("btnVerificationData") << "btnVerificationData" << 8;
  QTest::newRow("btnQuit") << "btnQuit" << 8;
  QTest::newRow("btnCheckAll") << "btnCheckAll" << 8;
  QTest::newRow("btnUncheckAll") << "btnUncheckAll" << 8;
  QTest::newRow("btnInvertCheck") << "btnInvertCheck" << 8;
  QTest::newRow("btnCleanList") << "btnCleanList" << 8;
  QTest::newRow("btnHelp") << "btnHelp" << 8;
}

void WindowDefinitionTest::pictures() {
  QFETCH(QString, name);
  QFETCH(int, bits);
  const QByteArray latin = name.toLatin1();
  QCOMPARE(bmp_bits_per_pixel(":/pictures/" + name + ".bmp"), bits);
  const QImage stored = vers::app::button_image(latin.constData());
  QCOMPARE(stored.size(), QSize(24, 24));
  if (bits == 8) QCOMPARE(stored.format(), QImage::Format_Indexed8);

  // Exactly the pixels of the bottom-left pixel's colour become clear.
  const QImage shown = vers::app::transparent_picture(stored);
  const QRgb clear = stored.pixel(0, 23);
  int clear_pixels = 0;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x) {
      const bool background = stored.pixel(x, y) == clear;
      QCOMPARE(qAlpha(shown.pixel(x, y)) == 0, background);
      if (!background) QCOMPARE(shown.pixel(x, y), stored.pixel(x, y));
      clear_pixels += background;
    }
  QVERIFY(clear_pixels > 0 && clear_pixels < 24 * 24);

  // The button on the window shows that clear picture.
  WindowFixture f;
  auto* button = f.window->findChild<QPushButton*>(name);
  QVERIFY(button);
  const QImage on_button = button->icon().pixmap(QSize(24, 24)).toImage();
  QCOMPARE(qAlpha(on_button.pixel(0, 23)), 0);
}

void WindowDefinitionTest::program_icon_is_32_by_32_at_32_bits() {
  QFile file(":/pictures/vers.png");
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QByteArray png = file.readAll();
  QVERIFY(png.startsWith("\x89PNG"));
  QCOMPARE(static_cast<int>(png[24]), 8);  // bits per channel
  QCOMPARE(static_cast<int>(png[25]), 6);  // red, green, blue and alpha
  const QImage icon = QImage::fromData(png);
  QCOMPARE(icon.size(), QSize(32, 32));
  QVERIFY(icon.hasAlphaChannel());
  QCOMPARE(icon.depth(), 32);
}

QTEST_MAIN(WindowDefinitionTest)
#include "window_definition_test.moc"
