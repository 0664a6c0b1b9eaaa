#include "meskslicedstore.h"

#include <QTimer>

#include <utility>

namespace {
// What one slice may take: well below what a person notices as a stall.
constexpr qint64 SliceBudgetNs = 15 * 1000 * 1000;
constexpr qsizetype FirstSliceSize = 20;
constexpr qsizetype MinSliceSize = 5;
constexpr qsizetype MaxSliceSize = 500;
} // namespace

CMeskSlicedStore::CMeskSlicedStore(QObject* parent) : QObject(parent), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setInterval(0);
    connect(m_timer, &QTimer::timeout, this, &CMeskSlicedStore::runSlice);
}

CMeskSlicedStore::~CMeskSlicedStore() = default;

void CMeskSlicedStore::start(qsizetype count, Slice slice, Done done)
{
    cancel();
    if (count <= 0) {
        if (done)
            done();
        return;
    }
    m_slice = std::move(slice);
    m_done = std::move(done);
    m_count = count;
    m_next = 0;
    m_sliceSize = FirstSliceSize;
    runSlice();
}

void CMeskSlicedStore::cancel()
{
    ++m_generation;
    m_timer->stop();
    m_count = 0;
    m_next = 0;
    m_slice = nullptr;
    m_done = nullptr;
}

void CMeskSlicedStore::runSlice()
{
    if (m_count <= 0)
        return;
    const qsizetype from = m_next;
    const qsizetype to = std::min(m_count, from + m_sliceSize);
    m_next = to;
    const quint64 generation = m_generation;
    QElapsedTimer clock;
    clock.start();
    // A copy: the slice may cancel this run or start another one.
    const Slice slice = m_slice;
    slice(from, to);
    if (generation != m_generation)
        return;
    const qint64 elapsed = std::max<qint64>(clock.nsecsElapsed(), 1);
    const qint64 perEntry = std::max<qint64>(elapsed / (to - from), 1);
    // Growing by a quarter at most: an answer's entries differ in cost (a Facebook answer lists its
    // cheap profiles before its posts), and a run of cheap ones must not size a slice that then
    // meets the dear ones.
    const qsizetype grown = m_sliceSize + std::max<qsizetype>(m_sliceSize / 4, 1);
    m_sliceSize = std::clamp<qsizetype>(std::min<qsizetype>(SliceBudgetNs / perEntry, grown), MinSliceSize,
                                        MaxSliceSize);
    if (to < m_count) {
        m_timer->start();
        return;
    }
    const Done done = std::exchange(m_done, nullptr);
    m_slice = nullptr;
    m_count = 0;
    m_next = 0;
    if (done)
        done();
}
