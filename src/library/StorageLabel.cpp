#include "library/StorageLabel.h"

#include <QFontMetrics>

namespace kestovar {

int FreeSpacePercent(const DiskSpaceInfo& space)
{
    const auto freeGiB = static_cast<uint32_t>(space.freeBytes >> 30);
    const auto totalGiB = static_cast<uint32_t>(space.totalBytes >> 30);
    if (totalGiB == 0)
        return 0;
    return static_cast<int>(static_cast<double>(freeGiB) / totalGiB * 100.0);
}

QString FreeSpacePercentText(int percent)
{
    return QStringLiteral("%1%").arg(percent);
}

QString ElidePath(const QString& path, const QFontMetrics& metrics, int width)
{
    if (metrics.horizontalAdvance(path) <= width)
        return path;
    const QString ellipsis = QStringLiteral("\u2026");
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'), path.endsWith('/') ? -2 : -1);
    if (slash > 0) {
        const QString tail = path.mid(slash); // "/last"
        // Keep as much of the start as fits in front of "…/last".
        for (qsizetype keep = slash - 1; keep >= 1; --keep) {
            const QString candidate = path.left(keep) + ellipsis + tail;
            if (metrics.horizontalAdvance(candidate) <= width)
                return candidate;
        }
    }
    return metrics.elidedText(path, Qt::ElideMiddle, width);
}

} // namespace kestovar
