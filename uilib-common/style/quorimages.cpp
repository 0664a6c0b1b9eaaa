#include "style/quorimages.h"

#include <QFileInfo>
#include <QGuiApplication>

namespace QuorImages {

QString highResolutionPath(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot <= slash + 1)
        return path + QLatin1String("@2x");
    return path.left(dot) + QLatin1String("@2x") + path.mid(dot);
}

QPixmap pixmap(const QString& path)
{
    if (qGuiApp && qGuiApp->devicePixelRatio() > 1.0) {
        const QString high = highResolutionPath(path);
        if (QFileInfo::exists(high)) {
            QPixmap result(high);
            if (!result.isNull()) {
                result.setDevicePixelRatio(2.0);
                return result;
            }
        }
    }
    QPixmap result(path);
    result.setDevicePixelRatio(1.0);
    return result;
}

QImage image(const QString& path, qreal devicePixelRatio)
{
    if (devicePixelRatio > 1.0) {
        const QString high = highResolutionPath(path);
        if (QFileInfo::exists(high)) {
            QImage result(high);
            if (!result.isNull()) {
                result.setDevicePixelRatio(2.0);
                return result;
            }
        }
    }
    QImage result(path);
    result.setDevicePixelRatio(1.0);
    return result;
}

} // namespace QuorImages

CQuorLazyPixmap CQuorLazyPixmap::fromPath(const QString& path)
{
    return fromFunction([path] { return QuorImages::pixmap(path); });
}

CQuorLazyPixmap CQuorLazyPixmap::fromFunction(std::function<QPixmap()> make)
{
    CQuorLazyPixmap result;
    result.m_make = std::move(make);
    return result;
}
