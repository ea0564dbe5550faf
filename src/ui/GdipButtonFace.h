#pragma once
// Which pre-rendered face an image button shows, decided from its state alone.

namespace kestovar {

enum class GdipFace {
    Standard,
    StandardPressed,
    StandardHover,
    Alternate,
    AlternatePressed,
    AlternateHover,
    Dim,
};

struct GdipButtonState {
    bool disabledLook = false; // set by the owner, or the button is disabled
    bool toggleMode = false;
    bool toggled = false;
    bool pressed = false;
    bool hover = false;
    bool hasAlternate = false;
};

// The dim look wins; a toggled button in toggle mode shows its alternate set
// except while pressed, when it shows the standard pressed face like any button.
// Without an alternate image the standard set stands in for it.
inline GdipFace ChooseGdipFace(const GdipButtonState& s)
{
    if (s.disabledLook)
        return GdipFace::Dim;
    if (s.pressed)
        return GdipFace::StandardPressed;
    const bool alternate = s.toggleMode && s.toggled && s.hasAlternate;
    if (alternate)
        return s.hover ? GdipFace::AlternateHover : GdipFace::Alternate;
    return s.hover ? GdipFace::StandardHover : GdipFace::Standard;
}

} // namespace kestovar
