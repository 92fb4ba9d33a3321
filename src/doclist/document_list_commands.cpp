#include "doclist/document_list_commands.h"

namespace vers::doclist {

namespace {

// Two-line texts break with a line feed followed by a carriage return.
constexpr const char* kAddOrReplaceCaption = "Добавить/Заменить файлы";
constexpr const char* kAddOrReplaceText =
    "Вы хотите добавить файлы к уже выбранным или произвести замену?\n\r"
    "Для замены нажмите кнопку Нет";
constexpr const char* kNothingSelectedCaption = "Файлы не выбраны";
constexpr const char* kNothingSelectedText = "Файлы для удаления не выбраны.";
constexpr const char* kRemoveCaption = "Удалить файлы из списка";
constexpr const char* kRemoveText =
    "Удалить выделенные файлы из списка?\n\r"
    "Для удаления нажмите кнопку Да";

// The extent covers the widest text and this margin; the tick box in front
// of the text is not counted.
constexpr int kExtentMargin = 2;

}  // namespace

DocumentListCommands::DocumentListCommands(CheckList& list, const TextWidth& width,
                                           platform::MessageBoxes& boxes,
                                           platform::FileDialog& dialog, platform::Shell& shell)
    : list_(list), width_(width), boxes_(boxes), dialog_(dialog), shell_(shell) {}

void DocumentListCommands::FormCreate() { list_.set_multi_select(true); }

void DocumentListCommands::btnChoiceFileClick() {
  if (files_chosen_ && !boxes_.confirm(kAddOrReplaceText, kAddOrReplaceCaption)) {
    // Replacing: the list empties before the dialog opens, so a cancelled
    // dialog leaves it empty.
    files_chosen_ = false;
    list_.clear();
  }
  const auto chosen = dialog_.execute();
  if (!chosen || chosen->empty()) return;
  files_chosen_ = true;
  for (const std::string& path : *chosen) list_.append(path);
  update_extent();
}

void DocumentListCommands::btnCheckAllClick() { set_all_ticks(true); }

void DocumentListCommands::btnUncheckAllClick() { set_all_ticks(false); }

void DocumentListCommands::btnInvertCheckClick() {
  const int n = list_.count();
  for (int i = 0; i < n; ++i) list_.set_ticked(i, !list_.ticked(i));
}

void DocumentListCommands::btnCleanListClick() {
  if (list_.selected_count() <= 0) {
    boxes_.notice(kNothingSelectedText, kNothingSelectedCaption, platform::BoxIcon::Question);
  } else if (boxes_.confirm(kRemoveText, kRemoveCaption)) {
    // From the bottom up, so that the items not yet visited keep their index.
    for (int i = list_.count() - 1; i >= 0; --i)
      if (list_.selected(i)) list_.remove(i);
  }
  files_chosen_ = list_.count() > 0;
}

void DocumentListCommands::CheckListBox1DblClick() {
  if (const auto current = list_.current_item())
    shell_.open(list_.text(*current), platform::ShowMode::Normal);
}

void DocumentListCommands::set_all_ticks(bool ticked) {
  const int n = list_.count();
  for (int i = 0; i < n; ++i) list_.set_ticked(i, ticked);
}

void DocumentListCommands::update_extent() {
  int widest = 0;
  for (int i = 0; i < list_.count(); ++i) {
    const int w = width_.text_width(list_.text(i));
    if (w > widest) widest = w;
  }
  list_.set_horizontal_extent(widest + kExtentMargin);
}

}  // namespace vers::doclist
