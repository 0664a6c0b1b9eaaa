#include "feed/meskcolumnwidget.h"

#include "feed/meskdayfill.h"
#include "feed/meskstreamview.h"
#include "imediaitemprovider.h"
#include "imediaitemwidget.h"
#include "meskclock.h"
#include "meskengine.h"
#include "meskthumbnailwidget.h"
#include "meskuistyle.h"
#include "style/quorimages.h"
#include "widgets/quoranimationwidget.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

namespace {

int productMetric(const QWidget* widget, CMeskUiStyle::TMeskMetric metric)
{
    return widget->style()->pixelMetric(QStyle::PixelMetric(metric), nullptr, widget);
}

} // namespace

SMeskColumnParts meskBuildColumn(QWidget* column, CMeskThumbnailWidget* icon, const QString& title)
{
    SMeskColumnParts parts;
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    column->setFixedWidth(productMetric(column, CMeskUiStyle::PM_MeskColumnWidth));

    parts.header = new QWidget(column);
    parts.headerBox = new QHBoxLayout(parts.header);
    parts.headerBox->setContentsMargins(5, 0, 15, 0);
    icon->setParent(parts.header);
    parts.headerBox->addWidget(icon);
    parts.title = new QLabel(title, parts.header);
    QFont font = parts.title->font();
    font.setPointSize(9);
    font.setBold(true);
    parts.title->setFont(font);
    parts.headerBox->addWidget(parts.title);
    parts.headerBox->addStretch(1);
    parts.header->setFixedHeight(productMetric(column, CMeskUiStyle::PM_MeskColumnHeaderHeight));

    parts.streamView = new CMeskStreamView(column);
    layout->addWidget(parts.header, 0);
    layout->addWidget(parts.streamView, 1);

    parts.bannerBox = new QVBoxLayout;
    parts.bannerBox->setContentsMargins(5, 0, 15, 0);
    parts.bannerBox->setSpacing(0);
    layout->addLayout(parts.bannerBox, 0);
    return parts;
}

// ---- CMeskColumnWidget ----

CMeskColumnWidget::CMeskColumnWidget(CMeskEngine* engine, IMediaItemProvider* provider, QWidget* parent)
    : IMeskColumnWidget(parent), m_engine(engine), m_provider(provider)
{
    auto* logo = new CMeskThumbnailWidget(4);
    if (provider)
        logo->setPixmap(provider->icon());
    const SMeskColumnParts parts = meskBuildColumn(this, logo, provider ? provider->name() : QString());
    m_streamView = parts.streamView;
    m_bannerBox = parts.bannerBox;

    m_refreshButton = new CMeskThumbnailWidget(6, parts.header);
    m_refreshButton->setPixmap(QuorImages::pixmap(QStringLiteral(":/meskstyle/images/refresh.png")));
    parts.headerBox->addWidget(m_refreshButton);
    m_busyAnimation = new CQuorAnimationWidget(parts.header);
    m_busyAnimation->hide();
    m_busyAnimation->setFixedSize(m_busyAnimation->sizeHint());
    parts.headerBox->addWidget(m_busyAnimation);

    connect(m_streamView, &CMeskStreamView::showOlderItems, this, &CMeskColumnWidget::_onShowOlderItems);
    connect(m_streamView, &CMeskStreamView::localZoneChanged, this, &CMeskColumnWidget::reload);
    m_streamView->setItemFactory([this](const SMediaItem& item) { return createItemWidget(item); });
    if (!provider)
        return;

    load(false);

    connect(provider, &IMediaItemProvider::mediaItemAdded, this, &CMeskColumnWidget::_onMediaEventAdded);
    connect(provider, &IMediaItemProvider::mediaItemUpdated, this, &CMeskColumnWidget::_onMediaEventUpdated);
    connect(provider, &IMediaItemProvider::updateStarted, this, &CMeskColumnWidget::_onUpdateStarted);
    connect(provider, &IMediaItemProvider::updateDone, this, &CMeskColumnWidget::_onUpdateDone);
    connect(provider, &IMediaItemProvider::serviceError, this, &CMeskColumnWidget::_onServiceError);
    connect(m_refreshButton, &CMeskThumbnailWidget::clicked, this, &CMeskColumnWidget::_onRefreshProvider);
}

