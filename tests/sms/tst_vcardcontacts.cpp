// The vCard contacts store read through the contacts reader: what each vCard form gives, which
// cards and files are left out, and where the files are looked for.
#include "logrecorder.h"
#include "meskcontacts.h"
#include "meskvcardcontactstore.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>

#include <sys/stat.h>
#include <unistd.h>

class TestVCardContacts : public QObject
{
    Q_OBJECT

    // A contact as one line: display name | nick name | company | label=number...
    static QString summary(const SPhoneContact& contact)
    {
        QStringList phones;
        for (const SPhoneNumber& phone : contact.phones)
            phones << phone.label + QLatin1Char('=') + phone.number;
        return QStringList{contact.displayName, contact.nickName, contact.company,
                           phones.join(QLatin1Char(' '))}
            .join(QLatin1String(" | "));
    }

    static QStringList readAll(const QStringList& places)
    {
        IMeskContactStore::setFactory([places] { return std::make_unique<CMeskVCardContactStore>(places); });
        CMeskContacts reader;
        QSignalSpy ready(&reader, &IMeskContactsReader::contactsReady);
        reader.init();
        [&] { QTRY_COMPARE_WITH_TIMEOUT(ready.count(), 1, 30000); }();
        IMeskContactStore::setFactory({});
        QStringList out;
        for (const SPhoneContact& contact : reader.contacts())
            out << summary(contact);
        return out;
    }

    // The log lines that say what was skipped.
    static QStringList skippedLines(const QStringList& lines)
    {
        return lines.filter(QLatin1String("skipped"));
    }

    static void write(const QString& path, const QByteArray& data)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(data);
    }

