#include "dialogs/CDlgOk.h"

#include "dialogs/MessageLayout.h"
#include "ui/CFontStatic.h"
#include "ui/CGdipButton.h"
#include "ui/DialogUnits.h"
#include "ui/SkinPalette.h"

#include <QDebug>

namespace kestovar {

namespace {
const QRect kLabel = DluRect(33, 20, 137, 24);
const QRect kOk = DluRect(67, 51, 70, 26);
const QSize kClient = DluSize(205, 87);
} // namespace

CDlgOk::CDlgOk(QWidget* parent)
    : CMyDialog(parent)
    , label_(new CFontStatic(this))
    , ok_(new CGdipButton("button", "Ok", this))
{
    label_->SetFont("Arial", 15, skin::kText, CFontStatic::Left);
    label_->SetBackground(skin::kBackground);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    timer_.setInterval(kTimerMs);
    connect(&timer_, &QTimer::timeout, this, &CDlgOk::Tick);
    Relayout();
}

CDlgOk::CDlgOk(const QString& message, QWidget* parent)
    : CDlgOk(parent)
{
    SetMessage(message);
}

void CDlgOk::SetMessage(const QString& message)
{
    label_->setText(message);
    Relayout();
}

QString CDlgOk::Message() const
{
    return label_->text();
}

void CDlgOk::EnableAutoClose()
{
    autoClose_ = true;
    elapsed_ = 0;
}

void CDlgOk::Relayout()
{
    const int extra = ExtraMessageHeight(label_->font(), label_->text(), kLabel);
    SetClientSize(kClient + QSize(0, extra));
    label_->setGeometry(ToDialog(kLabel.adjusted(0, 0, 0, extra)));
    PlaceButton(ok_, ToDialog(kOk.translated(0, extra)));
}

void CDlgOk::Tick()
{
    if (!autoClose_)
        return;
    if (elapsed_ >= kAutoCloseLimit) {
        timer_.stop();
        accept();
    }
    ++elapsed_;
    qDebug("g_nCurrentDelay = %d, m_nMax = %d", elapsed_, kAutoCloseLimit);
}

void CDlgOk::showEvent(QShowEvent* event)
{
    CMyDialog::showEvent(event);
    CentreOnScreen();
    raise();
    activateWindow();
    ClipDialogFrame(this);
    ok_->setFocus();
    timer_.start();
}

void CDlgOk::hideEvent(QHideEvent* event)
{
    timer_.stop();
    CMyDialog::hideEvent(event);
}

} // namespace kestovar
