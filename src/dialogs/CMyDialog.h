#pragma once
// The skinned dialog frame shared by the station's settings and message dialogs:
// a caption strip in the frame colour with the title, a 19x19 close button that
// lights up under the pointer, thin borders in the frame colour, and a client
// area in the background colour. The caption moves the window. The close button
// and Escape end the dialog through its Cancel path (reject).
//
// Subclasses place their controls in client coordinates (ClientOrigin() is the
// client area's top-left corner in the dialog) and size the dialog with
// SetClientSize().

#include <QDialog>

namespace kestovar {

class CMyDialog : public QDialog {
    Q_OBJECT
public:
    explicit CMyDialog(QWidget* parent = nullptr);

    void SetTitle(const QString& title);
    QString Title() const { return title_; }
    void SetColours(QRgb text, QRgb frame, QRgb background);
    QRgb TextColour() const { return textColour_; }
    QRgb FrameColour() const { return frameColour_; }
    QRgb BackgroundColour() const { return backgroundColour_; }

    void SetClientSize(QSize client);
    QPoint ClientOrigin() const;
    // A rectangle given in client coordinates, in the dialog's coordinates.
    QRect ToDialog(const QRect& client) const { return client.translated(ClientOrigin()); }
    bool IsCloseHover() const { return closeHover_; }
    // Centres the dialog on the screen it is on (or the primary screen).
    void CentreOnScreen();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void SetCloseHover(bool on);

    QRgb textColour_;
    QRgb frameColour_;
    QRgb backgroundColour_;
    QString title_ = QStringLiteral("Kestovar");
    bool closeHover_ = false;
    bool closePressed_ = false;
    bool moving_ = false;
    QPoint moveGrab_;
};

// Cuts 2 pixels off every edge of the window: only (2, 2) to (w - 2, h - 2)
// remains visible. The cut follows later size changes.
void ClipDialogFrame(QWidget* dialog);

} // namespace kestovar
