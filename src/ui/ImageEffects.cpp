#include "ui/ImageEffects.h"

#include <algorithm>
#include <cmath>

namespace kestovar {

QImage ApplyColorMatrix(const QImage& image, float factor, float offset)
{
    if (image.isNull())
        return {};
    // The matrix works on straight (not premultiplied) colour, as it would on
    // the decoded PNG, so half-transparent edges are treated like solid pixels.
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    int table[256];
    for (int c = 0; c < 256; ++c) {
        const float v = (c / 255.0f) * factor + offset;
        table[c] = static_cast<int>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
    }
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = line[x];
            line[x] = qRgba(table[qRed(p)], table[qGreen(p)], table[qBlue(p)], qAlpha(p));
        }
    }
    out = out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(image.devicePixelRatio());
    return out;
}

} // namespace kestovar
