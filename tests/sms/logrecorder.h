#pragma once

#include <QMutex>
#include <QStringList>
#include <QtGlobal>

// Records every debug message, from any thread, while it lives; the messages
// still reach the previous handler.
class LogRecorder
{
public:
    LogRecorder()
    {
        QMutexLocker lock(&mutex());
        s_current = this;
        m_previous = qInstallMessageHandler(&LogRecorder::handle);
    }
    ~LogRecorder()
    {
        qInstallMessageHandler(m_previous);
        QMutexLocker lock(&mutex());
        s_current = nullptr;
    }
    LogRecorder(const LogRecorder&) = delete;
    LogRecorder& operator=(const LogRecorder&) = delete;

    QStringList lines() const
    {
        QMutexLocker lock(&mutex());
        return m_lines;
    }
    int count(const QString& line) const { return int(lines().count(line)); }
    bool contains(const QString& line) const { return count(line) > 0; }
    void clear()
    {
        QMutexLocker lock(&mutex());
        m_lines.clear();
    }

private:
    static QMutex& mutex()
    {
        static QMutex m;
        return m;
    }
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        QtMessageHandler previous = nullptr;
        {
            QMutexLocker lock(&mutex());
            if (s_current) {
                s_current->m_lines.append(message);
                previous = s_current->m_previous;
            }
        }
        if (previous)
            previous(type, context, message);
    }

    QStringList m_lines;
    QtMessageHandler m_previous = nullptr;
    static inline LogRecorder* s_current = nullptr;
};
