// The blinking no-camera notice.
#include "dialogs/CDlgNoCamera.h"

#include <QKeyEvent>
#include <QTest>
#include <gtest/gtest.h>

using namespace kestovar;

namespace {

// Stands in for the main window: records the keys that reach it.
class KeyRecorder : public QWidget {
public:
    std::vector<int> keys;

protected:
    void keyPressEvent(QKeyEvent* e) override { keys.push_back(e->key()); }
};

struct Notice : ::testing::Test {
    KeyRecorder main;
    KeyRecorder video; // the notice's parent
    CDlgNoCamera* notice = new CDlgNoCamera(&video);
    bool cameraReady = false;

    void SetUp() override
    {
        video.resize(800, 450);
        video.show();
        notice->SetKeyTarget(&main, [this] { return cameraReady; });
        notice->show();
        notice->StartBlink();
    }
    void Press(int key)
    {
        QTest::keyClick(notice, Qt::Key(key));
        QApplication::processEvents();
    }
};

} // namespace

TEST(BlinkSequence, DownToZeroAndBackUp)
{
    BlinkOpacity o;
    std::vector<int> seen { o.Value() };
    for (int i = 0; i < 14; ++i)
        seen.push_back(o.Step());
    const std::vector<int> expected { 255, 230, 205, 180, 155, 130, 105, 80, 55, 30, 5, 0, 25, 50, 75 };
    EXPECT_EQ(seen, expected);
    for (int i = 0; i < 8; ++i)
        o.Step(); // 100 ... 250, then 255 (held to the top)
    EXPECT_EQ(o.Value(), 255);
    EXPECT_EQ(o.Step(), 230) << "at the top it turns down again";
}

TEST(NoCameraKeys, WhichKeysReachTheMainWindow)
{
    for (int key : { Qt::Key_F1, Qt::Key_F7, Qt::Key_F9, Qt::Key_Escape, Qt::Key_Return }) {
        EXPECT_TRUE(ForwardNoCameraKey(key, false)) << key;
        EXPECT_TRUE(ForwardNoCameraKey(key, true)) << key;
    }
    for (int key : { Qt::Key_F3, Qt::Key_F4, Qt::Key_F5 }) {
        EXPECT_FALSE(ForwardNoCameraKey(key, false)) << key;
        EXPECT_TRUE(ForwardNoCameraKey(key, true)) << key;
    }
    EXPECT_FALSE(ForwardNoCameraKey(Qt::Key_A, true));
    EXPECT_FALSE(ForwardNoCameraKey(Qt::Key_F2, true));
}

TEST_F(Notice, EscapeDoesNotCloseTheNotice)
{
    Press(Qt::Key_Escape);
    Press(Qt::Key_Return);
    EXPECT_TRUE(notice->isVisible());
    EXPECT_TRUE(notice->IsBlinking());
    EXPECT_EQ(main.keys, std::vector<int>({ Qt::Key_Escape, Qt::Key_Return }));
}

TEST_F(Notice, F5WithoutACameraDoesNothingAndF1ReachesTheMainWindow)
{
    Press(Qt::Key_F5);
    Press(Qt::Key_A);
    EXPECT_TRUE(main.keys.empty());
    EXPECT_TRUE(video.keys.empty()) << "keys are not passed up to the video window";
    Press(Qt::Key_F1);
    EXPECT_EQ(main.keys, std::vector<int>({ Qt::Key_F1 }));

    cameraReady = true;
    Press(Qt::Key_F5);
    EXPECT_EQ(main.keys.back(), Qt::Key_F5);
}

TEST_F(Notice, NothingIsForwardedOnceTheMainWindowIsGone)
{
    auto* doomed = new KeyRecorder;
    notice->SetKeyTarget(doomed, [] { return true; });
    delete doomed;
    Press(Qt::Key_F1); // must not crash or post to a dead window
    EXPECT_TRUE(notice->isVisible());
}

TEST_F(Notice, BlinksFromFullOpacityAndIsPlacedBelowTheCentre)
{
    notice->BlinkStep();
    notice->BlinkStep();
    EXPECT_EQ(notice->Opacity(), 205);
    notice->StartBlink();
    EXPECT_EQ(notice->Opacity(), 255);
    notice->StopBlink();
    EXPECT_FALSE(notice->IsBlinking());

    EXPECT_EQ(NoCameraPosition(QSize(800, 450), QSize(408, 31)), QPoint(196, 225 + 80 - 15));
    notice->Place();
    EXPECT_EQ(notice->pos(), NoCameraPosition(video.size(), notice->size()));
    EXPECT_GE(notice->width(), QFontMetrics(notice->font()).horizontalAdvance(CDlgNoCamera::Text()))
        << "the whole text fits";
}
