#pragma once
// The case information file beside each movie: knee_170226_140509.avi has
// knee_170226_140509.ini, a profile file with one section "Kestovar" and the six keys
// "Date", "File Name", "Doctor Name", "Patient Name", "Hospital Name", "Comment", written
// in that order and replaced in place when the file exists.
//
// Storing line breaks and other text the line structure cannot hold
// ---------------------------------------------------------------------
// Every value is written with C-style backslash escapes, and only where needed:
//   "\\" for a backslash, "\n" line feed, "\r" carriage return, "\t" tab,
//   "\xHH" any other control character (U+0000-U+001F, U+007F) and any byte that is not
//          valid UTF-8, and for a blank at the very start or end of the value (which
//          INI readers strip).
// So a value always stays on its one line and reads back exactly, whatever was typed or
// pasted. Text without backslashes, control characters or edge blanks - nearly every name
// and comment - is stored as it is and reads the same in any tool. A plain INI reader
// such as Python's configparser (with interpolation=None, since a comment may contain
// "%") takes each value as one string, with the escapes visible. Reading undoes exactly
// these escapes; any other backslash is kept as it stands.
//
// Read limits: each field is cut to 259 characters, Comment to 1299 (Unicode code points,
// never inside one), after the escapes are undone.
//
// Location: the movie's name with its last extension replaced by "ini", in the same
// folder (a.b.avi -> a.b.ini, x..avi -> x.ini, a name without "." gets ".ini" appended).
// The same rule serves writing, reading, renaming and deleting, so a case file always
// stays with its movie.
//
// Failures are returned, not shown: the window decides what the operator is told.
// GUI thread only.

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

namespace kestovar {

struct CaseInfo {
    std::string date; // "%Y-%m-%d", set by the form
    std::string fileName; // File Name prefix; after a rename the movie's new base name
    std::string doctorName;
    std::string patientName;
    std::string hospitalName;
    std::string comment; // several lines

    bool operator==(const CaseInfo&) const = default;
};

inline constexpr std::string_view kCaseInfoSection = "Kestovar";
inline constexpr std::string_view kCaseKeyDate = "Date";
inline constexpr std::string_view kCaseKeyFileName = "File Name";
inline constexpr std::string_view kCaseKeyDoctorName = "Doctor Name";
inline constexpr std::string_view kCaseKeyPatientName = "Patient Name";
inline constexpr std::string_view kCaseKeyHospitalName = "Hospital Name";
inline constexpr std::string_view kCaseKeyComment = "Comment";
inline constexpr std::size_t kCaseFieldMaxChars = 259;
inline constexpr std::size_t kCaseCommentMaxChars = 1299;

// What was found when reading.
enum class CaseFileState {
    Missing, // no case file: all fields empty
    Ok,
    Damaged, // read as far as it parses; a later write keeps it aside as "<name>.bad"
    Unreadable, // exists but cannot be read (or is not a file): all fields empty
};

struct CaseFileResult {
    bool ok = false;
    int error = 0; // errno of the failed step
    std::string message; // for the operator when !ok
    std::string keptAsidePath; // a damaged file moved aside before writing
    bool moved = false; // RenameCaseInfoFile: a case file existed and was moved
};

// The Date field's text for a time: the local date as "%Y-%m-%d" (2017-02-26).
std::string CaseDateText(std::time_t now);

// The case file of a movie path (or of a case file path, which yields itself).
// Empty for a path that names no file (empty, or ending in "/").
std::string CaseInfoFilePath(std::string_view moviePath);

// Writes the six keys in one atomic save. With `shown` (the fields as the form showed
// them when the file was read), a key whose value is still the one shown is left in the
// file exactly as it was stored: a value cut to the read limits, or one the form cannot
// show as it is, loses nothing unless the operator changed it.
CaseFileResult WriteCaseInfoFile(
    const std::string& moviePath, const CaseInfo& info, const CaseInfo* shown = nullptr);

// Reads the six keys; a missing file, section or key gives empty fields.
// *storedCommentChars: the length of the stored comment before the read limit cut it.
CaseInfo ReadCaseInfoFile(
    const std::string& moviePath, CaseFileState* state = nullptr, std::size_t* storedCommentChars = nullptr);

// After a movie was moved from oldMoviePath to movieFolder/newBaseName.avi: moves its case
// file to the new movie's case file path (never replacing a file there) and sets
// "File Name" to newBaseName, leaving the other keys as they were. A movie without a case
// file gives ok with moved == false and creates nothing.
CaseFileResult RenameCaseInfoFile(
    const std::string& oldMoviePath, std::string_view movieFolder, std::string_view newBaseName);

// The escapes described above.
std::string EncodeCaseValue(std::string_view value);
std::string DecodeCaseValue(std::string_view stored);

} // namespace kestovar
