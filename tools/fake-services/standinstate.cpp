#include "standinstate.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTextStream>

namespace {

const QString kStarted = QStringLiteral("started");

} // namespace

StandInState::StandInState(const QString& name)
    : m_path(folder() + QLatin1Char('/') + name + QStringLiteral(".json"))
{
    QFile file(m_path);
    if (file.open(QIODevice::ReadOnly)) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
        if (document.isObject() && document.object().value(kStarted).isDouble()) {
            m_state = document.object();
        } else {
            QTextStream(stderr) << "fake-services: " << m_path << " is not a stand-in's state ("
                                << error.errorString() << "); the stand-in starts afresh\n";
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
    return qint64(m_state.value(kStarted).toDouble());
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
    else if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(m_state).toJson()) < 0 ||
             !file.commit())
        failure = file.errorString();
    if (!failure.isEmpty() && !m_failed) {
        m_failed = true;
        QTextStream(stderr) << "fake-services: cannot write " << m_path << " (" << failure
                            << "); the stand-in forgets what happens in this run\n";
    }
}
