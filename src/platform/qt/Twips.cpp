#include "platform/qt/Twips.h"

#include <QWidget>
#include <cmath>

namespace vr::qt {

int TwipsToPixels(const QWidget* widget, double twips) {
    const double dpi = widget != nullptr ? widget->logicalDpiX() : 96.0;
    return static_cast<int>(std::lround(twips / 15.0 * dpi / 96.0));
}

QRect TwipsRect(const QWidget* widget, double left, double top, double width, double height) {
    return {TwipsToPixels(widget, left), TwipsToPixels(widget, top), TwipsToPixels(widget, width),
            TwipsToPixels(widget, height)};
}

}  // namespace vr::qt
