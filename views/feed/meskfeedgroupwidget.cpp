#include "feed/meskfeedgroupwidget.h"

#include "imediaitemwidget.h"
#include "meskclock.h"
#include "mesksmallwidgets.h"
#include "mesktexts.h"
#include "meskuistyle.h"

#include <QLabel>
#include <QLayoutItem>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {

constexpr int kHighlightSteps = 20;
constexpr int kHighlightIntervalMs = 500;

int productMetric(const QWidget* widget, unsigned int id)
{
    return widget->style()->pixelMetric(QStyle::PixelMetric(id), nullptr, widget);
}

// The item widget's place in its entry's layout. The toolkit's widget item asks the widget for its
// size hint (for the hint and for the least and largest sizes), and a widget with a word-wrapping
// layout answers with the height at its preferred width: a full pass over every text inside at a
// width the item never gets. Where the widget's vertical policy both grows and shrinks, that
// height is never used (the entry's layout takes the height for the real width), so this item
// takes the hint's width from the widget's layout and leaves its height at the least one. Any
// other widget is asked as before.
class CFeedEntryItem : public QWidgetItem
{
public:
    using QWidgetItem::QWidgetItem;

    QSize sizeHint() const override
    {
        if (!widthOnly())
            return QWidgetItem::sizeHint();
        const QWidget* item = widget();
        // QWidget::sizeHint's width: the layout's preferred width and the widget's own margins.
        const QMargins margins = item->contentsMargins();
        const QSize least = item->minimumSizeHint();
        QSize hint(item->layout()->sizeHint().width() + margins.left() + margins.right(), least.height());
        hint = hint.expandedTo(least).boundedTo(item->maximumSize()).expandedTo(item->minimumSize());
        if (item->sizePolicy().horizontalPolicy() == QSizePolicy::Ignored)
            hint.setWidth(0);
        return hint;
    }
    // The toolkit's least and largest sizes of a widget item, with the hint above.
    QSize minimumSize() const override
    {
        if (!widthOnly())
            return QWidgetItem::minimumSize();
        const QWidget* item = widget();
        const QSize least = item->minimumSizeHint();
        const QSizePolicy::Policy policy = item->sizePolicy().horizontalPolicy();
        QSize size(0, least.height());
        if (policy != QSizePolicy::Ignored)
            size.setWidth(policy & QSizePolicy::ShrinkFlag ? least.width()
                                                           : qMax(sizeHint().width(), least.width()));
        size = size.boundedTo(item->maximumSize());
        if (item->minimumWidth() > 0)
            size.setWidth(item->minimumWidth());
        if (item->minimumHeight() > 0)
            size.setHeight(item->minimumHeight());
        return size.expandedTo(QSize(0, 0));
    }
    QSize maximumSize() const override
    {
        if (!widthOnly())
            return QWidgetItem::maximumSize();
        const QWidget* item = widget();
        if ((alignment() & Qt::AlignHorizontal_Mask) && (alignment() & Qt::AlignVertical_Mask))
            return QSize(QLAYOUTSIZE_MAX, QLAYOUTSIZE_MAX);
        QSize size = item->maximumSize();
        if (alignment() & Qt::AlignHorizontal_Mask)
            size.setWidth(QLAYOUTSIZE_MAX);
        else if (size.width() == QWIDGETSIZE_MAX &&
                 !(item->sizePolicy().horizontalPolicy() & QSizePolicy::GrowFlag))
            size.setWidth(qMax(sizeHint().width(), item->minimumWidth()));
        return size;
    }

private:
    bool widthOnly() const
    {
        const QWidget* item = widget();
        const int vertical = item->sizePolicy().verticalPolicy();
        return !isEmpty() && item->layout() && item->layout()->hasHeightForWidth() &&
               (vertical & QSizePolicy::GrowFlag) && (vertical & QSizePolicy::ShrinkFlag) &&
               !(vertical & QSizePolicy::IgnoreFlag) && !(alignment() & Qt::AlignVertical_Mask);
    }
};

// The item's time as a sort key; an item without a time sorts below every dated one.
qint64 timeKey(const QDateTime& created)
{
    return created.isValid() ? created.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
}

} // namespace

QSize meskWrappedSizeHint(const QWidget* widget)
{
    QSize hint = widget->layout()->sizeHint();
    if (widget->layout()->hasHeightForWidth())
        hint.setHeight(widget->layout()->totalHeightForWidth(widget->width()));
    return hint;
}

