#include "ui/CBitListBox.h"

#include "ui/CBitComboBox.h"
#include "ui/SkinPalette.h"

#include <QEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace kestovar {

namespace {

class BitListDelegate : public QStyledItemDelegate {
public:
    explicit BitListDelegate(CBitListBox* list)
        : QStyledItemDelegate(list)
        , list_(list)
    {
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool current = option.state & (QStyle::State_Selected | QStyle::State_MouseOver);
        // The item under the pointer is lifted a shade so the operator sees which
        // entry a click picks.
        p->fillRect(option.rect, skin::Colour(current ? skin::kBackground : skin::kComboList));
        const int offset = option.rect.left() + list_->LeftEdgeWidth() + 5;
        CBitComboBox::SetItemTextOffset(offset - option.rect.left());
        p->setFont(option.font);
        p->setPen(skin::Colour(current ? list_->FocusedTextColour() : list_->UnfocusedTextColour()));
        p->drawText(option.rect.adjusted(offset - option.rect.left(), 0, 0, 0),
            Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, index.data(Qt::DisplayRole).toString());
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.setHeight(std::max(s.height(), 21));
        return s;
    }

private:
    CBitListBox* list_;
};

} // namespace

CBitListBox::CBitListBox(QWidget* parent)
    : QListView(parent)
{
    setItemDelegate(new BitListDelegate(this));
    setFrameShape(QFrame::NoFrame);
    setViewportMargins(kFrame, kFrame, kFrame, kFrame);
    setMouseTracking(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, skin::Colour(skin::kComboList));
    pal.setColor(QPalette::Window, skin::Colour(skin::kComboList));
    setPalette(pal);
    setAutoFillBackground(true);
}

void CBitListBox::SetFramePieces(
    const QString& left, const QString& right, const QString& top, const QString& bottom)
{
    pieces_[0].Load(left);
    pieces_[1].Load(right);
    pieces_[2].Load(top);
    pieces_[3].Load(bottom);
    update();
}

void CBitListBox::SetTextColours(QRgb focused, QRgb unfocused)
{
    focusedText_ = focused;
    unfocusedText_ = unfocused;
    viewport()->update();
}

bool CBitListBox::event(QEvent* event)
{
    if (event->type() != QEvent::Paint)
        return QListView::event(event);
    // The list's own area outside the viewport: the four frame pieces.
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, skin::Colour(skin::kComboList));
    const QRectF areas[4] = {
        QRectF(0, 0, kFrame, r.height()),
        QRectF(r.width() - kFrame, 0, kFrame, r.height()),
        QRectF(0, 0, r.width(), kFrame),
        QRectF(0, r.height() - kFrame, r.width(), kFrame),
    };
    for (int i = 0; i < 4; ++i) {
        if (pieces_[i].IsLoaded())
            pieces_[i].Draw(p, areas[i]);
    }
    return true;
}

} // namespace kestovar
