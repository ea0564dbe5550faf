#include "recording/RecordIndicator.h"

namespace kestovar {

int RecordIndicator::PictureFor(int counter)
{
    return counter >= 1 && counter <= 12 ? 412 + counter : 413;
}

int RecordIndicator::Advance(int counter)
{
    // Out-of-range values restart the cycle instead of freezing the animation.
    return (counter >= 12 || counter < 1) ? 1 : counter + 1;
}

int RecordIndicator::NextPicture()
{
    const int picture = PictureFor(counter_);
    counter_ = Advance(counter_);
    return picture;
}

RecordIndicator& RecordIndicator::Process()
{
    static RecordIndicator indicator;
    return indicator;
}

} // namespace kestovar
