#include "standinstate.h"

#include "mesksavefile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTextStream>

#include <algorithm>
#include <cmath>

namespace {

const QString kStarted = QStringLiteral("started");

bool isWhole(const QJsonValue& value, qint64 low, qint64 high)
{
    const double number = value.toDouble();
    return value.isDouble() && number >= double(low) && number <= double(high) &&
           std::floor(number) == number;
}

// What is wrong with a value that should be of that kind; empty when nothing is.
QString wrongValue(const QJsonValue& value, StandInState::Kind kind)
{
    switch (kind) {
    case StandInState::Kind::Text:
        return value.isString() ? QString() : QStringLiteral("not a text");
    case StandInState::Kind::Digits: {
        const QString text = value.toString();
        const bool digits = value.isString() && !text.isEmpty() && text.size() <= 18 &&
                            std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isDigit(); });
        return digits ? QString() : QStringLiteral("not a text of 1 to 18 digits");
    }
    case StandInState::Kind::Whole:
        return isWhole(value, 0, 999999999) ? QString() : QStringLiteral("not a number from 0 to 999999999");
    case StandInState::Kind::Time:
        return isWhole(value, 0, QDateTime::currentSecsSinceEpoch())
                   ? QString()
                   : QStringLiteral("not a time from 1970 to now");
    case StandInState::Kind::Flag:
        return value.isBool() ? QString() : QStringLiteral("not true or false");
    }
    return {};
}

// What is wrong with a state read; empty when nothing is.
QString wrongState(const QJsonObject& state, const StandInState::List& list)
{
    if (const QString wrong = wrongValue(state.value(kStarted), StandInState::Kind::Time); !wrong.isEmpty())
        return QStringLiteral("\"%1\" is %2").arg(kStarted, wrong);
    if (list.key.isEmpty() || !state.contains(list.key))
        return {};
    if (!state.value(list.key).isArray())
        return QStringLiteral("\"%1\" is not a list").arg(list.key);
    const QJsonArray entries = state.value(list.key).toArray();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (!entries.at(i).isObject())
            return QStringLiteral("entry %1 of \"%2\" is not an object").arg(i + 1).arg(list.key);
        const QJsonObject entry = entries.at(i).toObject();
        for (const StandInState::Field& field : list.fields) {
            if (const QString wrong = wrongValue(entry.value(field.name), field.kind); !wrong.isEmpty())
                return QStringLiteral("\"%1\" of entry %2 of \"%3\" is %4")
                    .arg(field.name)
                    .arg(i + 1)
                    .arg(list.key, wrong);
        }
    }
    return {};
}

} // namespace

StandInState::StandInState(const QString& name, const List& list)
    : m_path(folder() + QLatin1Char('/') + name + QStringLiteral(".json"))
{
    QFile file(m_path);
    if (file.open(QIODevice::ReadOnly)) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
        QString wrong;
        if (error.error != QJsonParseError::NoError)
            wrong = error.errorString();
        else if (!document.isObject())
            wrong = QStringLiteral("not a JSON object");
        else
            wrong = wrongState(document.object(), list);
        if (wrong.isEmpty()) {
            m_state = document.object();
        } else {
            QTextStream(stderr) << "fake-services: " << m_path << " is not a stand-in's state (" << wrong
                                << "); the stand-in starts afresh\n";
        }
    }
    if (m_state.isEmpty()) {
        m_state.insert(kStarted, QDateTime::currentSecsSinceEpoch());
        write();
    }
}

QString StandInState::folder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/velto-lumesk-stand-ins");
}

qint64 StandInState::firstStart() const
{
    QMutexLocker lock(&m_mutex);
    return m_state.value(kStarted).toInteger();
}

QJsonValue StandInState::value(const QString& key) const
{
    QMutexLocker lock(&m_mutex);
    return m_state.value(key);
}

void StandInState::setValue(const QString& key, const QJsonValue& value)
{
    QMutexLocker lock(&m_mutex);
    m_state.insert(key, value);
    write();
}

void StandInState::write()
{
    QString failure;
    QSaveFile file(m_path);
    if (!QDir().mkpath(folder()))
        failure = QStringLiteral("the folder cannot be made");
    else if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(m_state).toJson()) < 0)
        failure = file.errorString();
    else
        MeskSaveFile::commit(file, &failure);
    if (!failure.isEmpty() && !m_failed) {
        m_failed = true;
        QTextStream(stderr) << "fake-services: cannot write " << m_path << " (" << failure
                            << "); the stand-in forgets what happens in this run\n";
    }
}
