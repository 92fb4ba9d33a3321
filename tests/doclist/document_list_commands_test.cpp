#include "doclist/document_list_commands.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "doclist/recording_platform.h"

namespace vers::doclist {
namespace {

using testing::BoxShown;
using testing::ScriptedDialog;
using Strings = std::vector<std::string>;
using Flags = std::vector<bool>;

const BoxShown kAddOrReplace{BoxShown::Kind::Confirmation,
                             "Вы хотите добавить файлы к уже выбранным или произвести замену?"
                             "\x0A\x0D"
                             "Для замены нажмите кнопку Нет",
                             "Добавить/Заменить файлы", platform::BoxIcon::Question};
const BoxShown kRemove{BoxShown::Kind::Confirmation,
                       "Удалить выделенные файлы из списка?"
                       "\x0A\x0D"
                       "Для удаления нажмите кнопку Да",
                       "Удалить файлы из списка", platform::BoxIcon::Question};
const BoxShown kNothingSelected{BoxShown::Kind::Notice, "Файлы для удаления не выбраны.",
                                "Файлы не выбраны", platform::BoxIcon::Question};

class Commands : public ::testing::Test {
 protected:
  explicit Commands(int capacity = CheckList::kMaxItems) : list(capacity) {}
  void TearDown() override {
    EXPECT_EQ(boxes.unexpected, Strings{});
    EXPECT_EQ(dialog.unexpected, Strings{});
    EXPECT_TRUE(boxes.confirm_answers.empty()) << "a foreseen question was not asked";
    EXPECT_TRUE(dialog.choices.empty()) << "a foreseen choice was not made";
  }

  // Fills an empty list through the command itself, as the user would.
  void choose(const Strings& paths) {
    dialog.choices.push_back(paths);
    commands.btnChoiceFileClick();
  }
  void tick(const Flags& ticks) {
    for (int i = 0; i < static_cast<int>(ticks.size()); ++i) list.set_ticked(i, ticks[i]);
  }
  void select(const Flags& selection) {
    for (int i = 0; i < static_cast<int>(selection.size()); ++i)
      list.set_selected(i, selection[i]);
  }
  Strings texts() const {
    Strings out;
    for (int i = 0; i < list.count(); ++i) out.push_back(list.text(i));
    return out;
  }
  Flags ticks() const {
    Flags out;
    for (int i = 0; i < list.count(); ++i) out.push_back(list.ticked(i));
    return out;
  }
  Flags selection() const {
    Flags out;
    for (int i = 0; i < list.count(); ++i) out.push_back(list.selected(i));
    return out;
  }

