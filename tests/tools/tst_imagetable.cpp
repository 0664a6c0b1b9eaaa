// Every image of one image table is compiled in, at its size and at twice its size. Built once per
// table: LUMESK_IMAGE_TABLE names the table, LUMESK_IMAGE_PREFIX its resource folder and
// LUMESK_IMAGE_ROWS how many images it lists.
#include "style/quorimages.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QTest>
#include <QTextStream>

class TestImageTable : public QObject
{
    Q_OBJECT
private slots:
    void everyImageLoads_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QFile file(QStringLiteral(LUMESK_IMAGE_TABLE));
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        QTextStream in(&file);
        int rows = 0;
        while (!in.atEnd()) {
            const QString line = in.readLine().trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            const QStringList f = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            QVERIFY2(f.size() >= 8, qPrintable(line));
            QTest::newRow(qPrintable(f[0])) << f[0] << QSize(f[1].toInt(), f[2].toInt());
            ++rows;
        }
        QCOMPARE(rows, LUMESK_IMAGE_ROWS);
    }
    void everyImageLoads()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        const QString resource = QStringLiteral(LUMESK_IMAGE_PREFIX "/") + path;
        const QImage image(resource);
        QCOMPARE(image.size(), size);
        const QImage high(QuorImages::highResolutionPath(resource));
        QCOMPARE(high.size(), size * 2);
        bool visible = false;
        for (int y = 0; y < image.height() && !visible; ++y)
            for (int x = 0; x < image.width() && !visible; ++x)
                visible = image.pixelColor(x, y).alpha() > 0;
        QVERIFY2(visible, "the image is not fully transparent");
        QCOMPARE(QuorImages::pixmap(resource).deviceIndependentSize().toSize(), size);
    }
};

QTEST_MAIN(TestImageTable)
#include "tst_imagetable.moc"
