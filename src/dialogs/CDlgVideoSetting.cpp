#include "dialogs/CDlgVideoSetting.h"

#include "dialogs/MessageLayout.h"
#include "dialogs/SettingsDialogHost.h"
#include "ui/CAdvCheckBox.h"
#include "ui/CFontStatic.h"
#include "ui/CGdipButton.h"
#include "ui/CMySliderControl.h"
#include "ui/CPictureCtrl.h"
#include "ui/DialogUnits.h"
#include "ui/SkinPalette.h"

#include <QFontMetrics>
#include <QSignalBlocker>

#include <algorithm>

namespace kestovar {

namespace {

const QSize kClient = DluSize(293, 249);
constexpr int kLabelHeight = 17; // a 15-pixel cell with room for descenders

// Rectangles in dialog units: label, low icon, slider, high icon, Auto button.
struct RowLayout {
    const char* text;
    const char* icon; // skin roles "image_<icon>_low" and "image_<icon>_high"
    QRect label, low, slider, high, autoButton;
};
const std::array<RowLayout, CDlgVideoSetting::kRows> kRowLayout { {
    { "Brightness", "brightness", { 8, 15, 54, 8 }, { 70, 16, 8, 8 }, { 82, 12, 145, 14 }, { 234, 16, 8, 8 },
        { 253, 14, 33, 12 } },
    { "Contrast", "contrast", { 8, 32, 56, 8 }, { 70, 32, 8, 8 }, { 82, 28, 146, 15 }, { 234, 33, 8, 8 },
        { 253, 31, 33, 12 } },
    { "Hue", "hue", { 8, 48, 54, 8 }, { 70, 48, 8, 8 }, { 82, 45, 146, 15 }, { 234, 48, 8, 8 },
        { 253, 46, 33, 12 } },
    { "Saturation", "saturation", { 8, 65, 56, 8 }, { 70, 65, 8, 8 }, { 82, 63, 146, 15 }, { 234, 64, 8, 8 },
        { 253, 62, 33, 12 } },
    { "White Balance", "whitebalance", { 8, 81, 55, 8 }, { 70, 82, 8, 8 }, { 82, 80, 146, 15 },
        { 234, 82, 8, 8 }, { 253, 79, 33, 13 } },
    { "Gamma", "gamma", { 8, 99, 57, 8 }, { 70, 99, 8, 8 }, { 82, 97, 146, 15 }, { 234, 99, 8, 8 },
        { 253, 96, 33, 13 } },
    { "Backlight Comp.", "backlight", { 8, 115, 57, 8 }, { 70, 115, 8, 8 }, { 82, 113, 146, 15 },
        { 234, 115, 8, 8 }, { 253, 113, 33, 13 } },
    { "Gain", "gain", { 8, 133, 55, 8 }, { 70, 133, 8, 8 }, { 82, 131, 146, 15 }, { 234, 133, 8, 8 },
        { 253, 131, 33, 13 } },
    { "Color Enable", "colorenable", { 5, 225, 55, 8 }, { 67, 225, 8, 8 }, { 79, 223, 146, 15 },
        { 231, 225, 8, 8 }, { 251, 223, 33, 13 } },
    { "Sharpness", "sharpness", { 8, 153, 53, 8 }, { 70, 151, 8, 8 }, { 82, 148, 146, 15 },
        { 234, 151, 8, 8 }, { 253, 150, 33, 12 } },
    { "Exposure", "exposure", { 8, 170, 54, 8 }, { 70, 169, 8, 8 }, { 82, 167, 146, 15 }, { 234, 170, 8, 8 },
        { 253, 167, 33, 12 } },
} };
const QRect kPowerLabel = DluRect(8, 188, 60, 8);
const QRect kCheck50 = DluRect(69, 187, 32, 12);
const QRect kCheck60 = DluRect(118, 188, 32, 12);
const QRect kDefault = DluRect(73, 215, 69, 27);
const QRect kApply = DluRect(154, 215, 70, 27);
const QRect kCancel = DluRect(231, 228, 50, 14);

QRect Dlu(const QRect& r)
{
    return DluRect(r.x(), r.y(), r.width(), r.height());
}

// A rectangle of the given height centred on another's vertical centre.
QRect CentredOn(const QRect& r, int width, int height)
{
    return QRect(r.left(), r.center().y() - height / 2 + 1, width, height);
}

} // namespace

CDlgVideoSetting::CDlgVideoSetting(SettingsDialogHost& host, QWidget* parent)
    : CMyDialog(parent)
    , host_(host)
    , powerLabel_(new CFontStatic(QStringLiteral("Power line hz"), this))
    , check50_(new CAdvCheckBox(QStringLiteral("50Hz"), this))
    , check60_(new CAdvCheckBox(QStringLiteral("60Hz"), this))
    , default_(new CGdipButton("button", "Default", this))
    , apply_(new CGdipButton("button", "Apply", this))
    , cancel_(new CGdipButton("button", "Cancel", this))
{
    SetTitle(QStringLiteral("Video Quality Setting"));
    SetColours(skin::kText, skin::kFrame, skin::kBackground);
    // The labels are drawn larger than the template's font: the column of icons,
    // sliders and Auto buttons moves right as far as the widest label needs.
    const QFontMetrics labelFont(skin::SkinFont("Arial", 15));
    int widest = 0;
    for (int row = 0; row < kRows; ++row)
        if (row != VideoSettingModel::kColorEnableRow)
            widest = std::max(
                widest, labelFont.horizontalAdvance(QString::fromLatin1(kRowLayout[size_t(row)].text)));
    const QRect firstLabel = Dlu(kRowLayout[0].label);
    shift_ = std::max(0, widest + 6 - (Dlu(kRowLayout[0].low).left() - firstLabel.left()));
    SetClientSize(kClient + QSize(shift_, 0));
    for (int row = 0; row < kRows; ++row)
        BuildRow(row);

    powerLabel_->SetFont("Arial", 15, skin::kText, CFontStatic::Left);
    powerLabel_->SetBackground(skin::kBackground);
    powerLabel_->setGeometry(
        ToDialog(CentredOn(kPowerLabel, kCheck50.left() - kPowerLabel.left(), kLabelHeight)));
    for (CAdvCheckBox* box : { check50_, check60_ })
        box->SetImageList("checkbox_strip");
    // Each box as wide as its text needs (the template's width cuts "50Hz" off).
    for (auto [box, place] : { std::pair { check50_, kCheck50 }, std::pair { check60_, kCheck60 } })
        box->setGeometry(ToDialog(
            QRect(place.topLeft(), QSize(std::max(place.width(), box->sizeHint().width()), place.height()))));
    connect(check50_, &QAbstractButton::clicked, this, [this] { OnPowerLineClicked(true); });
    connect(check60_, &QAbstractButton::clicked, this, [this] { OnPowerLineClicked(false); });

    PlaceButton(default_, ToDialog(kDefault.translated(shift_ / 2, 0)));
    PlaceButton(apply_, ToDialog(kApply.translated(shift_ / 2, 0)));
    PlaceButton(cancel_, ToDialog(kCancel.translated(shift_, 0)));
    apply_->setDefault(true);
    cancel_->hide(); // Escape and the close button cancel
    connect(default_, &QPushButton::clicked, this, &CDlgVideoSetting::OnDefault);
    connect(apply_, &QPushButton::clicked, this, &CDlgVideoSetting::OnApply);
    connect(cancel_, &QPushButton::clicked, this, &CDlgVideoSetting::reject);

    model_.Open(host_.cameraControls(), host_.settings());
    UpdateAutoStates();
    ShowValues();
    ShowPowerLine();
}

void CDlgVideoSetting::BuildRow(int row)
{
    const RowLayout& layout = kRowLayout[size_t(row)];
    RowWidgets& w = rows_[size_t(row)];
    w.label = new CFontStatic(QString::fromLatin1(layout.text), this);
    w.label->SetFont("Arial", 15, skin::kText, CFontStatic::Left);
    w.label->SetBackground(skin::kBackground);
    const QRect label = Dlu(layout.label);
    const QRect low = Dlu(layout.low).translated(shift_, 0);
    w.label->setGeometry(ToDialog(CentredOn(label, low.left() - label.left() - 2, kLabelHeight)));

    w.lowIcon = new CPictureCtrl(this);
    w.lowIcon->LoadFromResource(QStringLiteral("image_%1_low").arg(QLatin1String(layout.icon)));
    w.lowIcon->setGeometry(ToDialog(low));
    w.highIcon = new CPictureCtrl(this);
    w.highIcon->LoadFromResource(QStringLiteral("image_%1_high").arg(QLatin1String(layout.icon)));
    w.highIcon->setGeometry(ToDialog(Dlu(layout.high).translated(shift_, 0)));

    w.slider = new CMySliderControl(Qt::Horizontal, this);
    w.slider->SetChannelBitmap("slider_channel");
    w.slider->SetThumbBitmaps("slider_thumb", "slider_thumb_disabled");
    w.slider->setTickPosition(QSlider::NoTicks);
    w.slider->setTickInterval(1);
    w.slider->setGeometry(ToDialog(Dlu(layout.slider).translated(shift_, 0)));
    connect(w.slider, &QAbstractSlider::valueChanged, this,
        [this, row](int value) { model_.MoveSlider(row, value, host_.cameraControls()); });

    w.autoButton = new CGdipButton("auto_button", "Auto", this);
    w.autoButton->LoadAltImage("auto_button_lit");
    w.autoButton->SetToggleMode(true);
    PlaceButton(w.autoButton, ToDialog(Dlu(layout.autoButton).translated(shift_, 0)));
    connect(w.autoButton, &QPushButton::clicked, this, [this, row] {
        model_.ToggleAuto(row, host_.cameraControls());
        UpdateAutoStates();
    });

    if (row == VideoSettingModel::kColorEnableRow)
        for (QWidget* part : { static_cast<QWidget*>(w.label), static_cast<QWidget*>(w.lowIcon),
                 static_cast<QWidget*>(w.slider), static_cast<QWidget*>(w.highIcon),
                 static_cast<QWidget*>(w.autoButton) })
            part->hide();
}

void CDlgVideoSetting::UpdateAutoStates()
{
    for (int row = 0; row < kRows; ++row) {
        const bool automatic = model_.IsAutomatic(row);
        rows_[size_t(row)].autoButton->SetToggled(automatic);
        rows_[size_t(row)].slider->setEnabled(!automatic);
    }
    update();
}

void CDlgVideoSetting::ShowValues()
{
    for (int row = 0; row < kRows; ++row) {
        CMySliderControl* slider = rows_[size_t(row)].slider;
        const QSignalBlocker quiet(slider);
        slider->setRange(model_.Row(row).minimum, model_.Row(row).maximum);
        slider->setValue(model_.Row(row).value);
    }
}

void CDlgVideoSetting::ShowPowerLine()
{
    const int32_t hz = model_.PowerLineValue();
    const bool known = hz == kPowerLine50Hz || hz == kPowerLine60Hz;
    check50_->SetChecked(hz == kPowerLine50Hz);
    check60_->SetChecked(hz == kPowerLine60Hz);
    check50_->setEnabled(known);
    check60_->setEnabled(known);
}

void CDlgVideoSetting::OnPowerLineClicked(bool fiftyClicked)
{
    // The click has toggled the box already; the two boxes always disagree.
    CAdvCheckBox* clicked = fiftyClicked ? check50_ : check60_;
    CAdvCheckBox* other = fiftyClicked ? check60_ : check50_;
    const bool nowChecked = clicked->isChecked();
    const bool fifty = fiftyClicked == nowChecked;
    host_.cameraControls().SetPowerLineFrequency(fifty ? kPowerLine50Hz : kPowerLine60Hz);
    other->SetChecked(!nowChecked);
}

void CDlgVideoSetting::OnDefault()
{
    model_.Default(host_.cameraControls());
    UpdateAutoStates();
    ShowValues();
}

void CDlgVideoSetting::OnApply()
{
    model_.Accept(host_.settings());
    accept();
}

void CDlgVideoSetting::reject()
{
    model_.Cancel(host_.cameraControls());
    UpdateAutoStates();
    ShowValues();
    CMyDialog::reject();
}

void CDlgVideoSetting::showEvent(QShowEvent* event)
{
    CMyDialog::showEvent(event);
    if (!parentWidget())
        CentreOnScreen();
    ClipDialogFrame(this);
    apply_->setFocus();
}

} // namespace kestovar