private slots:
    void cards_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("contacts");
        // What the one log line about a skipped card or file says; empty: nothing is skipped.
        QTest::addColumn<QString>("skipped");

        QTest::newRow("3.0, folded, escapes")
            << QByteArray(
                   "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Smith;John;Paul;Dr.;\r\nNICKNAME:Jo\\, the Boss\r\n"
                   "ORG:Acme\\; Sons;Research\r\nTEL;TYPE=CELL:+4412\r\n 34567\r\n"
                   "TEL;TYPE=cell;TYPE=work:+1\r\nTEL;type=HOME,FAX:+2\r\nEND:VCARD\r\n")
            << QStringList{"John Paul Smith | Jo, the Boss | Acme; Sons | GeneralMobile=+441234567 "
                           "BusinessMobile=+1 HomeFax=+2"}
            << QString();
        QTest::newRow("2.1, quoted-printable UTF-8, bare types")
            << QByteArray(
                   "BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3=BCller;J=C3=\n"
                   "=BCrgen\nTEL;CELL;HOME:+3\nTEL;WORK;FAX:+4\nTEL;PAGER:+5\nTEL;PREF:+6\nEND:VCARD\n")
            << QStringList{"J\u00fcrgen M\u00fcller |  |  | GeneralPhone=+6 BusinessFax=+4 HomeMobile=+3 "
                           "Pager=+5"}
            << QString();
        QTest::newRow("4.0, tel URIs, quoted types, three mobiles")
            << QByteArray("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Ann "
                          "Lee\r\nTEL;VALUE=uri;TYPE=\"cell,voice\":tel:+7;ext=1\r\n"
                          "TEL;TYPE=cell:+8\r\nTEL;TYPE=cell:+9\r\nTEL;TYPE=cell:+10\r\nTEL;TYPE=home:+11\r\n"
                          "TEL;TYPE=work:+12\r\nEND:VCARD\r\n")
            << QStringList{"Ann Lee  |  |  | GeneralMobile=+7 GeneralMobile2=+8 GeneralMobile3=+9 "
                           "GeneralPhone=+10 "
                           "BusinessPhone=+12 HomePhone=+11"}
            << QString();
        QTest::newRow("several cards, a group left out, grouped names")
            << QByteArray(
                   "BEGIN:VCARD\nVERSION:4.0\nN:One;A;;;\nEND:VCARD\nBEGIN:VCARD\nVERSION:4.0\nKIND:group\n"
                   "FN:Club\nEND:VCARD\nBEGIN:VCARD\nVERSION:3.0\nN:Two;B;;;\nitem1.TEL;TYPE=pager:+13\n"
                   "X-ADDRESSBOOKSERVER-KIND:individual\nEND:VCARD\n")
            << QStringList{"A One |  |  | ", "B Two |  |  | Pager=+13"} << QString();
        QTest::newRow("huge photo skipped")
            << QByteArray("BEGIN:VCARD\nVERSION:3.0\nN:Big;Photo;;;\nPHOTO;ENCODING=b:" +
                          QByteArray(200000, 'A') + "\n " + QByteArray(100, 'B') +
                          "\nTEL;TYPE=cell:+14\nNOTE:" + QByteArray(70000, 'x') + "\nEND:VCARD\n")
            << QStringList{"Photo Big |  |  | GeneralMobile=+14"} << QString();
        // Text outside the cards is passed over (and logged); the cards are read.
        QTest::newRow("text before a card") << QByteArray("hello\nBEGIN:VCARD\nN:X;Y;;;\nEND:VCARD\n")
                                            << QStringList{"Y X |  |  | "} << QString();
        QTest::newRow("not a vCard") << QByteArray("hello\nworld") << QStringList()
                                     << QStringLiteral("not a vCard file");
        // A file in which no card begins is skipped with one line, whatever it holds; one of group
        // cards alone is not.
        QTest::newRow("empty") << QByteArray() << QStringList() << QStringLiteral("not a vCard file");
        QTest::newRow("blank lines") << QByteArray("\n \r\n\t\n") << QStringList()
                                     << QStringLiteral("not a vCard file");
        QTest::newRow("zeros") << QByteArray(100000, '\0') << QStringList()
                               << QStringLiteral("not a vCard file");
        QTest::newRow("group cards only")
            << QByteArray("BEGIN:VCARD\nKIND:group\nFN:Club\nEND:VCARD\n") << QStringList() << QString();
        QTest::newRow("card without end")
            << QByteArray("BEGIN:VCARD\nN:X;Y;;;\n") << QStringList() << QStringLiteral("card at line 1 of");
        // The ways other programs write files.
        QTest::newRow("last line without a line break")
            << QByteArray("BEGIN:VCARD\nVERSION:3.0\nN:Lee;Ann;;;\nTEL;TYPE=cell:+1\nEND:VCARD")
            << QStringList{"Ann Lee |  |  | GeneralMobile=+1"} << QString();
        QTest::newRow("byte-order mark")
            << QByteArray("\xEF\xBB\xBF"
                          "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\nEND:VCARD\r\n")
            << QStringList{"Ann Lee |  |  | "} << QString();
        QTest::newRow("CR line ends, folded")
            << QByteArray("BEGIN:VCARD\rVERSION:3.0\rN:Lee;Ann;;;\rTEL;TYPE=cell:+12\r 34\rEND:VCARD\r")
            << QStringList{"Ann Lee |  |  | GeneralMobile=+1234"} << QString();
        QTest::newRow("mixed line ends")
            << QByteArray("BEGIN:VCARD\r\nN:One;A;;;\nEND:VCARD\rBEGIN:VCARD\nN:Two;B;;;\r\nEND:VCARD\r\n")
            << QStringList{"A One |  |  | ", "B Two |  |  | "} << QString();
        QTest::newRow("soft break before END")
            << QByteArray("BEGIN:VCARD\nVERSION:2.1\nN;ENCODING=QUOTED-PRINTABLE:Lee;Ann=\nEND:VCARD\n"
                          "BEGIN:VCARD\nVERSION:2.1\nN:Two;B\nEND:VCARD\n")
            << QStringList{"Ann Lee |  |  | ", "B Two |  |  | "} << QString();
        QTest::newRow("one broken card among good ones")
            << QByteArray("BEGIN:VCARD\nN:One;A;;;\nEND:VCARD\nBEGIN:VCARD\nN:Broken;X;;;\nTEL:+1\n"
                          "BEGIN:VCARD\nN:Two;B;;;\nEND:VCARD\n")
            << QStringList{"A One |  |  | ", "B Two |  |  | "} << QStringLiteral("card at line 4 of");
        QTest::newRow("properties given again replace the earlier ones")
            << QByteArray("BEGIN:VCARD\nN:One;A;B;;\nNICKNAME:x\nN:Two;Cy;;;\nNICKNAME:yy\nORG:Org\n"
                          "NICKNAME:z\nEND:VCARD\n")
            << QStringList{"Cy B Two | z | Org | "} << QString();
        QTest::newRow("nested agent card")
            << QByteArray("BEGIN:VCARD\nVERSION:2.1\nN:Boss;Big\nAGENT:\nBEGIN:VCARD\nN:Agent;Secret\n"
                          "TEL:+15\nEND:VCARD\nTEL;CELL:+16\nEND:VCARD\n")
            << QStringList{"Big Boss |  |  | GeneralMobile=+16"} << QString();
    }

    void cards()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, contacts);
        QFETCH(QString, skipped);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("card.vcf"));
        write(path, file);
        LogRecorder log;
        QCOMPARE(readAll({dir.path()}), contacts);
        // A card or file left out says so once, naming the file.
        const QStringList said = skippedLines(log.lines());
        QCOMPARE(said.size(), skipped.isEmpty() ? 0 : 1);
        if (!skipped.isEmpty()) {
            QVERIFY2(said.first().contains(skipped), qPrintable(said.first()));
            QVERIFY2(said.first().contains(path), qPrintable(said.first()));
        }
    }

    void places()
    {
        QTemporaryDir data;
        QTemporaryDir other;
        QVERIFY(QDir(data.path()).mkpath(QStringLiteral("contacts/sync")));
        const QByteArray card = "BEGIN:VCARD\nVERSION:3.0\nN:%1;Ann;;;\nTEL;TYPE=cell:+1555%1\nEND:VCARD\n";
        write(data.filePath(QStringLiteral("contacts/a.vcf")), QByteArray(card).replace("%1", "100"));
        write(data.filePath(QStringLiteral("contacts/sync/b.vcf")), QByteArray(card).replace("%1", "200"));
        write(data.filePath(QStringLiteral("contacts/notes.txt")), QByteArray(card).replace("%1", "999"));
        write(other.filePath(QStringLiteral("c.vcf")), QByteArray(card).replace("%1", "300"));
        write(other.filePath(QStringLiteral("d.vcf")), QByteArray(card).replace("%1", "400"));
        write(data.filePath(QStringLiteral("unreadable.vcf")), QByteArray(card));
        QFile::setPermissions(data.filePath(QStringLiteral("unreadable.vcf")), QFileDevice::Permissions());

        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        qputenv("LUMESK_CONTACTS_PATH", (other.path() + QStringLiteral("::") +
                                         data.filePath("unreadable.vcf") + QStringLiteral(":/nonexistent"))
                                            .toUtf8());
        const QStringList places = CMeskVCardContactStore::defaultPlaces();
        qunsetenv("LUMESK_CONTACTS_PATH");
        QCOMPARE(places.first(), data.filePath(QStringLiteral("contacts")));

        IMeskContactStore::setFactory([places] { return std::make_unique<CMeskVCardContactStore>(places); });
        CMeskContacts reader;
        QSignalSpy ready(&reader, &IMeskContactsReader::contactsReady);
        reader.init();
        [&] { QTRY_COMPARE_WITH_TIMEOUT(ready.count(), 1, 30000); }();
        IMeskContactStore::setFactory({});
        QStringList names;
        for (const SPhoneContact& contact : reader.contacts())
            names << contact.lastName;
        // The unreadable file is there only when the test runs as root, which reads anything.
        names.removeAll(QStringLiteral("100"));
        QCOMPARE(names.mid(0, 3), QStringList({"200", "300", "400"}));

        // Searching them: by name and by the last seven digits of a number.
        QCOMPARE(reader.findContacts(QStringLiteral("ann")).size(), reader.contacts().size());
        const QList<SPhoneContact> byNumber = reader.findContacts(QStringLiteral("01555300"));
        QCOMPARE(byNumber.size(), 1);
        QCOMPARE(byNumber.first().lastName, QStringLiteral("300"));
    }

    // A file reached by several paths is read once.
    void oneFileManyPaths_data()
    {
        QTest::addColumn<QStringList>("places"); // in the folder that holds cards/a.vcf
        QTest::newRow("a folder and a link to it") << QStringList{"cards", "link"};
        QTest::newRow("a folder written two ways") << QStringList{"cards", "./cards/"};
        QTest::newRow("a folder and a file in it") << QStringList{"cards", "cards/a.vcf"};
        QTest::newRow("a hard link") << QStringList{"cards", "hard"};
        QTest::newRow("a link to the file") << QStringList{"alias", "cards"};
        QTest::newRow("all of them, from above") << QStringList{"."};
    }

    void oneFileManyPaths()
    {
        QFETCH(QStringList, places);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("cards")));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("hard")));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("alias")));
        const QString card = dir.filePath(QStringLiteral("cards/a.vcf"));
        write(card, "BEGIN:VCARD\nN:A;Ann;;;\nEND:VCARD\n");
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("cards")), dir.filePath(QStringLiteral("link"))));
        QCOMPARE(::link(QFile::encodeName(card).constData(),
                        QFile::encodeName(dir.filePath(QStringLiteral("hard/b.vcf"))).constData()),
                 0);
        QVERIFY(QFile::link(card, dir.filePath(QStringLiteral("alias/c.vcf"))));
        for (QString& place : places)
            place = dir.filePath(place);
        LogRecorder log;
        QCOMPARE(readAll(places), QStringList{"Ann A |  |  | "});
        QCOMPARE(skippedLines(log.lines()), QStringList());
    }

    // The listing looks at the cancel flag before each entry, so a cancel ends it within an entry
    // even in a large tree without a card. Not cancelled, it meets every entry once: a link back
    // up is met, its folder not listed again.
    void cancelWhileListing_data()
    {
        QTest::addColumn<int>("depth"); // folders, each in the one before
        QTest::addColumn<int>("files"); // files that are not cards, in the top and in each folder
        QTest::addColumn<bool>("loop"); // the deepest folder links back to the top
        QTest::newRow("one wide folder") << 0 << 3000 << false;
        QTest::newRow("a deep tree") << 300 << 1 << false;
        QTest::newRow("a link back up") << 50 << 20 << true;
    }

    void cancelWhileListing()
    {
        QFETCH(int, depth);
        QFETCH(int, files);
        QFETCH(bool, loop);
        QTemporaryDir dir;
        QString folder = dir.path();
        for (int level = 0; level <= depth; ++level) {
            for (int i = 0; i < files; ++i)
                write(folder + QStringLiteral("/%1.txt").arg(i), "not a card\n");
            if (level < depth) {
                folder += QStringLiteral("/d");
                QVERIFY(QDir().mkdir(folder));
            }
        }
        if (loop)
            QVERIFY(QFile::link(dir.path(), folder + QStringLiteral("/up")));
        for (const int cancelAt : {0, 3}) {
            std::atomic_bool cancel = false;
            int met = 0;
            CMeskVCardContactStore store({dir.path()});
            store.setEntryHook([&] {
                if (++met == cancelAt)
                    cancel = true;
            });
            QCOMPARE(store.initialize(cancel), cancelAt == 0);
            if (cancelAt == 0)
                QCOMPARE(met, depth + (depth + 1) * files + (loop ? 1 : 0));
            else
                QCOMPARE_LE(met, cancelAt + 1);
        }
    }

    // Cards that do not end are logged one by one up to a few per file, the rest in one line.
    void brokenCardsLogged_data()
    {
        QTest::addColumn<int>("broken");
        QTest::newRow("one") << 1;
        QTest::newRow("as many as logged one by one") << CMeskVCardContactStore::MaxSkipLogLines;
        QTest::newRow("one more") << CMeskVCardContactStore::MaxSkipLogLines + 1;
        QTest::newRow("200,000 nested") << 200000;
    }

    void brokenCardsLogged()
    {
        QFETCH(int, broken);
        QTemporaryDir dir;
        write(dir.filePath(QStringLiteral("card.vcf")),
              QByteArray("BEGIN:VCARD\n").repeated(broken) + "BEGIN:VCARD\nN:Two;B;;;\nEND:VCARD\n");
        LogRecorder log;
        QCOMPARE(readAll({dir.path()}), QStringList{"B Two |  |  | "});
        const QStringList said = skippedLines(log.lines());
        const int oneByOne = qMin(broken, int(CMeskVCardContactStore::MaxSkipLogLines));
        QCOMPARE(said.size(), oneByOne + (broken > oneByOne ? 1 : 0));
        QVERIFY2(said.first().contains(QLatin1String("card at line 1 of")), qPrintable(said.first()));
        if (broken > oneByOne)
            QVERIFY2(said.last().contains(QStringLiteral("skipped %1 more cards").arg(broken - oneByOne)),
                     qPrintable(said.last()));
    }

    // What the read does at its first log line (the text before the cards, at line 1), while the
    // rest of the 2 MB file is unread: a cancel ends it there, leaving the next file unread too; a
    // card appended to the file meanwhile is not read.
    void whileReading_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QStringList>("skipped");
        QTest::newRow("cancelled") << true << QStringList();
        QTest::newRow("file grows") << false
                                    << QStringList{"card at line 160002 of", "z.vcf: not a vCard file"};
    }

    void whileReading()
    {
        QFETCH(bool, cancel);
        QFETCH(QStringList, skipped);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("big.vcf"));
        // A card that does not end, at the end of the file, is logged only when the end is read.
        write(path,
              "not a card\n" +
                  QByteArray("BEGIN:VCARD\nN:Lee;Ann;;;\nTEL;TYPE=cell:+1555\nEND:VCARD\n").repeated(40000) +
                  "BEGIN:VCARD\nN:Open;End;;;\n");
        write(dir.filePath(QStringLiteral("z.vcf")), "hello\n");
        static std::atomic_bool cancelled;
        static QString grown;
        static QStringList lines;
        cancelled = false;
        grown = cancel ? QString() : path;
        lines.clear();
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& message) {
                if (lines.isEmpty() && grown.isEmpty()) {
                    cancelled = true;
                } else if (lines.isEmpty()) {
                    QFile file(grown);
                    if (file.open(QIODevice::Append))
                        file.write("BEGIN:VCARD\nN:Late;Card;;;\nEND:VCARD\n");
                }
                lines << message;
            });
        CMeskVCardContactStore store({dir.path()});
        const bool read = store.initialize(cancelled);
        qInstallMessageHandler(previous);

        QVERIFY2(!lines.isEmpty() && lines.first().contains(QLatin1String("text outside any card at line 1")),
                 qPrintable(lines.join(QLatin1Char('\n'))));
        QCOMPARE(read, !cancel);
        QCOMPARE(store.contacts()->count(), cancel ? 0 : 40000);
        const QStringList said = skippedLines(lines);
        QCOMPARE(said.size(), skipped.size());
        for (qsizetype i = 0; i < skipped.size(); ++i)
            QVERIFY2(said.at(i).contains(skipped.at(i)), qPrintable(said.at(i)));
    }

    // Only regular files are read: links to a FIFO and to a device among good cards are skipped
    // with one log line each, without waiting on them.
    void onlyRegularFiles()
    {
        QTemporaryDir dir;
        const QByteArray card = "BEGIN:VCARD\nN:%1;Ann;;;\nEND:VCARD\n";
        write(dir.filePath(QStringLiteral("a.vcf")), QByteArray(card).replace("%1", "A"));
        write(dir.filePath(QStringLiteral("z.vcf")), QByteArray(card).replace("%1", "Z"));
        const QString fifo = dir.filePath(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QVERIFY(QFile::link(fifo, dir.filePath(QStringLiteral("b.vcf"))));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), dir.filePath(QStringLiteral("c.vcf"))));
        LogRecorder log;
        QCOMPARE(readAll({dir.path(), dir.filePath(QStringLiteral("b.vcf"))}),
                 (QStringList{"Ann A |  |  | ", "Ann Z |  |  | "}));
        const QStringList said = skippedLines(log.lines());
        QCOMPARE(said, (QStringList{QStringLiteral("CMeskVCardContactStore: skipped %1: not a regular file")
                                        .arg(dir.filePath(QStringLiteral("b.vcf"))),
                                    QStringLiteral("CMeskVCardContactStore: skipped %1: not a regular file")
                                        .arg(dir.filePath(QStringLiteral("c.vcf")))}));
    }

    // The stand-in services' sample cards, as the application shows them.
    void samples()
    {
        QCOMPARE(readAll({QStringLiteral(LUMESK_SAMPLE_CONTACTS)}),
                 QStringList({"Anna Maria Lindqvist | Annie | Northwind Traders | GeneralMobile=+15550142 "
                              "BusinessPhone=+15550143",
                              "Ravi Shah |  |  | GeneralMobile=+15550177",
                              "Chidi Okafor |  | Stand-in, Inc. | GeneralMobile=+15550199",
                              "J\u00fcrgen M\u00fcller |  |  | HomeMobile=+15550155 HomePhone=+15550156"}));
    }
};

QTEST_GUILESS_MAIN(TestVCardContacts)
#include "tst_vcardcontacts.moc"
