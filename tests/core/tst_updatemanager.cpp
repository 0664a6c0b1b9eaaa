#include "fakeprovider.h"
#include "meskprovidermanager.h"
#include "meskupdatemanager.h"

#include <QPointer>
#include <QTest>

// Fake Twitter (1) and Facebook (2) with text posters, fake Flickr (3) without;
// both text-capable fakes activated. Every call and outcome lands in one log.
class TestUpdateManager : public QObject
{
    Q_OBJECT
private:
    QStringList m_log;
    CMeskProviderManager* m_providers = nullptr;
    CMeskUpdateManager* m_manager = nullptr;
    FakeProvider* m_twitter = nullptr;
    FakeProvider* m_facebook = nullptr;
    FakeProvider* m_flickr = nullptr;

    FakeTextPoster* twitterPoster() const { return m_twitter->textPoster(); }
    FakeTextPoster* facebookPoster() const { return m_facebook->textPoster(); }

    // The manager's signals, in the order they came, after the posters' calls.
    QStringList outcome() const
    {
        QStringList signalsOnly;
        for (const QString& entry : m_log) {
            if (entry.startsWith(QLatin1String("failed ")) || entry == QLatin1String("done"))
                signalsOnly.append(entry);
        }
        return signalsOnly;
    }
    int doneCount() const { return int(m_log.count(QStringLiteral("done"))); }

private slots:
    void init()
    {
        m_log.clear();
        m_providers = new CMeskProviderManager;
        m_twitter = new FakeProvider(1, QStringLiteral("Twitter"), m_providers, &m_log);
        m_facebook = new FakeProvider(2, QStringLiteral("Facebook"), m_providers, &m_log);
        m_flickr = new FakeProvider(3, QStringLiteral("Flickr"), m_providers, &m_log);
        for (FakeProvider* p : {m_twitter, m_facebook, m_flickr})
            m_providers->registerProvider(p, nullptr);
        m_twitter->enableTextPoster();
        m_facebook->enableTextPoster();
        m_twitter->setActivated(true);
        m_facebook->setActivated(true);
        m_flickr->setActivated(true);
        m_log.clear();

        m_manager = new CMeskUpdateManager(m_providers);
        connect(m_manager, &IMediaUpdateManager::updateDone, this,
                [this] { m_log.append(QStringLiteral("done")); });
        connect(m_manager, &IMediaUpdateManager::providerFailed, this,
                [this](const QString& name) { m_log.append(QStringLiteral("failed ") + name); });
    }
    void cleanup()
    {
        delete m_manager;
        delete m_providers;
    }

    void postsToEverySelectedProvider()
    {
        m_manager->postUpdate(QStringLiteral("hello"));
        QCOMPARE(m_log, (QStringList{"post Twitter", "post Facebook"}));
        QCOMPARE(twitterPoster()->postedTexts, QStringList{"hello"});
        QCOMPARE(facebookPoster()->postedTexts, QStringList{"hello"});
        QVERIFY(m_manager->isPosting());
        twitterPoster()->finishDone();
        QCOMPARE(doneCount(), 0);
        QVERIFY(m_manager->isPosting());
        facebookPoster()->finishDone();
        QCOMPARE(outcome(), QStringList{"done"});
        QVERIFY(!m_manager->isPosting());
    }

    void selectionChoosesTheProviders()
    {
        QVERIFY(m_manager->isProviderSelected(42));
        m_manager->deselectProvider(2);
        QVERIFY(!m_manager->isProviderSelected(2));
        m_manager->postUpdate(QStringLiteral("one"));
        QCOMPARE(m_log, QStringList{"post Twitter"});
        twitterPoster()->finishDone();
        QCOMPARE(outcome(), QStringList{"done"});

        m_log.clear();
        m_manager->selectProvider(2);
        QVERIFY(m_manager->isProviderSelected(2));
        m_manager->postUpdate(QStringLiteral("two"));
        QCOMPARE(m_log, (QStringList{"post Twitter", "post Facebook"}));
    }

