#pragma once
// A free-standing skinned vertical scroll bar bound to a scrollable view: it
// stands at the view's right edge, shows the view's vertical scroll state, and
// scrolls it. Shown only while the view has more than a page to show.

#include "ui/CGdiPlusBitmapResource.h"
#include "ui/SkinScrollGeometry.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

class QAbstractScrollArea;

namespace kestovar {

class CScrollWnd : public QWidget {
    Q_OBJECT
public:
    enum Part { None = -1, UpArrow = 100, DownArrow = 101, ThumbPart = 102, ChannelPart = 103 };
    static constexpr int kRepeatMs = 60;
    static constexpr int kSyncMs = 100;

    explicit CScrollWnd(QWidget* parent = nullptr);

    bool SetBitmaps(const QString& up, const QString& down, const QString& channel, const QString& thumb);
    // Binds to a view (in the same parent) and switches its own vertical bar off.
    void Bind(QAbstractScrollArea* target);
    QAbstractScrollArea* Target() const { return target_; }

    Part HitTest(const QPoint& pos) const;
    const ScrollInfo& Info() const { return info_; }
    SkinScrollLayout Layout() const;
    // Keeps scroll state, place and visibility in step with the target.
    void SyncWithTarget();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Step(Part part);

    QPointer<QAbstractScrollArea> target_;
    CGdiPlusBitmapResource up_, down_, channel_, thumb_;
    ScrollInfo info_;
    Part pressed_ = None;
    int grabOffset_ = 0;
    QPoint pointer_;
    QTimer repeat_;
    QTimer sync_;
};

} // namespace kestovar
