#include "app/check_list_box.h"

#include <QAbstractListModel>
#include <QEvent>
#include <QFontMetrics>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>

namespace vers::app {

// The list seen as a Qt item model: text, tick and line size of each item.
// It passes the list's changes on to the view, the structural ones as the
// begin/end pairs that Qt's views need.
class CheckListBox::ItemModel : public QAbstractListModel, public doclist::CheckListObserver {
 public:
  explicit ItemModel(CheckListBox& box) : box_(box), list_(box.list_) {
    list_.set_observer(this);
  }
  ~ItemModel() override { list_.set_observer(nullptr); }

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : list_.count();
  }

  Qt::ItemFlags flags(const QModelIndex& index) const override {
    if (!valid(index)) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
           Qt::ItemNeverHasChildren;
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!valid(index)) return {};
    switch (role) {
      case Qt::DisplayRole:
        return QString::fromStdString(list_.text(index.row()));
      case Qt::CheckStateRole:
        return list_.ticked(index.row()) ? Qt::Checked : Qt::Unchecked;
      case Qt::SizeHintRole:
        // Every line is as wide as the extent, so the highlight spans the
        // scrollable width and the text is cut where the extent ends.
        return QSize(list_.horizontal_extent(), box_.item_height());
      default:
        return {};
    }
  }

  bool setData(const QModelIndex& index, const QVariant& value, int role) override {
    if (!valid(index) || role != Qt::CheckStateRole) return false;
    list_.set_ticked(index.row(), value.toInt() == Qt::Checked);
    return true;
  }

  void resize_all_lines() {
    if (list_.count() > 0)
      emit dataChanged(index(0), index(list_.count() - 1), {Qt::SizeHintRole});
  }

 private:
  bool valid(const QModelIndex& index) const {
    return index.isValid() && index.row() >= 0 && index.row() < list_.count();
  }

  void before_append(int row) override { beginInsertRows({}, row, row); }
  void after_append(int) override { endInsertRows(); }
  void before_remove(int row) override { beginRemoveRows({}, row, row); }
  void after_remove(int) override { endRemoveRows(); }
  void before_clear() override { beginResetModel(); }
  void after_clear() override { endResetModel(); }
  void tick_changed(int row) override {
    emit dataChanged(index(row), index(row), {Qt::CheckStateRole});
  }
  void selection_changed(int row) override { box_.show_selection(row); }
  void current_changed() override { box_.show_current(); }
  void extent_changed() override { box_.show_extent(); }
  void multi_select_changed() override { box_.show_selection_mode(); }

  CheckListBox& box_;
  doclist::CheckList& list_;
};

namespace {

// Qt's delegate keeps a press in the tick box from the view, so that such
// a click would tick without selecting; here it selects like any click,
// and the release toggles the tick.
class TickBoxDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
    if (event->type() == QEvent::MouseButtonPress) return false;
    return QStyledItemDelegate::editorEvent(event, model, option, index);
  }
};

}  // namespace

CheckListBox::CheckListBox(QWidget* parent, int capacity)
    : QListView(parent), list_(capacity), model_(std::make_unique<ItemModel>(*this)) {
  setModel(model_.get());
  setItemDelegate(new TickBoxDelegate(this));
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setTextElideMode(Qt::ElideNone);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  show_selection_mode();

  // What the user does in the list goes into the list.
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this](const QItemSelection& selected, const QItemSelection& deselected) {
            for (const QModelIndex& i : deselected.indexes())
              if (i.row() < list_.count()) list_.set_selected(i.row(), false);
            for (const QModelIndex& i : selected.indexes())
              if (i.row() < list_.count()) list_.set_selected(i.row(), true);
          });
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (current.isValid() && current.row() < list_.count())
              list_.set_current_item(current.row());
          });
}

// The model goes first: it detaches itself from the list.
CheckListBox::~CheckListBox() {
  selectionModel()->disconnect(this);
  setModel(nullptr);
  model_.reset();
}

int CheckListBox::text_width(const std::string& text) const {
  return fontMetrics().horizontalAdvance(QString::fromStdString(text));
}

int CheckListBox::item_height() const { return std::max(kItemHeight, fontMetrics().height()); }

void CheckListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  QListView::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) emit dblClick();
}

void CheckListBox::updateGeometries() {
  QListView::updateGeometries();
  // The lines scroll sideways by the extent, also when the list is empty.
  const int visible = viewport()->width();
  horizontalScrollBar()->setRange(0, std::max(0, list_.horizontal_extent() - visible));
  horizontalScrollBar()->setPageStep(visible);
}

void CheckListBox::changeEvent(QEvent* event) {
  QListView::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    model_->resize_all_lines();
    doItemsLayout();
  }
}

// The view's selection and caret are changed only when they differ from the
// list's, so that the echo of a change the view itself reported stops here.
void CheckListBox::show_selection(int row) {
  const QModelIndex index = model_->index(row);
  if (selectionModel()->isSelected(index) == list_.selected(row)) return;
  selectionModel()->select(index, list_.selected(row) ? QItemSelectionModel::Select
                                                      : QItemSelectionModel::Deselect);
}

void CheckListBox::show_current() {
  const auto current = list_.current_item();
  const QModelIndex wanted = current ? model_->index(*current) : QModelIndex();
  if (selectionModel()->currentIndex() == wanted) return;
  selectionModel()->setCurrentIndex(wanted, QItemSelectionModel::NoUpdate);
}

void CheckListBox::show_extent() {
  model_->resize_all_lines();
  doItemsLayout();
}

void CheckListBox::show_selection_mode() {
  setSelectionMode(list_.multi_select() ? QAbstractItemView::ExtendedSelection
                                        : QAbstractItemView::SingleSelection);
}

}  // namespace vers::app
