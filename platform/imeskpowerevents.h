#pragma once

#include <QObject>

#include <functional>
#include <memory>

// Power events of the computer that the program reacts to.
class IMeskPowerEvents : public QObject
{
    Q_OBJECT
public:
    using Factory = std::function<std::unique_ptr<IMeskPowerEvents>()>;

    using QObject::QObject;
    ~IMeskPowerEvents() override = default;

    // Makes the layer through the process-wide factory (the platform's own unless a factory was
    // installed). Make it on the GUI thread; it reports there.
    static std::unique_ptr<IMeskPowerEvents> create();
    // Replaces the factory; an empty function restores the platform's own layer. Returns the
    // factory that was installed before.
    static Factory setFactory(Factory factory);

signals:
    // The computer woke up from suspend or hibernation.
    void resumed();
};
