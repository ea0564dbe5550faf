// A recording killed with SIGKILL at a random moment (also right after a roll-over
// into a new file) loses at most its last second: the child process records the
// simulated Full HD camera and reports every packet the camera delivered; after the
// kill, each file it left is repaired as the station does at its next start, and
// must play and hold all packets but those of the last second.
#include "capture/AviRepair.h"
#include "capture/RecordingJournal.h"

#include "AviPlayCheck.h"
#include "MediaFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <sstream>

namespace kestovar {
namespace {

constexpr int kFps = 30;
constexpr const char* kJournalName = ".recordings-in-progress";
constexpr uint64_t kRolloverBytes = 1'000'000;

// What the child said before it died.
struct ChildLog {
    std::map<int, std::string> files;
    std::map<int, uint64_t> delivered;
    std::map<int, uint64_t> completed; // files it finished itself
    std::string errors;
    std::string pending;

    void Take(const std::string& text)
    {
        pending += text;
        size_t nl;
        while ((nl = pending.find('\n')) != std::string::npos) {
            std::istringstream line(pending.substr(0, nl));
            pending.erase(0, nl + 1);
            char kind = 0;
            int n = 0;
            line >> kind >> n;
            if (kind == 'f')
                line >> std::ws, std::getline(line, files[n]);
            else if (kind == 'p')
                line >> delivered[n];
            else if (kind == 'c')
                line >> completed[n];
            else if (kind == 'e')
                errors += line.str() + "\n";
        }
    }
};

class Child {
public:
    Child(const std::string& folder, uint64_t rollover)
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], STDOUT_FILENO);
            const std::string bytes = std::to_string(rollover);
            execl(KESTOVAR_RECORD_CHILD, KESTOVAR_RECORD_CHILD, folder.c_str(), bytes.c_str(), "20", nullptr);
            _exit(127);
        }
        close(fds[1]);
        fd_ = fds[0];
    }
    ~Child()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (fd_ >= 0)
            close(fd_);
    }
    bool Started() const { return pid_ > 0 && fd_ >= 0; }

    // Reads what the child says until `done` holds (or it ends, or 20 s pass).
    bool ReadUntil(ChildLog& log, const std::function<bool(const ChildLog&)>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done(log)) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            pollfd p { fd_, POLLIN, 0 };
            if (poll(&p, 1, 200) <= 0)
                continue;
            char buffer[4096];
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n <= 0)
                return done(log);
            log.Take(std::string(buffer, static_cast<size_t>(n)));
        }
        return true;
    }

    // SIGKILL, then everything it said before.
    void Kill(ChildLog& log)
    {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        char buffer[4096];
        ssize_t n;
        while ((n = read(fd_, buffer, sizeof buffer)) > 0)
            log.Take(std::string(buffer, static_cast<size_t>(n)));
    }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
};

struct RunNumbers {
    uint64_t delivered = 0;
    uint64_t inFile = 0;
};

// After the kill: every file plays and holds what was delivered, but the last second.
void CheckFiles(const std::string& folder, const ChildLog& log, std::vector<RunNumbers>& numbers)
{
    ASSERT_TRUE(log.errors.empty()) << log.errors;
    // The station's own start-up repair: the journal the child kept names what it left.
    const std::string journal = folder + "/" + kJournalName;
    const std::vector<RepairedMovie> repaired
        = RepairJournaledMovies(journal, ReadRecordingJournal(journal), 0);
    EXPECT_LE(repaired.size(), 1u) << "only the file being written when killed is unfinished";
    EXPECT_TRUE(ReadRecordingJournal(journal).empty());
    for (const auto& [n, path] : log.files) {
        SCOPED_TRACE(path);
        const uint64_t delivered = log.delivered.count(n) ? log.delivered.at(n) : 0;
        const bool finished = log.completed.count(n) > 0;
        std::string why;
        const AviFileState state = InspectAvi(path, &why);
        if (delivered == 0 && state == AviFileState::Unreadable)
            continue; // killed before its first picture: nothing was recorded
        ASSERT_EQ(state, AviFileState::Complete) << why;
        const test::FileFacts facts = test::ReadFacts(path);
        ASSERT_TRUE(facts.opened);
        ASSERT_FALSE(facts.streams.empty());
        const uint64_t inFile
            = facts.streams[0].packets.size() + static_cast<uint64_t>(facts.streams[0].emptyPackets);
        numbers.push_back({ delivered, inFile });
        EXPECT_LE(inFile, delivered) << "the file holds packets the camera never delivered";
        if (finished) {
            EXPECT_EQ(inFile, log.completed.at(n)) << "a completed file lost packets";
        } else {
            EXPECT_GE(inFile + kFps, delivered) << "more than the last second was lost";
        }
        if (inFile > 0) {
            EXPECT_EQ(test::FfprobeVideoPackets(path), static_cast<long>(facts.streams[0].packets.size()));
            EXPECT_TRUE(test::ProbeFindsPicture(path));
            ASSERT_EQ(facts.streams.size(), 2u) << "the sound is kept too";
        }
    }
}

class AviKillTest : public ::testing::Test {
protected:
    void Run(int runs, bool afterRollover)
    {
        std::mt19937 random(afterRollover ? 1234 : 4321);
        std::vector<RunNumbers> numbers;
        for (int run = 0; run < runs; ++run) {
            SCOPED_TRACE("run " + std::to_string(run));
            test::TempDir folder;
            Child child(folder.str(), afterRollover ? kRolloverBytes : 0);
            ASSERT_TRUE(child.Started());
            ChildLog log;
            if (afterRollover) {
                // Killed within 0.4 s of the second file's start.
                const uint64_t packets = std::uniform_int_distribution<uint64_t>(0, 12)(random);
                ASSERT_TRUE(child.ReadUntil(log, [packets](const ChildLog& l) {
                    return l.files.count(1)
                        && (packets == 0 || (l.delivered.count(1) && l.delivered.at(1) >= packets));
                })) << "no roll-over seen";
            } else {
                // Killed between a sixth of a second and two and a half seconds into the file.
                const uint64_t packets = std::uniform_int_distribution<uint64_t>(5, 75)(random);
                ASSERT_TRUE(child.ReadUntil(log, [packets](const ChildLog& l) {
                    return l.delivered.count(0) && l.delivered.at(0) >= packets;
                })) << "the recording did not start";
            }
            child.Kill(log);
            CheckFiles(folder.str(), log, numbers);
        }
        std::string summary;
        for (const RunNumbers& r : numbers)
            summary += " " + std::to_string(r.delivered - r.inFile) + "/" + std::to_string(r.delivered);
        std::printf("packets lost/delivered per file:%s\n", summary.c_str());
    }
};

TEST_F(AviKillTest, KilledAtRandomMomentsLosesAtMostTheLastSecond)
{
    Run(11, false);
}

TEST_F(AviKillTest, KilledRightAfterARollOverLosesNothingOfTheFirstFile)
{
    Run(10, true);
}

} // namespace
} // namespace kestovar
