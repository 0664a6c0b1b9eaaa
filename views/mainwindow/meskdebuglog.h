#pragma once

#include <QString>
#include <QtGlobal>

// The debug log: every debug, warning, critical and fatal message of every thread, one line each,
// in a text file. Not installed by default.

// Opens fileName for writing (emptying it) and installs debugLogMessageHandler, then logs
// "*** Log started: <date and time>***". When the file cannot be opened nothing changes and the
// answer is false. A later successful call moves the log to its file.
bool installDebugLog(const QString& fileName);

// Writes "dd/MM/yy hh:mm:ss " (local time), the message and CR LF, and flushes; the message type
// is not written. Safe from any thread, also while the program shuts down.
void debugLogMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message);
