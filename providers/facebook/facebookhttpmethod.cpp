#include "facebookhttpmethod.h"

#include "facebookapi.h"

#include <QDebug>

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
    logFailure("format");
    emit protocolError(MediaErrorUnassigned);
    return false;
}

bool CFacebookHttpMethod::refuseCreate()
{
    logFailure("create");
    emit protocolError(MediaErrorUnassigned);
    return false;
}

bool CFacebookHttpMethod::send(const QString& url)
{
    // The object is ready, so no parse of an earlier request is running.
    m_parseError = CFacebookApi::NoError;
    if (!get(url))
        return refuseCreate();
    return true;
}