  CheckList list;
  testing::TableWidth width;
  testing::RecordingBoxes boxes;
  testing::ScriptedDialog dialog;
  testing::RecordingShell shell;
  DocumentListCommands commands{list, width, boxes, dialog, shell};
};

TEST_F(Commands, WindowCreationSwitchesToMultipleSelectionOfAnEmptyList) {
  EXPECT_FALSE(list.multi_select());
  commands.FormCreate();
  EXPECT_TRUE(list.multi_select());
  EXPECT_EQ(list.count(), 0);
  EXPECT_FALSE(commands.FilesChosen());
}

TEST_F(Commands, ChoosingWithAnEmptyListOpensTheDialogAtOnce) {
  choose({"/d/b.xls", "/d/a.xlt"});
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(dialog.openings, 1);
  EXPECT_EQ(texts(), (Strings{"/d/b.xls", "/d/a.xlt"}));
  EXPECT_EQ(ticks(), (Flags{false, false}));
  EXPECT_EQ(selection(), (Flags{false, false}));
  EXPECT_TRUE(commands.FilesChosen());
}

TEST_F(Commands, CancellingTheFirstDialogChangesNothing) {
  dialog.choices.push_back(std::nullopt);
  commands.btnChoiceFileClick();
  EXPECT_EQ(list.count(), 0);
  EXPECT_FALSE(commands.FilesChosen());
  EXPECT_EQ(list.horizontal_extent(), 0);
}

// The dialog never confirms an empty choice; were one to come, it counts
// as a cancel, so that the flag still tells whether the list holds files.
TEST_F(Commands, AnEmptyConfirmedChoiceCountsAsACancel) {
  choose({"/d/one.xls"});
  boxes.confirm_answers.push_back(false);
  dialog.choices.push_back(Strings{});
  commands.btnChoiceFileClick();
  EXPECT_EQ(list.count(), 0);
  EXPECT_FALSE(commands.FilesChosen());
}

struct AddOrReplaceCase {
  const char* name;
  bool answer;                    // to the add-or-replace question
  ScriptedDialog::Choice choice;  // what the dialog then returns
  Strings texts;
  Flags ticks;
  Flags selection;
  bool files_chosen;
  bool next_choice_asks;
};
std::ostream& operator<<(std::ostream& out, const AddOrReplaceCase& c) { return out << c.name; }

class AddOrReplace : public Commands, public ::testing::WithParamInterface<AddOrReplaceCase> {};

TEST_P(AddOrReplace, FollowsTheAnswerAndTheDialog) {
  const AddOrReplaceCase& c = GetParam();
  choose({"/d/one.xls", "/d/two.xls"});
  tick({true, false});
  select({false, true});
  int count_at_opening = -1;
  dialog.on_open = [&] { count_at_opening = list.count(); };

  boxes.confirm_answers.push_back(c.answer);
  dialog.choices.push_back(c.choice);
  commands.btnChoiceFileClick();

  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0], kAddOrReplace);
  // A No empties the list before the dialog opens.
  EXPECT_EQ(count_at_opening, c.answer ? 2 : 0);
  EXPECT_EQ(texts(), c.texts);
  EXPECT_EQ(ticks(), c.ticks);
  EXPECT_EQ(selection(), c.selection);
  EXPECT_EQ(commands.FilesChosen(), c.files_chosen);

