// The media browser's thumbnail strip: building to the width, paging, moving the current mark,
// the thumbnails' pictures and their tooltip bubbles.

#include "effects/fadeeffect.h"
#include "fakemediaitems.h"
#include "media/meskthumbnailstrip.h"
#include "meskuistyle.h"
#include "windows/quorarrowtooltip.h"

#include <QApplication>
#include <QHelpEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

// Counts the keys that reach it.
class KeyCounter : public QWidget
{
public:
    int keys = 0;

protected:
    void keyPressEvent(QKeyEvent*) override { ++keys; }
};

void writePng(const QString& path, const QSize& size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(path, "PNG"));
}

} // namespace

class TestMeskThumbnailStrip : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(new CMeskUiStyle); }
    void init();
    void cleanup();
    void building_data();
    void building();
    void paging_data();
    void paging();
    void moving_data();
    void moving();
    void keysAndClicks();
    void thumbnailPicture();
    void toolTip_data();
    void toolTip();

private:
    // A strip of that width (not shown yet) over `count` objects.
    void makeStrip(int count, int width);
    // Makes slot s current by clicking its thumbnail.
    void click(int slot);
    QList<IMediaObject*> objectList() const;

    std::vector<std::unique_ptr<FakeMediaObject>> m_objects;
    std::unique_ptr<KeyCounter> m_parent;
    CMeskThumbnailStrip* m_strip = nullptr;
};

void TestMeskThumbnailStrip::init()
{
    m_parent = std::make_unique<KeyCounter>();
}

void TestMeskThumbnailStrip::cleanup()
{
    m_parent.reset();
    m_strip = nullptr;
    m_objects.clear();
}

void TestMeskThumbnailStrip::makeStrip(int count, int width)
{
    for (int i = 0; i < count; ++i) {
        m_objects.push_back(std::make_unique<FakeMediaObject>());
        m_objects.back()->caption = QString::number(i);
    }
    m_strip = new CMeskThumbnailStrip(nullptr, m_parent.get());
    m_parent->resize(width, 200);
    m_strip->setGeometry(0, 0, width, 120);
}

QList<IMediaObject*> TestMeskThumbnailStrip::objectList() const
{
    QList<IMediaObject*> list;
    for (const auto& object : m_objects)
        list.append(object.get());
    return list;
}

void TestMeskThumbnailStrip::click(int slot)
{
    QTest::mouseClick(m_strip->thumbnails().at(slot), Qt::LeftButton);
    QCOMPARE(m_strip->activeSlot(), slot);
}

void TestMeskThumbnailStrip::building_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("shown");
    QTest::addColumn<bool>("rightEnabled");

    QTest::newRow("four fit") << 10 << 402 << 4 << true;
    QTest::newRow("one fits") << 10 << 153 << 1 << true;
    QTest::newRow("none fits") << 10 << 152 << 0 << false;
    QTest::newRow("all fit") << 3 << 402 << 3 << false;
}

// Built at the first resize when hidden, at once when visible; a width change starts again at 0.
void TestMeskThumbnailStrip::building()
{
    QFETCH(int, count);
    QFETCH(int, width);
    QFETCH(int, shown);
    QFETCH(bool, rightEnabled);

    makeStrip(count, width);
    QSignalSpy changed(m_strip, &CMeskThumbnailStrip::currentChanged);
    m_strip->setObjects(objectList());
    QCOMPARE(m_strip->thumbnails().size(), 0);
    m_parent->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_parent.get()));

    QCOMPARE(m_strip->thumbnails().size(), shown);
    QCOMPARE(changed.size(), shown ? 1 : 0);
    QCOMPARE(m_strip->currentObject(), shown ? m_objects.front().get() : nullptr);
    QVERIFY(!m_strip->leftButton()->isEnabled());
    QCOMPARE(m_strip->rightButton()->isEnabled(), rightEnabled);

    if (!shown) {
        m_strip->moveActiveRight();
        m_strip->moveActiveLeft();
        QTest::keyClick(m_strip, Qt::Key_Right);
        QCOMPARE(changed.size(), 0);
        QVERIFY(!m_strip->hasNext());
        return;
    }

    m_strip->moveActiveRight();
    changed.clear();
    // Visible: replaced objects are built at once.
    m_strip->setObjects(objectList());
    QCOMPARE(changed.size(), 1);
    QCOMPARE(m_strip->activeSlot(), 0);
    m_strip->moveActiveRight();
    // A height change alone keeps the place; a width change rebuilds at the first object.
    m_strip->resize(width, 130);
    QCOMPARE(m_strip->currentObject(), count > 1 ? m_objects.at(1).get() : m_objects.front().get());
    m_strip->resize(width + 83, 130);
    QCOMPARE(m_strip->currentObject(), m_objects.front().get());
    QCOMPARE(m_strip->thumbnails().size(), qMin(count, shown + 1));
}

