#include "recipes.h"

#include <QBuffer>
#include <QDataStream>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

// The look: white and light-grey surfaces, the style's greys and green, 1-px
// borders, corner radii of 3 (lists, inputs), 4 (main window) and 6 (dialogs),
// soft low-alpha shadows and one glyph stroke weight.

namespace {

const QColor kWhite(255, 255, 255);
const QColor kBorder(187, 188, 186);
const QColor kBorderStrong(156, 156, 156);
const QColor kBorderLight(222, 222, 223);
const QColor kSurface(247, 247, 247);
const QColor kSurfaceLow(238, 238, 239);
const QColor kInk(51, 51, 51);
const QColor kInkMid(99, 99, 99);
const QColor kInkLight(131, 131, 131);
const QColor kInkFaint(187, 188, 186);
const QColor kGreen(68, 170, 51);
const QColor kGreenLight(124, 195, 112);
const QColor kGreenDark(58, 146, 43);
const QColor kRed(214, 69, 65);
const qreal kStroke = 1.5;

QColor alpha(QColor c, int a)
{
    c.setAlpha(a);
    return c;
}

QImage newImage(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QPen glyphPen(const QColor& colour, qreal width = kStroke)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QLinearGradient vertical(const QRectF& r, const QColor& top, const QColor& bottom)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

// A rectangle with its own radius at each corner (top-left, top-right, bottom-right, bottom-left).
QPainterPath roundedPath(const QRectF& r, qreal tl, qreal tr, qreal br, qreal bl)
{
    QPainterPath path;
    path.moveTo(r.left() + tl, r.top());
    path.lineTo(r.right() - tr, r.top());
    if (tr > 0)
        path.arcTo(QRectF(r.right() - 2 * tr, r.top(), 2 * tr, 2 * tr), 90, -90);
    path.lineTo(r.right(), r.bottom() - br);
    if (br > 0)
        path.arcTo(QRectF(r.right() - 2 * br, r.bottom() - 2 * br, 2 * br, 2 * br), 0, -90);
    path.lineTo(r.left() + bl, r.bottom());
    if (bl > 0)
        path.arcTo(QRectF(r.left(), r.bottom() - 2 * bl, 2 * bl, 2 * bl), 270, -90);
    path.lineTo(r.left(), r.top() + tl);
    if (tl > 0)
        path.arcTo(QRectF(r.left(), r.top(), 2 * tl, 2 * tl), 180, -90);
    path.closeSubpath();
    return path;
}

// Fills a path with a vertical gradient and strokes it with a 1-px border (no border when invalid).
void box(QPainter& p, const QPainterPath& path, const QColor& border, const QColor& top, const QColor& bottom)
{
    const QRectF r = path.boundingRect();
    p.setPen(border.isValid() ? QPen(border, 1) : QPen(Qt::NoPen));
    p.setBrush(vertical(r, top, bottom));
    p.drawPath(path);
}

void box(QPainter& p, const QRectF& r, qreal radius, const QColor& border, const QColor& top,
         const QColor& bottom)
{
    box(p, roundedPath(r, radius, radius, radius, radius), border, top, bottom);
}

// Blurs the alpha channel of a premultiplied black-only image with three box passes.
void blurAlpha(QImage& image, int radius)
{
    if (radius <= 0)
        return;
    const int w = image.width();
    const int h = image.height();
    std::vector<int> a(static_cast<size_t>(w * h));
    for (int y = 0; y < h; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            a[static_cast<size_t>(y * w + x)] = qAlpha(line[x]);
    }
    std::vector<int> tmp(a.size());
    auto pass = [&](bool horizontal) {
        const int outer = horizontal ? h : w;
        const int inner = horizontal ? w : h;
        for (int o = 0; o < outer; ++o) {
            for (int i = 0; i < inner; ++i) {
                int sum = 0;
                for (int k = -radius; k <= radius; ++k) {
                    const int j = std::clamp(i + k, 0, inner - 1);
                    sum += horizontal ? a[static_cast<size_t>(o * w + j)] : a[static_cast<size_t>(j * w + o)];
                }
                const size_t at =
                    horizontal ? static_cast<size_t>(o * w + i) : static_cast<size_t>(i * w + o);
                tmp[at] = sum / (2 * radius + 1);
            }
        }
        a.swap(tmp);
    };
    for (int n = 0; n < 3; ++n) {
        pass(true);
        pass(false);
    }
    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = qRgba(0, 0, 0, a[static_cast<size_t>(y * w + x)]);
    }
}

// A soft shadow of a rounded shape, drawn below the shape's position.
void softShadow(QPainter& p, QSize size, const QRectF& shape, qreal radius, int blur, int strength, qreal dy)
{
    // At a device pixel ratio above 1 the shadow is drawn and blurred in device pixels, with
    // the blur radius scaled along.
    const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    QImage shadow = newImage((QSizeF(size) * ratio).toSize());
    shadow.setDevicePixelRatio(ratio);
    {
        QPainter sp(&shadow);
        sp.setRenderHint(QPainter::Antialiasing);
        sp.setPen(Qt::NoPen);
        sp.setBrush(QColor(0, 0, 0, strength));
        sp.drawRoundedRect(shape.translated(0, dy), radius, radius);
    }
    blurAlpha(shadow, qRound(blur * ratio));
    p.drawImage(0, 0, shadow);
}

// The value for one state of a four-state image.
QColor byState(const QString& state, const QColor& normal, const QColor& pressed, const QColor& hover,
               const QColor& disabled)
{
    if (state == QLatin1String("pressed"))
        return pressed;
    if (state == QLatin1String("hover"))
        return hover;
    if (state == QLatin1String("disabled"))
        return disabled;
    return normal;
}

// Fill and glyph colours of a four-state control.
struct SStateInk
{
    QColor border;
    QColor top;
    QColor bottom;
};

SStateInk controlInk(const QString& state)
{
    if (state == QLatin1String("hover"))
        return {kBorderStrong, kWhite, QColor(244, 244, 245)};
    if (state == QLatin1String("pressed"))
        return {kBorderStrong, QColor(228, 228, 229), QColor(238, 238, 239)};
    return {kBorder, kWhite, kSurfaceLow};
}

QColor glyphInk(const QString& state)
{
    if (state == QLatin1String("hover") || state == QLatin1String("pressed"))
        return kInk;
    if (state == QLatin1String("disabled"))
        return QColor(200, 200, 200);
    return kInkMid;
}

// A filled triangle pointing in a direction, inside a rectangle.
void triangle(QPainter& p, const QRectF& r, const QString& dir, const QColor& colour)
{
    QPolygonF poly;
    if (dir == QLatin1String("left"))
        poly << QPointF(r.right(), r.top()) << QPointF(r.left(), r.center().y()) << r.bottomRight();
    else if (dir == QLatin1String("right"))
        poly << r.topLeft() << QPointF(r.right(), r.center().y()) << r.bottomLeft();
    else if (dir == QLatin1String("up"))
        poly << r.bottomLeft() << QPointF(r.center().x(), r.top()) << r.bottomRight();
    else
        poly << r.topLeft() << r.topRight() << QPointF(r.center().x(), r.bottom());
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(poly);
}

void cross(QPainter& p, const QPointF& c, qreal half, const QColor& colour)
{
    p.setPen(glyphPen(colour));
    p.drawLine(c + QPointF(-half, -half), c + QPointF(half, half));
    p.drawLine(c + QPointF(-half, half), c + QPointF(half, -half));
}

void checkMark(QPainter& p, const QRectF& r, const QColor& colour)
{
    p.setPen(glyphPen(colour, 1.75));
    p.setBrush(Qt::NoBrush);
    QPolygonF mark;
    mark << QPointF(r.left() + r.width() * 0.22, r.top() + r.height() * 0.52)
         << QPointF(r.left() + r.width() * 0.43, r.top() + r.height() * 0.72)
         << QPointF(r.left() + r.width() * 0.78, r.top() + r.height() * 0.30);
    p.drawPolyline(mark);
}

void chevron(QPainter& p, const QPointF& c, qreal half, const QString& dir, const QColor& colour)
{
    p.setPen(glyphPen(colour));
    p.setBrush(Qt::NoBrush);
    QPolygonF line;
    if (dir == QLatin1String("right"))
        line << c + QPointF(-half / 2, -half) << c + QPointF(half / 2, 0) << c + QPointF(-half / 2, half);
    else
        line << c + QPointF(-half, -half / 2) << c + QPointF(0, half / 2) << c + QPointF(half, -half / 2);
    p.drawPolyline(line);
}

// A filled round badge with a white glyph, as used by the drag-and-drop and icon art.
void badge(QPainter& p, const QPointF& c, qreal r, const QColor& fill)
{
    p.setPen(QPen(kWhite, kStroke));
    p.setBrush(vertical(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), fill.lighter(112), fill));
    p.drawEllipse(c, r, r);
}

