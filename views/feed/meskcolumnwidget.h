#pragma once

#include "meskrecords.h"

#include <QDate>
#include <QWidget>

struct SMeskDayFill;
class CMeskEngine;
class CMeskStreamLabelWidget;
class CMeskStreamView;
class CMeskThumbnailWidget;
class CQuorAnimationWidget;
class IMediaItemProvider;
class IMediaItemWidget;
class QHBoxLayout;
class QLabel;
class QVBoxLayout;

// A column of the multi-column feed area, as the multi-column view and the feed area
// controller see it.
class IMeskColumnWidget : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;

public slots:
    // Empties the column's stream and loads it again.
    virtual void reload() = 0;
    // Puts a banner into the column's banner box, above the banners already there.
    virtual void insertTopWidget(QWidget* widget) = 0;
    virtual void setFilter(const QString& text) = 0;
    virtual void clearFilter() = 0;
    // The column's service: the provider id, 7 for the text messages.
    virtual mid_t serviceId() const = 0;
};

// The parts every column shares: a fixed-width vertical box holding the header (height fixed,
// margins 5/0/15/0), the stream view and, below it, the banner box.
struct SMeskColumnParts
{
    QWidget* header = nullptr;
    QHBoxLayout* headerBox = nullptr;
    QLabel* title = nullptr;
    CMeskStreamView* streamView = nullptr;
    QVBoxLayout* bannerBox = nullptr;
};
// Builds them on the column: the header with the icon and the bold 9-pt title (the caller adds
// the rest of the header), the stream view and the banner box.
SMeskColumnParts meskBuildColumn(QWidget* column, CMeskThumbnailWidget* icon, const QString& title);

// The column of one activated service provider: its stored feed events day by day from today
// backwards ("More" loads one older day per press), then whatever the provider reports live,
// flashing. The header's refresh button asks the provider to update at once; while it updates
// a busy animation stands in its place.
class CMeskColumnWidget : public IMeskColumnWidget
{
    Q_OBJECT

public:
    CMeskColumnWidget(CMeskEngine* engine, IMediaItemProvider* provider, QWidget* parent = nullptr);

    void reload() override;
    void insertTopWidget(QWidget* widget) override;
    void setFilter(const QString& text) override;
    void clearFilter() override;
    mid_t serviceId() const override;

    // Adds a widget of the provider for the item, thumbnail hidden; flashes it with highlight.
    void addItemWidget(const SMediaItem& item, bool highlight);

    CMeskStreamView* streamView() const { return m_streamView; }
    CMeskThumbnailWidget* refreshButton() const { return m_refreshButton; }
    CQuorAnimationWidget* busyAnimation() const { return m_busyAnimation; }
    QVBoxLayout* bannerBox() const { return m_bannerBox; }
    // The day before the oldest day loaded.
    QDate oldestDate() const { return m_oldestDate; }

signals:
    void postUpdateAction(mid_t providerId, QString text);
    void postSmsAction(QString phone, QString text);

private slots:
    void _onMediaEventAdded(mid_t provider, const SMediaItem& item);
    void _onMediaEventUpdated(mid_t provider, const SMediaItem& item);
    void _onUpdateStarted(mid_t provider);
    void _onUpdateDone(mid_t provider);
    void _onServiceError(mid_t provider, TMediaError error);
    void _onRefreshProvider();
    void _onShowOlderItems();

private:
    // replace: what the column shows goes once everything is read (and stays when a read fails).
    void load(bool replace);
    // The provider's widget for the item, thumbnail hidden and wired to this column; null (with a
    // debug line) when it makes none.
    IMediaItemWidget* createItemWidget(const SMediaItem& item);
    // Places the provider's stored events of the days from the boundary backwards (see meskFillDays).
    // In the first fill the items wait in the stream's queue (CMeskStreamView::addFirstFillItem).
    SMeskDayFill fillDays(const QDate& boundary, int threshold, bool firstFill = false);

    CMeskEngine* m_engine = nullptr;
    IMediaItemProvider* m_provider = nullptr;
    CMeskStreamView* m_streamView = nullptr;
    CQuorAnimationWidget* m_busyAnimation = nullptr;
    CMeskThumbnailWidget* m_refreshButton = nullptr;
    QVBoxLayout* m_bannerBox = nullptr;
    QDate m_oldestDate;
};

// Fills the row of columns when there are fewer columns than the view shows: a centred status
// text.
class CMeskEmptyColumnWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CMeskEmptyColumnWidget(QWidget* parent = nullptr);

    // "There are no active services".
    void showNoActiveServices();
    // "There are no other services configured".
    void showNoOtherServices();
    CMeskStreamLabelWidget* label() const { return m_label; }

private:
    CMeskStreamLabelWidget* m_label = nullptr;
};
