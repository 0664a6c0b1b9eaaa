#include "mainwindow/meskbottombar.h"

#include "mesksmallwidgets.h"
#include "meskuistyle.h"
#include "style/quorimages.h"
#include "widgets/quorbuttons.h"

#include <QHBoxLayout>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

namespace {

// The product style's metric; the fallback under any other style.
int meskMetric(const QWidget* widget, unsigned int metric, int fallback)
{
    const int value = widget->style()->pixelMetric(QStyle::PixelMetric(metric), nullptr, widget);
    return value > 0 ? value : fallback;
}

QIcon imageIcon(const QString& name)
{
    return QIcon(QuorImages::pixmap(CMeskUiStyle::imageRoot() + name));
}

} // namespace

CMeskViewModeSwitch::CMeskViewModeSwitch(bool multiColumn, QWidget* parent) : CQuorOptionGroup(parent, 3)
{
    setOptionCount(2);
    setFixedHeight(29);
    const QSize iconSize(15, 12);
    button(0)->setIcon(imageIcon(QStringLiteral("view_mode_normal.png")));
    button(0)->setIconSize(iconSize);
    button(1)->setIcon(imageIcon(QStringLiteral("view_mode_grid.png")));
    button(1)->setIconSize(iconSize);
    // Before any connection, so the starting mode is not reported.
    if (multiColumn)
        setSelected(1);
    connect(button(0), &QPushButton::clicked, this, &CMeskViewModeSwitch::singleColumnMode);
    connect(button(1), &QPushButton::clicked, this, &CMeskViewModeSwitch::multiColumnMode);
    setProperty("com_velto_mesk_qstyleRole", QStringLiteral("mesk.uilibrary.viewmodeswitch"));
}

CMeskBottomBar::CMeskBottomBar(bool multiColumn, QWidget* parent) : QWidget(parent)
{
    setFixedHeight(meskMetric(this, CMeskUiStyle::PM_MeskBottomBarHeight, 35));
    auto* layout = new QHBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);

    m_switch = new CMeskViewModeSwitch(multiColumn, this);
    connect(m_switch, &CMeskViewModeSwitch::singleColumnMode, this, &CMeskBottomBar::singleColumnMode);
    connect(m_switch, &CMeskViewModeSwitch::multiColumnMode, this, &CMeskBottomBar::multiColumnMode);

    m_settingsButton = new CQuorToolButton(this);
    m_settingsButton->setFixedSize(30, 28);
    m_settingsButton->setIcon(imageIcon(QStringLiteral("button_settings.png")));
    m_settingsButton->setIconSize(QSize(15, 12));
    connect(m_settingsButton, &QToolButton::clicked, this, &CMeskBottomBar::settingsButton);

    m_filterBox = new CMeskFilterBox(this);
    m_cancelButton = new CQuorGradientButton(this, CQuorGradientButton::Negative);
    m_cancelButton->setText(tr("Cancel", "button label"));
    m_saveButton = new CQuorGradientButton(this, CQuorGradientButton::Positive);
    m_saveButton->setText(tr("Save", "button label"));

    layout->addSpacing(15);
    layout->addWidget(m_switch);
    layout->addSpacing(10);
    layout->addWidget(m_settingsButton);
    layout->addStretch(1);
    layout->addWidget(m_filterBox, 2);
    layout->addWidget(m_cancelButton);
    layout->addWidget(m_saveButton);
    layout->addSpacing(15);

    if (multiColumn)
        setMultiColumnMode();
    else
        setSingleColumnMode();
    showFeedsMode();

    connect(m_saveButton, &QPushButton::clicked, this, &CMeskBottomBar::saveSettings);
    connect(m_cancelButton, &QPushButton::clicked, this, &CMeskBottomBar::closeSettings);
    connect(m_filterBox, &CMeskFilterBox::filterText, this, &CMeskBottomBar::filterText);
    connect(m_filterBox, &CMeskFilterBox::clearFilter, this, &CMeskBottomBar::clearFilter);
}

void CMeskBottomBar::setSingleColumnMode()
{
    m_singleColumn = true;
    updateVisibility();
}

void CMeskBottomBar::setMultiColumnMode()
{
    m_singleColumn = false;
    updateVisibility();
}

