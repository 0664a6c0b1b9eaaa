#pragma once

#include "imediaitemwidget.h"

#include <QSet>
#include <QStringList>

#include <functional>

class QLabel;

// A feed item widget that shows a settable item (its content as a label) and records what the
// views ask of it.
//
//   auto* w = new FakeItemWidget(item);       // calls: "updateTime", "applyFilter app 1", ...
//   w->onMousePress = [&] { stream.removeItem(item.provider, item.id); };
//   provider.setItemWidgetFactory(FakeItemWidget::factory({13}));  // null for item id 13
//
// applyFilter matches the filter case-insensitively against the item's content.
class FakeItemWidget : public IMediaItemWidget
{
    Q_OBJECT

public:
    explicit FakeItemWidget(const SMediaItem& item, QWidget* parent = nullptr);

    void setMediaItem(const SMediaItem& item);

    void setThumbnailVisible(bool visible) override;
    void updateTime() override;
    bool applyFilter(const QString& text, bool highlight) override;
    void clearFilter() override;
    SMediaItem mediaItem() override { return m_item; }

    void emitPostUpdateAction(mid_t provider, const QString& text) { emit postUpdateAction(provider, text); }
    void emitPostSmsAction(const QString& phone, const QString& text) { emit postSmsAction(phone, text); }

    // A factory for FakeProvider::setItemWidgetFactory: a new FakeItemWidget per item, null for
    // the item ids named.
    static std::function<IMediaItemWidget*(const SMediaItem&)> factory(const QSet<mid_t>& nullIds = {});

    // Every call in order: "setThumbnailVisible 1", "updateTime", "applyFilter <text> 1",
    // "clearFilter".
    QStringList calls;
    int updateTimeCalls = 0;
    // Run inside mousePressEvent (after the event is accepted).
    std::function<void()> onMousePress;

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    SMediaItem m_item;
    QLabel* m_label = nullptr;
};
