#pragma once
// The behaviour of the no-camera notice that needs no window: its blinking
// opacity and which keys it hands on to the main window.

namespace kestovar {

// The notice's opacity, stepped every 200 ms: from 255 down by 25 to 0, then up
// by 25 to 255, and so on (255, 230, ... 5, 0, 25, 50, ...).
class BlinkOpacity {
public:
    static constexpr int kStep = 25;

    int Value() const { return opacity_; }
    bool GoingDown() const { return down_; }
    void Reset()
    {
        opacity_ = 255;
        down_ = true;
    }
    int Step();

private:
    int opacity_ = 255;
    bool down_ = true;
};

// Whether a key pressed on the notice goes to the main window. F1, F7, F9,
// Escape and Enter always do (so Escape and Enter never close the notice); F3,
// F4 and F5 only when recording keys are allowed (a supported camera is present
// and nothing is being played or shown). Qt::Key values.
bool ForwardNoCameraKey(int key, bool recordingKeysAllowed);

} // namespace kestovar
