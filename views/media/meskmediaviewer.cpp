#include "media/meskmediaviewer.h"

#include "imediaobjects.h"
#include "media/meskdeepdiveerrorwidget.h"
#include "media/meskvideoviewer.h"
#include "meskpictures.h"
#include "mesktexts.h"
#include "meskthumbnailwidget.h"
#include "meskuistyle.h"
#include "style/quorimages.h"
#include "widgets/quoranimationwidget.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

// Captions longer than this are cut and end in "...".
constexpr int MaxCaptionLength = 100;
constexpr QSize PlaceholderSize(640, 480);

} // namespace

// ---------------------------------------------------------------------------------------------
// CMeskImageViewer

CMeskImageViewer::CMeskImageViewer(QWidget* parent) : QWidget(parent) {}

CMeskImageViewer::~CMeskImageViewer() = default;

void CMeskImageViewer::setImageItem(IMediaImageItem* item)
{
    Q_ASSERT(item);
    if (m_item)
        disconnect(m_item, nullptr, this, nullptr);
    clearPages();
    m_item = item;
    connect(item, &IMediaImageItem::imageDownloadDone, this, &CMeskImageViewer::_onImageDownloadDone);
    connect(item, &IMediaImageItem::imageDownloadFailed, this, &CMeskImageViewer::_onImageDownloadFailed);
    connect(item, &IMediaImageItem::imageDownloadProgress, this, &CMeskImageViewer::_onImageDownloadProgress);
    if (!loadImage()) {
        // The picture of the previous item never stands in for this one.
        m_original = QPixmap();
        m_pixmap = QPixmap();
        showWaitAnimation();
        item->loadImage();
    }
    update();
}

QRect CMeskImageViewer::pixmapRect() const
{
    if (m_pixmap.isNull())
        return {};
    const QSize shown = m_pixmap.deviceIndependentSize().toSize();
    const int x = shown.width() < width() ? (width() - shown.width()) / 2 : 0;
    const int y = shown.height() < height() ? (height() - shown.height()) / 2 : 0;
    return {QPoint(x, y), shown};
}

QRect CMeskImageViewer::placeholderRect() const
{
    // Centred; a viewer smaller than the placeholder clips it at its edges.
    return {QPoint((width() - PlaceholderSize.width()) / 2, (height() - PlaceholderSize.height()) / 2),
            PlaceholderSize};
}

bool CMeskImageViewer::loadImage()
{
    QPixmap decoded;
    if (!m_item || !loadPixmapAnyFormat(m_item->imageFile(), decoded) || decoded.isNull())
        return false;
    decoded.setDevicePixelRatio(1);
    m_original = decoded;
    m_pixmap = QPixmap();
    fitPixmap();
    return true;
}

// The decoded picture is kept; what is drawn is a copy fitted to the current size. One image
// pixel is one logical pixel; a picture larger than the viewer is scaled down to fit it, using the
// screen's device pixels so that it stays sharp on high-resolution screens.
void CMeskImageViewer::fitPixmap()
{
    if (m_original.isNull() || width() <= 0 || height() <= 0)
        return; // an empty viewer keeps the last fitted copy
    const QSize original = m_original.size();
    if (original.width() <= width() && original.height() <= height()) {
        m_pixmap = m_original;
        return;
    }
    const QSize shown = original.scaled(size(), Qt::KeepAspectRatio);
    if (shown.isEmpty())
        return;
    const QSize device = (QSizeF(shown) * devicePixelRatioF()).toSize().boundedTo(original);
    QPixmap fitted = m_original.scaled(device, Qt::KeepAspectRatio, Qt::FastTransformation);
    fitted.setDevicePixelRatio(qreal(fitted.width()) / shown.width());
    m_pixmap = fitted;
}

void CMeskImageViewer::showWaitAnimation()
{
    delete m_wait;
    m_wait = new CQuorAnimationWidget(this);
    m_wait->move(width() / 2, height() / 2);
    m_wait->show();
    m_wait->start();
}

void CMeskImageViewer::showErrorPage(const QString& title, const QString& text)
{
    delete m_error;
    m_error = new CMeskDeepDiveErrorWidget(title, text, this);
    m_error->move((width() - m_error->width()) / 2, (height() - m_error->height()) / 3);
    m_error->show();
    connect(m_error, &CMeskDeepDiveErrorWidget::tryAgain, this, &CMeskImageViewer::_onTryAgain);
    update();
}

void CMeskImageViewer::clearPages()
{
    delete m_wait;
    m_wait = nullptr;
    delete m_error;
    m_error = nullptr;
}

void CMeskImageViewer::placePages()
{
    if (m_wait)
        m_wait->move(width() / 2, height() / 2);
    if (m_error)
        m_error->move((width() - m_error->width()) / 2, (height() - m_error->height()) / 3);
}

void CMeskImageViewer::_onImageDownloadDone()
{
    delete m_wait;
    m_wait = nullptr;
    if (!loadImage()) {
        showErrorPage(tr("Image corrupted", "Dialog title"),
                      tr("Image was corrupted or its format is not supported"));
        return;
    }
    update();
}

void CMeskImageViewer::_onImageDownloadFailed()
{
    delete m_wait;
    m_wait = nullptr;
    showErrorPage(tr("Image download failed", "Dialog title"),
                  tr("Failed to download image from server, please check that the network connection works "
                     "properly and your account is not blocked"));
}

void CMeskImageViewer::_onImageDownloadProgress(int done, int total)
{
    // Progress is not shown.
    Q_UNUSED(done)
    Q_UNUSED(total)
}

