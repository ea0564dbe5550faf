// "Devices": the lists, Default, Apply and Cancel against a fake station.

#include "FakeSettingsHost.h"
#include "dialogs/CDlgDevice.h"
#include "dialogs/DeviceDialogModel.h"
#include "platform/CameraProvider.h"
#include "ui/CBitComboBox.h"
#include "ui/CFontStatic.h"
#include "ui/CGdipButton.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace kestovar;
using namespace kestovar::test;

namespace {

QStringList Entries(const CBitComboBox* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->itemText(i);
    return out;
}

// Lists the given devices; opens none (the dialog only reads names).
class NamedDevices final : public CameraProvider {
public:
    std::vector<VideoDeviceInfo> devices;
    std::vector<VideoDeviceInfo> ListVideoDevices() override { return devices; }
    std::unique_ptr<CameraBackend> Open(const VideoDeviceInfo&) override { return nullptr; }
    std::vector<std::string> UsbInstanceIds(bool) override { return {}; }
};

class ProviderScope {
public:
    explicit ProviderScope(std::shared_ptr<CameraProvider> p) { SetCameraProvider(std::move(p)); }
    ~ProviderScope() { SetCameraProvider(nullptr); }
};

struct DeviceDialog : ::testing::Test {
    void Store(int32_t bitrate, int32_t framerate)
    {
        host.record.bitrate = bitrate;
        host.record.framerate = framerate;
        host.record.SaveSettings();
    }
    std::shared_ptr<NamedDevices> devices = std::make_shared<NamedDevices>();
    ProviderScope scope { devices };
    FakeSettingsHost host;
};

} // namespace

TEST_F(DeviceDialog, DefaultThenApplyStoresTheFirstEntriesAndRebuildsTheLivePreview)
{
    Store(QualityHigh, Fps25);
    CDlgDevice dialog(host);
    EXPECT_EQ(dialog.Title(), "Devices");
    EXPECT_EQ(dialog.ListBox(CDlgDevice::BitRate)->currentText(), "High(r=0.11)");
    EXPECT_EQ(dialog.ListBox(CDlgDevice::FrameRate)->currentText(), "Middle(25)");

    dialog.OnDefault();
    EXPECT_EQ(dialog.ListBox(CDlgDevice::BitRate)->currentText(), "Highest(r=0.14)");
    EXPECT_EQ(dialog.ListBox(CDlgDevice::FrameRate)->currentText(), "High(30)");
    EXPECT_EQ(dialog.ChosenBitrate(), 0);
    EXPECT_EQ(dialog.ChosenFramerate(), 0);
    EXPECT_EQ(host.StoredInt("bitrate"), QualityHigh) << "Default stores nothing";
    EXPECT_EQ(host.rebuilds, 0);

    dialog.show();
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    QTest::mouseClick(dialog.ApplyButton(), Qt::LeftButton);
    EXPECT_EQ(accepted.count(), 1);
    EXPECT_EQ(host.record.bitrate, 0);
    EXPECT_EQ(host.record.framerate, 0);
    EXPECT_EQ(host.StoredInt("bitrate"), 0);
    EXPECT_EQ(host.StoredInt("framerate"), 0);
    EXPECT_EQ(host.rebuilds, 1) << "live: the preview is built again with the new choices";
}

TEST_F(DeviceDialog, NormalThenDefaultThenApplyStoresZeroNotTwo)
{
    Store(QualityHigh, Fps30);
    CDlgDevice dialog(host);
    dialog.ListBox(CDlgDevice::BitRate)->setCurrentIndex(QualityNormal);
    EXPECT_EQ(dialog.ChosenBitrate(), QualityNormal) << "the chosen index follows the list";
    dialog.ListBox(CDlgDevice::FrameRate)->setCurrentIndex(Fps20);
    EXPECT_EQ(dialog.ChosenFramerate(), Fps20);
    QTest::mouseClick(dialog.DefaultButton(), Qt::LeftButton);
    dialog.OnApply();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(host.StoredInt("bitrate"), 0);
    EXPECT_EQ(host.StoredInt("framerate"), 0);
}

TEST_F(DeviceDialog, ApplyWithoutChangesStoresWhatWasShownAndLeavesAStoppedStationAlone)
{
    Store(QualityNormal, Fps20);
    host.live = false;
    CDlgDevice dialog(host);
    dialog.OnApply();
    EXPECT_EQ(host.StoredInt("bitrate"), QualityNormal);
    EXPECT_EQ(host.StoredInt("framerate"), Fps20);
    EXPECT_EQ(host.rebuilds, 0) << "nothing runs, nothing to rebuild";
}

