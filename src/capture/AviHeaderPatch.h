#pragma once
// Corrects the frame rate of a finished AVI file in place: the video stream header's
// dwScale/dwRate and the main header's dwMicroSecPerFrame. The muxer writes both
// before it knows how fast the camera really delivered; AVI keeps no per-frame times,
// so these fields alone decide how long the picture lasts.

#include <string>

namespace kestovar {

// False with *error when the file cannot be read or written or has no video stream
// header; the file is then unchanged.
bool PatchAviFrameRate(const std::string& path, double framesPerSecond, std::string* error);

} // namespace kestovar
