#include "fakeprovider.h"

bool FakeTextPoster::postText(const QString& text)
{
    postedTexts.append(text);
    if (log)
        log->append(QStringLiteral("post ") + logName);
    if (text.isEmpty()) {
        emit updateDone();
        return true;
    }
    switch (m_outcome) {
    case Outcome::DoneAtOnce:
        emit updateDone();
        break;
    case Outcome::FailAtOnce:
        emit updateFailed();
        break;
    case Outcome::Manual:
    case Outcome::Never:
        m_busy = true;
        break;
    case Outcome::Refuse:
        return false;
    case Outcome::FailAndRefuse:
        emit updateFailed();
        return false;
    }
    return true;
}

void FakeTextPoster::finishDone()
{
    m_busy = false;
    emit updateDone();
}

void FakeTextPoster::finishFailed()
{
    m_busy = false;
    emit updateFailed();
}

FakeProvider::FakeProvider(mid_t id, const QString& name, QObject* parent, QStringList* log)
    : IMediaItemProvider(parent), m_id(id), m_name(name), m_log(log)
{
    record(QStringLiteral("create ") + name);
}

FakeProvider::~FakeProvider() = default;

void FakeProvider::record(const QString& entry)
{
    if (m_log)
        m_log->append(entry);
}

void FakeProvider::removeAccount()
{
    ++removeAccountCalls;
    if (m_silentRemove)
        return;
    m_activated = false;
    emit deactivated(m_id);
}

bool FakeProvider::supportsService(int serviceType) const
{
    return m_services.value(serviceType, false);
}

void FakeProvider::setSupportsService(int serviceType, bool supported)
{
    m_services.insert(serviceType, supported);
}

IMediaServiceUpdate* FakeProvider::service(int serviceType)
{
    return serviceType == MeskService::TextPoster ? m_poster : nullptr;
}

FakeTextPoster* FakeProvider::enableTextPoster()
{
    if (!m_poster) {
        m_poster = new FakeTextPoster(this);
        m_poster->log = m_log;
        m_poster->logName = m_name;
    }
    setSupportsService(MeskService::TextPoster, true);
    return m_poster;
}

void FakeProvider::setStorage(IMediaItemStorage* newStorage)
{
    ++setStorageCalls;
    storage = newStorage;
    record(QStringLiteral("setStorage ") + m_name);
}

void FakeProvider::update()
{
    ++updateCalls;
    record(QStringLiteral("update ") + m_name);
}

IMediaItemWidget* FakeProvider::createItemWidget(const SMediaItem& item)
{
    ++createItemWidgetCalls;
    widgetItems.append(item);
    if (m_itemWidgetFactory)
        return m_itemWidgetFactory(item);
    return m_itemWidget;
}
