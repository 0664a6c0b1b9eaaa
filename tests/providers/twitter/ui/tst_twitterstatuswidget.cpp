// The Twitter feed widgets: text, links, actions, filter, avatar refresh, and the provider that
// makes them and deletes their objects.
#include "meskhttptaskpool.h"
#include "meskitemwidgets.h"
#include "meskthumbnailwidget.h"
#include "twitterfixture.h"
#include "twitteritems.h"
#include "twitterprovider.h"
#include "ui/twittersetupwidget.h"
#include "ui/twitterstatuswidget.h"
#include "urlcatcher.h"

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

class TestTwitterStatusWidget : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<TwitterFixture> m_fx;
    std::unique_ptr<CTwitterApi> m_api;
    std::unique_ptr<CTwitterUser> m_user;
    std::unique_ptr<CTwitterStatus> m_status;

    // Author bob (or another name) and his stored status 123 with that text; then its widget.
    std::unique_ptr<IMediaItemWidget> makeWidget(const QString& text, bool own = false,
                                                 const QString& name = QStringLiteral("bob"))
    {
        STwitterUserData u;
        u.id = QStringLiteral("2001");
        u.screen_name = name;
        u.profile_image_url = m_fx->avatarUrl(QStringLiteral("bob.png"));
        m_user = std::make_unique<CTwitterUser>(m_api.get(), m_fx->db.get());
        STwitterStatusData s;
        s.id = QStringLiteral("123");
        s.text = text;
        s.created_at = QStringLiteral("Wed Aug 27 13:08:45 +0000 2008");
        m_status = std::make_unique<CTwitterStatus>(m_api.get(), m_fx->db.get());
        if (!m_user->create(u, MeskProvider::Twitter) ||
            !m_status->create(s, MeskProvider::Twitter, m_user->serviceUser().id, own ? 10 : 1))
            return nullptr;
        if (own)
            return std::make_unique<CTwitterUpdateWidget>(m_user.get(), m_status.get());
        return std::make_unique<CTwitterStatusWidget>(m_user.get(), m_status.get());
    }
    // The text label (the date label is a QLabel too).
    static QLabel* label(IMediaItemWidget* w)
    {
        for (QLabel* l : w->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
            if (!qobject_cast<CMeskItemDateLabel*>(l))
                return l;
        return nullptr;
    }
    static CMeskThumbnailWidget* picture(IMediaItemWidget* w, int type)
    {
        for (CMeskThumbnailWidget* p : w->findChildren<CMeskThumbnailWidget*>())
            if (p->type() == type)
                return p;
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        registerMeskMetaTypes();
        CMeskHttpTaskPool::init(this);
    }
    void cleanupTestCase() { CMeskHttpTaskPool::shutdown(); }
    void init()
    {
        m_fx = std::make_unique<TwitterFixture>();
        QVERIFY(m_fx->start());
        m_api = std::make_unique<CTwitterApi>();
    }
    void cleanup()
    {
        m_status.reset();
        m_user.reset();
        m_api.reset();
        m_fx.reset();
    }

    void text_data()
    {
        QTest::addColumn<bool>("own");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("holds");
        QTest::addColumn<QString>("lacks");
        const QStringList linked = {"<b>bob</b> ", "hello<br/>see", "href=\"http://a.com/x\""};
        QTest::newRow("status") << false << "bob" << linked << "\n";
        QTest::newRow("update") << true << "bob" << linked << "\n";
        QTest::newRow("markup in the name") << false << "<i>x" << QStringList{"<b>&lt;i>x</b>"} << "<i>";
    }
    void text()
    {
        QFETCH(bool, own);
        QFETCH(QString, name);
        QFETCH(QStringList, holds);
        QFETCH(QString, lacks);
        std::unique_ptr<IMediaItemWidget> widget =
            makeWidget(QStringLiteral("hello\nsee http://a.com/x"), own, name);
        QVERIFY(widget);
        const QString shown = label(widget.get())->text();
        for (const QString& part : holds)
            QVERIFY2(shown.contains(part), qPrintable(shown));
        QVERIFY2(!shown.contains(lacks), qPrintable(shown));
        QVERIFY(label(widget.get())->openExternalLinks());
        QCOMPARE(widget->mediaItem(), m_status->mediaItem());
    }

    // A 100 KB word is shown cut, breaks instead of widening the item and makes no link.
    void longTextStaysNarrow_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("one word") << QString(100000, QLatin1Char('x'));
        QTest::newRow("an address") << QStringLiteral("www.") + QString(100000, QLatin1Char('w'));
    }
    void longTextStaysNarrow()
    {
        QFETCH(QString, text);
        std::unique_ptr<IMediaItemWidget> widget = makeWidget(text, false, QString(500, QLatin1Char('n')));
        QVERIFY(widget);
        QLabel* shown = label(widget.get());
        QVERIFY(shown->text().size() < 2500);
        QVERIFY(shown->text().contains(QChar(0x2026)));
        QVERIFY(!shown->text().contains(QLatin1String("href")));
        QVERIFY2(shown->minimumSizeHint().width() < 300,
                 qPrintable(QString::number(shown->minimumSizeHint().width())));
        QCOMPARE(m_status->text(), text); // the full text stays
    }

    void pressesAndActions_data()
    {
        QTest::addColumn<bool>("own");
        QTest::newRow("status") << false;
        QTest::newRow("update") << true;
    }
    void pressesAndActions()
    {
        QFETCH(bool, own);
        std::unique_ptr<IMediaItemWidget> widget = makeWidget(QStringLiteral("a < b & c"), own);
        widget->resize(400, 120);
        widget->show();
        QVERIFY(QTest::qWaitForWindowExposed(widget.get()));
        UrlCatcher catcher;
        QTest::mouseClick(picture(widget.get(), 0), Qt::LeftButton);
        QTest::mouseClick(picture(widget.get(), 5), Qt::LeftButton);
        const QString home = m_fx->server->baseUrl();
        QCOMPARE(catcher.opened, QList<QUrl>({QUrl(home + "/bob"), QUrl(home + "/bob/status/123")}));
        // The user's own avatar stands on the right, a friend's on the left.
        QCOMPARE(picture(widget.get(), 0)->x() > label(widget.get())->x(), own);

        auto* links = widget->findChild<CMeskItemLinkGroup*>();
        QCOMPARE(links == nullptr, own);
        if (own)
            return;
        QSignalSpy actions(widget.get(), &IMediaItemWidget::postUpdateAction);
        QTest::mouseClick(links->link(1), Qt::LeftButton);
        QTest::mouseClick(links->link(0), Qt::LeftButton);
        QCOMPARE(actions.size(), 2);
        QCOMPARE(actions.at(0).at(0).value<mid_t>(), mid_t(MeskProvider::Twitter));
        QCOMPARE(actions.at(0).at(1).toString(), QStringLiteral("RT @bob a < b & c"));
        QCOMPARE(actions.at(1).at(1).toString(), QStringLiteral("@bob "));
    }

    void filter_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<bool>("matches");
        const QString text = QStringLiteral("hello\nsee http://a.com/x");
        QTest::newRow("name in another case") << text << "BOB" << true;
        QTest::newRow("word of the text") << text << "hello" << true;
        QTest::newRow("only in the markup") << text << "href" << false;
        QTest::newRow("< against a stored &lt;") << "x &lt;y"
                                                 << "<y" << true;
        QTest::newRow("< against a raw <") << "x <y"
                                           << "<y" << false;
    }
    void filter()
    {
        QFETCH(QString, text);
        QFETCH(QString, filter);
        QFETCH(bool, matches);
        std::unique_ptr<IMediaItemWidget> widget = makeWidget(text);
        const QString plain = label(widget.get())->text();
        QCOMPARE(widget->applyFilter(filter, false), matches);
        QCOMPARE(label(widget.get())->text(), plain);
        QCOMPARE(widget->applyFilter(filter, true), matches);
        // A match is marked by the shared texts' highlight; anything else leaves the label alone.
        QCOMPARE(label(widget.get())->text().contains(QStringLiteral("BACKGROUND-COLOR")), matches);
        widget->clearFilter();
        QCOMPARE(label(widget.get())->text(), plain);
    }

    void logoAndAvatar()
    {
        std::unique_ptr<IMediaItemWidget> widget = makeWidget(QStringLiteral("hi"), true);
        QSignalSpy updated(m_user.get(), &IMediaUser::avatarUpdated);
        widget->show();
        CMeskThumbnailWidget* avatar = picture(widget.get(), 0);
        const QImage before = avatar->pixmap().toImage();
        const QObjectList children = widget->findChildren<QObject*>();
        // The avatar arrives after the widget was built: the same picture widget shows it.
        QVERIFY(QTest::qWaitFor([&] { return updated.size() == 1; }, 30000));
        const QImage after = avatar->pixmap().toImage();
        QVERIFY(after != before);
        QCOMPARE(after.pixelColor(after.width() / 2, after.height() / 2), QColor(10, 120, 200));
        QCOMPARE(widget->findChildren<QObject*>(), children);

        widget->setThumbnailVisible(false);
        QVERIFY(!picture(widget.get(), 5)->isVisible());
        QVERIFY(avatar->isVisible());
    }

    void providerMakesWidgets()
    {
        const QStringList keys = {"key", "secret", "user_id", "user_name"},
                          values = {"AT", "AS", "123", "alice"};
        for (int i = 0; i < 4; ++i)
            m_fx->db->setServiceKey(MeskProvider::Twitter, keys[i], values[i]);
        m_fx->addStatus("1001", QStringLiteral("see http://a.com/x"),
                        m_fx->author("2001", QStringLiteral("bob")));
        CTwitterProvider provider;
        provider.setStorage(m_fx->db.get());
        QSignalSpy done(&provider, &IMediaItemProvider::updateDone);
        const auto run = [&] {
            done.clear();
            provider.update();
            return QTest::qWaitFor([&] { return done.size() == 1; }, 30000);
        };
        QVERIFY(run());
        const SMediaItem status = m_fx->db->itemByMediaId(MeskProvider::Twitter, "1001").first();
        const SMediaItem link = m_fx->db->itemsByType(MeskItemType::Link, MeskProvider::Twitter).first();
        CTwitterStatus ownPost(provider.api(), m_fx->db.get());
        STwitterStatusData data;
        data.id = QStringLiteral("1002");
        data.created_at = QStringLiteral("Wed Aug 27 13:08:45 +0000 2008");
        QVERIFY(ownPost.createOwnStatus(data, MeskProvider::Twitter, status.user));
        const SMediaItem own = ownPost.mediaItem();

        std::unique_ptr<IMediaItemWidget> statusWidget(provider.createItemWidget(status));
        std::unique_ptr<IMediaItemWidget> updateWidget(provider.createItemWidget(own));
        QVERIFY(qobject_cast<CTwitterStatusWidget*>(statusWidget.get()) && !statusWidget->parent());
        QVERIFY(qobject_cast<CTwitterUpdateWidget*>(updateWidget.get()));
        QTest::ignoreMessage(QtDebugMsg, "CTwitterProvider: unknown event type");
        QCOMPARE(provider.createItemWidget(link), nullptr);
        // The link never became a status: the next run's sync records do not hold it.
        QVERIFY(run());
        for (const SMediaItem& synced : m_fx->db->syncRecords(MeskProvider::Twitter))
            QVERIFY(synced.id != link.id);

        // The account goes while both widgets live: they keep showing what they had.
        const QString shown = label(statusWidget.get())->text();
        provider.removeAccount();
        for (IMediaItemWidget* widget : {statusWidget.get(), updateWidget.get()}) {
            QVERIFY(widget->mediaItem() == status || widget->mediaItem() == own);
            QVERIFY(widget->applyFilter(QStringLiteral("bob"), true));
            widget->clearFilter();
            widget->updateTime();
            QVERIFY(!widget->grab().isNull());
        }
        QCOMPARE(label(statusWidget.get())->text(), shown);

        // Set-up runs the wizard modally.
        bool modal = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            if (auto* wizard = qobject_cast<CTwitterSetupWidget*>(QApplication::activeModalWidget())) {
                modal = wizard->isModal();
                wizard->reject();
            }
        });
        poll.start(20);
        provider.setup(nullptr);
        QVERIFY(modal);
    }
};

QTEST_MAIN(TestTwitterStatusWidget)
#include "tst_twitterstatuswidget.moc"