using Painter = std::function<void(QPainter&, const SArtRecipe&, QSize)>;

// ---- recipes -------------------------------------------------------------

void scrollTrack(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QColor fill = byState(r.param(QStringLiteral("state")), QColor(242, 242, 243),
                                QColor(228, 228, 229), QColor(235, 235, 236), QColor(249, 249, 249));
    const bool horizontal = r.param(QStringLiteral("o")) == QLatin1String("h");
    const QRectF track = horizontal ? QRectF(1, 2, s.width() - 2, s.height() - 4)
                                    : QRectF(2, 1, s.width() - 4, s.height() - 2);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(track, 2, 2);
}

void scrollSlider(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QColor fill =
        byState(r.param(QStringLiteral("state")), kBorder, kInkLight, kBorderStrong, kBorderLight);
    // The style draws the slider 8 px longer at each end, so its art keeps 8 clear pixels there.
    const bool horizontal = r.param(QStringLiteral("o")) == QLatin1String("h");
    const QRectF body = horizontal ? QRectF(8, 3, s.width() - 16, s.height() - 6)
                                   : QRectF(3, 8, s.width() - 6, s.height() - 16);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(body, 1, 1);
}

void scrollButton(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QString state = r.param(QStringLiteral("state"));
    const QRectF all(0.5, 0.5, s.width() - 1, s.height() - 1);
    QColor ink = kInkLight;
    if (state == QLatin1String("hover")) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 20));
        p.drawRoundedRect(all, 2, 2);
        ink = kInkMid;
    } else if (state == QLatin1String("pressed")) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 40));
        p.drawRoundedRect(all, 2, 2);
        ink = kInk;
    } else if (state == QLatin1String("disabled")) {
        ink = kBorderLight;
    }
    const QString dir = r.param(QStringLiteral("dir"));
    const bool across = dir == QLatin1String("left") || dir == QLatin1String("right");
    const QSizeF t = across ? QSizeF(3.5, 6) : QSizeF(6, 3.5);
    triangle(p, QRectF(QPointF(s.width() / 2.0 - t.width() / 2, s.height() / 2.0 - t.height() / 2), t), dir,
             ink);
}

// The main window's title bar (l, m, r parts): white fading to light grey, rounded top corners.
void titleBar(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QString part = r.param(QStringLiteral("part"));
    const qreal w = s.width();
    const qreal h = s.height();
    QRectF frame(0.5, 0.5, w + 20, h + 20);
    if (part == QLatin1String("m"))
        frame = QRectF(-20, 0.5, w + 40, h + 20);
    else if (part == QLatin1String("r"))
        frame = QRectF(-20.5, 0.5, w + 20, h + 20);
    const qreal tl = part == QLatin1String("l") ? 4 : 0;
    const qreal tr = part == QLatin1String("r") ? 4 : 0;
    p.setPen(QPen(kBorder, 1));
    p.setBrush(vertical(QRectF(0, 0, w, h), kWhite, QColor(243, 243, 244)));
    p.drawPath(roundedPath(frame, tl, tr, 0, 0));
}

void bottomBar(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QString part = r.param(QStringLiteral("part"));
    const qreal w = s.width();
    const qreal h = s.height();
    QRectF frame(0.5, -20, w + 20, h + 20 - 0.5);
    if (part == QLatin1String("m"))
        frame = QRectF(-20, -20, w + 40, h + 20 - 0.5);
    else if (part == QLatin1String("r"))
        frame = QRectF(-20.5, -20, w + 20, h + 20 - 0.5);
    const qreal bl = part == QLatin1String("l") ? 4 : 0;
    const qreal br = part == QLatin1String("r") ? 4 : 0;
    p.setPen(QPen(kBorder, 1));
    p.setBrush(vertical(QRectF(0, 0, w, h), QColor(246, 246, 247), QColor(236, 236, 237)));
    p.drawPath(roundedPath(frame, 0, 0, br, bl));
    p.setPen(QPen(kBorderLight, 1));
    p.drawLine(QPointF(part == QLatin1String("l") ? 1 : 0, 0.5),
               QPointF(part == QLatin1String("r") ? w - 1 : w, 0.5));
}

void toolBar(QPainter& p, const SArtRecipe&, QSize s)
{
    p.fillRect(QRectF(0, 0, s.width(), s.height()),
               vertical(QRectF(0, 0, s.width(), s.height()), QColor(250, 250, 250), QColor(241, 241, 242)));
    p.setPen(QPen(kBorderLight, 1));
    p.drawLine(QPointF(0, s.height() - 0.5), QPointF(s.width(), s.height() - 0.5));
}

// The application icon: a green tile with a white feed glyph.
void appIcon(QPainter& p, const SArtRecipe&, QSize s)
{
    const qreal d = s.width();
    const QRectF tile(0.5, 0.5, d - 1, d - 1);
    box(p, tile, d * 0.22, kGreenDark, kGreenLight, kGreen);
    const qreal pen = std::max(1.5, d * 0.11);
    const QPointF origin(d * 0.3, d * 0.7);
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    p.drawEllipse(origin, pen * 0.75, pen * 0.75);
    p.setPen(QPen(kWhite, pen, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (qreal radius : {d * 0.24, d * 0.44}) {
        if (d < 20 && radius > d * 0.3)
            radius = d * 0.42;
        p.drawArc(QRectF(origin.x() - radius, origin.y() - radius, 2 * radius, 2 * radius), 0, 90 * 16);
    }
}

void titleButton(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QString glyph = r.param(QStringLiteral("glyph"));
    const QString state = r.param(QStringLiteral("state"));
    const bool close = glyph == QLatin1String("close");
    QColor ink = state == QLatin1String("normal") ? kInkMid : kInk;
    if (state != QLatin1String("normal")) {
        QColor back = close ? (state == QLatin1String("hover") ? kRed : kRed.darker(120))
                            : QColor(0, 0, 0, state == QLatin1String("hover") ? 22 : 45);
        p.setPen(Qt::NoPen);
        p.setBrush(back);
        p.drawRoundedRect(QRectF(1, 1, s.width() - 2, s.height() - 2), 3, 3);
        if (close)
            ink = kWhite;
    }
    const QPointF c(s.width() / 2.0, s.height() / 2.0);
    p.setPen(glyphPen(ink));
    p.setBrush(Qt::NoBrush);
    if (close) {
        cross(p, c, 4, ink);
    } else if (glyph == QLatin1String("min")) {
        p.drawLine(c + QPointF(-4, 3.5), c + QPointF(4, 3.5));
    } else if (glyph == QLatin1String("max")) {
        p.drawRect(QRectF(c.x() - 4, c.y() - 4, 8, 8));
    } else {
        p.drawRect(QRectF(c.x() - 4, c.y() - 2, 6, 6));
        p.drawPolyline(QPolygonF() << QPointF(c.x() - 2, c.y() - 4) << QPointF(c.x() + 4, c.y() - 4)
                                   << QPointF(c.x() + 4, c.y() + 2));
    }
}

void sizeGrip(QPainter& p, const SArtRecipe&, QSize s)
{
    p.setPen(Qt::NoPen);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col <= row; ++col) {
            const qreal x = s.width() - 3 - 4 * col;
            const qreal y = s.height() - 3 - 4 * (2 - row);
            p.setBrush(kWhite);
            p.drawRect(QRectF(x, y, 2, 2));
            p.setBrush(QColor(167, 167, 167));
            p.drawRect(QRectF(x - 1, y - 1, 2, 2));
        }
    }
}

QMargins marginsParam(const SArtRecipe& r, const QString& key)
{
    const QStringList parts = r.param(key).split(QLatin1Char(','));
    if (parts.size() != 4)
        return {};
    return QMargins(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt());
}

// A window or list shadow: soft, darker below, with the window's own area left clear.
void shadow(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QRectF window =
        QRectF(QPointF(0, 0), s).marginsRemoved(marginsParam(r, QStringLiteral("inset")).toMarginsF());
    const qreal radius = r.intParam(QStringLiteral("radius"), 4);
    const int spread = std::max(2, std::min(window.top() > 8 ? 5 : 2, int(window.left()) / 3));
    softShadow(p, s, window.adjusted(-1, 0, 1, 1), radius, spread, window.top() > 8 ? 110 : 90,
               window.top() > 8 ? 4 : 2);
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRoundedRect(window, radius, radius);
}

// A white card on a soft shadow (toast, popup frame).
void card(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QRectF body =
        QRectF(QPointF(0, 0), s).marginsRemoved(marginsParam(r, QStringLiteral("inset")).toMarginsF());
    const qreal radius = r.intParam(QStringLiteral("radius"), 6);
    softShadow(p, s, body, radius, 4, 100, 3);
    box(p, body.adjusted(0.5, 0.5, -0.5, -0.5), radius, kBorderLight, kWhite, kWhite);
}

