#pragma once

#include <QString>
#include <QStringList>

// How a test runs a command in a private user and mount namespace (unshare), where it may mount a
// file system of its own without privileges: the command's program and arguments go after
// arguments. script runs first under "sh -c", with scriptArguments as $1, $2, ... and then the
// command's words; it ends by running the command. unavailable says why the machine offers no such
// namespace (no unshare, or a kernel that forbids it): the test then skips.
struct SPrivateMounts
{
    QString program;
    QStringList arguments;
    QString unavailable;
};
SPrivateMounts privateMounts(const QString& script, const QStringList& scriptArguments);
