// "Video Quality Setting" against the simulated camera: opening, sliders, Auto
// buttons, power line, Default, Apply and Cancel.

#include "FakeSettingsHost.h"
#include "dialogs/CDlgVideoSetting.h"
#include "platform/SimulatedPicture.h"
#include "ui/CAdvCheckBox.h"
#include "ui/CFontStatic.h"
#include "ui/CGdipButton.h"
#include "ui/CMySliderControl.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <linux/videodev2.h>

extern "C" {
#include <libavutil/frame.h>
}

using namespace kestovar;
using namespace kestovar::test;

namespace {

struct VideoSetting : ::testing::Test {
    FakeSettingsHost host;
    int32_t Camera(uint32_t id) const { return host.CameraControl(id); }
};

// Mean luma and mean distance of chroma from grey of the simulated picture as the
// camera's controls make it now.
struct PictureLook {
    double luma = 0, chroma = 0;
};
PictureLook Look(const SimulatedCameraDevice& device)
{
    AVFrame* frame = av_frame_alloc();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = 160;
    frame->height = 120;
    PictureLook look;
    if (av_frame_get_buffer(frame, 0) == 0 && DrawSimulatedPicture(frame, 5, device.Adjust())) {
        for (int y = 0; y < frame->height; ++y)
            for (int x = 0; x < frame->width; ++x)
                look.luma += frame->data[0][y * frame->linesize[0] + x];
        for (int y = 0; y < frame->height / 2; ++y)
            for (int x = 0; x < frame->width / 2; ++x)
                look.chroma += std::abs(frame->data[1][y * frame->linesize[1] + x] - 128)
                    + std::abs(frame->data[2][y * frame->linesize[2] + x] - 128);
        look.luma /= frame->width * frame->height;
        look.chroma /= frame->width * frame->height / 4;
    }
    av_frame_free(&frame);
    return look;
}

} // namespace

TEST_F(VideoSetting, AFreshStationOpensAtTheCamerasValuesWithOnlyWhiteBalanceAutomatic)
{
    host.device->SetControl(V4L2_CID_BRIGHTNESS, 12);
    CDlgVideoSetting dialog(host);
    EXPECT_EQ(dialog.Title(), "Video Quality Setting");
    EXPECT_EQ(dialog.Slider(CameraBrightness)->value(), 12);
    EXPECT_EQ(dialog.Slider(CameraBrightness)->minimum(), -64);
    EXPECT_EQ(dialog.Slider(CameraBrightness)->maximum(), 64);
    EXPECT_EQ(dialog.Slider(CameraContrast)->value(), 32);
    EXPECT_EQ(dialog.Slider(CameraExposure)->value(), 250);
    for (int row = 0; row < CDlgVideoSetting::kRows; ++row) {
        const bool automatic = row == CameraWhiteBalance;
        EXPECT_EQ(dialog.Model().IsAutomatic(row), automatic) << row;
        EXPECT_EQ(dialog.AutoButton(row)->IsToggled(), automatic) << "lit when automatic, row " << row;
        EXPECT_EQ(dialog.Slider(row)->isEnabled(), !automatic) << row;
    }
    EXPECT_EQ(host.StoredInt("brightness"), 0) << "opening writes the stored values back unchanged";
}

TEST_F(VideoSetting, OpeningShowsStoredValuesButSendsNothing)
{
    host.StoreCamera(CameraBrightness, 30, kCameraFlagManual);
    host.StoreCamera(CameraGamma, 9000, kCameraFlagManual); // outside the camera's 72..500
    host.StoreCamera(CameraGain, 40, kCameraFlagAuto);
    host.device->ClearCommandLog();
    CDlgVideoSetting dialog(host);
    EXPECT_EQ(dialog.Slider(CameraBrightness)->value(), 30);
    EXPECT_EQ(dialog.Slider(CameraGamma)->value(), 500) << "the nearest end of the range";
    EXPECT_TRUE(dialog.AutoButton(CameraGain)->IsToggled());
    EXPECT_FALSE(dialog.Slider(CameraGain)->isEnabled());
    EXPECT_EQ(Camera(V4L2_CID_BRIGHTNESS), 0);
    EXPECT_EQ(Camera(V4L2_CID_GAMMA), 100);
    EXPECT_EQ(Camera(V4L2_CID_AUTOGAIN), 0);
}

