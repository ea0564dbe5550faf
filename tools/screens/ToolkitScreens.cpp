// Screens of the skin toolkit: images, buttons, labels, sliders, menus, scroll bars.
#include "ScreenRegistry.h"

#include "ui/CAdvCheckBox.h"
#include "ui/CBitComboBox.h"
#include "ui/CBitSlider.h"
#include "ui/CBitmapSlider.h"
#include "ui/CColorStatic.h"
#include "ui/CFontStatic.h"
#include "ui/CFontStatic2.h"
#include "ui/CGdiPlusBitmapResource.h"
#include "ui/CGdipButton.h"
#include "ui/CMenuBarXP.h"
#include "ui/CMenuXP.h"
#include "ui/CMySliderControl.h"
#include "ui/CMySliderControl2.h"
#include "ui/CMySliderControl4.h"
#include "ui/CPictureCtrl.h"
#include "ui/CScrollWnd.h"
#include "ui/CSkinScrollBar.h"
#include "ui/CSkinScrollWnd.h"
#include "ui/SkinPalette.h"

#include <QApplication>
#include <QHeaderView>
#include <QListWidget>
#include <QPainter>
#include <QScrollBar>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace kestovar;
using namespace kestovar::screens;

namespace {

// Every skin image at its own size (large ones scaled to fit), with its role.
class ImageSheet : public QWidget {
public:
    ImageSheet()
    {
        roles_ = SkinImageRoles();
        const int rows = (int(roles_.size()) + kColumns - 1) / kColumns;
        setFixedSize(kColumns * kCell.width() + 20, rows * kCell.height() + 20);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), skin::Colour(skin::kBackground));
        p.setFont(skin::SkinFont("Arial", 13));
        for (int i = 0; i < roles_.size(); ++i) {
            const QRect cell(10 + (i % kColumns) * kCell.width(), 10 + (i / kColumns) * kCell.height(),
                kCell.width(), kCell.height());
            CGdiPlusBitmapResource image;
            image.Load(roles_[i]);
            QSizeF s = image.Size();
            const QSizeF room(cell.width() - 16, cell.height() - 30);
            if (s.width() > room.width() || s.height() > room.height())
                s.scale(room, Qt::KeepAspectRatio);
            QRectF target(QPointF(0, 0), s);
            target.moveCenter(QPointF(cell.center().x(), cell.top() + 8 + room.height() / 2));
            image.Draw(p, target);
            p.setPen(QColor(0xb8, 0xb8, 0xb8));
            p.drawText(cell.adjusted(2, 0, -2, -4), Qt::AlignHCenter | Qt::AlignBottom, roles_[i]);
        }
    }

private:
    static constexpr int kColumns = 8;
    static constexpr QSize kCell { 170, 110 };
    QStringList roles_;
};

CGdipButton* Button(const QString& std, const QString& caption = {}, const QString& alt = {})
{
    auto* b = new CGdipButton(std, caption);
    if (!alt.isEmpty())
        b->LoadAltImage(alt);
    return b;
}