void CMeskBottomBar::showFeedsMode()
{
    m_feedsMode = true;
    updateVisibility();
}

void CMeskBottomBar::showSettingsMode()
{
    m_feedsMode = false;
    updateVisibility();
}

void CMeskBottomBar::resetFilter()
{
    m_filterBox->clear();
    emit clearFilter();
}

void CMeskBottomBar::updateVisibility()
{
    m_filterBox->setVisible(m_feedsMode && m_singleColumn);
    m_saveButton->setVisible(!m_feedsMode);
    m_cancelButton->setVisible(!m_feedsMode);
}

CMeskColumnHScroll::CMeskColumnHScroll(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(meskMetric(this, CMeskUiStyle::PM_MeskScrollBarWidth, 10));
}

void CMeskColumnHScroll::setColumns(int visible, int total)
{
    m_visible = std::max(0, visible);
    m_total = std::max(0, total);
    // With fewer columns than fit the first one is column 0, never a negative one.
    m_first = std::max(0, std::min(m_first, m_total - m_visible));
    updateHandle();
    update();
}

void CMeskColumnHScroll::setCurrentColumn(int n)
{
    if (n < 0 || n > std::max(0, m_total - m_visible))
        return;
    m_first = n;
    moveToFirst();
}

void CMeskColumnHScroll::scrollLeft()
{
    if (m_first <= 0)
        return;
    --m_first;
    moveToFirst();
}

void CMeskColumnHScroll::scrollRight()
{
    if (m_first >= m_total - m_visible)
        return;
    ++m_first;
    moveToFirst();
}

void CMeskColumnHScroll::moveToFirst()
{
    m_handleX = int(m_first * m_step);
    update();
    emit scrollColumns(m_first);
}

void CMeskColumnHScroll::updateHandle()
{
    if (m_total > m_visible) {
        m_handleWidth = width() * m_visible / m_total;
        // A whole number of pixels per column.
        m_step = (width() - m_handleWidth) / (m_total - m_visible);
    } else {
        m_handleWidth = 0;
        m_step = 0;
    }
}

void CMeskColumnHScroll::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !canScroll())
        return;
    const int x = int(event->position().x());
    if (x >= m_handleX && x <= m_handleX + m_handleWidth) {
        m_dragging = true;
        m_lastX = x;
        update();
    } else if (x < m_handleX) {
        scrollLeft();
    } else {
        scrollRight();
    }
}

void CMeskColumnHScroll::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging || !canScroll())
        return;
    const int x = int(event->position().x());
    const int delta = m_lastX - x;
    if (delta == 0)
        return;
    m_handleX = std::clamp(m_handleX - delta, 0, std::max(0, width() - m_handleWidth));
    const int offset = int(m_handleX - m_first * m_step);
    const double ratio = offset / m_step;
    if (ratio > 0.6 || ratio < -0.6) {
        // The handle's travel can pass the last column's place by the pixels the whole-number
        // step leaves over; the column stays in range.
        m_first = std::clamp(m_first + int(ratio), 0, m_total - m_visible);
        emit scrollColumns(m_first);
    }
    if (x >= 0 && x < width())
        m_lastX = x;
    update();
}

void CMeskColumnHScroll::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    if (canScroll())
        m_handleX = int(m_first * m_step);
    update();
}

void CMeskColumnHScroll::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    updateHandle();
    // The handle stays on its column at the new step.
    if (!m_dragging)
        m_handleX = int(m_first * m_step);
}

void CMeskColumnHScroll::paintEvent(QPaintEvent* /*event*/)
{
    if (!canScroll())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The outline's half-pixel inset keeps it inside the bar.
    const QRectF handle = QRectF(m_handleX, 0, m_handleWidth, height()).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient gradient(handle.topLeft(), handle.bottomLeft());
    gradient.setColorAt(0, CMeskUiStyle::color(32));
    gradient.setColorAt(1, CMeskUiStyle::color(33));
    painter.setPen(QPen(CMeskUiStyle::color(31), 1));
    painter.setBrush(gradient);
    painter.drawRoundedRect(handle, 5, 5, Qt::AbsoluteSize);
}
