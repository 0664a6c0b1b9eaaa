#pragma once

#include <QImage>
#include <QObject>
#include <QPixmap>

class QTimeLine;

// Scales an image from a start scale up to a peak past its size, holds it and
// settles back at exactly its own size ("bounce").
class CPixmapBouncer : public QObject
{
    Q_OBJECT
public:
    // timeLine null: an own time line of 5000 ms over frames 0..100.
    explicit CPixmapBouncer(QObject* parent, QTimeLine* timeLine = nullptr);

    void setPixmap(const QPixmap& pixmap);
    QPixmap pixmap() const;
    QPixmap currentPixmap() const;

    // Sets the duration and the frame range 0..200 and starts the time line.
    void bounce(int durationMs);

    void setStartScale(double scale);
    double startScale() const;
    void setPeakScale(double scale);
    double peakScale() const;

    bool isRunning() const;
    // 0: forward; anything else: backward.
    void setDirection(int direction);
    QTimeLine* timeLine() const { return m_timeLine; }

    // Scale at the fraction t (0..1) of the bounce.
    static double scaleAt(double t, double startScale, double peakScale);

signals:
    void pixmapUpdated();

private slots:
    void onUpdatePixmap(int progress);

private:
    QTimeLine* m_timeLine;
    QImage m_sourceImage;
    QImage m_currentImage;
    double m_startScaleComplement = 0.6;
    double m_peakScaleExcess = 0.3;
};
