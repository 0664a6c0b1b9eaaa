#include "feed/mesksinglestreamview.h"

#include "feed/meskdayfill.h"
#include "feed/mesksmswidget.h"
#include "feed/meskstreamview.h"
#include "imediaitemprovider.h"
#include "imediaitemwidget.h"
#include "meskclock.h"
#include "meskengine.h"
#include "meskthumbnailwidget.h"
#include "style/quorimages.h"
#include "widgets/quoranimationwidget.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QStyle>
#include <QVBoxLayout>

// ---- CMeskSingleStreamHeader ----

CMeskSingleStreamHeader::CMeskSingleStreamHeader(CMeskEngine* engine, QWidget* parent)
    : QWidget(parent), m_engine(engine)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(5, 0, 15, 0);
    m_logoRow = new QHBoxLayout;
    m_logoRow->setContentsMargins(0, 0, 0, 0);
    if (engine->isSmsSupported()) {
        auto* logo = new CMeskThumbnailWidget(4, this);
        logo->setPixmap(QuorImages::pixmap(QStringLiteral(":/images/sms/sms_logo_small.png")));
        m_logoRow->addWidget(logo);
    }
    for (IMediaItemProvider* provider : engine->activeProviders())
        _onServiceActivated(provider->providerId());

    m_refreshButton = new CMeskThumbnailWidget(6, this);
    setRefreshVisible(engine->activeProviderCount() > 0);
    m_busyIndicator = new CQuorAnimationWidget(this);
    m_busyIndicator->setFixedSize(m_busyIndicator->sizeHint());
    m_busyIndicator->hide();

    layout->addLayout(m_logoRow, 0);
    layout->addStretch(1);
    layout->addWidget(m_refreshButton);
    layout->addWidget(m_busyIndicator);

    connect(engine, &CMeskEngine::serviceActivated, this, &CMeskSingleStreamHeader::_onServiceActivated);
    connect(engine, &CMeskEngine::serviceDeactivated, this, &CMeskSingleStreamHeader::_onServiceDeactivated);
    connect(engine, &CMeskEngine::serviceUpdateStarted, this,
            &CMeskSingleStreamHeader::_onServiceUpdateStarted);
    connect(engine, &CMeskEngine::serviceUpdateDone, this, &CMeskSingleStreamHeader::_onServiceUpdateDone);
    connect(m_refreshButton, &CMeskThumbnailWidget::clicked, this, &CMeskSingleStreamHeader::_onRefresh);
}

void CMeskSingleStreamHeader::_onServiceActivated(mid_t id)
{
    IMediaItemProvider* provider = m_engine->provider(id);
    if (provider && !m_logos.contains(provider->providerId())) {
        auto* logo = new CMeskThumbnailWidget(4, this);
        logo->setPixmap(provider->icon());
        m_logoRow->addWidget(logo);
        m_logos.insert(provider->providerId(), logo);
    }
    if (m_refreshButton && m_updating.isEmpty())
        setRefreshVisible(true);
}

void CMeskSingleStreamHeader::setRefreshVisible(bool visible)
{
    // The program's own image, loaded when the button first shows.
    if (visible && !m_refreshIconSet) {
        m_refreshButton->setPixmap(QuorImages::pixmap(QStringLiteral(":/meskstyle/images/refresh.png")));
        m_refreshIconSet = true;
    }
    m_refreshButton->setVisible(visible);
}

void CMeskSingleStreamHeader::_onServiceDeactivated(mid_t id)
{
    delete m_logos.take(id);
    if (m_updating.isEmpty())
        setRefreshVisible(m_engine->activeProviderCount() > 0);
}

void CMeskSingleStreamHeader::_onServiceUpdateStarted(mid_t id)
{
    if (m_updating.isEmpty()) {
        m_busyIndicator->show();
        m_busyIndicator->start();
        m_refreshButton->hide();
    }
    m_updating.append(id);
}

void CMeskSingleStreamHeader::_onServiceUpdateDone(mid_t id)
{
    m_updating.removeAll(id);
    if (m_updating.isEmpty()) {
        m_busyIndicator->stop();
        m_busyIndicator->hide();
        setRefreshVisible(m_engine->activeProviderCount() > 0);
    }
}

void CMeskSingleStreamHeader::_onRefresh()
{
    m_engine->doUpdates();
}

// ---- CMeskSingleStreamView ----

