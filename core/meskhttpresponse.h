#pragma once

#include <QList>
#include <QMetaType>
#include <QPair>
#include <QString>

// Transport failure of an HTTP task. The numbers are fixed: the services'
// error mappings are written against them.
enum TMeskHttpError
{
    HttpNoError = 0,
    HttpUnknownError = 1,
    HttpHostNotFound = 2,
    HttpConnectionRefused = 3,
    HttpUnexpectedClose = 4,
    HttpInvalidResponseHeader = 5,
    HttpWrongContentLength = 6,
    HttpAborted = 7,
    HttpAuthenticationRequired = 8,
    HttpProxyAuthenticationRequired = 9,
    // An in-memory answer grew past MeskHttpMaxBodySize; nothing was parsed.
    HttpResponseTooLarge = 10,
    // The answer had not ended when the request's total deadline passed; it was aborted.
    HttpTimedOut = 11,
};

// The status line and headers of one HTTP response.
class SMeskHttpResponseHeader
{
public:
    int statusCode = 0;
    QString reasonPhrase;
    // Every header in the order received; names keep their spelling.
    QList<QPair<QString, QString>> headers;

    bool isValid() const { return statusCode > 0; }
    // The first header of that name, compared case-insensitively; empty when absent.
    QString value(const QString& name) const
    {
        for (const auto& h : headers) {
            if (h.first.compare(name, Qt::CaseInsensitive) == 0)
                return h.second;
        }
        return {};
    }
    bool hasKey(const QString& name) const
    {
        for (const auto& h : headers) {
            if (h.first.compare(name, Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    }
};

// The largest answer body a call object is handed to parse (downloads to a
// file are not limited).
constexpr qint64 MeskHttpMaxBodySize = 8 * 1024 * 1024;
// Total deadline of a request a person watches a waiting page for (the setup wizards).
constexpr int MeskHttpWaitingDeadlineMs = 30 * 1000;

Q_DECLARE_METATYPE(TMeskHttpError)
Q_DECLARE_METATYPE(SMeskHttpResponseHeader)
