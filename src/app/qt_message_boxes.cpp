#include "app/qt_message_boxes.h"

namespace vers::app {

namespace {

QMessageBox::Icon qt_icon(platform::BoxIcon icon) {
  switch (icon) {
    case platform::BoxIcon::Question: return QMessageBox::Question;
    case platform::BoxIcon::Information: return QMessageBox::Information;
    case platform::BoxIcon::Warning: return QMessageBox::Warning;
    case platform::BoxIcon::Stop: return QMessageBox::Critical;
    case platform::BoxIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

// Texts are shown as they stand: a path with "<" in it is not markup.
int show(QMessageBox::Icon icon, const std::string& caption, const std::string& text,
         QMessageBox::StandardButtons buttons, QMessageBox::StandardButton default_button,
         QWidget* parent) {
  QMessageBox box(icon, QString::fromStdString(caption), box_text(text), buttons, parent);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(default_button);
  return box.exec();
}

}  // namespace

QString box_text(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
  return shown;
}

void QtMessageBoxes::information(const std::string& text) {
  show(QMessageBox::NoIcon, kApplicationTitle, text, QMessageBox::Ok, QMessageBox::Ok, nullptr);
}

bool QtMessageBoxes::confirm(const std::string& text, const std::string& caption) {
  return show(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
              QMessageBox::Yes, parent_) == QMessageBox::Yes;
}

void QtMessageBoxes::notice(const std::string& text, const std::string& caption,
                            platform::BoxIcon icon) {
  show(qt_icon(icon), caption, text, QMessageBox::Ok, QMessageBox::Ok, parent_);
}

}  // namespace vers::app
