// The links pages on the real engine with fake providers: numbering and navigation, escaping,
// links without author or provider, the private folder, and what the desktop is asked to open.
#include "fakemediaitems.h"
#include "links/mesklinksbrowser.h"
#include "testengine.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <memory>

#include <sys/stat.h>

namespace {

class FakeLinkItem : public IMediaLinkItem
{
    Q_OBJECT
public:
    FakeLinkItem() : IMediaLinkItem(nullptr) {}
    QString url() const override { return link; }
    QString description() const override { return site; }
    QString caption() const override { return text; }
    SMediaItem mediaItem() const override { return item; }

    QString link;
    QString site;
    QString text;
    SMediaItem item;
};

struct SLinkSpec
{
    int hour = 12;
    QString caption = QStringLiteral("A caption");
    QString url = QStringLiteral("http://a.example/page");
    QString author = QStringLiteral("Ann");
    bool hasAuthor = true;
    bool hasProvider = true;
};

} // namespace

class TestMeskLinksBrowser : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl& url) { m_opened.append(url); }

private slots:
    void initTestCase() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl"); }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    void init() { m_opened.clear(); }
    void cleanup()
    {
        m_env.reset();
        qDeleteAll(m_objects);
        m_objects.clear();
    }
    void numberedPages();
    void escaping_data();
    void escaping();
    void noGaps();
    void privateFolder_data();
    void privateFolder();

private:
    void start(const QList<SLinkSpec>& specs);
    QString folder() const
    {
        return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/mesk");
    }
    QString page(int n) const
    {
        QFile file(folder() + QStringLiteral("/%1.html").arg(n));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    QString pageUrl(int n) const
    {
        return QUrl::fromLocalFile(folder() + QStringLiteral("/%1.html").arg(n)).toString(QUrl::FullyEncoded);
    }
    QStringList pageFiles() const
    {
        return QDir(folder()).entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
    }

    std::unique_ptr<TestEngine> m_env;
    QList<QObject*> m_objects;
    QList<QUrl> m_opened;
};

void TestMeskLinksBrowser::start(const QList<SLinkSpec>& specs)
{
    m_env = std::make_unique<TestEngine>();
    m_env->addProvider(2, QStringLiteral("Facebook"));
    QList<SServiceUser> users;
    for (const SLinkSpec& linkRow : specs) {
        SServiceUser user;
        user.provider = 2;
        user.name = linkRow.author;
        user.type = 2;
        users << user;
    }
    QVERIFY(m_env->seedUsers(users));
    QList<SMediaItem> items;
    for (int i = 0; i < specs.size(); ++i) {
        SMediaItem item = TestEngine::event(2, TestEngine::now().addSecs((specs[i].hour - 12) * 3600));
        item.type = 7;
        item.user = specs[i].hasAuthor ? users[i].id : 999;
        items << item;
    }
    QVERIFY(m_env->seedItems(items));
    QVERIFY(m_env->init());
    FakeProvider* provider = m_env->provider(2);
    QPixmap icon(17, 17);
    icon.fill(Qt::blue);
    provider->setIcon(icon);
    for (int i = 0; i < specs.size(); ++i) {
        auto* user = new FakeMediaUser;
        user->userName = specs[i].author;
        user->record = users[i];
        user->file = m_env->storageRoot() + QStringLiteral("/avatar%1.png").arg(i);
        QPixmap avatar(50, 50);
        avatar.fill(QColor::fromHsv(60 * i, 160, 200));
        QVERIFY(avatar.save(user->file));
        auto* link = new FakeLinkItem;
        link->link = specs[i].url;
        link->site = QStringLiteral("a.example");
        link->text = specs[i].caption;
        link->item = items[i];
        if (!specs[i].hasProvider)
            link->item.provider = 9;
        m_objects << user << link;
        provider->users.insert(users[i].id, user);
        provider->linkItems.insert(items[i].id, link);
    }
}

