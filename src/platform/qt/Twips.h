#pragma once

#include <QRect>

class QWidget;

namespace vr::qt {

// Forms are designed in twips: 15 to a pixel at 96 dots per inch. These scale the design to the
// density of the screen the widget is on.
int TwipsToPixels(const QWidget* widget, double twips);
QRect TwipsRect(const QWidget* widget, double left, double top, double width, double height);

}  // namespace vr::qt
