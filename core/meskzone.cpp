#include "meskzone.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include <sys/stat.h>

namespace {

constexpr char kSystemZoneFile[] = "/etc/localtime";

// What the C library goes by: TZ when it is set, otherwise the zone file, which it reads again when
// its device, inode or modification time differ from those it read last.
struct SZoneIdentity
{
    std::optional<std::string> tz;
    bool present = false;
    dev_t device = 0;
    ino_t inode = 0;
    time_t modified = 0;

    bool operator==(const SZoneIdentity&) const = default;
};

struct SZoneWatch
{
    QMutex mutex;
    QByteArray path = kSystemZoneFile;
    std::optional<SZoneIdentity> last;
};

SZoneWatch& watch()
{
    static SZoneWatch state;
    return state;
}

std::atomic<quint64> g_generation{0};

std::optional<std::string> tzValue()
{
    const char* tz = std::getenv("TZ");
    return tz ? std::optional<std::string>(tz) : std::nullopt;
}

SZoneIdentity identify(const QByteArray& path)
{
    SZoneIdentity identity;
    identity.tz = tzValue();
    // A set TZ names the zone by itself (an empty one is UTC): the file does not count then.
    if (identity.tz)
        return identity;
    struct stat info
    {
    };
    if (::stat(path.constData(), &info) == 0) {
        identity.present = true;
        identity.device = info.st_dev;
        identity.inode = info.st_ino;
        identity.modified = info.st_mtime;
    }
    return identity;
}

// The zone's offset from UTC at that moment, as the C library last read the zone.
int localOffset(qint64 secs)
{
    const time_t seconds = time_t(secs);
    struct tm local
    {
    };
    return ::localtime_r(&seconds, &local) ? int(local.tm_gmtoff) : 0;
}

} // namespace

namespace MeskZone {

bool checkChange()
{
    SZoneWatch& state = watch();
    QMutexLocker lock(&state.mutex);
    const SZoneIdentity identity = identify(state.path);
    if (!state.last) {
        state.last = identity;
        return false;
    }
    if (*state.last == identity)
        return false;
    state.last = identity;
    ::tzset();
    g_generation.fetch_add(1, std::memory_order_acq_rel);
    return true;
}

quint64 generation()
{
    return g_generation.load(std::memory_order_acquire);
}

void setZoneFilePath(const QString& path)
{
    SZoneWatch& state = watch();
    QMutexLocker lock(&state.mutex);
    state.path = path.isEmpty() ? QByteArray(kSystemZoneFile) : QFile::encodeName(path);
    state.last.reset();
}

QString zoneFilePath()
{
    SZoneWatch& state = watch();
    QMutexLocker lock(&state.mutex);
    return QFile::decodeName(state.path);
}

QDateTime localInstant(qint64 secsSinceEpoch)
{
    // Lists read the same seconds again and again (the items of one batch share their "added"):
    // each is converted once while the zone stays the same.
    struct SLocalInstants
    {
        bool primed = false;
        quint64 generation = 0;
        std::optional<std::string> tz;
        QHash<qint64, QDateTime> dates;
    };
    constexpr qsizetype MaxRemembered = 32768;
    thread_local SLocalInstants local;
    const quint64 current = generation();
    const char* tz = std::getenv("TZ");
    const bool sameTz = tz ? local.tz == std::string_view(tz) : !local.tz.has_value();
    if (!local.primed || local.generation != current || !sameTz) {
        // A TZ set without tzset() is read here, before the first conversion in the new zone.
        ::tzset();
        local.dates.clear();
        local.primed = true;
        local.generation = current;
        local.tz = tz ? std::optional<std::string>(tz) : std::nullopt;
    }
    auto it = local.dates.constFind(secsSinceEpoch);
    if (it != local.dates.cend())
        return it.value();
    if (local.dates.size() >= MaxRemembered)
        local.dates.clear();
    const QDateTime date =
        QDateTime::fromSecsSinceEpoch(secsSinceEpoch, Qt::OffsetFromUTC, localOffset(secsSinceEpoch));
    return local.dates.insert(secsSinceEpoch, date).value();
}

QDateTime localInstantMSecs(qint64 msecsSinceEpoch)
{
    const qint64 secs = msecsSinceEpoch >= 0 ? msecsSinceEpoch / 1000 : (msecsSinceEpoch - 999) / 1000;
    return QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch, Qt::OffsetFromUTC, localOffset(secs));
}

} // namespace MeskZone
