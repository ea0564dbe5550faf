#include "dialogs/MessageLayout.h"

#include "ui/CGdipButton.h"

#include <QFontMetrics>

namespace kestovar {

int ExtraMessageHeight(const QFont& font, const QString& message, const QRect& labelRect)
{
    const QFontMetrics fm(font);
    const QRect needed = fm.boundingRect(QRect(0, 0, labelRect.width(), 10000), Qt::TextWordWrap, message);
    return std::max(0, needed.height() - labelRect.height());
}

void PlaceButton(CGdipButton* button, const QRect& templateRect)
{
    const QSize s = button->sizeHint();
    QRect r(QPoint(0, 0), s);
    r.moveCenter(templateRect.center());
    button->setGeometry(r);
}

} // namespace kestovar
