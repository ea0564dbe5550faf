#pragma once
// The rotation pop-up by the control panel's Rotation button: "0", "180", "0 mirror",
// "180 mirror" (RotationMode 0, 2, 4, 6). The items for 90 and 270 degrees exist
// (item index = RotationMode) but are hidden and never shown.
//
// It sits 130 pixels lower than a pop-up of its template's height placed just
// above the button would; the window ends under its visible items, so it never
// covers the button itself.

#include "dialogs/CDlgMenuPopup.h"

namespace kestovar {

class SettingsDialogHost;

class CDlgMenuRotation : public CDlgMenuPopup {
    Q_OBJECT
public:
    static constexpr int kLowerBy = 130;

    explicit CDlgMenuRotation(QWidget* parent = nullptr);

    // Marks the item of the current rotation (0 to 7; none for another value).
    void Prepare(int32_t rotation);
    static CDlgMenuRotation* Open(SettingsDialogHost& host, QWidget* button, QWidget* parent);

    int TopOffset() const override;

protected:
    int32_t ChoiceOf(int item) const override { return item; }
};

} // namespace kestovar
