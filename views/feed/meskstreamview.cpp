#include "feed/meskstreamview.h"

#include "imediaitemwidget.h"
#include "mesktexts.h"
#include "meskuistyle.h"
#include "meskzone.h"
#include "style/quorimages.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>
#include <utility>

namespace {

constexpr int kDateUpdateIntervalMs = 30000;

// The item's time as a sort key; an item without a time sorts below every dated one.
qint64 timeKey(const QDateTime& created)
{
    return created.isValid() ? created.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
}

bool isItem(const SMediaItem& item, mid_t provider, mid_t id)
{
    return item.provider == provider && item.id == id;
}

void setTextColors(QLabel* label, int activeRole, int disabledRole)
{
    QPalette palette = label->palette();
    const QBrush active(CMeskUiStyle::color(activeRole), Qt::SolidPattern);
    palette.setBrush(QPalette::Active, QPalette::WindowText, active);
    palette.setBrush(QPalette::Inactive, QPalette::WindowText, active);
    palette.setBrush(QPalette::Disabled, QPalette::WindowText,
                     QBrush(CMeskUiStyle::color(disabledRole), Qt::SolidPattern));
    label->setPalette(palette);
}

} // namespace

// ---- CMeskStreamAction ----

CMeskStreamAction::CMeskStreamAction(const QString& text, QWidget* parent)
    : QWidget(parent), m_symbol(new QLabel(QStringLiteral("\u00BB"), this)), m_label(new QLabel(this))
{
    setProperty("com_velto_mesk_qstyleRole", QStringLiteral("mesk.uilibrary.streamactionbutton"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);

    QFont symbolFont = m_symbol->font();
    symbolFont.setPointSize(12);
    symbolFont.setFamily(QStringLiteral("Arial"));
    m_symbol->setFont(symbolFont);
    setTextColors(m_symbol, 21, 22);

    QFont textFont = m_label->font();
    textFont.setBold(true);
    textFont.setPointSize(7);
    m_label->setFont(textFont);
    setTextColors(m_label, 19, 20);

    row->addWidget(m_symbol);
    row->addWidget(m_label);
    row->addStretch(1);
    layout->addLayout(row);
    layout->addSpacing(25);
    setCursor(Qt::PointingHandCursor);
    if (!text.isEmpty())
        setText(text);
}

QString CMeskStreamAction::text() const
{
    return m_label->text();
}

void CMeskStreamAction::setText(const QString& text)
{
    m_label->setText(text);
}

void CMeskStreamAction::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    emit clicked();
}

// ---- CMeskStreamLabelWidget ----

CMeskStreamLabelWidget::CMeskStreamLabelWidget(const QString& text, QWidget* parent)
    : QWidget(parent), m_picture(new QLabel(this)), m_label(new QLabel(this))
{
    auto* layout = new QVBoxLayout(this);
    m_picture->setPixmap(QuorImages::pixmap(QStringLiteral(":/meskstyle/images/empty_stream.png")));
    m_label->setWordWrap(true);
    m_label->setAlignment(Qt::AlignCenter);
    QFont font = m_label->font();
    font.setPointSize(14);
    m_label->setFont(font);
    QPalette palette = m_label->palette();
    const QBrush brush(CMeskUiStyle::color(2), Qt::SolidPattern);
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setBrush(group, QPalette::WindowText, brush);
    m_label->setPalette(palette);
    m_label->setText(text);

    layout->addStretch(1);
    layout->addWidget(m_picture, 0, Qt::AlignCenter);
    // The text takes the whole width and centres itself: a word-wrapped label placed with an
    // alignment gets its narrower size hint and is cut off once it wraps.
    layout->addWidget(m_label, 0);
    layout->addStretch(1);
}

QString CMeskStreamLabelWidget::text() const
{
    return m_label->text();
}

void CMeskStreamLabelWidget::setText(const QString& text)
{
    m_label->setText(text);
}

// ---- CMeskFeedsListWidget ----

CMeskFeedsListWidget::CMeskFeedsListWidget(QWidget* parent)
    : QWidget(parent), m_groupBox(new QVBoxLayout), m_action(new CMeskStreamAction(QString(), this))
{
    // The list fills itself with one colour, and its entries stand from the top: growing as entries
    // are added below the fold, it repaints only what it newly shows (often nothing), not the entries
    // in view and the window under them.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_StaticContents);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 0, 5, 0);
    m_groupBox->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(m_groupBox, 0);
    layout->addWidget(m_action, 0);
    layout->addStretch(1);
    m_action->hide();
    connect(m_action, &CMeskStreamAction::clicked, this, &CMeskFeedsListWidget::streamActionClicked);
}