TEST_F(DeviceDialog, EscapeAndTheCloseButtonStoreNothing)
{
    Store(QualityHigh, Fps25);
    {
        CDlgDevice dialog(host);
        dialog.show();
        dialog.ListBox(CDlgDevice::BitRate)->setCurrentIndex(QualityNormal);
        QSignalSpy rejected(&dialog, &QDialog::rejected);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_EQ(rejected.count(), 1);
        EXPECT_FALSE(dialog.CancelButton()->isVisible()) << "the template's Cancel button is hidden";
    }
    {
        CDlgDevice dialog(host);
        dialog.show();
        dialog.OnDefault();
        dialog.close();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_EQ(host.StoredInt("bitrate"), QualityHigh);
    EXPECT_EQ(host.StoredInt("framerate"), Fps25);
    EXPECT_EQ(host.record.bitrate, QualityHigh);
    EXPECT_EQ(host.rebuilds, 0);
}

TEST(DeviceDialogCamera, AnMjpgCameraShowsMjpegWithTheQualityListsDisabled)
{
    FakeSettingsHost host(SimulatedModel::Pro);
    host.record.bitrate = QualityNormal;
    CDlgDevice dialog(host);
    EXPECT_EQ(Entries(dialog.ListBox(CDlgDevice::VideoCompressor)), QStringList { "MJPEG" });
    EXPECT_FALSE(dialog.ListBox(CDlgDevice::BitRate)->isEnabled());
    EXPECT_FALSE(dialog.ListBox(CDlgDevice::FrameRate)->isEnabled());
    EXPECT_TRUE(dialog.ListBox(CDlgDevice::AudioDevice)->isEnabled());
    dialog.OnApply();
    EXPECT_EQ(host.StoredInt("bitrate"), QualityNormal) << "the shown value is still stored";
}

TEST(DeviceDialogCamera, WithoutACameraOrWithAnEncoderTheQualityCanBeChosen)
{
    for (std::optional<SimulatedModel> model :
        { std::optional<SimulatedModel>(), std::optional(SimulatedModel::FullHd2) }) {
        FakeSettingsHost host(model);
        CDlgDevice dialog(host);
        EXPECT_EQ(Entries(dialog.ListBox(CDlgDevice::VideoCompressor)), QStringList { "H.264(AVC)" });
        EXPECT_TRUE(dialog.ListBox(CDlgDevice::BitRate)->isEnabled());
        EXPECT_TRUE(dialog.ListBox(CDlgDevice::FrameRate)->isEnabled());
    }
}

TEST_F(DeviceDialog, ListsShowTheSupportedCamerasTheCodecsAndEverySoundInput)
{
    devices->devices = {
        { "Integrated Webcam", "usb#VID_0BDA&PID_58F4#200901010001#/dev/video0", "/dev/video0" },
        { "Kestovar Full HD", "usb#vid_05a3&pid_9422#KST1#/dev/video2", "/dev/video2" },
        { "Kestovar Pro", "usb#VID_06F8&PID_4148#KST2#/dev/video4", "/dev/video4" },
    };
    CDlgDevice dialog(host);
    EXPECT_EQ(Entries(dialog.ListBox(CDlgDevice::VideoDevices)),
        (QStringList { "Kestovar Full HD", "Kestovar Pro" }))
        << "only supported cameras, matched in upper case, in enumeration order";
    EXPECT_EQ(dialog.ListBox(CDlgDevice::VideoDevices)->currentIndex(), 0);
    EXPECT_EQ(Entries(dialog.ListBox(CDlgDevice::AudioCompressor)), QStringList { "LAME Audio Encoder" });
    EXPECT_EQ(Entries(dialog.ListBox(CDlgDevice::AudioFormat)), QStringList { "Stereo 128kbps MP3" });
    EXPECT_EQ(Entries(dialog.ListBox(CDlgDevice::AudioDevice)),
        (QStringList { "Built-in Audio Analog Stereo", "USB Audio ADC Ver1.0" }));
    EXPECT_EQ(dialog.ListBox(CDlgDevice::AudioDevice)->currentIndex(), 0);
    EXPECT_EQ(Entries(dialog.ListBox(CDlgDevice::BitRate)),
        (QStringList { "Highest(r=0.14)", "High(r=0.11)", "Normal(r=0.085)" }));
    EXPECT_EQ(Entries(dialog.ListBox(CDlgDevice::FrameRate)),
        (QStringList { "High(30)", "Middle(25)", "Low(20)" }));

    // Informational lists change nothing.
    dialog.ListBox(CDlgDevice::VideoDevices)->setCurrentIndex(1);
    dialog.OnApply();
    EXPECT_EQ(host.StoredInt("bitrate"), 1) << "the default bit rate, unchanged";
}

TEST_F(DeviceDialog, NoDevicesLeaveTheirListsEmpty)
{
    host.audioInputs.clear();
    CDlgDevice dialog(host);
    EXPECT_EQ(dialog.ListBox(CDlgDevice::VideoDevices)->count(), 0);
    EXPECT_EQ(dialog.ListBox(CDlgDevice::AudioDevice)->count(), 0);
    EXPECT_EQ(dialog.ListBox(CDlgDevice::AudioDevice)->currentIndex(), -1);
}

TEST(DeviceDialogModel, DamagedStoredIndicesShowTheFirstEntry)
{
    EXPECT_EQ(QualityListRow(2), 2);
    EXPECT_EQ(QualityListRow(3), 0);
    EXPECT_EQ(QualityListRow(-1), 0);
}

TEST_F(DeviceDialog, LaidOutInsideItsClientArea)
{
    CDlgDevice dialog(host);
    dialog.show();
    const QRect client = dialog.rect().adjusted(2, 2, -2, -2);
    for (int i = 0; i < CDlgDevice::ListCount; ++i) {
        const auto list = CDlgDevice::List(i);
        EXPECT_TRUE(client.contains(dialog.ListBox(list)->geometry())) << i;
        EXPECT_TRUE(client.contains(dialog.Label(list)->geometry())) << i;
        EXPECT_LT(dialog.Label(list)->geometry().right(), dialog.ListBox(list)->geometry().left()) << i;
        if (i > 0) {
            EXPECT_GT(dialog.ListBox(list)->geometry().top(),
                dialog.ListBox(CDlgDevice::List(i - 1))->geometry().bottom());
        }
    }
    EXPECT_TRUE(client.contains(dialog.ApplyButton()->geometry()));
    EXPECT_GT(
        dialog.ApplyButton()->geometry().top(), dialog.ListBox(CDlgDevice::FrameRate)->geometry().bottom());
}
