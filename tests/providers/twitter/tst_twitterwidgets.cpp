// The Twitter feed widgets: text, links, actions, filter, avatar refresh, and the provider that
// makes them and deletes their objects.
#include "meskhttptaskpool.h"
#include "meskitemwidgets.h"
#include "mesktexts.h"
#include "meskthumbnailwidget.h"
#include "twitterauth.h"
#include "twitterfixture.h"
#include "twitteritems.h"
#include "twitterprovider.h"
#include "twittersetupwidget.h"
#include "twitterwidgets.h"
#include "urlcatcher.h"

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

class TestTwitterWidgets : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<TwitterFixture> m_fx;
    std::unique_ptr<CTwitterApi> m_api;
    std::unique_ptr<CTwitterUser> m_user;
    std::unique_ptr<CTwitterStatus> m_status;

    // Author bob and his status 123 with that text, stored.
    bool makeItems(const QString& text, const QString& name = QStringLiteral("bob"), bool own = false)
    {
        STwitterUserData u;
        u.id = QStringLiteral("2001");
        u.screen_name = name;
        u.profile_image_url = m_fx->avatarUrl(QStringLiteral("bob.png"));
        m_user = std::make_unique<CTwitterUser>(m_api.get(), m_fx->db.get());
        if (!m_user->create(u, MeskProvider::Twitter))
            return false;
        STwitterStatusData s;
        s.id = QStringLiteral("123");
        s.text = text;
        s.created_at = QStringLiteral("Wed Aug 27 13:08:45 +0000 2008");
        m_status = std::make_unique<CTwitterStatus>(m_api.get(), m_fx->db.get());
        const mid_t author = m_user->serviceUser().id;
        return own ? m_status->createOwnStatus(s, MeskProvider::Twitter, author)
                   : m_status->createStatus(s, MeskProvider::Twitter, author);
    }
    std::unique_ptr<IMediaItemWidget> makeWidget(bool own)
    {
        if (own)
            return std::make_unique<CTwitterUpdateWidget>(m_user.get(), m_status.get(), nullptr);
        return std::make_unique<CTwitterStatusWidget>(m_user.get(), m_status.get(), nullptr);
    }
    static QLabel* label(IMediaItemWidget* w)
    {
        if (auto* s = qobject_cast<CTwitterStatusWidget*>(w))
            return s->textLabel();
        return static_cast<CTwitterUpdateWidget*>(w)->textLabel();
    }
    static void addKinds() { QTest::addColumn<bool>("own"); }

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
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("holds");
        QTest::addColumn<QStringList>("lacks");
        const QStringList linked = {"<b>bob</b> ", "hello<br/>see", "href=\"http://a.com/x\""};
        QTest::newRow("status, break and link") << false << "bob"
                                                << "hello\nsee http://a.com/x" << linked << QStringList{"\n"};
        QTest::newRow("update, break and link") << true << "bob"
                                                << "hello\nsee http://a.com/x" << linked << QStringList{"\n"};
        QTest::newRow("markup in the name") << false << "<i>x"
                                            << "hi" << QStringList{"<b>&lt;i>x</b>"} << QStringList{"<i>"};
        QTest::newRow("markup in the text")
            << true << "bob"
            << "<i>no</i> javascript:x" << QStringList{"&lt;i>no"} << QStringList{"<i>", "href"};
    }
    void text()
    {
        QFETCH(bool, own);
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QStringList, holds);
        QFETCH(QStringList, lacks);
        QVERIFY(makeItems(text, name, own));
        std::unique_ptr<IMediaItemWidget> widget = makeWidget(own);
        const QString shown = label(widget.get())->text();
        for (const QString& part : holds)
            QVERIFY2(shown.contains(part), qPrintable(shown));
        for (const QString& part : lacks)
            QVERIFY2(!shown.contains(part), qPrintable(shown));
        QCOMPARE(widget->mediaItem(), m_status->mediaItem());
        QVERIFY(label(widget.get())->openExternalLinks());
        QVERIFY(label(widget.get())->wordWrap());
    }

    void pressesAndActions_data()
    {
        addKinds();
        QTest::newRow("status") << false;
        QTest::newRow("update") << true;
    }
    void pressesAndActions()
    {
        QFETCH(bool, own);
        QVERIFY(makeItems(QStringLiteral("a < b & c"), QStringLiteral("bob"), own));
        std::unique_ptr<IMediaItemWidget> widget = makeWidget(own);
        widget->resize(400, 120);
        widget->show();
        QVERIFY(QTest::qWaitForWindowExposed(widget.get()));
        auto* status = qobject_cast<CTwitterStatusWidget*>(widget.get());
        auto* update = qobject_cast<CTwitterUpdateWidget*>(widget.get());
        CMeskThumbnailWidget* avatar = own ? update->avatarWidget() : status->avatarWidget();
        CMeskThumbnailWidget* logo = own ? update->logoWidget() : status->logoWidget();

        UrlCatcher catcher;
        QTest::mouseClick(avatar, Qt::LeftButton);
        QTest::mouseClick(logo, Qt::LeftButton);
        const QString home = m_fx->server->baseUrl();
        QCOMPARE(catcher.opened, QList<QUrl>({QUrl(home + "/bob"), QUrl(home + "/bob/status/123")}));
        // The user's own avatar stands on the right, the friend's on the left.
        QCOMPARE(avatar->x() > label(widget.get())->x(), own);

        QCOMPARE(widget->findChild<CMeskItemLinkGroup*>() == nullptr, own);
        if (own)
            return;
        QSignalSpy actions(widget.get(), &IMediaItemWidget::postUpdateAction);
        QTest::mouseClick(status->linkGroup()->link(1), Qt::LeftButton);
        QTest::mouseClick(status->linkGroup()->link(0), Qt::LeftButton);
        QVERIFY(!status->linkGroup()->link(2));
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
        QTest::newRow("word of the text") << text << "see" << true;
        QTest::newRow("only in the markup") << text << "href" << false;
        QTest::newRow("< against a stored &lt;") << "x &lt;y"
                                                 << "<y" << true;
        QTest::newRow("< against a raw <") << "x <y"
                                           << "<y" << false;
        QTest::newRow("not there") << "x y"
                                   << "<y" << false;
    }
    void filter()
    {
        QFETCH(QString, text);
        QFETCH(QString, filter);
        QFETCH(bool, matches);
        QVERIFY(makeItems(text));
        for (const bool own : {false, true}) {
            std::unique_ptr<IMediaItemWidget> widget = makeWidget(own);
            const QString plain = label(widget.get())->text();
            QCOMPARE(widget->applyFilter(filter, false), matches);
            QCOMPARE(label(widget.get())->text(), plain);
            QCOMPARE(widget->applyFilter(filter, true), matches);
            if (!matches)
                QCOMPARE(label(widget.get())->text(), plain);
            else
                QVERIFY(label(widget.get())->text().contains(QStringLiteral("BACKGROUND-COLOR")));
            widget->clearFilter();
            QCOMPARE(label(widget.get())->text(), plain);
        }
    }

    void highlight()
    {
        QVERIFY(makeItems(QStringLiteral("hello\nsee http://a.com/x")));
        CTwitterStatusWidget widget(m_user.get(), m_status.get());
        const QString plain = widget.textLabel()->text();
        QVERIFY(widget.applyFilter(QStringLiteral("hello"), true));
        QCOMPARE(widget.textLabel()->text(), CMeskTexts::highlightText(plain, QStringLiteral("hello"), true));
        QVERIFY(widget.textLabel()->text() != plain);
    }

    void logoAndAvatar_data()
    {
        addKinds();
        QTest::newRow("status") << false;
        QTest::newRow("update") << true;
    }
    void logoAndAvatar()
    {
        QFETCH(bool, own);
        QVERIFY(makeItems(QStringLiteral("hi"), QStringLiteral("bob"), own));
        QSignalSpy updated(m_user.get(), &IMediaUser::avatarUpdated);
        std::unique_ptr<IMediaItemWidget> widget = makeWidget(own);
        widget->show();
        CMeskThumbnailWidget* avatar = nullptr;
        CMeskThumbnailWidget* logo = nullptr;
        for (CMeskThumbnailWidget* picture : widget->findChildren<CMeskThumbnailWidget*>())
            (picture->type() == 0 ? avatar : logo) = picture;
        QVERIFY(avatar && logo && logo->type() == 5);
        const QImage before = avatar->pixmap().toImage();
        const QObjectList children = widget->findChildren<QObject*>();

        // The avatar arrives after the widget was built.
        QVERIFY(QTest::qWaitFor([&] { return updated.size() == 1; }, 10000));
        QVERIFY(avatar->pixmap().toImage() != before);
        QCOMPARE(avatar->pixmap().toImage().pixelColor(avatar->pixmap().width() / 2,
                                                       avatar->pixmap().height() / 2),
                 QColor(10, 120, 200));
        QCOMPARE(widget->findChildren<QObject*>(), children);

        widget->setThumbnailVisible(false);
        QVERIFY(!logo->isVisible());
        QVERIFY(avatar->isVisible());
        widget->setThumbnailVisible(true);
        QVERIFY(logo->isVisible());
    }

    void providerMakesWidgets()
    {
        for (int i = 0; i < 4; ++i)
            m_fx->db->setServiceKey(MeskProvider::Twitter,
                                    QStringList{"key", "secret", "user_id", "user_name"}[i],
                                    QStringList{"AT", "AS", "123", "alice"}[i]);
        m_fx->addStatus("1001", QStringLiteral("see http://a.com/x"),
                        m_fx->author("2001", QStringLiteral("bob")));
        CTwitterProvider provider;
        provider.setStorage(m_fx->db.get());
        QSignalSpy done(&provider, &IMediaItemProvider::updateDone);
        provider.update();
        QVERIFY(QTest::qWaitFor([&] { return done.size() == 1; }, 10000));
        const SMediaItem status = m_fx->db->itemByMediaId(MeskProvider::Twitter, "1001").first();
        const SMediaItem link = m_fx->db->itemsByType(MeskItemType::Link, MeskProvider::Twitter).first();
        CTwitterStatus ownPost(provider.api(), m_fx->db.get());
        STwitterStatusData data;
        data.id = QStringLiteral("1002");
        data.text = QStringLiteral("mine");
        data.created_at = QStringLiteral("Wed Aug 27 13:08:45 +0000 2008");
        QVERIFY(ownPost.createOwnStatus(data, MeskProvider::Twitter, status.user));

        std::unique_ptr<IMediaItemWidget> statusWidget(provider.createItemWidget(status));
        std::unique_ptr<IMediaItemWidget> updateWidget(provider.createItemWidget(ownPost.mediaItem()));
        QVERIFY(qobject_cast<CTwitterStatusWidget*>(statusWidget.get()));
        QVERIFY(qobject_cast<CTwitterUpdateWidget*>(updateWidget.get()));
        QVERIFY(!statusWidget->parent());
        QTest::ignoreMessage(QtDebugMsg, "CTwitterProvider: unknown event type");
        QCOMPARE(provider.createItemWidget(link), nullptr);
        // The link never became a status: the next run's sync records do not hold it.
        done.clear();
        provider.update();
        QVERIFY(QTest::qWaitFor([&] { return done.size() == 1; }, 10000));
        for (const SMediaItem& synced : m_fx->db->syncRecords(MeskProvider::Twitter))
            QVERIFY(synced.id != link.id);

        // The account goes while both widgets live: they keep showing what they had.
        const QString shown = static_cast<CTwitterStatusWidget*>(statusWidget.get())->textLabel()->text();
        provider.removeAccount();
        for (IMediaItemWidget* widget : {statusWidget.get(), updateWidget.get()}) {
            QVERIFY(widget->mediaItem().id > 0);
            QVERIFY(widget->applyFilter(QStringLiteral("bob"), true));
            widget->clearFilter();
            widget->updateTime();
            widget->setThumbnailVisible(false);
            QVERIFY(!widget->grab().isNull());
        }
        QCOMPARE(static_cast<CTwitterStatusWidget*>(statusWidget.get())->textLabel()->text(), shown);

        // Set-up runs the wizard modally on the provider's authorisation.
        QString seen;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto* wizard = qobject_cast<CTwitterSetupWidget*>(QApplication::activeModalWidget());
            if (!wizard)
                return;
            seen = QStringLiteral("%1 %2").arg(wizard->isModal()).arg(wizard->windowTitle());
            wizard->reject();
        });
        poll.start(20);
        provider.setup(nullptr);
        QVERIFY2(seen.startsWith(QStringLiteral("1")), qPrintable(seen));
    }
};

QTEST_MAIN(TestTwitterWidgets)
#include "tst_twitterwidgets.moc"