QWidget* MakeButtons()
{
    auto* s = new Sheet("CGdipButton faces", 5);
    s->Add("standard", Button("button", "Ok"));
    Hover(s->Add("hover (x1.05 + 0.05)", Button("button", "Ok")));
    s->Add("pressed (1,1)", Button("button", "Ok"))->setDown(true);
    auto* dim = s->Add("dim look", Button("button", "Apply"));
    dim->SetDisabledLook(true);
    s->Add("disabled", Button("button", "Default"))->setEnabled(false);
    auto* autoOff = s->Add("Auto, toggle off", Button("auto_button", "Auto", "auto_button_lit"));
    autoOff->SetToggleMode(true);
    auto* autoOn = s->Add("Auto, toggled", Button("auto_button", "Auto", "auto_button_lit"));
    autoOn->SetToggleMode(true);
    autoOn->SetToggled(true);
    auto* autoPressed = s->Add("toggled, pressed", Button("auto_button", "Auto", "auto_button_lit"));
    autoPressed->SetToggleMode(true);
    autoPressed->SetToggled(true);
    autoPressed->setDown(true);
    auto* iconButton = s->Add("with icon", Button("slider_backdrop", "Create"));
    iconButton->LoadIconImage("size_grip");
    s->Add("with icon, dim", Button("slider_backdrop", "Create"))->SetDisabledLook(true);
    s->NewRow();
    s->Add("Resolution", Button("panel_resolution", "Resolution", "panel_resolution_open"));
    auto* rotation = s->Add("Rotation, open", Button("panel_rotation", "Rotation", "panel_rotation_open"));
    rotation->SetToggleMode(true);
    rotation->SetToggled(true);
    s->Add("Live", Button("panel_live", "Live", "panel_live_on"));
    auto* liveOn = s->Add("Live, lit", Button("panel_live", "Live", "panel_live_on"));
    liveOn->SetToggleMode(true);
    liveOn->SetToggled(true);
    s->Add("SnapShot", Button("panel_snapshot"));
    s->Add("Record", Button("panel_record", {}, "panel_record_on"));
    auto* recording = s->Add("Record, recording", Button("panel_record", {}, "panel_record_on"));
    recording->SetToggleMode(true);
    recording->SetToggled(true);
    auto* speaker = s->Add("Speaker", Button("speaker", {}, "speaker_muted"));
    speaker->SetToggleMode(true);
    auto* muted = s->Add("Speaker, muted", Button("speaker", {}, "speaker_muted"));
    muted->SetToggleMode(true);
    muted->SetToggled(true);
    s->Add("Speaker level 3", Button("speaker_level_3"));
    s->NewRow();
    for (const char* role : { "transport_play", "transport_pause", "transport_skip_back",
             "transport_skip_forward", "transport_enlarge" })
        s->Add(QString(role).mid(10), Button(role))->setCursor(Qt::PointingHandCursor);
    for (const char* role : { "caption_close", "caption_maximize", "caption_minimize", "caption_fullscreen" })
        s->Add(role, Button(role));
    Hover(s->Add("caption_close, hover", Button("caption_close")));
    return s;
}

QWidget* MakeLabelsAndBoxes()
{
    auto* s = new Sheet("Labels, check boxes, combo box, pictures", 4);
    auto* left = s->Add("CFontStatic, left", new CFontStatic("Brightness"));
    left->SetFont("Arial", 15, skin::kText, CFontStatic::Left);
    left->SetBackground(skin::kBackground);
    left->resize(160, 20);
    auto* centre = s->Add("CFontStatic, bold centred", new CFontStatic("Power line hz"));
    centre->SetFont("Arial", 15, skin::kText, CFontStatic::Bold | CFontStatic::Centre);
    centre->SetBackground(skin::kFrame);
    centre->resize(160, 20);
    auto* wrap = s->Add(
        "CFontStatic, word wrap", new CFontStatic("Insufficient disk space (5% of disk space remaining)"));
    wrap->SetFont("Arial", 15, skin::kText, CFontStatic::Left);
    wrap->SetBackground(skin::kBackground);
    wrap->resize(200, 40);
    auto* storage = s->Add("CFontStatic, right", new CFontStatic("80%"));
    storage->SetFont("Arial", 15, skin::kGreyedText, CFontStatic::Right);
    storage->SetBackground(skin::kBackground);
    storage->resize(60, 20);
    s->NewRow();

    auto check = [&](const QString& caption, const QString& text, bool checked, bool enabled, bool hover,
                     bool leftText = false) {
        auto* box = s->Add(caption, new CAdvCheckBox(text));
        box->SetImageList("checkbox_strip");
        box->SetChecked(checked);
        box->setEnabled(enabled);
        box->SetLeftText(leftText);
        box->resize(120, 20);
        if (hover)
            Hover(box);
        return box;
    };
    check("CAdvCheckBox", "50Hz", false, true, false);
    check("checked", "60Hz", true, true, false);
    check("hovered", "50Hz", false, true, true);
    check("checked, hovered", "60Hz", true, true, true);
    check("disabled", "50Hz", false, false, false);
    check("disabled, checked", "60Hz", true, false, false);
    check("left text", "Auto", true, true, false, true);
    auto* plain = s->Add("no image list", new CAdvCheckBox("Plain"));
    plain->SetChecked(true);
    plain->resize(120, 20);
    s->NewRow();

    auto* combo = s->Add("CBitComboBox", new CBitComboBox);
    combo->SetBitmaps("combo_left", "combo_button", "combo_middle", "combo_list_left", "combo_list_right",
        "combo_list_top", "combo_list_bottom");
    combo->SetColours(skin::kComboFace, skin::kText, skin::kComboFace, skin::kText);
    combo->addItems({ "Highest(r=0.14)", "High(r=0.11)", "Normal(r=0.085)" });
    combo->resize(180, 21);
    auto* time = s->Add("CColorStatic", new CColorStatic("00:12:47"));
    time->SetBackgroundColour(0x000000);
    time->SetTextColour(skin::kText);
    time->resize(70, 20);
    auto* pic = s->Add("CPictureCtrl (stretched)", new CPictureCtrl);
    pic->LoadFromResource("panel_centre");
    pic->resize(175, 75);

    auto* popup = new QWidget;
    popup->resize(140, 100);
    auto* back = new CPictureCtrl(popup);
    back->LoadFromResource("popup_background");
    back->setGeometry(0, 0, 140, 100);
    const char* items[] = { "640x480P", "1280x720P", "1920x1080P" };
    for (int i = 0; i < 3; ++i) {
        auto* item = new CFontStatic2(items[i], popup);
        item->SetFont("Arial", 15, skin::kPopupItemText);
        item->SetColours(skin::kFrame, skin::kBackground);
        item->setGeometry(6, 8 + i * 28, 128, 24);
        if (i == 0)
            item->setEnabled(false);
        if (i == 2)
            item->SetSelected(true);
        if (i == 1)
            Hover(item);
    }
    s->Add("CFontStatic2 pop-up: grey, hover, selected", popup);
    return s;
}

