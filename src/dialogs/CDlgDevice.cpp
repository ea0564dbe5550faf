#include "dialogs/CDlgDevice.h"

#include "dialogs/DeviceDialogModel.h"
#include "dialogs/MessageLayout.h"
#include "dialogs/SettingsDialogHost.h"
#include "recording/CAppSettings.h"
#include "ui/CBitComboBox.h"
#include "ui/CFontStatic.h"
#include "ui/CGdipButton.h"
#include "ui/DialogUnits.h"
#include "ui/SkinPalette.h"

namespace kestovar {

namespace {

const QSize kClient = DluSize(305, 176);
constexpr int kFaceHeight = 21; // the combo box pieces' height
constexpr int kLabelHeight = 17; // a 15-pixel cell with room for descenders

struct Row {
    const char* label;
    QRect labelRect; // dialog units
    QRect listRect;
};
const std::array<Row, CDlgDevice::ListCount> kRows { {
    { "Video Devices", { 13, 10, 56, 8 }, { 96, 8, 194, 247 } },
    { "Video Compressor", { 13, 29, 73, 8 }, { 96, 27, 194, 250 } },
    { "Audio Compressor", { 13, 48, 71, 8 }, { 96, 46, 194, 236 } },
    { "Audio Format", { 13, 68, 67, 8 }, { 96, 65, 194, 201 } },
    { "Audio Device", { 13, 89, 69, 8 }, { 96, 84, 194, 197 } },
    { "Bit Rate", { 14, 107, 69, 8 }, { 96, 103, 194, 197 } },
    { "Frame Rate", { 14, 125, 69, 8 }, { 96, 122, 194, 197 } },
} };
const QRect kDefault = DluRect(76, 143, 67, 25);
const QRect kApply = DluRect(158, 143, 67, 26);
const QRect kCancel = DluRect(225, 143, 67, 25);

QRect Dlu(const QRect& r)
{
    return DluRect(r.x(), r.y(), r.width(), r.height());
}

} // namespace

CDlgDevice::CDlgDevice(SettingsDialogHost& host, QWidget* parent)
    : CMyDialog(parent)
    , host_(host)
    , default_(new CGdipButton("button", "Default", this))
    , apply_(new CGdipButton("button", "Apply", this))
    , cancel_(new CGdipButton("button", "Cancel", this))
{
    SetTitle(QStringLiteral("Devices"));
    SetColours(skin::kText, skin::kFrame, skin::kBackground);
    for (int i = 0; i < ListCount; ++i) {
        labels_[size_t(i)] = new CFontStatic(QString::fromLatin1(kRows[size_t(i)].label), this);
        labels_[size_t(i)]->SetFont("Arial", 15, skin::kText, CFontStatic::Left);
        labels_[size_t(i)]->SetBackground(skin::kBackground);
        auto* list = new CBitComboBox(this);
        list->SetBitmaps("combo_left", "combo_button", "combo_middle", "combo_list_left", "combo_list_right",
            "combo_list_top", "combo_list_bottom");
        list->SetColours(skin::kComboFace, skin::kText, skin::kComboFace, skin::kText);
        lists_[size_t(i)] = list;
    }
    apply_->setDefault(true);
    // The template's Cancel button is hidden: Escape and the close button cancel.
    cancel_->hide();
    connect(default_, &QPushButton::clicked, this, &CDlgDevice::OnDefault);
    connect(apply_, &QPushButton::clicked, this, &CDlgDevice::OnApply);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    Layout();
    Fill();
}

void CDlgDevice::Layout()
{
    SetClientSize(kClient);
    for (int i = 0; i < ListCount; ++i) {
        const QRect label = Dlu(kRows[size_t(i)].labelRect);
        const QRect list = Dlu(kRows[size_t(i)].listRect);
        // The label's text is centred on the list's face, and may use the room up to it.
        const int faceCentre = list.top() + kFaceHeight / 2;
        labels_[size_t(i)]->setGeometry(ToDialog(QRect(
            label.left(), faceCentre - kLabelHeight / 2, list.left() - label.left() - 4, kLabelHeight)));
        lists_[size_t(i)]->setGeometry(ToDialog(QRect(list.left(), list.top(), list.width(), kFaceHeight)));
    }
    PlaceButton(default_, ToDialog(kDefault));
    PlaceButton(apply_, ToDialog(kApply));
    PlaceButton(cancel_, ToDialog(kCancel));
}

void CDlgDevice::Fill()
{
    const CAppSettings& settings = host_.settings();
    const std::optional<SourceKind> kind = host_.openCameraKind();

    lists_[BitRate]->addItems(BitRateEntries());
    lists_[BitRate]->setCurrentIndex(QualityListRow(settings.bitrate));
    lists_[FrameRate]->addItems(FrameRateEntries());
    lists_[FrameRate]->setCurrentIndex(QualityListRow(settings.framerate));
    chosenBitrate_ = lists_[BitRate]->currentIndex();
    chosenFramerate_ = lists_[FrameRate]->currentIndex();
    const bool qualityEnabled = QualityListsEnabled(kind);
    lists_[BitRate]->setEnabled(qualityEnabled);
    lists_[FrameRate]->setEnabled(qualityEnabled);

    lists_[VideoCompressor]->addItem(VideoCompressorName(kind));
    lists_[AudioCompressor]->addItem(QString::fromLatin1(kAudioCompressorName));
    lists_[AudioFormat]->addItem(QString::fromLatin1(kAudioFormatName));
    for (const std::string& name : host_.videoDeviceNames())
        lists_[VideoDevices]->addItem(QString::fromStdString(name));
    for (const std::string& name : host_.audioInputNames())
        lists_[AudioDevice]->addItem(QString::fromStdString(name));
    for (int i = VideoDevices; i <= AudioDevice; ++i)
        lists_[size_t(i)]->setCurrentIndex(lists_[size_t(i)]->count() > 0 ? 0 : -1);

    for (CBitComboBox* list : lists_)
        connect(list, &QComboBox::currentIndexChanged, this, [this] { update(); });
    connect(lists_[BitRate], &QComboBox::currentIndexChanged, this,
        [this](int index) { chosenBitrate_ = index; });
    connect(lists_[FrameRate], &QComboBox::currentIndexChanged, this,
        [this](int index) { chosenFramerate_ = index; });
}

void CDlgDevice::OnDefault()
{
    lists_[BitRate]->setCurrentIndex(QualityHighest);
    lists_[FrameRate]->setCurrentIndex(Fps30);
    update();
}

void CDlgDevice::OnApply()
{
    CAppSettings& settings = host_.settings();
    settings.bitrate = QualityListRow(lists_[BitRate]->currentIndex());
    settings.framerate = QualityListRow(lists_[FrameRate]->currentIndex());
    settings.SaveSettings();
    if (host_.isLive())
        host_.rebuildPreview();
    accept();
}

void CDlgDevice::showEvent(QShowEvent* event)
{
    CMyDialog::showEvent(event);
    if (!parentWidget())
        CentreOnScreen();
    ClipDialogFrame(this);
    apply_->setFocus();
}

} // namespace kestovar
