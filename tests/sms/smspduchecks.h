#pragma once

// The properties every reading of hostile input must keep; shared by the robustness test and the
// libFuzzer harness. Each check returns an empty text, or what went wrong.

#include "smspdu.h"

#include <QString>

inline QString smsPduCheckTpdu(const QByteArray& bytes, bool* decodedOut = nullptr)
{
    SmsPduMessage message;
    const bool decoded = smsPduDecode(bytes, message);
    if (decodedOut)
        *decodedOut = decoded;
    if (message.text.size() > SmsMaxTextLength)
        return QStringLiteral("text of %1 units").arg(message.text.size());
    if (message.number.size() > SmsMaxNumberLength)
        return QStringLiteral("number of %1 characters").arg(message.number.size());
    if ((message.partCount || message.partNumber) &&
        (message.partNumber < 1 || message.partNumber > message.partCount))
        return QStringLiteral("part %1 of %2").arg(message.partNumber).arg(message.partCount);
    if (!decoded && (!message.text.isEmpty() || !message.number.isEmpty() || message.timeStamp))
        return QStringLiteral("failed decode left a message behind");

    for (quint8 variant : {SmsTpduMessageForms, SmsTpduReportWithCause}) {
        SmsTpdu record;
        const int result = smsPduParse(variant, bytes, record);
        if (result < SmsPduSuccess || result > SmsPduBadAddress)
            return QStringLiteral("parse result %1").arg(result);
        if (variant == SmsTpduMessageForms && decoded != (result == SmsPduSuccess))
            return QStringLiteral("decode and parse disagree");
        if (result != SmsPduSuccess) {
            if (!(record == SmsTpdu()))
                return QStringLiteral("failed parse left a record behind");
            continue;
        }
        if (record.address.size() > SmsMaxAddressLength || record.addressLength != record.address.size())
            return QStringLiteral("address of %1 characters").arg(record.address.size());
        if (record.userData.size() > SmsMaxTextLength || record.userDataLength != record.userData.size())
            return QStringLiteral("user data of %1").arg(record.userData.size());

        // What was read either builds or is refused; what is built reads back.
        QByteArray built;
        const int buildResult = smsPduBuild(record, built);
        if (buildResult != SmsPduSuccess && buildResult != SmsPduMissing)
            return QStringLiteral("build result %1").arg(buildResult);
        unsigned size = 0;
        if (smsPduSize(record, size) != buildResult || size != unsigned(built.size()))
            return QStringLiteral("size and build disagree");
        if (buildResult != SmsPduSuccess)
            continue;
        if (built.size() > SmsMaxTpduOctets)
            return QStringLiteral("built %1 octets").arg(built.size());
        SmsTpdu again;
        const int reparsed = smsPduParse(variant, built, again);
        if (reparsed != SmsPduSuccess)
            return QStringLiteral("rebuilt TPDU %1 does not read back (%2)")
                .arg(QString::fromLatin1(built.toHex()))
                .arg(reparsed);
    }
    return {};
}

// A hexadecimal PDU text as the modem gives it.
inline QString smsPduCheckHex(const QString& text, bool* decoded = nullptr)
{
    QByteArray tpdu = "stale";
    if (!smsPduFromHex(text, tpdu))
        return tpdu.isEmpty() ? QString() : QStringLiteral("rejected hex text left bytes behind");
    if (text.isEmpty() || text.size() % 2 != 0 || tpdu.size() >= text.size() / 2)
        return QStringLiteral("hex text accepted with a wrong length");
    return smsPduCheckTpdu(tpdu, decoded);
}