void CMeskColumnWidget::load(bool replace)
{
    if (!m_provider || !m_engine)
        return;
    m_streamView->noteZone();
    const SMeskDayFill fill = fillDays(meskLocalDay(MeskClock::now()), 10, true);
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
    m_streamView->endFirstFill();
}

SMeskDayFill CMeskColumnWidget::fillDays(const QDate& boundary, int threshold, bool firstFill)
{
    const mid_t provider = m_provider->providerId();
    return meskFillDays(
        boundary, threshold,
        [this, provider](const QDate& day, bool* ok) {
            return meskLocalDay(m_engine->latestMediaEvent(meskDayEnd(day), provider, ok));
        },
        [this, provider, firstFill](const QDate& day, bool* ok) {
            const QList<SMediaItem> items =
                m_engine->mediaEventsBetween(meskDayEnd(day), meskDayStart(day), provider, ok);
            return SMeskDayItems{int(items.size()), [this, items, firstFill] {
                                     for (const SMediaItem& item : items) {
                                         if (firstFill)
                                             m_streamView->addFirstFillItem(item);
                                         else
                                             addItemWidget(item, false);
                                     }
                                 }};
        });
}

void CMeskColumnWidget::reload()
{
    load(true);
}

void CMeskColumnWidget::insertTopWidget(QWidget* widget)
{
    m_bannerBox->insertWidget(0, widget, 0);
}

void CMeskColumnWidget::setFilter(const QString& text)
{
    m_streamView->setFilter(text);
}

void CMeskColumnWidget::clearFilter()
{
    m_streamView->clearFilter();
}

mid_t CMeskColumnWidget::serviceId() const
{
    return m_provider ? m_provider->providerId() : 0;
}

IMediaItemWidget* CMeskColumnWidget::createItemWidget(const SMediaItem& item)
{
    IMediaItemWidget* widget = m_provider ? m_provider->createItemWidget(item) : nullptr;
    if (!widget) {
        qDebug("CMeskColumnWidget: failed to create item widget");
        return nullptr;
    }
    widget->setThumbnailVisible(false);
    connect(widget, &IMediaItemWidget::postUpdateAction, this, &CMeskColumnWidget::postUpdateAction);
    connect(widget, &IMediaItemWidget::postSmsAction, this, &CMeskColumnWidget::postSmsAction);
    return widget;
}

void CMeskColumnWidget::addItemWidget(const SMediaItem& item, bool highlight)
{
    if (IMediaItemWidget* widget = createItemWidget(item))
        m_streamView->addItemWidget(widget, highlight);
}

void CMeskColumnWidget::_onMediaEventAdded(mid_t, const SMediaItem& item)
{
    // An update announces many at once: the stream builds them over the next turns.
    m_streamView->addItem(item, true);
}

void CMeskColumnWidget::_onMediaEventUpdated(mid_t, const SMediaItem& item)
{
    m_streamView->itemUpdated(item);
}

void CMeskColumnWidget::_onUpdateStarted(mid_t)
{
    m_busyAnimation->show();
    m_busyAnimation->start();
    m_refreshButton->hide();
}

void CMeskColumnWidget::_onUpdateDone(mid_t)
{
    m_busyAnimation->stop();
    m_busyAnimation->hide();
    m_refreshButton->show();
}

void CMeskColumnWidget::_onServiceError(mid_t, TMediaError)
{
    // Service errors are shown as banners by the feed area.
}

void CMeskColumnWidget::_onRefreshProvider()
{
    if (m_provider)
        m_provider->update();
}

void CMeskColumnWidget::_onShowOlderItems()
{
    if (!m_provider || !m_engine)
        return;
    const SMeskDayFill fill = fillDays(m_oldestDate, 1);
    fill.place();
    m_oldestDate = fill.boundary;
    setFilter(m_streamView->filterText());
    // After a read that failed "More" stays to be pressed again.
    if (fill.more || !fill.read)
        m_streamView->showMoreAction();
}

// ---- CMeskEmptyColumnWidget ----

CMeskEmptyColumnWidget::CMeskEmptyColumnWidget(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    m_label = new CMeskStreamLabelWidget(QString(), this);
    showNoOtherServices();
    layout->addWidget(m_label, 0, Qt::AlignCenter);
}

void CMeskEmptyColumnWidget::showNoActiveServices()
{
    //: Section header text
    m_label->setText(tr("There are no active services"));
}

void CMeskEmptyColumnWidget::showNoOtherServices()
{
    //: Status label
    m_label->setText(tr("There are no other services configured"));
}
