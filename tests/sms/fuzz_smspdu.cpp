// libFuzzer harness over the PDU reader: the first octet picks raw TPDU bytes or hexadecimal text.

#include "smspduchecks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray rest(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const QString problem = (data[0] & 1) ? smsPduCheckHex(QString::fromLatin1(rest)) : smsPduCheckTpdu(rest);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        std::abort();
    }
    return 0;
}
