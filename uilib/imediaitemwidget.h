#pragma once

#include "meskrecords.h"

#include <QString>
#include <QWidget>

// The base of every feed item widget (a post, a photo, a status, a text message). The feed
// views hold items only through this interface: they hide thumbnails, refresh the shown times,
// apply and clear the text filter and ask for the record an item shows. Replies and forwards
// leave an item as the two signals, which travel up to the main window.
class IMediaItemWidget : public QWidget
{
    Q_OBJECT

public:
    explicit IMediaItemWidget(QWidget* parent, Qt::WindowFlags flags = {});
    ~IMediaItemWidget() override;

public slots:
    // Shows or hides the item's picture part.
    virtual void setThumbnailVisible(bool visible) = 0;
    // Refreshes the shown relative time.
    virtual void updateTime() = 0;
    // Whether the item matches the filter; when it does and highlight is true, the item shows
    // its text with the matches marked.
    virtual bool applyFilter(const QString& text, bool highlight) = 0;
    // Shows the item's text unmarked again.
    virtual void clearFilter() = 0;
    // The record the widget shows.
    virtual SMediaItem mediaItem() = 0;

signals:
    // Open the post-update dialog of the provider with the text already entered.
    void postUpdateAction(mid_t providerId, QString text);
    // Open the text-message dialog with the number and text (either may be empty).
    void postSmsAction(QString phone, QString text);
};
