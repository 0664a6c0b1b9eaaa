#include "feed/mesksmscolumnwidget.h"

#include "feed/meskdayfill.h"
#include "feed/mesksmswidget.h"
#include "feed/meskstreamview.h"
#include "meskclock.h"
#include "meskengine.h"
#include "meskthumbnailwidget.h"
#include "style/quorimages.h"

#include <QVBoxLayout>

CMeskSmsColumnWidget::CMeskSmsColumnWidget(CMeskEngine* engine, QWidget* parent)
    : IMeskColumnWidget(parent), m_engine(engine)
{
    auto* logo = new CMeskThumbnailWidget(4);
    logo->setPixmap(QuorImages::pixmap(QStringLiteral(":/images/sms/sms_logo_small.png")));
    const SMeskColumnParts parts = meskBuildColumn(this, logo,
                                                   //: Button label
                                                   tr("Text Messages"));
    m_streamView = parts.streamView;
    m_bannerBox = parts.bannerBox;

    load(false);
    connect(m_streamView, &CMeskStreamView::localZoneChanged, this, &CMeskSmsColumnWidget::reload);

    if (!engine)
        return;
    connect(engine, &CMeskEngine::smsStateChanged, this, &CMeskSmsColumnWidget::_onSmsStateChanged);
    connect(engine, &CMeskEngine::smsSimMessageReady, this, &CMeskSmsColumnWidget::_onSmsSimMessageReady);
    connect(engine, &CMeskEngine::smsNewMessageReceived, this,
            &CMeskSmsColumnWidget::_onSmsNewMessageReceived);
    connect(engine, &CMeskEngine::smsMessageSent, this, &CMeskSmsColumnWidget::_onSmsMessageSent);
    connect(engine, &CMeskEngine::smsMessageDeleted, this, &CMeskSmsColumnWidget::_onSmsMessageDeleted);
    connect(m_streamView, &CMeskStreamView::showOlderItems, this, &CMeskSmsColumnWidget::_onShowOlderItems);
    engine->readSimMessages();
}

void CMeskSmsColumnWidget::load(bool replace)
{
    if (!m_engine)
        return;
    m_streamView->noteZone();
    const SMeskDayFill fill = fillDays(meskLocalDay(MeskClock::now()), 10);
    // What cannot be read leaves the column as it is.
    if (!fill.read)
        return;
    if (replace)
        m_streamView->clear();
    fill.place();
    m_oldestDate = fill.boundary;
    if (fill.more)
        m_streamView->showMoreAction();
    else if (fill.placed == 0)
        m_streamView->showNoItems();
}

SMeskDayFill CMeskSmsColumnWidget::fillDays(const QDate& boundary, int threshold)
{
    return meskFillDays(
        boundary, threshold,
        [this](const QDate& day, bool* ok) {
            return meskLocalDay(m_engine->latestSmsMessage(meskDayEnd(day), ok));
        },
        [this](const QDate& day, bool* ok) {
            const QList<SSmsMessage> messages =
                m_engine->smsMessagesBetween(meskDayEnd(day), meskDayStart(day), ok);
            return SMeskDayItems{int(messages.size()), [this, messages] {
                                     for (const SSmsMessage& message : messages)
                                         addSmsWidget(message, false);
                                 }};
        });
}

void CMeskSmsColumnWidget::reload()
{
    load(true);
}

void CMeskSmsColumnWidget::insertTopWidget(QWidget* widget)
{
    m_bannerBox->insertWidget(0, widget, 0);
}

void CMeskSmsColumnWidget::setFilter(const QString& text)
{
    m_streamView->setFilter(text);
}

void CMeskSmsColumnWidget::clearFilter()
{
    m_streamView->clearFilter();
}

void CMeskSmsColumnWidget::addSmsWidget(const SSmsMessage& message, bool highlight)
{
    auto* widget = new CMeskSmsWidget(message, m_engine);
    connect(widget, &IMediaItemWidget::postUpdateAction, this, &CMeskSmsColumnWidget::postUpdateAction);
    connect(widget, &IMediaItemWidget::postSmsAction, this, &CMeskSmsColumnWidget::postSmsAction);
    widget->setThumbnailVisible(false);
    m_streamView->addItemWidget(widget, highlight);
}

void CMeskSmsColumnWidget::_onSmsStateChanged(TMeskSmsState state)
{
    if (state == SmsStateReady)
        m_engine->readSimMessages();
}

void CMeskSmsColumnWidget::_onSmsSimMessageReady(const SSmsMessage& message)
{
    addSmsWidget(message, true);
}

void CMeskSmsColumnWidget::_onSmsNewMessageReceived(const SSmsMessage& message)
{
    addSmsWidget(message, true);
}

void CMeskSmsColumnWidget::_onSmsMessageSent(const SSmsMessage& message)
{
    addSmsWidget(message, true);
}

void CMeskSmsColumnWidget::_onSmsMessageDeleted(const SSmsMessage& message)
{
    m_streamView->removeItem(MeskProvider::SmsColumn, message.id);
}

void CMeskSmsColumnWidget::_onShowOlderItems()
{
    const SMeskDayFill fill = fillDays(m_oldestDate, 1);
    fill.place();
    m_oldestDate = fill.boundary;
    setFilter(m_streamView->filterText());
    // After a read that failed "More" stays to be pressed again.
    if (fill.more || !fill.read)
        m_streamView->showMoreAction();
}
