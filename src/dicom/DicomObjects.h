#pragma once
// DICOM objects made from captures, written as DICOM files (Part 10) for the sender.
//
// - A still picture becomes a VL Endoscopic Image in JPEG Baseline: the station's JPEG
//   bytes go into the pixel data unchanged, as one fragment.
// - A movie becomes a Video Endoscopic Image in MPEG-4 AVC/H.264 High Profile / Level
//   4.1 (VideoStream.h): the transport stream is one fragment, read from its temporary
//   file while the object is written, so a movie of a gigabyte never sits in memory.
//
// Patient and study attributes come from the case information: Patient's Name (the
// form's text, made a valid single person name: see DicomPersonName), Performing
// Physician's Name (Doctor Name), Institution Name (Hospital Name), Image Comments
// (Comment, cut at the attribute's length limit), Study/Series/Content Date and Time
// from the capture's time. Specific Character Set is ISO_IR 192 (UTF-8). Type 2
// attributes the station does not know (Patient ID, Birth Date, Sex, Referring
// Physician, Accession Number, Study ID) are present and empty.

#include "dicom/CaptureSidecar.h"
#include "library/CaseInfoFile.h"

#include <atomic>
#include <ctime>
#include <string>
#include <string_view>

namespace kestovar {

inline constexpr const char* kVlEndoscopicImageStorage = "1.2.840.10008.5.1.4.1.1.77.1.1";
inline constexpr const char* kVideoEndoscopicImageStorage = "1.2.840.10008.5.1.4.1.1.77.1.1.1";
inline constexpr const char* kJpegBaselineSyntax = "1.2.840.10008.1.2.4.50";
inline constexpr const char* kH264HighProfile41Syntax = "1.2.840.10008.1.2.4.102";

struct ObjectRequest {
    std::string capturePath;
    CaseInfo caseInfo;
    CaptureSidecar uids; // study, series and instance UIDs, all set
    std::string tempFolder; // for the movie's temporary stream file
    std::string stationName; // Station Name (the station's AE title)
};

struct ObjectResult {
    bool ok = false;
    std::string message; // why not, in plain words
    std::string sopClassUid;
    std::string transferSyntaxUid;
    int frames = 0;
    bool reencoded = false;
    bool withSound = false;
};

// Writes the object for the capture (picture or movie, by its extension) to outPath.
ObjectResult WriteCaptureObject(
    const ObjectRequest& request, const std::string& outPath, const std::atomic<bool>* cancel = nullptr);

// The case's name text as a DICOM person name: at most five "^"-separated components
// and three "="-separated groups as typed, any further delimiter, a backslash (the
// value separator) or a control character becomes a blank, each group cut at 64
// characters (never inside a character).
std::string DicomPersonName(std::string_view text);

// Cuts UTF-8 text at maxChars characters.
std::string CutUtf8(std::string_view text, std::size_t maxChars);

// The capture's time: from its name's "yymmdd_HHMMSS" stamp when it has one, else
// the file's modification time.
std::time_t CaptureTime(const std::string& capturePath);

} // namespace kestovar