void TestMeskThumbnailStrip::paging_data()
{
    QTest::addColumn<int>("slotBefore"); // the slot made current at F = 4
    QTest::addColumn<int>("slotAfter");  // at F = 6

    QTest::newRow("slot 3 stays object 7") << 3 << 1;
    QTest::newRow("slot 2 stays object 6") << 2 << 0;
    QTest::newRow("slot 0 goes to slot 0") << 0 << 0;
}

// The arrow buttons page with 10 objects and room for 4, keeping the current object where it can.
void TestMeskThumbnailStrip::paging()
{
    QFETCH(int, slotBefore);
    QFETCH(int, slotAfter);

    makeStrip(10, 402);
    m_strip->setObjects(objectList());
    m_parent->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_parent.get()));
    QCOMPARE(m_strip->thumbnails().size(), 4);

    click(2);
    QTest::mouseClick(m_strip->rightButton(), Qt::LeftButton);
    QCOMPARE(m_strip->firstIndex(), 4);
    QCOMPARE(m_strip->activeSlot(), 0);
    QVERIFY(m_strip->leftButton()->isEnabled());

    click(slotBefore);
    QTest::mouseClick(m_strip->rightButton(), Qt::LeftButton);
    QCOMPARE(m_strip->firstIndex(), 6);
    QCOMPARE(m_strip->activeSlot(), slotAfter);
    QVERIFY(!m_strip->rightButton()->isEnabled());
    QCOMPARE(m_strip->thumbnails().at(0)->index(), 6);
    QCOMPARE(m_strip->thumbnails().at(0)->object(), m_objects.at(6).get());

    QTest::mouseClick(m_strip->leftButton(), Qt::LeftButton);
    QCOMPARE(m_strip->firstIndex(), 2);
    QCOMPARE(m_strip->activeSlot(), 3);
}

void TestMeskThumbnailStrip::moving_data()
{
    QTest::addColumn<bool>("right");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("object");

    // The edge slot of a partial page: the page turns and the neighbour becomes current.
    QTest::newRow("right from F 4, A 3") << true << 6 << 8;
    QTest::newRow("left from F 2, A 0") << false << 0 << 1;
}

void TestMeskThumbnailStrip::moving()
{
    QFETCH(bool, right);
    QFETCH(int, first);
    QFETCH(int, object);

    makeStrip(10, 402);
    m_strip->setObjects(objectList());
    m_parent->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_parent.get()));
    QTest::mouseClick(m_strip->rightButton(), Qt::LeftButton); // F = 4
    if (right) {
        click(3);
    } else {
        QTest::mouseClick(m_strip->rightButton(), Qt::LeftButton); // F = 6
        QTest::mouseClick(m_strip->leftButton(), Qt::LeftButton);  // F = 2
        click(0);
    }
    QSignalSpy changed(m_strip, &CMeskThumbnailStrip::currentChanged);
    if (right)
        m_strip->moveActiveRight();
    else
        m_strip->moveActiveLeft();
    QCOMPARE(m_strip->firstIndex(), first);
    QCOMPARE(m_strip->currentObject(), m_objects.at(object).get());
    QCOMPARE(changed.size(), 1);
}

// The keys walk every object one by one, stop at the ends and never reach the parent.
void TestMeskThumbnailStrip::keysAndClicks()
{
    makeStrip(10, 402);
    m_strip->setObjects(objectList());
    m_parent->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_parent.get()));
    QSignalSpy changed(m_strip, &CMeskThumbnailStrip::currentChanged);

    for (int i = 1; i <= 9; ++i) {
        QTest::keyClick(m_strip, Qt::Key_Right);
        QCOMPARE(m_strip->currentObject(), m_objects.at(i).get());
        QCOMPARE(changed.size(), i);
    }
    QVERIFY(!m_strip->hasNext());
    QTest::keyClick(m_strip, Qt::Key_Right);
    QCOMPARE(changed.size(), 9);
    for (int i = 8; i >= 0; --i) {
        QTest::keyClick(m_strip, Qt::Key_Left);
        QCOMPARE(m_strip->currentObject(), m_objects.at(i).get());
    }
    QVERIFY(!m_strip->hasPrevious());
    QCOMPARE(changed.size(), 18);

    QTest::mouseClick(m_strip->thumbnails().at(0), Qt::LeftButton);
    QCOMPARE(changed.size(), 19);
    QTest::keyClick(m_strip, Qt::Key_A);
    QCOMPARE(m_parent->keys, 0);
}

