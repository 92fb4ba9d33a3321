// The document list control under Qt's offscreen platform: the user's
// clicks and keys reach the list, the list's changes reach the screen.
#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>

#include "app/check_list_box.h"
#include "doclist/document_list_commands.h"
#include "doclist/recording_platform.h"

using vers::app::CheckListBox;
using vers::doclist::CheckList;

namespace {

// A shown control of the window's size with a font whose lines fit 13
// pixels, and the commands over it.
struct Bench {
  Bench() {
    QFont small = box.font();
    small.setPixelSize(11);
    box.setFont(small);
    box.resize(447, 169);
    box.show();
    commands.FormCreate();
  }
  void choose(const std::vector<std::string>& paths) {
    if (commands.FilesChosen()) boxes.confirm_answers.push_back(true);
    dialog.choices.push_back(paths);
    commands.btnChoiceFileClick();
  }
  QModelIndex index(int row) const { return box.model()->index(row, 0); }
  QPoint text_point(int row) const { return box.visualRect(index(row)).center(); }
  QPoint tick_box_point(int row) const {
    QStyleOptionViewItem option;
    option.initFrom(&box);
    option.rect = box.visualRect(index(row));
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = index(row).data().toString();
    return box.style()
        ->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &box)
        .center();
  }
  QList<int> view_selection() const {
    QList<int> rows;
    for (const QModelIndex& i : box.selectionModel()->selectedIndexes()) rows << i.row();
    std::sort(rows.begin(), rows.end());
    return rows;
  }
  QList<int> list_selection() const {
    QList<int> rows;
    for (int i = 0; i < list().count(); ++i)
      if (list().selected(i)) rows << i;
    return rows;
  }
  QList<bool> ticks() const {
    QList<bool> out;
    for (int i = 0; i < list().count(); ++i) out << list().ticked(i);
    return out;
  }
  const CheckList& list() const { return box.list(); }

  CheckListBox box;
  vers::testing::RecordingBoxes boxes;
  vers::testing::ScriptedDialog dialog;
  vers::testing::RecordingShell shell;
  vers::doclist::DocumentListCommands commands{box.list(), box, boxes, dialog, shell};
};

const std::vector<std::string> kFive = {"/w/0.xls", "/w/1.xls", "/w/2.xls", "/w/3.xls",
                                        "/w/4.xls"};

}  // namespace

class CheckListBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void window_creation_switches_to_extended_selection() {
    CheckListBox box;
    QCOMPARE(box.selectionMode(), QAbstractItemView::SingleSelection);
    Bench bench;
    QCOMPARE(bench.box.selectionMode(), QAbstractItemView::ExtendedSelection);
  }

  void a_click_in_the_tick_box_toggles_the_tick_and_selects() {
    Bench b;
    b.choose(kFive);
    QTest::mouseClick(b.box.viewport(), Qt::LeftButton, {}, b.tick_box_point(1));
    QCOMPARE(b.ticks(), (QList<bool>{false, true, false, false, false}));
    QCOMPARE(b.list_selection(), QList<int>{1});
    QCOMPARE(b.list().current_item(), 1);
    QCOMPARE(b.index(1).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));

    QTest::mouseClick(b.box.viewport(), Qt::LeftButton, {}, b.tick_box_point(1));
    QCOMPARE(b.ticks(), (QList<bool>{false, false, false, false, false}));

    // A click on the text selects without ticking.
    QTest::mouseClick(b.box.viewport(), Qt::LeftButton, {}, b.text_point(3));
    QCOMPARE(b.ticks(), (QList<bool>{false, false, false, false, false}));
    QCOMPARE(b.list_selection(), QList<int>{3});
  }

  void the_space_bar_toggles_the_current_items_tick() {
    Bench b;
    b.choose(kFive);
    b.box.setFocus();
    b.box.list().set_current_item(2);
    QCOMPARE(b.box.currentIndex().row(), 2);
    QTest::keyClick(&b.box, Qt::Key_Space);
    QCOMPARE(b.ticks(), (QList<bool>{false, false, true, false, false}));
    QTest::keyClick(&b.box, Qt::Key_Space);
    QCOMPARE(b.ticks(), (QList<bool>{false, false, false, false, false}));
  }

  void clicks_select_with_shift_and_ctrl_data() {
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QList<int>>("modifiers");  // Qt::KeyboardModifiers per click
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("current");
    const int none = Qt::NoModifier, shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier;
    QTest::newRow("one click") << QList<int>{2} << QList<int>{none} << QList<int>{2} << 2;
    QTest::newRow("a second click replaces")
        << QList<int>{2, 4} << QList<int>{none, none} << QList<int>{4} << 4;
    QTest::newRow("shift extends to a range")
        << QList<int>{1, 3} << QList<int>{none, shift} << QList<int>{1, 2, 3} << 3;
    QTest::newRow("shift upwards")
        << QList<int>{4, 2} << QList<int>{none, shift} << QList<int>{2, 3, 4} << 2;
    QTest::newRow("ctrl adds one")
        << QList<int>{0, 3} << QList<int>{none, ctrl} << QList<int>{0, 3} << 3;
    QTest::newRow("ctrl takes one away")
        << QList<int>{1, 3, 2} << QList<int>{none, shift, ctrl} << QList<int>{1, 3} << 2;
  }

  void clicks_select_with_shift_and_ctrl() {
    QFETCH(QList<int>, rows);
    QFETCH(QList<int>, modifiers);
    QFETCH(QList<int>, selected);
    QFETCH(int, current);
    Bench b;
    b.choose(kFive);
    for (int i = 0; i < rows.size(); ++i)
      QTest::mouseClick(b.box.viewport(), Qt::LeftButton,
                        Qt::KeyboardModifiers(modifiers[i]), b.text_point(rows[i]));
    QCOMPARE(b.list_selection(), selected);
    QCOMPARE(b.view_selection(), selected);
    QCOMPARE(b.list().current_item(), current);
    QCOMPARE(b.ticks(), (QList<bool>{false, false, false, false, false}));
  }

  void a_double_click_opens_the_caret_item() {
    Bench b;
    b.choose(kFive);
    QSignalSpy spy(&b.box, &CheckListBox::dblClick);
    QObject::connect(&b.box, &CheckListBox::dblClick, [&] { b.commands.CheckListBox1DblClick(); });

    QTest::mouseDClick(b.box.viewport(), Qt::LeftButton, {}, b.text_point(3));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(b.shell.launched.size(), std::size_t{1});
    QCOMPARE(b.shell.launched.back().first, std::string("/w/3.xls"));
    QVERIFY(b.shell.launched.back().second == vers::platform::ShowMode::Normal);

    // Other items selected, the caret moved off them with Ctrl and an arrow:
    // the command takes the caret item.
    QTest::mouseClick(b.box.viewport(), Qt::LeftButton, {}, b.text_point(0));
    QTest::mouseClick(b.box.viewport(), Qt::LeftButton, Qt::ControlModifier, b.text_point(2));
    b.box.setFocus();
    QTest::keyClick(&b.box, Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(b.list().current_item(), 3);
    QCOMPARE(b.list_selection(), (QList<int>{0, 2}));
    emit b.box.dblClick();
    QCOMPARE(b.shell.launched.back().first, std::string("/w/3.xls"));

    // Below the last item: still the caret item.
    QTest::mouseDClick(b.box.viewport(), Qt::LeftButton, {},
                       QPoint(20, b.box.viewport()->height() - 3));
    QCOMPARE(spy.count(), 3);
    QCOMPARE(b.shell.launched.back().first, b.list().text(*b.list().current_item()));
  }

  void removal_by_the_command_keeps_view_and_list_alike() {
    Bench b;
    b.choose(kFive);
    b.box.list().set_ticked(4, true);
    QTest::mouseClick(b.box.viewport(), Qt::LeftButton, {}, b.text_point(1));
    QTest::mouseClick(b.box.viewport(), Qt::LeftButton, Qt::ControlModifier, b.text_point(3));
    b.boxes.confirm_answers.push_back(true);
    b.commands.btnCleanListClick();

    QCOMPARE(b.box.model()->rowCount(), 3);
    for (int row = 0; row < 3; ++row)
      QCOMPARE(b.index(row).data().toString().toStdString(), b.list().text(row));
    QCOMPARE(b.list().text(2), std::string("/w/4.xls"));
    QCOMPARE(b.index(2).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(b.view_selection(), QList<int>{});
    QCOMPARE(b.list_selection(), QList<int>{});
    QVERIFY(b.list().current_item().has_value());
    QCOMPARE(b.box.currentIndex().row(), *b.list().current_item());
    QVERIFY(b.boxes.unexpected.empty());
  }

  void selection_and_caret_set_in_the_list_show_in_the_view() {
    Bench b;
    b.choose(kFive);
    b.box.list().set_selected(1, true);
    b.box.list().set_selected(4, true);
    b.box.list().set_current_item(3);
    QCOMPARE(b.view_selection(), (QList<int>{1, 4}));
    QCOMPARE(b.box.currentIndex().row(), 3);
    b.commands.btnInvertCheckClick();
    QCOMPARE(b.index(0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(b.view_selection(), (QList<int>{1, 4}));
  }

  void lines_are_13_pixels_high() {
    Bench b;
    b.choose(kFive);
    for (int row = 0; row < 5; ++row) QCOMPARE(b.box.visualRect(b.index(row)).height(), 13);
    QCOMPARE(b.box.visualRect(b.index(1)).top() - b.box.visualRect(b.index(0)).top(), 13);
    // Fifteen lines do not fit 169 pixels: the vertical bar shows.
    std::vector<std::string> many;
    for (int i = 0; i < 15; ++i) many.push_back("/v/" + std::to_string(i));
    b.choose(many);
    QCoreApplication::processEvents();  // the view lays out its new lines
    QVERIFY(b.box.verticalScrollBar()->isVisible());
  }

  void the_horizontal_range_follows_the_extent() {
    Bench b;
    const std::string wide = "/a/very/long/folder/name/that/goes/on/and/on/past/the/edge/"
                             "of/the/list/and/further/still/workbook.xls";
    b.choose({"/s/short.xls", wide});
    const int text = b.box.fontMetrics().horizontalAdvance(QString::fromStdString(wide));
    QCOMPARE(b.box.text_width(wide), text);
    QCOMPARE(b.list().horizontal_extent(), text + 2);
    const int visible = b.box.viewport()->width();
    QVERIFY(text + 2 > visible);
    QCOMPARE(b.box.horizontalScrollBar()->maximum(), text + 2 - visible);
    QVERIFY(b.box.horizontalScrollBar()->isVisible());

    // Removing the wide item keeps the extent, and with it the range.
    QTest::mouseClick(b.box.viewport(), Qt::LeftButton, {}, b.text_point(1));
    b.boxes.confirm_answers.push_back(true);
    b.commands.btnCleanListClick();
    QCOMPARE(b.box.model()->rowCount(), 1);
    QCOMPARE(b.box.horizontalScrollBar()->maximum(), text + 2 - visible);
    // Also when the list is left empty.
    QTest::mouseClick(b.box.viewport(), Qt::LeftButton, {}, b.text_point(0));
    b.boxes.confirm_answers.push_back(true);
    b.commands.btnCleanListClick();
    QCOMPARE(b.box.model()->rowCount(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(b.box.horizontalScrollBar()->maximum(), text + 2 - visible);

    // A new choice of short paths brings the extent inside the view.
    b.dialog.choices.push_back(std::vector<std::string>{"/s/x.xls"});
    b.commands.btnChoiceFileClick();
    QCOMPARE(b.box.horizontalScrollBar()->maximum(), 0);
    QVERIFY(!b.box.horizontalScrollBar()->isVisible());
  }

  void a_full_control_refuses_the_line() {
    CheckListBox box(nullptr, 2);
    box.list().append("/a");
    box.list().append("/b");
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, box.list().append("/c"));
    QCOMPARE(box.model()->rowCount(), 2);
  }
};

QTEST_MAIN(CheckListBoxTest)
#include "check_list_box_test.moc"
