#include "doclist/check_list.h"

#include <algorithm>
#include <stdexcept>

namespace vers::doclist {

CheckList::CheckList(int capacity) : capacity_(std::max(capacity, 0)) {}

const ListItem& CheckList::item(int index) const {
  if (index < 0 || index >= count()) throw std::out_of_range("list index out of range");
  return items_[static_cast<std::size_t>(index)];
}

ListItem& CheckList::item(int index) {
  return const_cast<ListItem&>(static_cast<const CheckList&>(*this).item(index));
}

CheckListObserver& CheckList::view() {
  static CheckListObserver nobody;  // stands in while no view is attached
  return observer_ ? *observer_ : nobody;
}

int CheckList::selected_count() const {
  return static_cast<int>(std::count_if(items_.begin(), items_.end(),
                                        [](const ListItem& i) { return i.selected; }));
}

void CheckList::set_ticked(int index, bool ticked) {
  ListItem& it = item(index);
  if (it.ticked == ticked) return;
  it.ticked = ticked;
  view().tick_changed(index);
}

void CheckList::set_selected(int index, bool selected) {
  ListItem& it = item(index);
  if (it.selected == selected) return;
  it.selected = selected;
  view().selection_changed(index);
}

void CheckList::append(std::string text) {
  if (count() >= capacity_) throw std::runtime_error("Unable to insert a line");
  const int index = count();
  view().before_append(index);
  items_.push_back(ListItem{std::move(text)});
  view().after_append(index);
  if (!current_) {
    current_ = 0;
    view().current_changed();
  }
}

void CheckList::remove(int index) {
  item(index);  // range check before anyone is told
  view().before_remove(index);
  items_.erase(items_.begin() + index);
  // The view may have moved the caret while it was told; read it afresh.
  const bool current_removed = current_ == index;
  if (current_removed) {
    if (index > 0)
      current_ = index - 1;
    else if (!items_.empty())
      current_ = 0;
    else
      current_.reset();
  } else if (current_ && *current_ > index) {
    --*current_;
  }
  view().after_remove(index);
  if (current_removed) view().current_changed();
}

void CheckList::clear() {
  view().before_clear();
  items_.clear();
  const bool had_current = current_.has_value();
  current_.reset();
  view().after_clear();
  if (had_current) view().current_changed();
}

void CheckList::set_current_item(int index) {
  item(index);  // range check
  if (current_ == index) return;
  current_ = index;
  view().current_changed();
}

void CheckList::set_horizontal_extent(int pixels) {
  pixels = std::max(pixels, 0);
  if (extent_ == pixels) return;
  extent_ = pixels;
  view().extent_changed();
}

void CheckList::set_multi_select(bool on) {
  if (multi_select_ == on) return;
  multi_select_ = on;
  view().multi_select_changed();
}

}  // namespace vers::doclist
