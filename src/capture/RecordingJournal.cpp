#include "capture/RecordingJournal.h"

#include "platform/AtomicFile.h"
#include "platform/UniqueFd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

namespace kestovar {

namespace {

constexpr const char* kJournalHeader = "kestovar recordings in progress 1";

std::mutex& JournalMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::string& JournalPathStorage()
{
    static std::string path;
    return path;
}

std::string Escape(const std::string& path)
{
    std::string out;
    for (char c : path) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

bool Unescape(const std::string& text, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return false;
        if (text[i] == '\\')
            out += '\\';
        else if (text[i] == 'n')
            out += '\n';
        else
            return false;
    }
    return !out.empty();
}

bool WriteJournal(const std::string& journalPath, const std::vector<JournalEntry>& entries)
{
    if (entries.empty()) {
        if (unlink(journalPath.c_str()) == 0 || errno == ENOENT)
            return true;
        return false;
    }
    std::string text = std::string(kJournalHeader) + "\n";
    for (const JournalEntry& e : entries)
        text += std::to_string(e.device) + " " + std::to_string(e.inode) + " " + Escape(e.path) + "\n";
    return WriteFileAtomically(journalPath, text, true).ok();
}

// Some other process has the file open: its descriptors in /proc (of every process
// this account may look into), and a write lease, which the kernel grants only while
// no one else, of any account, has the file open. The station's own readers (the
// thumbnails of the list being made) do not count; while one of them has the file
// open the lease cannot tell, and /proc alone decides.
bool OpenElsewhere(const std::string& path, const struct stat& file)
{
    const std::string self = std::to_string(getpid());
    bool openHere = false;
    if (DIR* proc = opendir("/proc")) {
        bool found = false;
        while (dirent* p = readdir(proc)) {
            if (found || p->d_name[0] < '1' || p->d_name[0] > '9')
                continue;
            const std::string fds = std::string("/proc/") + p->d_name + "/fd";
            DIR* dir = opendir(fds.c_str());
            if (!dir)
                continue;
            while (dirent* f = readdir(dir)) {
                if (f->d_name[0] == '.')
                    continue;
                struct stat st {};
                if (stat((fds + "/" + f->d_name).c_str(), &st) == 0 && st.st_dev == file.st_dev
                    && st.st_ino == file.st_ino) {
                    (self == p->d_name ? openHere : found) = true;
                    if (found)
                        break;
                }
            }
            closedir(dir);
        }
        closedir(proc);
        if (found)
            return true;
    }
    if (openHere)
        return false;
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd)
        return false;
    // A refused lease is asked again for about a second: one of the station's own
    // readers may have opened the file just after the look into /proc, and holds it
    // only briefly; a program still writing the movie keeps it open throughout.
    for (int attempt = 0;; ++attempt) {
        if (fcntl(fd.get(), F_SETLEASE, F_WRLCK) == 0) {
            fcntl(fd.get(), F_SETLEASE, F_UNLCK);
            return false;
        }
        // EAGAIN: open elsewhere. Other errors (not the file's owner, a file system
        // without leases) say nothing; the /proc look above stands.
        if (errno != EAGAIN && errno != EBUSY)
            return false;
        if (attempt == 9)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

bool SameTimes(const struct stat& a, const struct stat& b)
{
    return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec
        && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec && a.st_ctim.tv_sec == b.st_ctim.tv_sec
        && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

} // namespace

void SetRecordingJournal(const std::string& journalPath)
{
    std::lock_guard lock(JournalMutex());
    JournalPathStorage() = journalPath;
}

std::string RecordingJournal()
{
    std::lock_guard lock(JournalMutex());
    return JournalPathStorage();
}

std::vector<JournalEntry> ReadRecordingJournal(const std::string& journalPath)
{
    std::vector<JournalEntry> entries;
    std::ifstream in(journalPath, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line) || line != kJournalHeader)
        return entries;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        JournalEntry e;
        std::string rest;
        if (!(fields >> e.device >> e.inode) || fields.get() != ' ' || !std::getline(fields, rest)
            || !Unescape(rest, e.path))
            continue;
        entries.push_back(std::move(e));
    }
    return entries;
}

bool JournalRecordingStarted(const std::string& moviePath, std::string* error)
{
    std::lock_guard lock(JournalMutex());
    const std::string& journal = JournalPathStorage();
    if (journal.empty())
        return true;
    struct stat st {};
    if (stat(moviePath.c_str(), &st) != 0) {
        *error = std::string("cannot look at ") + moviePath + ": " + std::strerror(errno);
        return false;
    }
    std::vector<JournalEntry> entries = ReadRecordingJournal(journal);
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                      [&](const JournalEntry& e) { return e.path == moviePath; }),
        entries.end());
    entries.push_back({ moviePath, static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino) });
    if (!WriteJournal(journal, entries)) {
        *error = "cannot write the journal of recordings " + journal + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void JournalRecordingEnded(const std::string& moviePath)
{
    std::lock_guard lock(JournalMutex());
    const std::string& journal = JournalPathStorage();
    if (journal.empty())
        return;
    std::vector<JournalEntry> entries = ReadRecordingJournal(journal);
    const size_t before = entries.size();
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                      [&](const JournalEntry& e) { return e.path == moviePath; }),
        entries.end());
    if (entries.size() != before && !WriteJournal(journal, entries))
        std::fprintf(stderr, "capture: cannot write the journal of recordings %s: %s\n", journal.c_str(),
            std::strerror(errno));
}

