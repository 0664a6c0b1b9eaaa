// How the stream view fills, grows and relabels against a plain QListView showing the same items,
// and how long one press of "More" takes in the single stream over a full storage.
//
// stream   the real Facebook item widget (CFacebookEventWidget) per item, over a canned Facebook
//          store written the way an update stores posts (profiles with their pictures, posts with
//          two comments each, photo, album, link, video and calendar event attachments with their
//          thumbnails in place), read back through the object manager as the provider does. The
//          first fill and "More" are the real CMeskSingleStreamView on the engine over that storage
//          (its own storage reads included); "all items" adds every item to a CMeskStreamView
// list     QListView, 360 x 600, over a QStandardItemModel: one row per day caption and one per
//          item (caption as plain text and the relative time), word wrap, non-uniform sizes
//
// Metrics (median of --runs): first fill (the newest whole days reaching 20 items), one "More"
// step (the next older day), all items (time, memory, widgets) and two relabels (30 s later;
// after midnight). Each timed phase ends when the view is settled: event processing turns
// until one turn delivers no event to the view or its descendants, then a repaint.
//
// --more: one press of "More" in the single stream, shown, over a storage of 10,000 Facebook
// posts and some text messages (--stored N, --messages N), timed from the press until the event
// loop is idle (settled as above), median of --runs (default 9).
//
// The program runs each side and phase group in a process of its own (it starts itself with
// --child), so memory figures do not mix. It prints the build type, a table and each goal as
// "measured / anchor = ratio (goal)". --json FILE also writes the figures as JSON. --show shows
// the stream after the first fill and one "More" step instead (--grab FILE saves a picture of it
// and ends; --empty shows the "no items" placeholder).
#include "benchsupport.h"
#include "facebookanswers.h"
#include "facebookapi.h"
#include "facebookitems.h"
#include "facebookobjects.h"
#include "facebookrecords.h"
#include "feed/meskfeedgroupwidget.h"
#include "feed/mesksinglestreamview.h"
#include "feed/meskstreamview.h"
#include "imediaitemwidget.h"
#include "mediadatabase.h"
#include "mediastoragebatch.h"
#include "meskclock.h"
#include "mesktexts.h"
#include "meskuistyle.h"
#include "testengine.h"
#include "ui/facebookeventwidget.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListView>
#include <QMap>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

using BenchSupport::buildType;

const QDateTime kStart(QDate(2024, 6, 14), QTime(12, 0));
const QDateTime kAfterMidnight(QDate(2024, 6, 15), QTime(0, 0, 30));
constexpr int kFirstFillItems = 20;
constexpr quint32 kSeed = 20240614;
constexpr mid_t kFacebook = 2;
// The signed-in user's id: nobody in the store, so every post is a friend's.
const QString kOwnUid = QStringLiteral("12345");
constexpr double kFirstFillGoal = 3.0; // the stream's first fill against the list's
constexpr double kMoreGoalMs = 50.0;   // one "More" press to idle over 10,000 stored posts

QDateTime g_now = kStart;

// ---- Data ----

const QStringList& words()
{
    static const QStringList list =
        QStringLiteral(
            "the a walk lunch friends weekend photo trip coffee city garden rain sunny new old with at from "
            "great evening morning music concert book reading park river lake train station holiday")
            .split(QLatin1Char(' '));
    return list;
}

// Items spread over the 365 days before the start time, oldest first (storage order).
QList<SMediaItem> makeItems(int count, bool shuffle)
{
    QRandomGenerator random(kSeed);
    QList<SMediaItem> items;
    items.reserve(count);
    for (int i = 0; i < count; ++i) {
        SMediaItem item;
        item.provider = 1 + mid_t(i % 3);
        item.type = 1;
        item.created = kStart.addSecs(-qint64(random.bounded(365 * 86400)));
        const int length = 60 + int(random.bounded(141));
        QString text;
        const int linkAt = int(random.bounded(length / 2));
        while (text.size() < length) {
            if (!text.isEmpty())
                text += QLatin1Char(' ');
            if (text.size() >= linkAt && !text.contains(QLatin1String("http")))
                text += QStringLiteral("http://example.com/p/%1").arg(i);
            else
                text += words().at(int(random.bounded(words().size())));
        }
        item.content = text.left(length);
        items << item;
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const SMediaItem& a, const SMediaItem& b) { return a.created < b.created; });
    for (int i = 0; i < items.size(); ++i)
        items[i].id = i + 1;
    if (shuffle)
        std::shuffle(items.begin(), items.end(), QRandomGenerator(kSeed + 1));
    return items;
}