  boxes.shown.clear();
  if (c.next_choice_asks) boxes.confirm_answers.push_back(true);
  dialog.choices.push_back(std::nullopt);
  commands.btnChoiceFileClick();
  EXPECT_EQ(boxes.shown.size(), c.next_choice_asks ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AddOrReplace,
    ::testing::Values(
        AddOrReplaceCase{"YesThenCancel", true, std::nullopt,
                         {"/d/one.xls", "/d/two.xls"}, {true, false}, {false, true}, true, true},
        AddOrReplaceCase{"NoThenCancel", false, std::nullopt, {}, {}, {}, false, false},
        AddOrReplaceCase{"NoThenTwoFiles", false, Strings{"/e/z.xls", "/e/y.xlt"},
                         {"/e/z.xls", "/e/y.xlt"}, {false, false}, {false, false}, true, true},
        AddOrReplaceCase{"YesThenADuplicate", true, Strings{"/d/one.xls"},
                         {"/d/one.xls", "/d/two.xls", "/d/one.xls"}, {true, false, false},
                         {false, true, false}, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct ExtentCase {
  const char* name;
  Strings first, second;  // two choices, the second added to the first
  std::map<std::string, int> widths;
  int extent_after_first, extent_after_second;
};
std::ostream& operator<<(std::ostream& out, const ExtentCase& c) { return out << c.name; }

class Extent : public Commands, public ::testing::WithParamInterface<ExtentCase> {};

TEST_P(Extent, IsTheWidestTextOfAllItemsPlusTwo) {
  const ExtentCase& c = GetParam();
  width.widths = c.widths;
  choose(c.first);
  EXPECT_EQ(list.horizontal_extent(), c.extent_after_first);
  boxes.confirm_answers.push_back(true);
  choose(c.second);
  EXPECT_EQ(list.horizontal_extent(), c.extent_after_second);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Extent,
    ::testing::Values(
        ExtentCase{"NewItemIsWidest", {"a"}, {"b"}, {{"a", 100}, {"b", 250}}, 102, 252},
        ExtentCase{"OldItemStaysWidest", {"a", "b"}, {"c"}, {{"a", 90}, {"b", 300}, {"c", 120}},
                   302, 302},
        ExtentCase{"TieKeepsTheValue", {"a"}, {"b"}, {{"a", 77}, {"b", 77}}, 79, 79},
        ExtentCase{"EmptyTextsGiveTheMarginOnly", {""}, {""}, {}, 2, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Commands, RemovingTheWidestItemKeepsTheExtentUntilTheNextChoice) {
  width.widths = {{"wide", 400}, {"narrow", 50}, {"mid", 80}};
  choose({"narrow", "wide"});
  ASSERT_EQ(list.horizontal_extent(), 402);

  select({false, true});
  boxes.confirm_answers.push_back(true);
  commands.btnCleanListClick();
  EXPECT_EQ(texts(), (Strings{"narrow"}));
  EXPECT_EQ(list.horizontal_extent(), 402);

  boxes.confirm_answers.push_back(true);
  dialog.choices.push_back(std::nullopt);
  commands.btnChoiceFileClick();  // a cancelled choice does not recompute
  EXPECT_EQ(list.horizontal_extent(), 402);

  boxes.confirm_answers.push_back(true);
  choose({"mid"});
  EXPECT_EQ(list.horizontal_extent(), 82);
}

enum class TickCommand { CheckAll, UncheckAll, Invert };

struct TickCase {
  const char* name;
  TickCommand command;
  Flags before, after;
};
std::ostream& operator<<(std::ostream& out, const TickCase& c) { return out << c.name; }

class Ticks : public Commands, public ::testing::WithParamInterface<TickCase> {};

TEST_P(Ticks, ActOnEveryItemAndNothingElse) {
  const TickCase& c = GetParam();
  Strings paths;
  for (std::size_t i = 0; i < c.before.size(); ++i) paths.push_back("/p/" + std::to_string(i));
  if (!paths.empty()) choose(paths);
  tick(c.before);
  const Flags selected = [&] {
    Flags s;
    for (std::size_t i = 0; i < c.before.size(); ++i) s.push_back(i % 2 == 1);
    return s;
  }();
  select(selected);
  if (list.count() > 2) list.set_current_item(2);
  const auto current = list.current_item();
  const int extent = list.horizontal_extent();
  const bool files_chosen = commands.FilesChosen();

  switch (c.command) {
    case TickCommand::CheckAll: commands.btnCheckAllClick(); break;
    case TickCommand::UncheckAll: commands.btnUncheckAllClick(); break;
    case TickCommand::Invert: commands.btnInvertCheckClick(); break;
  }

  EXPECT_EQ(ticks(), c.after);
  EXPECT_EQ(texts(), paths);
  EXPECT_EQ(selection(), selected);
  EXPECT_EQ(list.current_item(), current);
  EXPECT_EQ(list.horizontal_extent(), extent);
  EXPECT_EQ(commands.FilesChosen(), files_chosen);
  EXPECT_TRUE(boxes.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Ticks,
    ::testing::Values(
        TickCase{"CheckAllOnEmpty", TickCommand::CheckAll, {}, {}},
        TickCase{"UncheckAllOnEmpty", TickCommand::UncheckAll, {}, {}},
        TickCase{"InvertOnEmpty", TickCommand::Invert, {}, {}},
        TickCase{"CheckAll", TickCommand::CheckAll, {true, false, false}, {true, true, true}},
        TickCase{"UncheckAll", TickCommand::UncheckAll, {true, false, true}, {false, false, false}},
        TickCase{"Invert", TickCommand::Invert, {true, false, true}, {false, true, false}},
        TickCase{"InvertMixedFour", TickCommand::Invert, {false, false, true, true},
                 {true, true, false, false}}),
    [](const auto& info) { return std::string(info.param.name); });

struct RemoveCase {
  const char* name;
  Flags selection;
  std::optional<bool> answer;  // none: no confirmation is expected
  Strings texts_after;
  Flags ticks_after;
  bool files_chosen;
};
std::ostream& operator<<(std::ostream& out, const RemoveCase& c) { return out << c.name; }

class Remove : public Commands, public ::testing::WithParamInterface<RemoveCase> {};

TEST_P(Remove, RemovesTheSelectedAfterConfirmation) {
  const RemoveCase& c = GetParam();
  choose({"/0", "/1", "/2", "/3", "/4"});
  tick({false, false, false, false, true});
  select(c.selection);
  if (c.answer) boxes.confirm_answers.push_back(*c.answer);

  commands.btnCleanListClick();

  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0], c.answer ? kRemove : kNothingSelected);
  EXPECT_EQ(texts(), c.texts_after);
  EXPECT_EQ(ticks(), c.ticks_after);
  EXPECT_EQ(commands.FilesChosen(), c.files_chosen);
}

const Strings kAll{"/0", "/1", "/2", "/3", "/4"};
const Flags kTicks{false, false, false, false, true};

INSTANTIATE_TEST_SUITE_P(
    Cases, Remove,
    ::testing::Values(
        RemoveCase{"NothingSelected", {}, std::nullopt, kAll, kTicks, true},
        RemoveCase{"AnsweredNo", {false, true, false, true}, false, kAll, kTicks, true},
        RemoveCase{"OneAndThreeKeepTheTickOfFour", {false, true, false, true}, true,
                   {"/0", "/2", "/4"}, {false, false, true}, true},
        RemoveCase{"TheTickedOne", {false, false, false, false, true}, true,
                   {"/0", "/1", "/2", "/3"}, {false, false, false, false}, true},
        RemoveCase{"Everything", {true, true, true, true, true}, true, {}, {}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Commands, AfterRemovingEverythingTheNextChoiceAsksNothing) {
  choose({"/a", "/b"});
  select({true, true});
  boxes.confirm_answers.push_back(true);
  commands.btnCleanListClick();
  boxes.shown.clear();

  choose({"/c"});
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(texts(), (Strings{"/c"}));
}

TEST_F(Commands, RemovingFromAnEmptyListTellsNothingIsSelected) {
  commands.btnCleanListClick();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0], kNothingSelected);
  EXPECT_FALSE(commands.FilesChosen());
}

class FullList : public Commands {
 protected:
  FullList() : Commands(3) {}
};

TEST_F(FullList, AFullListEndsTheChoiceKeepingWhatWasAppended) {
  width.widths = {{"/old", 10}, {"/n1", 500}};
  choose({"/old"});
  ASSERT_EQ(list.horizontal_extent(), 12);

  boxes.confirm_answers.push_back(true);
  dialog.choices.push_back(Strings{"/n1", "/n2", "/n3", "/n4"});
  try {
    commands.btnChoiceFileClick();
    FAIL() << "a full list must refuse the item";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Unable to insert a line");
  }
  EXPECT_EQ(texts(), (Strings{"/old", "/n1", "/n2"}));
  EXPECT_TRUE(commands.FilesChosen());
  EXPECT_EQ(list.horizontal_extent(), 12);
}

TEST_F(Commands, DoubleClickOnAnEmptyListOpensNothing) {
  commands.CheckListBox1DblClick();
  EXPECT_TRUE(shell.launched.empty());
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Commands, DoubleClickOpensTheCurrentItemNotTheSelection) {
  choose({"/a.xls", "/b.xls", "/c.xls"});
  select({true, false, true});
  list.set_current_item(1);

  commands.CheckListBox1DblClick();

  ASSERT_EQ(shell.launched.size(), 1u);
  EXPECT_EQ(shell.launched[0].first, "/b.xls");
  EXPECT_EQ(shell.launched[0].second, platform::ShowMode::Normal);
  EXPECT_EQ(selection(), (Flags{true, false, true}));
}

}  // namespace
}  // namespace vers::doclist
