// kestovar_screens OUTDIR [name...]: shows each registered screen on the offscreen
// platform and saves it, with any pop-up open over it, as OUTDIR/<name>.png.
#include "ScreenRegistry.h"

#include "ui/SkinPalette.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace kestovar;

namespace {

void Settle(int ms = 150)
{
    QElapsedTimer t;
    t.start();
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    } while (t.elapsed() < ms);
}

// The window with every visible pop-up painted over it where it stands.
QImage Grab(QWidget* top)
{
    QImage base = top->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const qreal d = base.devicePixelRatio();
    if (!top->mask().isEmpty()) {
        // A clipped window shows only its region.
        QImage clipped(base.size(), QImage::Format_ARGB32_Premultiplied);
        clipped.setDevicePixelRatio(d);
        clipped.fill(Qt::transparent);
        QPainter p(&clipped);
        p.setClipRegion(top->mask());
        p.drawImage(QPoint(0, 0), base);
        p.end();
        base = clipped;
    }
    QRect bounds(QPoint(0, 0), top->size());
    std::vector<std::pair<QWidget*, QPoint>> popups;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == top || !w->isVisible() || !(w->windowType() == Qt::Popup || qobject_cast<QMenu*>(w)))
            continue;
        const QPoint at = w->geometry().topLeft() - top->geometry().topLeft();
        popups.emplace_back(w, at);
        bounds |= QRect(at, w->size());
    }
    if (popups.empty())
        return base;
    QImage out((QSizeF(bounds.size()) * d).toSize(), QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(d);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.translate(-bounds.topLeft());
    p.drawImage(QPoint(0, 0), base);
    for (auto& [w, at] : popups)
        p.drawImage(at, w->grab().toImage());
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!std::getenv("XDG_RUNTIME_DIR"))
        setenv("XDG_RUNTIME_DIR", "/tmp", 1);
    QApplication app(argc, argv);
    skin::ApplySkinToApplication(app);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: kestovar_screens OUTDIR [screen...]\n");
        return 2;
    }
    const QString outDir = args.front();
    const QStringList only = args.mid(1);
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "kestovar_screens: cannot create %s\n", qPrintable(outDir));
        return 1;
    }
    int saved = 0, failed = 0;
    for (const screens::Screen& screen : screens::Registry()) {
        if (!only.isEmpty() && !only.contains(screen.name))
            continue;
        std::unique_ptr<QWidget> widget(screen.make());
        widget->move(40, 40);
        widget->show();
        Settle();
        if (screen.stage) {
            screen.stage(widget.get());
            Settle(120);
        }
        const QString path = QDir(outDir).filePath(screen.name + ".png");
        if (Grab(widget.get()).save(path)) {
            ++saved;
            std::printf("%s\n", qPrintable(path));
        } else {
            ++failed;
            std::fprintf(stderr, "kestovar_screens: cannot write %s\n", qPrintable(path));
        }
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && w != widget.get())
                w->hide();
        }
        widget->hide();
        Settle(20);
    }
    std::printf("%d screens saved, %d failed\n", saved, failed);
    return failed ? 1 : 0;
}