// Text messages spread over the same 365 days, received and sent.
QList<SSmsMessage> makeMessages(int count)
{
    QRandomGenerator random(kSeed + 2);
    QList<SSmsMessage> messages;
    for (int i = 0; i < count; ++i) {
        SSmsMessage message;
        message.type = i % 2;
        message.phone = QStringLiteral("+47912345%1").arg(i % 100, 2, 10, QLatin1Char('0'));
        message.message = QStringLiteral("See you at the station at %1").arg(i % 24);
        message.created = kStart.addSecs(-qint64(random.bounded(365 * 86400)));
        messages << message;
    }
    return messages;
}

struct SPhases
{
    QList<SMediaItem> firstFill; // storage order
    QList<SMediaItem> more;
};

SPhases splitPhases(const QList<SMediaItem>& items)
{
    QMap<QDate, int> perDay;
    for (const SMediaItem& item : items)
        ++perDay[item.created.toLocalTime().date()];
    QDate firstFillFrom, moreDay;
    int shown = 0;
    for (auto it = perDay.constEnd(); it != perDay.constBegin();) {
        --it;
        if (shown >= kFirstFillItems) {
            moreDay = it.key();
            break;
        }
        shown += it.value();
        firstFillFrom = it.key();
    }
    SPhases phases;
    for (const SMediaItem& item : items) {
        const QDate day = item.created.toLocalTime().date();
        if (day >= firstFillFrom)
            phases.firstFill << item;
        else if (day == moreDay)
            phases.more << item;
    }
    return phases;
}

// ---- The canned Facebook store ----

// A picture file of that size, written where an object expects its download (one encoding per size).
bool writePicture(const QString& file, const QSize& size)
{
    static QHash<quint64, QByteArray> encoded;
    const quint64 key = (quint64(size.width()) << 32) | quint64(size.height());
    if (!encoded.contains(key)) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(QColor(120, 150, 200));
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(240, 220, 200));
        painter.drawEllipse(
            QRectF(size.width() * 0.2, size.height() * 0.15, size.width() * 0.6, size.height() * 0.6));
        painter.end();
        QBuffer buffer(&encoded[key]);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
    }
    if (file.isEmpty() || !QDir().mkpath(QFileInfo(file).absolutePath()))
        return false;
    QFile out(file);
    return out.open(QIODevice::WriteOnly) && out.write(encoded.value(key)) == encoded.value(key).size();
}

