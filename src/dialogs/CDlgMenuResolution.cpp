#include "dialogs/CDlgMenuResolution.h"

#include "dialogs/SettingsDialogHost.h"
#include "recording/CAppSettings.h"
#include "ui/CFontStatic2.h"
#include "ui/DialogUnits.h"
#include "ui/SkinPalette.h"

namespace kestovar {

CDlgMenuResolution::CDlgMenuResolution(QWidget* parent)
    : CDlgMenuPopup(ChoiceKind::Resolution, DluSize(94, 64), parent)
{
    AddItem(QStringLiteral("640x480P"), DluRect(0, 8, 93, 16));
    AddItem(QStringLiteral("1280x720P"), DluRect(0, 25, 93, 16));
    AddItem(QStringLiteral("1920x1080P"), DluRect(0, 41, 93, 15));
}

void CDlgMenuResolution::Prepare(std::optional<SourceKind> openCamera, int32_t resolution)
{
    const bool mjpeg = openCamera == SourceKind::Mjpeg;
    for (int i = 1; i < ItemCount(); ++i) {
        Item(i)->setEnabled(!mjpeg);
        Item(i)->SetFont("Arial", 15, mjpeg ? skin::kGreyedText : skin::kPopupItemText);
    }
    if (mjpeg)
        Select(0);
    else if (resolution == Res480)
        Select(0);
    else if (resolution == Res720)
        Select(1);
    else
        Select(2);
}

CDlgMenuResolution* CDlgMenuResolution::Open(SettingsDialogHost& host, QWidget* button, QWidget* parent)
{
    auto* popup = new CDlgMenuResolution(parent);
    popup->SetNotifyTarget(host.choiceTarget());
    popup->Prepare(host.openCameraKind(), host.settings().resolution);
    popup->ShowAbove(button);
    return popup;
}

} // namespace kestovar
