#pragma once

#include "windows/quordraggabletitlebar.h"

#include <QStyle>

class CQuorMenu;
class CQuorSystemMenu;
class CQuorTextLabel;
class QAction;
class QHBoxLayout;
class QToolButton;

// The caption strip of the frameless main window: the window icon, the caption, Minimize and
// Close, and the window's system menu (Restore, Minimize, Exit), which a right click in the bar
// opens at the cursor. Dragging the bar moves the window (the base class). The menu entries and
// the caption buttons act on the window given as parent.
class CMeskMainTitleBar : public CQuorDraggableTitleBar
{
    Q_OBJECT

public:
    explicit CMeskMainTitleBar(QWidget* parent);
    ~CMeskMainTitleBar() override;

    void setTitle(const QString& title);
    QString title() const;

    // Opens the system menu at the cursor: below it, or above it while the window is minimised.
    void showSystemMenu();
    // Opens the system menu above the cursor, as a taskbar entry asks for it.
    void showTaskbarMenu();

    QToolButton* minimizeButton() const { return m_minimizeButton; }
    QToolButton* closeButton() const { return m_closeButton; }
    CQuorMenu* systemMenu() const { return m_systemMenu; }
    QAction* restoreAction() const { return m_restoreAction; }
    QAction* minimizeAction() const { return m_minimizeAction; }
    QAction* exitAction() const { return m_exitAction; }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void createCaptionButtons();
    QToolButton* createToolButton(QStyle::StandardPixmap pixmap, const QString& text);
    // Restore only for a window that is minimised and nothing else; Minimize otherwise.
    void updateMenuActions();

    CQuorTextLabel* m_caption = nullptr;
    QHBoxLayout* m_layout = nullptr;
    QToolButton* m_minimizeButton = nullptr;
    QToolButton* m_closeButton = nullptr;
    CQuorMenu* m_systemMenu = nullptr;
    QAction* m_restoreAction = nullptr;
    QAction* m_minimizeAction = nullptr;
    QAction* m_exitAction = nullptr;
    CQuorSystemMenu* m_iconWidget = nullptr;
};
