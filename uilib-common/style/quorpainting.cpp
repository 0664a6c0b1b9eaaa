#include "style/quorpainting.h"

#include <QColor>
#include <QLinearGradient>
#include <QPainter>
#include <QRect>
#include <QRectF>
#include <QRegularExpression>
#include <QTransform>

#include <algorithm>

void drawNinePatchPixmap(QPainter* painter, const QPixmap& pixmap, const QRect& target,
                         const SNinePatchMargins& margins)
{
    // Margins and targets are logical pixels; the source cells are the pixmap's own (device)
    // pixels, so a pixmap with a device pixel ratio above 1 keeps its full resolution.
    const double ratio = pixmap.devicePixelRatio();
    const double pw = pixmap.width();
    const double ph = pixmap.height();
    const double l = margins.left;
    const double t = margins.top;
    const double r = margins.right;
    const double b = margins.bottom;
    const double sl = l * ratio;
    const double st = t * ratio;
    const double sr = r * ratio;
    const double sb = b * ratio;
    const double x = target.x();
    const double y = target.y();
    const double w = target.width();
    const double h = target.height();
    const double cw = w - l - r;
    const double ch = h - t - b;

    struct SCell
    {
        QRectF target;
        QRectF source;
    };
    // Drawing order: corners (top-right over top-left, bottom-right over bottom-left when they
    // overlap), centre, then the edges.
    const SCell cells[] = {
        {{x, y, l, t}, {0, 0, sl, st}},
        {{x + w - r, y, r, t}, {pw - sr, 0, sr, st}},
        {{x, y + h - b, l, b}, {0, ph - sb, sl, sb}},
        {{x + w - r, y + h - b, r, b}, {pw - sr, ph - sb, sr, sb}},
        {{x + l, y + t, cw, ch}, {sl, st, pw - sr - sl, ph - sb - st}},
        {{x + l, y, cw, t}, {sl, 0, pw - sr - sl, st}},
        {{x + l, y + h - b, cw, b}, {sl, ph - sb, pw - sr - sl, sb}},
        {{x, y + t, l, ch}, {0, st, sl, ph - sb - st}},
        {{x + w - r, y + t, r, ch}, {pw - sr, st, sr, ph - sb - st}},
    };

    if (!painter)
        return;
    const QPainter::RenderHints hints = painter->renderHints();
    painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
    for (const SCell& cell : cells) {
        // A cell with an empty target, or an empty or negative source (a pixmap smaller than its
        // margins), is not drawn.
        if (cell.target.width() <= 0 || cell.target.height() <= 0 || cell.source.width() <= 0 ||
            cell.source.height() <= 0)
            continue;
        painter->drawPixmap(cell.target, pixmap, cell.source);
    }
    painter->setRenderHints(painter->renderHints(), false);
    painter->setRenderHints(hints, true);
}

void drawNinePatchPixmap(QPainter* painter, const QPixmap& pixmap, const QRect& target, int left, int top,
                         int right, int bottom)
{
    drawNinePatchPixmap(painter, pixmap, target, SNinePatchMargins{left, top, right, bottom});
}

QPixmap tintedPixmap(const QPixmap& pixmap, const QColor& colour)
{
    QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        painter.fillRect(QRect(QPoint(0, 0), image.deviceIndependentSize().toSize()), colour);
    }
    return QPixmap::fromImage(image);
}

QPixmap mirroredPixmap(const QPixmap& pixmap)
{
    return transformedPixmap(pixmap, QTransform(-1, 0, 0, 1, 0, 0));
}

QPixmap flippedPixmap(const QPixmap& pixmap)
{
    return transformedPixmap(pixmap, QTransform(1, 0, 0, -1, 0, 0));
}

QPixmap transformedPixmap(const QPixmap& pixmap, const QTransform& transform)
{
    if (pixmap.isNull())
        return {};
    QPixmap result = pixmap.transformed(transform, Qt::FastTransformation);
    result.setDevicePixelRatio(pixmap.devicePixelRatio());
    return result;
}

QString stripMnemonic(QString text)
{
    static const QRegularExpression mnemonic(QStringLiteral("&(?!&)"));
    return text.remove(mnemonic);
}

QIcon overlaidIcon(const QIcon& base, const QIcon& overlay, const QSize& size, const QSize& overlaySize,
                   QIcon::Mode mode, QIcon::State state)
{
    QPixmap composed = base.pixmap(size, mode, state);
    if (!composed.isNull()) {
        QPainter painter(&composed);
        painter.drawPixmap((logicalWidth(composed) - overlaySize.width()) / 2,
                           (logicalHeight(composed) - overlaySize.height()) / 2,
                           overlay.pixmap(overlaySize, mode, state));
    }
    QIcon result = base;
    result.addPixmap(composed, mode, state);
    return result;
}

QImage reflectionImage(const QImage& image, int height)
{
    // height counts logical rows, as for reflectionPixmap; the work is done in device pixels.
    const qreal ratio = image.devicePixelRatio();
    const int n = std::min(height, image.deviceIndependentSize().toSize().height());
    if (image.isNull() || n <= 0)
        return {};
    const int rows = std::min(image.height(), qRound(n * ratio));
    QImage result(image.width(), rows, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    QImage part = image.copy(0, image.height() - rows, image.width(), rows).mirrored(false, true);
    part.setDevicePixelRatio(1.0); // drawn pixel for pixel
    painter.drawImage(0, 0, part);
    QLinearGradient fade(image.width() / 2.0, 0, image.width() / 2.0, rows);
    fade.setColorAt(0, QColor(0, 0, 0, 150));
    fade.setColorAt(1, QColor(0, 0, 0, 0));
    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    painter.fillRect(result.rect(), fade);
    painter.end();
    result.setDevicePixelRatio(ratio);
    return result;
}

QPixmap reflectionPixmap(const QPixmap& pixmap, int height)
{
    // height counts logical rows; the copy takes the matching device rows at full resolution.
    const qreal ratio = pixmap.devicePixelRatio();
    const int n = std::min(height, logicalHeight(pixmap));
    if (pixmap.isNull() || n <= 0)
        return {};
    const int rows = std::min(pixmap.height(), qRound(n * ratio));
    QPixmap result(pixmap.width(), rows);
    result.setDevicePixelRatio(ratio);
    result.fill(Qt::transparent);
    {
        QPainter painter(&result);
        const qreal w = pixmap.width() / ratio;
        painter.drawPixmap(QRectF(0, 0, w, rows / ratio), pixmap,
                           QRectF(0, pixmap.height() - rows, pixmap.width(), rows));
        QLinearGradient fade(w / 2.0, n, w / 2.0, 0);
        fade.setColorAt(0, QColor(0, 0, 0, 150));
        fade.setColorAt(1, QColor(0, 0, 0, 0));
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.fillRect(QRectF(0, 0, w, rows / ratio), fade);
    }
    return flippedPixmap(result);
}

QIcon mirroredIcon(const QIcon& icon, const QSize& size)
{
    const QSize used = size.isValid() ? size : QSize(32, 32);
    QIcon result;
    for (const QIcon::State state : {QIcon::On, QIcon::Off}) {
        for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Active, QIcon::Selected, QIcon::Disabled})
            result.addPixmap(mirroredPixmap(icon.pixmap(used, mode, state)), mode, state);
    }
    return result;
}