QSize CMeskFeedsListWidget::sizeHint() const
{
    return meskWrappedSizeHint(this);
}

void CMeskFeedsListWidget::addItemWidget(IMediaItemWidget* widget, bool highlight, const QString& filter,
                                         bool showNow)
{
    const QDate day = widget->mediaItem().created.toLocalTime().date();
    // Groups stand newest day first: find the first whose day is not later than the item's.
    const auto at = std::partition_point(m_groups.cbegin(), m_groups.cend(),
                                         [&day](const CMeskFeedGroupWidget* g) { return g->date() > day; });
    const qsizetype index = at - m_groups.cbegin();
    CMeskFeedGroupWidget* group = nullptr;
    if (index < m_groups.size() && m_groups.at(index)->date() == day) {
        group = m_groups.at(index);
    } else {
        group = new CMeskFeedGroupWidget(day);
        // At the list's width from the start, so that its first layout pass is already the right one.
        group->resize(contentsRect().marginsRemoved(layout()->contentsMargins()).width(), group->height());
        if (m_batch)
            group->layout()->setEnabled(false);
        m_groupBox->insertWidget(int(index), group, 0);
        m_groups.insert(index, group);
    }
    CMeskFeedWidget* entry = group->addItemWidget(widget, highlight);
    if (!filter.isEmpty())
        group->filterEntry(entry, filter);
    if (m_batch || showNow) {
        // What the filter hid stays hidden.
        if (!entry->testAttribute(Qt::WA_WState_ExplicitShowHide))
            entry->show();
        if (!group->testAttribute(Qt::WA_WState_ExplicitShowHide))
            group->show();
    }
}

void CMeskFeedsListWidget::beginBatch()
{
    m_batch = true;
    layout()->setEnabled(false);
    for (CMeskFeedGroupWidget* group : std::as_const(m_groups))
        group->layout()->setEnabled(false);
}

void CMeskFeedsListWidget::endBatch()
{
    m_batch = false;
    // One layout pass on the next turn; a layout that is up to date ignores the request.
    for (CMeskFeedGroupWidget* group : std::as_const(m_groups)) {
        group->layout()->setEnabled(true);
        QCoreApplication::postEvent(group, new QEvent(QEvent::LayoutRequest));
    }
    layout()->setEnabled(true);
    QCoreApplication::postEvent(this, new QEvent(QEvent::LayoutRequest));
}

CMeskFeedWidget* CMeskFeedsListWidget::entry(mid_t provider, mid_t id) const
{
    for (const CMeskFeedGroupWidget* group : m_groups) {
        if (CMeskFeedWidget* found = group->entry(provider, id))
            return found;
    }
    return nullptr;
}

void CMeskFeedsListWidget::itemUpdated(const SMediaItem& item)
{
    if (CMeskFeedWidget* found = entry(item.provider, item.id))
        found->startUpdatedHighlight();
}

void CMeskFeedsListWidget::dropGroup(qsizetype index)
{
    CMeskFeedGroupWidget* group = m_groups.takeAt(index);
    m_groupBox->removeWidget(group);
    group->hide();
    group->deleteLater();
}

void CMeskFeedsListWidget::dropEmptyGroups()
{
    for (qsizetype i = m_groups.size() - 1; i >= 0; --i) {
        if (m_groups.at(i)->itemCount() == 0)
            dropGroup(i);
    }
}

void CMeskFeedsListWidget::removeProviderItems(mid_t provider)
{
    for (CMeskFeedGroupWidget* group : std::as_const(m_groups))
        group->removeProviderItems(provider);
    dropEmptyGroups();
}

void CMeskFeedsListWidget::removeItem(mid_t provider, mid_t id)
{
    for (CMeskFeedGroupWidget* group : std::as_const(m_groups))
        group->removeItem(provider, id);
    dropEmptyGroups();
}

void CMeskFeedsListWidget::clear()
{
    const QList<CMeskFeedGroupWidget*> groups = std::exchange(m_groups, {});
    for (CMeskFeedGroupWidget* group : groups)
        delete group;
    hideStreamAction();
}

void CMeskFeedsListWidget::setFilter(const QString& text)
{
    if (text.isEmpty())
        return;
    for (CMeskFeedGroupWidget* group : std::as_const(m_groups))
        group->setFilter(text);
}

void CMeskFeedsListWidget::clearFilter()
{
    for (CMeskFeedGroupWidget* group : std::as_const(m_groups))
        group->clearFilter();
}

void CMeskFeedsListWidget::updateTimes()
{
    for (CMeskFeedGroupWidget* group : std::as_const(m_groups))
        group->updateTime();
}

void CMeskFeedsListWidget::showStreamAction(const QString& text)
{
    m_action->setText(text);
    m_action->show();
}

