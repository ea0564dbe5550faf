// File Names typed for a recording and texts typed to rename a capture are the one
// place where the operator's text becomes a path. Whatever the text, a name the station
// accepts must stay a plain, visible file name inside its folder, and a real rename must
// never put a file elsewhere, replace a file or lose one.

#include "library/CaseInfoFile.h"
#include "library/MediaFileOperations.h"
#include "recording/CaptureNaming.h"
#include "recording/FileNameRules.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>

using namespace kestovar;
namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail = {})
{
    std::fprintf(stderr, "fuzz_names: %s\n[%s]\n", what, detail.c_str());
    std::abort();
}

const fs::path& Root()
{
    static const fs::path root = [] {
        const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        return base / ("kestovar-fuzz-names-" + std::to_string(::getpid()));
    }();
    return root;
}

void Write(const fs::path& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

std::string Read(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A name the station made or accepted: one plain visible entry directly in folder.
void CheckInside(const std::string& folder, const std::string& path, const std::string& text)
{
    if (path.size() <= folder.size() + 1 || path.compare(0, folder.size() + 1, folder + "/") != 0)
        Fail("a name left its folder", text);
    const std::string name = path.substr(folder.size() + 1);
    if (name.find('/') != std::string::npos || name == "." || name == "..")
        Fail("a name holds a path", text);
    if (name.front() == '.')
        Fail("a name makes a hidden file the media list would not show", text);
}

// Every regular file below the root, with its contents.
std::map<std::string, std::string> Snapshot()
{
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(Root())) {
        if (e.is_directory() && !e.is_symlink())
            continue;
        if (e.is_symlink() || !e.is_regular_file())
            Fail("something other than a file appeared", e.path().string());
        files[fs::relative(e.path(), Root()).string()] = Read(e.path());
    }
    return files;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string movies = (Root() / "store" / "movie").string();
    const std::string images = (Root() / "store" / "image").string();
    const CaptureFolders folders { movies, images };

    // Record Start's naming.
    const NameCheck prefix = CheckCapturePrefix(text);
    if (prefix.ok() != prefix.message.empty())
        Fail("a refusal without a message, or a message without a refusal", text);
    const CapturePathResult movie
        = NewMoviePath(movies, text, 1488117909, [](const std::string&) { return false; });
    if (movie.ok != prefix.ok())
        Fail("the naming and the File Name check disagree", text);
    if (movie.ok)
        CheckInside(movies, movie.path, text);

    const NameCheck rename = CheckRenameText(text);
    if (rename.ok()) {
        CheckInside(movies, JoinPath(movies, text + ".avi"), text);
        CheckInside(images, JoinPath(images, text + ".jpg"), text);
    }

    // The real rename, in a fresh folder pair with names already taken.
    fs::remove_all(Root());
    fs::create_directories(movies);
    fs::create_directories(images);
    Write(Root() / "outside.avi", "outside");
    Write(fs::path(movies) / "knee_170226_140509.avi", "movie");
    Write(fs::path(movies) / "knee_170226_140509.ini", "[Kestovar]\nFile Name=knee\n");
    Write(fs::path(movies) / "taken.avi", "taken movie");
    Write(fs::path(movies) / "taken.ini", "taken case");
    Write(fs::path(images) / "170226_140509.jpg", "picture");
    Write(fs::path(images) / "taken.jpg", "taken picture");
    const auto before = Snapshot();

    for (const std::string& source : { movies + "/knee_170226_140509.avi", images + "/170226_140509.jpg" }) {
        const FileOpResult result = RenameMedia(source, text, folders);
        if ((result.outcome == FileOpOutcome::Refused || result.outcome == FileOpOutcome::Failed)
            && result.message.empty())
            Fail("a refused rename says nothing", text);
        if (result.outcome == FileOpOutcome::Done) {
            CheckInside(MediaKindOf(source) == MediaKind::Picture ? images : movies, result.newPath, text);
            if (!rename.ok())
                Fail("a rename went through with a refused text", text);
        }
        const auto after = Snapshot();
        if (after.size() != before.size())
            Fail("a rename lost or added a file", text);
        for (const char* kept :
            { "outside.avi", "store/movie/taken.avi", "store/movie/taken.ini", "store/image/taken.jpg" }) {
            if (after.count(kept) == 0 || after.at(kept) != before.at(kept))
                Fail("a rename replaced or moved a file it must not touch", text);
        }
    }
    return 0;
}
