#include "app/window_font.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QStringList>

namespace vers::app {

namespace {

constexpr int kPixelSize = 11;
constexpr int kLineHeight = 13;

QFont sized(const QString& family) {
  QFont font(family);
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(kPixelSize);
  font.setWeight(QFont::Normal);
  font.setItalic(false);
  return font;
}

bool installed(const QFont& font) {
  return QFontInfo(font).family().compare(font.family(), Qt::CaseInsensitive) == 0;
}

}  // namespace

QFont window_font() {
  // Nearest first: the face itself, its successor, faces of the same build,
  // then the wider faces that most desktops carry.
  const QStringList families{"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans",
                             "Arimo",         "DejaVu Sans",          "Noto Sans"};
  QFont first_installed;
  bool found = false;
  for (const QString& family : families) {
    const QFont font = sized(family);
    if (!installed(font)) continue;
    if (QFontMetrics(font).height() == kLineHeight) return font;
    if (!found) first_installed = font;
    found = true;
  }
  // No face of the list gives 13-pixel lines: the nearest installed one,
  // or fontconfig's sans-serif face.
  return found ? first_installed : sized(QStringLiteral("Sans Serif"));
}

}  // namespace vers::app
