#include "fakecontactstore.h"
#include "logrecorder.h"
#include "meskcontacts.h"

#include <QFile>
#include <QTest>

using Properties = QMap<QString, QString>;
Q_DECLARE_METATYPE(FakeContactStore::Step)

// The contacts reader over a store that tests fill: what a contact is made of,
// how each failing step of the store ends, and what the search logs.
class TestContacts : public QObject
{
    Q_OBJECT

    static QStringList labels(const SPhoneContact& contact)
    {
        QStringList result;
        for (const SPhoneNumber& phone : contact.phones)
            result << phone.label + QLatin1Char('=') + phone.number;
        return result;
    }

private slots:
    void displayName_data()
    {
        QTest::addColumn<Properties>("properties");
        QTest::addColumn<QString>("displayName");
        QTest::newRow("given, middle, last")
            << Properties{{"GivenName", "John"}, {"MiddleName", "Paul"}, {"LastName", "Smith"}}
            << "John Paul Smith";
        QTest::newRow("given and last")
            << Properties{{"GivenName", "John"}, {"LastName", "Smith"}} << "John Smith";
        QTest::newRow("last only") << Properties{{"LastName", "Smith"}} << " Smith";
        QTest::newRow("given only") << Properties{{"GivenName", "John"}} << "John ";
        QTest::newRow("nothing") << Properties{{"Company", "Acme"}} << " ";
    }

    void displayName()
    {
        QFETCH(Properties, properties);
        QFETCH(QString, displayName);
        FakeContactStore store;
        store.setContacts({FakeContactStore::contact(properties)});
        CMeskContacts reader;
        QVERIFY(readContactsNow(reader));
        QCOMPARE(reader.contacts().size(), 1);
        const SPhoneContact contact = reader.contacts().first();
        QCOMPARE(contact.displayName, displayName);
        QCOMPARE(contact.givenName, properties.value("GivenName"));
        QCOMPARE(contact.lastName, properties.value("LastName"));
        QVERIFY(store.foreignLookups().isEmpty());
    }

    void fields()
    {
        FakeContactStore store;
        // Properties in another order than they are read, each phone kind once.
        Properties all{{"GivenName", "Ann"}, {"LastName", "Lee"}, {"NickName", "Annie"}, {"Company", "Acme"}};
        const QStringList phones = CMeskContacts::phoneProperties();
        QStringList expected;
        for (qsizetype i = phones.size() - 1; i >= 0; --i)
            all.insert(phones.at(i), QString::number(100 + i));
        for (qsizetype i = 0; i < phones.size(); ++i)
            expected << phones.at(i) + QLatin1Char('=') + QString::number(100 + i);
        store.setContacts({
            FakeContactStore::contact(all),
            FakeContactStore::contact({{"GivenName", "Fax"}, {"Pager", "555"}, {"BusinessFax", "444"}}),
            FakeContactStore::contact({{"GivenName", "Nobody"}, {"Company", "Firm"}}),
        });
        CMeskContacts reader;
        QVERIFY(readContactsNow(reader));
        const QList<SPhoneContact> contacts = reader.contacts();
        QCOMPARE(contacts.size(), 3);
        QCOMPARE(contacts[0].nickName, QStringLiteral("Annie"));
        QCOMPARE(contacts[0].company, QStringLiteral("Acme"));
        QCOMPARE(labels(contacts[0]), expected);
        QCOMPARE(labels(contacts[1]), (QStringList{"BusinessFax=444", "Pager=555"}));
        // Kept without numbers, and without a nickname.
        QVERIFY(contacts[2].phones.isEmpty());
        QVERIFY(contacts[2].nickName.isEmpty());
        QCOMPARE(contacts[2].company, QStringLiteral("Firm"));
        QVERIFY(contacts[2].extraPicture.isNull());
        // The count is asked once per pass and once more at the end.
        QCOMPARE(store.countCalls(), 1 + 3 + 1);

        // The picture is the SMS profile image of the product UI library.
        if (QFile::exists(CMeskContacts::defaultPicturePath())) {
            QVERIFY(!contacts[0].picture.isNull());
            QCOMPARE(contacts[0].picture.deviceIndependentSize().toSize(), QSize(50, 50));
        } else {
            qInfo("The SMS images are not compiled in: contacts get no picture");
            QVERIFY(contacts[0].picture.isNull());
        }
    }

    void storeFails_data()
    {
        QTest::addColumn<FakeContactStore::Step>("step");
        QTest::addColumn<bool>("empty");
        QTest::addColumn<QString>("line");
        QTest::newRow("open")
            << FakeContactStore::Step::Open << false
            << "CMeskContacts: Quor Suite must be installed in order to retrieve contacts. ";
        QTest::newRow("initialise") << FakeContactStore::Step::Initialize << false
                                    << "CMeskContacts: Failed to initialize Dastrel. ";
        QTest::newRow("null collection")
            << FakeContactStore::Step::NullCollection << false << "CMeskContacts: No contacts found";
        QTest::newRow("empty collection")
            << FakeContactStore::Step::None << true << "CMeskContacts: No contacts found";
    }