TEST_F(VideoSetting, MovingBrightnessThenCancelPutsTheCameraBackAndStoresNothing)
{
    host.StoreCamera(CameraBrightness, 20, kCameraFlagManual);
    host.device->SetControl(V4L2_CID_BRIGHTNESS, -5);
    CDlgVideoSetting dialog(host);
    dialog.show();
    const PictureLook before = Look(*host.device);

    dialog.Slider(CameraBrightness)->setFocus();
    QTest::keyClick(dialog.Slider(CameraBrightness), Qt::Key_Right); // 20 -> 21
    EXPECT_EQ(Camera(V4L2_CID_BRIGHTNESS), 21) << "every change reaches the camera at once";
    dialog.Slider(CameraBrightness)->setValue(60);
    EXPECT_EQ(Camera(V4L2_CID_BRIGHTNESS), 60);
    EXPECT_GT(Look(*host.device).luma, before.luma + 10) << "the picture brightens";

    QSignalSpy rejected(&dialog, &QDialog::rejected);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(rejected.count(), 1);
    EXPECT_EQ(Camera(V4L2_CID_BRIGHTNESS), -5) << "the value the camera had at opening";
    EXPECT_EQ(host.record.cameraValue[CameraBrightness], 20);
    EXPECT_EQ(host.StoredInt("brightness"), 20);
}

TEST_F(VideoSetting, ContrastAndSaturationChangeThePicture)
{
    CDlgVideoSetting dialog(host);
    const PictureLook before = Look(*host.device);
    dialog.Slider(CameraSaturation)->setValue(0);
    EXPECT_EQ(Camera(V4L2_CID_SATURATION), 0);
    EXPECT_LT(Look(*host.device).chroma, before.chroma / 2) << "grey without saturation";
    dialog.Slider(CameraContrast)->setValue(64);
    EXPECT_EQ(Camera(V4L2_CID_CONTRAST), 64);
    EXPECT_EQ(host.device->Adjust().contrast, 64);
}

TEST_F(VideoSetting, AutoOnWhiteBalanceTwiceGoesOneThreeOne)
{
    CDlgVideoSetting dialog(host);
    dialog.show();
    ASSERT_EQ(dialog.Model().Row(CameraWhiteBalance).flag, 1);
    CGdipButton* autoButton = dialog.AutoButton(CameraWhiteBalance);

    QTest::mouseClick(autoButton, Qt::LeftButton);
    EXPECT_EQ(dialog.Model().Row(CameraWhiteBalance).flag, 3);
    EXPECT_FALSE(autoButton->IsToggled()) << "manual: unlit";
    EXPECT_TRUE(dialog.Slider(CameraWhiteBalance)->isEnabled());
    EXPECT_EQ(Camera(V4L2_CID_AUTO_WHITE_BALANCE), 0) << "the camera took 3 as manual";
    EXPECT_EQ(Camera(V4L2_CID_WHITE_BALANCE_TEMPERATURE), dialog.Slider(CameraWhiteBalance)->value());

    QTest::mouseClick(autoButton, Qt::LeftButton);
    EXPECT_EQ(dialog.Model().Row(CameraWhiteBalance).flag, 1);
    EXPECT_TRUE(autoButton->IsToggled());
    EXPECT_FALSE(dialog.Slider(CameraWhiteBalance)->isEnabled());
    EXPECT_EQ(Camera(V4L2_CID_AUTO_WHITE_BALANCE), 1);
}