CMeskSingleStreamView::CMeskSingleStreamView(CMeskEngine* engine, QWidget* parent)
    : QWidget(parent), m_engine(engine)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_bannerBox = new QVBoxLayout;
    m_bannerBox->setContentsMargins(5, 0, 15, 0);
    m_bannerBox->setSpacing(0);
    m_header = new CMeskSingleStreamHeader(engine, this);
    m_stream = new CMeskStreamView(this);
    layout->addWidget(m_header, 0);
    layout->addWidget(m_stream, 1);
    layout->addLayout(m_bannerBox, 0);
    m_stream->setItemFactory([this](const SMediaItem& item) { return createItemWidget(item); });

    fillStream();

    connect(engine, &CMeskEngine::serviceEventAdded, this, &CMeskSingleStreamView::_onServiceEventAdded);
    connect(engine, &CMeskEngine::serviceEventUpdated, this, &CMeskSingleStreamView::_onServiceEventUpdated);
    connect(engine, &CMeskEngine::smsStateChanged, this, &CMeskSingleStreamView::_onSmsStateChanged);
    connect(engine, &CMeskEngine::smsSimMessageReady, this, &CMeskSingleStreamView::_onSmsSimMessageReady);
    connect(engine, &CMeskEngine::smsNewMessageReceived, this,
            &CMeskSingleStreamView::_onSmsNewMessageReceived);
    connect(engine, &CMeskEngine::smsMessageSent, this, &CMeskSingleStreamView::_onSmsMessageSent);
    connect(engine, &CMeskEngine::smsMessageDeleted, this, &CMeskSingleStreamView::_onSmsMessageDeleted);
    connect(engine, &CMeskEngine::serviceActivated, this, &CMeskSingleStreamView::_onServiceActivated);
    connect(engine, &CMeskEngine::serviceDeactivated, this, &CMeskSingleStreamView::_onServiceDeactivated);
    connect(m_stream, &CMeskStreamView::showOlderItems, this, &CMeskSingleStreamView::_onShowOlderItems);
    connect(m_stream, &CMeskStreamView::localZoneChanged, this, &CMeskSingleStreamView::reload);

    engine->readSimMessages();
}

void CMeskSingleStreamView::fillStream(bool replace)
{
    m_stream->noteZone();
    if (m_engine->activeProviderCount() == 0 && !m_engine->isSmsSupported()) {
        if (replace)
            m_stream->clear();
        m_stream->showNoActiveServices();
        return;
    }
    // What cannot be read leaves the stream as it is.
    if (!fillDays(meskLocalDay(MeskClock::now()), 20, true, replace))
        return;
    if (m_stream->isEmpty())
        m_stream->showNoItems();
}

bool CMeskSingleStreamView::fillDays(const QDate& boundary, int threshold, bool firstFill, bool replace)
{
    // Both tables are read one day at a time: the newest day of either, then its items (a day's
    // events before its messages).
    const auto latestDay = [this](const QDate& day, bool* ok) {
        const QDateTime end = meskDayEnd(day);
        const QDate event = meskLocalDay(m_engine->latestMediaEvent(end, 0, ok));
        if (!*ok)
            return QDate();
        const QDate message = meskLocalDay(m_engine->latestSmsMessage(end, ok));
        return event.isValid() && (!message.isValid() || event > message) ? event : message;
    };
    const auto readDay = [this, firstFill](const QDate& day, bool* ok) {
        const QDateTime start = meskDayStart(day);
        const QDateTime end = meskDayEnd(day);
        const QList<SMediaItem> events = m_engine->mediaEventsBetween(end, start, 0, ok);
        if (!*ok)
            return SMeskDayItems();
        const QList<SSmsMessage> messages = m_engine->smsMessagesBetween(end, start, ok);
        return SMeskDayItems{int(events.size() + messages.size()),
                             [this, firstFill, events, messages] { placeDay(events, messages, firstFill); }};
    };
    const SMeskDayFill fill = meskFillDays(boundary, threshold, latestDay, readDay);
    if (!fill.read)
        return false;
    if (replace)
        m_stream->clear();
    fill.place();
    m_boundary = fill.boundary;
    if (fill.more)
        m_stream->showMoreAction();
    if (firstFill)
        m_stream->endFirstFill();
    return true;
}

