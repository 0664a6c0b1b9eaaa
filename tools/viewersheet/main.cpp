// viewersheet --out sheet.png: draws the media browser's picture area (image viewer, video
// viewer, their wait placeholder and every error page) and the information row into one
// labelled PNG, on the offscreen platform.
// viewersheet --window: shows the same cells in a window on the current display (DISPLAY) until
// the program is ended. --scale N draws at scale factor N; --large-fonts turns on the style's
// large-font setting; --only TEXT keeps the cells whose name contains TEXT.

#include "imediaobjects.h"
#include "imeskvideoplayer.h"
#include "media/meskdeepdiveerrorwidget.h"
#include "media/meskmediaviewer.h"
#include "media/meskvideoviewer.h"
#include "meskuistyle.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace {

const QSize CellSize(700, 520);

class SheetImage : public IMediaImageItem
{
public:
    explicit SheetImage(const QString& path) : IMediaImageItem(nullptr), m_path(path) {}
    QString text() const override
    {
        return QStringLiteral("Sunset over the harbour <with friends> & family");
    }
    QString thumbnailFile() const override { return {}; }
    bool loadThumbnail() override { return false; }
    SMediaItem mediaItem() const override
    {
        SMediaItem item;
        item.created = QDateTime::currentDateTime().addSecs(-3600);
        return item;
    }
    QString imageFile() const override { return m_path; }
    bool loadImage() override { return true; }
    void fail() { emit imageDownloadFailed(); }
    void done() { emit imageDownloadDone(); }

private:
    QString m_path;
};

class SheetVideo : public IMediaVideoItem
{
public:
    SheetVideo(int kind, const QString& url) : IMediaVideoItem(nullptr), m_kind(kind), m_url(url) {}
    QString text() const override { return {}; }
    QString thumbnailFile() const override { return {}; }
    bool loadThumbnail() override { return false; }
    SMediaItem mediaItem() const override { return {}; }
    QString videoFile() const override { return {}; }
    bool loadVideo() override { return true; }
    QString videoUrl() const override { return m_url; }
    int videoKind() const override { return m_kind; }
    void fail() { emit downloadFailed(); }

private:
    int m_kind;
    QString m_url;
};

class SheetUser : public IMediaUser
{
public:
    explicit SheetUser(const QString& avatar) : IMediaUser(nullptr), m_avatar(avatar) {}
    QString avatarFile() const override { return m_avatar; }
    QPixmap defaultAvatar() const override { return {}; }
    void updateAvatar() override {}
    QPixmap avatar() const override { return {}; }
    QPixmap smallAvatar() const override { return {}; }
    QString name() const override { return QStringLiteral("Ann Example"); }
    SServiceUser serviceUser() const override { return {}; }

private:
    QString m_avatar;
};

// A Flash player that cannot play anything: the viewer's "Flash player error" page.
class FailingPlayer : public IMeskVideoPlayer
{
public:
    explicit FailingPlayer(QWidget* parent) : IMeskVideoPlayer(parent), m_widget(new QWidget(parent)) {}
    QWidget* widget() const override { return m_widget; }
    void load(const QUrl&) override { emit failed(); }
    void unload() override {}
    bool isAvailable() const override { return true; }

private:
    QWidget* m_widget;
};

QImage landscape(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(40, 60, 140));
    sky.setColorAt(0.6, QColor(240, 150, 80));
    sky.setColorAt(1, QColor(30, 30, 40));
    p.fillRect(image.rect(), sky);
    p.setBrush(QColor(255, 220, 120));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(size.width() * 0.7, size.height() * 0.55), size.height() * 0.08,
                  size.height() * 0.08);
    p.setBrush(QColor(20, 20, 30));
    p.drawRect(QRectF(0, size.height() * 0.62, size.width(), size.height()));
    return image;
}

// The media browser's black backdrop with one widget on it.
QWidget* backdrop(QWidget* content)
{
    auto* frame = new QWidget;
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, CMeskUiStyle::color(39));
    frame->setPalette(palette);
    frame->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
    frame->setFixedSize(CellSize);
    return frame;
}

} // namespace

