#include "ui/CMenuXP.h"

#include "ui/MenuAccessKey.h"
#include "ui/SkinPalette.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>

namespace kestovar {

namespace {

// Draws the items of every CMenuXP from the menu's own colours and font.
class MenuXPStyle : public QProxyStyle {
public:
    MenuXPStyle()
        : QProxyStyle(QStyleFactory::create("Fusion"))
    {
    }

    int pixelMetric(PixelMetric m, const QStyleOption* o, const QWidget* w) const override
    {
        switch (m) {
        case PM_MenuPanelWidth:
            return 1;
        case PM_MenuHMargin:
        case PM_MenuVMargin:
            return 0;
        case PM_SmallIconSize:
            return 0;
        default:
            return QProxyStyle::pixelMetric(m, o, w);
        }
    }

    int styleHint(StyleHint h, const QStyleOption* o, const QWidget* w, QStyleHintReturn* r) const override
    {
        if (h == SH_Menu_KeyboardSearch || h == SH_Menu_SpaceActivatesItem)
            return 0;
        if (h == SH_Menu_AllowActiveAndDisabled)
            return 1; // a greyed item under the pointer is highlighted like any other
        return QProxyStyle::styleHint(h, o, w, r);
    }

    QSize sizeFromContents(
        ContentsType type, const QStyleOption* o, const QSize& s, const QWidget* w) const override
    {
        const auto* menu = qobject_cast<const CMenuXP*>(w);
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(o);
        if (type != CT_MenuItem || !menu || !item)
            return QProxyStyle::sizeFromContents(type, o, s, w);
        if (item->menuItemType == QStyleOptionMenuItem::Separator)
            return QSize(s.width(), 7);
        // The menu adds the widest accelerator's width itself.
        const QString label = item->text.section('\t', 0, 0);
        return QSize(menu->MeasureItemWidth(label), CMenuXP::kItemHeight);
    }

    void drawPrimitive(
        PrimitiveElement e, const QStyleOption* o, QPainter* p, const QWidget* w) const override
    {
        const auto* menu = qobject_cast<const CMenuXP*>(w);
        if (menu && (e == PE_PanelMenu || e == PE_FrameMenu)) {
            p->fillRect(o->rect, skin::Colour(menu->Background()));
            p->setPen(skin::Colour(skin::kFrame));
            p->drawRect(o->rect.adjusted(0, 0, -1, -1));
            return;
        }
        QProxyStyle::drawPrimitive(e, o, p, w);
    }

