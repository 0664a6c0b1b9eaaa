#pragma once

#include "feed/meskcolumnwidget.h"

#include "imesksms.h"

struct SMeskDayFill;

// The column of the text messages (service id 7): the stored messages day by day from today
// backwards ("More" loads one older day per press), then the messages read from the SIM,
// received and sent, flashing; deleted messages leave it. It reads the SIM when built and each
// time the SMS state becomes ready.
class CMeskSmsColumnWidget : public IMeskColumnWidget
{
    Q_OBJECT

public:
    explicit CMeskSmsColumnWidget(CMeskEngine* engine, QWidget* parent = nullptr);

    void reload() override;
    void insertTopWidget(QWidget* widget) override;
    void setFilter(const QString& text) override;
    void clearFilter() override;
    mid_t serviceId() const override { return MeskProvider::SmsColumn; }

    // Adds the entry of the message, thumbnail hidden; flashes it with highlight.
    void addSmsWidget(const SSmsMessage& message, bool highlight);

    CMeskStreamView* streamView() const { return m_streamView; }
    QVBoxLayout* bannerBox() const { return m_bannerBox; }
    QDate oldestDate() const { return m_oldestDate; }

signals:
    void postUpdateAction(mid_t providerId, QString text);
    void postSmsAction(QString phone, QString text);

private slots:
    void _onSmsStateChanged(TMeskSmsState state);
    void _onSmsSimMessageReady(const SSmsMessage& message);
    void _onSmsNewMessageReceived(const SSmsMessage& message);
    void _onSmsMessageSent(const SSmsMessage& message);
    void _onSmsMessageDeleted(const SSmsMessage& message);
    void _onShowOlderItems();

private:
    // replace: what the column shows goes once everything is read (and stays when a read fails).
    void load(bool replace);
    // Places the stored messages of the days from the boundary backwards (see meskFillDays).
    SMeskDayFill fillDays(const QDate& boundary, int threshold);

    CMeskEngine* m_engine = nullptr;
    CMeskStreamView* m_streamView = nullptr;
    QVBoxLayout* m_bannerBox = nullptr;
    QDate m_oldestDate;
};