void CMeskSingleStreamView::placeDay(const QList<SMediaItem>& events, const QList<SSmsMessage>& messages,
                                     bool firstFill)
{
    for (const SMediaItem& item : events) {
        if (firstFill)
            m_stream->addFirstFillItem(item);
        else
            addItemWidget(item, false);
    }
    for (const SSmsMessage& message : messages) {
        if (firstFill) {
            // Waits with the events, so that entries of the same time keep their order.
            SMediaItem key;
            key.provider = MeskProvider::SmsColumn;
            key.id = message.id;
            key.created = message.created;
            m_stream->addFirstFillItem(key, [this, message] { return makeSmsWidget(message); });
        } else {
            addSmsWidget(message, false);
        }
    }
}

void CMeskSingleStreamView::reload()
{
    fillStream(true);
}

void CMeskSingleStreamView::insertTopWidget(mid_t, QWidget* banner)
{
    m_bannerBox->insertWidget(0, banner, 0);
}

void CMeskSingleStreamView::setFilter(const QString& text)
{
    m_stream->setFilter(text);
}

void CMeskSingleStreamView::clearFilter()
{
    m_stream->clearFilter();
}

IMediaItemWidget* CMeskSingleStreamView::createItemWidget(const SMediaItem& item)
{
    IMediaItemWidget* widget = m_engine->createItemWidget(item);
    if (!widget) {
        qDebug("CMeskSingleStreamView: failed to create item widget");
        return nullptr;
    }
    connect(widget, &IMediaItemWidget::postUpdateAction, this, &CMeskSingleStreamView::postUpdateAction);
    connect(widget, &IMediaItemWidget::postSmsAction, this, &CMeskSingleStreamView::postSmsAction);
    return widget;
}

void CMeskSingleStreamView::addItemWidget(const SMediaItem& item, bool highlight)
{
    if (IMediaItemWidget* widget = createItemWidget(item))
        m_stream->addItemWidget(widget, highlight);
}

IMediaItemWidget* CMeskSingleStreamView::makeSmsWidget(const SSmsMessage& message)
{
    auto* widget = new CMeskSmsWidget(message, m_engine);
    connect(widget, &IMediaItemWidget::postUpdateAction, this, &CMeskSingleStreamView::postUpdateAction);
    connect(widget, &IMediaItemWidget::postSmsAction, this, &CMeskSingleStreamView::postSmsAction);
    return widget;
}

void CMeskSingleStreamView::addSmsWidget(const SSmsMessage& message, bool highlight)
{
    m_stream->addItemWidget(makeSmsWidget(message), highlight);
}

void CMeskSingleStreamView::_onSmsStateChanged(TMeskSmsState state)
{
    if (state == SmsStateReady)
        m_engine->readSimMessages();
}

void CMeskSingleStreamView::_onSmsSimMessageReady(const SSmsMessage& message)
{
    addSmsWidget(message, true);
}

void CMeskSingleStreamView::_onSmsNewMessageReceived(const SSmsMessage& message)
{
    addSmsWidget(message, true);
}

void CMeskSingleStreamView::_onSmsMessageSent(const SSmsMessage& message)
{
    addSmsWidget(message, true);
}

void CMeskSingleStreamView::_onSmsMessageDeleted(const SSmsMessage& message)
{
    m_stream->removeItem(MeskProvider::SmsColumn, message.id);
}

void CMeskSingleStreamView::_onServiceEventAdded(const SMediaItem& item)
{
    // An update announces many at once: the stream builds them over the next turns.
    m_stream->addItem(item, true);
}

void CMeskSingleStreamView::_onServiceEventUpdated(const SMediaItem& item)
{
    m_stream->itemUpdated(item);
}

void CMeskSingleStreamView::_onServiceActivated(mid_t)
{
    if (m_stream->isEmpty())
        m_stream->showNoItems();
}

void CMeskSingleStreamView::_onServiceDeactivated(mid_t id)
{
    m_stream->removeProviderItems(id);
    if (m_engine->activeProviderCount() == 0 && !m_engine->isSmsSupported())
        m_stream->showNoActiveServices();
    else if (m_stream->isEmpty())
        m_stream->showNoItems();
}

void CMeskSingleStreamView::_onShowOlderItems()
{
    // After a read that failed "More" stays to be pressed again.
    if (!fillDays(m_boundary, 1))
        m_stream->showMoreAction();
    m_stream->setFilter(m_stream->filterText());
}