// ---- CMeskFeedGroupDateHeader ----

CMeskFeedGroupDateHeader::CMeskFeedGroupDateHeader(const QDate& date, QWidget* parent)
    : QWidget(parent), m_date(date), m_label(new QLabel(this))
{
    auto* layout = new QHBoxLayout(this);
    const int margin = productMetric(this, CMeskUiStyle::PM_MeskItemFrameMargin);
    layout->setContentsMargins(margin, margin, margin, margin);

    QPalette palette = m_label->palette();
    const QBrush caption(CMeskUiStyle::color(24), Qt::SolidPattern);
    palette.setBrush(QPalette::Active, QPalette::WindowText, caption);
    palette.setBrush(QPalette::Inactive, QPalette::WindowText, caption);
    m_label->setPalette(palette);
    QFont font = this->font();
    font.setBold(true);
    font.setPointSize(7);
    m_label->setFont(font);

    layout->addWidget(m_label);
    layout->addStretch(1);
    updateText();
}

QString CMeskFeedGroupDateHeader::text() const
{
    return m_label->text();
}

void CMeskFeedGroupDateHeader::updateText()
{
    const QString caption =
        CMeskTexts::dateHeaderText(m_date, MeskClock::now().toLocalTime().date()).toUpper();
    if (caption != m_label->text())
        m_label->setText(caption);
}

// ---- CMeskFeedWidget ----

CMeskFeedWidget::CMeskFeedWidget(IMediaItemWidget* widget, QWidget* parent)
    : QWidget(parent), m_itemWidget(widget)
{
    auto* layout = new QVBoxLayout(this);
    const int margin = productMetric(this, CMeskUiStyle::PM_MeskItemFrameMargin);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(0);
    // What QLayout::addWidget does for a widget of a new entry, with the item above.
    widget->setParent(this);
    widget->setAttribute(Qt::WA_LaidOut);
    layout->addItem(new CFeedEntryItem(widget));
    layout->addSpacing(productMetric(this, CMeskUiStyle::PM_MeskItemBandHeight));
}

QSize CMeskFeedWidget::sizeHint() const
{
    return meskWrappedSizeHint(this);
}

bool CMeskFeedWidget::isItem(mid_t provider, mid_t id) const
{
    const SMediaItem item = m_itemWidget->mediaItem();
    return item.provider == provider && item.id == id;
}

mid_t CMeskFeedWidget::itemId() const
{
    return m_itemWidget->mediaItem().id;
}

mid_t CMeskFeedWidget::providerId() const
{
    return m_itemWidget->mediaItem().provider;
}

QDateTime CMeskFeedWidget::created() const
{
    return m_itemWidget->mediaItem().created;
}

CMeskColorAnimation* CMeskFeedWidget::startHighlight(CMeskColorAnimation*& animation, const char* name)
{
    if (!animation) {
        animation =
            new CMeskColorAnimation(CMeskUiStyle::color(16), CMeskUiStyle::color(17), kHighlightSteps, this);
        animation->setObjectName(QString::fromLatin1(name));
        connect(animation, &CMeskColorAnimation::step, this, qOverload<>(&QWidget::update));
        connect(animation, &CMeskColorAnimation::done, this, qOverload<>(&QWidget::update));
    }
    animation->start(kHighlightIntervalMs);
    update();
    return animation;
}

void CMeskFeedWidget::startAddedHighlight()
{
    startHighlight(m_added, "addedHighlight");
}

void CMeskFeedWidget::startUpdatedHighlight()
{
    startHighlight(m_updated, "updatedHighlight");
}

void CMeskFeedWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int band = productMetric(this, CMeskUiStyle::PM_MeskItemBandHeight);
    const QRect area = rect();
    const CMeskColorAnimation* flash = nullptr;
    if (m_added && m_added->isRunning())
        flash = m_added;
    else if (m_updated && m_updated->isRunning())
        flash = m_updated;
    if (flash)
        painter.fillRect(area.adjusted(0, 0, 0, -band), flash->currentColor());
    painter.setPen(QPen(CMeskUiStyle::color(15), 0, Qt::DotLine));
    const int y = area.bottom() - band;
    painter.drawLine(area.left(), y, area.left() + area.width(), y);
}

// ---- CMeskFeedGroupWidget ----

CMeskFeedGroupWidget::CMeskFeedGroupWidget(const QDate& date, QWidget* parent)
    : QWidget(parent), m_header(new CMeskFeedGroupDateHeader(date)), m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addWidget(m_header, 0);
}