// The items as Facebook posts by 200 friends, in the storage under a root, stored the way an
// update stores them, with every picture in place (nothing is downloaded). Widgets are made as
// the provider makes them, by an object manager whose caches start empty, as after a start.
class CFacebookBenchStore
{
public:
    ~CFacebookBenchStore()
    {
        if (m_objects)
            m_objects->clear();
        m_objects.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Each item becomes the record of its stored post; the messages are stored as they are.
    bool build(const QString& root, QList<SMediaItem>& items, QList<SSmsMessage> messages = {})
    {
        registerFacebookMetaTypes();
        m_db = std::make_unique<CMediaDataBase>(root);
        if (!m_db->open())
            return false;
        m_objects = std::make_unique<CFacebookObjectManager>(&m_api, kFacebook);
        m_objects->setStorage(m_db.get());
        const QList<SFacebookUser> profiles = FacebookAnswers::generateProfiles(200, 1000);
        const QList<SFacebookStreamPost> posts = FacebookAnswers::generatePosts(int(items.size()), profiles);
        QHash<QString, mid_t> userIds;
        {
            CMediaStorageBatch batch(m_db.get());
            m_objects->beginNew();
            for (const SFacebookUser& profile : profiles) {
                CFacebookUser* user = m_objects->addUser(profile, false);
                if (!user || !writePicture(user->avatarFile(), QSize(50, 50)))
                    return false;
                userIds.insert(profile.uid, user->serviceUser().id);
            }
            m_objects->acceptNew();
            if (!batch.end())
                return false;
        }
        constexpr qsizetype kSlice = 500;
        for (qsizetype first = 0; first < items.size(); first += kSlice) {
            CMediaStorageBatch batch(m_db.get());
            m_objects->beginNew();
            for (qsizetype i = first; i < qMin(first + kSlice, items.size()); ++i) {
                SFacebookStreamPost post = posts.at(i);
                post.message = items.at(i).content;
                post.createdTime = QString::number(items.at(i).created.toSecsSinceEpoch());
                post.likesCount = QString::number(i % 4);
                for (SFacebookComment& comment : post.comments)
                    comment.time = post.createdTime;
                const mid_t userId = userIds.value(post.actorId);
                CFacebookEvent* event = m_objects->addPost(post, userId);
                if (!event)
                    return false;
                m_objects->addComments(event, post.comments);
                if (post.hasAttachment && !attach(event, post, userId))
                    return false;
                items[i] = event->mediaItem();
            }
            m_objects->acceptNew();
            if (!batch.end())
                return false;
        }
        for (SSmsMessage& message : messages) {
            if (!m_db->addSmsMessage(message))
                return false;
        }
        m_objects->clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return true;
    }

    IMediaItemWidget* widget(const SMediaItem& item)
    {
        CFacebookEvent* event = m_objects->event(item.id);
        CFacebookUser* user = m_objects->user(item.user);
        if (!event || !user)
            return nullptr;
        return new CFacebookEventWidget(user, event, m_objects.get(), kOwnUid, nullptr);
    }

private:
    bool attach(CFacebookEvent* event, const SFacebookStreamPost& post, mid_t userId)
    {
        const QString type = post.attachment.fbObjectType;
        if (type == QLatin1String("photo") || type == QLatin1String("album")) {
            for (const SFacebookMedia& media : post.attachment.media) {
                CFacebookPhoto* photo = m_objects->photoFromMedia(media, userId);
                if (!photo || !event->attachPhoto(photo) ||
                    !writePicture(photo->thumbnailFile(), QSize(130, 100)))
                    return false;
            }
            return true;
        }
        if (type == QLatin1String("link")) {
            return event->attachLink(m_objects->addLink(
                {post.attachment.href, post.attachment.name, post.attachment.caption, post.createdTime},
                userId));
        }
        if (type == QLatin1String("event"))
            return event->attachCalendarEvent(m_objects->addCalendarEvent(post, userId));
        if (type == QLatin1String("video")) {
            CFacebookVideo* video = m_objects->addVideo(post, userId);
            return video && event->attachVideo(video) && writePicture(video->thumbnailFile(), QSize(120, 90));
        }
        return true;
    }

    std::unique_ptr<CMediaDataBase> m_db;
    CFacebookApi m_api;
    std::unique_ptr<CFacebookObjectManager> m_objects;
};

// ---- Settling ----

// Counts the events delivered to one widget tree.
class CEventCounter : public QObject
{
public:
    explicit CEventCounter(QWidget* root) : m_root(root) { qApp->installEventFilter(this); }
    ~CEventCounter() override { qApp->removeEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent*) override
    {
        for (QObject* o = watched; o; o = o->parent()) {
            if (o == m_root) {
                ++count;
                break;
            }
        }
        return false;
    }

