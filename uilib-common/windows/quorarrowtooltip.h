#pragma once

#include <QLabel>
#include <QPointer>
#include <QWidget>

class CWindowFadeEffect;
class QImage;
class QPainter;

// A tooltip bubble with an arrow pointing at a point: an optional icon and a
// word-wrapped text, or any custom widget instead, painted by the style on a
// per-pixel-alpha window and faded in and out. Installed as event filter on the
// widget it belongs to, it shows on that widget's tooltip events, fades out when
// the mouse leaves it and goes away with it.
class CQuorArrowToolTip : public QWidget
{
    Q_OBJECT
public:
    explicit CQuorArrowToolTip(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::ToolTip);
    ~CQuorArrowToolTip() override;

    // Places the bubble so that its arrow points at globalPos and fades it in. The bubble stays
    // inside the screen's available area: where it does not fit, the arrow goes to the other side
    // (alignment() then tells the side shown), and where neither side fits it slides along the edge.
    virtual void showAt(const QPoint& globalPos);
    // Fades the bubble out.
    virtual void hideTip();
    void showTip(const QPoint& globalPos) { showAt(globalPos); }

    void setText(const QString& text);
    QString text() const { return m_textLabel.text(); }
    void setPixmap(const QPixmap& pixmap);
    // Shows w (which becomes a child of the bubble) instead of icon and text; a
    // widget replaced or taken out by null is hidden, not deleted. Null brings
    // back the labels that have content.
    void setWidget(QWidget* w);
    QWidget* widget() const { return m_customWidget; }
    // Take the text from the watched widget's tooltip when it asks for one.
    void setTextFromWidget(bool fromWidget) { m_textFromWidget = fromWidget; }
    bool textFromWidget() const { return m_textFromWidget; }
    // Where the arrow is (Qt::AlignBottom: the bubble sits above its point);
    // left and right follow the layout direction. alignment() is the side of the
    // last showing, which showAt() may have flipped to keep the bubble on screen.
    void setAlignment(Qt::Alignment alignment);
    Qt::Alignment alignment() const { return m_alignment; }

    CWindowFadeEffect* fadeEffect() const { return m_fade; }
    const QLabel* iconLabel() const { return &m_iconLabel; }
    const QLabel* textLabel() const { return &m_textLabel; }

    void setVisible(bool visible) override;
    bool eventFilter(QObject* o, QEvent* e) override;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void setArrowSide(Qt::Alignment alignment);
    // The bubble for the arrow at alignment pointing at globalPos.
    QRect bubbleRect(const QPoint& globalPos, Qt::Alignment alignment) const;
    // The bubble inside the screen's available area; alignment becomes the side that fits.
    QRect placeBubble(const QPoint& globalPos, Qt::Alignment* alignment) const;
    void drawFrame(QPainter* painter) const;
    // The bubble's frame alone on transparent, at its size.
    QImage framePicture() const;

    QLabel m_iconLabel;
    QLabel m_textLabel;
    QPointer<QWidget> m_customWidget;
    bool m_textFromWidget = false;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignTop;
    Qt::Alignment m_preferredAlignment = Qt::AlignLeft | Qt::AlignTop;
    CWindowFadeEffect* m_fade = nullptr;
};