    void failingProviderIsNamedBeforeTheEnd_data()
    {
        QTest::addColumn<bool>("twitterEndsFirst");
        QTest::newRow("Twitter fails first") << true;
        QTest::newRow("Facebook succeeds first") << false;
    }
    void failingProviderIsNamedBeforeTheEnd()
    {
        QFETCH(bool, twitterEndsFirst);
        m_manager->postUpdate(QStringLiteral("hello"));
        if (twitterEndsFirst) {
            twitterPoster()->finishFailed();
            QCOMPARE(outcome(), QStringList{"failed Twitter"});
            facebookPoster()->finishDone();
        } else {
            facebookPoster()->finishDone();
            QCOMPARE(outcome(), QStringList{});
            twitterPoster()->finishFailed();
        }
        QCOMPARE(outcome(), (QStringList{"failed Twitter", "done"}));
        QVERIFY(!m_manager->isPosting());
    }

    void nothingToPostToEndsAtOnce()
    {
        m_twitter->setActivated(false);
        m_facebook->setActivated(false);
        QTest::ignoreMessage(QtDebugMsg, "CMeskUpdateManager: no providers selected");
        m_manager->postUpdate(QStringLiteral("hello"));
        QCOMPARE(m_log, QStringList{"done"});
        QVERIFY(!m_manager->isPosting());
    }

    void secondPostingIsRefusedWithoutDisturbingTheFirst()
    {
        m_manager->postUpdate(QStringLiteral("first"));
        QTest::ignoreMessage(QtDebugMsg, "CMeskUpdateManager: posting is already in progress");
        m_manager->postUpdate(QStringLiteral("second"));
        QCOMPARE(outcome(), QStringList{"done"});
        QCOMPARE(twitterPoster()->postedTexts, QStringList{"first"});
        QCOMPARE(facebookPoster()->postedTexts, QStringList{"first"});
        QVERIFY(m_manager->isPosting());
        twitterPoster()->finishDone();
        facebookPoster()->finishDone();
        QCOMPARE(outcome(), (QStringList{"done", "done"}));
        QVERIFY(!m_manager->isPosting());
    }

    void posterThatCannotPostFailsAtOnce()
    {
        twitterPoster()->setCanPost(false);
        QTest::ignoreMessage(QtDebugMsg, "CMeskTextUpdate: text poster is not ready");
        m_manager->postUpdate(QStringLiteral("hello"));
        QCOMPARE(m_log, (QStringList{"failed Twitter", "post Facebook"}));
        QVERIFY(m_manager->isPosting());
        facebookPoster()->finishDone();
        QCOMPARE(outcome(), (QStringList{"failed Twitter", "done"}));
        QVERIFY(!m_manager->isPosting());

        // The next posting is accepted.
        m_log.clear();
        twitterPoster()->setCanPost(true);
        m_manager->postUpdate(QStringLiteral("again"));
        QCOMPARE(m_log, (QStringList{"post Twitter", "post Facebook"}));
    }

