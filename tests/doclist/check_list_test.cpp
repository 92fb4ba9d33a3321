#include "doclist/check_list.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vers::doclist {
namespace {

// Keeps the notifications as text, with what the list held at that moment.
class Journal : public CheckListObserver {
 public:
  explicit Journal(const CheckList& list) : list_(list) {}
  std::vector<std::string> entries;

  void before_append(int i) override { note("before_append", i); }
  void after_append(int i) override { note("after_append", i); }
  void before_remove(int i) override { note("before_remove", i); }
  void after_remove(int i) override { note("after_remove", i); }
  void before_clear() override { note("before_clear", -1); }
  void after_clear() override { note("after_clear", -1); }
  void tick_changed(int i) override { note("tick", i); }
  void selection_changed(int i) override { note("selection", i); }
  void current_changed() override { note("current", list_.current_item().value_or(-1)); }
  void extent_changed() override { note("extent", list_.horizontal_extent()); }
  void multi_select_changed() override { note("multi_select", list_.multi_select()); }

 private:
  void note(const char* what, int i) {
    entries.push_back(std::string(what) + " " + std::to_string(i) + " of " +
                      std::to_string(list_.count()));
  }
  const CheckList& list_;
};

CheckList& filled(CheckList& list, int n) {
  for (int i = 0; i < n; ++i) list.append("/f" + std::to_string(i));
  return list;
}

TEST(CheckList, NewItemsGoToTheEndUntickedAndUnselected) {
  CheckList list;
  EXPECT_EQ(list.current_item(), std::nullopt);
  list.append("/b");
  list.append("/a");
  list.append("/b");
  ASSERT_EQ(list.count(), 3);
  EXPECT_EQ(list.text(0), "/b");
  EXPECT_EQ(list.text(1), "/a");
  EXPECT_EQ(list.text(2), "/b");
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(list.ticked(i));
    EXPECT_FALSE(list.selected(i));
  }
  EXPECT_EQ(list.current_item(), 0);  // a filled list always has a caret
}

TEST(CheckList, RemovingKeepsOrderTicksAndSelectionOfTheOthers) {
  CheckList list;
  filled(list, 4);
  list.set_ticked(3, true);
  list.set_selected(2, true);
  list.remove(1);
  ASSERT_EQ(list.count(), 3);
  EXPECT_EQ(list.text(1), "/f2");
  EXPECT_TRUE(list.selected(1));
  EXPECT_TRUE(list.ticked(2));
  EXPECT_EQ(list.selected_count(), 1);
}

struct CaretCase {
  int items, current, removed;
  std::optional<int> after;
};

class CaretAfterRemoval : public ::testing::TestWithParam<CaretCase> {};

TEST_P(CaretAfterRemoval, StaysOnItsItemOrMovesToANeighbour) {
  const CaretCase& c = GetParam();
  CheckList list;
  filled(list, c.items);
  list.set_current_item(c.current);
  list.remove(c.removed);
  EXPECT_EQ(list.current_item(), c.after);
}

INSTANTIATE_TEST_SUITE_P(Cases, CaretAfterRemoval,
                         ::testing::Values(CaretCase{3, 0, 2, 0},  // below the caret
                                           CaretCase{3, 2, 0, 1},  // above: same item
                                           CaretCase{3, 1, 1, 0},  // the caret item: above
                                           CaretCase{3, 0, 0, 0},  // the first: below
                                           CaretCase{3, 2, 2, 1},  // the last: above
                                           CaretCase{1, 0, 0, std::nullopt}));

TEST(CheckList, ClearingLeavesNoCaret) {
  CheckList list;
  filled(list, 2);
  list.set_ticked(0, true);
  list.clear();
  EXPECT_EQ(list.count(), 0);
  EXPECT_EQ(list.current_item(), std::nullopt);
  list.append("/again");
  EXPECT_FALSE(list.ticked(0));
  EXPECT_EQ(list.current_item(), 0);
}

TEST(CheckList, RefusesPastItsCapacity) {
  CheckList list(2);
  filled(list, 2);
  try {
    list.append("/third");
    FAIL() << "the third item must be refused";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Unable to insert a line");
  }
  EXPECT_EQ(list.count(), 2);
}

TEST(CheckList, IndexesOutsideTheListThrow) {
  CheckList list;
  filled(list, 2);
  EXPECT_THROW(list.text(2), std::out_of_range);
  EXPECT_THROW(list.ticked(-1), std::out_of_range);
  EXPECT_THROW(list.set_selected(5, true), std::out_of_range);
  EXPECT_THROW(list.remove(2), std::out_of_range);
  EXPECT_THROW(list.set_current_item(2), std::out_of_range);
  EXPECT_EQ(list.count(), 2);
  EXPECT_EQ(list.current_item(), 0);
}

TEST(CheckList, TellsItsViewOfEveryChangeAndOnlyOfChanges) {
  CheckList list;
  Journal journal(list);
  list.set_observer(&journal);

  list.set_multi_select(true);
  list.set_multi_select(true);
  list.append("/a");
  list.append("/b");
  list.set_ticked(1, true);
  list.set_ticked(1, true);
  list.set_selected(0, true);
  list.set_selected(0, true);
  list.set_current_item(1);
  list.set_horizontal_extent(40);
  list.set_horizontal_extent(40);
  list.remove(1);
  list.clear();

  const std::vector<std::string> expected = {
      "multi_select 1 of 0",
      "before_append 0 of 0", "after_append 0 of 1", "current 0 of 1",
      "before_append 1 of 1", "after_append 1 of 2",
      "tick 1 of 2", "selection 0 of 2", "current 1 of 2", "extent 40 of 2",
      // The view is told before the item goes, while it can still be read.
      "before_remove 1 of 2", "after_remove 1 of 1", "current 0 of 1",
      "before_clear -1 of 1", "after_clear -1 of 0", "current -1 of 0"};
  EXPECT_EQ(journal.entries, expected);
}

}  // namespace
}  // namespace vers::doclist
