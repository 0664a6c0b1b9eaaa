// The Facebook event widget over a real store read through the object manager: captions of
// every kind with service texts escaped, the parts of each kind, likes and comments through
// the stand-in, the filter, which addresses open, pictures, and objects released under it.
#include "facebookwidgetbed.h"
#include "meskitemwidgets.h"
#include "meskpostcommentwidget.h"
#include "mesktextedit.h"
#include "meskthumbnailwidget.h"
#include "ui/facebookcommentswidget.h"
#include "ui/facebookeventwidget.h"
#include "widgets/quorbuttons.h"

#include <QDesktopServices>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QUrl>

#include <iterator>

// Caption cases: the event (kind, poster's name, own, post text, photo children, link or
// calendar address, title, description) and the caption expected; with href set, the text
// of its one-block document and its one anchor's target.
struct SCaptionCase
{
    const char* tag;
    const char* kind;
    const char* name;
    bool own;
    const char* text;
    int children;
    const char* url;
    const char* title;
    const char* description;
    const char* expected;
    const char* href;
};
// clang-format off
const SCaptionCase kCaptions[] = {
    {"plain", "plain", "Bob", false, "Hi", 0, "", "", "", "<b>Bob</b> Hi", nullptr},
    {"own", "plain", "Bob", true, "Hi", 0, "", "", "", "<b>Me</b> Hi", nullptr},
    {"photo", "photo", "Bob", false, "", 1, "", "", "", "<b>Bob</b> posted a new photo", nullptr},
    {"album", "album", "Bob", false, "Look", 5, "", "", "", "<b>Bob</b> posted 5 photos \"Look\"", nullptr},
    {"video", "video", "Bob", false, "ignored", 0, "", "Clip", "", "<b>Bob</b> posted a video \"Clip\"", nullptr},
    {"video untitled", "video", "Bob", false, "", 0, "", "", "", "<b>Bob</b> posted a video", nullptr},
    {"message", "message", "Bob", false, "Hello", 0, "", "", "", "<b>Bob</b> sent you a message: \"Hello\"", nullptr},
    {"friend request", "frequest", "Bob", false, "", 0, "", "", "", "<b>Bob</b> sent you a friend request", nullptr},
    {"link", "link", "Bob", false, "Read this", 0, "http://www.example/a?x=1&y=2", "Example", "",
     "Bob posted a link to Example \"Read this\"", "http://www.example/a?x=1&y=2"},
    {"calendar event", "event", "Bob", false, "not shown", 0, "http://www.example/event.php?eid=777", "Party",
     "Bring food", "Bob posted an event Party \"Bring food\"", "http://www.example/event.php?eid=777"},
    // Service texts are text, never markup.
    {"markup in name", "plain", "<i>Eve</i> & co", false, "", 0, "", "", "", "<b>&lt;i&gt;Eve&lt;/i&gt; &amp; co</b> ", nullptr},
    {"markup and line break", "plain", "Bob", false, "a<b & c\r\nd", 0, "", "", "", "<b>Bob</b> a&lt;b &amp; c<br/>d", nullptr},
    {"photo title break", "photo", "Bob", false, "Look\nhere", 1, "", "", "", "<b>Bob</b> posted a new photo: \"Look<br/>here\"", nullptr},
    {"entity stays text", "plain", "Bob", false, "&amp;", 0, "", "", "", "<b>Bob</b> &amp;amp;", nullptr},
    {"quote in address", "link", "Bob", false, "", 0, "http://x.example/\"onmouseover=\"x", "X", "",
     "Bob posted a link to X", "http://x.example/\"onmouseover=\"x"},
    // Only web addresses are linked.
    {"javascript link", "link", "Bob", false, "Read this", 0, "javascript:alert(1)", "Example", "", "<b>Bob</b> posted a link \"Read this\"", nullptr},
    {"file link", "link", "Bob", false, "Read this", 0, "file:///etc/passwd", "Example", "", "<b>Bob</b> posted a link \"Read this\"", nullptr},
    {"link without attachment", "bare link", "Bob", false, "", 0, "http://www.example/", "Example", "", "<b>Bob</b> posted a link", nullptr},
};
// clang-format on

