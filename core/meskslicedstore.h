#pragma once

#include <QDebug>
#include <QElapsedTimer>
#include <QList>
#include <QObject>

#include <algorithm>
#include <functional>
#include <utility>

class QTimer;

// Stores a long answer a slice at a time, one slice per turn of the event loop, so the window stays
// responsive while thousands of entries are written and announced. Each slice is one call of the
// writer's `slice` function, which stores the entries [from, to) in a storage batch of its own and
// announces them once that batch committed: no batch spans a turn of the event loop. `done` runs
// after the last slice; what must wait for the whole answer (a since marker) moves there.
//
// The first slice runs inside start(), each further one on a later turn; a slice holds as many
// entries as the previous ones suggest fit in a few milliseconds, and at most a quarter more than
// the one before. cancel(), a new start() and the object's destruction drop the slices not yet
// run, and `done` with them. GUI thread only.
class CMeskSlicedStore : public QObject
{
    Q_OBJECT
public:
    using Slice = std::function<void(qsizetype from, qsizetype to)>;
    using Done = std::function<void()>;

    // The most entries a writer takes from one answer (real answers hold a few hundred at most).
    static constexpr qsizetype MaxAnswerEntries = 1000;

    explicit CMeskSlicedStore(QObject* parent = nullptr);
    ~CMeskSlicedStore() override;

    void start(qsizetype count, Slice slice, Done done);
    void cancel();
    bool isRunning() const { return m_count > 0; }

    // Keeps the MaxAnswerEntries newest entries in their order (newest: the largest newness(entry),
    // of equals the first listed), with one log line naming `what` when it cuts. Each entry's
    // newness is read once.
    template <typename T, typename Newness>
    static void keepNewest(QList<T>& entries, Newness newness, const char* what)
    {
        if (entries.size() <= MaxAnswerEntries)
            return;
        using Key = std::pair<decltype(newness(entries.first())), qsizetype>;
        QList<Key> keys;
        keys.reserve(entries.size());
        for (qsizetype i = 0; i < entries.size(); ++i)
            keys.append(Key(newness(entries.at(i)), -i));
        QList<Key> order = keys;
        const auto nth = order.begin() + (MaxAnswerEntries - 1);
        std::nth_element(order.begin(), nth, order.end(), std::greater<Key>());
        const Key last = *nth;
        QList<T> kept;
        kept.reserve(MaxAnswerEntries);
        for (qsizetype i = 0; i < entries.size(); ++i) {
            if (keys.at(i) >= last)
                kept.append(entries.at(i));
        }
        qDebug().noquote() << QStringLiteral("%1: answer of %2 entries, only the newest %3 are stored")
                                  .arg(QLatin1String(what))
                                  .arg(entries.size())
                                  .arg(MaxAnswerEntries);
        entries = std::move(kept);
    }

private:
    void runSlice();

    QTimer* m_timer;
    Slice m_slice;
    Done m_done;
    qsizetype m_count = 0;
    qsizetype m_next = 0;
    qsizetype m_sliceSize = 0;
    quint64 m_generation = 0;
};
