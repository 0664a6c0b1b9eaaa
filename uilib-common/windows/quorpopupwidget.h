#pragma once

#include "style/quorpainting.h"

#include <QPixmap>
#include <QWidget>

class QImage;
class QPainter;

// A frame for floating panels: the style paints the whole area as a nine-patch
// frame image, and one content widget inside takes the caller's layout.
// Created as a window, it is a per-pixel-alpha window (CLayeredWndSurface) that
// turns transparent before it disappears, so it never flashes stale pixels.
// Without a compositor it shows its frame over the window colour, its corners
// cut by a mask. As a window it stays inside its screen's available area (CQuorScreenFit).
class CQuorPopupWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CQuorPopupWidget(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~CQuorPopupWidget() override;

    QWidget* contentWidget() const { return m_contentWidget; }

    // The style draws this nine-patch image instead of its own popup frame while
    // it is not null.
    void setBackground(const QPixmap& pixmap, const SNinePatchMargins& margins);
    QPixmap backgroundPixmap() const { return m_backgroundPixmap; }
    SNinePatchMargins backgroundMargins() const { return m_backgroundMargins; }

    void setVisible(bool visible) override;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void drawFrame(QPainter* painter) const;
    // The frame alone on transparent, at the widget's size.
    QImage framePicture() const;

    QWidget* m_contentWidget;
    QPixmap m_backgroundPixmap;
    SNinePatchMargins m_backgroundMargins;
};
