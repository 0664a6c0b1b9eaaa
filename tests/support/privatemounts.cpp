#include "privatemounts.h"

#include <QProcess>
#include <QStandardPaths>

SPrivateMounts privateMounts(const QString& script, const QStringList& scriptArguments)
{
    SPrivateMounts mounts;
    mounts.program = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    if (mounts.program.isEmpty()) {
        mounts.unavailable = QStringLiteral("no unshare program on this machine");
        return mounts;
    }
    mounts.arguments = QStringList{QStringLiteral("--user"),  QStringLiteral("--map-root-user"),
                                   QStringLiteral("--mount"), QStringLiteral("sh"),
                                   QStringLiteral("-c"),      script,
                                   QStringLiteral("sh")} +
                       scriptArguments;
    // Tried once with a command that does nothing.
    QProcess probe;
    probe.setProcessChannelMode(QProcess::MergedChannels);
    probe.start(mounts.program, mounts.arguments + QStringList{QStringLiteral("true")});
    if (!probe.waitForFinished(60000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
        mounts.unavailable = QStringLiteral("the machine forbids a private mount namespace: ") +
                             QString::fromLocal8Bit(probe.readAll()).trimmed();
    return mounts;
}
