// How the stream view fills, grows and relabels against a plain QListView showing the same items.
//
// stream   CMeskStreamView, 360 x 600, shown, with one real CMeskFeedWidget per item around an
//          item widget made of the building blocks (avatar, rich-text caption with a link, date
//          label, two link buttons)
// list     QListView, 360 x 600, over a QStandardItemModel: one row per day caption and one per
//          item (caption as plain text and the relative time), word wrap, non-uniform sizes
//
// Metrics (median of --runs): first fill (the newest whole days reaching 20 items), one "More"
// step (the next older day), all items (time, memory, widgets) and two relabels (30 s later;
// after midnight). Each timed phase ends when the view is settled: event processing turns
// until one turn delivers no event to the view or its descendants, then a repaint.
//
// The program runs each side and phase group in a process of its own (it starts itself with
// --child), so memory figures do not mix. It prints the build type and a table; none of the
// figures is a limit. --json FILE also writes the figures as JSON. --show shows the stream after
// the first fill and one "More" step instead (--grab FILE saves a picture of it and ends; --empty
// shows the "no items" placeholder).
#include "imediaitemwidget.h"
#include "meskclock.h"
#include "meskitemwidgets.h"
#include "feed/meskstreamview.h"
#include "mesktexts.h"
#include "meskthumbnailwidget.h"
#include "meskuistyle.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListView>
#include <QMap>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardItemModel>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

const QDateTime kStart(QDate(2024, 6, 14), QTime(12, 0));
const QDateTime kAfterMidnight(QDate(2024, 6, 15), QTime(0, 0, 30));
constexpr int kFirstFillItems = 20;
constexpr quint32 kSeed = 20240614;

const char* buildType()
{
#ifdef QT_NO_DEBUG
    return "release";
#else
    return "debug";
#endif
}

QDateTime g_now = kStart;

// ---- Data ----