// Records the addresses the desktop would open.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QStringList opened;
public slots:
    void open(const QUrl& url) { opened.append(url.toString()); }
};

class TestFacebookEventWidget : public QObject
{
    Q_OBJECT
private:
    FacebookWidgetBed m_bed;
    UrlRecorder m_urls;

    std::unique_ptr<CFacebookEventWidget> widget(CFacebookEvent* event, CFacebookUser* user)
    {
        return std::make_unique<CFacebookEventWidget>(user, event, m_bed.objects.get(), m_bed.ownUid(),
                                                      nullptr);
    }
    static QList<CMeskThumbnailWidget*> thumbnails(QWidget* w, int type)
    {
        QList<CMeskThumbnailWidget*> out;
        for (CMeskThumbnailWidget* t : w->findChildren<CMeskThumbnailWidget*>()) {
            if (t->type() == type)
                out.append(t);
        }
        return out;
    }

    // The event of one caption row (see captions_data).
    CFacebookEvent* captionEvent(const QString& kind, CFacebookUser* poster, const QString& text,
                                 int children, const QString& url, const QString& title,
                                 const QString& description)
    {
        if (kind == "message")
            return m_bed.message(poster, text);
        if (kind == "frequest")
            return m_bed.friendRequest(poster);
        const QString type = kind == "plain"       ? QString()
                             : kind == "bare link" ? QStringLiteral("link")
                                                   : kind;
        SFacebookStreamPost post = m_bed.post(poster, type, text);
        for (int i = 0; i < children; ++i)
            post.attachment.media.append(m_bed.photo());
        post.attachment.href = url;
        post.attachment.name = title;
        post.attachment.description = description;
        post.attachment.fbObjectId = QStringLiteral("777");
        if (kind == "video") {
            SFacebookMedia media;
            media.type = QStringLiteral("video");
            media.href = QStringLiteral("http://www.example/video.php?v=1");
            post.attachment.media.append(media);
        }
        return m_bed.store(post, poster, kind != "bare link");
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_bed.startWidgets(this));
        for (const char* scheme : {"http", "https", "file"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), &m_urls, "open");
    }
    void cleanupTestCase()
    {
        for (const char* scheme : {"http", "https", "file"})
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
        m_bed.stopWidgets();
    }
    void init()
    {
        m_bed.reset();
        m_urls.opened.clear();
    }

    // captionText of every kind. A caption with a link is read through QTextDocument: its one
    // block's text, and the anchors' targets.
    void captions_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(kCaptions)); ++i)
            QTest::newRow(kCaptions[i].tag) << i;
    }
    void captions()
    {
        QFETCH(int, index);
        const SCaptionCase& c = kCaptions[index];
        const QString kind = QLatin1String(c.kind);
        CFacebookUser* poster =
            m_bed.user(QStringLiteral("u_") + QLatin1String(c.tag), QString::fromUtf8(c.name));
        CFacebookEvent* event =
            captionEvent(kind, poster, QString::fromUtf8(c.text), c.children, QLatin1String(c.url),
                         QLatin1String(c.title), QLatin1String(c.description));
        QVERIFY(event);
        QString caption;
        CFacebookEventWidget::captionText(event, poster, caption, c.own, m_bed.objects.get());
        if (!c.href) {
            QCOMPARE(caption, QString::fromUtf8(c.expected));
            QVERIFY(!caption.contains(QLatin1String("<a ")));
            return;
        }
        QTextDocument document;
        document.setHtml(caption);
        QCOMPARE(document.blockCount(), 1);
        QCOMPARE(document.toPlainText(), QString::fromUtf8(c.expected));
        QStringList anchors;
        for (auto it = document.firstBlock().begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isAnchor()) {
                anchors.append(format.anchorHref());
                QVERIFY(format.font().bold());
            }
        }
        QCOMPARE(anchors, QStringList{QLatin1String(c.href)});
        if (QLatin1String(c.url).contains('&'))
            QVERIFY(caption.contains(
                QLatin1String("href=\"http://www.example/a?x=1&amp;y=2\"><b>Example</b></a>")));
    }

    // The parts each kind shows.
    void kinds_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("photoCount");
        QTest::addColumn<bool>("hasLinks");
        QTest::addColumn<bool>("dateShown");
        QTest::addColumn<int>("avatarType");
        QTest::addColumn<QStringList>("properties");
        QTest::newRow("album of 5") << "album" << 3 << true << true << 1 << QStringList();
        QTest::newRow("friend request") << "frequest" << 0 << false << false << 0 << QStringList();
        QTest::newRow("message") << "message" << 0 << false << true << 0 << QStringList();
        QTest::newRow("calendar event")
            << "event" << 0 << true << true << 1 << QStringList{"When: Sat", "Where: <b>Park</b>"};
        QTest::newRow("link without attachment") << "bare link" << 0 << true << true << 1 << QStringList();
    }
    void kinds()
    {
        QFETCH(QString, kind);
        QFETCH(int, photoCount);
        QFETCH(bool, hasLinks);
        QFETCH(bool, dateShown);
        QFETCH(int, avatarType);
        QFETCH(QStringList, properties);
        CFacebookUser* bob = m_bed.bob();
        CFacebookEvent* event = nullptr;
        if (kind == "message") {
            event = m_bed.message(bob, QStringLiteral("Hello"));
        } else if (kind == "frequest") {
            event = m_bed.friendRequest(bob);
        } else {
            SFacebookStreamPost post =
                m_bed.post(bob, kind == "bare link" ? QStringLiteral("link") : kind, "x");
            for (int i = 0; i < (kind == "album" ? 5 : 0); ++i)
                post.attachment.media.append(m_bed.photo());
            post.attachment.href = QStringLiteral("http://www.example/event.php?eid=777");
            post.attachment.name = QStringLiteral("Party");
            post.attachment.properties = {{"When", "Sat"}, {"Where", "<b>Park</b>"}};
            event = m_bed.store(post, bob, kind != "bare link");
        }
        QVERIFY(event);
        if (kind == "bare link")
            QTest::ignoreMessage(QtDebugMsg, "CFacebookEventWidget: link event doesn't have attachment");
        auto w = widget(event, bob);
        QCOMPARE(thumbnails(w.get(), 2).size(), photoCount);
        QCOMPARE(w->links() != nullptr, hasLinks);
        if (hasLinks) {
            QVERIFY(w->links()->link(0));
            QVERIFY(w->links()->link(1));
        }
        QCOMPARE(!w->findChild<CMeskItemDateLabel*>()->isHidden(), dateShown);
        QCOMPARE(thumbnails(w.get(), avatarType).size(), 1);
        QCOMPARE(thumbnails(w.get(), 5).size(), 1);
        QStringList shown;
        for (QLabel* label : w->findChildren<QLabel*>()) {
            if (label->textFormat() == Qt::PlainText && label->text().contains(QLatin1String(": ")))
                shown.append(label->text());
        }
        QCOMPARE(shown, properties);
        QVERIFY(w->comments()->isHidden());
    }

    // Likes and a comment go to the service; the links follow the results.
    void likesAndComments()
    {
        CFacebookUser* bob = m_bed.bob();
        m_bed.me();
        SFacebookStreamPost post = m_bed.post(bob, QString(), QStringLiteral("Hi"));
        post.likesCount = QStringLiteral("2");
        CFacebookEvent* event = m_bed.store(post, bob);
        auto w = widget(event, bob);
        CMeskItemLinkButton* like = w->links()->link(1);
        QCOMPARE(like->text(), QStringLiteral("Like(2)"));
        QCOMPARE(w->links()->link(0)->text(), QStringLiteral("Comment"));

        QTest::mouseClick(like, Qt::LeftButton);
        QCOMPARE(like->text(), QStringLiteral("Like(2)")); // until the answer is in
        QTRY_COMPARE_WITH_TIMEOUT(like->text(), QStringLiteral("You liked(3)"), 30000);
        QCOMPARE(m_bed.rest->requests(QStringLiteral("stream.addLike")).size(), 1);
        QTest::mouseClick(like, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(like->text(), QStringLiteral("Like(2)"), 30000);
        QCOMPARE(m_bed.rest->requests(QStringLiteral("stream.removeLike")).size(), 1);

        m_bed.rest->scriptError(QStringLiteral("stream.addLike"), 200);
        QSignalSpy failed(event, &CFacebookEvent::likeFailed);
        QTest::mouseClick(like, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 30000);
        QCOMPARE(like->text(), QStringLiteral("Like(2)"));

        QTest::mouseClick(w->links()->link(0), Qt::LeftButton);
        QVERIFY(!w->comments()->isHidden());
        w->comments()->editor()->editor()->setPlainText(QStringLiteral("Thanks"));
        w->comments()->editor()->sendButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(w->links()->link(0)->text(), QStringLiteral("Comments(1)"), 30000);
        const auto sent = m_bed.rest->requests(QStringLiteral("stream.addComment"));
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent.first().param(QStringLiteral("comment")), QStringLiteral("Thanks"));
        const auto rows = w->findChildren<CFacebookCommentWidget*>();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first()->mediaItem().content, QStringLiteral("Thanks"));
    }

    // The filter reads the caption as shown; marks never land in the markup.
    void filter_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<bool>("matches");
        QTest::addColumn<QString>("marked"); // what the shown caption holds marked; "" unchanged
        QTest::newRow("less-than") << "<b" << true << "&lt;b";
        QTest::newRow("bold markup") << "b>B" << false << "";
        QTest::newRow("any case") << "BOB" << true << "Bob";
        QTest::newRow("empty") << "" << true << "";
    }
    void filter()
    {
        QFETCH(QString, filter);
        QFETCH(bool, matches);
        QFETCH(QString, marked);
        CFacebookUser* bob = m_bed.bob();
        auto w = widget(m_bed.store(m_bed.post(bob, QString(), QStringLiteral("a<b")), bob), bob);
        const QString plain = QStringLiteral("<b>Bob</b> a&lt;b");
        QCOMPARE(w->caption()->text(), plain);
        QCOMPARE(w->applyFilter(filter, true), matches);
        const QString shown = w->caption()->text();
        if (marked.isEmpty()) {
            QCOMPARE(shown, plain);
        } else {
            QVERIFY2(shown.contains(QLatin1String("\">") + marked + QLatin1String("</font>")),
                     qPrintable(shown));
            QVERIFY(shown.startsWith(QLatin1String("<b>")));
            QCOMPARE(meskFilterPlainText(shown), QStringLiteral("Bob a<b"));
        }
        w->clearFilter();
        QCOMPARE(w->caption()->text(), plain);
    }

    // Only web addresses open: caption links and the avatar's profile page.
    void addresses_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("opens");
        QTest::newRow("file") << "file:///etc/passwd" << false;
        QTest::newRow("javascript") << "javascript:alert(1)" << false;
        QTest::newRow("http") << "http://www.example/a" << true;
    }
    void addresses()
    {
        QFETCH(QString, url);
        QFETCH(bool, opens);
        CFacebookUser* poster = m_bed.user(QStringLiteral("a_") + QTest::currentDataTag(), "Ann", QString(),
                                           opens ? url : QStringLiteral("file:///etc/hosts"));
        auto w = widget(m_bed.store(m_bed.post(poster, QString(), QStringLiteral("Hi")), poster), poster);
        if (!opens)
            QTest::ignoreMessage(QtDebugMsg,
                                 QRegularExpression(QStringLiteral("^CFacebookEventWidget: not opening")));
        emit w->caption()->linkActivated(url);
        QCOMPARE(m_urls.opened, opens ? QStringList{url} : QStringList());
        const CMeskThumbnailWidget* avatar = thumbnails(w.get(), 0).value(0);
        QVERIFY(avatar);
        QCOMPARE(avatar->cursor().shape(), opens ? Qt::PointingHandCursor : Qt::ArrowCursor);
        QCOMPARE(avatar->url().isEmpty(), !opens);
    }

    // A photo without its thumbnail file asks for it once and shows it when done; a poster
    // without a picture shows the default avatar.
    void pictures()
    {
        CFacebookUser* bob = m_bed.bob();
        SFacebookStreamPost post = m_bed.post(bob, QStringLiteral("photo"), QString());
        post.attachment.media.append(m_bed.photo());
        const QString path = QUrl(post.attachment.media.first().src).path();
        m_bed.serve(path, FacebookItemBed::Answer::Picture);
        auto w = widget(m_bed.store(post, bob), bob);
        CMeskThumbnailWidget* thumbnail = thumbnails(w.get(), 2).value(0);
        QVERIFY(thumbnail);
        QVERIFY(!thumbnail->hasPixmap());
        QTRY_VERIFY_WITH_TIMEOUT(thumbnail->hasPixmap(), 30000);
        QCOMPARE(m_bed.gets(path), 1);

        const CMeskThumbnailWidget* avatar = thumbnails(w.get(), 1).value(0);
        CMeskThumbnailWidget fallback(1);
        fallback.setPixmap(bob->defaultAvatar());
        QCOMPARE(avatar->pixmap().toImage(), fallback.pixmap().toImage());
    }

    // The comments block is made when it first unfolds: an entry looks the same before and after
    // its comments were unfolded and folded again, and unfolding shows the stored comments, also
    // once the objects are gone.
    void commentsUnfoldLater()
    {
        CFacebookUser* bob = m_bed.bob();
        CFacebookUser* me = m_bed.me();
        CFacebookEvent* event = m_bed.store(m_bed.post(bob, QString(), QStringLiteral("Hi")), bob);
        m_bed.comment(event, bob, 1, QStringLiteral("first"));
        auto folded = widget(event, bob);
        auto unfolded = widget(event, bob);
        m_bed.comment(event, me, 2, QStringLiteral("second"));
        for (auto* w : {folded.get(), unfolded.get()})
            w->resize(320, w->heightForWidth(320));
        const QImage before = folded->grab().toImage();
        QTest::mouseClick(unfolded->links()->link(0), Qt::LeftButton);
        QVERIFY(!unfolded->comments()->isHidden());
        QCOMPARE(unfolded->findChildren<CFacebookCommentWidget*>().size(), 2);
        QTest::mouseClick(unfolded->links()->link(0), Qt::LeftButton);
        QVERIFY(unfolded->comments()->isHidden());
        unfolded->resize(320, unfolded->heightForWidth(320));
        QCOMPARE(unfolded->grab().toImage(), before);
        QCOMPARE(folded->grab().toImage(), before);

        m_bed.objects->clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::mouseClick(folded->links()->link(0), Qt::LeftButton);
        QVERIFY(!folded->comments()->isHidden());
        QVERIFY(folded->findChildren<CFacebookCommentWidget*>().isEmpty());
    }

    // The object manager releases everything under live widgets; they keep what they show.
    void objectsReleased()
    {
        CFacebookUser* bob = m_bed.bob();
        SFacebookStreamPost post = m_bed.post(bob, QStringLiteral("album"), QStringLiteral("Look"));
        post.attachment.media = {m_bed.photo(), m_bed.photo()};
        CFacebookEvent* event = m_bed.store(post, bob);
        m_bed.comment(event, bob, 1, QStringLiteral("first"));
        const SMediaItem item = event->mediaItem();
        auto w = widget(event, bob);
        auto comments = std::make_unique<CFacebookCommentsWidget>(bob, event, m_bed.objects.get(),
                                                                  m_bed.ownUid(), nullptr);
        const QString caption = w->caption()->text();
        m_bed.objects->clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        w->updateTime();
        comments->updateTime();
        comments->reload();
        QVERIFY(w->applyFilter(QStringLiteral("look"), true));
        QVERIFY(!w->applyFilter(QStringLiteral("x"), true));
        w->clearFilter();
        QCOMPARE(w->caption()->text(), caption);
        QCOMPARE(w->mediaItem().id, item.id);
        QTest::mouseClick(w->links()->link(1), Qt::LeftButton);
        QString text;
        CFacebookEventWidget::captionText(nullptr, nullptr, text, false, m_bed.objects.get());
        QVERIFY(text.isEmpty());
        w.reset();
        comments.reset();
    }
};

QTEST_MAIN(TestFacebookEventWidget)
#include "tst_facebookeventwidget.moc"
