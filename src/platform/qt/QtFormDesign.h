#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>
#include <span>
#include <string_view>

#include "shared/FormDesign.h"

namespace vr::qt {

QString Text(std::string_view text);
// The window flags of a form's border, control box and buttons.
Qt::WindowFlags WindowFlags(const design::FormDesign& form);
// Names the form, sets its flags and caption, and fixes `client` (the form itself for a dialog)
// at the design's client size.
void ApplyDesign(QWidget* form, QWidget* client, const design::FormDesign& design);
// Adds the controls to `client` as named widgets in their places, with their captions and fonts,
// Tab moving through them in their tab order, and the form's default button marked.
void AddControls(QWidget* client, const design::FormDesign& form,
                 std::span<const design::ControlDesign> controls);
// The logo, as Image1 and picIcon show it, drawn for a screen of that pixel ratio.
QPixmap LogoPixmap(qreal ratio = 1.0);
// Places `form` in the middle of its owner's frame, or of the screen without a shown owner.
void CentreOn(QWidget* form, const QWidget* owner);

}  // namespace vr::qt
