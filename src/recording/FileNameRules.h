#pragma once
// What a File Name (the prefix of every recorded movie) and a rename text may hold.
//
// Two layers of rules:
// - Typed characters: the File Name field refuses eight characters as they are typed
//   (IsRefusedFileNameChar) with kFileNameCharsMessage. The message lists "+" and "|",
//   which are accepted; it is the station's long-standing text and kept as it is.
// - Whole texts (pasted, or typed into the media list when renaming): anything that could
//   leave the storage folder or is not a valid file name here is refused with a message
//   the operator can act on: "/" and "\", "..", control characters (line breaks, tabs,
//   C1 controls, U+2028/U+2029), text that is not valid UTF-8, a leading "." (the file
//   would be hidden, and vanish from the media list), text of blanks only, and names
//   longer than the folder's file system allows (counted for the longest name the text
//   can produce). A leading "-" is an ordinary name here and is accepted.
//
// Pure functions; NameMaxBytes asks the file system.

#include <cstddef>
#include <string>
#include <string_view>

namespace kestovar {

inline constexpr std::string_view kEmptyFileNameMessage = "Please enter a file name!";
// Two blanks after "characters"; U+FF3C FULLWIDTH REVERSE SOLIDUS after the colon.
inline constexpr std::string_view kFileNameCharsMessage
    = "A file name can't contain any of the following characters  :\xEF\xBC\xBC/:+?\"<>|";

// Longest File Name suffix a movie name adds: "_YYMMDD_HHMMSS", "_999" against a clash,
// ".avi" (its case file, ".ini", is as long).
inline constexpr std::size_t kCaptureNameOverheadBytes = 14 + 4 + 4;
// What a rename adds: ".avi" or ".jpg".
inline constexpr std::size_t kRenameOverheadBytes = 4;

enum class NameProblem {
    None,
    Empty,
    Separator, // "/" or "\"
    DotDot, // ".."
    LeadingDot, // a hidden file, which the media list would not show
    Blank, // nothing but blanks
    Control, // line break, tab or other control character
    InvalidText, // not valid UTF-8
    TooLong,
};

struct NameCheck {
    NameProblem problem = NameProblem::None;
    std::string message; // empty when the text is fine
    bool ok() const { return problem == NameProblem::None; }
};

// The eight characters the File Name field refuses while typing:
// " * / : < > ? and backslash.
bool IsRefusedFileNameChar(char32_t c);

// What the File Name field does with one typed character. The alert test looks at the
// text before the character goes in, so the first character typed into an empty,
// blinking field leaves it blinking and the second one stops it.
struct TypedCharDecision {
    bool stopAlert = false; // the field held text: stop the blinking border
    bool refuse = false; // do not insert; show kFileNameCharsMessage
};
TypedCharDecision OnFileNameCharTyped(std::string_view textBefore, char32_t c);

// The longest file name, in bytes, the file system of folder takes (255 when unknown).
std::size_t NameMaxBytes(const std::string& folder);

// File Name at Record Start. Empty gives kEmptyFileNameMessage.
NameCheck CheckCapturePrefix(std::string_view prefix, std::size_t nameMaxBytes = 255);
// New base name typed when renaming a movie or picture. Empty is reported as Empty with
// no message (the edit is simply dropped).
NameCheck CheckRenameText(std::string_view text, std::size_t nameMaxBytes = 255);

} // namespace kestovar
