#pragma once

#include <QObject>
#include <QPointer>

class QTimeLine;
class QWidget;
class CLayeredWndSurface;

// Fades a widget by writing an opacity (0.0 .. 1.0) that the widget's own
// painting reads. Without a widget parent only the value changes.
class CFadeEffect : public QObject
{
    Q_OBJECT
public:
    // timeLine null: an own time line of 300 ms over frames 0..100.
    // opacity is owned by the caller and must outlive the effect; null writes nothing.
    CFadeEffect(QObject* parent, double* opacity, QTimeLine* timeLine = nullptr);

    // Starts the fade (the time line restarts unless it runs; then only the duration changes).
    // A forward fade starts from opacity 0.0 and shows the widget.
    void fade(int durationMs);
    // 1: backward (fade out); anything else: forward (fade in).
    void setDirection(int direction);
    bool isRunning() const;
    bool isBackward() const;
    QTimeLine* timeLine() const { return m_timeLine; }

private slots:
    void onFadeUpdated(int iProgress);

private:
    QWidget* m_widget;
    QTimeLine* m_timeLine;
    double* m_opacity;
};

// Fades a top-level window through the constant alpha of its CLayeredWndSurface,
// showing it at the start of a fade-in and hiding it at the end of a fade-out.
// A window without a surface is still shown and hidden at the ends.
class CWindowFadeEffect : public QObject
{
    Q_OBJECT
public:
    // timeLine null: an own time line of 300 ms; any time line gets frames 0..255.
    explicit CWindowFadeEffect(QWidget* window, QTimeLine* timeLine = nullptr);

    void fade(int durationMs);
    void setDirection(int direction);
    bool isRunning() const;
    bool isBackward() const;
    QTimeLine* timeLine() const { return m_timeLine; }

private slots:
    void onFadeUpdated(int iProgress);

private:
    QPointer<QWidget> m_window;
    QTimeLine* m_timeLine;
    QPointer<CLayeredWndSurface> m_surface;
};
