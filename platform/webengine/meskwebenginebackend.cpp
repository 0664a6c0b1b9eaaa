#include "meskwebenginebackend.h"

#include <QLoggingCategory>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

QString addressText(const QUrl& url)
{
    return url.toString(QUrl::FullyEncoded);
}

} // namespace

// The page of the view: announces main-frame navigations and, while silent, shows nothing of
// its own (no script dialogs, no certificate questions, no permission prompts).
class CMeskWebEnginePage : public QWebEnginePage
{
public:
    CMeskWebEnginePage(CMeskWebEngineBackend* backend, QObject* parent)
        : QWebEnginePage(parent), m_backend(backend)
    {
        // There is no prompt to ask the user with: every permission a page asks for is refused.
        // A certificate error nobody accepts ends its load as failed.
        connect(this, &QWebEnginePage::featurePermissionRequested, this,
                [this](const QUrl& origin, QWebEnginePage::Feature feature) {
                    setFeaturePermission(origin, feature, QWebEnginePage::PermissionDeniedByUser);
                });
    }

    void setSilent(bool silent) { m_silent = silent; }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override
    {
        Q_UNUSED(type)
        if (isMainFrame)
            emit m_backend->beforeNavigate(addressText(url));
        return true;
    }

    void javaScriptAlert(const QUrl& origin, const QString& message) override
    {
        if (!m_silent)
            QWebEnginePage::javaScriptAlert(origin, message);
    }

    bool javaScriptConfirm(const QUrl& origin, const QString& message) override
    {
        return m_silent ? false : QWebEnginePage::javaScriptConfirm(origin, message);
    }

    bool javaScriptPrompt(const QUrl& origin, const QString& message, const QString& defaultValue,
                          QString* result) override
    {
        return m_silent ? false : QWebEnginePage::javaScriptPrompt(origin, message, defaultValue, result);
    }

private:
    CMeskWebEngineBackend* m_backend;
    bool m_silent = false;
};

CMeskWebEngineBackend::CMeskWebEngineBackend(QWidget* parent)
    : IMeskBrowserBackend(parent), m_view(new QWebEngineView(parent))
{
    m_page = new CMeskWebEnginePage(this, m_view);
    m_view->setPage(m_page);
    connect(m_page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        switch (info.status()) {
        case QWebEngineLoadingInfo::LoadSucceededStatus:
            emit navigateComplete(addressText(info.url()));
            break;
        case QWebEngineLoadingInfo::LoadFailedStatus:
            emit navigateFailed(addressText(info.url()));
            break;
        case QWebEngineLoadingInfo::LoadStartedStatus:
        case QWebEngineLoadingInfo::LoadStoppedStatus:
            break;
        }
    });
    connect(m_page, &QWebEnginePage::linkHovered, this, &IMeskBrowserBackend::statusText);
}

CMeskWebEngineBackend::~CMeskWebEngineBackend()
{
    // The page reports to this backend: it goes with the view, before the backend.
    delete m_view;
}

QWidget* CMeskWebEngineBackend::widget() const
{
    return m_view;
}

void CMeskWebEngineBackend::navigate(const QString& url)
{
    m_page->load(QUrl(url));
}

void CMeskWebEngineBackend::setSilent(bool silent)
{
    m_page->setSilent(silent);
}

void CMeskWebEngineBackend::quietenEngineLog()
{
    // The engine's dump of its graphics context on first use says nothing to users;
    // QT_LOGGING_RULES still turns it on.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
}

void CMeskWebEngineBackend::registerFactory()
{
    quietenEngineLog();
    IMeskBrowserBackend::setFactory([](QWidget* parent) { return new CMeskWebEngineBackend(parent); });
}
