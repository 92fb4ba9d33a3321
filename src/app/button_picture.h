// The picture of a button, from the program's resources: one image of
// 24 x 24 pixels whose bottom-left pixel's colour is drawn transparent.
#pragma once

#include <QIcon>
#include <QImage>

namespace vers::app {

// The image as stored, e.g. button_image("btnHelp"); a null image when the
// resources hold no picture of that name.
QImage button_image(const char* name);

// The same image with every pixel of the bottom-left pixel's colour made
// transparent. The button derives its pressed and disabled looks from it.
QImage transparent_picture(const QImage& image);

QIcon button_picture(const char* name);

}  // namespace vers::app