QWidget* MakeComboOpen()
{
    auto* s = new Sheet("CBitComboBox, open", 1);
    auto* combo = s->Add("bit rate", new CBitComboBox);
    combo->SetBitmaps("combo_left", "combo_button", "combo_middle", "combo_list_left", "combo_list_right",
        "combo_list_top", "combo_list_bottom");
    combo->SetColours(skin::kComboFace, skin::kText, skin::kComboFace, skin::kText);
    combo->addItems({ "Highest(r=0.14)", "High(r=0.11)", "Normal(r=0.085)" });
    combo->resize(200, 21);
    s->setFixedSize(320, 200);
    return s;
}

QWidget* MakeSliders()
{
    auto* s = new Sheet("Sliders", 3);
    auto setup = [](CMySliderControl* sl, int value) {
        sl->SetChannelBitmap("slider_channel");
        sl->SetThumbBitmaps("slider_thumb", "slider_thumb_disabled");
        sl->setRange(0, 100);
        sl->setValue(value);
        sl->resize(222, 26);
        return sl;
    };
    s->Add("CMySliderControl", setup(new CMySliderControl, 35));
    s->Add("CMySliderControl, disabled", setup(new CMySliderControl, 70))->setEnabled(false);
    s->Add("CMySliderControl4", setup(new CMySliderControl4, 0));
    auto* seek = s->Add("CMySliderControl2 (seek bar, 40%)", new CMySliderControl2);
    seek->SetChannelBitmap("seek_channel");
    seek->SetThumbBitmaps("slider_thumb", "slider_thumb_disabled");
    seek->setRange(0, 100);
    seek->setValue(40);
    seek->resize(300, 26);

    auto volume = [](int value) {
        auto* v = new CBitmapSlider(1115);
        v->SetBitmapChannel("volume_channel", "volume_channel_active");
        v->SetBitmapThumb("volume_thumb", "volume_thumb_active");
        v->SetRange(0, 100);
        v->SetPageSize(10);
        v->SetMargin(8, 0, 8, 0);
        v->SetPos(value);
        return v;
    };
    s->Add("CBitmapSlider (volume 30)", volume(30));
    auto* dragging = s->Add("CBitmapSlider, dragging", volume(75));
    PressMouse(dragging, QPoint(dragging->ThumbCentre(), 10));
    s->NewRow();

    auto* panel = new QWidget;
    panel->resize(100, 40);
    auto* backdrop = new CPictureCtrl(panel);
    backdrop->LoadFromResource("slider_backdrop");
    backdrop->setGeometry(0, 0, 100, 40);
    auto* mic = new CBitSlider(panel);
    mic->CreateThumb("mic_thumb", 6, 6);
    mic->LoadBarImages("mic_bar_after", "mic_bar_before");
    mic->setRange(0, 100);
    mic->setValue(60);
    mic->move(24, 14);
    s->Add("CBitSlider on its backdrop (60)", panel);
    return s;
}

