#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QMutex>
#include <QString>

// What one stand-in of the fake-services program remembers between its starts, so that a second
// try looks like the first: the time of its first start, from which it dates what it makes up,
// and what was added or removed since. It is one JSON object in folder()/<name>.json, read when
// this is constructed and written whole (through QSaveFile) by every change; a file that cannot
// be read is started afresh, a file that cannot be written is said once on stderr, and the
// stand-in serves on without its memory. Safe to use from any thread.
class StandInState
{
public:
    explicit StandInState(const QString& name);
    StandInState(const StandInState&) = delete;
    StandInState& operator=(const StandInState&) = delete;

    // $XDG_STATE_HOME/velto-lumesk-stand-ins (~/.local/state/... when it is unset or not an
    // absolute path). Removing it starts the stand-ins afresh.
    static QString folder();

    // Seconds since the epoch at the first start (this start when there was none before).
    qint64 firstStart() const;
    // A value stored under key; undefined when none is.
    QJsonValue value(const QString& key) const;
    // Stores a value and writes the file.
    void setValue(const QString& key, const QJsonValue& value);

private:
    void write();

    mutable QMutex m_mutex;
    QString m_path;
    QJsonObject m_state;
    bool m_failed = false; // the one message about a file that cannot be written was given
};
