#include "meskhttpmethod.h"

#include "meskhttptaskpool.h"

#include <QDebug>

CMeskHttpMethod::CMeskHttpMethod(QObject* parent) : IMeskHttpTaskObserver(parent) {}

CMeskHttpMethod::~CMeskHttpMethod()
{
    cancel();
}

void CMeskHttpMethod::cancel()
{
    if (m_taskId > 0)
        CMeskHttpTaskPool::cancelTask(m_taskId, this);
    // Nothing of the cancelled request arrives any more: the object takes the next one.
    m_ready = true;
}

bool CMeskHttpMethod::begin(const QString& url)
{
    if (!m_ready) {
        qDebug().noquote() << QStringLiteral("CMeskHttpMethod: method is not ready");
        return false;
    }
    if (url.isEmpty()) {
        qDebug().noquote() << QStringLiteral("CMeskHttpMethod: requested URL is empty");
        return false;
    }
    m_ready = false;
    return true;
}

bool CMeskHttpMethod::started(int id)
{
    if (id <= 0) {
        // The pool refused (it does not run): the object stays usable.
        m_ready = true;
        return false;
    }
    m_taskId = id;
    return true;
}

bool CMeskHttpMethod::get(const QString& url)
{
    return begin(url) && started(CMeskHttpTaskPool::get(url, this, m_deadlineMs));
}

bool CMeskHttpMethod::getToFile(const QString& url, const QString& fileName)
{
    return begin(url) && started(CMeskHttpTaskPool::getToFile(url, fileName, this, m_deadlineMs));
}

bool CMeskHttpMethod::post(const QString& url, const QByteArray& body)
{
    return begin(url) && started(CMeskHttpTaskPool::post(url, body, this, m_deadlineMs));
}

bool CMeskHttpMethod::postFile(const QString& url, const QString& fileName)
{
    return begin(url) && started(CMeskHttpTaskPool::postFile(url, fileName, this, m_deadlineMs));
}

void CMeskHttpMethod::onTaskResponse(const SMeskHttpResponseHeader& header, const QByteArray& body)
{
    m_httpStatus.store(header.statusCode);
    if (header.statusCode != 200)
        qDebug().noquote() << QStringLiteral("CMeskHttpMethod::onTaskResponse ") +
                                  QString::number(header.statusCode);
    m_parsed = parseResponse(header, body);
}

void CMeskHttpMethod::onTaskDone()
{
    m_ready = true;
    if (m_parsed) {
        emitResult();
    } else {
        emit protocolError(errorCode());
        emit protocolError();
    }
}

void CMeskHttpMethod::onTaskFailed(TMeskHttpError error)
{
    m_ready = true;
    m_httpStatus.store(0);
    emit networkError(error);
}

SMeskHttpResponseHeader CMeskHttpMethod::responseHeader() const
{
    return m_responseHeader;
}

QByteArray CMeskHttpMethod::responseData() const
{
    return m_responseData;
}

bool CMeskHttpMethod::parseResponse(const SMeskHttpResponseHeader& header, const QByteArray& body)
{
    m_responseHeader = header;
    m_responseData = body;
    return true;
}

void CMeskHttpMethod::emitResult()
{
    emit finished();
}

TMediaError CMeskHttpMethod::errorCode() const
{
    return MediaErrorGeneral;
}
