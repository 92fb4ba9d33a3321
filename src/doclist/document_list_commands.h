// The commands of the document list: the window's handlers for its creation,
// the list buttons and a double-click in the list, over the list itself and
// the boxes, the file-open dialog and the shell that they use.
#pragma once

#include "doclist/check_list.h"
#include "doclist/text_width.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "platform/shell.h"

namespace vers::doclist {

class DocumentListCommands {
 public:
  // Everything is borrowed and must outlive the commands.
  DocumentListCommands(CheckList& list, const TextWidth& width, platform::MessageBoxes& boxes,
                       platform::FileDialog& dialog, platform::Shell& shell);

  // The window is created: the list takes any number of selected items.
  void FormCreate();
  // Choose files: asks whether to add or replace when the list holds chosen
  // files, opens the dialog, appends the chosen paths unticked at the end,
  // and sets the scroll extent to the widest text plus 2 pixels. Throws
  // std::runtime_error "Unable to insert a line" when the list is full;
  // the items appended before stay and the extent is left as it was.
  void btnChoiceFileClick();
  void btnCheckAllClick();
  void btnUncheckAllClick();
  void btnInvertCheckClick();
  // Removes the selected items after confirmation; tells the user when
  // nothing is selected. The scroll extent stays.
  void btnCleanListClick();
  // Hands the current item's path to the shell; nothing on an empty list.
  void CheckListBox1DblClick();

  // Whether the list holds files that the user chose; it decides only
  // whether choosing files first asks to add or replace. After every
  // command it is true exactly when the list is not empty.
  bool FilesChosen() const { return files_chosen_; }

 private:
  void set_all_ticks(bool ticked);
  void update_extent();

  CheckList& list_;
  const TextWidth& width_;
  platform::MessageBoxes& boxes_;
  platform::FileDialog& dialog_;
  platform::Shell& shell_;
  bool files_chosen_ = false;
};

}  // namespace vers::doclist
