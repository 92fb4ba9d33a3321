// The document list control: one line per item of the document list, a
// two-state tick box in front of the path. The control owns the list and
// is a view of it: it shows the items, ticks, selection and caret of the
// list, and writes the user's clicks, space bar, selection and caret moves
// back into it. The horizontal scroll range follows the list's extent,
// which the commands set, and not the control's own measuring.
#pragma once

#include <QListView>
#include <memory>
#include <string>

#include "doclist/check_list.h"
#include "doclist/text_width.h"

namespace vers::app {

class CheckListBox : public QListView, public doclist::TextWidth {
  Q_OBJECT

 public:
  // One line, unless the list's font needs more to show its text whole.
  static constexpr int kItemHeight = 13;

  explicit CheckListBox(QWidget* parent = nullptr,
                        int capacity = doclist::CheckList::kMaxItems);
  ~CheckListBox() override;

  doclist::CheckList& list() { return list_; }
  const doclist::CheckList& list() const { return list_; }

  // The width of a text as this control draws it, in its own font.
  int text_width(const std::string& text) const override;
  int item_height() const;

 signals:
  // A double-click with the left button anywhere in the list, on an item
  // or below the last one.
  void dblClick();

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void updateGeometries() override;
  void changeEvent(QEvent* event) override;

 private:
  class ItemModel;

  // The list changed by code: bring the view's own state into line.
  void show_selection(int row);
  void show_current();
  void show_extent();
  void show_selection_mode();

  doclist::CheckList list_;
  std::unique_ptr<ItemModel> model_;
};

}  // namespace vers::app
