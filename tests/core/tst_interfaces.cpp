#include "fakeprovider.h"
#include "imediaobjects.h"

#include <QSignalSpy>
#include <QTest>

namespace {
class MinimalImage : public IMediaImageItem
{
public:
    MinimalImage() : IMediaImageItem(nullptr) {}
    QString text() const override { return {}; }
    QString thumbnailFile() const override { return {}; }
    bool loadThumbnail() override { return false; }
    SMediaItem mediaItem() const override { return {}; }
    QString imageFile() const override { return {}; }
    bool loadImage() override { return false; }
};

class MinimalVideo : public IMediaVideoItem
{
public:
    MinimalVideo() : IMediaVideoItem(nullptr) {}
    QString text() const override { return {}; }
    QString thumbnailFile() const override { return {}; }
    bool loadThumbnail() override { return false; }
    SMediaItem mediaItem() const override { return {}; }
    QString videoFile() const override { return {}; }
    bool loadVideo() override { return false; }
    QString videoUrl() const override { return {}; }
    int videoKind() const override { return PlayUrl; }
};

class MinimalUser : public IMediaUser
{
public:
    explicit MinimalUser(QObject* owner) : IMediaUser(owner) {}
    QString avatarFile() const override { return {}; }
    QPixmap defaultAvatar() const override
    {
        QPixmap pixmap(50, 50);
        pixmap.fill(Qt::gray);
        return pixmap;
    }
    void updateAvatar() override { emit avatarUpdateFailed(); }
    QPixmap avatar() const override { return defaultAvatar(); }
    QPixmap smallAvatar() const override { return defaultAvatar().scaled(32, 32); }
    QString name() const override { return QStringLiteral("Ann"); }
    SServiceUser serviceUser() const override { return {}; }
};

class Listener : public QObject
{
    Q_OBJECT
public:
    QList<mid_t> activatedIds;
    QList<SMediaItem> added;
public slots:
    void onActivated(mid_t id) { activatedIds.append(id); }
    void onAdded(mid_t, const SMediaItem& item) { added.append(item); }
};
} // namespace

class TestInterfaces : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerMeskMetaTypes(); }

    void mediaKindFollowsTheObjectClass()
    {
        MinimalImage image;
        MinimalVideo video;
        QCOMPARE(image.mediaKind(), 0);
        QCOMPARE(video.mediaKind(), 1);
        // Through the base pointer too.
        const IMediaObject* objects[] = {&image, &video};
        QCOMPARE(objects[0]->mediaKind(), 0);
        QCOMPARE(objects[1]->mediaKind(), 1);
    }

    void itemObjectsHaveNoParent()
    {
        QObject owner;
        MinimalUser user(&owner);
        QCOMPARE(user.parent(), nullptr);
        QVERIFY(owner.children().isEmpty());
        QVERIFY(user.emptyList().isEmpty());
        QVERIFY(!user.avatar().isNull());
        QCOMPARE(user.smallAvatar().size(), QSize(32, 32));
    }

    void providerSignalsConnectByName()
    {
        FakeProvider provider(2, QStringLiteral("Facebook"));
        Listener listener;
        QVERIFY(connect(&provider, SIGNAL(activated(mid_t)), &listener, SLOT(onActivated(mid_t))));
        QVERIFY(connect(&provider, SIGNAL(mediaItemAdded(mid_t, SMediaItem)), &listener,
                        SLOT(onAdded(mid_t, SMediaItem))));
        SMediaItem item;
        item.id = 9;
        item.content = QStringLiteral("post");
        provider.emitActivated();
        provider.emitMediaItemAdded(item);
        QCOMPARE(listener.activatedIds, QList<mid_t>{2});
        QCOMPARE(listener.added.size(), 1);
        QCOMPARE(listener.added.first(), item);
    }

    void providerSignalsQueueAcrossThreads()
    {
        // The enumerations and records travel through queued connections too.
        FakeProvider provider(1, QStringLiteral("Twitter"));
        QSignalSpy errors(&provider, &IMediaItemProvider::serviceError);
        QObject receiver;
        TMediaError received = MediaErrorNone;
        connect(
            &provider, &IMediaItemProvider::serviceError, &receiver,
            [&](mid_t, TMediaError e) { received = e; }, Qt::QueuedConnection);
        provider.emitServiceError(MediaErrorAuthorization);
        QTRY_COMPARE_WITH_TIMEOUT(received, MediaErrorAuthorization, 30000);
        QCOMPARE(errors.size(), 1);
    }
};

QTEST_MAIN(TestInterfaces)
#include "tst_interfaces.moc"
