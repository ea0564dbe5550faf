#pragma once
// WM_APPLY_CHOICE: a resolution or rotation pop-up item was chosen. The pop-ups post
// it to the embedded frame, which stores the choice (StoreChoice) and goes live again.
// The event carries what was chosen rather than window handles, so it stays valid
// after the pop-up has been replaced.

#include <QEvent>

#include <cstdint>

namespace kestovar {

class CAppSettings;

inline constexpr QEvent::Type kApplyChoiceEventType = static_cast<QEvent::Type>(0x0432);

enum class ChoiceKind { Resolution, Rotation };

class ApplyChoiceEvent : public QEvent {
public:
    // item: the item's index in its pop-up; choice: its meaning, a ResolutionChoice
    // (resolution pop-up) or a RotationMode (rotation pop-up).
    ApplyChoiceEvent(ChoiceKind kind, int item, int32_t choice)
        : QEvent(kApplyChoiceEventType)
        , kind_(kind)
        , item_(item)
        , choice_(choice)
    {
    }

    ChoiceKind kind() const { return kind_; }
    int item() const { return item_; }
    int32_t choice() const { return choice_; }

private:
    ChoiceKind kind_;
    int item_;
    int32_t choice_;
};

// The receiver's first step: sets the settings' resolution or rotation index to the
// choice. False (nothing changed) for a choice outside its range.
bool StoreChoice(const ApplyChoiceEvent& event, CAppSettings& settings);

} // namespace kestovar
