#include "settings/mesksettingswidget.h"

#include "meskuistyle.h"
#include "settings/mesksettingspages.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace {

// The product style's metric; the fallback under any other style.
int settingsMetric(const QWidget* widget, unsigned int metric, int fallback)
{
    const int value = widget->style()->pixelMetric(QStyle::PixelMetric(metric), nullptr, widget);
    return value > 0 ? value : fallback;
}

int topSpacing(const QWidget* widget)
{
    return settingsMetric(widget, CMeskUiStyle::PM_MeskScrollBarWidth, 10) / 2;
}

QLabel* boldTitle(const QString& text, const QWidget* reference)
{
    auto* label = new QLabel(text);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSize(settingsMetric(reference, CMeskUiStyle::PM_MeskSettingsPointSize, 11));
    label->setFont(font);
    return label;
}

} // namespace

// ---- CMeskSettingsWidget ----------------------------------------------------

CMeskSettingsWidget::CMeskSettingsWidget(CMeskSettings* settings, CMeskEngine* engine, bool multi,
                                         QWidget* parent)
    : QWidget(parent), m_engine(engine), m_settings(settings), m_multiWanted(multi)
{
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->addSpacing(topSpacing(this));
}

CMeskSettingsWidget::~CMeskSettingsWidget() = default;

void CMeskSettingsWidget::buildView() const
{
    if (m_single || m_multi)
        return;
    if (m_multiWanted) {
        m_multi = new CMeskMultiSettingsView(m_settings, m_engine);
        m_layout->addWidget(m_multi, 0);
    } else {
        m_single = new CMeskSingleSettingsView(m_settings, m_engine);
        m_layout->addWidget(m_single, 0);
    }
}

CMeskSingleSettingsView* CMeskSettingsWidget::singleView() const
{
    buildView();
    return m_single;
}

CMeskMultiSettingsView* CMeskSettingsWidget::multiView() const
{
    buildView();
    return m_multi;
}

void CMeskSettingsWidget::setVisible(bool visible)
{
    // Built before showing, so the pages are shown with the area.
    if (visible)
        buildView();
    QWidget::setVisible(visible);
}

void CMeskSettingsWidget::showEvent(QShowEvent* event)
{
    // Shown with its parent (without setVisible): build and show the pages now.
    if (!m_single && !m_multi) {
        buildView();
        if (m_single)
            m_single->show();
        if (m_multi)
            m_multi->show();
    }
    QWidget::showEvent(event);
}

void CMeskSettingsWidget::showSingleView()
{
    if (m_single)
        return;
    // An arrangement already built is replaced at once; the first one waits to be needed.
    const bool built = m_multi != nullptr;
    delete m_multi;
    m_multi = nullptr;
    m_multiWanted = false;
    if (built || isVisible())
        buildView();
}

void CMeskSettingsWidget::showMultiView()
{
    if (m_multi)
        return;
    // An arrangement already built is replaced at once; the first one waits to be needed.
    const bool built = m_single != nullptr;
    delete m_single;
    m_single = nullptr;
    m_multiWanted = true;
    if (built || isVisible())
        buildView();
}

void CMeskSettingsWidget::reload()
{
    // Pages not built yet read the store's values when they are.
    if (m_single)
        m_single->reload();
    if (m_multi)
        m_multi->reload();
}

void CMeskSettingsWidget::showGeneralPage()
{
    if (CMeskSingleSettingsView* single = singleView())
        single->showGeneralPage();
}

void CMeskSettingsWidget::showServicesPage()
{
    if (CMeskSingleSettingsView* single = singleView())
        single->showServicesPage();
}

void CMeskSettingsWidget::showNotificationsPage()
{
    if (CMeskSingleSettingsView* single = singleView())
        single->showNotificationsPage();
}

void CMeskSettingsWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(QRect(0, topSpacing(this), width(), height()), CMeskUiStyle::color(0));
    painter.setPen(CMeskUiStyle::color(11));
    painter.drawLine(0, height() - 1, width(), height() - 1);
}

// ---- CMeskSingleSettingsView ------------------------------------------------

CMeskSingleSettingsView::CMeskSingleSettingsView(CMeskSettings* settings, CMeskEngine* engine,
                                                 QWidget* parent)
    : QWidget(parent), m_engine(engine)
{
    auto* layout = new QVBoxLayout(this);
    const int margin = settingsMetric(this, CMeskUiStyle::PM_MeskSettingsMargin, 12);
    layout->setContentsMargins(margin, margin, margin, margin);
    m_title = boldTitle(QString(), this);
    layout->addWidget(m_title, 0);
    m_tabHeader = new CMeskSettingsTabHeader;
    layout->addWidget(m_tabHeader, 0);
    connect(m_tabHeader, &CMeskSettingsTabHeader::buttonClicked, this,
            &CMeskSingleSettingsView::_onTabHeaderClicked);
    m_general = new CMeskGeneralSettingsView(settings);
    m_services = new CMeskServicesView(settings, engine);
    m_notifications = new CMeskNotificationsView(settings, engine);
    for (QWidget* page : {static_cast<QWidget*>(m_general), static_cast<QWidget*>(m_services),
                          static_cast<QWidget*>(m_notifications)})
        layout->addWidget(page, 1);
    m_general->hide();
    m_services->hide();
    m_notifications->hide();
    showGeneralPage();
}