int main(int argc, char* argv[])
{
    const bool onDisplay =
        std::any_of(argv + 1, argv + argc, [](const char* arg) { return qstrcmp(arg, "--window") == 0; });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !onDisplay)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--scale") == 0)
            qputenv("QT_SCALE_FACTOR", argv[i + 1]);
    }
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Draws the media viewers and their pages into one PNG."));
    parser.addHelpOption();
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("PNG file to write."),
                                       QStringLiteral("file"));
    const QCommandLineOption windowOption(QStringLiteral("window"),
                                          QStringLiteral("Show the cells in a window."));
    const QCommandLineOption scaleOption(QStringLiteral("scale"), QStringLiteral("Scale factor."),
                                         QStringLiteral("factor"));
    const QCommandLineOption largeOption(QStringLiteral("large-fonts"),
                                         QStringLiteral("Large-font setting."));
    const QCommandLineOption onlyOption(
        QStringLiteral("only"), QStringLiteral("Cells whose name contains it."), QStringLiteral("text"));
    parser.addOptions({outOption, windowOption, scaleOption, largeOption, onlyOption});
    parser.process(app);
    if (!parser.isSet(windowOption) && !parser.isSet(outOption)) {
        QTextStream(stderr) << "viewersheet: --out FILE or --window is needed\n";
        return 2;
    }
    auto* style = new CMeskUiStyle;
    style->setLargeFonts(parser.isSet(largeOption));
    QApplication::setStyle(style);

    // No media player (the sheet never starts the multimedia stack); Flash as each cell needs.
    bool flashFails = false;
    IMeskVideoPlayer::setFactory(
        [&flashFails](IMeskVideoPlayer::Kind kind, QWidget* parent) -> IMeskVideoPlayer* {
            if (kind == IMeskVideoPlayer::Flash && flashFails)
                return new FailingPlayer(parent);
            return nullptr;
        });

    QTemporaryDir dir;
    const QString photo = dir.filePath(QStringLiteral("photo.png"));
    const QString small = dir.filePath(QStringLiteral("small.png"));
    const QString junk = dir.filePath(QStringLiteral("junk.png"));
    const QString avatar = dir.filePath(QStringLiteral("avatar.png"));
    landscape({1600, 1000}).save(photo);
    landscape({240, 160}).save(small);
    landscape({50, 50}).save(avatar);
    QFile junkFile(junk);
    if (junkFile.open(QIODevice::WriteOnly))
        junkFile.write("not a picture");
    junkFile.close();

    SheetImage photoItem(photo), smallItem(small), missingItem(dir.filePath(QStringLiteral("none.png"))),
        failingItem(dir.filePath(QStringLiteral("none.png"))), junkItem(junk);
    SheetVideo videoDownload(IMediaVideoItem::PlayFile, {}),
        videoFormat(IMediaVideoItem::PlayUrl, QStringLiteral("http://v.example/a.mp4")),
        flashMissing(IMediaVideoItem::FlashVideo, QStringLiteral("http://v.example/a.swf")),
        flashError(IMediaVideoItem::FlashVideo, QStringLiteral("http://v.example/a.swf"));
    SheetUser user(avatar);

    struct Cell
    {
        QString name;
        std::function<QWidget*()> make;
    };
    const auto imageCell = [](std::function<void(CMeskImageViewer*)> setup) {
        return [setup] {
            auto* viewer = new CMeskImageViewer;
            QWidget* frame = backdrop(viewer);
            frame->ensurePolished();
            viewer->resize(CellSize);
            setup(viewer);
            return frame;
        };
    };
    const auto videoCell = [](std::function<void(CMeskVideoViewer*)> setup) {
        return [setup] {
            auto* viewer = new CMeskVideoViewer;
            QWidget* frame = backdrop(viewer);
            viewer->resize(CellSize);
            setup(viewer);
            return frame;
        };
    };
    const QList<Cell> cells = {
        {QStringLiteral("image fitted (1600x1000)"),
         imageCell([&](CMeskImageViewer* v) { v->setImageItem(&photoItem); })},
        {QStringLiteral("image smaller than the viewer"),
         imageCell([&](CMeskImageViewer* v) { v->setImageItem(&smallItem); })},
        {QStringLiteral("image wait placeholder"),
         imageCell([&](CMeskImageViewer* v) { v->setImageItem(&missingItem); })},
        {QStringLiteral("image download failed"), imageCell([&](CMeskImageViewer* v) {
             v->setImageItem(&failingItem);
             failingItem.fail();
         })},
        {QStringLiteral("image corrupted"), imageCell([&](CMeskImageViewer* v) {
             v->setImageItem(&junkItem);
             junkItem.done();
         })},
        {QStringLiteral("video download failed"), videoCell([&](CMeskVideoViewer* v) {
             v->setVideoItem(&videoDownload);
             videoDownload.fail();
         })},
        {QStringLiteral("video format not supported"),
         videoCell([&](CMeskVideoViewer* v) { v->setVideoItem(&videoFormat); })},
        {QStringLiteral("flash not installed"),
         videoCell([&](CMeskVideoViewer* v) { v->setVideoItem(&flashMissing); })},
        {QStringLiteral("flash player error"), videoCell([&](CMeskVideoViewer* v) {
             flashFails = true;
             v->setVideoItem(&flashError);
             flashFails = false;
         })},
        {QStringLiteral("information row"),
         [&] {
             auto* info = new CMeskMediaInfoWidget;
             info->setMedia(&photoItem, &user, QPixmap(avatar).scaled(17, 17));
             QWidget* frame = backdrop(info);
             frame->setFixedSize(CellSize.width(), 110);
             return frame;
         }},
        {QStringLiteral("information row, unknown author"),
         [&] {
             auto* info = new CMeskMediaInfoWidget;
             info->setMedia(&photoItem, nullptr, QPixmap());
             QWidget* frame = backdrop(info);
             frame->setFixedSize(CellSize.width(), 110);
             return frame;
         }},
    };

    QWidget sheet;
    sheet.setWindowTitle(QStringLiteral("Media viewers"));
    QPalette palette = sheet.palette();
    palette.setColor(QPalette::Window, Qt::white);
    sheet.setPalette(palette);
    sheet.setAutoFillBackground(true);
    auto* grid = new QGridLayout(&sheet);
    int index = 0;
    for (const Cell& cell : cells) {
        if (parser.isSet(onlyOption) && !cell.name.contains(parser.value(onlyOption)))
            continue;
        auto* box = new QWidget;
        auto* layout = new QVBoxLayout(box);
        layout->setContentsMargins(4, 4, 4, 4);
        layout->addWidget(new QLabel(cell.name));
        QWidget* content = cell.make();
        layout->addWidget(content);
        grid->addWidget(box, index / 2, index % 2, Qt::AlignTop | Qt::AlignLeft);
        ++index;
    }
    sheet.adjustSize();
    sheet.show();
    if (parser.isSet(windowOption))
        return app.exec();

    QApplication::processEvents();
    const QPixmap shot = sheet.grab();
    const QString out = parser.value(outOption);
    QDir().mkpath(QFileInfo(out).absolutePath());
    if (!shot.save(out)) {
        QTextStream(stderr) << "viewersheet: cannot write " << out << "\n";
        return 1;
    }
    return 0;
}