CMenuXP* MakeMainMenu()
{
    auto* menu = new CMenuXP;
    CMenuXP* record = menu->AppendSubMenu("Record");
    record->AppendItem(32771, "Record Start\tF5");
    record->AppendItem(32772, "Record Stop\tF4");
    record->AppendItem(32814, "Record Pause\tF3");
    record->AppendItem(32810, "Live\tF1");
    record->EnableCommand(32772, false);
    record->EnableCommand(32814, false);
    CMenuXP* size = menu->AppendSubMenu("RecordSize");
    size->AppendItem(1, "Unlimited");
    size->AppendItem(2, "1 GB");
    size->AppendItem(3, "2 GB");
    size->CheckCommand(1, true);
    CMenuXP* snap = menu->AppendSubMenu("SnapShot");
    snap->AppendItem(32779, "SnapShot\tF7");
    CMenuXP* screen = menu->AppendSubMenu("Screen");
    screen->AppendItem(32780, "Full Screen\tF9");
    CMenuXP* config = menu->AppendSubMenu("Config");
    config->AppendItem(32781, "Devices");
    config->AppendItem(32782, "Video Quality Settings");
    config->AppendItem(32783, "Record Storage Path");
    CMenuXP* help = menu->AppendSubMenu("Help");
    help->AppendItem(1, "Help");
    help->AppendItem(2, "About Kestovar");
    return menu;
}

QWidget* MakeMenuBar()
{
    auto* w = new QWidget;
    w->setAutoFillBackground(true);
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, skin::Colour(skin::kFrame));
    w->setPalette(pal);
    w->setFixedSize(560, 250);
    auto* bar = new CMenuBarXP(w);
    bar->setObjectName("bar");
    bar->LoadMenu(MakeMainMenu());
    bar->move(5, 26);
    bar->resize(bar->sizeHint());
    return w;
}

void OpenRecordMenu(QWidget* w)
{
    auto* bar = w->findChild<CMenuBarXP*>("bar");
    bar->OpenTitle(0);
    QApplication::processEvents();
    CMenuXP* menu = bar->OpenMenu();
    // The pointer rests on "Record Stop" (greyed) to show the selected greyed look.
    menu->setActiveAction(menu->actions().at(1));
}

void OpenSizeMenu(QWidget* w)
{
    auto* bar = w->findChild<CMenuBarXP*>("bar");
    bar->OpenTitle(1);
    QApplication::processEvents();
    CMenuXP* menu = bar->OpenMenu();
    menu->setActiveAction(menu->actions().at(2));
}

QWidget* MakeContextHost()
{
    auto* w = new QWidget;
    w->setAutoFillBackground(true);
    w->setFixedSize(320, 200);
    return w;
}

void OpenContextMenu(QWidget* w)
{
    auto* menu = new CMenuXP(w);
    menu->AppendItem(1, "Open");
    menu->AppendItem(2, "Rename");
    menu->AppendItem(3, "Delete");
    menu->addSeparator();
    menu->AppendItem(4, "Refresh");
    menu->SetDefaultCommand(1);
    menu->popup(w->mapToGlobal(QPoint(40, 30)));
    QApplication::processEvents();
    menu->setActiveAction(menu->actions().at(2));
}