CMeskSingleSettingsView::~CMeskSingleSettingsView() = default;

void CMeskSingleSettingsView::reload()
{
    m_general->reload();
    m_services->reload();
    m_notifications->reload();
}

void CMeskSingleSettingsView::showGeneralPage()
{
    m_tabHeader->setCurrentTab(0);
}

void CMeskSingleSettingsView::showServicesPage()
{
    m_tabHeader->setCurrentTab(1);
}

void CMeskSingleSettingsView::showNotificationsPage()
{
    m_tabHeader->setCurrentTab(2);
}

void CMeskSingleSettingsView::_onTabHeaderClicked(int index)
{
    if (index < 0 || index > 2)
        return;
    const QString titles[] = {tr("General", "Section header text"), tr("Services", "Section header text"),
                              tr("Notifications", "Section header text")};
    QWidget* pages[] = {m_general, m_services, m_notifications};
    m_title->setText(titles[index]);
    for (int i = 0; i < 3; ++i) {
        if (i != index)
            pages[i]->hide();
    }
    pages[index]->show();
}

// ---- CMeskMultiSettingsView -------------------------------------------------

CMeskMultiSettingsView::CMeskMultiSettingsView(CMeskSettings* settings, CMeskEngine* engine, QWidget* parent)
    : QWidget(parent), m_engine(engine)
{
    auto* layout = new QHBoxLayout(this);
    const int margin = settingsMetric(this, CMeskUiStyle::PM_MeskSettingsMargin, 12);
    layout->setContentsMargins(margin, margin, margin, margin);
    m_general = new CMeskGeneralSettingsView(settings);
    m_services = new CMeskServicesView(settings, engine);
    m_notifications = new CMeskNotificationsView(settings, engine);
    const int width = settingsMetric(this, CMeskUiStyle::PM_MeskColumnWidth, 360) - 2 * margin;
    const QString titles[] = {tr("General settings", "Dialog title"), tr("Services", "Dialog title"),
                              tr("Notifications", "Dialog title")};
    QWidget* pages[] = {m_general, m_services, m_notifications};
    for (int i = 0; i < 3; ++i) {
        pages[i]->setFixedWidth(width);
        auto* column = new QVBoxLayout;
        column->addWidget(boldTitle(titles[i], this), 0);
        column->addWidget(pages[i], 1);
        layout->addLayout(column, 1);
    }
}

CMeskMultiSettingsView::~CMeskMultiSettingsView() = default;

void CMeskMultiSettingsView::reload()
{
    m_general->reload();
    m_services->reload();
    m_notifications->reload();
}

// ---- CMeskSettingsTabHeader -------------------------------------------------

CMeskSettingsTabHeader::CMeskSettingsTabHeader(QWidget* parent) : QWidget(parent)
{
    m_tabs = {{true, tr("General", "Section header text")},
              {false, tr("Services", "Section header text")},
              {false, tr("Notifications", "Section header text")}};
    setFixedHeight(20);
}

CMeskSettingsTabHeader::~CMeskSettingsTabHeader() = default;

void CMeskSettingsTabHeader::setCurrentTab(int index)
{
    if (index < 0 || index >= m_tabs.size())
        return;
    for (int i = 0; i < m_tabs.size(); ++i)
        m_tabs[i].active = (i == index);
    update();
    emit buttonClicked(index);
}

int CMeskSettingsTabHeader::currentTab() const
{
    for (int i = 0; i < m_tabs.size(); ++i) {
        if (m_tabs.at(i).active)
            return i;
    }
    return -1;
}

void CMeskSettingsTabHeader::mousePressEvent(QMouseEvent* event)
{
    const qreal x = event->position().x();
    if (x < m_first)
        setCurrentTab(0);
    else if (x > m_first && x < m_second)
        setCurrentTab(1);
    else if (x > m_second)
        setCurrentTab(2);
}

void CMeskSettingsTabHeader::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_first = width() / 3;
    m_second = (2 * width()) / 3;
}

void CMeskSettingsTabHeader::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const auto gradient = [this](bool active) {
        QLinearGradient g(0, 0, 0, height());
        g.setColorAt(0, CMeskUiStyle::color(active ? 35 : 34));
        g.setColorAt(1, CMeskUiStyle::color(active ? 34 : 35));
        return g;
    };
    const int third = width() / 3;
    const QRect left(0, 0, third + 10, height() - 1);
    const QRect right(m_second - 10, 0, third + 10, height() - 1);
    const QRect middle(m_first, 0, third, height() - 1);
    painter.setPen(CMeskUiStyle::color(37));
    painter.setBrush(gradient(m_tabs.at(0).active));
    painter.drawRoundedRect(left, 5, 5);
    painter.setBrush(gradient(m_tabs.at(2).active));
    painter.drawRoundedRect(right, 5, 5);
    painter.setBrush(gradient(m_tabs.at(1).active));
    painter.drawRect(middle);
    painter.setPen(CMeskUiStyle::color(36));
    painter.drawText(left.adjusted(0, 0, -10, 0), Qt::AlignCenter, m_tabs.at(0).text);
    painter.drawText(middle, Qt::AlignCenter, m_tabs.at(1).text);
    painter.drawText(right.adjusted(10, 0, 0, 0), Qt::AlignCenter, m_tabs.at(2).text);
}
