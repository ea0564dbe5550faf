#pragma once
// A frame that wraps a list or tree view and covers its scroll bars with skinned
// CSkinScrollBar bars. The view moves into the frame (the frame takes its place,
// geometry and layout slot); its own scroll bars stay switched off but keep
// their ranges, which the skin bars show. A skin bar is shown while the view
// would show that scroll bar, and enabled only while there is something to
// scroll (maximum at least the page).

#include "ui/SkinScrollGeometry.h"

#include <QAbstractScrollArea>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class QScrollBar;

namespace kestovar {

class CSkinScrollBar;

class CSkinScrollWnd : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSyncMs = 500;

    explicit CSkinScrollWnd(QWidget* parent = nullptr);
    ~CSkinScrollWnd() override;

    // Wraps view with the skin's scroll grid; false when already attached or the
    // skin image is missing (the view is then left as it was).
    bool Attach(QAbstractScrollArea* view, const QString& gridRole);
    // Gives the view back to its former parent and place.
    void Detach();

    QAbstractScrollArea* View() const { return view_; }
    CSkinScrollBar* VerticalBar() const { return vbar_; }
    CSkinScrollBar* HorizontalBar() const { return hbar_; }

    // A Qt scroll bar's state in the skin bar's terms (maximum = Qt maximum + page - 1).
    static ScrollInfo InfoFrom(const QScrollBar* bar);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Sync();
    void Relayout();
    void Forward(Qt::Orientation orientation, int code, int position);
    bool Wants(Qt::Orientation orientation) const;

    QWidget* limit_;
    CSkinScrollBar* vbar_;
    CSkinScrollBar* hbar_;
    QPointer<QAbstractScrollArea> view_;
    QPointer<QWidget> oldParent_;
    QRect oldGeometry_;
    Qt::ScrollBarPolicy oldVPolicy_ = Qt::ScrollBarAsNeeded;
    Qt::ScrollBarPolicy oldHPolicy_ = Qt::ScrollBarAsNeeded;
    bool forwarding_ = false;
    QTimer sync_;
};

} // namespace kestovar
