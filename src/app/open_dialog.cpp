#include "app/open_dialog.h"

#include <QAbstractItemView>
#include <QFileInfo>

namespace vers::app {

namespace {

// Qt's dialog takes typed names of files that do not exist only in its
// "any file" mode, which lists one file at a time; its lists are switched
// back to choosing several, as the name field already takes several quoted
// names.
void choose_any_names(QFileDialog& dialog) {
  dialog.setFileMode(QFileDialog::AnyFile);
  for (QAbstractItemView* view : dialog.findChildren<QAbstractItemView*>()) {
    if (view->objectName() == QLatin1String("listView") ||
        view->objectName() == QLatin1String("treeView"))
      view->setSelectionMode(QAbstractItemView::ExtendedSelection);
  }
}

}  // namespace

QStringList OpenDialog::name_filters() {
  return {QStringLiteral("Файл MS Excel (*.xls)"), QStringLiteral("Шаблон MS Excel (*.xlt)"),
          QStringLiteral("Книга OpenDocument (*.ods)"),
          QStringLiteral("Книга Office Open XML (*.xlsx *.xlsm)")};
}

std::optional<std::vector<std::string>> OpenDialog::execute() {
  // A dialog of its own for each opening, so that nothing of a cancelled
  // one carries over; only what is remembered does.
  QFileDialog dialog(parent_);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  choose_any_names(dialog);
  dialog.setNameFilters(name_filters());
  dialog.setSizeGripEnabled(true);
  if (!filter_.isEmpty()) dialog.selectNameFilter(filter_);
  if (!path_.isEmpty()) {
    const QFileInfo last(path_);
    dialog.setDirectory(last.absolutePath());
    dialog.selectFile(last.fileName());
  }

  shown_ = &dialog;
  const int result = dialog.exec();
  shown_ = nullptr;
  if (result != QDialog::Accepted) return std::nullopt;

  // Folders among several names are not workbooks; a single folder name
  // makes the dialog open that folder instead of returning.
  QStringList files;
  for (const QString& file : dialog.selectedFiles()) {
    const QFileInfo info(file);
    if (!info.isDir()) files << info.absoluteFilePath();
  }
  if (files.isEmpty()) return std::nullopt;
  filter_ = dialog.selectedNameFilter();
  path_ = files.front();

  std::vector<std::string> paths;
  paths.reserve(static_cast<std::size_t>(files.size()));
  for (const QString& file : files) paths.push_back(file.toStdString());
  return paths;
}

}  // namespace vers::app
