#pragma once
// Layout helpers of the message dialogs: their labels and buttons come from
// dialog-unit templates, and a message longer than its label makes the dialog
// taller instead of being cut off.

#include <QFont>
#include <QRect>
#include <QString>

namespace kestovar {

class CGdipButton;

// How many pixels taller than labelRect the word-wrapped message needs (0 when it fits).
int ExtraMessageHeight(const QFont& font, const QString& message, const QRect& labelRect);

// Places an image button at its image's size, centred in a template rectangle.
void PlaceButton(CGdipButton* button, const QRect& templateRect);

} // namespace kestovar