void CMeskImageViewer::_onTryAgain()
{
    // The page is the sender: it goes once this slot has returned.
    if (m_error) {
        m_error->hide();
        m_error->deleteLater();
        m_error = nullptr;
    }
    showWaitAnimation();
    if (m_item)
        m_item->loadImage();
    update();
}

void CMeskImageViewer::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event)
    if (m_error)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_wait)
        painter.fillRect(placeholderRect(), CMeskUiStyle::color(43));
    else if (!m_pixmap.isNull())
        painter.drawPixmap(pixmapRect(), m_pixmap);
}

void CMeskImageViewer::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fitPixmap();
    placePages();
}

// ---------------------------------------------------------------------------------------------
// CMeskMediaViewer

CMeskMediaViewer::CMeskMediaViewer(QWidget* parent)
    : QWidget(parent), m_imageViewer(new CMeskImageViewer(this)), m_videoViewer(new CMeskVideoViewer(this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_imageViewer, 0);
    layout->addWidget(m_videoViewer, 0);
}

CMeskMediaViewer::~CMeskMediaViewer() = default;

void CMeskMediaViewer::setMediaObject(IMediaObject* object)
{
    Q_ASSERT(object);
    m_object = object;
    m_imageViewer->hide();
    m_videoViewer->hide();
    switch (object->mediaKind()) {
    case IMediaObject::Image:
        if (auto* image = qobject_cast<IMediaImageItem*>(object)) {
            m_imageViewer->show();
            m_imageViewer->setImageItem(image);
        }
        break;
    case IMediaObject::Video:
        if (auto* video = qobject_cast<IMediaVideoItem*>(object)) {
            m_videoViewer->show();
            m_videoViewer->setVideoItem(video);
        }
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// CMeskMediaInfoWidget

CMeskMediaInfoWidget::CMeskMediaInfoWidget(QWidget* parent)
    : QWidget(parent), m_avatar(new CMeskThumbnailWidget(1, this)), m_logo(new CMeskThumbnailWidget(5, this)),
      m_caption(new QLabel(this)), m_date(new QLabel(this))
{
    QPalette palette = m_caption->palette();
    const QBrush white(CMeskUiStyle::color(44));
    palette.setBrush(QPalette::Active, QPalette::WindowText, white);
    palette.setBrush(QPalette::Inactive, QPalette::WindowText, white);
    m_caption->setPalette(palette);
    m_caption->setAlignment(Qt::AlignLeft);
    m_caption->setWordWrap(true);
    m_caption->setTextFormat(Qt::RichText);
    m_date->setPalette(palette);

    auto* row = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    left->setContentsMargins(0, 0, 0, 0);
    left->addWidget(m_avatar, 0, Qt::AlignTop);
    left->addStretch(1);
    row->addLayout(left, 0);

    auto* right = new QVBoxLayout;
    right->addWidget(m_caption);
    auto* line = new QHBoxLayout;
    line->addWidget(m_logo, 0, Qt::AlignCenter);
    line->addWidget(m_date, 0, Qt::AlignCenter);
    line->addStretch(1);
    right->addLayout(line, 0);
    row->addLayout(right, 1);
}

CMeskMediaInfoWidget::~CMeskMediaInfoWidget() = default;

QString CMeskMediaInfoWidget::captionText(const QString& text, const IMediaUser* user)
{
    QString cut = text;
    if (cut.size() > MaxCaptionLength) {
        qsizetype end = MaxCaptionLength;
        if (cut.at(end - 1).isHighSurrogate())
            --end; // never half a character
        cut = cut.left(end) + QStringLiteral("...");
    }
    cut = cut.toHtmlEscaped();
    if (!user)
        return QStringLiteral("<b>%1</b>").arg(cut);
    return CMeskTexts::eventByCaption(user->name().toHtmlEscaped(), cut);
}

void CMeskMediaInfoWidget::setMedia(IMediaObject* object, IMediaUser* user, const QPixmap& logo)
{
    Q_ASSERT(object);
    if (m_user)
        disconnect(m_user, nullptr, this, nullptr);
    m_object = object;
    m_user = user;
    m_logoPixmap = logo;

    if (user) {
        connect(user, &IMediaUser::avatarUpdated, this, &CMeskMediaInfoWidget::_onUserAvatarUpdated);
        connect(user, &IMediaUser::avatarUpdateFailed, this,
                &CMeskMediaInfoWidget::_onUserAvatarUpdateFailed);
        if (!m_avatar->loadPixmap(user->avatarFile())) {
            // The previous author's face never stands next to this caption.
            m_avatar->setPixmap(user->defaultAvatar());
            user->updateAvatar();
        }
    } else {
        m_avatar->setPixmap(QuorImages::pixmap(QStringLiteral(":/meskstyle/images/defaultuser.png")));
    }

    m_caption->setText(captionText(object->text(), user));
    m_logo->setPixmap(m_logoPixmap);
    m_date->setText(CMeskTexts::shortDateTimeText(object->mediaItem().created));
}

void CMeskMediaInfoWidget::_onUserAvatarUpdated()
{
    if (!m_user || sender() != m_user)
        return;
    if (!m_avatar->loadPixmap(m_user->avatarFile()))
        m_avatar->setPixmap(m_user->defaultAvatar());
}

void CMeskMediaInfoWidget::_onUserAvatarUpdateFailed()
{
    if (!m_user || sender() != m_user)
        return;
    m_avatar->setPixmap(m_user->defaultAvatar());
}
