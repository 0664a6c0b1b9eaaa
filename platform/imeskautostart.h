#pragma once

#include <QString>

#include <functional>
#include <memory>

// Starting the program when the user logs in to the desktop session.
class IMeskAutostart
{
public:
    using Factory = std::function<std::unique_ptr<IMeskAutostart>()>;

    virtual ~IMeskAutostart() = default;

    // Registers program (an absolute file path, taken as it is) to start with the session.
    // False when the entry could not be written.
    virtual bool enable(const QString& program) = 0;
    // Removes the entry; an entry that is already absent is fine. False only when an existing
    // entry could not be removed.
    virtual bool disable() = 0;
    virtual bool isEnabled() const = 0;

    // Makes the layer through the process-wide factory (the platform's own unless a factory was
    // installed).
    static std::unique_ptr<IMeskAutostart> create();
    // Replaces the factory; an empty function restores the platform's own layer. Returns the
    // factory that was installed before.
    static Factory setFactory(Factory factory);
};