void CMeskFeedsListWidget::hideStreamAction()
{
    m_action->hide();
}

void CMeskFeedsListWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), CMeskUiStyle::color(0));
}

// ---- CMeskStreamView ----

CMeskStreamView::CMeskStreamView(QWidget* parent) : CMeskVScrollArea(parent), m_dateTimer(new QTimer(this))
{
    setFixedWidth(style()->pixelMetric(QStyle::PixelMetric(CMeskUiStyle::PM_MeskColumnWidth), nullptr, this));
    setReserveScrollBarWidth(true);
    connect(m_dateTimer, &QTimer::timeout, this, &CMeskStreamView::_onDateUpdateTimer);
    m_dateTimer->start(kDateUpdateIntervalMs);
}

void CMeskStreamView::showList()
{
    if (m_list && widget() == m_list)
        return;
    m_label = nullptr;
    auto* list = new CMeskFeedsListWidget;
    connect(list, &CMeskFeedsListWidget::streamActionClicked, this, &CMeskStreamView::_onStreamAction);
    m_list = list;
    setWidget(list);
}

void CMeskStreamView::showPlaceholder(const QString& text)
{
    m_list = nullptr;
    auto* label = new CMeskStreamLabelWidget(text);
    m_label = label;
    setWidget(label);
}

void CMeskStreamView::addItemWidget(IMediaItemWidget* widget, bool highlight)
{
    if (!widget)
        return;
    const SMediaItem item = widget->mediaItem();
    if (m_list && item.id != 0) {
        if (CMeskFeedWidget* listed = m_list->entry(item.provider, item.id)) {
            // Listed already (a live item that storage hands out again, a message read twice).
            delete widget;
            if (highlight)
                listed->startAddedHighlight();
            return;
        }
    }
    showList();
    // An item that arrives under a filter is shown only if it matches.
    m_list->addItemWidget(widget, highlight, m_filter, m_showAtOnce);
}

void CMeskStreamView::addItem(const SMediaItem& item, bool highlight)
{
    const SPendingItem pending{item, timeKey(item.created), highlight, false, {}};
    if (m_pending.isEmpty() && turnHasTime()) {
        buildItem(pending);
        return;
    }
    enqueue(pending);
    turnHasTime();
}

void CMeskStreamView::enqueue(const SPendingItem& pending)
{
    // Ascending, so the newest is taken from the back; of equal times the earlier arrival stays
    // nearer the back and is built first.
    const auto at = std::partition_point(m_pending.cbegin(), m_pending.cend(),
                                         [&pending](const SPendingItem& p) { return p.time < pending.time; });
    m_pending.insert(at - m_pending.cbegin(), pending);
}

void CMeskStreamView::addFirstFillItem(const SMediaItem& item, std::function<IMediaItemWidget*()> make)
{
    enqueue({item, timeKey(item.created), false, false, std::move(make)});
}

void CMeskStreamView::endFirstFill()
{
    if (m_pending.isEmpty())
        return;
    if (isVisible())
        buildVisibleEntries();
    // What is still waiting is built over the next turns, shown or not.
    if (!m_pending.isEmpty())
        turnHasTime();
}

void CMeskStreamView::showEvent(QShowEvent* event)
{
    CMeskVScrollArea::showEvent(event);
    if (!m_pending.isEmpty())
        buildVisibleEntries();
}

void CMeskStreamView::buildVisibleEntries()
{
    // The entries show at once and the layouts run as each comes, so the list's height is known
    // after each.
    const int target = height();
    m_showAtOnce = true;
    while (!m_pending.isEmpty()) {
        buildItem(m_pending.takeLast());
        if (m_list && m_list->sizeHint().height() >= target)
            break;
    }
    m_showAtOnce = false;
    showWantedMoreAction();
}

void CMeskStreamView::showWantedMoreAction()
{
    if (m_moreWanted && m_pending.isEmpty()) {
        m_moreWanted = false;
        showMoreAction();
    }
}

bool CMeskStreamView::turnHasTime()
{
    if (!m_turnOpen) {
        m_turnOpen = true;
        m_turnSlowestNs = 0;
        m_turnClock.start();
        // The turn ends when the event loop reaches this call; it builds what is still waiting.
        QMetaObject::invokeMethod(
            this, [this] { buildPending(); }, Qt::QueuedConnection);
    }
    // Another entry only when the slowest one of this turn would still fit: a turn stays within the
    // budget instead of overrunning it by one entry.
    const double spentMs = double(m_turnClock.nsecsElapsed() + m_turnSlowestNs) / 1e6;
    return spentMs < double(m_budgetMs);
}

