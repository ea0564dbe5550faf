#pragma once
// A pop-up menu drawn on the skin: flat items 26 pixels high, the selection and
// checked items on the selection colour (no check glyph), greyed items embossed,
// the accelerator text right-aligned, the default item bold. Items carry their
// command number; CommandTriggered reports it for this menu and its sub-menus.

#include <QMenu>

namespace kestovar {

class CMenuXP : public QMenu {
    Q_OBJECT
public:
    static constexpr int kItemHeight = 26;
    static constexpr int kIconColumn = 29;
    static constexpr int kTextInset = 10;

    explicit CMenuXP(QWidget* parent = nullptr);
    explicit CMenuXP(const QString& title, QWidget* parent = nullptr);

    // A text item; text may hold an accelerator after a tab ("Record Start\tF5").
    QAction* AppendItem(int command, const QString& text);
    // A sub-menu item (a menu-bar title, for example); the sub-menu is owned here.
    CMenuXP* AppendSubMenu(const QString& title);

    void SetColours(QRgb background, QRgb selection, QRgb text, QRgb selectedText, QRgb disabledText);
    void SetMenuFont(const QString& face, int height);

    QAction* FindCommand(int command) const;
    void EnableCommand(int command, bool enabled);
    void CheckCommand(int command, bool checked);
    void SetDefaultCommand(int command);

    QRgb Background() const { return background_; }
    QRgb Selection() const { return selection_; }
    QRgb TextColour() const { return text_; }
    QRgb SelectedTextColour() const { return selectedText_; }
    QRgb DisabledTextColour() const { return disabledText_; }

    // Item width for a text (accelerator included), as the menu measures it.
    int MeasureItemWidth(const QString& text) const;

signals:
    void CommandTriggered(int command);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Init();

    QRgb background_, selection_, text_, selectedText_, disabledText_;
};

} // namespace kestovar