void panel(QPainter& p, const SArtRecipe& r, QSize s)
{
    const bool hover = r.intParam(QStringLiteral("hover")) != 0;
    const QRectF body(6, 6, s.width() - 12, s.height() - 15);
    softShadow(p, s, body, 4, 2, 70, 2);
    if (hover)
        box(p, body.adjusted(0.5, 0.5, -0.5, -0.5), 4, kGreenLight, QColor(250, 253, 249),
            QColor(242, 249, 240));
    else
        box(p, body.adjusted(0.5, 0.5, -0.5, -0.5), 4, kBorderLight, kWhite, kWhite);
}

void paneHeader(QPainter& p, const SArtRecipe&, QSize s)
{
    const QRectF all(0, 0, s.width(), s.height());
    p.fillRect(all, vertical(all, QColor(252, 252, 252), QColor(240, 240, 241)));
    p.setPen(QPen(kBorderLight, 1));
    p.drawLine(QPointF(0, s.height() - 0.5), QPointF(s.width(), s.height() - 0.5));
}

void makkara(QPainter& p, const SArtRecipe&, QSize s)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kBorderLight);
    p.drawRoundedRect(QRectF(0.5, 0.5, s.width() - 1, s.height() - 1), 1.5, 1.5);
}

void highlight(QPainter& p, const SArtRecipe&, QSize s)
{
    box(p, QRectF(0.5, 0.5, s.width() - 1, s.height() - 1), 3, alpha(kGreenLight, 170),
        alpha(kGreenLight, 80), alpha(kGreenLight, 80));
}

void arrow(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QString state = r.param(QStringLiteral("state"));
    QColor ink = kInkMid;
    if (state == QLatin1String("selected"))
        ink = kWhite;
    else if (state == QLatin1String("disabled"))
        ink = kInkFaint;
    const QString dir = r.param(QStringLiteral("dir"));
    const QRectF area = dir == QLatin1String("right") ? QRectF(1, 0.5, s.width() - 2, s.height() - 1)
                                                      : QRectF(0, 0, s.width(), s.height());
    triangle(p, area, dir, ink);
}

void comboBox(QPainter& p, const SArtRecipe& r, QSize s)
{
    const SStateInk ink = controlInk(r.param(QStringLiteral("state")));
    box(p, QRectF(0.5, 0.5, s.width() - 1, s.height() - 1), 3, ink.border, ink.top, ink.bottom);
    const qreal split = s.width() - 25 + 0.5;
    p.setPen(QPen(kBorderLight, 1));
    p.drawLine(QPointF(split, 5), QPointF(split, s.height() - 5));
    chevron(p, QPointF(s.width() - 12.0, s.height() / 2.0), 3.5, QStringLiteral("down"), kInkMid);
}

QPainterPath topRounded(QSize s, qreal radius)
{
    return roundedPath(QRectF(0.5, 0.5, s.width() - 1, s.height() + 20), radius, radius, 0, 0);
}

void secondaryTop(QPainter& p, const SArtRecipe& r, QSize s)
{
    const bool grey = r.param(QStringLiteral("tone")) == QLatin1String("grey");
    box(p, topRounded(s, 6), kBorder, kWhite, grey ? QColor(238, 238, 239) : QColor(246, 246, 247));
}

void secondaryBottom(QPainter& p, const SArtRecipe&, QSize s)
{
    const QPainterPath path = roundedPath(QRectF(0.5, -20, s.width() - 1, s.height() + 20 - 0.5), 0, 0, 6, 6);
    p.setPen(QPen(kBorder, 1));
    p.setBrush(vertical(QRectF(0, 0, s.width(), s.height()), QColor(246, 246, 247), QColor(236, 236, 237)));
    p.drawPath(path);
    p.setPen(QPen(kBorderLight, 1));
    p.drawLine(QPointF(1, 0.5), QPointF(s.width() - 1, 0.5));
}

void dialogTop(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QString tone = r.param(QStringLiteral("tone"));
    QColor top(252, 252, 252), bottom(234, 234, 235), border = kBorder;
    if (tone == QLatin1String("yellow")) {
        top = QColor(255, 246, 150);
        bottom = QColor(254, 232, 40);
        border = QColor(214, 190, 30);
    } else if (tone == QLatin1String("blue")) {
        top = QColor(222, 242, 255);
        bottom = QColor(170, 221, 255);
        border = QColor(128, 178, 214);
    } else if (tone == QLatin1String("purple")) {
        top = QColor(204, 46, 158);
        bottom = QColor(170, 0, 124);
        border = QColor(132, 0, 96);
    }
    box(p, topRounded(s, 6), border, top, bottom);
}

void closeCross(QPainter& p, const SArtRecipe& r, QSize s)
{
    const bool light = r.param(QStringLiteral("tone")) == QLatin1String("light");
    const QString state = r.param(QStringLiteral("state"));
    const QPointF c(s.width() / 2.0, s.height() / 2.0);
    QColor ink = light ? QColor(240, 240, 240) : kInkMid;
    if (state != QLatin1String("normal")) {
        const int strength = state == QLatin1String("hover") ? 1 : 2;
        p.setPen(Qt::NoPen);
        p.setBrush(light ? QColor(255, 255, 255, 55 * strength) : QColor(0, 0, 0, 22 * strength));
        p.drawEllipse(c, 7.5, 7.5);
        ink = light ? kWhite : kInk;
    }
    cross(p, c, 3.5, ink);
}

void ball(QPainter& p, const SArtRecipe&, QSize s)
{
    const QRectF disc(1.5, 1.5, s.width() - 3, s.height() - 3);
    softShadow(p, s, disc, disc.width() / 2, 1, 60, 1);
    p.setPen(QPen(kBorder, 1));
    p.setBrush(vertical(disc, kWhite, QColor(236, 236, 237)));
    p.drawEllipse(disc);
    triangle(p, QRectF(s.width() / 2.0 - 3.5, s.height() / 2.0 - 1, 7, 4), QStringLiteral("down"), kInkMid);
}

// Frame of a gradient button: the style fills the body with the face's gradient, so the centre stays clear.
void gradientFrame(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QString face = r.param(QStringLiteral("face"));
    const QString state = r.param(QStringLiteral("state"));
    const bool black = face == QLatin1String("black");
    QColor border = black ? QColor(45, 45, 45) : kBorder;
    if (state == QLatin1String("hover"))
        border = black ? QColor(20, 20, 20) : QColor(150, 150, 150);
    else if (state == QLatin1String("pressed"))
        border = black ? QColor(25, 25, 25) : QColor(140, 140, 140);
    else if (state == QLatin1String("disabled"))
        border.setAlpha(102);
    const QRectF frame(4.5, 5.5, s.width() - 9, s.height() - 11);
    if (state != QLatin1String("pressed") && state != QLatin1String("disabled")) {
        p.setPen(QPen(QColor(0, 0, 0, face == QLatin1String("toolbar") ? 12 : 24), 1));
        p.drawLine(QPointF(frame.left() + 2, frame.bottom() + 1),
                   QPointF(frame.right() - 2, frame.bottom() + 1));
    }
    if (state == QLatin1String("hover") && !black) {
        p.setPen(QPen(alpha(kGreenLight, 90), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(frame.adjusted(-1, -1, 1, 1), 4, 4);
    }
    p.setPen(QPen(border, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(frame, 3, 3);
}

void progressTrack(QPainter& p, const SArtRecipe&, QSize s)
{
    box(p, QRectF(0.5, 0.5, s.width() - 1, s.height() - 1), 3, QColor(210, 210, 211), QColor(238, 238, 239),
        QColor(248, 248, 248));
}

void progressFill(QPainter& p, const SArtRecipe&, QSize s)
{
    box(p, QRectF(0.5, 0.5, s.width() - 1, s.height() - 1), 3, kGreenDark, kGreenLight, kGreen);
    p.setPen(QPen(QColor(255, 255, 255, 70), 1));
    p.drawLine(QPointF(3, 1.5), QPointF(s.width() - 3, 1.5));
}

void progressCap(QPainter& p, const SArtRecipe&, QSize s)
{
    p.fillRect(QRectF(0, 1, 1, s.height() - 2), kGreenDark);
    p.fillRect(QRectF(1, 1, 1, s.height() - 2), QColor(0, 0, 0, 28));
    p.fillRect(QRectF(2, 1, 1, s.height() - 2), QColor(0, 0, 0, 10));
}

void busyShine(QPainter& p, const SArtRecipe&, QSize s)
{
    QLinearGradient g(0, 0, s.width(), 0);
    g.setColorAt(0, QColor(255, 255, 255, 0));
    g.setColorAt(0.5, QColor(255, 255, 255, 120));
    g.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0, 0, s.width(), s.height()), 3, 3);
}

void busyStripes(QPainter& p, const SArtRecipe&, QSize s)
{
    const QRectF all(0.5, 0.5, s.width() - 1, s.height() - 1);
    box(p, all, 3, kGreenDark, kGreenLight, kGreen);
    p.save();
    p.setClipPath(roundedPath(all.adjusted(1, 1, -1, -1), 2, 2, 2, 2));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 50));
    for (qreal x = -s.height(); x < s.width(); x += 20) {
        QPolygonF stripe;
        stripe << QPointF(x, s.height()) << QPointF(x + s.height(), 0) << QPointF(x + s.height() + 8, 0)
               << QPointF(x + 8, s.height());
        p.drawPolygon(stripe);
    }
    p.restore();
}

