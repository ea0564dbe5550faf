#pragma once
// "Video Quality Setting": the camera's eleven image properties (the colour enable
// row exists but is hidden) and its power-line frequency, changed while the live
// picture runs. Every slider movement and Auto press goes to the camera at once;
// "Default" gives every property the camera's default, "Apply" keeps the result in
// the settings, Escape and the close button put the camera back as it was at opening
// (or at the last "Default") and store nothing. The rules live in VideoSettingModel;
// this window lays out, shows the model and forwards the controls to it.

#include "dialogs/CMyDialog.h"
#include "dialogs/VideoSettingModel.h"

#include <array>

namespace kestovar {

class CAdvCheckBox;
class CFontStatic;
class CGdipButton;
class CMySliderControl;
class CPictureCtrl;
class SettingsDialogHost;

class CDlgVideoSetting : public CMyDialog {
    Q_OBJECT
public:
    static constexpr int kRows = VideoSettingModel::kRows;

    // Queries the camera and shows the stored values; nothing is sent to the camera.
    explicit CDlgVideoSetting(SettingsDialogHost& host, QWidget* parent = nullptr);

    const VideoSettingModel& Model() const { return model_; }
    CMySliderControl* Slider(int row) const { return rows_[size_t(row)].slider; }
    CGdipButton* AutoButton(int row) const { return rows_[size_t(row)].autoButton; }
    CFontStatic* Label(int row) const { return rows_[size_t(row)].label; }
    CAdvCheckBox* Check50Hz() const { return check50_; }
    CAdvCheckBox* Check60Hz() const { return check60_; }
    CGdipButton* ApplyButton() const { return apply_; }
    CGdipButton* DefaultButton() const { return default_; }

    // Shows each row's flag: an automatic row has its Auto button lit and its slider
    // disabled; then repaints.
    void UpdateAutoStates();
    // Sets every slider's position to its row's value without sending anything.
    void ShowValues();
    void OnDefault();
    void OnApply();

public slots:
    // Escape, the close button: the camera goes back, nothing is stored.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct RowWidgets {
        CFontStatic* label = nullptr;
        CPictureCtrl* lowIcon = nullptr;
        CMySliderControl* slider = nullptr;
        CPictureCtrl* highIcon = nullptr;
        CGdipButton* autoButton = nullptr;
    };
    void BuildRow(int row);
    void ShowPowerLine();
    void OnPowerLineClicked(bool fiftyClicked);

    SettingsDialogHost& host_;
    VideoSettingModel model_;
    std::array<RowWidgets, kRows> rows_ {};
    CFontStatic* powerLabel_;
    CAdvCheckBox* check50_;
    CAdvCheckBox* check60_;
    CGdipButton* default_;
    CGdipButton* apply_;
    CGdipButton* cancel_;
    int shift_ = 0; // pixels the control column moved right for the labels
};

} // namespace kestovar