void CMeskStreamView::buildPending()
{
    m_turnOpen = false;
    if (m_pending.isEmpty())
        return;
    // At least one a turn, however long one takes.
    turnHasTime();
    // The list placing this turn's entries (a placeholder gives way to a new list on the first).
    QPointer<CMeskFeedsListWidget> batch;
    do {
        if (m_list != batch) {
            if (batch)
                batch->endBatch();
            batch = m_list;
            if (batch)
                batch->beginBatch();
        }
        buildItem(m_pending.takeLast());
    } while (!m_pending.isEmpty() && turnHasTime());
    if (batch)
        batch->endBatch();
    showWantedMoreAction();
}

void CMeskStreamView::buildItem(const SPendingItem& pending)
{
    const SMediaItem& item = pending.item;
    if (m_list && item.id != 0) {
        if (CMeskFeedWidget* listed = m_list->entry(item.provider, item.id)) {
            // Listed already: no widget is made for it.
            if (pending.highlight)
                listed->startAddedHighlight();
            if (pending.updated)
                listed->startUpdatedHighlight();
            return;
        }
    }
    QElapsedTimer clock;
    clock.start();
    IMediaItemWidget* widget = pending.make ? pending.make() : m_factory ? m_factory(item) : nullptr;
    if (!widget)
        return;
    addItemWidget(widget, pending.highlight);
    if (pending.updated)
        itemUpdated(item);
    m_turnSlowestNs = std::max(m_turnSlowestNs, clock.nsecsElapsed());
}

void CMeskStreamView::itemUpdated(const SMediaItem& item)
{
    // A waiting item flashes as updated once it stands.
    for (SPendingItem& pending : m_pending) {
        if (isItem(pending.item, item.provider, item.id))
            pending.updated = true;
    }
    if (m_list)
        m_list->itemUpdated(item);
}

void CMeskStreamView::removeProviderItems(mid_t provider)
{
    m_pending.removeIf([provider](const SPendingItem& p) { return p.item.provider == provider; });
    if (m_list)
        m_list->removeProviderItems(provider);
}

void CMeskStreamView::removeItem(mid_t provider, mid_t id)
{
    m_pending.removeIf([provider, id](const SPendingItem& p) { return isItem(p.item, provider, id); });
    if (m_list)
        m_list->removeItem(provider, id);
}

void CMeskStreamView::clear()
{
    m_pending.clear();
    m_moreWanted = false;
    if (m_list)
        m_list->clear();
}

bool CMeskStreamView::isEmpty() const
{
    return m_pending.isEmpty() && (!m_list || m_list->isEmpty());
}

void CMeskStreamView::setFilter(const QString& text)
{
    m_filter = text;
    if (m_list)
        m_list->setFilter(text);
}

void CMeskStreamView::clearFilter()
{
    m_filter.clear();
    if (m_list)
        m_list->clearFilter();
}

void CMeskStreamView::showNoItems()
{
    m_moreWanted = false;
    if (m_list)
        m_list->hideStreamAction();
    //: Status - There are no visible items for the user
    showPlaceholder(tr("You have no items yet"));
}

void CMeskStreamView::showNoActiveServices()
{
    m_moreWanted = false;
    if (m_list)
        m_list->hideStreamAction();
    //: Status - the service providers are deactivated
    showPlaceholder(tr("You have no active services"));
}

void CMeskStreamView::showNoOtherServices()
{
    m_moreWanted = false;
    if (m_list)
        m_list->hideStreamAction();
    //: Status - There are other sources of items configured
    showPlaceholder(tr("You have no other services"));
}

void CMeskStreamView::showMoreAction()
{
    if (!m_pending.isEmpty()) {
        m_moreWanted = true;
        return;
    }
    if (m_list)
        m_list->showStreamAction(CMeskTexts::moreButtonText());
}

void CMeskStreamView::noteZone()
{
    MeskZone::checkChange();
    m_zoneGeneration = MeskZone::generation();
}

bool CMeskStreamView::zoneChangedSinceNoted() const
{
    MeskZone::checkChange();
    return MeskZone::generation() != m_zoneGeneration;
}

void CMeskStreamView::_onDateUpdateTimer()
{
    // The days the entries stand under belong to the zone of the fill.
    if (zoneChangedSinceNoted()) {
        emit localZoneChanged();
        return;
    }
    if (m_list)
        m_list->updateTimes();
}

void CMeskStreamView::_onStreamAction()
{
    if (!m_list)
        return;
    m_list->hideStreamAction();
    // The day "More" goes on from is a day of the zone of the fill.
    if (zoneChangedSinceNoted())
        emit localZoneChanged();
    else
        emit showOlderItems();
}