void spinner(QPainter& p, const SArtRecipe& r, QSize s)
{
    const int frame = r.intParam(QStringLiteral("frame"));
    const QPointF c(s.width() / 2.0, s.height() / 2.0);
    p.setPen(Qt::NoPen);
    for (int k = 0; k < 8; ++k) {
        const int behind = (frame - k + 8) % 8;
        const qreal angle = (k * 45 - 90) * M_PI / 180.0;
        QColor dot = kInkMid;
        dot.setAlpha(255 - behind * 27);
        p.setBrush(dot);
        p.drawEllipse(c + QPointF(std::cos(angle), std::sin(angle)) * 5.5, 1.6, 1.6);
    }
}

void lineEdit(QPainter& p, const SArtRecipe& r, QSize s)
{
    const bool focus = r.intParam(QStringLiteral("focus")) != 0;
    const QRectF field(1.5, 1.5, s.width() - 3, s.height() - 4);
    if (focus) {
        p.setPen(QPen(alpha(kGreen, 70), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(field.adjusted(-1, -1, 1, 1), 4, 4);
    }
    box(p, field, 3, focus ? kGreen : kBorder, kWhite, kWhite);
    p.setPen(QPen(QColor(0, 0, 0, 14), 1));
    p.drawLine(QPointF(4, 2.5), QPointF(s.width() - 4, 2.5));
}

void filterField(QPainter& p, const SArtRecipe&, QSize s)
{
    box(p, QRectF(0.5, 0.5, s.width() - 1, s.height() - 1), 8, kBorder, kWhite, kWhite);
}

void phase(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QString kind = r.param(QStringLiteral("kind"));
    QColor fill = kBorderLight;
    if (kind == QLatin1String("currentdark"))
        fill = kGreen;
    else if (kind == QLatin1String("currentlight"))
        fill = kGreenLight;
    else if (kind == QLatin1String("past"))
        fill = QColor(167, 167, 167);
    const QString part = r.param(QStringLiteral("part"));
    const qreal h = s.height();
    QRectF body(0, 0, s.width(), h);
    if (part == QLatin1String("left"))
        body = QRectF(0, 0, s.width() + h, h);
    else if (part == QLatin1String("right"))
        body = QRectF(-h, 0, s.width() + h, h);
    const qreal radius = part == QLatin1String("middle") ? 0 : h / 2;
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(body, fill.lighter(108), fill));
    p.drawRoundedRect(body, radius, radius);
}

void indicator(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QString kind = r.param(QStringLiteral("kind"));
    const QString state = r.param(QStringLiteral("state"));
    const bool checked = state.startsWith(QLatin1String("checked"));
    const bool rollover = state.endsWith(QLatin1String("rollover"));
    const bool disabled = state == QLatin1String("disabled");
    const QRectF frame(1.5, 1.5, s.width() - 3, s.height() - 3);
    QColor border = rollover ? kGreen : QColor(167, 167, 167);
    QColor top = kWhite;
    QColor bottom = QColor(244, 244, 245);
    if (disabled) {
        border = QColor(210, 210, 211);
        top = bottom = QColor(244, 244, 245);
    }
    if (kind == QLatin1String("radio")) {
        p.setPen(QPen(checked ? kGreenDark : border, 1));
        p.setBrush(vertical(frame, top, bottom));
        p.drawEllipse(frame);
        if (checked) {
            p.setPen(Qt::NoPen);
            p.setBrush(rollover ? kGreenLight : kGreen);
            p.drawEllipse(frame.center(), 3.5, 3.5);
        }
        return;
    }
    if (checked && kind == QLatin1String("check")) {
        box(p, frame, 3, kGreenDark, rollover ? kGreenLight : QColor(96, 186, 80),
            rollover ? QColor(96, 186, 80) : kGreen);
        checkMark(p, frame, kWhite);
        return;
    }
    box(p, frame, 3, checked ? kGreen : border, top, bottom);
    if (checked)
        checkMark(p, frame, rollover ? kGreenLight : kGreen);
}

void actionTip(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QString part = r.param(QStringLiteral("part"));
    const QColor fill(51, 51, 51, 235);
    const qreal body = s.height() - 8;
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    if (part == QLatin1String("left")) {
        p.drawPath(roundedPath(QRectF(0, 0, s.width() + 10, body), 4, 0, 0, 4));
    } else if (part == QLatin1String("right")) {
        p.drawPath(roundedPath(QRectF(-10, 0, s.width() + 10, body), 0, 4, 4, 0));
    } else {
        p.drawRect(QRectF(0, 0, s.width(), body));
        if (part == QLatin1String("pointer")) {
            QPolygonF tip;
            tip << QPointF(s.width() / 2.0 - 6, body) << QPointF(s.width() / 2.0 + 6, body)
                << QPointF(s.width() / 2.0, s.height() - 1);
            p.drawPolygon(tip);
        }
    }
}

void restoreTip(QPainter& p, const SArtRecipe&, QSize s)
{
    const qreal w = s.width();
    const qreal h = s.height() - 2;
    QPainterPath tag;
    tag.moveTo(1.5, h / 2 + 0.5);
    tag.lineTo(12.5, 1.5);
    tag.lineTo(w - 5.5, 1.5);
    tag.quadTo(w - 1.5, 1.5, w - 1.5, 5.5);
    tag.lineTo(w - 1.5, h - 4.5);
    tag.quadTo(w - 1.5, h - 0.5, w - 5.5, h - 0.5);
    tag.lineTo(12.5, h - 0.5);
    tag.closeSubpath();
    softShadow(p, s, tag.boundingRect().adjusted(8, 0, 0, 0), 4, 1, 60, 1.5);
    box(p, tag, kBorder, kWhite, QColor(246, 246, 247));
    // A restore glyph: an open circle with its arrow head, in the tip's pointed end.
    const QPointF c(23, h / 2 + 0.5);
    p.setPen(glyphPen(kGreen));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(c.x() - 5, c.y() - 5, 10, 10), 120 * 16, 270 * 16);
    const QPointF end = c + QPointF(std::cos(M_PI * 2 / 3), -std::sin(M_PI * 2 / 3)) * 5;
    p.drawPolyline(QPolygonF() << end + QPointF(-3, -1) << end << end + QPointF(0.5, 3));
}

QRectF tipBody(QSize s, qreal top, qreal bottom)
{
    return QRectF(1.5, top + 0.5, s.width() - 4, s.height() - top - bottom - 1);
}

void toolTip(QPainter& p, const SArtRecipe&, QSize s)
{
    const QRectF body = tipBody(s, 0, 5);
    softShadow(p, s, body, 3, 1, 70, 2);
    box(p, body, 3, kBorder, kWhite, kWhite);
}

void tipArrow(QPainter& p, const SArtRecipe& r, QSize s)
{
    const bool up = r.param(QStringLiteral("dir")) == QLatin1String("up");
    const qreal w = s.width();
    const qreal h = s.height();
    // The arrow's open side covers the bubble's border, so its fill reaches the last row.
    const QPointF apex(w / 2.0, up ? 0.5 : h - 0.5);
    const QPointF a(0, up ? h : 0);
    const QPointF b(w, up ? h : 0);
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    p.drawPolygon(QPolygonF() << a << apex << b);
    p.setPen(QPen(kBorder, 1));
    p.drawLine(a + QPointF(0.5, 0), apex);
    p.drawLine(apex, b - QPointF(0.5, 0));
}

void toolTipArrowed(QPainter& p, const SArtRecipe&, QSize s)
{
    const QRectF body = tipBody(s, 8, 9);
    softShadow(p, s, body, 3, 1, 70, 1.5);
    box(p, body, 3, kBorder, kWhite, kWhite);
}

void pill(QPainter& p, const SArtRecipe& r, QSize s)
{
    const bool green = r.param(QStringLiteral("tone")) == QLatin1String("green");
    const QRectF all(0, 0, s.width(), s.height());
    p.setPen(Qt::NoPen);
    p.setBrush(green ? vertical(all, kGreenLight, kGreen)
                     : vertical(all, QColor(214, 214, 215), kBorderLight));
    p.drawRoundedRect(all, s.height() / 2.0, s.height() / 2.0);
}

