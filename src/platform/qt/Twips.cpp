#include "platform/qt/Twips.h"

#include <QWidget>

#include "shared/FormDesign.h"

namespace vr::qt {

int TwipsToPixels(const QWidget* widget, double twips) {
    return design::TwipsToPixels(twips,
                                 widget != nullptr ? widget->logicalDpiX() : design::kDesignDpi);
}

QRect TwipsRect(const QWidget* widget, double left, double top, double width, double height) {
    return {TwipsToPixels(widget, left), TwipsToPixels(widget, top), TwipsToPixels(widget, width),
            TwipsToPixels(widget, height)};
}

}  // namespace vr::qt
