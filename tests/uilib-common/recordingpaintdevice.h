#pragma once

#include <QList>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPen>
#include <QTextItem>
#include <QTransform>

// A paint device that draws nothing and records every text drawn on it with the pen and
// transformation in effect, so tests can check how text is painted.
class RecordingPaintEngine : public QPaintEngine
{
public:
    struct Text
    {
        QPointF position;
        QString text;
        QPen pen;
        QTransform transform;
    };

    RecordingPaintEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState& state) override
    {
        if (state.state() & DirtyPen)
            m_pen = state.pen();
        if (state.state() & DirtyTransform)
            m_transform = state.transform();
    }
    void drawPixmap(const QRectF& target, const QPixmap& pixmap, const QRectF&) override
    {
        pixmaps.append({target, pixmap.size()});
    }
    void drawTiledPixmap(const QRectF& target, const QPixmap& pixmap, const QPointF&) override
    {
        pixmaps.append({target, pixmap.size()});
    }
    void drawTextItem(const QPointF& position, const QTextItem& item) override
    {
        texts.append({position, item.text(), m_pen, m_transform});
    }
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawPath(const QPainterPath&) override {}
    void drawRects(const QRectF*, int) override {}
    void drawLines(const QLineF* lines, int count) override
    {
        for (int i = 0; i < count; ++i)
            this->lines.append(lines[i]);
    }
    void drawLines(const QLine* lines, int count) override
    {
        for (int i = 0; i < count; ++i)
            this->lines.append(QLineF(lines[i]));
    }
    Type type() const override { return User; }

    struct Pixmap
    {
        QRectF target;
        QSize size;
    };
    QList<Text> texts;
    QList<Pixmap> pixmaps;
    QList<QLineF> lines;

private:
    QPen m_pen;
    QTransform m_transform;
};

class RecordingPaintDevice : public QPaintDevice
{
public:
    QPaintEngine* paintEngine() const override { return &m_engine; }
    const QList<RecordingPaintEngine::Text>& texts() const { return m_engine.texts; }
    const QList<RecordingPaintEngine::Pixmap>& pixmaps() const { return m_engine.pixmaps; }
    const QList<QLineF>& lines() const { return m_engine.lines; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
            return 600;
        case PdmHeight:
            return 200;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDepth:
            return 32;
        case PdmNumColors:
            return 0;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(QPaintDevice::devicePixelRatioFScale());
        case PdmWidthMM:
            return 158;
        case PdmHeightMM:
            return 53;
        }
        return 0;
    }

private:
    mutable RecordingPaintEngine m_engine;
};
