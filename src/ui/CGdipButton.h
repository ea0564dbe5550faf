#pragma once
// A push button drawn from skin images. Its faces (standard, pressed one pixel
// down and right, hover brightened, dimmed, and an alternate set for a toggled
// state) are rendered once from the images and then only copied, so hovering and
// pressing cost nothing. A caption and a small icon may be drawn over the image.
//
// Every left-button release inside the button flips its toggled state before
// clicked() is emitted, so a clicked() handler that sets the state has the last
// word. In toggle mode the toggled state selects the alternate image.

#include "ui/CGdiPlusBitmapResource.h"
#include "ui/GdipButtonFace.h"

#include <QImage>
#include <QPushButton>

#include <array>

namespace kestovar {

class CGdipButton : public QPushButton {
    Q_OBJECT
public:
    explicit CGdipButton(QWidget* parent = nullptr);
    CGdipButton(const QString& stdRole, const QString& caption, QWidget* parent = nullptr);

    // Images by skin role; each returns false when the image is missing. Loading the
    // standard image also gives the button the image's size.
    bool LoadStdImage(const QString& role);
    bool LoadAltImage(const QString& role);
    bool LoadIconImage(const QString& role);

    void SetCaption(const QString& caption);
    QString Caption() const { return text(); }
    void SetToggleMode(bool on);
    bool ToggleMode() const { return toggleMode_; }
    void SetToggled(bool on);
    bool IsToggled() const { return toggled_; }
    // The dim look: dimmed image and grey caption. Being disabled alone does not dim:
    // an owner that wants the disabled look asks for it (the control panel does).
    void SetDisabledLook(bool on);
    bool DisabledLook() const { return disabledLook_; }
    void SetToolTipText(const QString& text);
    void SetCustomCursor(const QCursor& cursor);

    bool HasAlternate() const { return alt_.IsLoaded(); }
    bool IsHover() const { return hover_; }
    // The face the button shows now, and the pixels of any face (for checks).
    GdipFace CurrentFace() const;
    QImage FaceImage(GdipFace face);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Invalidate();
    void PrepareFaces();

    CGdiPlusBitmapResource std_;
    CGdiPlusBitmapResource alt_;
    CGdiPlusBitmapResource icon_;
    bool toggleMode_ = false;
    bool toggled_ = false;
    bool disabledLook_ = false;
    bool hover_ = false;
    bool keyboardFocus_ = false;
    bool prepared_ = false;
    qreal preparedRatio_ = 0;
    QSize preparedSize_;
    std::array<QImage, 7> faces_;
};

} // namespace kestovar
