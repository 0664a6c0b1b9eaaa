#pragma once

#include "widgets/quoroptiongroup.h"

#include <QWidget>

class CMeskFilterBox;
class CQuorGradientButton;
class CQuorToolButton;

// The two-segment switch between the single-column stream and the multi-column view. Clicking
// a segment reports its mode, also when it is already on.
class CMeskViewModeSwitch : public CQuorOptionGroup
{
    Q_OBJECT

public:
    explicit CMeskViewModeSwitch(bool multiColumn, QWidget* parent = nullptr);

signals:
    void singleColumnMode();
    void multiColumnMode();
};

// The strip at the foot of the main window. Feeds mode: the view-mode switch, the settings
// button and, in single-column mode, the filter box. Settings mode: Cancel and Save instead of
// the filter box. It only emits signals.
class CMeskBottomBar : public QWidget
{
    Q_OBJECT

public:
    explicit CMeskBottomBar(bool multiColumn, QWidget* parent = nullptr);

    void setSingleColumnMode();
    void setMultiColumnMode();
    void showFeedsMode();
    void showSettingsMode();
    // Empties the filter box and reports it with clearFilter(), so the feeds drop the filter too.
    void resetFilter();

    CMeskViewModeSwitch* viewModeSwitch() const { return m_switch; }
    CQuorToolButton* settingsButtonWidget() const { return m_settingsButton; }
    CMeskFilterBox* filterBox() const { return m_filterBox; }
    CQuorGradientButton* saveButton() const { return m_saveButton; }
    CQuorGradientButton* cancelButton() const { return m_cancelButton; }

signals:
    void settingsButton();
    void singleColumnMode();
    void multiColumnMode();
    void filterText(const QString& text);
    void clearFilter();
    void saveSettings();
    void closeSettings();

private:
    void updateVisibility();

    CMeskViewModeSwitch* m_switch = nullptr;
    CQuorToolButton* m_settingsButton = nullptr;
    CMeskFilterBox* m_filterBox = nullptr;
    CQuorGradientButton* m_saveButton = nullptr;
    CQuorGradientButton* m_cancelButton = nullptr;
    bool m_singleColumn = true;
    bool m_feedsMode = true;
};

// The slim scroller over the service columns of the multi-column view. Its handle shows which
// columns are visible; a press beside the handle or a drag of it scrolls the columns one whole
// column at a time and reports the first visible column with scrollColumns(). With nothing to
// scroll it draws nothing and ignores the pointer.
class CMeskColumnHScroll : public QWidget
{
    Q_OBJECT

public:
    explicit CMeskColumnHScroll(QWidget* parent = nullptr);

    // The columns that fit and all columns. Keeps the first column in range without reporting it.
    void setColumns(int visible, int total);
    // Shows the columns from n on and reports it; a column out of range is ignored.
    void setCurrentColumn(int n);
    int currentColumn() const { return m_first; }

    int handleX() const { return m_handleX; }
    int handleWidth() const { return m_handleWidth; }
    double step() const { return m_step; }

signals:
    void scrollColumns(int first);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void scrollLeft();
    void scrollRight();
    void updateHandle();
    // Nothing to scroll: fewer columns than fit, or no room for the handle to travel.
    bool canScroll() const { return m_total > m_visible && m_step > 0; }
    // The handle at the first column's place, repainted, and the column reported.
    void moveToFirst();

    double m_step = 0;
    int m_handleWidth = 0;
    int m_handleX = 0;
    int m_first = 0;
    int m_visible = 0;
    int m_total = 0;
    bool m_dragging = false;
    int m_lastX = 0;
};
