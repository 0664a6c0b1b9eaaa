// How the Notifications settings page copes with many contacts: 2,000 stored service users
// (contacts of two providers).
//
// build     the page built (it reads the users and makes one box per contact)
// reload    reload() of the built page (the contact list rebuilt)
// widgets   the widgets the page holds
//
// None of the figures is a limit.
#include "benchsupport.h"
#include "settings/mesksettings.h"
#include "settings/mesksettingspages.h"
#include "testengine.h"

#include <QApplication>
#include <QTest>

#include <cstdio>
#include <memory>
#include <utility>

namespace {

using BenchSupport::buildType;

constexpr int kContacts = 2000;

} // namespace

class BenchNotificationsPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_env = std::make_unique<TestEngine>();
        m_env->addProvider(1, QStringLiteral("Twitter"));
        m_env->addProvider(2, QStringLiteral("Facebook"));
        QList<SServiceUser> users;
        for (int i = 0; i < kContacts; ++i) {
            SServiceUser user;
            user.provider = 1 + mid_t(i % 2);
            user.type = 2;
            user.name = QStringLiteral("Contact %1").arg(i);
            user.mediaId = QString::number(100000 + i);
            users.append(user);
        }
        QVERIFY(m_env->seedUsers(users));
        QVERIFY(m_env->init());
        m_settings = std::make_unique<CMeskSettings>();
        std::printf("notifications page, %d contacts, %s build\n", kContacts, buildType());
    }
    void cleanupTestCase()
    {
        m_settings.reset();
        m_env.reset();
    }

    void build()
    {
        QBENCHMARK
        {
            CMeskNotificationsView view(m_settings.get(), m_env->engine());
        }
    }

    void reload()
    {
        CMeskNotificationsView view(m_settings.get(), m_env->engine());
        QCOMPARE(view.content()->contactBoxes().size(), kContacts);
        QBENCHMARK
        {
            view.reload();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // QBENCHMARK runs the function again until the time is measurable: print once.
        static bool printed = false;
        if (std::exchange(printed, true))
            return;
        std::printf("widgets on the page: %lld\n",
                    static_cast<long long>(view.findChildren<QWidget*>().size()));
    }

private:
    std::unique_ptr<TestEngine> m_env;
    std::unique_ptr<CMeskSettings> m_settings;
};

QTEST_MAIN(BenchNotificationsPage)
#include "bench_notificationspage.moc"