void segment(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QString part = r.param(QStringLiteral("part"));
    const bool pressed = r.param(QStringLiteral("state")) == QLatin1String("pressed");
    const qreal w = s.width();
    const qreal h = s.height();
    QRectF frame(-10, 0.5, w + 20, h - 1);
    qreal left = 0, right = 0;
    if (part == QLatin1String("left")) {
        frame = QRectF(0.5, 0.5, w + 10, h - 1);
        left = 3;
    } else if (part == QLatin1String("right")) {
        frame = QRectF(-10, 0.5, w + 10 - 0.5, h - 1);
        right = 3;
    }
    box(p, roundedPath(frame, left, right, right, left), kBorder, pressed ? QColor(226, 226, 227) : kWhite,
        pressed ? QColor(238, 238, 239) : QColor(242, 242, 243));
    if (pressed) {
        p.setPen(QPen(QColor(0, 0, 0, 22), 1));
        p.drawLine(QPointF(part == QLatin1String("left") ? 3 : 0, 1.5),
                   QPointF(part == QLatin1String("right") ? w - 3 : w, 1.5));
    }
    if (part != QLatin1String("right")) {
        p.setPen(QPen(kBorder, 1));
        p.drawLine(QPointF(w - 0.5, 1), QPointF(w - 0.5, h - 1));
    }
}

void grip(QPainter& p, const SArtRecipe& r, QSize s)
{
    if (r.param(QStringLiteral("o")) == QLatin1String("h")) {
        p.setPen(QPen(QColor(167, 167, 167), 1));
        p.drawLine(QPointF(1, 1.5), QPointF(s.width() - 1, 1.5));
        p.drawLine(QPointF(1, 4.5), QPointF(s.width() - 1, 4.5));
        return;
    }
    p.setPen(Qt::NoPen);
    p.setBrush(kGreenLight);
    p.drawRoundedRect(QRectF(s.width() / 2.0 - 1, 4, 2, s.height() - 8), 1, 1);
}

void selection(QPainter& p, const SArtRecipe&, QSize s)
{
    box(p, QRectF(0.5, 0.5, s.width() - 1, s.height() - 1), 4, alpha(kGreenLight, 200), alpha(kGreen, 30),
        alpha(kGreen, 46));
}

void tab(QPainter& p, const SArtRecipe& r, QSize s)
{
    const bool selected = r.intParam(QStringLiteral("selected")) != 0;
    const qreal top = selected ? 0.5 : 2.5;
    const QPainterPath path = roundedPath(QRectF(0.5, top, s.width() - 1, s.height() + 20), 4, 4, 0, 0);
    if (selected)
        box(p, path, kBorder, kWhite, kWhite);
    else
        box(p, path, QColor(208, 208, 209), QColor(246, 246, 247), QColor(234, 234, 235));
}

void sliderHandle(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QString state = r.param(QStringLiteral("state"));
    const QRectF disc(1.5, 1.5, s.width() - 3, s.height() - 3);
    QColor border = kBorderStrong, top = kWhite, bottom(238, 238, 239);
    if (state == QLatin1String("hover")) {
        border = kGreen;
    } else if (state == QLatin1String("pressed")) {
        border = kGreen;
        top = QColor(230, 230, 231);
        bottom = QColor(242, 242, 243);
    } else if (state == QLatin1String("disabled")) {
        border = QColor(210, 210, 211);
        top = bottom = QColor(246, 246, 246);
    }
    if (state != QLatin1String("disabled"))
        softShadow(p, s, disc, disc.width() / 2, 1, 50, 1);
    p.setPen(QPen(border, 1));
    p.setBrush(vertical(disc, top, bottom));
    p.drawEllipse(disc);
}

void sliderGroove(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QColor fill = byState(r.param(QStringLiteral("state")), QColor(214, 214, 215), kBorder,
                                QColor(200, 200, 201), QColor(234, 234, 235));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0, 1, s.width(), s.height() - 2), 2, 2);
}

void button(QPainter& p, const SArtRecipe& r, QSize s)
{
    const SStateInk ink = controlInk(r.param(QStringLiteral("state")));
    const qreal radius = r.intParam(QStringLiteral("radius"), 4);
    const QRectF face(0.5, 0.5, s.width() - 1, s.height() - 2);
    p.setPen(QPen(QColor(0, 0, 0, 20), 1));
    p.drawLine(QPointF(radius, s.height() - 0.5), QPointF(s.width() - radius, s.height() - 0.5));
    box(p, face, radius, ink.border, ink.top, ink.bottom);
}

void icon(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QString glyph = r.param(QStringLiteral("glyph"));
    const QString state = r.param(QStringLiteral("state"));
    const bool disabled = state == QLatin1String("disabled");
    const QPointF c(s.width() / 2.0, s.height() / 2.0);
    const qreal d = s.width();
    if (glyph == QLatin1String("add")) {
        badge(p, c, d / 2 - 1, kGreen);
        p.setPen(glyphPen(kWhite));
        p.drawLine(c + QPointF(-3.5, 0), c + QPointF(3.5, 0));
        p.drawLine(c + QPointF(0, -3.5), c + QPointF(0, 3.5));
    } else if (glyph == QLatin1String("save")) {
        checkMark(p, QRectF(0, 0, d, d), kGreen);
    } else if (glyph == QLatin1String("cancel")) {
        cross(p, c, 4, kInkLight);
    } else if (glyph == QLatin1String("delete")) {
        badge(p, c, d / 2 - 1, state == QLatin1String("hover") ? kRed : kInkFaint);
        cross(p, c, 2.75, kWhite);
    } else if (glyph == QLatin1String("trash")) {
        p.setPen(glyphPen(kInkMid));
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(3, 4.5), QPointF(13, 4.5));
        p.drawLine(QPointF(6.5, 4.5), QPointF(6.5, 2.5));
        p.drawLine(QPointF(6.5, 2.5), QPointF(9.5, 2.5));
        p.drawLine(QPointF(9.5, 2.5), QPointF(9.5, 4.5));
        p.drawPolyline(QPolygonF() << QPointF(4.5, 6.5) << QPointF(5.25, 13.5) << QPointF(10.75, 13.5)
                                   << QPointF(11.5, 6.5));
        p.drawLine(QPointF(7, 7.5), QPointF(7, 11.5));
        p.drawLine(QPointF(9, 7.5), QPointF(9, 11.5));
    } else if (glyph == QLatin1String("search")) {
        p.setPen(glyphPen(kInkMid));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(6.75, 6.75), 4.25, 4.25);
        p.drawLine(QPointF(10, 10), QPointF(13.5, 13.5));
    } else if (glyph == QLatin1String("link")) {
        QColor ink = kGreen;
        if (state == QLatin1String("hover"))
            ink = kGreenDark;
        else if (state == QLatin1String("pressed"))
            ink = kGreenDark.darker(115);
        else if (disabled)
            ink = kInkFaint;
        chevron(p, c, 4, QStringLiteral("right"), ink);
    } else {
        const QRectF disc(1.5, 1.5, d - 3, d - 3);
        QColor fill(255, 255, 255);
        if (state == QLatin1String("hover"))
            fill = QColor(240, 240, 241);
        else if (state == QLatin1String("pressed"))
            fill = QColor(226, 226, 227);
        p.setPen(QPen(disabled ? kBorderLight : kBorder, 1));
        p.setBrush(fill);
        p.drawEllipse(disc);
        chevron(p, c + QPointF(0.5, 0), 3.5, QStringLiteral("right"), glyphInk(state));
    }
}

