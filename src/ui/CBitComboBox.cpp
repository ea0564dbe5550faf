#include "ui/CBitComboBox.h"

#include "ui/CBitListBox.h"
#include "ui/SkinPalette.h"

#include <QPainter>

namespace kestovar {

namespace {
int g_itemTextOffset = 5;
constexpr int kTextTop = 3;
constexpr int kTextBottom = 3;
} // namespace

int CBitComboBox::ItemTextOffset()
{
    return g_itemTextOffset;
}
void CBitComboBox::SetItemTextOffset(int offset)
{
    g_itemTextOffset = offset;
}

CBitComboBox::CBitComboBox(QWidget* parent)
    : QComboBox(parent)
    , list_(new CBitListBox)
{
    setEditable(false);
    setView(list_);
    setFont(skin::SkinFont("Arial", 15));
    setFocusPolicy(Qt::StrongFocus);
}

void CBitComboBox::SetBitmaps(const QString& left, const QString& button, const QString& middle,
    const QString& listLeft, const QString& listRight, const QString& listTop, const QString& listBottom)
{
    left_.Load(left);
    button_.Load(button);
    middle_.Load(middle);
    list_->SetFramePieces(listLeft, listRight, listTop, listBottom);
    list_->SetLeftEdgeWidth(left_.IsLoaded() ? left_.Size().width() : 0);
    updateGeometry();
    update();
}

void CBitComboBox::SetColours(QRgb focusBackground, QRgb focusText, QRgb background, QRgb text)
{
    focusBackground_ = focusBackground;
    focusText_ = focusText;
    background_ = background;
    text_ = text;
    list_->SetTextColours(focusText, text);
    update();
}

QSize CBitComboBox::sizeHint() const
{
    const int h = middle_.IsLoaded() ? middle_.Size().height() : 21;
    return QSize(QComboBox::sizeHint().width(), h);
}

QRect CBitComboBox::TextRect() const
{
    const int leftW = left_.IsLoaded() ? left_.Size().width() : 0;
    const int buttonW = button_.IsLoaded() ? button_.Size().width() : 0;
    return QRect(leftW, kTextTop, std::max(0, width() - leftW - buttonW),
        std::max(0, height() - kTextTop - kTextBottom));
}

void CBitComboBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int leftW = left_.IsLoaded() ? left_.Size().width() : 0;
    const int buttonW = button_.IsLoaded() ? button_.Size().width() : 0;
    const int h = height();
    if (left_.IsLoaded())
        left_.Draw(p, QRectF(0, 0, leftW, h));
    if (middle_.IsLoaded())
        middle_.Draw(p, QRectF(leftW, 0, width() - leftW - buttonW, h));
    if (button_.IsLoaded())
        button_.Draw(p, QRectF(width() - buttonW, 0, buttonW, h));

    const bool focused = hasFocus() || view()->isVisible();
    const QRect text = TextRect();
    p.fillRect(text, skin::Colour(focused ? focusBackground_ : background_));
    p.setFont(font());
    p.setPen(skin::Colour(isEnabled() ? (focused ? focusText_ : text_) : skin::kDisabledButtonText));
    p.drawText(text.adjusted(ItemTextOffset(), 0, 0, 0),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, currentText());
    if (focused && hasFocus()) {
        QColor ring = skin::Colour(skin::kAccent);
        ring.setAlpha(160);
        p.setPen(ring);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void CBitComboBox::showPopup()
{
    // The popup window around the list follows the skin too.
    QWidget* container = view()->parentWidget();
    if (container) {
        QPalette pal = container->palette();
        pal.setColor(QPalette::Window, skin::Colour(skin::kComboList));
        pal.setColor(QPalette::Base, skin::Colour(skin::kComboList));
        container->setPalette(pal);
    }
    QComboBox::showPopup();
    update();
}

} // namespace kestovar
