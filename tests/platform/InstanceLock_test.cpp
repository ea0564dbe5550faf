#include "platform/InstanceLock.h"

#include "TestSupport.h"

#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

using namespace kestovar;
using kestovar::test::TempDir;

namespace {

const QString kName = QStringLiteral("Global\\{05CA3573-B449-4e0b-83F5-111111}");

class InstanceLockTest : public ::testing::Test {
protected:
    void SetUp() override { qputenv("KESTOVAR_LOCK_DIR", (dir_.str() + "/locks").c_str()); }
    void TearDown() override { qunsetenv("KESTOVAR_LOCK_DIR"); }

    // What another program sees: util-linux flock, non-blocking, exit 99 when busy.
    static int OtherProcessTries(const QString& path)
    {
        return QProcess::execute("flock", { "-n", "-E", "99", path, "true" });
    }

    TempDir dir_;
};

} // namespace

TEST_F(InstanceLockTest, TheLockFileIsNamedAfterTheInstanceName)
{
    EXPECT_EQ(InstanceLock::LockFilePath(kName),
        QString::fromStdString(dir_.str()) + "/locks/Global_{05CA3573-B449-4e0b-83F5-111111}.lock");
}

TEST_F(InstanceLockTest, OnlyTheFirstHolderGetsTheLockUntilItLetsGo)
{
    auto first = std::make_unique<InstanceLock>(kName);
    ASSERT_EQ(first->state(), InstanceLock::Held);
    EXPECT_TRUE(QFileInfo::exists(first->filePath()));

    InstanceLock second(kName);
    EXPECT_EQ(second.state(), InstanceLock::HeldByOther);
    EXPECT_TRUE(second.HeldByAnother());
    EXPECT_EQ(OtherProcessTries(first->filePath()), 99);

    const QString path = first->filePath();
    first.reset();
    EXPECT_EQ(OtherProcessTries(path), 0);
    InstanceLock third(kName);
    EXPECT_EQ(third.state(), InstanceLock::Held);
}

TEST_F(InstanceLockTest, AProgramStartedByTheHolderDoesNotInheritTheLock)
{
    auto lock = std::make_unique<InstanceLock>(kName);
    ASSERT_EQ(lock->state(), InstanceLock::Held);
    QProcess child;
    child.start("sleep", { "30" });
    ASSERT_TRUE(child.waitForStarted());
    const QString path = lock->filePath();
    lock.reset();
    EXPECT_EQ(OtherProcessTries(path), 0);
    child.kill();
    child.waitForFinished();
}

TEST_F(InstanceLockTest, AFolderThatCannotHoldTheLockFileIsReported)
{
    ASSERT_TRUE(kestovar::test::WriteFileText(dir_.path() / "file", ""));
    qputenv("KESTOVAR_LOCK_DIR", (dir_.str() + "/file").c_str());
    InstanceLock lock(kName);
    EXPECT_EQ(lock.state(), InstanceLock::Unavailable);
    EXPECT_NE(lock.error(), 0);
}