void dnd(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QString kind = r.param(QStringLiteral("kind"));
    if (r.intParam(QStringLiteral("semi")) != 0)
        p.setOpacity(0.55);
    const QPointF c(s.width() / 2.0, s.height() / 2.0);
    if (kind == QLatin1String("bubble")) {
        const QRectF body(3.5, 4.5, 25, 18);
        softShadow(p, s, body, 4, 2, 80, 2);
        QPainterPath path = roundedPath(body, 4, 4, 4, 4);
        QPainterPath tail;
        tail.moveTo(8, 22);
        tail.lineTo(8, 28.5);
        tail.lineTo(15, 22);
        tail.closeSubpath();
        box(p, path.united(tail), kBorder, kWhite, QColor(246, 246, 247));
        p.setPen(QPen(kBorderLight, kStroke, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 10.5), QPointF(24, 10.5));
        p.drawLine(QPointF(8, 15.5), QPointF(19, 15.5));
    } else if (kind == QLatin1String("copy")) {
        softShadow(p, s, QRectF(5, 5, 22, 22), 11, 2, 80, 1.5);
        badge(p, c, 10.5, kGreen);
        p.setPen(glyphPen(kWhite, 2));
        p.drawLine(c + QPointF(-5, 0), c + QPointF(5, 0));
        p.drawLine(c + QPointF(0, -5), c + QPointF(0, 5));
    } else if (kind == QLatin1String("move")) {
        softShadow(p, s, QRectF(5, 5, 22, 22), 11, 2, 80, 1.5);
        badge(p, c, 10.5, kInkMid);
        p.setPen(glyphPen(kWhite, 2));
        p.drawLine(c + QPointF(-5, 0), c + QPointF(5, 0));
        p.drawPolyline(QPolygonF() << c + QPointF(1.5, -4) << c + QPointF(5.5, 0) << c + QPointF(1.5, 4));
    } else if (kind == QLatin1String("notallowed")) {
        softShadow(p, s, QRectF(5, 5, 22, 22), 11, 2, 80, 1.5);
        badge(p, c, 10.5, kRed);
        p.setPen(glyphPen(kWhite, 2.5));
        p.drawLine(c + QPointF(-5, 0), c + QPointF(5, 0));
    } else if (kind == QLatin1String("paper")) {
        const qreal l = 7.5, t = 3.5, w = 17, h = 24, fold = 6;
        softShadow(p, s, QRectF(l, t, w, h), 1, 2, 70, 1.5);
        QPainterPath sheet;
        sheet.moveTo(l, t);
        sheet.lineTo(l + w - fold, t);
        sheet.lineTo(l + w, t + fold);
        sheet.lineTo(l + w, t + h);
        sheet.lineTo(l, t + h);
        sheet.closeSubpath();
        box(p, sheet, kBorder, kWhite, QColor(248, 248, 248));
        p.setBrush(kBorderLight);
        p.drawPolygon(QPolygonF() << QPointF(l + w - fold, t) << QPointF(l + w - fold, t + fold)
                                  << QPointF(l + w, t + fold));
        p.setPen(QPen(kBorderLight, kStroke, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 4; ++i)
            p.drawLine(QPointF(l + 3.5, t + 10 + 3.5 * i),
                       QPointF(l + w - (i == 3 ? 7 : 3.5), t + 10 + 3.5 * i));
    } else {
        QPolygonF pointer;
        pointer << QPointF(8.5, 4.5) << QPointF(8.5, 24.5) << QPointF(13, 20) << QPointF(16, 27)
                << QPointF(19, 25.75) << QPointF(16, 18.75) << QPointF(22.5, 18.75);
        QPainterPath path;
        path.addPolygon(pointer);
        path.closeSubpath();
        softShadow(p, s, path.boundingRect().adjusted(2, 2, -2, -2), 2, 1, 60, 1);
        p.setPen(QPen(Qt::black, 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.setBrush(kWhite);
        p.drawPath(path);
    }
}

// ---- Flickr provider ------------------------------------------------------

// The small Flickr mark of this program: a slate tile with a white camera glyph.
void flickrLogo(QPainter& p, const SArtRecipe&, QSize s)
{
    const qreal w = s.width();
    const qreal h = s.height();
    box(p, QRectF(0.5, 0.5, w - 1, h - 1), 3, QColor(62, 82, 110), QColor(104, 128, 160),
        QColor(76, 98, 128));
    const QRectF body(w * 0.19, h * 0.34, w * 0.62, h * 0.44);
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    p.drawRoundedRect(body, 1.2, 1.2);
    p.drawRect(QRectF(w * 0.36, h * 0.25, w * 0.22, h * 0.12));
    p.setBrush(QColor(76, 98, 128));
    const qreal lens = h * 0.26;
    p.drawEllipse(QRectF(body.center().x() - lens / 2, body.center().y() - lens / 2, lens, lens));
}

// ---- Product images (the product style's icon and shadows) ----

// The product mark: a speech bubble in the product colour on a white tile, with two feed lines
// inside it. The tile's thin border keeps its edge visible on white surfaces.
void meskMark(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QColor green(r.param(QStringLiteral("colour"), QStringLiteral("#81C119")));
    const qreal d = std::min(s.width(), s.height());
    box(p, QRectF(0.5, 0.5, d - 1, d - 1), d * 0.2, alpha(green.darker(115), 150), kWhite, kWhite);
    const qreal m = std::max(2.0, d * 0.14);
    const QRectF bubble(m, m, d - 2 * m, (d - 2 * m) * 0.74);
    QPainterPath path;
    path.addRoundedRect(bubble, bubble.height() * 0.3, bubble.height() * 0.3);
    QPolygonF tail;
    tail << QPointF(bubble.left() + bubble.width() * 0.22, bubble.bottom() - 1)
         << QPointF(bubble.left() + bubble.width() * 0.18, d - m * 0.75)
         << QPointF(bubble.left() + bubble.width() * 0.48, bubble.bottom() - 1);
    path.addPolygon(tail);
    path.setFillRule(Qt::WindingFill);
    p.setPen(Qt::NoPen);
    p.setBrush(green);
    p.drawPath(path.simplified());
    // Small sizes: 2-px lines on whole pixel rows, so they stay crisp at 16 px.
    const bool small = d <= 20;
    const qreal line = small ? 2.0 : std::max(1.5, d * 0.1);
    p.setPen(QPen(kWhite, line, Qt::SolidLine, small ? Qt::FlatCap : Qt::RoundCap));
    const auto snap = [small](qreal v) { return small ? qreal(qRound(v)) : v; };
    const qreal left = snap(bubble.left() + bubble.width() * 0.24);
    const qreal y1 = snap(bubble.top() + bubble.height() * 0.36);
    const qreal y2 = snap(bubble.top() + bubble.height() * 0.66);
    p.drawLine(QPointF(left, y1), QPointF(snap(bubble.right() - bubble.width() * 0.24), y1));
    p.drawLine(QPointF(left, y2), QPointF(snap(bubble.right() - bubble.width() * 0.42), y2));
}

// The shadow around a framed picture: only the outer ring (ring= px) is painted, soft grey,
// strongest at its inner edge and along the bottom and right; the centre stays transparent.
void ringShadow(QPainter& p, const SArtRecipe& r, QSize s)
{
    const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    const qreal ring = std::max(1, r.intParam(QStringLiteral("ring"), 3));
    QImage image = newImage((QSizeF(s) * ratio).toSize());
    const QRectF inner = QRectF(QPointF(0, 0), QSizeF(s)).adjusted(ring, ring, -ring, -ring);
    for (int y = 0; y < image.height(); ++y) {
        QRgb* scan = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            // Pixel centre in logical units and its offset from the inner rectangle.
            const qreal px = (x + 0.5) / ratio;
            const qreal py = (y + 0.5) / ratio;
            const qreal dx =
                px < inner.left() ? px - inner.left() : (px > inner.right() ? px - inner.right() : 0);
            const qreal dy =
                py < inner.top() ? py - inner.top() : (py > inner.bottom() ? py - inner.bottom() : 0);
            const qreal dist = std::hypot(dx, dy);
            if (dist <= 0 || dist >= ring)
                continue;
            // Weight 1 below and to the right, 0 above and to the left.
            const qreal toward =
                (std::max<qreal>(0, dx) + std::max<qreal>(0, dy)) / (std::abs(dx) + std::abs(dy));
            const qreal falloff = std::pow(1 - dist / ring, 1.4);
            const int a = std::clamp(qRound((55 + 85 * toward) * falloff), 0, 255);
            scan[x] = qPremultiply(qRgba(60, 60, 60, a));
        }
    }
    image.setDevicePixelRatio(ratio);
    p.drawImage(QPointF(0, 0), image);
}

// ---- end of product images ----

// Facebook provider: the default profile picture, a grey head-and-shoulders
// silhouette on a light grey square.
void silhouette(QPainter& p, const SArtRecipe&, QSize s)
{
    const qreal w = s.width();
    const qreal h = s.height();
    p.fillRect(QRectF(0, 0, w, h), QColor(226, 229, 233));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(170, 176, 184));
    const qreal head = w * 0.19;
    p.drawEllipse(QPointF(w / 2, h * 0.38), head, head * 1.08);
    QPainterPath shoulders;
    shoulders.moveTo(w * 0.12, h);
    shoulders.cubicTo(w * 0.12, h * 0.72, w * 0.3, h * 0.64, w / 2, h * 0.64);
    shoulders.cubicTo(w * 0.7, h * 0.64, w * 0.88, h * 0.72, w * 0.88, h);
    shoulders.closeSubpath();
    p.drawPath(shoulders);
}

// Facebook provider: the small service mark, a blue rounded tile with a white
// speech bubble holding three dots.
void serviceTile(QPainter& p, const SArtRecipe&, QSize s)
{
    const qreal d = std::min(s.width(), s.height());
    box(p, QRectF(0.5, 0.5, d - 1, d - 1), d * 0.2, QColor(45, 72, 128), QColor(86, 120, 186),
        QColor(59, 92, 160));
    const QRectF bubble(d * 0.2, d * 0.24, d * 0.6, d * 0.42);
    QPainterPath path;
    path.addRoundedRect(bubble, d * 0.12, d * 0.12);
    QPolygonF tail;
    tail << QPointF(d * 0.32, bubble.bottom() - 0.5) << QPointF(d * 0.28, d * 0.8)
         << QPointF(d * 0.5, bubble.bottom() - 0.5);
    path.addPolygon(tail);
    path.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    p.drawPath(path.simplified());
    p.setBrush(QColor(59, 92, 160));
    const qreal dot = std::max(0.6, d * 0.045);
    for (int i = -1; i <= 1; ++i)
        p.drawEllipse(QPointF(d / 2 + i * d * 0.15, bubble.center().y()), dot, dot);
}

// ---- Twitter provider -----------------------------------------------------

// The small Twitter mark of this program: a sky-blue tile with a white speech bubble.
void twitterLogo(QPainter& p, const SArtRecipe&, QSize s)
{
    const qreal w = s.width();
    const qreal h = s.height();
    box(p, QRectF(0.5, 0.5, w - 1, h - 1), 3, QColor(40, 120, 170), QColor(110, 190, 235),
        QColor(60, 150, 205));
    QPainterPath bubble;
    const QRectF body(w * 0.18, h * 0.22, w * 0.64, h * 0.44);
    bubble.addRoundedRect(body, h * 0.14, h * 0.14);
    QPainterPath tail;
    tail.moveTo(w * 0.32, body.bottom() - 0.5);
    tail.lineTo(w * 0.28, h * 0.82);
    tail.lineTo(w * 0.5, body.bottom() - 0.5);
    tail.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    p.drawPath(bubble.united(tail));
}

// ---- Text messages ---------------------------------------------------------

// The default picture of a person the program has no picture of: a head-and-shoulders
// silhouette on a rounded tile. The colours are parameters (border=, top=, bottom= of the tile,
// figure= and figure2= of the silhouette's gradient), so each service keeps its own tint.
void avatarTile(QPainter& p, const SArtRecipe& r, QSize s)
{
    const auto colour = [&r](const char* key, const char* fallback) {
        return QColor(r.param(QLatin1String(key), QLatin1String(fallback)));
    };
    const qreal w = s.width();
    const qreal h = s.height();
    const QRectF tile(0.5, 0.5, w - 1, h - 1);
    box(p, tile, 3, colour("border", "#C4C4C4"), colour("top", "#F0F0F0"), colour("bottom", "#DEDEDE"));
    QPainterPath clip;
    clip.addRoundedRect(tile.adjusted(0.5, 0.5, -0.5, -0.5), 2.5, 2.5);
    p.save();
    p.setClipPath(clip);
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(QRectF(0, 0, w, h), colour("figure", "#AAAAAA"), colour("figure2", "#8C8C8C")));
    p.drawEllipse(QRectF(w * 0.15, h * 0.63, w * 0.7, h * 0.6));
    p.drawEllipse(QRectF(w * 0.32, h * 0.19, w * 0.36, h * 0.37));
    p.restore();
}

