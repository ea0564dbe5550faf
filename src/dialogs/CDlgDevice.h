#pragma once
// "Devices": which camera, codecs and microphone a recording uses (for information:
// filled once from the system, never read back), and the two recording quality
// choices the station stores, "Bit Rate" (QualityLevel) and "Frame Rate"
// (FrameRateChoice).
//
// "Apply" stores both choices, rebuilds the live preview when it runs, and accepts;
// "Default" selects the first entry of both without storing; Escape and the close
// button cancel and store nothing. With an MJPG camera open the quality lists are
// disabled (that camera has no encoder to give them to); Apply still stores what
// they show.

#include "dialogs/CMyDialog.h"

#include <array>
#include <cstdint>

namespace kestovar {

class CBitComboBox;
class CFontStatic;
class CGdipButton;
class SettingsDialogHost;

class CDlgDevice : public CMyDialog {
    Q_OBJECT
public:
    enum List {
        VideoDevices,
        VideoCompressor,
        AudioCompressor,
        AudioFormat,
        AudioDevice,
        BitRate,
        FrameRate,
        ListCount
    };

    // Fills the lists from the host (its settings, open camera and devices). The
    // caption, colours and size are set; the opener runs it with exec().
    explicit CDlgDevice(SettingsDialogHost& host, QWidget* parent = nullptr);

    // The selections of "Bit Rate" and "Frame Rate", following every change.
    int32_t ChosenBitrate() const { return chosenBitrate_; }
    int32_t ChosenFramerate() const { return chosenFramerate_; }

    CBitComboBox* ListBox(List list) const { return lists_[list]; }
    CFontStatic* Label(List list) const { return labels_[list]; }
    CGdipButton* ApplyButton() const { return apply_; }
    CGdipButton* DefaultButton() const { return default_; }
    CGdipButton* CancelButton() const { return cancel_; }

    // "Default" and "Apply" (the buttons' clicks).
    void OnDefault();
    void OnApply();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Layout();
    void Fill();

    SettingsDialogHost& host_;
    std::array<CFontStatic*, ListCount> labels_ {};
    std::array<CBitComboBox*, ListCount> lists_ {};
    CGdipButton* default_;
    CGdipButton* apply_;
    CGdipButton* cancel_;
    int32_t chosenBitrate_ = 0;
    int32_t chosenFramerate_ = 0;
};

} // namespace kestovar