void TestMeskLinksBrowser::numberedPages()
{
    // No links: nothing written or opened.
    start({});
    sMeskShowLinksBrowser(m_env->engine());
    QVERIFY(!QFileInfo::exists(folder()));
    QVERIFY(m_opened.isEmpty());
    cleanup();

    // One link: one page, both words plain.
    const QString workingFolder = QDir::currentPath();
    start({SLinkSpec{}});
    sMeskShowLinksBrowser(m_env->engine());
    QCOMPARE(pageFiles(), QStringList{"1.html"});
    QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(folder() + "/1.html")});
    QString html = page(1);
    QVERIFY(html.startsWith(
        "<html><head> <meta http-equiv=\"content-type\" content=\"text/html; charset=UTF-8\"><title>Velto "
        "Lumesk link "
        "browser</title><style> html { height: 100%; }body { margin: 0; height: 100%; overflow: hidden; }a { "
        "color: "
        "white; }p { font-size: 12px; font-family: arial; color: white; }</style></head><body><table"));
    QVERIFY(html.endsWith("</p> </iframe> </td> </tr> </table></body></html>"));
    QVERIFY(html.contains("<p><b>&nbsp;Newer</b>&nbsp;&nbsp;|&nbsp;&nbsp;<b>Older&nbsp;</b></p>"));
    QVERIFY(html.contains("<a href=\"http://a.example/page\"><img src=\"" +
                          QUrl::fromLocalFile(folder() + "/close_button.png").toString(QUrl::FullyEncoded) +
                          "\""));
    QVERIFY(html.contains("<img src=\"" +
                          QUrl::fromLocalFile(folder() + "/2_logo.png").toString(QUrl::FullyEncoded) +
                          "\" alt=\"Facebook\""));
    QVERIFY(QPixmap(folder() + "/close_button.png").width() > 0);
    QCOMPARE(QPixmap(folder() + "/2_logo.png").size(), QSize(17, 17));
    struct stat status = {};
    QCOMPARE(::stat(QFile::encodeName(folder()).constData(), &status), 0);
    QCOMPARE(status.st_mode & 0777, 0700u);
    QCOMPARE(QDir::currentPath(), workingFolder);
    cleanup();

    // Three links, newest first.
    m_opened.clear();
    start({{10, "ten"}, {12, "twelve"}, {11, "eleven"}});
    sMeskShowLinksBrowser(m_env->engine());
    QCOMPARE(pageFiles(), (QStringList{"1.html", "2.html", "3.html"}));
    QCOMPARE(m_opened.size(), 1);
    QVERIFY(page(1).contains("<br>twelve</p>"));
    QVERIFY(page(2).contains("<br>eleven</p>"));
    QVERIFY(page(3).contains("<br>ten</p>"));
    QVERIFY(page(1).contains("<p><b>&nbsp;Newer</b>&nbsp;&nbsp;|&nbsp;&nbsp;<a href=\"" + pageUrl(2) +
                             "\"><b>Older&nbsp;</td>"));
    QVERIFY(page(2).contains("<p><a href=\"" + pageUrl(1) +
                             "\"><b>Newer</b></a>&nbsp;&nbsp;|&nbsp;&nbsp; <a href=\"" + pageUrl(3) +
                             "\"><b>Older&nbsp;</td>"));
    QVERIFY(page(3).contains("<p><a href=\"" + pageUrl(2) +
                             "\"><b>Newer</b></a>&nbsp;&nbsp;|&nbsp;&nbsp;<b>Older&nbsp;</b></p>"));
    QVERIFY(page(2).contains("<b>2</b>&nbsp;/&nbsp;<b>3</b>"));
    QVERIFY(page(2).contains("posted a link to a.example, Today, "));

    // The set for a look in a browser, its file links pointing into the copy.
    const QDir shots(QStringLiteral(LUMESK_SCREENSHOT_DIR "/links"));
    QVERIFY(shots.mkpath(QStringLiteral(".")));
    const auto urlOf = [](const QString& path) {
        return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
    };
    for (const QString& path :
         QDir(folder()).entryList(QDir::Files) + QDir(m_env->storageRoot()).entryList({"*.png"})) {
        const QString source = QFileInfo::exists(folder() + "/" + path) ? folder() + "/" + path
                                                                        : m_env->storageRoot() + "/" + path;
        QFile in(source);
        QFile out(shots.filePath(path));
        QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QByteArray data = in.readAll();
        if (path.endsWith(".html"))
            data = QString::fromUtf8(data)
                       .replace(urlOf(folder()), urlOf(shots.absolutePath()))
                       .replace(urlOf(m_env->storageRoot()), urlOf(shots.absolutePath()))
                       .toUtf8();
        QCOMPARE(out.write(data), data.size());
    }
}

void TestMeskLinksBrowser::escaping_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("author");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    const QString plain = QStringLiteral("http://a.example/page");
    QTest::newRow("script in caption")
        << "<script>alert(1)</script>"
        << "Ann" << plain << QStringList{"<br>&lt;script&gt;alert(1)&lt;/script&gt;</p>"}
        << QStringList{"<script"};
    QTest::newRow("markup in name") << "c"
                                    << "\"><img src=x onerror=y>" << plain
                                    << QStringList{"alt=\"&quot;&gt;&lt;img src=x onerror=y&gt;\"",
                                                   "<b>&quot;&gt;&lt;img src=x onerror=y&gt;</b>"}
                                    << QStringList{"<img src=x"};
    QTest::newRow("apostrophe") << "it's"
                                << "Ann" << plain << QStringList{"<br>it&#39;s</p>"} << QStringList{};
    QTest::newRow("javascript link") << "c"
                                     << "Ann"
                                     << "javascript:alert(1)"
                                     << QStringList{"src=\"about:blank\"",
                                                    "valign=\"center\"><p style=\"color: white\"><img src="}
                                     << QStringList{"javascript:", "<a href=\"about"};
    QTest::newRow("file link") << "c"
                               << "Ann"
                               << "file:///etc/passwd" << QStringList{"src=\"about:blank\""}
                               << QStringList{"/etc/passwd"};
    QTest::newRow("quote in link") << "c"
                                   << "Ann"
                                   << "http://a.example/?q=\"x\""
                                   << QStringList{"<a href=\"http://a.example/?q=&quot;x&quot;\"><img",
                                                  "src=\"http://a.example/?q=&quot;x&quot;\" frameborder"}
                                   << QStringList{"q=\"x"};
    QTest::newRow("placeholder in caption")
        << "see __LINK_URL__"
        << "__USER_NAME__" << plain << QStringList{"<br>see __LINK_URL__</p>", "<b>__USER_NAME__</b>"}
        << QStringList{};
}

