// The feed's shared texts: captions with service texts in them, links, filter marks, banner
// texts, relative times and dates. Runs in UTC with English (United States) as default locale.

#include "mesktexts.h"
#include "testclock.h"

#include <QLocale>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <ctime>

namespace {

const QString kSheet =
    QStringLiteral("<style> a { color: rgb(129, 193, 25); text-decoration: none;} </style>");

QString mark(const QString& text)
{
    return QStringLiteral("<font style=\"BACKGROUND-COLOR: rgb(214, 243, 163)\">") + text +
           QStringLiteral("</font>");
}

void setZone(const QByteArray& zone)
{
    qputenv("TZ", zone);
    tzset();
}

QDateTime at(int day, const QTime& time)
{
    return QDateTime(QDate(2024, 12, day), time);
}

// Every link target of a rich text as Qt's own rich-text reader sees it.
QStringList anchors(const QString& html)
{
    QTextDocument doc;
    doc.setHtml(html);
    QStringList hrefs;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isAnchor() && !hrefs.contains(format.anchorHref()))
                hrefs.append(format.anchorHref());
        }
    }
    return hrefs;
}

} // namespace

class TestMeskTexts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void captions_data();
    void captions();
    void linkify_data();
    void linkify();
    void linkifiedAttributeStaysInside();
    void shownTexts_data();
    void shownTexts();
    void breakableTexts_data();
    void breakableTexts();
    void highlight_data();
    void highlight();
    void errorTexts_data();
    void errorTexts();
    void relativeTime_data();
    void relativeTime();
    void relativeTimeFollowsTheClock();
    void dates_data();
    void dates();
    void germanMonthNames();
};

