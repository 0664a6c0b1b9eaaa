#pragma once

#include <QColor>
#include <QObject>

class QTimeLine;

// Interpolates from one colour to another along a time line that its user runs.
class CColorMorpher : public QObject
{
    Q_OBJECT
public:
    // timeLine null: an own time line of 500 ms over frames 0..100.
    explicit CColorMorpher(QObject* parent, QTimeLine* timeLine = nullptr);

    void setColors(const QColor& from, const QColor& to);
    void setFrom(const QColor& from);
    void setTo(const QColor& to);
    QColor fromColor() const { return m_fromColor; }
    QColor toColor() const { return m_toColor; }
    QColor currentColor() const;
    QTimeLine* timeLine() const { return m_timeLine; }

signals:
    void colorUpdated();

public slots:
    void updateColor(int progress);

private:
    void computeSteps();

    QTimeLine* m_timeLine;
    QColor m_fromColor;
    QColor m_toColor;
    int m_frame = 0;
    // Change of red, green, blue and alpha per frame; unset while the time line
    // had no frames to spread the change over.
    double m_steps[4] = {0, 0, 0, 0};
    bool m_hasSteps = false;
    int m_frames = 0;
};
