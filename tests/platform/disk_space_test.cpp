// The disk guard, with an injected volume and with the real one.
#include "platform/DiskSpace.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace kestovar {
namespace {

constexpr uint64_t kGiB = 1ull << 30;

FreeSpaceSource Volume(uint64_t freeBytes, uint64_t totalBytes)
{
    return [=](const std::string&) { return std::optional<DiskSpaceInfo>({ freeBytes, totalBytes }); };
}

// The report lines as written to a scratch stream.
std::string Report(const FreeSpaceSource& source, bool* result)
{
    std::FILE* out = std::tmpfile();
    *result = HasFreeDiskSpace("/anywhere", source, out);
    std::string text(4096, '\0');
    std::rewind(out);
    text.resize(std::fread(text.data(), 1, text.size(), out));
    std::fclose(out);
    return text;
}

TEST(HasFreeDiskSpace, MoreThanFivePercentOfWholeGibibytesIsEnough)
{
    EXPECT_TRUE(HasFreeDiskSpace("/x", Volume(6 * kGiB, 100 * kGiB), nullptr));
    EXPECT_FALSE(HasFreeDiskSpace("/x", Volume(5 * kGiB, 100 * kGiB), nullptr));
    // Counted in whole gibibytes: 5.9 GiB free of 100 is still 5 %.
    EXPECT_FALSE(HasFreeDiskSpace("/x", Volume(6 * kGiB - 1, 100 * kGiB), nullptr));
    // 5.97 % truncates to 5.
    EXPECT_FALSE(HasFreeDiskSpace("/x", Volume(10 * kGiB, 167 * kGiB), nullptr));
    EXPECT_TRUE(HasFreeDiskSpace("/x", Volume(2 * kGiB, 2 * kGiB), nullptr));
}

TEST(HasFreeDiskSpace, SmallOrUnreadableVolumesCountAsTooFull)
{
    EXPECT_FALSE(HasFreeDiskSpace("/x", Volume(kGiB - 1, kGiB - 1), nullptr)); // empty but under 1 GiB
    EXPECT_FALSE(HasFreeDiskSpace("/x", Volume(0, 0), nullptr));
    EXPECT_FALSE(HasFreeDiskSpace(
        "/x", [](const std::string&) { return std::optional<DiskSpaceInfo>(); }, nullptr));
    EXPECT_FALSE(HasFreeDiskSpace("/x", FreeSpaceSource(), nullptr));
}

TEST(HasFreeDiskSpace, VeryLargeVolumesDoNotOverflow)
{
    // 8 PiB: more gibibytes than 32 bits hold.
    const uint64_t total = 8ull << 50;
    EXPECT_TRUE(HasFreeDiskSpace("/x", Volume(total / 2, total), nullptr));
    EXPECT_FALSE(HasFreeDiskSpace("/x", Volume(total / 100, total), nullptr));
}

TEST(HasFreeDiskSpace, WritesTheThreeReportLines)
{
    bool result = false;
    std::string text = Report(Volume(6 * kGiB + 512 * (1ull << 20), 100 * kGiB), &result);
    EXPECT_TRUE(result);
    EXPECT_EQ(text, "GetDiskFreeSpace reports\n\nFree space  = 6656 MB\nTotal space = 102400 MB\n");
    // No report when the volume cannot be asked.
    text = Report([](const std::string&) { return std::optional<DiskSpaceInfo>(); }, &result);
    EXPECT_FALSE(result);
    EXPECT_EQ(text, "");
}

TEST(StatvfsFreeSpace, AFolderNotMadeYetIsMeasuredOnItsParentsVolume)
{
    test::TempDir dir;
    auto existing = StatvfsFreeSpace(dir.str());
    ASSERT_TRUE(existing);
    EXPECT_GT(existing->totalBytes, 0u);
    EXPECT_LE(existing->freeBytes, existing->totalBytes);
    auto missing = StatvfsFreeSpace((dir / "not" / "yet" / "made").string());
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->totalBytes, existing->totalBytes);
    EXPECT_FALSE(StatvfsFreeSpace(""));
}

} // namespace
} // namespace kestovar