    void storeFails()
    {
        QFETCH(FakeContactStore::Step, step);
        QFETCH(bool, empty);
        QFETCH(QString, line);
        FakeContactStore store;
        if (!empty)
            store.setContacts({FakeContactStore::contact({{"GivenName", "Ann"}, {"HomePhone", "1"}})});
        store.setFails(step);
        CMeskContacts reader;
        LogRecorder log;
        QVERIFY(readContactsNow(reader));
        QCOMPARE(log.lines(), QStringList{line});
        QVERIFY(reader.contacts().isEmpty());
    }

    void linuxStoreIsEmpty()
    {
        // No fake installed: the platform's own store.
        CMeskContacts reader;
        LogRecorder log;
        QVERIFY(readContactsNow(reader));
        QCOMPARE(log.lines(), QStringList{"CMeskContacts: No contacts found"});
        QVERIFY(reader.contacts().isEmpty());
    }

    void skipsOnlyWhatFails()
    {
        FakeContactStore store;
        FakeContactStore::Contact notContact = FakeContactStore::contact({{"GivenName", "Ghost"}});
        notContact.contactInterface = false;
        FakeContactStore::Contact unreadable = FakeContactStore::contact(
            {{"GivenName", "Bea"}, {"LastName", "Hidden"}, {"HomeMobile", "777"}, {"HomePhone", "888"}});
        unreadable.unreadable = {"LastName", "HomeMobile"};
        store.setContacts({FakeContactStore::contact({{"GivenName", "Ann"}}), notContact, unreadable});
        CMeskContacts reader;
        QVERIFY(readContactsNow(reader));
        const QList<SPhoneContact> contacts = reader.contacts();
        QCOMPARE(contacts.size(), 2);
        QCOMPARE(contacts[0].displayName, QStringLiteral("Ann "));
        QCOMPARE(contacts[1].displayName, QStringLiteral("Bea "));
        QVERIFY(contacts[1].lastName.isEmpty());
        QCOMPARE(labels(contacts[1]), QStringList{"HomePhone=888"});
    }

    // Stopping the reader, as the program does when it closes, ends the store's initialisation in
    // progress, and nothing is logged for it.
    void stopEndsStoreRead()
    {
        FakeContactStore store;
        store.setContacts({FakeContactStore::contact({{"GivenName", "Ann"}})});
        store.setHeld(true);
        LogRecorder log;
        {
            CMeskContacts reader;
            reader.init();
            QTRY_VERIFY_WITH_TIMEOUT(store.isInitializing(), 30000);
        }
        QVERIFY(store.wasCancelled());
        QCOMPARE(log.lines(), QStringList());
    }

    // The search logs what was asked and how many matched, never a contact's data.
    void searchLogsNoPersonalData()
    {
        FakeContactStore store;
        store.setContacts({
            FakeContactStore::contact(
                {{"GivenName", "John"}, {"LastName", "Smith"}, {"HomePhone", "+44 20 7946 0000"}}),
            FakeContactStore::contact(
                {{"GivenName", "Mary"}, {"LastName", "Jones"}, {"Company", "Smithers"}}),
            FakeContactStore::contact({{"GivenName", "Kim"}, {"LastName", "Park"}}),
        });
        CMeskContacts reader;
        QVERIFY(readContactsNow(reader));
        LogRecorder log;
        const QList<SPhoneContact> found = reader.findContacts(QStringLiteral("Smi"));
        QCOMPARE(found.size(), 2);
        QCOMPARE(found[0].lastName, QStringLiteral("Smith"));
        QCOMPARE(found[1].company, QStringLiteral("Smithers"));
        QCOMPARE(log.lines(), (QStringList{"CMeskContacts::findContacts Smi",
                                           "CMeskContacts::findContacts: 2 of 3 contacts match"}));

        log.clear();
        QCOMPARE(reader.findContacts(QStringLiteral("020 7946 0000")).size(), 1);
        QCOMPARE(reader.findContacts(QString()).size(), 3);
        for (const QString& line : log.lines()) {
            for (const char* personal : {"John", "Smith", "Mary", "Jones", "Kim", "Park", "7946"}) {
                if (line.startsWith(QStringLiteral("CMeskContacts::findContacts ")))
                    continue; // the search text itself
                QVERIFY2(!line.contains(QLatin1String(personal)), qPrintable(line));
            }
        }
        QCOMPARE(log.lines().size(), 4);
    }
};

QTEST_MAIN(TestContacts)
#include "tst_contacts.moc"