    void postThatEndsInsidePostTextDoesNotSkipOthers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("twitterOutcome");
        QTest::newRow("done at once") << QStringLiteral("hello") << int(FakeTextPoster::Outcome::DoneAtOnce);
        QTest::newRow("empty text") << QString() << int(FakeTextPoster::Outcome::Manual);
    }
    void postThatEndsInsidePostTextDoesNotSkipOthers()
    {
        QFETCH(QString, text);
        QFETCH(int, twitterOutcome);
        twitterPoster()->setOutcome(FakeTextPoster::Outcome(twitterOutcome));
        if (text.isEmpty())
            facebookPoster()->setOutcome(FakeTextPoster::Outcome::Never);
        m_manager->postUpdate(text);
        QCOMPARE(facebookPoster()->postedTexts, QStringList{text});
        if (text.isEmpty()) {
            // An empty text ends every poster at once, so the posting is over before postUpdate returns.
            QCOMPARE(outcome(), QStringList{"done"});
            return;
        }
        QCOMPARE(doneCount(), 0);
        QVERIFY(m_manager->isPosting());
        facebookPoster()->finishDone();
        QCOMPARE(outcome(), QStringList{"done"});
    }

    // A poster that returns false from postText sends no signal of its own: the update must
    // end there, once, or every later posting is refused for the rest of the run.
    void posterThatDoesNotStartFailsOnce_data()
    {
        QTest::addColumn<int>("twitterOutcome");
        QTest::addColumn<bool>("logged");
        QTest::newRow("refused without a signal") << int(FakeTextPoster::Outcome::Refuse) << true;
        QTest::newRow("failed by signal, then refused")
            << int(FakeTextPoster::Outcome::FailAndRefuse) << false;
    }
    void posterThatDoesNotStartFailsOnce()
    {
        QFETCH(int, twitterOutcome);
        QFETCH(bool, logged);
        twitterPoster()->setOutcome(FakeTextPoster::Outcome(twitterOutcome));
        if (logged)
            QTest::ignoreMessage(QtDebugMsg, "CMeskTextUpdate: text poster did not start the post");
        m_manager->postUpdate(QStringLiteral("hello"));
        QCOMPARE(m_log, (QStringList{"post Twitter", "failed Twitter", "post Facebook"}));
        facebookPoster()->finishDone();
        QCOMPARE(outcome(), (QStringList{"failed Twitter", "done"}));
        QVERIFY(!m_manager->isPosting());

        m_log.clear();
        twitterPoster()->setOutcome(FakeTextPoster::Outcome::DoneAtOnce);
        m_manager->postUpdate(QStringLiteral("again"));
        QCOMPARE(m_log, (QStringList{"post Twitter", "post Facebook"}));
        facebookPoster()->finishDone();
        QCOMPARE(outcome(), QStringList{"done"});
    }

    void bothRefusedEndsBeforePostUpdateReturns()
    {
        twitterPoster()->setCanPost(false);
        facebookPoster()->setCanPost(false);
        QTest::ignoreMessage(QtDebugMsg, "CMeskTextUpdate: text poster is not ready");
        QTest::ignoreMessage(QtDebugMsg, "CMeskTextUpdate: text poster is not ready");
        m_manager->postUpdate(QStringLiteral("hello"));
        QCOMPARE(m_log, (QStringList{"failed Twitter", "failed Facebook", "done"}));
        QVERIFY(!m_manager->isPosting());
    }

    void straySignalsChangeNothing()
    {
        m_manager->postUpdate(QStringLiteral("hello"));
        twitterPoster()->finishDone();
        twitterPoster()->finishDone();   // twice
        twitterPoster()->finishFailed(); // after its update ended
        QCOMPARE(doneCount(), 0);
        facebookPoster()->finishFailed();
        facebookPoster()->finishDone();
        QCOMPARE(outcome(), (QStringList{"failed Facebook", "done"}));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        twitterPoster()->finishDone();
        facebookPoster()->finishFailed();
        QCOMPARE(outcome(), (QStringList{"failed Facebook", "done"}));
        // A poster signalling while nothing is posted is ignored too.
        QVERIFY(!m_manager->isPosting());
    }

    void onlyTextProvidersAreOffered()
    {
        const QList<IMediaItemProvider*> providers = m_manager->providers();
        QCOMPARE(providers, (QList<IMediaItemProvider*>{m_twitter, m_facebook}));
        m_manager->postUpdate(QStringLiteral("hello"));
        QVERIFY(!m_log.contains(QStringLiteral("post Flickr")));
    }

    void posterDestroyedMidPostCountsAsFailed()
    {
        m_manager->postUpdate(QStringLiteral("hello"));
        delete twitterPoster();
        QCOMPARE(outcome(), QStringList{"failed Twitter"});
        facebookPoster()->finishDone();
        QCOMPARE(outcome(), (QStringList{"failed Twitter", "done"}));
    }

    void destroyedWhilePosting()
    {
        m_manager->postUpdate(QStringLiteral("hello"));
        QPointer<CMeskUpdateManager> manager = m_manager;
        delete m_manager;
        m_manager = nullptr;
        QVERIFY(manager.isNull());
        twitterPoster()->finishDone();
        facebookPoster()->finishFailed();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(outcome(), QStringList{});
    }
};

QTEST_GUILESS_MAIN(TestUpdateManager)
#include "tst_updatemanager.moc"
