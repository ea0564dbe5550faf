#include "library/CExEdit.h"

#include "dialogs/CDlgOk.h"
#include "recording/FileNameRules.h"
#include "ui/SkinPalette.h"

#include <QKeyEvent>
#include <QPainter>

namespace kestovar {

void ShowNotice(QWidget* parent, const QString& text)
{
    CDlgOk dialog(text, parent);
    dialog.SetTitle(QStringLiteral("Kestovar"));
    dialog.exec();
}

CExEdit::CExEdit(QWidget* parent)
    : QLineEdit(parent)
    , notice_(ShowNotice)
{
    setFrame(false);
    setTextMargins(3, 1, 3, 1);
    QPalette p = palette();
    p.setColor(QPalette::Base, skin::Colour(kFace));
    p.setColor(QPalette::Text, skin::Colour(skin::kText));
    p.setColor(QPalette::Disabled, QPalette::Base, skin::Colour(kFace));
    p.setColor(QPalette::Disabled, QPalette::Text, skin::Colour(0xB4B4B4));
    setPalette(p);
    alertTimer_.setInterval(kAlertPeriodMs);
    connect(&alertTimer_, &QTimer::timeout, this, &CExEdit::AlertTick);
}

void CExEdit::StartAlert(const QString& message)
{
    if (notice_)
        notice_(window(), message);
    alertTimer_.start();
}

void CExEdit::StopAlert()
{
    alertTimer_.stop();
    alertFlag_ = false;
    update();
}

void CExEdit::AlertTick()
{
    alertFlag_ = !alertFlag_;
    update();
}

void CExEdit::keyPressEvent(QKeyEvent* event)
{
    if (!fileNameMode_ || event->text().isEmpty()
        || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    // Only typed characters pass the filter; a pasted text is checked as a whole
    // when the recording starts.
    const QList<uint> chars = event->text().toUcs4();
    for (const uint c : chars) {
        if (c < 0x20 || c == 0x7F)
            continue; // editing keys (Backspace, Enter, ...) carry these
        const TypedCharDecision d = OnFileNameCharTyped(text().toStdString(), static_cast<char32_t>(c));
        if (d.stopAlert)
            StopAlert();
        if (d.refuse) {
            event->accept();
            if (notice_)
                notice_(
                    window(), QString::fromUtf8(kFileNameCharsMessage.data(), kFileNameCharsMessage.size()));
            update();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void CExEdit::paintEvent(QPaintEvent* event)
{
    QLineEdit::paintEvent(event);
    QPainter p(this);
    p.setBrush(Qt::NoBrush);
    p.setPen(skin::Colour(BorderColour()));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    if (alertFlag_)
        p.drawRect(rect().adjusted(1, 1, -2, -2)); // twice as wide, so it is seen at a glance
}

} // namespace kestovar
