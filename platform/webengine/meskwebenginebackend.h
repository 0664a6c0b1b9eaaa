#pragma once

#include "imeskbrowserbackend.h"

#include <QPointer>

class QWebEngineView;
class CMeskWebEnginePage;

// The embedded browser on QtWebEngine: a QWebEngineView whose page reports main-frame
// navigations, finished and failed loads and hovered links.
class CMeskWebEngineBackend : public IMeskBrowserBackend
{
    Q_OBJECT
public:
    // The backend and its view are children of the parent widget; the view goes with the backend.
    explicit CMeskWebEngineBackend(QWidget* parent);
    ~CMeskWebEngineBackend() override;

    QWidget* widget() const override;
    void navigate(const QString& url) override;
    void setSilent(bool silent) override;

    // Installs the factory that makes this backend for every IMeskBrowserBackend::create.
    static void registerFactory();
    // Turns off the engine's report of its graphics context (QT_LOGGING_RULES can turn it on).
    static void quietenEngineLog();

private:
    QPointer<QWebEngineView> m_view;
    CMeskWebEnginePage* m_page = nullptr;
};
