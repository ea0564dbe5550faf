#include "ui/CGdiPlusBitmapResource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QSvgRenderer>

namespace kestovar {

CGdiPlusBitmapResource::CGdiPlusBitmapResource() = default;
CGdiPlusBitmapResource::~CGdiPlusBitmapResource() = default;
CGdiPlusBitmapResource::CGdiPlusBitmapResource(CGdiPlusBitmapResource&&) noexcept = default;
CGdiPlusBitmapResource& CGdiPlusBitmapResource::operator=(CGdiPlusBitmapResource&&) noexcept = default;

QString SkinImagePath(const QString& role)
{
    if (role.isEmpty() || role.contains('/'))
        return {};
    for (const char* ext : { ".svg", ".png" }) {
        QString path = QStringLiteral(":/skin/") + role + QLatin1String(ext);
        if (QFile::exists(path))
            return path;
    }
    return {};
}

QStringList SkinImageRoles()
{
    QStringList roles;
    for (const QFileInfo& info : QDir(QStringLiteral(":/skin")).entryInfoList(QDir::Files, QDir::Name))
        roles << info.completeBaseName();
    return roles;
}

void CGdiPlusBitmapResource::Reset()
{
    role_.clear();
    svg_.reset();
    raster_ = QImage();
}

bool CGdiPlusBitmapResource::Load(const QString& role)
{
    Reset();
    const QString path = SkinImagePath(role);
    if (path.isEmpty() || !LoadFile(path))
        return false;
    role_ = role;
    return true;
}

bool CGdiPlusBitmapResource::LoadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return LoadData(file.readAll());
}

bool CGdiPlusBitmapResource::LoadData(const QByteArray& bytes)
{
    Reset();
    if (bytes.isEmpty())
        return false;
    // An SVG starts with markup; anything else goes to the raster decoders.
    const QByteArray head = bytes.left(256).trimmed();
    if (head.startsWith("<?xml") || head.startsWith("<svg")) {
        auto renderer = std::make_unique<QSvgRenderer>(bytes);
        if (!renderer->isValid() || renderer->defaultSize().isEmpty())
            return false;
        svg_ = std::move(renderer);
        return true;
    }
    QImage image;
    if (!image.loadFromData(bytes) || image.isNull())
        return false;
    raster_ = std::move(image);
    return true;
}

bool CGdiPlusBitmapResource::IsLoaded() const
{
    return svg_ || !raster_.isNull();
}

QSize CGdiPlusBitmapResource::Size() const
{
    if (svg_)
        return svg_->defaultSize();
    return raster_.size();
}

void CGdiPlusBitmapResource::Draw(QPainter& painter, const QRectF& target) const
{
    if (svg_) {
        svg_->render(&painter, target);
    } else if (!raster_.isNull()) {
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, raster_);
        painter.restore();
    }
}

QImage CGdiPlusBitmapResource::Render(QSize logicalSize, qreal devicePixelRatio) const
{
    if (!IsLoaded() || logicalSize.isEmpty())
        return {};
    const qreal dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    QImage image((QSizeF(logicalSize) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    Draw(painter, QRectF(QPointF(0, 0), QSizeF(logicalSize)));
    return image;
}

} // namespace kestovar
