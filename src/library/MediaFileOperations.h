#pragma once
// Delete and rename of a listed movie or picture, without the window: the form asks the
// questions, stops playback and refreshes the list; these functions move and remove the
// files and say what happened.
//
// - A movie's case information file goes with it (same rule as CaseInfoFile.h).
// - A rename text is checked like a File Name (FileNameRules.h): separators, "..",
//   control characters and over-long names are refused with a message and nothing moves.
// - A rename never replaces a file: neither the movie nor its case file. When the movie
//   moved but its case file cannot follow, the movie is moved back, so the two stay
//   together.
// - Every failure comes back with a short message for the operator.
//
// GUI thread only.

#include "recording/CaptureNaming.h"

#include <string>
#include <string_view>

namespace kestovar {

enum class MediaKind { Movie, Picture };

// The DICOM sidecar beside a capture (its UIDs and send state, see dicom/CaptureSidecar.h):
// "<capture>.dicom". It moves with a renamed capture and goes with a deleted one.
std::string DicomSidecarPath(std::string_view capturePath);

// A picture when the last three characters are "jpg" in any letter case.
MediaKind MediaKindOf(std::string_view labelOrPath);

// The item's folder for its kind joined with its label.
std::string MediaItemPath(const CaptureFolders& folders, std::string_view label);

// Text the in-place rename edit starts with: the label up to its last ".", or empty.
std::string RenameEditText(std::string_view label);

// "Do you want to delete \"%s\"?"
std::string DeleteQuestionText(std::string_view label);

enum class FileOpOutcome {
    Nothing, // no change and no refresh (empty rename text, cancelled edit)
    Unchanged, // same name (letter case aside): nothing moved; refresh the list
    Done, // moved or deleted; message may still carry a warning
    Refused, // the text or the target name was refused; nothing changed
    Failed, // the file system refused; nothing changed unless message says otherwise
};

struct FileOpResult {
    FileOpOutcome outcome = FileOpOutcome::Nothing;
    std::string message; // for the operator; empty when there is nothing to tell
    std::string newPath; // the item's path after a rename
    bool refreshList() const { return outcome != FileOpOutcome::Nothing; }
};

// Renames the item at sourcePath to newText plus its kind's extension, in its kind's
// folder. The text is a base name as typed: "Knee.avi" becomes "Knee.avi.avi".
FileOpResult RenameMedia(
    const std::string& sourcePath, std::string_view newText, const CaptureFolders& folders);

// Deletes the item at path; for a movie its case information file too (after the movie,
// and only when the movie is gone, so a movie is never left without its case file).
FileOpResult DeleteMedia(const std::string& path);

} // namespace kestovar
