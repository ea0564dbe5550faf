#include "dialogs/CDlgMenuRotation.h"

#include "dialogs/SettingsDialogHost.h"
#include "recording/CAppSettings.h"
#include "ui/CFontStatic2.h"
#include "ui/DialogUnits.h"

namespace kestovar {

namespace {

// The template is 94 x 145 dialog units; only its top part holds visible items, and
// the window is cut to the background picture's height below them.
const QSize kTemplate = DluSize(94, 145);
constexpr int kWindowHeight = 104;

struct ItemPlace {
    const char* text;
    QRect rect; // dialog units
    bool visible;
};
// Item index = RotationMode.
const ItemPlace kItems[] = {
    { "0", { 0, 6, 93, 13 }, true },
    { "90", { 0, 57, 81, 11 }, false },
    { "180", { 0, 18, 93, 13 }, true },
    { "270", { 0, 73, 81, 11 }, false },
    { "0 mirror", { 0, 30, 93, 13 }, true },
    { "90 mirror", { 0, 87, 81, 11 }, false },
    { "180 mirror", { 0, 43, 93, 13 }, true },
    { "270 mirror", { 0, 101, 81, 11 }, false },
};

} // namespace

CDlgMenuRotation::CDlgMenuRotation(QWidget* parent)
    : CDlgMenuPopup(ChoiceKind::Rotation, QSize(kTemplate.width(), kWindowHeight), parent)
{
    for (const ItemPlace& place : kItems) {
        CFontStatic2* item = AddItem(QString::fromLatin1(place.text),
            DluRect(place.rect.x(), place.rect.y(), place.rect.width(), place.rect.height()));
        item->setVisible(place.visible);
    }
}

void CDlgMenuRotation::Prepare(int32_t rotation)
{
    Select(rotation >= 0 && rotation < ItemCount() ? rotation : -1);
}

int CDlgMenuRotation::TopOffset() const
{
    return -kTemplate.height() + kLowerBy;
}

CDlgMenuRotation* CDlgMenuRotation::Open(SettingsDialogHost& host, QWidget* button, QWidget* parent)
{
    auto* popup = new CDlgMenuRotation(parent);
    popup->SetNotifyTarget(host.choiceTarget());
    popup->Prepare(host.settings().rotation);
    popup->ShowAbove(button);
    return popup;
}

} // namespace kestovar