TEST_F(VideoSetting, AutoOnARowWithTheBothModesFlagGoesManualFirst)
{
    CDlgVideoSetting dialog(host);
    dialog.OnDefault(); // gain and exposure now carry the camera's both-modes flag 3
    ASSERT_EQ(dialog.Model().Row(CameraGain).flag, 3);
    EXPECT_FALSE(dialog.Model().IsAutomatic(CameraGain)) << "3 shows manual on gain";
    EXPECT_TRUE(dialog.Model().IsAutomatic(CameraExposure)) << "and automatic on exposure";
    EXPECT_FALSE(dialog.Slider(CameraExposure)->isEnabled());

    // Every flag but 2 becomes manual (2), and 2 becomes automatic (1).
    dialog.AutoButton(CameraGain)->click();
    EXPECT_EQ(dialog.Model().Row(CameraGain).flag, 2) << "3 on a press: manual";
    EXPECT_FALSE(dialog.AutoButton(CameraGain)->IsToggled());
    EXPECT_TRUE(dialog.Slider(CameraGain)->isEnabled());
    EXPECT_EQ(Camera(V4L2_CID_AUTOGAIN), 0);
    dialog.AutoButton(CameraGain)->click();
    EXPECT_EQ(dialog.Model().Row(CameraGain).flag, 1);
    EXPECT_TRUE(dialog.AutoButton(CameraGain)->IsToggled());
    EXPECT_EQ(Camera(V4L2_CID_AUTOGAIN), 1);
    dialog.AutoButton(CameraExposure)->click();
    EXPECT_EQ(dialog.Model().Row(CameraExposure).flag, 2);
    EXPECT_TRUE(dialog.Slider(CameraExposure)->isEnabled());
    EXPECT_EQ(Camera(V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_MANUAL);
}

TEST_F(VideoSetting, DefaultSendsTheCameraDefaultsAndCancelGoesBackToJustBefore)
{
    host.device->SetControl(V4L2_CID_BRIGHTNESS, 33);
    host.device->SetControl(V4L2_CID_SHARPNESS, 6);
    CDlgVideoSetting dialog(host);
    dialog.Slider(CameraContrast)->setValue(50);
    ASSERT_EQ(Camera(V4L2_CID_CONTRAST), 50);

    QTest::mouseClick(dialog.DefaultButton(), Qt::LeftButton);
    EXPECT_EQ(Camera(V4L2_CID_BRIGHTNESS), 0);
    EXPECT_EQ(Camera(V4L2_CID_CONTRAST), 32);
    EXPECT_EQ(Camera(V4L2_CID_SHARPNESS), 3);
    EXPECT_EQ(Camera(V4L2_CID_AUTO_WHITE_BALANCE), 1);
    EXPECT_EQ(Camera(V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_APERTURE_PRIORITY)
        << "exposure with 3: automatic";
    EXPECT_EQ(Camera(V4L2_CID_AUTOGAIN), 0) << "gain with 3: manual";
    EXPECT_EQ(dialog.Slider(CameraBrightness)->value(), 0);
    EXPECT_EQ(dialog.Slider(CameraSharpness)->value(), 3);
    EXPECT_EQ(host.StoredInt("sharpness"), 0) << "Default stores nothing";

    dialog.reject();
    EXPECT_EQ(Camera(V4L2_CID_BRIGHTNESS), 33);
    EXPECT_EQ(Camera(V4L2_CID_CONTRAST), 50) << "the value just before Default";
    EXPECT_EQ(Camera(V4L2_CID_SHARPNESS), 6);
}

TEST_F(VideoSetting, ApplyStoresValuesAndFlagsAndSendsNothingMore)
{
    CDlgVideoSetting dialog(host);
    dialog.show();
    dialog.Slider(CameraHue)->setValue(-17);
    dialog.AutoButton(CameraWhiteBalance)->click(); // manual: 3
    dialog.Slider(CameraWhiteBalance)->setValue(3500);
    dialog.AutoButton(CameraBrightness)->click(); // automatic
    host.device->SetControl(V4L2_CID_HUE, 8); // the camera changes behind the dialog's back
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    QTest::mouseClick(dialog.ApplyButton(), Qt::LeftButton);
    EXPECT_EQ(accepted.count(), 1);
    EXPECT_TRUE(dialog.Model().Accepted());
    EXPECT_EQ(host.StoredInt("hue"), -17);
    EXPECT_EQ(host.StoredInt("whitebalance"), 3500);
    EXPECT_EQ(host.StoredInt("auto_whitebalance"), 3);
    EXPECT_EQ(host.StoredInt("auto_brightness"), 1);
    EXPECT_EQ(host.StoredInt("contrast"), 32) << "untouched rows store what they showed";
    EXPECT_EQ(Camera(V4L2_CID_HUE), 8);
}

TEST_F(VideoSetting, CancelWithoutTouchingAnythingLeavesTheCameraAsItWas)
{
    host.StoreCamera(CameraExposure, 700, kCameraFlagManual);
    host.StoreCamera(CameraWhiteBalance, 4000, 3);
    host.device->SetControl(V4L2_CID_AUTO_WHITE_BALANCE, 0);
    CDlgVideoSetting dialog(host);
    dialog.reject();
    EXPECT_EQ(Camera(V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_APERTURE_PRIORITY)
        << "not switched to the stored mode";
    EXPECT_EQ(Camera(V4L2_CID_EXPOSURE_ABSOLUTE), 250);
    EXPECT_EQ(Camera(V4L2_CID_AUTO_WHITE_BALANCE), 0);
    EXPECT_EQ(host.StoredInt("exposure"), 700);
    EXPECT_EQ(host.StoredInt("auto_whitebalance"), 3);
}

TEST_F(VideoSetting, CancelKeepsChosenModesButAManualWhiteBalanceReturnsToAutomatic)
{
    CDlgVideoSetting dialog(host);
    dialog.AutoButton(CameraWhiteBalance)->click();
    dialog.Slider(CameraWhiteBalance)->setValue(3000);
    dialog.AutoButton(CameraGain)->click(); // manual -> automatic
    dialog.reject();
    EXPECT_EQ(dialog.Model().Row(CameraWhiteBalance).flag, 1);
    EXPECT_EQ(Camera(V4L2_CID_AUTO_WHITE_BALANCE), 1);
    EXPECT_EQ(Camera(V4L2_CID_AUTOGAIN), 1) << "a mode chosen with Auto stays";
}

TEST_F(VideoSetting, PowerLineBoxesFollowTheCameraAndSwitchIt)
{
    {
        host.device->SetControl(V4L2_CID_POWER_LINE_FREQUENCY, kPowerLineOff);
        CDlgVideoSetting dialog(host);
        EXPECT_FALSE(dialog.Check50Hz()->isChecked());
        EXPECT_FALSE(dialog.Check60Hz()->isChecked());
        EXPECT_FALSE(dialog.Check50Hz()->isEnabled());
        EXPECT_FALSE(dialog.Check60Hz()->isEnabled());
    }
    host.device->SetControl(V4L2_CID_POWER_LINE_FREQUENCY, kPowerLine50Hz);
    CDlgVideoSetting dialog(host);
    dialog.show();
    EXPECT_TRUE(dialog.Check50Hz()->isChecked());
    EXPECT_FALSE(dialog.Check60Hz()->isChecked());
    QTest::mouseClick(dialog.Check60Hz(), Qt::LeftButton);
    EXPECT_EQ(Camera(V4L2_CID_POWER_LINE_FREQUENCY), kPowerLine60Hz);
    EXPECT_TRUE(dialog.Check60Hz()->isChecked());
    EXPECT_FALSE(dialog.Check50Hz()->isChecked());
    QTest::mouseClick(dialog.Check60Hz(), Qt::LeftButton); // unchecking 60 means 50
    EXPECT_EQ(Camera(V4L2_CID_POWER_LINE_FREQUENCY), kPowerLine50Hz);
    EXPECT_TRUE(dialog.Check50Hz()->isChecked());
    QTest::mouseClick(dialog.Check50Hz(), Qt::LeftButton); // unchecking 50 means 60
    EXPECT_EQ(Camera(V4L2_CID_POWER_LINE_FREQUENCY), kPowerLine60Hz);
    EXPECT_TRUE(dialog.Check60Hz()->isChecked());
    dialog.reject();
    EXPECT_EQ(Camera(V4L2_CID_POWER_LINE_FREQUENCY), kPowerLine60Hz) << "a camera setting, kept by Cancel";
}

TEST(VideoSettingWithoutCamera, OpensWithDisabledPowerLineAndApplyKeepsTheStoredValues)
{
    FakeSettingsHost host(std::nullopt);
    host.StoreCamera(CameraBrightness, 17, kCameraFlagManual);
    host.StoreCamera(CameraExposure, 900, kCameraFlagAuto);
    CDlgVideoSetting dialog(host);
    EXPECT_FALSE(dialog.Check50Hz()->isEnabled());
    EXPECT_FALSE(dialog.Check60Hz()->isEnabled());
    EXPECT_EQ(dialog.Slider(CameraBrightness)->value(), 17);
    dialog.OnApply();
    EXPECT_EQ(host.StoredInt("brightness"), 17) << "nothing lost without a camera";
    EXPECT_EQ(host.StoredInt("exposure"), 900);
    EXPECT_EQ(host.StoredInt("auto_exposure"), 1);
}

TEST_F(VideoSetting, TheColourEnableRowExistsHidden)
{
    CDlgVideoSetting dialog(host);
    dialog.show();
    EXPECT_FALSE(dialog.Slider(CameraColorEnable)->isVisible());
    EXPECT_FALSE(dialog.AutoButton(CameraColorEnable)->isVisible());
    EXPECT_FALSE(dialog.Label(CameraColorEnable)->isVisible());
    QStringList shown;
    for (int row = 0; row < CDlgVideoSetting::kRows; ++row)
        if (dialog.Label(row)->isVisible())
            shown << dialog.Label(row)->text();
    EXPECT_EQ(shown,
        (QStringList { "Brightness", "Contrast", "Hue", "Saturation", "White Balance", "Gamma",
            "Backlight Comp.", "Gain", "Sharpness", "Exposure" }));
    const QRect client = dialog.rect().adjusted(2, 2, -2, -2);
    for (int row = 0; row < CDlgVideoSetting::kRows; ++row) {
        if (row == CameraColorEnable)
            continue;
        EXPECT_TRUE(client.contains(dialog.Slider(row)->geometry())) << row;
        EXPECT_TRUE(client.contains(dialog.AutoButton(row)->geometry())) << row;
        EXPECT_LT(dialog.Slider(row)->geometry().right(), dialog.AutoButton(row)->geometry().left()) << row;
        CFontStatic* label = dialog.Label(row);
        EXPECT_GE(label->width(), QFontMetrics(label->font()).horizontalAdvance(label->text()))
            << "the whole label on one line: " << label->text().toStdString();
        EXPECT_LT(label->geometry().right(), dialog.Slider(row)->geometry().left()) << row;
    }
    for (CAdvCheckBox* box : { dialog.Check50Hz(), dialog.Check60Hz() }) {
        EXPECT_GE(box->width(), box->sizeHint().width()) << "room for " << box->text().toStdString();
        EXPECT_TRUE(client.contains(box->geometry()));
    }
    EXPECT_LT(dialog.Check50Hz()->geometry().right(), dialog.Check60Hz()->geometry().left());
}

TEST(VideoSettingModel, ShownModesAndTheRowsACameraLacks)
{
    EXPECT_TRUE(VideoSettingModel::ShowsAutomatic(CameraBrightness, 1));
    EXPECT_FALSE(VideoSettingModel::ShowsAutomatic(CameraBrightness, 3));
    EXPECT_FALSE(VideoSettingModel::ShowsAutomatic(CameraWhiteBalance, 3));
    EXPECT_TRUE(VideoSettingModel::ShowsAutomatic(CameraExposure, 3));
    EXPECT_TRUE(VideoSettingModel::ShowsAutomatic(CameraColorEnable, 0));
    EXPECT_FALSE(VideoSettingModel::ShowsAutomatic(CameraExposure, 2));

    FakeSettingsHost host;
    VideoSettingModel model;
    model.QueryCamera(host.cameraControls());
    EXPECT_FALSE(model.Row(CameraColorEnable).known) << "V4L2 has no colour enable";
    EXPECT_TRUE(model.Row(CameraSharpness).known);
    EXPECT_EQ(model.Row(CameraSharpness).maximum, 6);
    host.device->SetControl(V4L2_CID_AUTO_WHITE_BALANCE, 0);
    model.QueryCamera(host.cameraControls());
    EXPECT_EQ(model.Row(CameraWhiteBalance).flag, 1) << "a manual white balance reads as 1";
}
