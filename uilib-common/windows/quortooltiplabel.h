#pragma once

#include <QBasicTimer>
#include <QLabel>
#include <QPointer>

class CWindowFadeEffect;
class QImage;
class QPainter;

// The library's tooltip window: a text label on a per-pixel-alpha window with
// the style's tooltip frame, placed next to the mouse inside the screen, faded
// in and out, and hidden again by mouse, wheel, focus or activation activity
// anywhere in the application, by leaving its rectangle or when its reading
// time is over. There is at most one label at a time (instance()).
class CQuorToolTipLabel : public QLabel
{
    Q_OBJECT
public:
    // Deletes the previous label, if any, and becomes instance().
    explicit CQuorToolTipLabel(const QString& text, QWidget* parent = nullptr);
    ~CQuorToolTipLabel() override;

    // The current label, null when there is none. A label that has been hidden
    // (and is about to be deleted) is no longer the current one.
    static CQuorToolTipLabel* instance();

    // Deletes the label once control returns to the event loop; it stops
    // being instance() at once, so nothing reuses it in the meantime.
    void scheduleDeletion();

    // Shows another text: resizes the label and restarts its reading time.
    void reuseTip(const QString& text);
    // Whether the tip for text at pos (in o's coordinates) differs from the one shown.
    bool tipChanged(const QPoint& pos, const QString& text, QObject* o) const;
    // A mouse move over widget outside rect (widget coordinates) hides the tip;
    // a null rect does not.
    void setTipRect(QWidget* widget, const QRect& rect);
    void placeTip(const QPoint& globalPos, QWidget* widget);

    bool isFadingIn() const;
    bool isFadingOut() const;
    CWindowFadeEffect* fadeEffect() const { return m_fade; }
    QWidget* tipWidget() const { return m_tipWidget; }
    QRect tipRect() const { return m_tipRect; }

    // Builds a new label for text centred on centre (global) and hides it after timeMs.
    static void showTipAt(const QString& text, const QPoint& centre, int timeMs, bool faded);

    // Reading time of a text in ms: 10 s, and 40 ms more for every character beyond 100.
    static int expiryTime(const QString& text);
    // Top-left corner of a tip of size placed for the mouse at globalPos inside screen.
    static QPoint tipPosition(const QPoint& globalPos, const QSize& size, const QRect& screen,
                              Qt::LayoutDirection direction);
    // Geometry of the screen a tip at globalPos for widget (may be null) goes to.
    static QRect tipScreenGeometry(const QPoint& globalPos, const QWidget* widget);

public slots:
    void onHideTip();
    void onShowTip();

protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    friend class TestQuorToolTipLabel;
    void restartExpireTimer();
    void drawFrame(QPainter* painter) const;
    // The frame alone on transparent, at the label's size.
    QImage framePicture() const;

    QBasicTimer m_expireTimer;
    CWindowFadeEffect* m_fade = nullptr;
    QRect m_tipRect;
    QPointer<QWidget> m_tipWidget;
};
