#include "app/CDlgMain.h"
#include "app/CKestovarApp.h"

#include "TestSupport.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>

#include <csignal>
#include <gtest/gtest.h>

using namespace kestovar;
using kestovar::test::ReadFileText;
using kestovar::test::TempDir;
using kestovar::test::WriteFileText;

namespace {

class CKestovarAppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("KESTOVAR_REGISTRY_DIR", (dir_.str() + "/registry").c_str());
        std::filesystem::create_directory(storage());
    }
    void TearDown() override { qunsetenv("KESTOVAR_REGISTRY_DIR"); }

    std::filesystem::path storage() const { return dir_.path() / "storage"; }
    QString storageRoot() const { return QString::fromStdString(storage().string()); }
    std::string hiveText() const { return ReadFileText(dir_.path() / "registry" / "HKEY_LOCAL_MACHINE.reg"); }

    // Runs the station until `trigger` (called once its event loop runs) closes it.
    // Pretends something was on show, so that the close path's CloseAll is seen.
    int RunUntil(CKestovarApp& app, std::function<void()> trigger)
    {
        QTimer::singleShot(0, [&app, trigger] {
            app.mode = AppMode::StillShown;
            app.currentMediaPath = "/somewhere/picture.jpg";
            trigger();
        });
        return app.Run();
    }

    TempDir dir_;
};

} // namespace

TEST_F(CKestovarAppTest, StartsWithOneDarkMainWindowTitledKestovar)
{
    CKestovarApp app(AppOptions { "pro" }, storageRoot());
    EXPECT_EQ(CKestovarApp::Instance(), &app);
    EXPECT_EQ(app.mode, AppMode::Idle);
    EXPECT_EQ(app.options().simulatedCamera, "pro");
    EXPECT_EQ(app.settings.GetMoviePath(), storageRoot() + "/movie");

    ASSERT_TRUE(app.InitInstance());
    ASSERT_NE(app.mainDialog, nullptr);
    EXPECT_TRUE(app.mainDialog->isVisible());
    EXPECT_EQ(app.mainDialog->windowTitle(), "Kestovar");
    EXPECT_EQ(app.mainDialog->palette().color(QPalette::Window), QColor(0x22, 0x22, 0x22));
    // The splash came up with the main window (it is hidden once the start-up checks
    // are done, and destroyed by ExitInstance).
    EXPECT_NE(app.splash, nullptr);

    app.mainDialog->close();
    app.mainDialog.reset();
    EXPECT_EQ(app.ExitInstance(), 0);
}

TEST_F(CKestovarAppTest, SigtermClosesThroughTheMainWindowAndTheSettingsAreWritten)
{
    {
        CKestovarApp app(AppOptions {}, storageRoot());
        app.settings.bitrate = 2; // assigned, not yet saved
        EXPECT_EQ(RunUntil(app, [] { std::raise(SIGTERM); }), 0);
        EXPECT_EQ(app.mainDialog, nullptr);
        EXPECT_EQ(app.mode, AppMode::Idle);
        EXPECT_TRUE(app.currentMediaPath.isEmpty());
        EXPECT_EQ(hiveText().find("\"bitrate\""), std::string::npos); // written only at the end
    }
    EXPECT_EQ(CKestovarApp::Instance(), nullptr);
    EXPECT_NE(hiveText().find("\"bitrate\"=hex:02,00,00,00\n"), std::string::npos) << hiveText();
    EXPECT_NE(hiveText().find("\"auto_whitebalance\"=hex:01,00,00,00\n"), std::string::npos);
}

TEST_F(CKestovarAppTest, SigintAndTheWindowManagersCloseTakeTheSamePath)
{
    {
        CKestovarApp app(AppOptions {}, storageRoot());
        EXPECT_EQ(RunUntil(app, [] { std::raise(SIGINT); }), 0);
        EXPECT_EQ(app.mode, AppMode::Idle);
        EXPECT_TRUE(app.currentMediaPath.isEmpty());
    }
    EXPECT_NE(hiveText().find("\"framerate\"=hex:00,00,00,00\n"), std::string::npos);
    std::filesystem::remove(dir_.path() / "registry" / "HKEY_LOCAL_MACHINE.reg");
    {
        CKestovarApp app(AppOptions {}, storageRoot());
        EXPECT_EQ(RunUntil(app, [&app] { app.mainDialog->close(); }), 0);
        EXPECT_EQ(app.mode, AppMode::Idle);
        EXPECT_TRUE(app.currentMediaPath.isEmpty());
    }
    EXPECT_NE(hiveText().find("\"framerate\"=hex:00,00,00,00\n"), std::string::npos);
}

TEST_F(CKestovarAppTest, ASignalWhileADialogIsOpenClosesTheDialogAndThenTheStation)
{
    CKestovarApp app(AppOptions {}, storageRoot());
    int dialogResult = -1;
    bool dialogReturned = false;
    int rc = RunUntil(app, [&] {
        QDialog dialog(app.mainDialog.get());
        QTimer::singleShot(0, [] { std::raise(SIGTERM); });
        dialogResult = dialog.exec();
        dialogReturned = true;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(dialogReturned);
    EXPECT_EQ(dialogResult, QDialog::Rejected);
    EXPECT_EQ(app.mode, AppMode::Idle);
}

TEST_F(CKestovarAppTest, ADamagedSettingsFileIsReportedToTheOperator)
{
    std::filesystem::create_directories(dir_.path() / "registry");
    ASSERT_TRUE(WriteFileText(dir_.path() / "registry" / "HKEY_LOCAL_MACHINE.reg", "not a registry file"));
    CKestovarApp app(AppOptions {}, storageRoot());
    ASSERT_TRUE(app.InitInstance());
    QMessageBox* notice = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
            notice = box;
    }
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->windowTitle(), "Kestovar");
    EXPECT_TRUE(notice->text().contains(app.settings.damagedFileCopy()));
    EXPECT_TRUE(notice->text().endsWith("HKEY_LOCAL_MACHINE.reg.bad"));
    EXPECT_FALSE(notice->isModal()); // an unattended start is not held up
    app.mainDialog->close();
    app.mainDialog.reset();
    app.ExitInstance();
}
