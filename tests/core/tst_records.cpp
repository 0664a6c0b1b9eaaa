#include "meskrecords.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

namespace {
// Emits an SSmsMessage from whatever thread it is asked to on.
class Emitter : public QObject
{
    Q_OBJECT
public:
    void send(const SSmsMessage& message) { emit messageReady(message); }
signals:
    void messageReady(const SSmsMessage& message);
};

class Receiver : public QObject
{
    Q_OBJECT
public:
    SSmsMessage received;
    QThread* receivedOn = nullptr;
public slots:
    void onMessage(const SSmsMessage& message)
    {
        received = message;
        receivedOn = QThread::currentThread();
    }
};
} // namespace

class TestRecords : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerMeskMetaTypes(); }

    void defaults()
    {
        const SMediaItem item;
        QCOMPARE(item.id, mid_t(0));
        QCOMPARE(item.provider, mid_t(0));
        QCOMPARE(item.parent, mid_t(0));
        QCOMPARE(item.user, mid_t(0));
        QCOMPARE(item.type, 0);
        QVERIFY(item.created.isNull() && item.added.isNull());
        QVERIFY(item.content.isEmpty() && item.mediaId.isEmpty());
        QVERIFY(item.extra1.isEmpty() && item.extra2.isEmpty() && item.extra3.isEmpty());

        const SServiceUser user;
        QCOMPARE(user.id, mid_t(0));
        QCOMPARE(user.provider, mid_t(0));
        QCOMPARE(user.type, 0);
        QVERIFY(user.name.isEmpty() && user.mediaId.isEmpty() && user.url.isEmpty());
        QVERIFY(user.avatar.isEmpty() && user.avatarFile.isEmpty());

        const SSmsMessage sms;
        QCOMPARE(sms.id, mid_t(0));
        QCOMPARE(sms.type, 0);
        QVERIFY(sms.message.isEmpty() && sms.phone.isEmpty() && sms.created.isNull());
    }

    void copiesAreIndependent()
    {
        const QDateTime t1(QDate(2009, 11, 26), QTime(12, 0));
        const QDateTime t2 = t1.addDays(1);

        SMediaItem item;
        item.created = item.added = t1;
        item.content = item.mediaId = item.extra1 = item.extra2 = item.extra3 = QStringLiteral("old");
        const SMediaItem itemCopy = item;
        item.created = item.added = t2;
        for (QString* s : {&item.content, &item.mediaId, &item.extra1, &item.extra2, &item.extra3})
            s->append(QLatin1Char('!'));
        QCOMPARE(itemCopy.created, t1);
        QCOMPARE(itemCopy.added, t1);
        for (const QString* s :
             {&itemCopy.content, &itemCopy.mediaId, &itemCopy.extra1, &itemCopy.extra2, &itemCopy.extra3})
            QCOMPARE(*s, QStringLiteral("old"));

        SServiceUser user;
        for (QString* s : {&user.name, &user.mediaId, &user.url, &user.avatar, &user.avatarFile, &user.extra1,
                           &user.extra2, &user.extra3})
            *s = QStringLiteral("old");
        const SServiceUser userCopy = user;
        for (QString* s : {&user.name, &user.mediaId, &user.url, &user.avatar, &user.avatarFile, &user.extra1,
                           &user.extra2, &user.extra3})
            s->replace(0, 1, QLatin1Char('n'));
        for (const QString* s : {&userCopy.name, &userCopy.mediaId, &userCopy.url, &userCopy.avatar,
                                 &userCopy.avatarFile, &userCopy.extra1, &userCopy.extra2, &userCopy.extra3})
            QCOMPARE(*s, QStringLiteral("old"));

        SSmsMessage sms;
        sms.message = sms.phone = QStringLiteral("old");
        sms.created = t1;
        const SSmsMessage smsCopy = sms;
        sms.message[0] = QLatin1Char('n');
        sms.phone += QLatin1Char('1');
        sms.created = t2;
        QCOMPARE(smsCopy.message, QStringLiteral("old"));
        QCOMPARE(smsCopy.phone, QStringLiteral("old"));
        QCOMPARE(smsCopy.created, t1);
    }

    void smsMessageCrossesThreads()
    {
        SSmsMessage sent;
        sent.id = 42;
        sent.message = QStringLiteral("héllo ✓ O'Hara");
        sent.phone = QStringLiteral("+4712345678");
        sent.created = QDateTime(QDate(2009, 11, 26), QTime(12, 34, 56), Qt::LocalTime);
        sent.type = 3;

        QThread worker;
        Emitter emitter;
        emitter.moveToThread(&worker);
        Receiver receiver;
        connect(&emitter, &Emitter::messageReady, &receiver, &Receiver::onMessage, Qt::QueuedConnection);
        QSignalSpy spy(&emitter, &Emitter::messageReady);
        worker.start();
        QMetaObject::invokeMethod(
            &emitter, [&] { emitter.send(sent); }, Qt::QueuedConnection);
        QTRY_VERIFY_WITH_TIMEOUT(receiver.receivedOn != nullptr, 30000);
        worker.quit();
        worker.wait();

        QCOMPARE(receiver.receivedOn, QThread::currentThread());
        QCOMPARE(receiver.received, sent);
        QCOMPARE(receiver.received.message, QStringLiteral("héllo ✓ O'Hara"));
    }

    void namedTypesAreRegistered()
    {
        for (const char* name :
             {"SSmsMessage", "mid_t", "SMediaItem", "SServiceUser", "TMediaError", "TMeskSmsState"})
            QVERIFY2(QMetaType::fromName(name).isValid(), name);
        QCOMPARE(QMetaType::fromName("mid_t"), QMetaType::fromType<quint64>());
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