void TestMeskTexts::initTestCase()
{
    setZone("UTC");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestMeskTexts::cleanup()
{
    setZone("UTC");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestMeskTexts::captions_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    QTest::newRow("sms from, name escaped")
        << CMeskTexts::smsAddressLabel(QStringLiteral("<3 Ann"), QStringLiteral("hi"), false)
        << QStringLiteral("<b>From: &lt;3 Ann</b> hi");
    QTest::newRow("sms from, escaping is idempotent")
        << CMeskTexts::smsAddressLabel(QStringLiteral("&lt;3 Ann"), QStringLiteral("hi"), false)
        << QStringLiteral("<b>From: &lt;3 Ann</b> hi");
    QTest::newRow("sms to, line breaks")
        << CMeskTexts::smsAddressLabel(QStringLiteral("Bob"), QStringLiteral("a\r\nb\nc"), true)
        << QStringLiteral("<b>To: Bob</b> a<br/>b<br/>c");
    QTest::newRow("photos, one pass") << CMeskTexts::photosPostedCaption(QStringLiteral("%2"), 3)
                                      << QStringLiteral("<b>%2</b> posted 3 photos");
    QTest::newRow("photo without title") << CMeskTexts::photoPostedCaption(QStringLiteral("Ann"), QString())
                                         << QStringLiteral("<b>Ann</b> posted a new photo");
    QTest::newRow("photo title escaped")
        << CMeskTexts::photoPostedCaption(QStringLiteral("Ann"), QStringLiteral("<img src=x>"))
        << QStringLiteral("<b>Ann</b> posted a new photo: \"&lt;img src=x>\"");
    QTest::newRow("video, empty title quoted")
        << CMeskTexts::videoPostedTitleCaption(QStringLiteral("Ann"), QString())
        << QStringLiteral("<b>Ann</b> posted a video \"\"");
    QTest::newRow("event by: title first")
        << CMeskTexts::eventByCaption(QStringLiteral("P"), QStringLiteral("T"))
        << QStringLiteral("<b>T</b> by <b>P</b>");
    QTest::newRow("site escaped") << CMeskTexts::linkToSiteCaption(QStringLiteral("<b>x"))
                                  << QStringLiteral("posted a link to &lt;b>x");
    QTest::newRow("message stays the caller's")
        << CMeskTexts::messageCaption(QStringLiteral("<i>Bo"), QStringLiteral("<a href=\"http://x\">x</a>"))
        << QStringLiteral("<b>&lt;i>Bo</b> sent you a message: \"<a href=\"http://x\">x</a>\"");
    QTest::newRow("link html")
        << CMeskTexts::linkPostedHtml(QStringLiteral("w"), QStringLiteral("http://u"), QStringLiteral("s"))
        << QStringLiteral("<html>") + kSheet +
               QStringLiteral(
                   "<body><b>w</b> posted a link to <a href=\"http://u\"><b>s</b></a></body></html>");
    QTest::newRow("link html, quote in url")
        << CMeskTexts::linkPostedHtml(QStringLiteral("w"), QStringLiteral("http://u/\"x"),
                                      QStringLiteral("s"))
        << QStringLiteral("<html>") + kSheet +
               QStringLiteral(
                   "<body><b>w</b> posted a link to <a href=\"http://u/%22x\"><b>s</b></a></body></html>");
    QTest::newRow("link html, other scheme")
        << CMeskTexts::linkPostedHtml(QStringLiteral("w"), QStringLiteral("javascript:x"),
                                      QStringLiteral("s"))
        << QStringLiteral("<html>") + kSheet +
               QStringLiteral("<body><b>w</b> posted a link to <a href=\"\"><b>s</b></a></body></html>");
    QTest::newRow("event html") << CMeskTexts::eventPostedHtml(QStringLiteral("<w"),
                                                               QStringLiteral("HTTPS://e/1"),
                                                               QStringLiteral("<T"))
                                << QStringLiteral("<html>") + kSheet +
                                       QStringLiteral("<body><b>&lt;w</b> posted an event <a "
                                                      "href=\"HTTPS://e/1\"><b>&lt;T</b></a></body></html>");
}

void TestMeskTexts::captions()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

void TestMeskTexts::linkify_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("two addresses") << QStringLiteral("see http://a.com/x, and www.b.org.")
                                   << kSheet +
                                          QStringLiteral(
                                              "see <a href=\"http://a.com/x\"><b>http://a.com/x</b></a>, and "
                                              "<a href=\"http://www.b.org\"><b>www.b.org</b></a>.");
    QTest::newRow("no address, escaped, no sheet") << QStringLiteral("a<b") << QStringLiteral("a&lt;b");
    QTest::newRow("non-ASCII letters")
        << QStringLiteral("http://ä.fi/ö")
        << kSheet + QStringLiteral("<a href=\"http://ä.fi/ö\"><b>http://ä.fi/ö</b></a>");
    QTest::newRow("address too long") << QStringLiteral("www.") + QString(3000, QLatin1Char('w'))
                                      << QStringLiteral("www.") + QString(3000, QLatin1Char('w'));
    QTest::newRow("no host") << QStringLiteral("see http://:80/x") << QStringLiteral("see http://:80/x");
    QTest::newRow("markup in an address")
        << QStringLiteral("x https://h.io/<b>y z")
        << kSheet + QStringLiteral("x <a href=\"https://h.io/&lt;b>y\"><b>https://h.io/&lt;b>y</b></a> z");
}

void TestMeskTexts::linkify()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(CMeskTexts::linkifyText(text), expected);
}

void TestMeskTexts::linkifiedAttributeStaysInside()
{
    const QString html = CMeskTexts::linkifyText(QStringLiteral("go http://x.org/\"onclick=\"y now"));
    QCOMPARE(anchors(html), QStringList{QStringLiteral("http://x.org/%22onclick=%22y")});
}

void TestMeskTexts::shownTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const QString smile = QStringLiteral("\U0001F600");
    QTest::newRow("short") << QStringLiteral("a<b") << QStringLiteral("a<b");
    QTest::newRow("at the limit") << QString(2000, QLatin1Char('x')) << QString(2000, QLatin1Char('x'));
    QTest::newRow("cut") << QString(2001, QLatin1Char('x'))
                         << QString(2000, QLatin1Char('x')) + QChar(0x2026);
    // The 2,000th unit is the first half of a pair: the pair goes whole.
    QTest::newRow("pair kept whole") << QString(1999, QLatin1Char('x')) + smile + QStringLiteral("y")
                                     << QString(1999, QLatin1Char('x')) + QChar(0x2026);
}

