#pragma once

#include "imeskmodembackend.h"

#include <QList>
#include <QMutex>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

// A modem backend that tests drive, from any thread.
//
//   auto* modem = new FakeModem;             // supported, no device yet
//   modem->setDevicePresent(true);           // emits interfaceArrival()
//   modem->setReadyState(1);                 // emits readyStateChange()
//   modem->setSignalStrength(20);            // emits signalStateChange()
//   modem->setQueryFails(FakeModem::Query::ReadyState, true);
//   emit modem->preferredProvidersChange();  // any signal by hand
//
// Every setter is thread-safe and emits its event on the calling thread, so
// a test can play changes from another thread with FakeModemDriver. While
// silent, setters change the values without emitting. Queries fail while no
// device is present. Hand the fake to the network manager through
// MeskNetworkBackends::setFactory; the SMS side of the modem extends this
// class.
class FakeModem : public IMeskModemBackend
{
    Q_OBJECT
public:
    enum class Query
    {
        ReadyState,
        HardwareRadio,
        SignalStrength,
        HomeProvider,
        OwnNumbers
    };

    using IMeskModemBackend::IMeskModemBackend;

    // open() answers false when unsupported.
    void setSupported(bool supported);
    void setWatchFails(bool fails);
    void setSilent(bool silent);

    // Emits interfaceArrival() or interfaceRemoval() when presence changes.
    void setDevicePresent(bool present);
    // The modem's ready state (0 to 7, see IMeskModemBackend); emits readyStateChange().
    void setReadyState(int state);
    // 0 off, 1 on; emits radioStateChange().
    void setRadio(int radio);
    // Raw 0 to 31 or 99; emits signalStateChange().
    void setSignalStrength(quint32 strength);
    // Emits homeProviderAvailable().
    void setHomeProvider(const QString& name);
    // Emits subscriberInformationChange().
    void setOwnNumbers(const QStringList& numbers);
    // Makes one query answer false until cleared.
    void setQueryFails(Query query, bool fails);

    // How often a query was asked.
    int queryCount(Query query) const;

    bool open() override;
    bool watch() override;
    bool hasDevice() override;
    bool readyState(int* state) override;
    bool hardwareRadio(int* radio) override;
    bool signalStrength(quint32* strength) override;
    bool homeProviderName(QString* name) override;
    bool ownNumbers(QStringList* numbers) override;

protected:
    // Counts the query and tells whether it may answer; call with m_mutex held.
    bool answersLocked(Query query);
    bool silent() const;

    mutable QMutex m_mutex;

private:
    static constexpr int QueryKinds = 5;

    bool m_supported = true;
    bool m_watchFails = false;
    bool m_silent = false;
    bool m_present = false;
    int m_readyState = 0;
    int m_radio = 1;
    quint32 m_signal = 99;
    QString m_provider;
    QStringList m_numbers;
    bool m_fails[QueryKinds] = {};
    int m_counts[QueryKinds] = {};
};

// Plays changes on a FakeModem from a thread of its own.
//
//   FakeModemDriver driver(modem);
//   driver.play({[](FakeModem& m) { m.setDevicePresent(true); },
//                [](FakeModem& m) { m.setReadyState(1); }});
//   driver.wait();
//   driver.playRepeatedly([](FakeModem& m, int round) { m.setSignalStrength(round % 32); });
//   ...
//   driver.stop();   // ends the repetition and waits for the thread
class FakeModemDriver
{
public:
    using Step = std::function<void(FakeModem&)>;
    using RepeatedStep = std::function<void(FakeModem&, int round)>;

    explicit FakeModemDriver(FakeModem* modem);
    ~FakeModemDriver();
    FakeModemDriver(const FakeModemDriver&) = delete;
    FakeModemDriver& operator=(const FakeModemDriver&) = delete;

    // Runs the steps in order on the driver's thread; returns at once. A
    // script that is still playing is finished first.
    void play(QList<Step> script);
    // Runs the step again and again, counting rounds from 0, until stop().
    void playRepeatedly(RepeatedStep step);
    // Plays the script and waits for its end.
    bool run(QList<Step> script);
    // Waits for the script to end; false on timeout.
    bool wait(int msecs = 10000);
    // Ends a repetition after its current round, and waits.
    void stop();

    QThread* thread() const { return m_thread.get(); }
    int rounds() const { return m_rounds.load(); }

private:
    FakeModem* m_modem;
    std::unique_ptr<QThread> m_thread;
    std::atomic_bool m_stop = false;
    std::atomic_int m_rounds = 0;
};
