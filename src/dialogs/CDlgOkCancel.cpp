#include "dialogs/CDlgOkCancel.h"

#include "dialogs/MessageLayout.h"
#include "ui/CFontStatic.h"
#include "ui/CGdipButton.h"
#include "ui/DialogUnits.h"
#include "ui/SkinPalette.h"

namespace kestovar {

namespace {
const QRect kLabel = DluRect(34, 16, 139, 17);
const QRect kYes = DluRect(32, 44, 69, 25);
const QRect kNo = DluRect(107, 44, 68, 26);
const QSize kClient = DluSize(207, 77);
} // namespace

CDlgOkCancel::CDlgOkCancel(QWidget* parent)
    : CMyDialog(parent)
    , label_(new CFontStatic(this))
    , yes_(new CGdipButton("button", "Yes", this))
    , no_(new CGdipButton("button", "No", this))
{
    label_->SetFont("Arial", 15, skin::kText, CFontStatic::Left);
    label_->SetBackground(skin::kBackground);
    yes_->setDefault(true);
    connect(yes_, &QPushButton::clicked, this, &QDialog::accept);
    connect(no_, &QPushButton::clicked, this, &QDialog::reject);
    Relayout();
}

CDlgOkCancel::CDlgOkCancel(const QString& message, QWidget* parent)
    : CDlgOkCancel(parent)
{
    SetMessage(message);
}

void CDlgOkCancel::SetMessage(const QString& message)
{
    label_->setText(message);
    Relayout();
}

QString CDlgOkCancel::Message() const
{
    return label_->text();
}

void CDlgOkCancel::Relayout()
{
    const int extra = ExtraMessageHeight(label_->font(), label_->text(), kLabel);
    SetClientSize(kClient + QSize(0, extra));
    label_->setGeometry(ToDialog(kLabel.adjusted(0, 0, 0, extra)));
    PlaceButton(yes_, ToDialog(kYes.translated(0, extra)));
    PlaceButton(no_, ToDialog(kNo.translated(0, extra)));
}

void CDlgOkCancel::showEvent(QShowEvent* event)
{
    CMyDialog::showEvent(event);
    if (!parentWidget())
        CentreOnScreen(); // with a parent, Qt centres the question over it
    ClipDialogFrame(this);
    yes_->setFocus();
}

} // namespace kestovar
