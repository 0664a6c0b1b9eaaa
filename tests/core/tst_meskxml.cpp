#include "meskxml.h"

#include <QDomDocument>
#include <QTest>

namespace {

// An element nested `depth` deep: <e><e>...</e></e>, optionally never closed.
QByteArray nested(int depth, bool closed = true)
{
    QByteArray xml = QByteArray("<e>").repeated(depth) + "text";
    if (closed)
        xml += QByteArray("</e>").repeated(depth);
    return xml;
}

} // namespace

class TestMeskXml : public QObject
{
    Q_OBJECT
private slots:
    // What the reader accepts, and whether it built a document: a body nested too deep, or not
    // well-formed, is turned away by the streaming pass alone.
    void readsOrRefuses_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<int>("builds");
        QTest::newRow("at the depth limit") << nested(MeskXmlMaxDepth) << true << 1;
        QTest::newRow("one past the limit") << nested(MeskXmlMaxDepth + 1) << false << 0;
        QTest::newRow("deep, never closed") << nested(30000, false) << false << 0;
        // A prefix no namespace declares: the DOM reads it as a plain name, so the depth check
        // must not give up on it.
        QTest::newRow("deep after an undeclared prefix") << "<p:r>" + nested(30000) + "</p:r>" << false << 0;
        QTest::newRow("prefixed names at the limit")
            << "<p:r>" + nested(MeskXmlMaxDepth - 1) + "</p:r>" << true << 1;
        QTest::newRow("deep siblings stay shallow")
            << "<r>" + QByteArray("<e/>").repeated(10000) + "</r>" << true << 1;
        QTest::newRow("shallow, not well-formed") << QByteArray("<r><e></r>") << false << 0;
        QTest::newRow("not xml") << QByteArray("Bad Gateway") << false << 0;
    }
    void readsOrRefuses()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, readable);
        QFETCH(int, builds);
        QDomDocument doc;
        doc.setContent(QByteArray("<stale/>"));
        const int before = meskXmlDocumentCount();
        QCOMPARE(meskReadXml(body, doc), readable);
        QCOMPARE(meskXmlDocumentCount() - before, builds);
        // A refused body leaves no document behind, not even the earlier one.
        QCOMPARE(doc.documentElement().isNull(), !readable);
    }
};

QTEST_GUILESS_MAIN(TestMeskXml)
#include "tst_meskxml.moc"
