#pragma once
// The resolution pop-up above the control panel's Resolution button: "640x480P",
// "1280x720P", "1920x1080P" (ResolutionChoice 2, 1, 0: smallest first). With an
// MJPG camera open only 640x480 exists: the two others are grey and ignore clicks.

#include "capture/CaptureTypes.h"
#include "dialogs/CDlgMenuPopup.h"

#include <optional>

namespace kestovar {

class SettingsDialogHost;

class CDlgMenuResolution : public CDlgMenuPopup {
    Q_OBJECT
public:
    explicit CDlgMenuResolution(QWidget* parent = nullptr);

    // Marks the current item: "640x480P" for an MJPG camera (and greys the others),
    // otherwise the item of `resolution` (any value but 1 or 2 means 1920x1080).
    void Prepare(std::optional<SourceKind> openCamera, int32_t resolution);
    // Everything the control panel does on its button: a new pop-up prepared from
    // the host, posting to the host's choice target, shown above `button`.
    static CDlgMenuResolution* Open(SettingsDialogHost& host, QWidget* button, QWidget* parent);

    static int32_t ChoiceOfItem(int item) { return Res480 - item; }

protected:
    int32_t ChoiceOf(int item) const override { return ChoiceOfItem(item); }
};

} // namespace kestovar
