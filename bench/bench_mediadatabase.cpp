// How fast the feed cache stores and reads items: one update cycle stores a few
// hundred events, and opening a feed reads a day's worth of them back.
#include "mediadatabase.h"
#include "tempstorage.h"

#include <QTest>

#include <memory>

class BenchMediaDataBase : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<TempStorageRoot> m_root;
    std::unique_ptr<CMediaDataBase> m_db;
    const QDateTime m_start{QDate(2009, 11, 1), QTime(0, 0)};

    SMediaItem event(int i) const
    {
        SMediaItem item;
        item.provider = 1 + mid_t(i % 3);
        item.type = 1 + i % 4;
        item.created = m_start.addSecs(qint64(i) * 60);
        item.mediaId = QString::number(1000000 + i);
        item.content = QStringLiteral("Status number %1 with some text, a link http://example.com/%1 and 50% more")
                           .arg(i);
        return item;
    }

private slots:
    void initTestCase()
    {
        m_root = std::make_unique<TempStorageRoot>();
        m_db = std::make_unique<CMediaDataBase>(m_root->subPath(QStringLiteral("mstorage")));
        QVERIFY(m_db->open());
        // A cache of ten thousand events, one a minute over a week.
        for (int i = 0; i < 10000; ++i) {
            SMediaItem item = event(i);
            QVERIFY(m_db->addMediaItem(item));
        }
    }

    void addEvent()
    {
        int i = 10000;
        QBENCHMARK {
            SMediaItem item = event(i++);
            m_db->addMediaItem(item);
        }
    }

    void setItemFields()
    {
        const QHash<QString, QString> fields{{QStringLiteral("likes"), QStringLiteral("12")},
                                             {QStringLiteral("comments"), QStringLiteral("3")},
                                             {QStringLiteral("permalink"), QStringLiteral("http://example.com/p")}};
        mid_t id = 1;
        QBENCHMARK {
            m_db->setMediaItemField(id++, fields);
        }
    }

    void eventsOfOneDay()
    {
        const QDateTime lower = m_start.addDays(3);
        const QDateTime upper = lower.addDays(1);
        qsizetype count = 0;
        QBENCHMARK {
            count = m_db->eventItemsBetween(upper, lower, 0).size();
        }
        QVERIFY(count >= 1400);
    }

    void findByMediaId()
    {
        int i = 0;
        QBENCHMARK {
            m_db->itemByMediaId(1 + mid_t(i % 3), QString::number(1000000 + i));
            i = (i + 7) % 10000;
        }
    }

    void searchContent()
    {
        QBENCHMARK {
            m_db->itemsByContent(0, QStringLiteral("number 99"));
        }
    }
};

QTEST_GUILESS_MAIN(BenchMediaDataBase)
#include "bench_mediadatabase.moc"