// The small text-message mark: a speech bubble in the product green with two text lines.
void smsLogo(QPainter& p, const SArtRecipe&, QSize s)
{
    const qreal w = s.width();
    const qreal h = s.height();
    const QColor green(0x81, 0xC1, 0x19);
    const QRectF body(w * 0.06, h * 0.1, w * 0.88, h * 0.6);
    QPainterPath bubble;
    bubble.addRoundedRect(body, h * 0.16, h * 0.16);
    QPainterPath tail;
    tail.moveTo(w * 0.24, body.bottom() - 0.5);
    tail.lineTo(w * 0.2, h * 0.92);
    tail.lineTo(w * 0.5, body.bottom() - 0.5);
    tail.closeSubpath();
    p.setPen(QPen(green.darker(125), 1));
    p.setBrush(green);
    p.drawPath(bubble.united(tail));
    p.setPen(QPen(kWhite, 1.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(w * 0.24, h * 0.32), QPointF(w * 0.76, h * 0.32));
    p.drawLine(QPointF(w * 0.24, h * 0.5), QPointF(w * 0.6, h * 0.5));
}

// The welcome page's background: white fading downwards to a pale green, crossed by a few faint
// diagonal bands so the page is not flat, with nothing that competes with the text over it.
void welcomeBackdrop(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QColor bottom(r.param(QStringLiteral("colour"), QStringLiteral("#F1F8E6")));
    QLinearGradient fade(0, 0, 0, s.height());
    fade.setColorAt(0, kWhite);
    fade.setColorAt(1, bottom);
    p.fillRect(QRectF(QPointF(0, 0), QSizeF(s)), fade);
    p.setPen(Qt::NoPen);
    const qreal w = s.width();
    const qreal h = s.height();
    const qreal bands[][2] = {{0.15, 0.10}, {0.45, 0.06}, {0.70, 0.12}};
    for (const auto& band : bands) {
        QColor tint(129, 193, 25, 10);
        p.setBrush(tint);
        const qreal x = band[0] * w;
        const qreal width = band[1] * w;
        QPolygonF poly;
        poly << QPointF(x, h) << QPointF(x + width, h) << QPointF(x + width + h * 0.6, 0)
             << QPointF(x + h * 0.6, 0);
        p.drawPolygon(poly);
    }
}

// The empty-stream mark: a light-grey sheet with three blank feed rows (a round avatar and two
// text lines each), drawn as outlines so it reads as "nothing here yet".
void emptyStream(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QColor grey(r.param(QStringLiteral("colour"), QStringLiteral("#C8C8C8")));
    const qreal d = std::min(s.width(), s.height());
    const qreal line = std::max(1.0, d / 32.0);
    const QRectF sheet(d * 0.12, d * 0.06, d * 0.76, d * 0.88);
    p.setPen(QPen(grey, line));
    p.setBrush(kWhite);
    p.drawRoundedRect(sheet.adjusted(line / 2, line / 2, -line / 2, -line / 2), d * 0.08, d * 0.08);
    p.setPen(QPen(grey, line * 1.5, Qt::SolidLine, Qt::RoundCap));
    const qreal rowHeight = sheet.height() / 3.0;
    for (int row = 0; row < 3; ++row) {
        const qreal top = sheet.top() + row * rowHeight;
        const qreal cy = top + rowHeight / 2;
        const qreal radius = rowHeight * 0.2;
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(sheet.left() + d * 0.16, cy), radius, radius);
        const qreal left = sheet.left() + d * 0.3;
        p.drawLine(QPointF(left, cy - rowHeight * 0.12),
                   QPointF(sheet.right() - d * 0.1, cy - rowHeight * 0.12));
        p.drawLine(QPointF(left, cy + rowHeight * 0.14),
                   QPointF(sheet.right() - d * 0.24, cy + rowHeight * 0.14));
        if (row < 2) {
            p.setPen(QPen(grey, line, Qt::DotLine));
            p.drawLine(QPointF(sheet.left() + d * 0.06, top + rowHeight),
                       QPointF(sheet.right() - d * 0.06, top + rowHeight));
            p.setPen(QPen(grey, line * 1.5, Qt::SolidLine, Qt::RoundCap));
        }
    }
}

// ---- Main window bars: the toolbar's arrow, the bottom bar's settings and view-mode icons ----

// A filled chevron pointing down: a "V" of stroke thickness closed into one solid shape.
void chevronFill(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QColor ink(r.param(QStringLiteral("colour"), QStringLiteral("#81C119")));
    const qreal w = s.width();
    const qreal h = s.height();
    const qreal t = h * 0.45;
    QPolygonF shape;
    shape << QPointF(0, 0) << QPointF(t * 0.9, 0) << QPointF(w / 2, h - t) << QPointF(w - t * 0.9, 0)
          << QPointF(w, 0) << QPointF(w / 2, h);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPolygon(shape);
}

// A small gear: a ring with eight teeth around a transparent hole.
void gear(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QColor ink(r.param(QStringLiteral("colour"), QStringLiteral("#808080")));
    const QPointF c(s.width() / 2.0, s.height() / 2.0);
    const qreal outer = std::min(s.width(), s.height()) / 2.0;
    const qreal body = outer * 0.72;
    QPainterPath path;
    path.addEllipse(c, body, body);
    for (int i = 0; i < 8; ++i) {
        QTransform turn;
        turn.translate(c.x(), c.y());
        turn.rotate(i * 45.0);
        QPainterPath tooth;
        tooth.addRect(QRectF(-outer * 0.2, -outer, outer * 0.4, outer - body * 0.5));
        path = path.united(turn.map(tooth));
    }
    QPainterPath hole;
    hole.addEllipse(c, outer * 0.32, outer * 0.32);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPath(path.subtracted(hole));
}

