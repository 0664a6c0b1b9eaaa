#include "meskwebwidget.h"

#include "imeskbrowserbackend.h"

#include <QResizeEvent>

CMeskWebWidget::CMeskWebWidget(QWidget* parent) : QWidget(parent)
{
    m_backend = IMeskBrowserBackend::create(this);
    if (!m_backend)
        return;
    if (QWidget* host = m_backend->widget()) {
        host->setObjectName(QStringLiteral("MeskWebWidget"));
        host->setFocusPolicy(Qt::StrongFocus);
        host->setGeometry(rect());
    }
    m_backend->setSilent(true);
    connect(m_backend, &IMeskBrowserBackend::beforeNavigate, this, &CMeskWebWidget::_onBeforeNavigate);
    connect(m_backend, &IMeskBrowserBackend::statusText, this, &CMeskWebWidget::statusTextChanged);
    connect(m_backend, &IMeskBrowserBackend::navigateComplete, this, &CMeskWebWidget::_onNavigateComplete);
    connect(m_backend, &IMeskBrowserBackend::navigateFailed, this, &CMeskWebWidget::pageLoadFailed);
}

CMeskWebWidget::~CMeskWebWidget() = default;

void CMeskWebWidget::navigate(const QString& url)
{
    m_lastTarget = url;
    if (m_backend)
        m_backend->navigate(url);
}

void CMeskWebWidget::resizeEvent(QResizeEvent* event)
{
    if (m_backend) {
        if (QWidget* host = m_backend->widget())
            host->setGeometry(QRect(QPoint(0, 0), event->size()));
    }
}

void CMeskWebWidget::_onBeforeNavigate(const QString& url)
{
    if (url != m_lastTarget)
        emit urlChangeRequested(url);
}

void CMeskWebWidget::_onNavigateComplete(const QString& url)
{
    emit pageLoaded(url);
}
