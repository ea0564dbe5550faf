#include "playback/PlaybackHost.h"

#include <QMessageBox>

namespace kestovar {

void PlaybackHost::ReportError(const QString& message, QWidget* parent)
{
    QMessageBox::critical(parent, QStringLiteral("Kestovar"), message);
}

} // namespace kestovar
