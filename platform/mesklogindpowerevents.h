#pragma once

#include "imeskpowerevents.h"

#include <QDBusConnection>

// Power events from systemd-logind: its manager object announces PrepareForSleep(true) before
// the computer sleeps and PrepareForSleep(false) after it woke up. Without a bus connection the
// layer reports nothing; a bus without logind simply never sends the signal.
class CMeskLogindPowerEvents : public IMeskPowerEvents
{
    Q_OBJECT
public:
    explicit CMeskLogindPowerEvents(const QDBusConnection& bus = QDBusConnection::systemBus(),
                                    QObject* parent = nullptr);
    ~CMeskLogindPowerEvents() override;

    // Whether the layer listens for logind's signal.
    bool isWatching() const { return m_watching; }

private slots:
    void _onPrepareForSleep(bool start);

private:
    QDBusConnection m_bus;
    bool m_watching = false;
};
