#include "library/MediaFolderScan.h"

#include "platform/AtomicFile.h"

#include <cerrno>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace kestovar {

namespace {

bool EndsWithNoCase(std::string_view name, std::string_view ext)
{
    if (name.size() < ext.size())
        return false;
    const std::string_view tail = name.substr(name.size() - ext.size());
    for (std::size_t i = 0; i < ext.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(tail[i]) != lower(ext[i]))
            return false;
    }
    return true;
}

struct DirClose {
    void operator()(DIR* d) const { closedir(d); }
};

} // namespace

std::vector<MediaEntry> ListMediaFolder(const std::string& folder, std::string_view ext, MediaKind kind)
{
    std::vector<MediaEntry> entries;
    if (folder.empty())
        return entries;
    // readdir gives the directory's own order, which the list keeps.
    std::unique_ptr<DIR, DirClose> dir(opendir(folder.c_str()));
    if (!dir)
        return entries;
    const int dirFd = dirfd(dir.get());
    while (const dirent* e = readdir(dir.get())) {
        const std::string_view name = e->d_name;
        if (name.empty() || name.front() == '.' || !EndsWithNoCase(name, ext))
            continue;
        struct stat st { };
        // Follows a link to its file; a dangling link or a vanished file is skipped.
        if (fstatat(dirFd, e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode))
            continue;
        MediaEntry entry;
        entry.name = std::string(name);
        entry.path = JoinPath(folder, name);
        entry.kind = kind;
        entry.size = static_cast<int64_t>(st.st_size);
        entry.modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<MediaEntry> ScanMediaFolders(const CaptureFolders& folders)
{
    // Case files are saved through hidden temporary files; a save cut off by a power cut
    // or a kill leaves one, which goes here (at start and at every refresh) even when
    // that case file is never saved again.
    RemoveStaleTemporariesIn(folders.moviePath);
    std::vector<MediaEntry> entries = ListMediaFolder(folders.imagePath, "jpg", MediaKind::Picture);
    std::vector<MediaEntry> movies = ListMediaFolder(folders.moviePath, "avi", MediaKind::Movie);
    entries.insert(
        entries.end(), std::make_move_iterator(movies.begin()), std::make_move_iterator(movies.end()));
    return entries;
}

} // namespace kestovar
