#include "app/button_picture.h"

#include <QPixmap>
#include <QString>

namespace vers::app {

QImage button_image(const char* name) {
  return QImage(QStringLiteral(":/pictures/%1.bmp").arg(QString::fromLatin1(name)));
}

QImage transparent_picture(const QImage& image) {
  if (image.isNull()) return image;
  QImage picture = image.convertToFormat(QImage::Format_ARGB32);
  const QRgb clear_colour = picture.pixel(0, picture.height() - 1);
  for (int y = 0; y < picture.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int x = 0; x < picture.width(); ++x)
      if (line[x] == clear_colour) line[x] = qRgba(0, 0, 0, 0);
  }
  return picture;
}

QIcon button_picture(const char* name) {
  return QIcon(QPixmap::fromImage(transparent_picture(button_image(name))));
}

}  // namespace vers::app