    int count = 0;

private:
    QWidget* m_root;
};

// Processes events until a turn delivers none to the tree, then repaints the shown area.
void settle(QWidget* root, QWidget* painted)
{
    CEventCounter counter(root);
    for (int turn = 0; turn < 100000; ++turn) {
        counter.count = 0;
        QCoreApplication::processEvents();
        if (counter.count == 0)
            break;
    }
    painted->repaint();
}

double elapsedMs(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

double statusMb(const char* key)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

int entryCount(const CMeskStreamView* view)
{
    int count = 0;
    if (view->feedsList()) {
        for (const CMeskFeedGroupWidget* group : view->feedsList()->groups())
            count += group->itemCount();
    }
    return count;
}

// ---- The two sides ----

class ISide
{
public:
    virtual ~ISide() = default;
    virtual QWidget* root() = 0;
    virtual QWidget* painted() = 0;
    virtual void add(const QList<SMediaItem>& items) = 0; // one step of the owner
    virtual void relabel() = 0;
    virtual bool check(QString& problem)
    {
        Q_UNUSED(problem);
        return true;
    }
};

// Every item's real widget added to a stream view (the items are records of the store's posts).
class CStreamSide : public ISide
{
public:
    explicit CStreamSide(CFacebookBenchStore* store) : m_store(store)
    {
        m_view.resize(m_view.width(), 600);
        m_view.show();
    }
    QWidget* root() override { return &m_view; }
    QWidget* painted() override { return &m_view; }
    void add(const QList<SMediaItem>& items) override
    {
        for (const SMediaItem& item : items)
            m_view.addItemWidget(m_store->widget(item), false);
    }
    void relabel() override { QMetaObject::invokeMethod(&m_view, "_onDateUpdateTimer"); }
    bool check(QString& problem) override
    {
        for (QWidget* w : m_view.findChildren<QWidget*>()) {
            if (w->testAttribute(Qt::WA_NativeWindow)) {
                problem = QStringLiteral("native widget in the stream: %1")
                              .arg(QString::fromLatin1(w->metaObject()->className()));
                return false;
            }
        }
        if (m_view.widget() && m_view.widget()->height() >= QWIDGETSIZE_MAX) {
            problem = QStringLiteral("content height %1 reaches the widget size limit")
                          .arg(m_view.widget()->height());
            return false;
        }
        return true;
    }

private:
    CFacebookBenchStore* m_store;
    CMeskStreamView m_view;
};

class CListSide : public ISide
{
public:
    CListSide()
    {
        m_view.setWordWrap(true);
        m_view.setUniformItemSizes(false);
        m_view.setModel(&m_model);
        m_view.resize(360, 600);
        m_view.show();
    }
    QWidget* root() override { return &m_view; }
    QWidget* painted() override { return m_view.viewport(); }
    void add(const QList<SMediaItem>& items) override
    {
        // The rows of these items in the stream's order, appended below the rows there are.
        QList<SMediaItem> sorted = items;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const SMediaItem& a, const SMediaItem& b) { return a.created > b.created; });
        QDate day;
        for (const SMediaItem& item : std::as_const(sorted)) {
            const QDate itemDay = item.created.toLocalTime().date();
            if (itemDay != day) {
                day = itemDay;
                m_model.appendRow(new QStandardItem(caption(day)));
                m_rows << SRow{day, {}};
            }
            m_model.appendRow(new QStandardItem(text(item)));
            m_rows << SRow{{}, item};
        }
    }
    void relabel() override
    {
        m_model.blockSignals(true);
        for (int i = 0; i < m_rows.size(); ++i) {
            const SRow& row = m_rows.at(i);
            m_model.item(i)->setText(row.day.isValid() ? caption(row.day) : text(row.item));
        }
        m_model.blockSignals(false);
        emit m_model.dataChanged(m_model.index(0, 0), m_model.index(m_model.rowCount() - 1, 0));
    }

private:
    struct SRow
    {
        QDate day;
        SMediaItem item;
    };
    static QString caption(const QDate& day)
    {
        return CMeskTexts::dateHeaderText(day, g_now.date()).toUpper();
    }
    static QString text(const SMediaItem& item)
    {
        return item.content + QLatin1Char('\n') + CMeskTexts::relativeTimeText(item.created, g_now);
    }

    QStandardItemModel m_model;
    QListView m_view;
    QList<SRow> m_rows;
};

// The single stream on the engine over a storage of the items as Facebook posts and the messages:
// the engine's Facebook provider makes the store's real item widgets.
class CSingleStream
{
public:
    bool init(QList<SMediaItem>& items, const QList<SSmsMessage>& messages)
    {
        m_env.sms = true;
        m_env.addProvider(kFacebook, QStringLiteral("Facebook"));
        if (!m_store.build(m_env.storageRoot(), items, messages) || !m_env.init())
            return false;
        m_env.provider(kFacebook)->setItemWidgetFactory(
            [this](const SMediaItem& item) { return m_store.widget(item); });
        // The window stands before the view is made, as the list's does before its rows come.
        new QVBoxLayout(&m_window);
        m_window.layout()->setContentsMargins(0, 0, 0, 0);
        m_window.resize(360, 600);
        m_window.show();
        settle(&m_window, &m_window);
        return true;
    }
    // The first fill: the view made and shown in the window.
    void show()
    {
        m_view = new CMeskSingleStreamView(m_env.engine(), &m_window);
        m_window.layout()->addWidget(m_view);
        m_view->show();
    }
    QWidget* window() { return &m_window; }
    CMeskSingleStreamView* view() const { return m_view; }
    int entries() const { return entryCount(m_view->streamView()); }
    bool pressMore()
    {
        CMeskFeedsListWidget* list = m_view->streamView()->feedsList();
        if (!list || list->streamAction()->isHidden())
            return false;
        QTest::mouseClick(list->streamAction(), Qt::LeftButton);
        return true;
    }

private:
    TestEngine m_env;
    CFacebookBenchStore m_store;
    QWidget m_window;
    CMeskSingleStreamView* m_view = nullptr;
};