bool ForgetJournalEntries(const std::string& journalPath, const std::vector<JournalEntry>& gone)
{
    if (gone.empty())
        return true;
    std::lock_guard lock(JournalMutex());
    std::vector<JournalEntry> entries = ReadRecordingJournal(journalPath);
    const size_t before = entries.size();
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                      [&](const JournalEntry& e) { return std::find(gone.begin(), gone.end(), e) != gone.end(); }),
        entries.end());
    return entries.size() == before || WriteJournal(journalPath, entries);
}

std::string WhyNotRepairable(const JournalEntry& entry, int settleMs)
{
    struct stat first {};
    if (lstat(entry.path.c_str(), &first) != 0 || !S_ISREG(first.st_mode)
        || static_cast<uint64_t>(first.st_dev) != entry.device || static_cast<uint64_t>(first.st_ino) != entry.inode)
        return "gone";
    if (OpenElsewhere(entry.path, first))
        return "open";
    if (settleMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    struct stat second {};
    if (lstat(entry.path.c_str(), &second) != 0 || second.st_ino != first.st_ino)
        return "gone";
    if (!SameTimes(first, second))
        return "changing";
    return {};
}

std::vector<RepairedMovie> RepairJournaledMovies(
    const std::string& journalPath, const std::vector<JournalEntry>& entries, int settleMs)
{
    std::vector<RepairedMovie> repaired;
    std::vector<JournalEntry> done;
    for (const JournalEntry& entry : entries) {
        const std::string why = WhyNotRepairable(entry, settleMs);
        if (why == "gone") {
            std::fprintf(stderr, "capture: repair: %s: no longer there, left alone\n", entry.path.c_str());
            done.push_back(entry);
            continue;
        }
        if (!why.empty()) {
            std::fprintf(stderr, "capture: repair: %s: %s, left alone\n", entry.path.c_str(),
                why == "open" ? "open in another program" : "still being written");
            continue;
        }
        done.push_back(entry);
        if (InspectAvi(entry.path) != AviFileState::Unfinished)
            continue;
        RepairedMovie item { entry.path, RepairAvi(entry.path) };
        std::fprintf(stderr, "capture: repair: %s: %s\n", item.path.c_str(),
            item.result.ok ? "completed" : item.result.error.c_str());
        repaired.push_back(std::move(item));
    }
    if (!ForgetJournalEntries(journalPath, done))
        std::fprintf(stderr, "capture: cannot write the journal of recordings %s: %s\n", journalPath.c_str(),
            std::strerror(errno));
    return repaired;
}

} // namespace kestovar
