// The source catalogue holds exactly the texts of the sources, with their comments, and a
// catalogue compiled from it reaches every text builder.

#include "meskdialogtitlebar.h"
#include "meskmessagebox.h"
#include "meskpostcommentwidget.h"
#include "meskservicesetupwidget.h"
#include "mesktextedit.h"
#include "mesktexts.h"
#include "widgets/quorbuttons.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTranslator>
#include <QXmlStreamReader>

#include <ctime>
#include <functional>

namespace {

// (context, source, comment) of every live message of a .ts file.
QSet<QStringList> catalogueKeys(const QString& fileName)
{
    QSet<QStringList> keys;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return keys;
    QXmlStreamReader xml(&file);
    QString context, source, comment, type;
    bool inMessage = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto name = xml.name();
            if (name == QLatin1String("name") && !inMessage) {
                context = xml.readElementText();
            } else if (name == QLatin1String("message")) {
                inMessage = true;
                source.clear();
                comment.clear();
                type.clear();
            } else if (name == QLatin1String("source") && inMessage) {
                source = xml.readElementText();
            } else if (name == QLatin1String("comment") && inMessage) {
                comment = xml.readElementText();
            } else if (name == QLatin1String("translation") && inMessage) {
                type = xml.attributes().value(QLatin1String("type")).toString();
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("message")) {
            inMessage = false;
            if (type != QLatin1String("vanished") && type != QLatin1String("obsolete"))
                keys.insert({context, source, comment});
        }
    }
    return xml.hasError() ? QSet<QStringList>() : keys;
}

using Builder = std::function<QString()>;

} // namespace

Q_DECLARE_METATYPE(Builder)

class TestMeskCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void catalogueMatchesTheSources();
    void everyBuilderIsTranslated_data();
    void everyBuilderIsTranslated();

private:
    QTranslator m_translator;
};

void TestMeskCatalogue::initTestCase()
{
    qputenv("TZ", "UTC");
    tzset();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QVERIFY(m_translator.load(QStringLiteral(LUMESK_MARKED_QM)));
}

void TestMeskCatalogue::catalogueMatchesTheSources()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fresh = dir.filePath(QStringLiteral("fresh.ts"));
    QProcess lupdate;
    lupdate.start(QStringLiteral(LUMESK_LUPDATE),
                  {QStringLiteral("-silent"), QStringLiteral("-locations"), QStringLiteral("none"),
                   QStringLiteral("@") + QStringLiteral(LUMESK_TRANSLATED_LIST), QStringLiteral("-ts"),
                   fresh});
    QVERIFY(lupdate.waitForFinished(120000));
    QCOMPARE(lupdate.exitCode(), 0);

    const QSet<QStringList> expected = catalogueKeys(fresh);
    const QSet<QStringList> stored = catalogueKeys(QStringLiteral(LUMESK_SOURCE_CATALOGUE));
    QVERIFY(!expected.isEmpty());
    for (const QStringList& key : expected)
        QVERIFY2(stored.contains(key),
                 qPrintable(QStringLiteral("missing: ") + key.join(QLatin1String(" | "))));
    for (const QStringList& key : stored)
        QVERIFY2(expected.contains(key),
                 qPrintable(QStringLiteral("stale: ") + key.join(QLatin1String(" | "))));
    // The comment is part of the key, trailing blank included.
    QVERIFY(stored.contains(
        {QStringLiteral("QObject"), QStringLiteral("Service update rate limit has been reached"),
         QStringLiteral("The usage-limit for some Social-Networking web-site(s) has been reached. ")}));
}

