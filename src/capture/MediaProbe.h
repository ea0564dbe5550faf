#pragma once
// Picture sizes of captures on disk, for choosing the video window's layout when a
// movie or a picture is shown. Any thread.

#include <string>

namespace kestovar {

// The movie's picture size: the last video stream FFmpeg finds in the file (cover
// pictures left out). False, with width and height untouched, when the file cannot be
// read or has no picture.
bool ReadMovieFrameSize(const std::string& path, int& width, int& height);

// The picture file's size; 0 x 0 when it cannot be read. Always true.
bool ReadPictureSize(const std::string& path, int& width, int& height);

} // namespace kestovar