// One child process: "fill" (first fill, then one "More" step), "all" (every item, memory,
// then the two relabels) or "more" (the single stream over the items and messages, one press of
// "More"). Prints one JSON line.
int runChild(const QString& side, const QString& kind, int count, int messageCount, bool shuffle)
{
    QList<SMediaItem> items = makeItems(count, shuffle);
    QJsonObject result;
    QElapsedTimer timer;
    if (side == QLatin1String("stream") && kind != QLatin1String("all")) {
        CSingleStream stream;
        if (!stream.init(items, makeMessages(messageCount))) {
            std::fprintf(stderr, "stream_bench: cannot build the storage\n");
            return 1;
        }
        timer.start();
        stream.show();
        settle(stream.window(), stream.window());
        result[QStringLiteral("firstFill")] = elapsedMs(timer);
        const int shown = stream.entries();
        result[QStringLiteral("firstFillItems")] = shown;
        timer.start();
        if (!stream.pressMore()) {
            std::fprintf(stderr, "stream_bench: no \"More\" after the first fill\n");
            return 1;
        }
        settle(stream.window(), stream.window());
        result[QStringLiteral("more")] = elapsedMs(timer);
        result[QStringLiteral("moreItems")] = stream.entries() - shown;
    } else if (kind == QLatin1String("fill")) {
        const SPhases phases = splitPhases(items);
        CListSide view;
        settle(view.root(), view.painted());
        timer.start();
        view.add(phases.firstFill);
        settle(view.root(), view.painted());
        result[QStringLiteral("firstFill")] = elapsedMs(timer);
        result[QStringLiteral("firstFillItems")] = int(phases.firstFill.size());
        timer.start();
        view.add(phases.more);
        settle(view.root(), view.painted());
        result[QStringLiteral("more")] = elapsedMs(timer);
        result[QStringLiteral("moreItems")] = int(phases.more.size());
    } else {
        QTemporaryDir storeRoot;
        CFacebookBenchStore store;
        if (side == QLatin1String("stream") &&
            !store.build(storeRoot.filePath(QStringLiteral("mstorage")), items)) {
            std::fprintf(stderr, "stream_bench: cannot build the storage\n");
            return 1;
        }
        const double rssBefore = statusMb("VmRSS");
        std::unique_ptr<ISide> view;
        if (side == QLatin1String("stream"))
            view = std::make_unique<CStreamSide>(&store);
        else
            view = std::make_unique<CListSide>();
        settle(view->root(), view->painted());
        timer.start();
        view->add(items);
        settle(view->root(), view->painted());
        result[QStringLiteral("all")] = elapsedMs(timer);
        result[QStringLiteral("rssGrowth")] = statusMb("VmRSS") - rssBefore;
        result[QStringLiteral("hwm")] = statusMb("VmHWM");
        result[QStringLiteral("widgets")] = int(QApplication::allWidgets().size());
        QString problem;
        if (!view->check(problem)) {
            std::fprintf(stderr, "stream_bench: %s\n", qPrintable(problem));
            return 1;
        }
        g_now = kStart.addSecs(30);
        timer.start();
        view->relabel();
        settle(view->root(), view->painted());
        result[QStringLiteral("relabel30s")] = elapsedMs(timer);
        g_now = kAfterMidnight;
        timer.start();
        view->relabel();
        settle(view->root(), view->painted());
        result[QStringLiteral("relabelMidnight")] = elapsedMs(timer);
    }
    std::printf("RESULT %s\n", QJsonDocument(result).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
    return 0;
}

// Shows the single stream after its first fill and one "More" step, for a look on a display;
// with a file name, saves a grab of it and ends.
int runShow(int count, const QString& grabPath, bool empty)
{
    QList<SMediaItem> items = makeItems(count, false);
    CSingleStream stream;
    if (!stream.init(items, {}))
        return 1;
    stream.show();
    stream.window()->setWindowTitle(QStringLiteral("stream_bench --show"));
    settle(stream.window(), stream.window());
    stream.pressMore();
    if (empty)
        stream.view()->streamView()->showNoItems();
    settle(stream.window(), stream.window());
    if (!grabPath.isEmpty())
        return stream.window()->grab().save(grabPath) ? 0 : 1;
    return QApplication::exec();
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

QString argValue(const QStringList& args, const QString& name, const QString& fallback = {})
{
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1) : fallback;
}

// Runs one child process; false (reported) when it fails. Adds its figures to the side's table.
bool runOnce(const QString& side, const QString& kind, int count, int messages, bool shuffle,
             QMap<QString, QList<double>>& figures)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    process.setReadChannel(QProcess::StandardOutput);
    QStringList childArgs{QStringLiteral("--child"),
                          side,
                          kind,
                          QStringLiteral("--items"),
                          QString::number(count),
                          QStringLiteral("--messages"),
                          QString::number(messages)};
    if (shuffle)
        childArgs << QStringLiteral("--shuffle");
    process.start(QCoreApplication::applicationFilePath(), childArgs);
    process.closeWriteChannel();
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        std::fprintf(stderr, "stream_bench: the %s/%s run failed:\n%s\n", qPrintable(side), qPrintable(kind),
                     process.readAllStandardError().constData());
        return false;
    }
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        if (!line.startsWith("RESULT "))
            continue;
        const QJsonObject object = QJsonDocument::fromJson(line.mid(7)).object();
        for (auto it = object.constBegin(); it != object.constEnd(); ++it)
            figures[it.key()] << it.value().toDouble();
    }
    return true;
}

