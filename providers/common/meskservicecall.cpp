#include "meskservicecall.h"

#include <QDebug>
#include <QMetaObject>

CMeskServiceCall::CMeskServiceCall(QObject* parent) : CMeskHttpMethod(parent) {}

CMeskServiceCall::~CMeskServiceCall() = default;

QString CMeskServiceCall::failureLine(const char* what) const
{
    return QLatin1String(metaObject()->className()) + QStringLiteral(": failed to ") + QLatin1String(what) +
           QStringLiteral(" http request");
}

bool CMeskServiceCall::refuse(const QString& line)
{
    qDebug().noquote() << line;
    const quint64 attempt = ++m_attempt;
    QMetaObject::invokeMethod(
        this,
        [this, attempt] {
            if (attempt != m_attempt)
                return;
            emit protocolError(MediaErrorUnassigned);
            emit protocolError();
        },
        Qt::QueuedConnection);
    return false;
}

bool CMeskServiceCall::sendGet(const QString& url, const QString& line)
{
    return started(get(url), line);
}

bool CMeskServiceCall::sendPost(const QString& url, const QByteArray& body, const QString& line)
{
    return started(post(url, body), line);
}

bool CMeskServiceCall::started(bool ok, const QString& line)
{
    if (!ok)
        return refuse(line);
    ++m_attempt;
    return true;
}