void TestMeskTexts::shownTexts()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(CMeskTexts::shownText(text), expected);
    QVERIFY(CMeskTexts::shownName(QString(300, QLatin1Char('n'))).size() == 201);
}

void TestMeskTexts::breakableTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("richText");
    QTest::addColumn<QString>("expected"); // "|" for each zero-width space
    const QString twenty(20, QLatin1Char('a'));
    QTest::newRow("short words") << QStringLiteral("one two three") << true
                                 << QStringLiteral("one two three");
    QTest::newRow("exactly twenty") << twenty + QStringLiteral(" x") << false
                                    << twenty + QStringLiteral(" x");
    QTest::newRow("long word") << twenty + twenty + QStringLiteral("b") << false
                               << twenty + QStringLiteral("|") + twenty + QStringLiteral("|b");
    QTest::newRow("tags and entities")
        << QStringLiteral("<a href=\"http://x.org/") + twenty + QStringLiteral("\">") +
               QString(19, QLatin1Char('a')) + QStringLiteral("&lt;b</a>")
        << true
        << QStringLiteral("<a href=\"http://x.org/") + twenty + QStringLiteral("\">") +
               QString(19, QLatin1Char('a')) + QStringLiteral("&lt;|b</a>");
    QTest::newRow("plain ampersand") << QString(19, QLatin1Char('a')) + QStringLiteral("&lt;b") << false
                                     << QString(19, QLatin1Char('a')) + QStringLiteral("&|lt;b");
}

void TestMeskTexts::breakableTexts()
{
    QFETCH(QString, text);
    QFETCH(bool, richText);
    QFETCH(QString, expected);
    const QString broken = CMeskTexts::breakableText(text, richText);
    QCOMPARE(QString(broken).replace(QChar(CMeskTexts::ZeroWidthSpace), QLatin1Char('|')), expected);
    QCOMPARE(CMeskTexts::withoutBreaks(broken), text);
}

void TestMeskTexts::highlight_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("expected");
    QTest::newRow("both cases, not in tags")
        << QStringLiteral("<b>Bob</b> said bob") << QStringLiteral("b")
        << QStringLiteral("<b>") + mark(QStringLiteral("B")) + QStringLiteral("o") +
               mark(QStringLiteral("b")) + QStringLiteral("</b> said ") + mark(QStringLiteral("b")) +
               QStringLiteral("o") + mark(QStringLiteral("b"));
    QTest::newRow("at the start") << QStringLiteral("ann and Ann") << QStringLiteral("ann")
                                  << mark(QStringLiteral("ann")) + QStringLiteral(" and ") +
                                         mark(QStringLiteral("Ann"));
    QTest::newRow("whole entity marked")
        << QStringLiteral("1 &lt; 2") << QStringLiteral("<")
        << QStringLiteral("1 ") + mark(QStringLiteral("&lt;")) + QStringLiteral(" 2");
    QTest::newRow("inside an entity")
        << QStringLiteral("1 &lt; 2") << QStringLiteral("lt") << QStringLiteral("1 &lt; 2");
    QTest::newRow("begins inside an entity")
        << QStringLiteral("1 &lt; 2") << QStringLiteral("t; ") << QStringLiteral("1 &lt; 2");
    QTest::newRow("ends inside an entity")
        << QStringLiteral("a&#39;s") << QStringLiteral("a&#3") << QStringLiteral("a&#39;s");
    QTest::newRow("bare ampersand") << QStringLiteral("R&D") << QStringLiteral("&d")
                                    << QStringLiteral("R") + mark(QStringLiteral("&D"));
    QTest::newRow("not in the style sheet")
        << kSheet + QStringLiteral("<a href=\"http://n.io\"><b>none</b></a>") << QStringLiteral("none")
        << kSheet + QStringLiteral("<a href=\"http://n.io\"><b>") + mark(QStringLiteral("none")) +
               QStringLiteral("</b></a>");
    QTest::newRow("empty filter") << QStringLiteral("abc") << QString() << QStringLiteral("abc");
}

