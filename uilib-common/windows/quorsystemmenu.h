#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

class QMenu;

// The window-icon button at the left of a caption: a press opens the window's menu below
// the icon, a second press within the double-click interval (or a double click) reports
// doubleClicked().
class CQuorSystemMenu : public QWidget
{
    Q_OBJECT

public:
    explicit CQuorSystemMenu(QWidget* parent = nullptr);
    ~CQuorSystemMenu() override;

    void setMenu(QMenu* menu);
    QMenu* menu() const;

    // Where the menu opens: below the icon, its left edge at the icon's left edge, or in a
    // right-to-left layout its right edge at the icon's right edge.
    QPoint menuPosition() const;

signals:
    void doubleClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<QMenu> m_menu;
    QElapsedTimer m_lastPress;
};
