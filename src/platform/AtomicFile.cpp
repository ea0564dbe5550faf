#include "platform/AtomicFile.h"

#include "platform/RenameNoReplace.h"
#include "platform/UniqueFd.h"

#include <QFile>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestovar {

namespace {

constexpr std::string_view kTempTag = ".tmp-";

struct SplitPath {
    std::string folder; // "." when the path has none
    std::string name;
};

SplitPath Split(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return { ".", path };
    return { slash == 0 ? std::string("/") : path.substr(0, slash), path.substr(slash + 1) };
}

int WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

// The process that made a temporary file "<prefix><pid>-<n>", or 0 when the name is not
// one of ours.
pid_t OwnerOf(std::string_view entry, std::string_view prefix)
{
    if (entry.size() <= prefix.size() || entry.substr(0, prefix.size()) != prefix)
        return 0;
    const std::string_view rest = entry.substr(prefix.size());
    const auto dash = rest.find('-');
    auto digits = [](std::string_view s) {
        return !s.empty() && s.size() <= 12 && s.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (dash == std::string_view::npos || !digits(rest.substr(0, dash)) || !digits(rest.substr(dash + 1)))
        return 0;
    const long pid = std::strtol(std::string(rest.substr(0, dash)).c_str(), nullptr, 10);
    return pid > 0 && pid <= 0x7fffffffL ? static_cast<pid_t>(pid) : 0;
}

bool ProcessGone(pid_t pid)
{
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

struct DirClose {
    void operator()(DIR* d) const { ::closedir(d); }
};

} // namespace

AtomicWriteResult WriteFileAtomically(const std::string& path, std::string_view contents, bool syncFolder)
{
    const SplitPath where = Split(path);
    if (where.name.empty())
        return { ENOENT, "file name" };

    static std::atomic<unsigned> counter { 0 };
    const std::string prefix = (path.find('/') == std::string::npos ? std::string() : where.folder + "/")
        + "." + where.name + std::string(kTempTag) + std::to_string(::getpid()) + "-";
    std::string temp;
    UniqueFd fd;
    for (int attempt = 0; attempt < 100 && !fd; ++attempt) {
        temp = prefix + std::to_string(counter.fetch_add(1));
        // 0666: the umask decides, as for any other new file of the station.
        fd.reset(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd && errno != EEXIST)
            return { errno, "create temporary file" };
    }
    if (!fd)
        return { EEXIST, "create temporary file" };

    auto fail = [&](int err, const char* step) {
        ::unlink(temp.c_str());
        return AtomicWriteResult { err, step };
    };
    // File systems without modes (FAT on a USB drive) refuse fchmod; the save goes on.
    struct stat old { };
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        (void)::fchmod(fd.get(), old.st_mode & 07777);
    if (const int err = WriteAll(fd.get(), contents))
        return fail(err, "write");
    if (::fsync(fd.get()) != 0)
        return fail(errno, "flush to disk");
    if (::close(fd.release()) != 0)
        return fail(errno, "close");
    if (::rename(temp.c_str(), path.c_str()) != 0)
        return fail(errno, "replace the file");

    // The new contents are safely in place; a failed folder flush only weakens the
    // guarantee against power loss, so it is not reported as a failed write.
    if (syncFolder) {
        UniqueFd dir(::open(where.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir)
            (void)::fsync(dir.get());
    }
    RemoveStaleTemporaries(path);
    return {};
}

int WriteFileAtomically(const QString& path, const QByteArray& contents, bool syncFolder)
{
    const QByteArray target = QFile::encodeName(path);
    if (target.isEmpty())
        return ENOENT;
    return WriteFileAtomically(target.toStdString(),
        std::string_view(contents.constData(), static_cast<std::size_t>(contents.size())), syncFolder)
        .error;
}

namespace {

// Removes ".<name>.tmp-<pid>-<n>" entries of folder whose process is gone; with an empty
// name, those of every name.
int Sweep(const std::string& folder, const std::string& name)
{
    std::unique_ptr<DIR, DirClose> dir(::opendir(folder.c_str()));
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string_view entry = e->d_name;
        std::string prefix;
        if (!name.empty()) {
            prefix = "." + name + std::string(kTempTag);
        } else {
            const auto tag = entry.rfind(kTempTag);
            if (entry.size() < 2 || entry.front() != '.' || tag == std::string_view::npos || tag < 2)
                continue;
            prefix = std::string(entry.substr(0, tag + kTempTag.size()));
        }
        const pid_t owner = OwnerOf(entry, prefix);
        if (owner <= 0 || owner == ::getpid() || !ProcessGone(owner))
            continue;
        if (::unlinkat(::dirfd(dir.get()), e->d_name, 0) == 0)
            ++removed;
    }
    return removed;
}

} // namespace

int RemoveStaleTemporaries(const std::string& path)
{
    const SplitPath where = Split(path);
    return where.name.empty() ? 0 : Sweep(where.folder, where.name);
}

int RemoveStaleTemporariesIn(const std::string& folder)
{
    return folder.empty() ? 0 : Sweep(folder, std::string());
}

std::string KeepDamagedFileAside(const std::string& path, int& error)
{
    error = 0;
    for (int i = 0; i < 1000; ++i) {
        const std::string candidate = i == 0 ? path + ".bad" : path + "." + std::to_string(i) + ".bad";
        error = RenameNoReplace(path, candidate);
        if (error == 0)
            return candidate;
        if (error != EEXIST)
            return {};
    }
    error = EEXIST;
    return {};
}

} // namespace kestovar
