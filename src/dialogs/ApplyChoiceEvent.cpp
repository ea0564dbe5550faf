#include "dialogs/ApplyChoiceEvent.h"

#include "capture/CaptureTypes.h"
#include "recording/CAppSettings.h"

namespace kestovar {

bool StoreChoice(const ApplyChoiceEvent& event, CAppSettings& settings)
{
    const int32_t choice = event.choice();
    switch (event.kind()) {
    case ChoiceKind::Resolution:
        if (choice < Res1080 || choice > Res480)
            return false;
        settings.resolution = choice;
        return true;
    case ChoiceKind::Rotation:
        if (choice < 0 || choice > 7)
            return false;
        settings.rotation = choice;
        return true;
    }
    return false;
}

} // namespace kestovar
