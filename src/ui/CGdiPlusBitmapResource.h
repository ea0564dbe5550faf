#pragma once
// One skin image, loaded from the program's resources by its role name
// (":/skin/<role>.svg", or .png), or from a file. Vector images are rendered at
// the device pixel ratio they are drawn at, so they stay sharp on high-DPI screens.

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>

class QPainter;
class QRectF;
class QSvgRenderer;

namespace kestovar {

class CGdiPlusBitmapResource {
public:
    CGdiPlusBitmapResource();
    ~CGdiPlusBitmapResource();
    CGdiPlusBitmapResource(CGdiPlusBitmapResource&&) noexcept;
    CGdiPlusBitmapResource& operator=(CGdiPlusBitmapResource&&) noexcept;

    // Loads the skin image of this role; false (and nothing loaded) when there is
    // none or it cannot be decoded. Loading again first drops the previous image.
    bool Load(const QString& role);
    // Loads an image file or encoded image bytes (PNG, JPEG, SVG, ...).
    bool LoadFile(const QString& path);
    bool LoadData(const QByteArray& bytes);
    void Reset();

    bool IsLoaded() const;
    const QString& Role() const { return role_; }
    // Logical size in pixels (the SVG's width and height, or the raster's size).
    QSize Size() const;

    // Draws the image stretched over target (logical coordinates).
    void Draw(QPainter& painter, const QRectF& target) const;
    // The image at a logical size, rendered for a device pixel ratio.
    QImage Render(QSize logicalSize, qreal devicePixelRatio) const;
    QImage Render(qreal devicePixelRatio) const { return Render(Size(), devicePixelRatio); }

private:
    QString role_;
    std::unique_ptr<QSvgRenderer> svg_;
    QImage raster_;
};

// Resource path of a role's image (empty when the skin has no such image).
QString SkinImagePath(const QString& role);
// Every role the skin provides, sorted.
QStringList SkinImageRoles();

} // namespace kestovar