const QStringList& words()
{
    static const QStringList list = QStringLiteral(
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
    std::stable_sort(items.begin(), items.end(), [](const SMediaItem& a, const SMediaItem& b) {
        return a.created < b.created;
    });
    for (int i = 0; i < items.size(); ++i)
        items[i].id = i + 1;
    if (shuffle)
        std::shuffle(items.begin(), items.end(), QRandomGenerator(kSeed + 1));
    return items;
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

// ---- The stream side's item widget ----

const QPixmap& avatar()
{
    static QPixmap pixmap = [] {
        QPixmap p(50, 50);
        p.fill(QColor(120, 150, 200));
        QPainter painter(&p);
        painter.setBrush(QColor(240, 220, 200));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QRect(15, 8, 20, 20));
        painter.drawEllipse(QRect(8, 30, 34, 30));
        return p;
    }();
    return pixmap;
}

class CBenchItemWidget : public IMediaItemWidget
{
public:
    explicit CBenchItemWidget(const SMediaItem& item)
        : IMediaItemWidget(nullptr), m_item(item), m_html(CMeskTexts::linkifyText(item.content))
    {
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(0, 0, 0, 0);
        auto* thumbnail = new CMeskThumbnailWidget(0);
        thumbnail->setPixmap(avatar());
        row->addWidget(thumbnail, 0, Qt::AlignTop);
        auto* column = new QVBoxLayout;
        m_caption = new QLabel(m_html);
        m_caption->setTextFormat(Qt::RichText);
        m_caption->setWordWrap(true);
        column->addWidget(m_caption);
        auto* footer = new QHBoxLayout;
        m_date = new CMeskItemDateLabel(item.created);
        footer->addWidget(m_date);
        auto* links = new CMeskItemLinkGroup;
        links->addLink(QStringLiteral("Comment"), 0);
        links->addLink(QStringLiteral("Like"), 1);
        footer->addWidget(links);
        footer->addStretch(1);
        column->addLayout(footer);
        row->addLayout(column, 1);
    }

    void setThumbnailVisible(bool) override {}
    void updateTime() override { m_date->updateText(); }
    bool applyFilter(const QString& text, bool) override { return meskFilterMatches(m_html, text); }
    void clearFilter() override { m_caption->setText(m_html); }
    SMediaItem mediaItem() override { return m_item; }

private:
    SMediaItem m_item;
    QString m_html;
    QLabel* m_caption = nullptr;
    CMeskItemDateLabel* m_date = nullptr;
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

// ---- The two sides ----

class ISide
{
public:
    virtual ~ISide() = default;
    virtual QWidget* root() = 0;
    virtual QWidget* painted() = 0;
    virtual void add(const QList<SMediaItem>& items) = 0; // one step of the owner
    virtual void relabel() = 0;
    virtual bool check(QString& problem) { Q_UNUSED(problem); return true; }
};

class CStreamSide : public ISide
{
public:
    CStreamSide()
    {
        m_view.resize(m_view.width(), 600);
        m_view.show();
    }
    QWidget* root() override { return &m_view; }
    QWidget* painted() override { return &m_view; }
    void add(const QList<SMediaItem>& items) override
    {
        for (const SMediaItem& item : items)
            m_view.addItemWidget(new CBenchItemWidget(item), false);
    }
    void relabel() override { QMetaObject::invokeMethod(&m_view, "_onDateUpdateTimer"); }
    bool check(QString& problem) override
    {
        for (QWidget* w : m_view.findChildren<QWidget*>()) {
            if (w->testAttribute(Qt::WA_NativeWindow)) {
                problem = QStringLiteral("native widget in the stream: %1").arg(QString::fromLatin1(w->metaObject()->className()));
                return false;
            }
        }
        if (m_view.widget() && m_view.widget()->height() >= QWIDGETSIZE_MAX) {
            problem = QStringLiteral("content height %1 reaches the widget size limit").arg(m_view.widget()->height());
            return false;
        }
        return true;
    }

private:
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
        std::stable_sort(sorted.begin(), sorted.end(), [](const SMediaItem& a, const SMediaItem& b) {
            return a.created > b.created;
        });
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
    static QString caption(const QDate& day) { return CMeskTexts::dateHeaderText(day, g_now.date()).toUpper(); }
    static QString text(const SMediaItem& item)
    {
        return item.content + QLatin1Char('\n') + CMeskTexts::relativeTimeText(item.created, g_now);
    }

    QStandardItemModel m_model;
    QListView m_view;
    QList<SRow> m_rows;
};

// One child process: "fill" (first fill, then one "More" step) or "all" (every item, memory,
// then the two relabels). Prints one JSON line.
int runChild(const QString& side, const QString& kind, int count, bool shuffle)
{
    const QList<SMediaItem> items = makeItems(count, shuffle);
    QJsonObject result;
    const auto make = [&side]() -> std::unique_ptr<ISide> {
        if (side == QLatin1String("stream"))
            return std::make_unique<CStreamSide>();
        return std::make_unique<CListSide>();
    };
    QElapsedTimer timer;
    if (kind == QLatin1String("fill")) {
        const SPhases phases = splitPhases(items);
        auto view = make();
        settle(view->root(), view->painted());
        timer.start();
        view->add(phases.firstFill);
        settle(view->root(), view->painted());
        result[QStringLiteral("firstFill")] = elapsedMs(timer);
        result[QStringLiteral("firstFillItems")] = int(phases.firstFill.size());
        timer.start();
        view->add(phases.more);
        settle(view->root(), view->painted());
        result[QStringLiteral("more")] = elapsedMs(timer);
        result[QStringLiteral("moreItems")] = int(phases.more.size());
    } else {
        const double rssBefore = statusMb("VmRSS");
        auto view = make();
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

// Shows the stream after its first fill and one "More" step, with the newest entry flashing and
// "More" offered, for a look on a display; with a file name, saves a grab of it and ends.
int runShow(int count, const QString& grabPath, bool empty)
{
    const QList<SMediaItem> items = makeItems(count, false);
    const SPhases phases = splitPhases(items);
    CMeskStreamView view;
    view.resize(view.width(), 600);
    view.setWindowTitle(QStringLiteral("stream_bench --show"));
    QList<SMediaItem> shown = phases.firstFill + phases.more;
    std::stable_sort(shown.begin(), shown.end(), [](const SMediaItem& a, const SMediaItem& b) {
        return a.created < b.created;
    });
    const SMediaItem newest = shown.isEmpty() ? SMediaItem() : shown.takeLast();
    for (const SMediaItem& item : std::as_const(shown))
        view.addItemWidget(new CBenchItemWidget(item), false);
    if (newest.created.isValid())
        view.addItemWidget(new CBenchItemWidget(newest), true);
    view.showMoreAction();
    if (empty)
        view.showNoItems();
    view.show();
    settle(&view, &view);
    if (!grabPath.isEmpty())
        return view.grab().save(grabPath) ? 0 : 1;
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

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(new CMeskUiStyle);
    MeskClock::setSource([] { return g_now; });
    const QStringList args = app.arguments();
    const int count = qMax(1, argValue(args, QStringLiteral("--items"), QStringLiteral("5000")).toInt());
    const bool shuffle = args.contains(QStringLiteral("--shuffle"));

    const qsizetype child = args.indexOf(QStringLiteral("--child"));
    if (child >= 0 && child + 2 < args.size())
        return runChild(args.at(child + 1), args.at(child + 2), count, shuffle);

    if (args.contains(QStringLiteral("--show")))
        return runShow(count, argValue(args, QStringLiteral("--grab")), args.contains(QStringLiteral("--empty")));

    const int runs = qMax(1, argValue(args, QStringLiteral("--runs"), QStringLiteral("5")).toInt());
    const QString jsonPath = argValue(args, QStringLiteral("--json"));
    const QStringList sides{QStringLiteral("stream"), QStringLiteral("list")};
    const QStringList kinds{QStringLiteral("fill"), QStringLiteral("all")};
    QMap<QString, QMap<QString, QList<double>>> figures; // side -> metric -> values

    for (int run = 0; run < runs; ++run) {
        for (const QString& side : sides) {
            for (const QString& kind : kinds) {
                QProcess process;
                process.setProcessChannelMode(QProcess::SeparateChannels);
                process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
                process.setReadChannel(QProcess::StandardOutput);
                QStringList childArgs{QStringLiteral("--child"), side, kind, QStringLiteral("--items"),
                                      QString::number(count)};
                if (shuffle)
                    childArgs << QStringLiteral("--shuffle");
                process.start(QCoreApplication::applicationFilePath(), childArgs);
                process.closeWriteChannel();
                if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit
                    || process.exitCode() != 0) {
                    std::fprintf(stderr, "stream_bench: the %s/%s run failed:\n%s\n", qPrintable(side),
                                 qPrintable(kind), process.readAllStandardError().constData());
                    return 1;
                }
                for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
                    if (!line.startsWith("RESULT "))
                        continue;
                    const QJsonObject object = QJsonDocument::fromJson(line.mid(7)).object();
                    for (auto it = object.constBegin(); it != object.constEnd(); ++it)
                        figures[side][it.key()] << it.value().toDouble();
                }
            }
        }
    }

    struct SMetric
    {
        const char* key;
        QString title;
    };
    const auto stream = [&](const char* key) { return median(figures[QStringLiteral("stream")][QString::fromLatin1(key)]); };
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
    if (!jsonPath.isEmpty()) {
        QFile file(jsonPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(QJsonDocument(json).toJson()) < 0) {
            std::fprintf(stderr, "stream_bench: cannot write %s\n", qPrintable(jsonPath));
            return 1;
        }
        std::printf("\nwritten: %s\n", qPrintable(jsonPath));
    }
    return 0;
}