// A refresh mark: an open ring turning clockwise with an arrow head at its end.
void reload(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QColor ink(r.param(QStringLiteral("colour"), QStringLiteral("#606060")));
    const qreal d = std::min(s.width(), s.height());
    const qreal pen = std::max(1.5, d / 8.0);
    const QRectF ring(pen, pen, d - 2 * pen, d - 2 * pen);
    p.setPen(QPen(ink, pen, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    // From two o'clock round to twelve, leaving a gap for the head.
    p.drawArc(ring, 30 * 16, -300 * 16);
    const QPointF end(ring.center().x() + ring.width() / 2 * std::cos(M_PI / 6),
                      ring.center().y() - ring.height() / 2 * std::sin(M_PI / 6));
    const qreal head = d * 0.3;
    QPolygonF arrowHead;
    arrowHead << QPointF(end.x() - head * 0.9, end.y() - head * 0.1)
              << QPointF(end.x() + head * 0.5, end.y() - head)
              << QPointF(end.x() + head * 0.5, end.y() + head * 0.6);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPolygon(arrowHead);
}

// Column outlines side by side (cols=), each a 1-px frame filling the image's height; a single
// column is half the image wide, in its middle.
void columns(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QColor ink(r.param(QStringLiteral("colour"), QStringLiteral("#606060")));
    const int count = std::max(1, r.intParam(QStringLiteral("cols"), 1));
    const qreal gap = 1.0;
    const qreal width = count > 1 ? (s.width() - gap * (count - 1)) / count : std::round(s.width() / 2.0);
    const qreal left = count > 1 ? 0.0 : std::floor((s.width() - width) / 2);
    p.setPen(QPen(ink, 1));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < count; ++i)
        p.drawRect(QRectF(left + i * (width + gap) + 0.5, 0.5, width - 1, s.height() - 1));
}

// ---- end of main window bars ----

// ---- Media browser: the thumbnail strip's paging arrows ----

// A filled triangle pointing left or right ("dir"), in the given colour.
void stripArrow(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QColor ink(r.param(QStringLiteral("colour"), QStringLiteral("#FFFFFF")));
    triangle(p, QRectF(0.5, 0.5, s.width() - 1, s.height() - 1), r.param(QStringLiteral("dir")), ink);
}

// ---- end of media browser ----

// ---- Settings pages -------------------------------------------------------

// The text-messaging state mark: a small phone, its body in the given colour with a light screen
// and a key dot.
void phoneMark(QPainter& p, const SArtRecipe& r, QSize s)
{
    const QColor ink(r.param(QStringLiteral("colour"), QStringLiteral("#81C119")));
    const qreal w = s.width();
    const qreal h = s.height();
    const QRectF body(w * 0.26, h * 0.06, w * 0.48, h * 0.88);
    p.setPen(QPen(ink.darker(130), 1));
    p.setBrush(ink);
    p.drawRoundedRect(body, w * 0.09, w * 0.09);
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    p.drawRect(QRectF(body.left() + w * 0.07, body.top() + h * 0.12, body.width() - w * 0.14, h * 0.46));
    p.drawEllipse(QPointF(w / 2.0, body.bottom() - h * 0.13), w * 0.06, w * 0.06);
}

const QHash<QString, Painter>& recipes()
{
    static const QHash<QString, Painter> table = {
        {QStringLiteral("scrolltrack"), scrollTrack},
        {QStringLiteral("scrollslider"), scrollSlider},
        {QStringLiteral("scrollbutton"), scrollButton},
        {QStringLiteral("titlebar"), titleBar},
        {QStringLiteral("bottombar"), bottomBar},
        {QStringLiteral("toolbar"), toolBar},
        {QStringLiteral("appicon"), appIcon},
        {QStringLiteral("titlebutton"), titleButton},
        {QStringLiteral("sizegrip"), sizeGrip},
        {QStringLiteral("shadow"), shadow},
        {QStringLiteral("card"), card},
        {QStringLiteral("panel"), panel},
        {QStringLiteral("paneheader"), paneHeader},
        {QStringLiteral("makkara"), makkara},
        {QStringLiteral("highlight"), highlight},
        {QStringLiteral("arrow"), arrow},
        {QStringLiteral("combobox"), comboBox},
        {QStringLiteral("secondarytop"), secondaryTop},
        {QStringLiteral("secondarybottom"), secondaryBottom},
        {QStringLiteral("dialogtop"), dialogTop},
        {QStringLiteral("closecross"), closeCross},
        {QStringLiteral("ball"), ball},
        {QStringLiteral("gradientframe"), gradientFrame},
        {QStringLiteral("progresstrack"), progressTrack},
        {QStringLiteral("progressfill"), progressFill},
        {QStringLiteral("progresscap"), progressCap},
        {QStringLiteral("busyshine"), busyShine},
        {QStringLiteral("busystripes"), busyStripes},
        {QStringLiteral("spinner"), spinner},
        {QStringLiteral("lineedit"), lineEdit},
        {QStringLiteral("filterfield"), filterField},
        {QStringLiteral("phase"), phase},
        {QStringLiteral("indicator"), indicator},
        {QStringLiteral("actiontip"), actionTip},
        {QStringLiteral("restoretip"), restoreTip},
        {QStringLiteral("tooltip"), toolTip},
        {QStringLiteral("tiparrow"), tipArrow},
        {QStringLiteral("tooltiparrowed"), toolTipArrowed},
        {QStringLiteral("pill"), pill},
        {QStringLiteral("segment"), segment},
        {QStringLiteral("grip"), grip},
        {QStringLiteral("selection"), selection},
        {QStringLiteral("tab"), tab},
        {QStringLiteral("sliderhandle"), sliderHandle},
        {QStringLiteral("slidergroove"), sliderGroove},
        {QStringLiteral("button"), button},
        {QStringLiteral("icon"), icon},
        {QStringLiteral("dnd"), dnd},
        // Flickr provider.
        {QStringLiteral("flickrlogo"), flickrLogo},
        // Product images.
        {QStringLiteral("meskmark"), meskMark},
        {QStringLiteral("ringshadow"), ringShadow},
        {QStringLiteral("emptystream"), emptyStream},
        {QStringLiteral("welcomebackdrop"), welcomeBackdrop},
        // Facebook provider
        {QStringLiteral("silhouette"), silhouette},
        {QStringLiteral("servicetile"), serviceTile},
        // Twitter provider.
        {QStringLiteral("twitterlogo"), twitterLogo},
        // Main window bars.
        {QStringLiteral("chevronfill"), chevronFill},
        {QStringLiteral("gear"), gear},
        {QStringLiteral("columns"), columns},
        {QStringLiteral("reload"), reload},
        // Text messages.
        {QStringLiteral("avatartile"), avatarTile},
        {QStringLiteral("smslogo"), smsLogo},
        // Media browser.
        {QStringLiteral("striparrow"), stripArrow},
        // Settings pages.
        {QStringLiteral("phonemark"), phoneMark},
    };
    return table;
}

} // namespace

int SArtRecipe::intParam(const QString& key, int fallback) const
{
    bool ok = false;
    const int value = params.value(key).toInt(&ok);
    return ok ? value : fallback;
}

QImage drawRecipe(const SArtRecipe& recipe, int scale)
{
    const auto it = recipes().constFind(recipe.recipe);
    if (it == recipes().constEnd() || recipe.size.isEmpty() || scale < 1)
        return {};
    // The recipe draws in logical pixels; the device pixel ratio makes the painter scale it.
    QImage image = newImage(recipe.size * scale);
    image.setDevicePixelRatio(scale);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        (*it)(p, recipe, recipe.size);
    }
    return image;
}

QByteArray drawIconFile(const SArtRecipe& recipe)
{
    // The sizes to hold, in order; the table's own size when none are given.
    QList<int> sizes;
    const QString list = recipe.param(QStringLiteral("sizes"));
    for (const QString& part : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int size = part.toInt(&ok);
        if (!ok || size < 1 || size > 256)
            return {};
        sizes.append(size);
    }
    if (sizes.isEmpty())
        sizes.append(recipe.size.width());

    QList<QByteArray> entries;
    for (const int size : std::as_const(sizes)) {
        SArtRecipe one = recipe;
        one.size = QSize(size, size);
        QImage image = drawRecipe(one);
        if (image.isNull())
            return {};
        image.setDevicePixelRatio(1);
        QByteArray png;
        QBuffer buffer(&png);
        if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
            return {};
        entries.append(png);
    }

    // ICO container: header, one 16-byte directory entry per image, then the PNG-encoded images.
    QByteArray out;
    QDataStream stream(&out, QIODevice::WriteOnly);
    stream.setByteOrder(QDataStream::LittleEndian);
    stream << quint16(0) << quint16(1) << quint16(entries.size());
    quint32 offset = quint32(6 + 16 * entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const int size = sizes[i];
        stream << quint8(size >= 256 ? 0 : size) << quint8(size >= 256 ? 0 : size) << quint8(0) << quint8(0)
               << quint16(1) << quint16(32) << quint32(entries[i].size()) << offset;
        offset += quint32(entries[i].size());
    }
    for (const QByteArray& entry : std::as_const(entries))
        stream.writeRawData(entry.constData(), int(entry.size()));
    return out;
}

QString highResolutionPath(const QString& path)
{
    if (path.endsWith(QLatin1String(".ico"), Qt::CaseInsensitive))
        return {};
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot <= slash + 1)
        return path + QLatin1String("@2x");
    return path.left(dot) + QLatin1String("@2x") + path.mid(dot);
}