void TestMeskTexts::highlight()
{
    QFETCH(QString, text);
    QFETCH(QString, filter);
    QFETCH(QString, expected);
    QCOMPARE(CMeskTexts::highlightText(text, filter, true), expected);
}

void TestMeskTexts::errorTexts_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    const QString internal =
        QStringLiteral("Velto Lumesk internal error, please contact application support");
    const QString revoked = QStringLiteral("Velto Lumesk is no longer authorized to use your account");
    QTest::newRow("2") << CMeskTexts::errorText(2)
                       << QStringLiteral(
                              "There is no active Internet connection, please check your network settings");
    QTest::newRow("10") << CMeskTexts::errorText(10)
                        << QStringLiteral(
                               "The 3G device is not available. Please try reinstalling the device "
                               "drivers and restarting the computer.");
    QTest::newRow("13")
        << CMeskTexts::errorText(13)
        << QStringLiteral("The SIM card is locked. Enter the PIN code via the system's network settings");
    QTest::newRow("6") << CMeskTexts::errorText(6) << revoked;
    QTest::newRow("7") << CMeskTexts::errorText(7) << revoked;
    QTest::newRow("8") << CMeskTexts::errorText(8) << revoked;
    QTest::newRow("0") << CMeskTexts::errorText(0) << internal;
    QTest::newRow("1 not built") << CMeskTexts::errorText(1) << internal;
    QTest::newRow("99") << CMeskTexts::errorText(99) << internal;
    QTest::newRow("service 12") << CMeskTexts::serviceErrorText(QStringLiteral("Facebook"), 12)
                                << CMeskTexts::errorText(12);
    QTest::newRow("service 7") << CMeskTexts::serviceErrorText(QStringLiteral("Facebook"), 7)
                               << QStringLiteral(
                                      "Velto Lumesk is no longer authorized to use your Facebook account");
    QTest::newRow("warning 5")
        << CMeskTexts::warningText(5)
        << QStringLiteral("Velto Lumesk detected internal problems, please contact application support");
}

void TestMeskTexts::errorTexts()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

void TestMeskTexts::relativeTime_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("expected");
    const QByteArray utc("UTC");
    const QDateTime now = at(7, QTime(10, 0, 40));
    QTest::newRow("35 s") << utc << now << at(7, QTime(10, 0, 5)) << QStringLiteral("half a minute ago");
    QTest::newRow("30 s") << utc << now << at(7, QTime(10, 0, 10)) << QStringLiteral("30 seconds ago");
    QTest::newRow("1 s") << utc << now << at(7, QTime(10, 0, 39)) << QStringLiteral("1 second ago");
    QTest::newRow("same second") << utc << now << now << QStringLiteral("Right now");
    QTest::newRow("59 min 59 s") << utc << now << at(7, QTime(9, 0, 41)) << QStringLiteral("59 minutes ago");
    QTest::newRow("1 min") << utc << now << at(7, QTime(9, 59, 40)) << QStringLiteral("1 minute ago");
    QTest::newRow("1 h") << utc << now << at(7, QTime(9, 0, 40)) << QStringLiteral("1 hour ago");
    QTest::newRow("10 h") << utc << now << at(7, QTime(0, 0, 0)) << QStringLiteral("10 hours ago");
    QTest::newRow("1 day") << utc << now << at(6, QTime(23, 59, 0)) << QStringLiteral("one day ago");
    QTest::newRow("29 days") << utc << now << now.addDays(-29) << QStringLiteral("29 days ago");
    QTest::newRow("30 days") << utc << now << now.addDays(-30) << QStringLiteral("one month ago");
    QTest::newRow("45 days") << utc << now << now.addDays(-45) << QStringLiteral("one month ago");
    QTest::newRow("60 days") << utc << now << now.addDays(-60) << QStringLiteral("2 months ago");
    QTest::newRow("across the minute")
        << utc << at(7, QTime(10, 0, 10)) << at(7, QTime(9, 59, 50)) << QStringLiteral("20 seconds ago");
    QTest::newRow("across the hour") << utc << at(7, QTime(11, 0)) << at(7, QTime(10, 5))
                                     << QStringLiteral("55 minutes ago");
    QTest::newRow("ahead") << utc << at(7, QTime(10, 20)) << at(7, QTime(10, 30))
                           << QStringLiteral("Right now");
    QTest::newRow("days ahead") << utc << now << now.addDays(3) << QStringLiteral("Right now");
    QTest::newRow("stored null date") << utc << now << QDateTime() << QStringLiteral("Right now");
    // A live item in UTC seen in Tokyo: both on the local 7th.
    QTest::newRow("Tokyo") << QByteArray("Asia/Tokyo") << QDateTime(QDate(2024, 12, 6), QTime(23, 0), Qt::UTC)
                           << QDateTime(QDate(2024, 12, 6), QTime(22, 0), Qt::UTC)
                           << QStringLiteral("1 hour ago");
}

