// The document list: the ordered items of the window's check list, each a
// document path with a tick and a selection highlight, together with the
// current (caret) item, the horizontal scroll extent and the selection mode.
// The list control shows this object and reports the user's clicks and keys
// back to it; the commands and the verification run read it.
#pragma once

#include <climits>
#include <optional>
#include <string>
#include <vector>

namespace vers::doclist {

// Told of every change, so that a view can follow. Each change to the items
// comes as a pair: before it is made and after.
class CheckListObserver {
 public:
  virtual ~CheckListObserver() = default;
  virtual void before_append(int /*index*/) {}
  virtual void after_append(int /*index*/) {}
  virtual void before_remove(int /*index*/) {}
  virtual void after_remove(int /*index*/) {}
  virtual void before_clear() {}
  virtual void after_clear() {}
  virtual void tick_changed(int /*index*/) {}
  virtual void selection_changed(int /*index*/) {}
  virtual void current_changed() {}
  virtual void extent_changed() {}
  virtual void multi_select_changed() {}
};

struct ListItem {
  std::string text;
  bool ticked = false;
  bool selected = false;
};

class CheckList {
 public:
  // The most items a list control can hold: its rows are numbered by int.
  static constexpr int kMaxItems = INT_MAX;

  // A list that refuses to grow past `capacity` items.
  explicit CheckList(int capacity = kMaxItems);
  CheckList(const CheckList&) = delete;
  CheckList& operator=(const CheckList&) = delete;

  // One observer at a time (the list control); nullptr detaches it.
  void set_observer(CheckListObserver* observer) { observer_ = observer; }

  int count() const { return static_cast<int>(items_.size()); }
  // An index outside 0..count()-1 throws std::out_of_range.
  const std::string& text(int index) const { return item(index).text; }
  bool ticked(int index) const { return item(index).ticked; }
  bool selected(int index) const { return item(index).selected; }
  int selected_count() const;

  // Writing the value an item already has changes nothing.
  void set_ticked(int index, bool ticked);
  void set_selected(int index, bool selected);

  // Appends a new item, unticked and unselected, at the end; duplicates are
  // kept. A full list throws std::runtime_error "Unable to insert a line".
  void append(std::string text);
  // Removes one item; the others keep their order, ticks and selection.
  void remove(int index);
  void clear();

  // The item that holds the focus rectangle, selected or not; none exactly
  // when the list is empty. Appending to an empty list makes the first item
  // current. When the current item is removed, the one above it becomes
  // current, or the one below when it was the first.
  std::optional<int> current_item() const { return current_; }
  // Moves the caret; an index outside the list throws std::out_of_range.
  void set_current_item(int index);

  // The width in pixels by which the lines can be scrolled sideways.
  int horizontal_extent() const { return extent_; }
  void set_horizontal_extent(int pixels);

  // Whether any number of items may be selected (extended selection) or
  // one at most. A new list selects one at most.
  bool multi_select() const { return multi_select_; }
  void set_multi_select(bool on);

 private:
  const ListItem& item(int index) const;
  ListItem& item(int index);
  CheckListObserver& view();

  int capacity_;
  std::vector<ListItem> items_;
  std::optional<int> current_;
  int extent_ = 0;
  bool multi_select_ = false;
  CheckListObserver* observer_ = nullptr;
};

}  // namespace vers::doclist