void TestMeskCatalogue::everyBuilderIsTranslated_data()
{
    QTest::addColumn<Builder>("builder");
    const QString w = QStringLiteral("W");
    const QString t = QStringLiteral("T");
    const QDateTime now(QDate(2024, 12, 7), QTime(10, 0, 40));
    const QDate today = now.date();
    QTest::newRow("sms to") << Builder([=] { return CMeskTexts::smsAddressLabel(w, t, true); });
    QTest::newRow("sms from") << Builder([=] { return CMeskTexts::smsAddressLabel(w, t, false); });
    QTest::newRow("photos") << Builder([=] { return CMeskTexts::photosPostedCaption(w, 2); });
    QTest::newRow("photo") << Builder([=] { return CMeskTexts::photoPostedCaption(w, QString()); });
    QTest::newRow("photo title") << Builder([=] { return CMeskTexts::photoPostedCaption(w, t); });
    QTest::newRow("link") << Builder([=] { return CMeskTexts::linkPostedCaption(w); });
    QTest::newRow("link to site") << Builder([=] { return CMeskTexts::linkToSiteCaption(t); });
    QTest::newRow("link html") << Builder(
        [=] { return CMeskTexts::linkPostedHtml(w, QStringLiteral("http://u"), t); });
    QTest::newRow("event") << Builder([=] { return CMeskTexts::eventPostedCaption(w); });
    QTest::newRow("event html") << Builder(
        [=] { return CMeskTexts::eventPostedHtml(w, QStringLiteral("http://u"), t); });
    QTest::newRow("video") << Builder([=] { return CMeskTexts::videoPostedCaption(w); });
    QTest::newRow("video title") << Builder([=] { return CMeskTexts::videoPostedTitleCaption(w, t); });
    QTest::newRow("friend request") << Builder([=] { return CMeskTexts::friendRequestCaption(w); });
    QTest::newRow("message") << Builder([=] { return CMeskTexts::messageCaption(w, t); });
    QTest::newRow("event by") << Builder([=] { return CMeskTexts::eventByCaption(w, t); });
    QTest::newRow("welcome") << Builder([] { return CMeskTexts::welcomeText(); });
    QTest::newRow("get started") << Builder([] { return CMeskTexts::getStartedText(); });
    QTest::newRow("more") << Builder([] { return CMeskTexts::moreButtonText(); });
    for (const int code : {0, 2, 3, 4, 5, 6, 9, 10, 11, 12, 13})
        QTest::newRow(qPrintable(QStringLiteral("error %1").arg(code)))
            << Builder([=] { return CMeskTexts::errorText(code); });
    for (const int code : {2, 3, 4, 5, 6, 9})
        QTest::newRow(qPrintable(QStringLiteral("service error %1").arg(code)))
            << Builder([=] { return CMeskTexts::serviceErrorText(QStringLiteral("Flickr"), code); });
    for (const int code : {0, 1, 2})
        QTest::newRow(qPrintable(QStringLiteral("warning %1").arg(code)))
            << Builder([=] { return CMeskTexts::warningText(code); });
    QTest::newRow("header today") << Builder([=] { return CMeskTexts::dateHeaderText(today, today); });
    QTest::newRow("header yesterday")
        << Builder([=] { return CMeskTexts::dateHeaderText(today.addDays(-1), today); });
    QTest::newRow("short today") << Builder([=] { return CMeskTexts::shortDateTimeText(now, now); });
    QTest::newRow("short yesterday") << Builder(
        [=] { return CMeskTexts::shortDateTimeText(now.addDays(-1), now); });
    const QList<QPair<const char*, qint64>> ages = {
        {"right now", 0}, {"second", 1},       {"seconds", 5},        {"half a minute", 40},
        {"minute", 60},   {"minutes", 120},    {"hour", 3600},        {"hours", 7200},
        {"day", 86400},   {"days", 3 * 86400}, {"month", 30 * 86400}, {"months", 90 * 86400},
    };
    for (const auto& [name, secs] : ages)
        QTest::newRow(name) << Builder([=] { return CMeskTexts::relativeTimeText(now.addSecs(-secs), now); });

    // The dialogs' and editors' texts, read back from the widgets that show them.
    const QString f = QStringLiteral("Facebook");
    QTest::newRow("wizard title") << Builder([=] { return CMeskServiceSetupWidget::wizardTitleText(f); });
    QTest::newRow("wizard welcome") << Builder([=] { return CMeskServiceSetupWidget::welcomeText(f); });
    QTest::newRow("wizard done") << Builder([=] { return CMeskServiceSetupWidget::doneText(f); });
    QTest::newRow("wizard network") << Builder([=] { return CMeskServiceSetupWidget::networkErrorText(f); });
    QTest::newRow("wizard service") << Builder([=] { return CMeskServiceSetupWidget::serviceErrorText(f); });
    QTest::newRow("wizard fixed texts") << Builder([=] {
        CMeskServiceSetupWidget wizard;
        wizard.showConnectingPage(f);
        return QStringList{wizard.setupTitleBar()->title(), wizard.welcomePage()->button()->text(),
                           wizard.errorPage()->button()->text(), wizard.donePage()->button()->text(),
                           wizard.statusLabel()->text()}
            .join(QLatin1Char('|'));
    });
    QTest::newRow("title bar close") << Builder([] {
        CMeskDialogTitleBar bar(nullptr, QString(), false);
        return bar.closeButton()->defaultAction()->text();
    });
    QTest::newRow("message box buttons") << Builder([] {
        CMeskMessageBox box(0, QString(), QString());
        QStringList texts;
        for (const CQuorGradientButton* button : box.findChildren<CQuorGradientButton*>())
            texts.append(button->text());
        return texts.join(QLatin1Char('|'));
    });
    QTest::newRow("comment editor") << Builder([] {
        CMeskPostCommentWidget widget(nullptr);
        return QStringList{widget.editor()->placeholderText(), widget.sendButton()->text(),
                           widget.clearButton()->text(), widget.sendingLabel()->text(),
                           widget.failedLabel()->text()}
            .join(QLatin1Char('|'));
    });
}

void TestMeskCatalogue::everyBuilderIsTranslated()
{
    QFETCH(Builder, builder);
    const QString plain = builder();
    QVERIFY(QCoreApplication::installTranslator(&m_translator));
    const QString marked = builder();
    QVERIFY(QCoreApplication::removeTranslator(&m_translator));
    // Every part of a joined row is marked.
    for (const QString& part : marked.split(QLatin1Char('|')))
        QVERIFY2(part.contains(QLatin1Char('[')), qPrintable(marked));
    QCOMPARE(QString(marked).remove(QLatin1Char('[')), plain);
}

QTEST_MAIN(TestMeskCatalogue)
#include "tst_meskcatalogue.moc"