void TestMeskTexts::relativeTime()
{
    QFETCH(QByteArray, zone);
    QFETCH(QDateTime, now);
    QFETCH(QDateTime, time);
    QFETCH(QString, expected);
    setZone(zone);
    QCOMPARE(CMeskTexts::relativeTimeText(time, now), expected);
    if (zone != "UTC")
        QCOMPARE(CMeskTexts::shortDateTimeText(time, now), QStringLiteral("Today, 7:00"));
}

void TestMeskTexts::relativeTimeFollowsTheClock()
{
    TestClock clock(at(7, QTime(10, 0, 40)));
    QCOMPARE(CMeskTexts::relativeTimeText(at(7, QTime(9, 58, 0))), QStringLiteral("2 minutes ago"));
    QCOMPARE(CMeskTexts::dateHeaderText(QDate(2024, 12, 6)), QStringLiteral("Yesterday, December 6"));
    QCOMPARE(CMeskTexts::shortDateTimeText(at(7, QTime(9, 5))), QStringLiteral("Today, 9:05"));
    clock.advanceSecs(24 * 3600);
    QCOMPARE(CMeskTexts::relativeTimeText(at(7, QTime(9, 58, 0))), QStringLiteral("one day ago"));
}

void TestMeskTexts::dates_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    const QDate today(2024, 12, 7);
    const QDateTime now = at(7, QTime(10, 0));
    QTest::newRow("header today") << CMeskTexts::dateHeaderText(today, today)
                                  << QStringLiteral("Today, December 7");
    QTest::newRow("header yesterday")
        << CMeskTexts::dateHeaderText(QDate(2024, 12, 6), today) << QStringLiteral("Yesterday, December 6");
    QTest::newRow("header earlier") << CMeskTexts::dateHeaderText(QDate(2024, 12, 1), today)
                                    << QStringLiteral("December 1");
    QTest::newRow("short today") << CMeskTexts::shortDateTimeText(at(7, QTime(9, 5)), now)
                                 << QStringLiteral("Today, 9:05");
    QTest::newRow("short yesterday") << CMeskTexts::shortDateTimeText(at(6, QTime(9, 5)), now)
                                     << QStringLiteral("Yesterday, 9:05");
    QTest::newRow("short earlier") << CMeskTexts::shortDateTimeText(at(1, QTime(9, 5)), now)
                                   << QStringLiteral("December 1, 9:05");
}

void TestMeskTexts::dates()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

void TestMeskTexts::germanMonthNames()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(CMeskTexts::dateHeaderText(QDate(2024, 12, 1), QDate(2024, 12, 7)),
             QStringLiteral("Dezember 1"));
}

QTEST_MAIN(TestMeskTexts)
#include "tst_mesktexts.moc"
