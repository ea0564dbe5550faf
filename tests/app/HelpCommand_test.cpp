// The Help item of the main window's menu, end to end: the main window over a fake
// AppState, the help the build put beside the program (the test runs from the
// program's folder), and the desktop's opener replaced by a receiver that keeps what
// it was handed.

#include "app/CDlgMain.h"
#include "app/StationMedia.h"
#include "app/StationRules.h"
#include "recording/CAppSettings.h"
#include "ui/CMenuBarXP.h"
#include "ui/CMenuXP.h"

#include "FakeStationMedia.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

using namespace kestovar;

namespace {

// The desktop's opener for file URLs, as far as the test is concerned.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened << url; }
};

const char* const kXdgVariables[]
    = { "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CURRENT_DESKTOP" };

class HelpCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : kXdgVariables)
            saved_ << qMakePair(QByteArray(name), qgetenv(name));
        // A desktop of our own, so that what is installed on this machine does not
        // decide the outcome.
        qputenv("XDG_CONFIG_HOME", Path("config"));
        qputenv("XDG_CONFIG_DIRS", Path("etc-xdg"));
        qputenv("XDG_DATA_HOME", Path("data-home"));
        qputenv("XDG_DATA_DIRS", Path("data"));
        qunsetenv("XDG_CURRENT_DESKTOP");
        qputenv("KESTOVAR_REGISTRY_DIR", Path("registry"));

        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher_, "Open");
        media_ = std::make_unique<test::FakeMedia>(QString::fromUtf8(Path("root")));
        media_->camera = false;
        dlg_ = std::make_unique<CDlgMain>(*media_, nullptr);
        dlg_->SetWaitScale(0);
        dlg_->SetMessenger([](const QString&, std::function<void()> done) {
            if (done)
                done();
        });
        dlg_->show();
        QApplication::processEvents();
    }

    void TearDown() override
    {
        dlg_.reset();
        media_.reset();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        for (const auto& [name, value] : saved_) {
            if (value.isNull())
                qunsetenv(name.constData());
            else
                qputenv(name.constData(), value);
        }
        qunsetenv("KESTOVAR_REGISTRY_DIR");
    }

    QByteArray Path(const char* relative) const { return QByteArray::fromStdString((dir_ / relative).string()); }

    void InstallChmViewer()
    {
        const QString apps = QString::fromUtf8(Path("data")) + QStringLiteral("/applications");
        QDir().mkpath(apps);
        QFile f(apps + QStringLiteral("/xchm.desktop"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Desktop Entry]\nType=Application\nName=xCHM\nExec=xchm %f\n"
                "MimeType=application/vnd.ms-htmlhelp;application/x-chm;\n");
    }

    // Help > Help, as the operator chooses it.
    void ChooseHelp()
    {
        CMenuBarXP* bar = dlg_->MenuBar();
        bar->OpenTitle(int(MenuTitle::Help));
        CMenuXP* menu = bar->OpenMenu();
        ASSERT_NE(menu, nullptr) << "the Help menu did not open";
        QAction* item = menu->FindCommand(cmd::Help);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->text().section(QLatin1Char('\t'), 0, 0), QStringLiteral("Help"));
        item->trigger();
        bar->CloseMenu();
        QApplication::processEvents();
    }

    static QString ProgramFolder() { return QFileInfo(QStringLiteral(KESTOVAR_PROGRAM_DIR)).canonicalFilePath(); }

    test::TempDir dir_;
    QList<QPair<QByteArray, QByteArray>> saved_;
    UrlCatcher catcher_;
    std::unique_ptr<test::FakeMedia> media_;
    std::unique_ptr<CDlgMain> dlg_;
};

} // namespace

TEST_F(HelpCommandTest, WithACHMViewerHelpOpensTheChmBesideTheProgram)
{
    // The window looks beside its own program, which for this test is the build's.
    ASSERT_EQ(QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath(), ProgramFolder());
    InstallChmViewer();
    ChooseHelp();
    ASSERT_EQ(catcher_.opened.size(), 1);
    const QUrl url = catcher_.opened.front();
    EXPECT_EQ(url, QUrl::fromLocalFile(ProgramFolder() + QStringLiteral("/Kestovar_Full_HD_Help.chm")));
    EXPECT_TRUE(QFileInfo(url.toLocalFile()).isFile());
}

TEST_F(HelpCommandTest, WithoutAViewerHelpOpensThePagesInTheBrowser)
{
    ChooseHelp();
    ASSERT_EQ(catcher_.opened.size(), 1);
    const QUrl url = catcher_.opened.front();
    EXPECT_EQ(url, QUrl::fromLocalFile(ProgramFolder() + QStringLiteral("/help/index.html")));
    EXPECT_TRUE(QFileInfo(url.toLocalFile()).isFile());
}

TEST_F(HelpCommandTest, HelpOpensInEveryModeWithOrWithoutACamera)
{
    InstallChmViewer();
    for (AppMode mode : { AppMode::Idle, AppMode::Recording, AppMode::Playing, AppMode::StillShown }) {
        media_->mode = mode;
        media_->camera = mode != AppMode::Idle;
        catcher_.opened.clear();
        ChooseHelp();
        EXPECT_EQ(catcher_.opened.size(), 1) << int(mode);
        // Help starts nothing and stops nothing.
        EXPECT_EQ(media_->mode, mode);
    }
}

#include "HelpCommand_test.moc"
