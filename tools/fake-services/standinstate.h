#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QMutex>
#include <QString>

// What one stand-in of the fake-services program remembers between its starts, so that a second
// try looks like the first: the time of its first start, from which it dates what it makes up,
// and what was added or removed since. It is one JSON object in folder()/<name>.json, read when
// this is constructed and written whole (through QSaveFile) by every change. A file that cannot
// be read, or holds a value of the wrong type or out of range, is said in one line on stderr and
// started afresh; a file that cannot be written is said once on stderr, and the stand-in serves on
// without its memory. Safe to use from any thread.
class StandInState
{
public:
    // What a value kept in a list's entries is.
    enum class Kind
    {
        Text,
        Digits, // a text of 1 to 18 decimal digits (an id counted on from)
        Whole,  // a number from 0 to 999999999
        Time,   // seconds since the epoch, from 1970 to now
        Flag,
    };
    struct Field
    {
        QString name;
        Kind kind;
    };
    // The list a stand-in keeps under key (none when the key is empty): objects, each with
    // these fields.
    struct List
    {
        QString key;
        QList<Field> fields;
    };

    explicit StandInState(const QString& name, const List& list = {});
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
