#include "meskwebwidget.h"

#include "imeskbrowserbackend.h"

#include <QDebug>
#include <QResizeEvent>
#include <QTimer>

CMeskWebWidget::CMeskWebWidget(QWidget* parent) : QWidget(parent), m_loadTimer(new QTimer(this))
{
    m_loadTimer->setSingleShot(true);
    m_loadTimer->setInterval(30000);
    connect(m_loadTimer, &QTimer::timeout, this, &CMeskWebWidget::_onLoadTimeout);
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
    connect(m_backend, &IMeskBrowserBackend::navigateFailed, this, &CMeskWebWidget::_onNavigateFailed);
}

CMeskWebWidget::~CMeskWebWidget() = default;

void CMeskWebWidget::setLoadTimeout(int msecs)
{
    m_loadTimer->setInterval(msecs);
}

void CMeskWebWidget::navigate(const QString& url)
{
    m_lastTarget = url;
    m_timedOut = false;
    if (!m_backend) {
        // No browser (its plugin is missing or did not load): the page cannot load, and the
        // wizard says so once this call has returned.
        QMetaObject::invokeMethod(
            this, [this, url] { emit pageLoadFailed(url); }, Qt::QueuedConnection);
        return;
    }
    m_loadTimer->start();
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
    if (m_timedOut)
        return;
    m_loadTimer->stop();
    emit pageLoaded(url);
}

void CMeskWebWidget::_onNavigateFailed(const QString& url)
{
    if (m_timedOut)
        return;
    m_loadTimer->stop();
    emit pageLoadFailed(url);
}

void CMeskWebWidget::_onLoadTimeout()
{
    // A server that never answers would keep the wizard's waiting page up for minutes.
    qDebug().noquote() << QStringLiteral("CMeskWebWidget: %1 did not load in time").arg(m_lastTarget);
    m_timedOut = true;
    emit pageLoadFailed(m_lastTarget);
}
