#include "app/CDlgMain.h"

#include "app/CKestovarApp.h"

#include <QCloseEvent>
#include <QPalette>

namespace kestovar {

CDlgMain::CDlgMain(CKestovarApp& app, QWidget* parent)
    : QMainWindow(parent)
    , app_(app)
{
    setWindowTitle(QStringLiteral("Kestovar"));
    setMinimumSize(1000, 700);
    QPalette dark = palette();
    dark.setColor(QPalette::Window, QColor(0x22, 0x22, 0x22));
    dark.setColor(QPalette::WindowText, Qt::white);
    setPalette(dark);
    setAutoFillBackground(true);
}

void CDlgMain::closeEvent(QCloseEvent* event)
{
    app_.CloseAll();
    event->accept();
    emit closed();
}

} // namespace kestovar
