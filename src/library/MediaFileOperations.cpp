#include "library/MediaFileOperations.h"

#include "library/CaseInfoFile.h"
#include "platform/RenameNoReplace.h"
#include "recording/FileNameRules.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace kestovar {

namespace {

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

std::string FileNameOf(std::string_view path)
{
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

FileOpResult Outcome(FileOpOutcome outcome, std::string message = {})
{
    FileOpResult r;
    r.outcome = outcome;
    r.message = std::move(message);
    return r;
}

std::string Quoted(std::string_view name)
{
    return "\"" + std::string(name) + "\"";
}

FileOpResult MoveRefusedOrFailed(int err, const std::string& source, const std::string& dest)
{
    if (err == EEXIST)
        return Outcome(
            FileOpOutcome::Refused, "A file named " + Quoted(FileNameOf(dest)) + " already exists.");
    return Outcome(FileOpOutcome::Failed,
        "Could not rename " + Quoted(FileNameOf(source)) + " (" + std::strerror(err) + ").");
}

} // namespace

MediaKind MediaKindOf(std::string_view labelOrPath)
{
    return labelOrPath.size() >= 3 && IsPictureExtension(labelOrPath.substr(labelOrPath.size() - 3))
        ? MediaKind::Picture
        : MediaKind::Movie;
}

std::string MediaItemPath(const CaptureFolders& folders, std::string_view label)
{
    return JoinPath(MediaKindOf(label) == MediaKind::Picture ? folders.imagePath : folders.moviePath, label);
}

std::string RenameEditText(std::string_view label)
{
    const auto dot = label.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(label.substr(0, dot));
}

std::string DeleteQuestionText(std::string_view label)
{
    return "Do you want to delete " + Quoted(label) + "?";
}

std::string DicomSidecarPath(std::string_view capturePath)
{
    return std::string(capturePath) + ".dicom";
}

namespace {

// The sidecar follows its capture. When it cannot (a file of that name is in the way),
// it stays: the capture is then sent as a new object, nothing is lost.
void MoveSidecarAlong(const std::string& from, const std::string& to)
{
    const std::string sidecar = DicomSidecarPath(from);
    if (PathExists(sidecar))
        RenameNoReplace(sidecar, DicomSidecarPath(to));
}

} // namespace

FileOpResult RenameMedia(
    const std::string& sourcePath, std::string_view newText, const CaptureFolders& folders)
{
    if (newText.empty())
        return Outcome(FileOpOutcome::Nothing);
    const bool picture = MediaKindOf(sourcePath) == MediaKind::Picture;
    const std::string& folder = picture ? folders.imagePath : folders.moviePath;

    const NameCheck check = CheckRenameText(newText, NameMaxBytes(folder));
    if (!check.ok())
        return Outcome(FileOpOutcome::Refused, check.message);

    const std::string dest = JoinPath(folder, std::string(newText) + (picture ? ".jpg" : ".avi"));
    // A movie renamed by letter case only stays as it is; a picture takes the new case.
    if (picture ? dest == sourcePath : EqualNoCase(dest, sourcePath))
        return Outcome(FileOpOutcome::Unchanged);
    if (!PathExists(sourcePath))
        return Outcome(FileOpOutcome::Failed, Quoted(FileNameOf(sourcePath)) + " no longer exists.");

    if (picture) {
        if (const int err = RenameNoReplace(sourcePath, dest))
            return MoveRefusedOrFailed(err, sourcePath, dest);
        MoveSidecarAlong(sourcePath, dest);
        FileOpResult done = Outcome(FileOpOutcome::Done);
        done.newPath = dest;
        return done;
    }

    // Check both new names first, so nothing moves when either is taken.
    if (PathExists(dest))
        return MoveRefusedOrFailed(EEXIST, sourcePath, dest);
    const std::string sourceCase = CaseInfoFilePath(sourcePath);
    const std::string destCase = CaseInfoFilePath(dest);
    if (sourceCase != destCase && PathExists(sourceCase) && PathExists(destCase))
        return Outcome(
            FileOpOutcome::Refused, "A file named " + Quoted(FileNameOf(destCase)) + " already exists.");

    if (const int err = RenameNoReplace(sourcePath, dest))
        return MoveRefusedOrFailed(err, sourcePath, dest);

    const CaseFileResult caseMoved = RenameCaseInfoFile(sourcePath, folder, newText);
    if (!caseMoved.ok && !caseMoved.moved) {
        // Keep the movie and its case information together: undo the movie's move.
        if (RenameNoReplace(dest, sourcePath) == 0) {
            return Outcome(FileOpOutcome::Failed,
                "Could not rename " + Quoted(FileNameOf(sourcePath)) + ": " + caseMoved.message);
        }
        FileOpResult split = Outcome(FileOpOutcome::Done,
            "The movie was renamed, but its case information file "
            "keeps its old name: "
                + caseMoved.message);
        split.newPath = dest;
        return split;
    }
    MoveSidecarAlong(sourcePath, dest);
    FileOpResult done = Outcome(FileOpOutcome::Done, caseMoved.ok ? std::string() : caseMoved.message);
    done.newPath = dest;
    return done;
}

FileOpResult DeleteMedia(const std::string& path)
{
    const std::string name = FileNameOf(path);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        const int err = errno;
        return Outcome(
            FileOpOutcome::Failed, "Could not delete " + Quoted(name) + " (" + std::strerror(err) + ").");
    }
    ::unlink(DicomSidecarPath(path).c_str());
    if (MediaKindOf(path) == MediaKind::Picture)
        return Outcome(FileOpOutcome::Done);

    const std::string casePath = CaseInfoFilePath(path);
    if (!casePath.empty() && casePath != path && ::unlink(casePath.c_str()) != 0 && errno != ENOENT) {
        const int err = errno;
        return Outcome(FileOpOutcome::Done,
            "The movie was deleted, but its case information file " + Quoted(FileNameOf(casePath))
                + " could not be (" + std::strerror(err) + ").");
    }
    return Outcome(FileOpOutcome::Done);
}

} // namespace kestovar
