#include "facebookhttpmethod.h"

#include "facebookapi.h"

#include <QDebug>
#include <QMetaObject>

CFacebookHttpMethod::CFacebookHttpMethod(CFacebookApi* api, QObject* parent)
    : CMeskHttpMethod(parent), m_api(api)
{
}

CFacebookHttpMethod::~CFacebookHttpMethod() = default;

TMediaError CFacebookHttpMethod::mapError(int apiError)
{
    switch (apiError) {
    case CFacebookApi::NoError:
        return MediaErrorNone;
    case CFacebookApi::ServiceUnavailable:
        return MediaErrorServiceUnavailable;
    case CFacebookApi::RequestLimit:
    case CFacebookApi::ActionLimit:
        return MediaErrorRequestRefused;
    case CFacebookApi::PermissionDenied:
        return MediaErrorPermissionDenied;
    case CFacebookApi::InvalidApiKey:
    case CFacebookApi::InvalidSession:
    case CFacebookApi::LoginRefused:
        return MediaErrorAuthorization;
    default:
        return MediaErrorGeneral;
    }
}

TMediaError CFacebookHttpMethod::errorCode() const
{
    return mapError(m_parseError);
}

void CFacebookHttpMethod::logFailure(const char* what) const
{
    qDebug().noquote() << QLatin1String(metaObject()->className()) + QStringLiteral(": failed to ") +
                              QLatin1String(what) + QStringLiteral(" http request");
}

bool CFacebookHttpMethod::refuseFormat()
{
    return refuse("format");
}

bool CFacebookHttpMethod::refuseCreate()
{
    return refuse("create");
}

bool CFacebookHttpMethod::refuse(const char* what)
{
    logFailure(what);
    // Both signals, once request() has returned, so every listener hears of it whatever it
    // connected to; a refusal overtaken by a later request of this object is dropped.
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

bool CFacebookHttpMethod::send(const QString& url)
{
    // The object is ready, so no parse of an earlier request is running.
    m_parseError = CFacebookApi::NoError;
    ++m_attempt;
    if (!get(url))
        return refuseCreate();
    return true;
}
