#include "platform/qt/QtFormDesign.h"

#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <vector>

#include "platform/artwork/Artwork.h"
#include "platform/qt/Twips.h"

namespace vr::qt {
namespace {

QWidget* CreateWidget(const design::ControlDesign& control, QWidget* client) {
    switch (control.kind) {
        case design::ControlKind::CommandButton:
            return new QPushButton(Text(control.caption), client);
        case design::ControlKind::Label: {
            auto* label = new QLabel(Text(control.caption), client);
            label->setWordWrap(true);
            if (control.alignment == design::Alignment::Centre) {
                label->setAlignment(Qt::AlignCenter);
            }
            return label;
        }
        case design::ControlKind::Frame: {
            auto* frame = new QFrame(client);
            frame->setFrameShape(QFrame::Box);
            frame->setFrameShadow(QFrame::Sunken);
            return frame;
        }
        case design::ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(client);
            bar->setTextVisible(false);
            return bar;
        }
        case design::ControlKind::Picture: {
            auto* picture = new QLabel(client);
            picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);  // shown at its own size
            return picture;
        }
        case design::ControlKind::ImageList:
        case design::ControlKind::Timer:
            break;
    }
    return nullptr;  // not a widget
}

}  // namespace

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

Qt::WindowFlags WindowFlags(const design::FormDesign& form) {
    Qt::WindowFlags flags = form.border == design::Border::FixedSingle ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (form.controlBox) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    if (form.minButton) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    if (form.maxButton) {
        flags |= Qt::WindowMaximizeButtonHint;
    }
    return flags;
}

void ApplyDesign(QWidget* form, QWidget* client, const design::FormDesign& design) {
    form->setObjectName(Text(design.name));
    form->setWindowFlags(WindowFlags(design));
    form->setWindowTitle(Text(design.caption));
    // What a screen reader names a minimised window by.
    form->setWindowIconText(Text(design.caption));
    client->setFixedSize(TwipsToPixels(form, design.clientWidth),
                         TwipsToPixels(form, design.clientHeight));
}

void AddControls(QWidget* client, const design::FormDesign& form,
                 std::span<const design::ControlDesign> controls) {
    std::vector<std::pair<int, QWidget*>> tabStops;
    for (const design::ControlDesign& control : controls) {
        QWidget* widget = CreateWidget(control, client);
        if (widget == nullptr) {
            continue;
        }
        widget->setObjectName(Text(control.name));
        const design::Rect at = design::InForm(controls, control);
        widget->setGeometry(TwipsRect(client, at.left, at.top, at.width, at.height));
        if (!control.font.face.empty()) {
            QFont font(Text(control.font.face));
            font.setPointSizeF(control.font.points);
            widget->setFont(font);
        }
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            // Enter presses the focused button on every form, as it does in a dialog.
            button->setAutoDefault(true);
            button->setDefault(control.name == form.defaultButton);
        }
        if (!control.accessibleName.empty()) {
            widget->setAccessibleName(Text(control.accessibleName));
        }
        if (control.tabIndex >= 0) {
            tabStops.emplace_back(control.tabIndex, widget);
        }
    }
    std::sort(tabStops.begin(), tabStops.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < tabStops.size(); ++i) {
        QWidget::setTabOrder(tabStops[i - 1].second, tabStops[i].second);
    }
}

QPixmap LogoPixmap(qreal ratio) {
    const artwork::Image logo = artwork::Logo(qRound(design::kLogoWidthPixels * ratio),
                                              qRound(design::kLogoHeightPixels * ratio));
    const QImage view(logo.rgba.data(), logo.width, logo.height, logo.width * 4,
                      QImage::Format_RGBA8888);
    QPixmap pixmap = QPixmap::fromImage(view.copy());
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

void CentreOn(QWidget* form, const QWidget* owner) {
    const QRect area = owner != nullptr && owner->isVisible() ? owner->frameGeometry()
                                                              : form->screen()->geometry();
    form->move(area.center() - QPoint(form->width() / 2, form->height() / 2));
}

}  // namespace vr::qt
