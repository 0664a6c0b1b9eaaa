// The comments block under a Facebook post and its rows, over a real store read through the
// object manager: which rows show in which order, the show-all link, texts shown as text,
// the row's background and the commenter's avatar.
#include "facebookwidgetbed.h"
#include "meskitemwidgets.h"
#include "meskthumbnailwidget.h"
#include "ui/facebookcommentswidget.h"

#include <QLabel>
#include <QLayout>
#include <QTest>
#include <QUrl>

#include <algorithm>

class TestFacebookCommentsWidget : public QObject
{
    Q_OBJECT
private:
    FacebookWidgetBed m_bed;

    std::unique_ptr<CFacebookCommentsWidget> block(CFacebookEvent* event, CFacebookUser* poster)
    {
        return std::make_unique<CFacebookCommentsWidget>(poster, event, m_bed.objects.get(), m_bed.ownUid(),
                                                         nullptr);
    }
    // The texts of the rows, top to bottom.
    static QStringList rows(CFacebookCommentsWidget* w)
    {
        w->resize(400, w->sizeHint().height());
        w->layout()->activate();
        QList<CFacebookCommentWidget*> list = w->findChildren<CFacebookCommentWidget*>();
        std::sort(list.begin(), list.end(), [](QWidget* a, QWidget* b) { return a->y() < b->y(); });
        QStringList out;
        for (const CFacebookCommentWidget* row : std::as_const(list))
            out.append(row->mediaItem().content);
        return out;
    }
    CFacebookEvent* postWith(CFacebookUser* poster, int comments)
    {
        SFacebookStreamPost post = m_bed.post(poster, QString(), QStringLiteral("Hi"));
        post.commentsCount = QString::number(comments);
        CFacebookEvent* event = m_bed.store(post, poster);
        for (int i = 1; i <= comments; ++i)
            m_bed.comment(event, poster, i, QStringLiteral("c%1").arg(i));
        return event;
    }

private slots:
    void initTestCase() { QVERIFY(m_bed.startWidgets(this)); }
    void cleanupTestCase() { m_bed.stopWidgets(); }
    void init() { m_bed.reset(); }

    // Three rows until "View all comments...", then all of them for good.
    void showAll()
    {
        CFacebookUser* bob = m_bed.bob();
        CFacebookEvent* event = postWith(bob, 5);
        auto w = block(event, bob);
        QCOMPARE(rows(w.get()), (QStringList{"c1", "c2", "c3"}));
        QVERIFY(!w->showAllLink()->isHidden());
        QCOMPARE(w->showAllLink()->text(), QStringLiteral("View all comments..."));
        QTest::mouseClick(w->showAllLink(), Qt::LeftButton);
        QCOMPARE(rows(w.get()), (QStringList{"c1", "c2", "c3", "c4", "c5"}));
        QVERIFY(w->showAllLink()->isHidden());
        w->reload();
        QCOMPARE(rows(w.get()).size(), 5);
        QVERIFY(w->showAllLink()->isHidden());

        auto two = block(postWith(bob, 2), bob);
        QCOMPARE(rows(two.get()).size(), 2);
        QVERIFY(two->showAllLink()->isHidden());
    }

    // addComment knows no limit of three; of two comments with one time the later-added
    // stands above.
    void addComment()
    {
        CFacebookUser* bob = m_bed.bob();
        CFacebookEvent* event = postWith(bob, 3);
        auto w = block(event, bob);
        const SFacebookComment late = m_bed.comment(event, bob, 10, QStringLiteral("late"));
        w->addComment(late.id, QString());
        w->addComment(late.id, QString());
        QCOMPARE(rows(w.get()), (QStringList{"c1", "c2", "c3", "late"}));

        CFacebookEvent* same = postWith(bob, 0);
        auto tie = block(same, bob);
        const SFacebookComment a = m_bed.comment(same, bob, 7, QStringLiteral("a"));
        const SFacebookComment b = m_bed.comment(same, bob, 7, QStringLiteral("b"));
        const SFacebookComment older = m_bed.comment(same, bob, 1, QStringLiteral("older"));
        tie->addComment(a.id, QString());
        tie->addComment(b.id, QString());
        tie->addComment(older.id, QString());
        QCOMPARE(rows(tie.get()), (QStringList{"older", "b", "a"}));
    }

    // Names and comment texts show as typed; the user's own comments read "Me".
    void texts_data()
    {
        QTest::addColumn<QString>("uid");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("nameLine");
        QTest::newRow("markup") << "200"
                                << "<i>Eve</i>"
                                << "<b>hi</b>"
                                << "<b>&lt;i&gt;Eve&lt;/i&gt;</b>";
        QTest::newRow("own") << FakeFacebookRest::defaultUid() << "Myself"
                             << "mine"
                             << "<b>Me</b>";
    }
    void texts()
    {
        QFETCH(QString, uid);
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, nameLine);
        CFacebookUser* bob = m_bed.bob();
        CFacebookUser* commenter = m_bed.user(uid, name);
        CFacebookEvent* event = postWith(bob, 0);
        m_bed.comment(event, commenter, 1, text);
        auto w = block(event, bob);
        auto* row = w->findChild<CFacebookCommentWidget*>();
        QVERIFY(row);
        QStringList richTexts;
        QStringList plainTexts;
        for (QLabel* label : row->findChildren<QLabel*>()) {
            if (qobject_cast<CMeskItemDateLabel*>(label))
                continue;
            (label->textFormat() == Qt::PlainText ? plainTexts : richTexts).append(label->text());
        }
        QCOMPARE(richTexts, QStringList{nameLine});
        QCOMPARE(plainTexts, QStringList{text});
    }

    // The row's rounded background; a commenter without a picture shows the default avatar
    // while the picture is asked for once.
    void paintingAndAvatar()
    {
        CFacebookUser* bob = m_bed.bob();
        const QString path = QStringLiteral("/media/eve_pic.png");
        m_bed.serve(path, FacebookItemBed::Answer::SlowPicture);
        CFacebookUser* eve = m_bed.user(QStringLiteral("300"), QStringLiteral("Eve"), m_bed.url(path));
        CFacebookEvent* event = postWith(bob, 0);
        m_bed.comment(event, eve, 1, QStringLiteral("hello"));
        auto w = block(event, bob);
        auto* row = w->findChild<CFacebookCommentWidget*>();
        QVERIFY(row);
        const auto* avatar = row->findChild<CMeskThumbnailWidget*>();
        CMeskThumbnailWidget fallback(1);
        fallback.setPixmap(eve->defaultAvatar());
        QCOMPARE(avatar->pixmap().toImage(), fallback.pixmap().toImage());
        QTRY_COMPARE_WITH_TIMEOUT(m_bed.gets(path), 1, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(avatar->pixmap().toImage() != fallback.pixmap().toImage(), 30000);
        QCOMPARE(m_bed.gets(path), 1);

        row->resize(300, 60);
        const QImage image = row->grab().toImage();
        const qreal ratio = image.devicePixelRatio();
        QCOMPARE(QColor(image.pixel(QPoint(15, 30) * ratio)), QColor(0xEC, 0xEF, 0xF5));
        QVERIFY(QColor(image.pixel(0, 0)) != QColor(0xEC, 0xEF, 0xF5));
    }
};

QTEST_MAIN(TestFacebookCommentsWidget)
#include "tst_facebookcommentswidget.moc"