QSize CMeskFeedGroupWidget::sizeHint() const
{
    return meskWrappedSizeHint(this);
}

CMeskFeedWidget* CMeskFeedGroupWidget::addItemWidget(IMediaItemWidget* widget, bool highlight)
{
    auto* entry = new CMeskFeedWidget(widget);
    // At the group's width from the start: its first layout pass measures the texts at their width.
    entry->resize(width(), entry->height());
    const SMediaItem item = widget->mediaItem();
    const qint64 time = timeKey(item.created);
    // The first entry strictly older than the new one; entries of the same time stay above.
    const auto at =
        std::partition_point(m_times.cbegin(), m_times.cend(), [time](qint64 t) { return t >= time; });
    const qsizetype index = at - m_times.cbegin();
    m_layout->insertWidget(int(index) + 1, entry, 0);
    m_entries.insert(index, entry);
    m_times.insert(index, time);
    m_byKey.insert(MeskItemKey(item.provider, item.id), entry);
    if (highlight)
        entry->startAddedHighlight();
    return entry;
}

bool CMeskFeedGroupWidget::containsItem(mid_t provider, mid_t id) const
{
    return m_byKey.contains(MeskItemKey(provider, id));
}

CMeskFeedWidget* CMeskFeedGroupWidget::entry(mid_t provider, mid_t id) const
{
    // QMultiHash hands out the most recent insert first; the first placed is the last value.
    const QList<CMeskFeedWidget*> found = m_byKey.values(MeskItemKey(provider, id));
    return found.isEmpty() ? nullptr : found.constLast();
}

void CMeskFeedGroupWidget::highlightItem(mid_t provider, mid_t id)
{
    if (CMeskFeedWidget* found = entry(provider, id))
        found->startUpdatedHighlight();
}

CMeskFeedWidget* CMeskFeedGroupWidget::takeEntry(qsizetype index)
{
    CMeskFeedWidget* entry = m_entries.takeAt(index);
    m_times.removeAt(index);
    m_layout->removeWidget(entry);
    entry->hide();
    return entry;
}

void CMeskFeedGroupWidget::removeProviderItems(mid_t provider)
{
    for (auto it = m_byKey.begin(); it != m_byKey.end();) {
        if (it.key().first == provider)
            it = m_byKey.erase(it);
        else
            ++it;
    }
    for (qsizetype i = m_entries.size() - 1; i >= 0; --i) {
        if (m_entries.at(i)->providerId() == provider)
            delete takeEntry(i);
    }
}

void CMeskFeedGroupWidget::removeItem(mid_t provider, mid_t id)
{
    const MeskItemKey key(provider, id);
    if (!m_byKey.contains(key))
        return;
    const QList<CMeskFeedWidget*> found = m_byKey.values(key);
    m_byKey.remove(key);
    // The item widget may be handling an event of its own (a delete button); it goes later.
    for (CMeskFeedWidget* entry : found)
        takeEntry(m_entries.indexOf(entry))->deleteLater();
}

void CMeskFeedGroupWidget::setFilter(const QString& text)
{
    int matches = 0;
    for (CMeskFeedWidget* entry : std::as_const(m_entries)) {
        const bool match = entry->itemWidget()->applyFilter(text, true);
        entry->setVisible(match);
        if (match)
            ++matches;
    }
    setVisible(matches > 0);
}

void CMeskFeedGroupWidget::filterEntry(CMeskFeedWidget* entry, const QString& text)
{
    const bool match = entry->itemWidget()->applyFilter(text, true);
    entry->setVisible(match);
    // An entry the filter hid was hidden on purpose; the others show with the group.
    const bool anyShown = std::any_of(m_entries.cbegin(), m_entries.cend(), [](const CMeskFeedWidget* e) {
        return !(e->isHidden() && e->testAttribute(Qt::WA_WState_ExplicitShowHide));
    });
    setVisible(anyShown);
}

void CMeskFeedGroupWidget::clearFilter()
{
    // Only what the filter hid is shown again: showing a shown entry would lay it out anew.
    for (CMeskFeedWidget* entry : std::as_const(m_entries)) {
        entry->itemWidget()->clearFilter();
        if (entry->isHidden())
            entry->show();
    }
    if (isHidden())
        show();
}

void CMeskFeedGroupWidget::updateTime()
{
    for (CMeskFeedWidget* entry : std::as_const(m_entries))
        entry->itemWidget()->updateTime();
    m_header->updateText();
}
