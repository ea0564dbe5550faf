#pragma once
// The storage line of the case information form: the free-space percentage and the
// storage root as it fits its box.

#include "platform/DiskSpace.h"

#include <QString>

class QFontMetrics;

namespace kestovar {

// Free space in whole gibibytes over the total in whole gibibytes, times 100, cut
// toward zero: 185.7 GiB free of 500 GiB gives 37. This is the figure the recording's
// disk guard tests, so the label and the guard agree. A volume under 1 GiB has no
// whole gibibyte and shows 0, as the guard counts it full.
int FreeSpacePercent(const DiskSpaceInfo& space);

// "%d%%"
QString FreeSpacePercentText(int percent);

// The path as it fits `width` pixels: whole when it fits; otherwise shortened in the
// middle with an ellipsis, keeping the start and the last folder name
// ("/home/op/…/Kestovar"), and when even "…/last" is too wide, an ellipsis in the
// middle of what remains.
QString ElidePath(const QString& path, const QFontMetrics& metrics, int width);

} // namespace kestovar