QWidget* MakeScrollBars()
{
    auto* s = new Sheet("Skin scroll bars", 3);
    auto* listHost = new QWidget;
    listHost->resize(220, 180);
    auto* list = new QListWidget(listHost);
    for (int i = 1; i <= 100; ++i)
        list->addItem(QString("knee_1702%1_1405%2.avi")
                          .arg(i % 28 + 1, 2, 10, QChar('0'))
                          .arg(i % 60, 2, 10, QChar('0')));
    list->setGeometry(0, 0, 220, 180);
    auto* frame = new CSkinScrollWnd;
    frame->Attach(list, "scrollbar_grid");
    QTimer::singleShot(0, list, [list] { list->verticalScrollBar()->setValue(30); });
    s->Add("CSkinScrollWnd around a list", listHost);

    auto* treeHost = new QWidget;
    treeHost->resize(220, 180);
    auto* tree = new QTreeWidget(treeHost);
    tree->setHeaderHidden(true);
    tree->setColumnWidth(0, 400);
    tree->header()->setStretchLastSection(false);
    auto* root = new QTreeWidgetItem(tree, { "/home/operator/Kestovar" });
    for (const char* name : { "movie", "image", "archive 2016", "archive 2017",
             "knee arthroscopy cases long name", "shoulder", "spine", "training" })
        new QTreeWidgetItem(root, { name });
    root->setExpanded(true);
    tree->setGeometry(0, 0, 220, 180);
    auto* treeFrame = new CSkinScrollWnd;
    treeFrame->Attach(tree, "scrollbar_grid");
    s->Add("CSkinScrollWnd around a tree (both bars)", treeHost);

    auto* bars = new QWidget;
    bars->resize(200, 180);
    auto* normal = new CSkinScrollBar(Qt::Vertical, bars);
    normal->SetSkin("scrollbar_grid");
    normal->SetScrollInfo({ 0, 99, 10, 20 });
    normal->setGeometry(0, 0, normal->Thickness(), 180);
    auto* hovered = new CSkinScrollBar(Qt::Vertical, bars);
    hovered->SetSkin("scrollbar_grid");
    hovered->SetScrollInfo({ 0, 99, 10, 60 });
    hovered->setGeometry(30, 0, hovered->Thickness(), 180);
    MoveMouse(hovered, QPoint(6, hovered->Layout().thumbStart + 5));
    auto* pressed = new CSkinScrollBar(Qt::Vertical, bars);
    pressed->SetSkin("scrollbar_grid");
    pressed->SetScrollInfo({ 0, 99, 10, 45 });
    pressed->setGeometry(60, 0, pressed->Thickness(), 180);
    PressMouse(pressed, QPoint(6, pressed->Layout().thumbStart + 5));
    auto* disabled = new CSkinScrollBar(Qt::Vertical, bars);
    disabled->SetSkin("scrollbar_grid");
    disabled->SetScrollInfo({ 0, 5, 10, 0 });
    disabled->setEnabled(false);
    disabled->setGeometry(90, 0, disabled->Thickness(), 180);
    auto* horizontal = new CSkinScrollBar(Qt::Horizontal, bars);
    horizontal->SetSkin("scrollbar_grid");
    horizontal->SetScrollInfo({ 0, 49, 20, 10 });
    horizontal->setGeometry(0 + 120, 80, 80, horizontal->Thickness());
    s->Add("bars: normal, hovered, dragged, disabled; horizontal", bars);

    auto* textHost = new QWidget;
    textHost->resize(220, 120);
    auto* text = new QTextEdit(textHost);
    text->setPlainText(QString("Comment line of a case.\n").repeated(20));
    text->setGeometry(0, 0, 220, 120);
    auto* free = new CScrollWnd(textHost);
    free->SetBitmaps("scroll_up", "scroll_down", "scroll_channel", "scroll_thumb");
    free->Bind(text);
    s->Add("CScrollWnd beside a text field", textHost);
    return s;
}

} // namespace

KESTOVAR_SCREEN(skin_images, [] { return new ImageSheet; });
KESTOVAR_SCREEN(buttons, MakeButtons);
KESTOVAR_SCREEN(labels_boxes, MakeLabelsAndBoxes);
KESTOVAR_SCREEN_STAGED(
    combo_open, MakeComboOpen, [](QWidget* w) { w->findChild<CBitComboBox*>()->showPopup(); });
KESTOVAR_SCREEN(sliders, MakeSliders);
KESTOVAR_SCREEN_STAGED(menu_record_open, MakeMenuBar, OpenRecordMenu);
KESTOVAR_SCREEN_STAGED(menu_size_open, MakeMenuBar, OpenSizeMenu);
KESTOVAR_SCREEN_STAGED(context_menu, MakeContextHost, OpenContextMenu);
KESTOVAR_SCREEN(scrollbars, MakeScrollBars);
