#pragma once

namespace kestovar {

// The Record button's animation: a process-wide counter 1..12 that picks one of the
// pictures 413..424 every 200 ms and is not reset between recordings.
class RecordIndicator {
public:
    // The picture for the current counter, then advances it (12 becomes 1).
    int NextPicture();
    int counter() const { return counter_; }

    static int PictureFor(int counter); // 413..424; 413 for values outside 1..12
    static int Advance(int counter); // 12 (or anything outside 1..12) -> 1, else +1

    // The one counter of the process (GUI thread).
    static RecordIndicator& Process();

private:
    int counter_ = 1;
};

} // namespace kestovar
