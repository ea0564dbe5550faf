// Picture sizes of movies and pictures on disk.
#include "capture/MediaProbe.h"

#include "MediaFixtures.h"
#include "TestSupport.h"

#include <QImage>

#include <gtest/gtest.h>

namespace kestovar {
namespace {

TEST(ReadMovieFrameSize, ReadsTheRecordedPictureSize)
{
    test::TempDir dir;
    const std::string hd = (dir / "hd.avi").string();
    const std::string sd = (dir / "sd.avi").string();
    ASSERT_TRUE(test::MakeRecordedAvi(hd, 1280, 720, 30, 0.5, true));
    ASSERT_TRUE(test::MakeRecordedAvi(sd, 640, 480, 30, 0.5, false));
    int w = -1, h = -1;
    ASSERT_TRUE(ReadMovieFrameSize(hd, w, h));
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 720);
    ASSERT_TRUE(ReadMovieFrameSize(sd, w, h));
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
}

TEST(ReadMovieFrameSize, UnreadableFilesLeaveTheSizeAlone)
{
    test::TempDir dir;
    ASSERT_TRUE(test::WriteFileText(dir / "broken.avi", "RIFF\x40\x01\x01\x01AVI LIST nonsense"));
    ASSERT_TRUE(test::WriteFileText(dir / "notes.txt", "not a movie at all"));
    for (const char* name : { "broken.avi", "notes.txt", "missing.avi" }) {
        int w = -1, h = -1;
        EXPECT_FALSE(ReadMovieFrameSize((dir / name).string(), w, h)) << name;
        EXPECT_EQ(w, -1) << name;
        EXPECT_EQ(h, -1) << name;
    }
}

TEST(ReadPictureSize, ReadsPicturesAndGivesZeroForTheRest)
{
    test::TempDir dir;
    QImage picture(1280, 720, QImage::Format_RGB32);
    picture.fill(Qt::darkGray);
    ASSERT_TRUE(picture.save(QString::fromStdString((dir / "still.jpg").string()), "JPG"));
    int w = -1, h = -1;
    EXPECT_TRUE(ReadPictureSize((dir / "still.jpg").string(), w, h));
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 720);

    ASSERT_TRUE(test::WriteFileText(dir / "damaged.jpg", "\xff\xd8\xff garbage"));
    EXPECT_TRUE(ReadPictureSize((dir / "damaged.jpg").string(), w, h));
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    w = h = -1;
    EXPECT_TRUE(ReadPictureSize((dir / "missing.jpg").string(), w, h));
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
}

} // namespace
} // namespace kestovar
