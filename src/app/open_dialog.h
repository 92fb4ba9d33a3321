// The file-open dialog through which workbooks are chosen, shared by every
// command that opens it: after each confirmed opening it remembers the
// filter in use and the first path chosen, and the next opening starts with
// them; a cancelled opening changes neither. It is Qt's own dialog, not
// the desktop's, so that its settings hold on every desktop.
#pragma once

#include <QFileDialog>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_dialog.h"

namespace vers::app {

class OpenDialog : public platform::FileDialog {
 public:
  // The filter entries; the first is in use when the dialog first opens.
  static QStringList name_filters();

  explicit OpenDialog(QWidget* parent = nullptr) : parent_(parent) {}

  // Modal: the full paths chosen, in the dialog's order, or nothing when
  // cancelled. A typed name need not exist.
  std::optional<std::vector<std::string>> execute() override;

  // The first path of the last confirmed choice, the filter then in use.
  const QString& remembered_path() const { return path_; }
  const QString& remembered_filter() const { return filter_; }

  // The dialog while it is open, nullptr otherwise.
  QFileDialog* shown_dialog() const { return shown_; }

 private:
  QWidget* parent_;
  QString path_;
  QString filter_;
  QFileDialog* shown_ = nullptr;
};

}  // namespace vers::app
