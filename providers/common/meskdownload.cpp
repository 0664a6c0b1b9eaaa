#include "meskdownload.h"

namespace MeskDownload {

bool isBusy(const CMeskHttpMethod* call)
{
    return call && !call->isReady();
}

bool succeeded(const CMeskHttpMethod* call)
{
    const int status = call ? call->httpStatus() : 0;
    return status >= 200 && status < 300;
}

bool finish(CMeskHttpMethod*& call, QObject* item)
{
    const bool ok = succeeded(call);
    release(call, item);
    return ok;
}

} // namespace MeskDownload