    void drawControl(ControlElement e, const QStyleOption* o, QPainter* p, const QWidget* w) const override
    {
        const auto* menu = qobject_cast<const CMenuXP*>(w);
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(o);
        if (!menu || (e != CE_MenuItem && e != CE_MenuEmptyArea)) {
            QProxyStyle::drawControl(e, o, p, w);
            return;
        }
        if (e == CE_MenuEmptyArea || !item) {
            p->fillRect(o->rect, skin::Colour(menu->Background()));
            return;
        }
        if (item->menuItemType == QStyleOptionMenuItem::Separator) {
            p->fillRect(o->rect, skin::Colour(menu->Background()));
            p->fillRect(QRect(o->rect.left() + CMenuXP::kTextInset, o->rect.center().y(),
                            o->rect.width() - 2 * CMenuXP::kTextInset, 1),
                skin::Colour(skin::kFrame));
            return;
        }
        const bool selected = item->state & State_Selected;
        const bool enabled = item->state & State_Enabled;
        const bool checked = item->checkType != QStyleOptionMenuItem::NotCheckable && item->checked;
        p->fillRect(o->rect, skin::Colour(selected || checked ? menu->Selection() : menu->Background()));

        QFont font = menu->font();
        if (item->menuItemType == QStyleOptionMenuItem::DefaultItem)
            font.setWeight(QFont::Bold);
        p->setFont(font);
        const QRect textRect = o->rect.adjusted(CMenuXP::kTextInset, 0, -CMenuXP::kTextInset, 0);
        const QString label = item->text.section('\t', 0, 0);
        const QString accel = item->text.section('\t', 1);
        auto drawText = [&](const QRect& r, QRgb colour) {
            p->setPen(skin::Colour(colour));
            p->drawText(
                r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextHideMnemonic, label);
            if (!accel.isEmpty())
                p->drawText(r, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, accel);
        };
        if (!enabled && !selected) {
            // Embossed: a light copy one pixel down and right under the grey text.
            drawText(textRect.translated(1, 1), menu->SelectedTextColour());
            drawText(textRect, menu->DisabledTextColour());
        } else if (!enabled) {
            drawText(textRect, menu->DisabledTextColour());
        } else {
            drawText(textRect, selected ? menu->SelectedTextColour() : menu->TextColour());
        }
        if (item->menuItemType == QStyleOptionMenuItem::SubMenu) {
            const int cx = o->rect.right() - 8, cy = o->rect.center().y();
            p->setPen(Qt::NoPen);
            p->setBrush(skin::Colour(enabled ? menu->TextColour() : menu->DisabledTextColour()));
            const QPoint tri[3] = { { cx - 3, cy - 4 }, { cx + 1, cy }, { cx - 3, cy + 4 } };
            p->drawPolygon(tri, 3);
        }
    }
};

QStyle* SharedMenuStyle()
{
    static QPointer<QStyle> style;
    if (!style)
        style = new MenuXPStyle; // lives as long as the program's menus
    return style;
}

} // namespace

CMenuXP::CMenuXP(QWidget* parent)
    : QMenu(parent)
{
    Init();
}

CMenuXP::CMenuXP(const QString& title, QWidget* parent)
    : QMenu(title, parent)
{
    Init();
}

void CMenuXP::Init()
{
    background_ = skin::kBackground;
    selection_ = skin::kMenuSelection;
    text_ = skin::kText;
    selectedText_ = skin::kText;
    disabledText_ = 0x808080; // the classic grey text colour, embossed over the selected-text colour
    setStyle(SharedMenuStyle());
    setFont(skin::SkinFont("Arial", 15));
    connect(this, &QMenu::triggered, this, [this](QAction* action) {
        bool ok = false;
        const int command = action->data().toInt(&ok);
        if (ok)
            emit CommandTriggered(command);
    });
}

QAction* CMenuXP::AppendItem(int command, const QString& text)
{
    QAction* action = addAction(text);
    action->setData(command);
    return action;
}

CMenuXP* CMenuXP::AppendSubMenu(const QString& title)
{
    auto* sub = new CMenuXP(title, this);
    sub->SetColours(background_, selection_, text_, selectedText_, disabledText_);
    sub->setFont(font());
    addMenu(sub);
    return sub;
}

void CMenuXP::SetColours(QRgb background, QRgb selection, QRgb text, QRgb selectedText, QRgb disabledText)
{
    background_ = background;
    selection_ = selection;
    text_ = text;
    selectedText_ = selectedText;
    disabledText_ = disabledText;
    update();
}

void CMenuXP::SetMenuFont(const QString& face, int height)
{
    setFont(skin::SkinFont(face, height));
}

int CMenuXP::MeasureItemWidth(const QString& text) const
{
    return 2 * kIconColumn + QFontMetrics(font()).horizontalAdvance(text) + 12;
}

QAction* CMenuXP::FindCommand(int command) const
{
    for (QAction* a : actions()) {
        bool ok = false;
        if (a->data().toInt(&ok) == command && ok)
            return a;
        if (auto* sub = qobject_cast<CMenuXP*>(a->menu())) {
            if (QAction* found = sub->FindCommand(command))
                return found;
        }
    }
    return nullptr;
}

void CMenuXP::EnableCommand(int command, bool enabled)
{
    if (QAction* a = FindCommand(command))
        a->setEnabled(enabled);
}

void CMenuXP::CheckCommand(int command, bool checked)
{
    if (QAction* a = FindCommand(command)) {
        a->setCheckable(true);
        a->setChecked(checked);
    }
}

void CMenuXP::SetDefaultCommand(int command)
{
    setDefaultAction(FindCommand(command));
}

void CMenuXP::keyPressEvent(QKeyEvent* event)
{
    const QString typed = event->text();
    const bool plainChar = typed.size() == 1 && typed[0].isPrint() && !typed[0].isSpace()
        && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (!plainChar) {
        QMenu::keyPressEvent(event);
        return;
    }
    const QList<QAction*> items = actions();
    QStringList texts;
    for (QAction* a : items)
        texts << (a->isSeparator() ? QString() : a->text());
    const MenuCharResult r = MenuCharMatch(texts, typed[0], int(items.indexOf(activeAction())));
    switch (r.action) {
    case MenuCharResult::Ignore:
        break;
    case MenuCharResult::Select:
        setActiveAction(items[r.index]);
        break;
    case MenuCharResult::Execute:
        setActiveAction(items[r.index]);
        if (items[r.index]->isEnabled()) {
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QMenu::keyPressEvent(&enter);
        }
        break;
    }
    event->accept();
}

} // namespace kestovar