// A picture on disk is shown fitted and centred; a missing one is downloaded once, and a
// failed download keeps the picture of the previous object.
void TestMeskThumbnailStrip::thumbnailPicture()
{
    QTemporaryDir dir;
    FakeMediaObject onDisk;
    onDisk.thumbnail = dir.filePath(QStringLiteral("wide.png"));
    writePng(onDisk.thumbnail, QSize(200, 100));
    CMeskObjectThumbnail thumbnail;
    QCOMPARE(thumbnail.size(), QSize(78, 78));
    thumbnail.setObject(&onDisk, nullptr, 0);
    QCOMPARE(onDisk.thumbnailLoads, 0);
    QCOMPARE(thumbnail.pictureRect(), QRect(3, 21, 72, 36));

    FakeMediaObject missing;
    missing.thumbnail = dir.filePath(QStringLiteral("later.png"));
    thumbnail.setObject(&missing, nullptr, 1);
    QCOMPARE(missing.thumbnailLoads, 1);
    QCOMPARE(thumbnail.pictureRect(), QRect(3, 21, 72, 36)); // the old picture stays
    emit onDisk.thumbnailDownloadDone();                     // disconnected: changes nothing
    writePng(missing.thumbnail, QSize(40, 60));
    emit missing.thumbnailDownloadDone();
    QCOMPARE(thumbnail.pictureRect(), QRect(19, 9, 40, 60));

    FakeMediaObject failing;
    failing.thumbnail = dir.filePath(QStringLiteral("never.png"));
    thumbnail.setObject(&failing, nullptr, 2);
    emit failing.thumbnailDownloadFailed();
    QCOMPARE(thumbnail.pictureRect(), QRect(19, 9, 40, 60));
    QVERIFY(!thumbnail.picture().isNull());
}

void TestMeskThumbnailStrip::toolTip_data()
{
    QTest::addColumn<bool>("withAuthor");
    QTest::addColumn<bool>("avatarOnDisk");
    QTest::addColumn<QString>("text");

    QTest::newRow("author, avatar file") << true << true << "<b>Sunset &amp; sea</b> by <b>Ann</b>";
    QTest::newRow("author, default avatar") << true << false << "<b>Sunset &amp; sea</b> by <b>Ann</b>";
    QTest::newRow("no author") << false << false << "<b>Sunset &amp; sea</b>";
}

void TestMeskThumbnailStrip::toolTip()
{
    QFETCH(bool, withAuthor);
    QFETCH(bool, avatarOnDisk);
    QFETCH(QString, text);

    QTemporaryDir dir;
    FakeMediaObject object;
    object.caption = QStringLiteral("Sunset & sea");
    FakeMediaUser author;
    author.userName = QStringLiteral("Ann");
    author.file = dir.filePath(QStringLiteral("ann.png"));
    author.fallback = QPixmap(50, 40);
    author.fallback.fill(Qt::blue);
    if (avatarOnDisk)
        writePng(author.file, QSize(30, 60));

    QWidget window;
    window.resize(300, 300);
    auto* thumbnail = new CMeskObjectThumbnail(&window);
    thumbnail->move(100, 150);
    thumbnail->setObject(&object, withAuthor ? &author : nullptr, 0);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QHelpEvent help(QEvent::ToolTip, QPoint(10, 10), thumbnail->mapToGlobal(QPoint(10, 10)));
    QVERIFY(QApplication::sendEvent(thumbnail, &help));
    CQuorArrowToolTip* bubble = thumbnail->toolTipBubble();
    QVERIFY(bubble);
    QCOMPARE(bubble->text(), text);
    QCOMPARE(bubble->alignment() & Qt::AlignBottom, Qt::AlignBottom);
    const QPixmap avatar = bubble->iconLabel()->pixmap();
    if (withAuthor) {
        const QSize size = avatar.deviceIndependentSize().toSize();
        QCOMPARE(size, avatarOnDisk ? QSize(12, 25) : QSize(25, 20));
    } else {
        QVERIFY(avatar.isNull());
    }
    QVERIFY(bubble->isVisible());
    bubble->fadeEffect()->timeLine()->setCurrentTime(bubble->fadeEffect()->timeLine()->duration());

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(thumbnail, &leave);
    // Leaving fades the bubble out; the end of the fade hides it.
    QVERIFY(bubble->fadeEffect()->isBackward());
    QVERIFY(bubble->fadeEffect()->isRunning());
    bubble->fadeEffect()->timeLine()->setCurrentTime(0);
    QVERIFY(!bubble->isVisible());
}

QTEST_MAIN(TestMeskThumbnailStrip)
#include "tst_meskthumbnailstrip.moc"