void TestMeskLinksBrowser::escaping()
{
    QFETCH(QString, caption);
    QFETCH(QString, author);
    QFETCH(QString, url);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    SLinkSpec linkRow;
    linkRow.caption = caption;
    linkRow.author = author;
    linkRow.url = url;
    start({linkRow});
    sMeskShowLinksBrowser(m_env->engine());
    const QString html = page(1);
    for (const QString& text : present)
        QVERIFY2(html.contains(text), qPrintable(text));
    for (const QString& text : absent)
        QVERIFY2(!html.contains(text), qPrintable(text));
}

void TestMeskLinksBrowser::noGaps()
{
    // The middle link has no author: two pages, numbered without a gap.
    SLinkSpec noAuthor{11, "eleven"};
    noAuthor.hasAuthor = false;
    start({{12, "twelve"}, noAuthor, {10, "ten"}});
    QDir().mkpath(folder());
    for (const char* name : {"3.html", "7.html", "notes.txt"}) {
        QFile stale(folder() + "/" + name);
        QVERIFY(stale.open(QIODevice::WriteOnly));
    }
    sMeskShowLinksBrowser(m_env->engine());
    QCOMPARE(pageFiles(), (QStringList{"1.html", "2.html"}));
    QVERIFY(QFileInfo::exists(folder() + "/notes.txt"));
    QVERIFY(page(1).contains("<b>1</b>&nbsp;/&nbsp;<b>2</b>"));
    QVERIFY(page(1).contains("<a href=\"" + pageUrl(2) + "\"><b>Older"));
    QVERIFY(page(2).contains("<br>ten</p>"));
    cleanup();

    // The newest has no provider: page 1 is the second newest, and it is opened.
    m_opened.clear();
    SLinkSpec noProvider{12, "twelve"};
    noProvider.hasProvider = false;
    start({noProvider, {11, "eleven"}});
    sMeskShowLinksBrowser(m_env->engine());
    QCOMPARE(pageFiles(), QStringList{"1.html"});
    QVERIFY(page(1).contains("<br>eleven</p>"));
    QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(folder() + "/1.html")});
    cleanup();

    // No link has an author: nothing.
    m_opened.clear();
    start({noAuthor});
    sMeskShowLinksBrowser(m_env->engine());
    QVERIFY(pageFiles().isEmpty());
    QVERIFY(m_opened.isEmpty());
}

void TestMeskLinksBrowser::privateFolder_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("folder is a symlink") << "symlink";
    QTest::newRow("folder is a file") << "file";
    QTest::newRow("close button blocked") << "close";
    QTest::newRow("blank in the path") << "blank";
}

void TestMeskLinksBrowser::privateFolder()
{
    QFETCH(QString, obstacle);
    start({SLinkSpec{}});
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    QVERIFY(QDir().mkpath(cache));
    const QString elsewhere = cache + "/elsewhere";
    if (obstacle == "symlink") {
        QVERIFY(QDir().mkpath(elsewhere));
        QVERIFY(QFile::link(elsewhere, folder()));
        QTest::ignoreMessage(QtDebugMsg,
                             qPrintable("sMeskShowLinksBrowser: not a private folder: " + folder()));
    } else if (obstacle == "file") {
        QFile file(folder());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QTest::ignoreMessage(QtDebugMsg,
                             qPrintable("sMeskShowLinksBrowser: not a private folder: " + folder()));
    } else if (obstacle == "close") {
        QVERIFY(QDir().mkpath(folder() + "/close_button.png"));
        QTest::ignoreMessage(QtDebugMsg, "sMeskShowLinksBrowser: Failed to save close button");
    } else {
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_env->storageRoot() + "/my cache"));
    }
    sMeskShowLinksBrowser(m_env->engine());

    if (obstacle == "symlink" || obstacle == "file") {
        QVERIFY(m_opened.isEmpty());
        QVERIFY(QDir(elsewhere).isEmpty());
        return;
    }
    QCOMPARE(pageFiles(), QStringList{"1.html"});
    QCOMPARE(m_opened.size(), 1);
    if (obstacle == "close") {
        QVERIFY(page(1).contains("<img src=\"\" alt=\"close frame\""));
    } else {
        QVERIFY(folder().contains("/my cache/"));
        QVERIFY(page(1).contains("/my%20cache/"));
        QVERIFY(!page(1).contains("/my cache/"));
    }
}

QTEST_MAIN(TestMeskLinksBrowser)
#include "tst_mesklinksbrowser.moc"