// One "More" press in the single stream over the stored posts and messages, press to idle.
int runMore(int stored, int messages, int runs)
{
    QMap<QString, QList<double>> figures;
    for (int run = 0; run < runs; ++run) {
        if (!runOnce(QStringLiteral("stream"), QStringLiteral("more"), stored, messages, false, figures))
            return 1;
    }
    const double more = median(figures.value(QStringLiteral("more")));
    std::printf(
        "stream_bench --more (%s build): %d stored Facebook posts, %d text messages, median of %d run(s)\n\n",
        buildType(), stored, messages, runs);
    std::printf("%-44s %10.1f\n", "first fill (ms)", median(figures.value(QStringLiteral("firstFill"))));
    std::printf("%-44s %10.0f\n", "items after the first fill",
                median(figures.value(QStringLiteral("firstFillItems"))));
    std::printf("%-44s %10.0f\n", "items added by \"More\"",
                median(figures.value(QStringLiteral("moreItems"))));
    QStringList all;
    for (double value : figures.value(QStringLiteral("more")))
        all << QString::number(value, 'f', 1);
    std::printf("%-44s %s\n", "\"More\" press to idle, each run (ms)",
                qPrintable(all.join(QLatin1Char(' '))));
    std::printf("\ngoal: one \"More\" press to idle, %d stored: %.1f ms / %.1f ms = %.2f (goal <= 1)\n",
                stored, more, kMoreGoalMs, more / kMoreGoalMs);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(new CMeskUiStyle);
    MeskClock::setSource([] { return g_now; });
    const QStringList args = app.arguments();
    const bool moreMode = args.contains(QStringLiteral("--more"));
    const int count = qMax(1, argValue(args, QStringLiteral("--items"),
                                       argValue(args, QStringLiteral("--stored"),
                                                moreMode ? QStringLiteral("10000") : QStringLiteral("5000")))
                                  .toInt());
    const int messages = qMax(
        0, argValue(args, QStringLiteral("--messages"), moreMode ? QStringLiteral("40") : QStringLiteral("0"))
               .toInt());
    const bool shuffle = args.contains(QStringLiteral("--shuffle"));

    const qsizetype child = args.indexOf(QStringLiteral("--child"));
    if (child >= 0 && child + 2 < args.size())
        return runChild(args.at(child + 1), args.at(child + 2), count, messages, shuffle);

    if (args.contains(QStringLiteral("--show")))
        return runShow(count, argValue(args, QStringLiteral("--grab")),
                       args.contains(QStringLiteral("--empty")));

    const int runs =
        qMax(1, argValue(args, QStringLiteral("--runs"), moreMode ? QStringLiteral("9") : QStringLiteral("5"))
                    .toInt());
    if (moreMode)
        return runMore(count, messages, runs);

    const QString jsonPath = argValue(args, QStringLiteral("--json"));
    const QStringList sides{QStringLiteral("stream"), QStringLiteral("list")};
    const QStringList kinds{QStringLiteral("fill"), QStringLiteral("all")};
    QMap<QString, QMap<QString, QList<double>>> figures; // side -> metric -> values

    for (int run = 0; run < runs; ++run) {
        for (const QString& side : sides) {
            for (const QString& kind : kinds) {
                if (!runOnce(side, kind, count, messages, shuffle, figures[side]))
                    return 1;
            }
        }
    }

    struct SMetric
    {
        const char* key;
        QString title;
    };
    const auto stream = [&](const char* key) {
        return median(figures[QStringLiteral("stream")][QString::fromLatin1(key)]);
    };
    const QList<SMetric> metrics{
        {"firstFill", QStringLiteral("first fill, %1 items (ms)").arg(stream("firstFillItems"))},
        {"more", QStringLiteral("one \"More\" step, %1 items (ms)").arg(stream("moreItems"))},
        {"all", QStringLiteral("all %1 items (ms)").arg(count)},
        {"rssGrowth", QStringLiteral("all items: VmRSS growth (MB)")},
        {"hwm", QStringLiteral("all items: VmHWM (MB)")},
        {"widgets", QStringLiteral("all items: widgets")},
        {"relabel30s", QStringLiteral("relabel, 30 s later (ms)")},
        {"relabelMidnight", QStringLiteral("relabel, after midnight (ms)")},
    };

    std::printf("stream_bench (%s build): %d items, %s order, median of %d run(s)\n\n", buildType(), count,
                shuffle ? "random" : "storage", runs);
    std::printf("%-36s | %12s | %12s | %11s\n", "metric", "stream", "list", "stream/list");
    std::printf("%s\n", QByteArray(36 + 3 + 12 + 3 + 12 + 3 + 11, '-').constData());
    QJsonObject json{{QStringLiteral("build"), QString::fromLatin1(buildType())},
                     {QStringLiteral("items"), count},
                     {QStringLiteral("runs"), runs},
                     {QStringLiteral("shuffle"), shuffle}};
    QJsonObject table;
    for (const SMetric& metric : metrics) {
        const QString key = QString::fromLatin1(metric.key);
        const double s = median(figures[QStringLiteral("stream")][key]);
        const double l = median(figures[QStringLiteral("list")][key]);
        const double ratio = l > 0 ? s / l : 0;
        std::printf("%-36s | %12.1f | %12.1f | %11.1f\n", qPrintable(metric.title), s, l, ratio);
        table[key] = QJsonObject{{QStringLiteral("title"), metric.title},
                                 {QStringLiteral("stream"), s},
                                 {QStringLiteral("list"), l},
                                 {QStringLiteral("ratio"), ratio}};
    }
    json[QStringLiteral("metrics")] = table;
    const double fillStream = median(figures[QStringLiteral("stream")][QStringLiteral("firstFill")]);
    const double fillList = median(figures[QStringLiteral("list")][QStringLiteral("firstFill")]);
    std::printf("\ngoal: stream first fill: %.1f ms / QListView %.1f ms = %.2f (goal <= %.0f)\n", fillStream,
                fillList, fillList > 0 ? fillStream / fillList : 0, kFirstFillGoal);
    if (!jsonPath.isEmpty()) {
        QFile file(jsonPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(QJsonDocument(json).toJson()) < 0) {
            std::fprintf(stderr, "stream_bench: cannot write %s\n", qPrintable(jsonPath));
            return 1;
        }
        std::printf("\nwritten: %s\n", qPrintable(jsonPath));
    }
    return 0;
}
