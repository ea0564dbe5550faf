#pragma once
// Sample captures for the media library's tests, made at test time: a short recorded
// movie (made once per build folder and copied), pictures, and damaged or hostile
// files of both kinds.

#include <QColor>
#include <QSize>

#include <filesystem>
#include <string>

namespace kestovar::test {

// A 320x240 movie as the station records it (H.264 and MP3 in AVI, one second).
// Made once under KESTOVAR_TEST_DATA; empty when it cannot be made.
std::string SampleMovie();

// Copies a file; false when it cannot.
bool CopyFile(const std::filesystem::path& from, const std::filesystem::path& to);
// The first `bytes` bytes of a file as a new file.
bool WriteTruncatedCopy(
    const std::filesystem::path& from, const std::filesystem::path& to, std::uintmax_t bytes);

// A JPEG of one colour, written by Qt.
bool WritePicture(const std::filesystem::path& path, QSize size, QColor colour);

// A valid baseline JPEG of the given size in mid grey, written directly (about
// width x height / 256 bytes): 20000 x 20000 costs 1.5 MB on disk and no memory here.
bool WriteGreyJpeg(const std::filesystem::path& path, int width, int height);

// A small real JPEG whose header claims another size; its data ends long before such
// a picture would.
bool WriteJpegWithClaimedSize(const std::filesystem::path& path, int width, int height);

} // namespace kestovar::test
