#pragma once

#include "meskhttpmethod.h"

#include <QObject>
#include <QString>

// File downloads of the providers' media objects (thumbnails, pictures, avatars, video bodies).
// Each kind runs on a plain call object that is a child of its item, at most one at a time. A
// download is done only when its answer had a 2xx status: on any other status the pool writes
// no file (an earlier one stays) and the download has failed.

// How a download request went: started, left to the one still running, or refused (no address
// or file, or the pool did not take it).
enum class TMeskDownloadStart
{
    Started,
    Busy,
    Refused
};

namespace MeskDownload {

// True while the call object of a kind runs (the one-download-per-kind rule).
bool isBusy(const CMeskHttpMethod* call);

// True when the call's last answer had a 2xx status.
bool succeeded(const CMeskHttpMethod* call);

// Lets a finished or replaced call object (a download or any other call of the item) go: its connections to
// item are cut first, so a late signal of an object about to be deleted never reaches the item, and it is
// deleted later (a slot of its own signal may be what runs now).
template <typename Call> void release(Call*& call, QObject* item)
{
    if (!call)
        return;
    QObject::disconnect(call, nullptr, item, nullptr);
    call->deleteLater();
    call = nullptr;
}

// Releases a finished download; true when its answer had a 2xx status (the file was written).
bool finish(CMeskHttpMethod*& call, QObject* item);

// Starts a GET of url into file on a fresh call object of owner's, unless the last one still
// runs. The call's completion goes to done, its transport failure to failed.
template <class Owner, class Done, class Failed>
TMeskDownloadStart start(Owner* owner, CMeskHttpMethod*& call, const QString& url, const QString& file,
                         Done done, Failed failed)
{
    if (isBusy(call))
        return TMeskDownloadStart::Busy;
    release(call, owner);
    call = new CMeskHttpMethod(owner);
    QObject::connect(call, &CMeskHttpMethod::finished, owner, done);
    QObject::connect(call, &CMeskHttpMethod::networkError, owner, failed);
    return call->getToFile(url, file) ? TMeskDownloadStart::Started : TMeskDownloadStart::Refused;
}

} // namespace MeskDownload
