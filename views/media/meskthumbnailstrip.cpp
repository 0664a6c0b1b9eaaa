#include "media/meskthumbnailstrip.h"

#include "imediaobjects.h"
#include "meskengine.h"
#include "meskpictures.h"
#include "mesktexts.h"
#include "meskuistyle.h"
#include "style/quorimages.h"
#include "windows/quorarrowtooltip.h"

#include <QEnterEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

namespace {

// The product style's metric; the fallback under any other style.
int stripMetric(const QWidget* widget, unsigned int metric, int fallback)
{
    const int value = widget->style()->pixelMetric(QStyle::PixelMetric(metric), nullptr, widget);
    return value > 0 ? value : fallback;
}

int thumbWidth(const QWidget* w)
{
    return stripMetric(w, CMeskUiStyle::PM_MeskStripThumbnailWidth, 78);
}
int thumbHeight(const QWidget* w)
{
    return stripMetric(w, CMeskUiStyle::PM_MeskStripThumbnailHeight, 78);
}
int hoverFrame(const QWidget* w)
{
    return stripMetric(w, CMeskUiStyle::PM_MeskStripBorder, 1);
}
int currentFrame(const QWidget* w)
{
    return stripMetric(w, CMeskUiStyle::PM_MeskStripThumbnailFrame, 3);
}
int stripSpacing(const QWidget* w)
{
    return stripMetric(w, CMeskUiStyle::PM_MeskStripSpacing, 5);
}
int stripMargin(const QWidget* w)
{
    return stripMetric(w, CMeskUiStyle::PM_MeskStripMargin, 15);
}
int buttonWidth(const QWidget* w)
{
    return stripMetric(w, CMeskUiStyle::PM_MeskStripButtonWidth, 15);
}
int avatarSide(const QWidget* w)
{
    return stripMetric(w, CMeskUiStyle::PM_MeskStripPixmapSize, 25);
}

} // namespace

// ---- CMeskObjectThumbnail ----

CMeskObjectThumbnail::CMeskObjectThumbnail(QWidget* parent) : QWidget(parent)
{
    setFixedSize(thumbWidth(this), thumbHeight(this));
    setCursor(Qt::PointingHandCursor);
}

CMeskObjectThumbnail::~CMeskObjectThumbnail() = default;

void CMeskObjectThumbnail::setObject(IMediaObject* object, IMediaUser* author, int index)
{
    if (m_object)
        disconnect(m_object, nullptr, this, nullptr);
    m_object = object;
    m_author = author;
    m_index = index;
    if (object) {
        connect(object, &IMediaObject::thumbnailDownloadDone, this, &CMeskObjectThumbnail::_onDownloaded);
        connect(object, &IMediaObject::thumbnailDownloadFailed, this,
                &CMeskObjectThumbnail::_onDownloadFailed);
        if (!loadPicture())
            object->loadThumbnail();
    }
    update();
}

void CMeskObjectThumbnail::setCurrent(bool current)
{
    m_current = current;
    update();
}

int CMeskObjectThumbnail::frameWidth() const
{
    return qMax(currentFrame(this), hoverFrame(this));
}

QRect CMeskObjectThumbnail::innerRect() const
{
    const int m = frameWidth();
    return rect().adjusted(m, m, -m, -m);
}

QRect CMeskObjectThumbnail::pictureRect() const
{
    if (m_picture.isNull())
        return {};
    const QRect inner = innerRect();
    const QSize size = meskPictureSize(m_picture);
    QPoint topLeft = inner.topLeft();
    if (size.width() < inner.width())
        topLeft.rx() += (inner.width() - size.width()) / 2;
    if (size.height() < inner.height())
        topLeft.ry() += (inner.height() - size.height()) / 2;
    return QRect(topLeft, size);
}

// Loads the thumbnail file and fits it into the inner area, once per load; false (the old
// picture kept) when it does not load.
bool CMeskObjectThumbnail::loadPicture()
{
    if (!m_object)
        return false;
    QPixmap loaded;
    if (!loadPixmapAnyFormat(m_object->thumbnailFile(), loaded))
        return false;
    const QSize inner = innerRect().size();
    const QSize size = meskPictureSize(loaded);
    if (size.width() > inner.width() || size.height() > inner.height()) {
        const qreal ratio = loaded.devicePixelRatio();
        loaded = loaded.scaled(inner * ratio, Qt::KeepAspectRatio, Qt::FastTransformation);
        loaded.setDevicePixelRatio(ratio);
    }
    m_picture = loaded;
    return true;
}

void CMeskObjectThumbnail::_onDownloaded()
{
    if (loadPicture())
        update();
    else
        _onImageError();
}

void CMeskObjectThumbnail::_onDownloadFailed()
{
    // The thumbnail keeps the picture it has.
}

void CMeskObjectThumbnail::_onImageError()
{
    // The thumbnail keeps the picture it has.
}

QString CMeskObjectThumbnail::toolTipText(const QString& caption, const IMediaUser* author)
{
    if (!author)
        return QStringLiteral("<b>%1</b>").arg(caption.toHtmlEscaped());
    return CMeskTexts::eventByCaption(author->name().toHtmlEscaped(), caption.toHtmlEscaped());
}

void CMeskObjectThumbnail::showToolTip()
{
    if (!m_toolTip) {
        m_toolTip = new CQuorArrowToolTip(this, Qt::ToolTip);
        m_toolTip->setAlignment(Qt::AlignBottom);
    }
    m_toolTip->setText(toolTipText(m_object ? m_object->text() : QString(), m_author));
    QPixmap avatar;
    if (m_author) {
        if (!loadPixmapAnyFormat(m_author->avatarFile(), avatar))
            avatar = m_author->defaultAvatar();
        if (!avatar.isNull()) {
            const int side = avatarSide(this);
            const QSize size = meskPictureSize(avatar);
            if (size.width() > side || size.height() > side) {
                const qreal ratio = avatar.devicePixelRatio();
                avatar =
                    avatar.scaled(QSize(side, side) * ratio, Qt::KeepAspectRatio, Qt::FastTransformation);
                avatar.setDevicePixelRatio(ratio);
            }
        }
    }
    m_toolTip->setPixmap(avatar);
    m_toolTip->showAt(mapToGlobal(QPoint(width() / 2, 0)));
}

bool CMeskObjectThumbnail::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        showToolTip();
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

void CMeskObjectThumbnail::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    emit clicked(m_index);
}

void CMeskObjectThumbnail::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    update();
    QWidget::enterEvent(event);
}

void CMeskObjectThumbnail::leaveEvent(QEvent* event)
{
    if (m_toolTip)
        m_toolTip->hideTip();
    m_hovered = false;
    update();
    QWidget::leaveEvent(event);
}

void CMeskObjectThumbnail::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!m_picture.isNull())
        painter.drawPixmap(pictureRect(), m_picture);
    const int m = frameWidth();
    if (m_current) {
        const int w = currentFrame(this);
        painter.setPen(QPen(CMeskUiStyle::color(41), w));
        painter.setBrush(Qt::NoBrush);
        // The pen is centred on the line: half its width inside keeps the whole frame visible.
        const qreal inset = (m - w) + w / 2.0;
        painter.drawRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
    }
    if (m_hovered) {
        const int w = hoverFrame(this);
        painter.setPen(QPen(CMeskUiStyle::color(42), w));
        painter.setBrush(Qt::NoBrush);
        const qreal inset = (m - w) + w / 2.0;
        painter.drawRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
    }
}

// ---- CMeskStripScrollButton ----

CMeskStripScrollButton::CMeskStripScrollButton(int direction, QWidget* parent) : QWidget(parent)
{
    if (direction == 0)
        m_arrow = QuorImages::pixmap(CMeskUiStyle::imageRoot() + QStringLiteral("arrow_left.png"));
    else if (direction == 1)
        m_arrow = QuorImages::pixmap(CMeskUiStyle::imageRoot() + QStringLiteral("arrow_right.png"));
    setFixedWidth(buttonWidth(this));
    setCursor(Qt::PointingHandCursor);
}

CMeskStripScrollButton::~CMeskStripScrollButton() = default;

void CMeskStripScrollButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    emit clicked();
}

void CMeskStripScrollButton::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    update();
    QWidget::enterEvent(event);
}

void CMeskStripScrollButton::leaveEvent(QEvent* event)
{
    m_hovered = false;
    update();
    QWidget::leaveEvent(event);
}

void CMeskStripScrollButton::paintEvent(QPaintEvent*)
{
    if (!isEnabled())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!m_arrow.isNull()) {
        const QSize size = m_arrow.deviceIndependentSize().toSize();
        QRect target(QPoint(), size);
        target.moveCenter(rect().center());
        painter.drawPixmap(target, m_arrow);
    }
    if (m_hovered) {
        painter.setPen(QPen(CMeskUiStyle::color(42), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 3.0, 3.0, Qt::AbsoluteSize);
    }
}

// ---- CMeskThumbnailStrip ----

CMeskThumbnailStrip::CMeskThumbnailStrip(CMeskEngine* engine, QWidget* parent)
    : QWidget(parent), m_engine(engine), m_leftButton(new CMeskStripScrollButton(0, this)),
      m_rightButton(new CMeskStripScrollButton(1, this)), m_thumbLayout(new QHBoxLayout)
{
    setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QHBoxLayout(this);
    const int margin = stripMargin(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(0);
    const int spacing = stripSpacing(this);
    m_thumbLayout->setContentsMargins(spacing, 0, spacing, 0);
    m_thumbLayout->setSpacing(spacing);
    layout->addWidget(m_leftButton);
    layout->addLayout(m_thumbLayout, 1);
    layout->addWidget(m_rightButton);
    // The strip keeps its height without thumbnails, so the browser's layout does not jump.
    setMinimumHeight(2 * margin + thumbHeight(this));
    m_leftButton->setEnabled(false);
    m_rightButton->setEnabled(false);
    connect(m_leftButton, &CMeskStripScrollButton::clicked, this, &CMeskThumbnailStrip::_scrollLeft);
    connect(m_rightButton, &CMeskStripScrollButton::clicked, this, &CMeskThumbnailStrip::_scrollRight);
}

CMeskThumbnailStrip::~CMeskThumbnailStrip() = default;

void CMeskThumbnailStrip::setObjects(const QList<IMediaObject*>& objects)
{
    m_objects = objects;
    if (isVisible()) {
        clearThumbnails();
        buildThumbnails();
    }
}

IMediaObject* CMeskThumbnailStrip::currentObject() const
{
    if (m_thumbnails.isEmpty())
        return nullptr;
    return m_objects.value(m_first + m_active);
}

bool CMeskThumbnailStrip::hasPrevious() const
{
    return !m_thumbnails.isEmpty() && (m_first > 0 || m_active > 0);
}

bool CMeskThumbnailStrip::hasNext() const
{
    return !m_thumbnails.isEmpty() && m_first + m_active + 1 < m_objects.size();
}

IMediaUser* CMeskThumbnailStrip::authorOf(IMediaObject* object) const
{
    return m_engine && object ? m_engine->mediaObjectUser(object) : nullptr;
}

void CMeskThumbnailStrip::buildThumbnails()
{
    const int count = int(m_objects.size());
    if (count == 0)
        return;
    const int spacing = stripSpacing(this);
    const int available = width() - 2 * stripMargin(this) - 2 * buttonWidth(this) - 2 * spacing;
    const int fit = available / (thumbWidth(this) + spacing);
    if (fit <= 0)
        return;
    m_scrollable = fit < count;
    const int shown = m_scrollable ? fit : count;
    for (int i = 0; i < shown; ++i) {
        auto* thumbnail = new CMeskObjectThumbnail(this);
        thumbnail->setObject(m_objects.at(i), authorOf(m_objects.at(i)), i);
        m_thumbLayout->addWidget(thumbnail);
        m_thumbnails.append(thumbnail);
        connect(thumbnail, &CMeskObjectThumbnail::clicked, this, &CMeskThumbnailStrip::_onThumbnailClicked);
    }
    m_first = 0;
    updateScrollButtons();
    m_thumbnails.first()->setCurrent(true);
    m_active = 0;
    emit currentChanged();
}

void CMeskThumbnailStrip::clearThumbnails()
{
    qDeleteAll(m_thumbnails);
    m_thumbnails.clear();
    m_first = 0;
    m_active = 0;
    m_scrollable = false;
    updateScrollButtons();
}

void CMeskThumbnailStrip::refreshThumbnails()
{
    for (int i = 0; i < m_thumbnails.size(); ++i) {
        IMediaObject* object = m_objects.at(m_first + i);
        m_thumbnails.at(i)->setObject(object, authorOf(object), m_first + i);
    }
}

void CMeskThumbnailStrip::updateScrollButtons()
{
    const int shown = int(m_thumbnails.size());
    m_leftButton->setEnabled(m_scrollable && m_first > 0);
    m_rightButton->setEnabled(m_scrollable && m_first + shown < m_objects.size());
}

void CMeskThumbnailStrip::setActive(int slot)
{
    if (slot < 0 || slot >= m_thumbnails.size())
        return;
    if (m_active >= 0 && m_active < m_thumbnails.size())
        m_thumbnails.at(m_active)->setCurrent(false);
    m_thumbnails.at(slot)->setCurrent(true);
    m_active = slot;
    emit currentChanged();
}

void CMeskThumbnailStrip::_onThumbnailClicked(int index)
{
    setActive(index - m_first);
}

int CMeskThumbnailStrip::pageLeft()
{
    const int shown = int(m_thumbnails.size());
    const int step = qMin(shown, m_first);
    const int slot = (step < shown && m_active + step < shown) ? m_active + step : shown - 1;
    m_first -= step;
    refreshThumbnails();
    updateScrollButtons();
    return slot;
}

int CMeskThumbnailStrip::pageRight()
{
    const int shown = int(m_thumbnails.size());
    const int rest = int(m_objects.size()) - (m_first + shown);
    const int step = qMin(rest, shown);
    const int slot = (rest < shown && m_active > step) ? m_active - step : 0;
    m_first += step;
    refreshThumbnails();
    updateScrollButtons();
    return slot;
}

void CMeskThumbnailStrip::_scrollLeft()
{
    if (m_thumbnails.isEmpty() || m_first <= 0)
        return;
    setActive(pageLeft());
}

void CMeskThumbnailStrip::_scrollRight()
{
    if (m_thumbnails.isEmpty() || m_first + m_thumbnails.size() >= m_objects.size())
        return;
    setActive(pageRight());
}

// Moving by one keeps the neighbouring object as the target: where a page turn would leave the
// same object current (the edge of a partial page), the target's slot is made current instead.
void CMeskThumbnailStrip::moveActiveLeft()
{
    if (m_thumbnails.isEmpty() || m_first + m_active <= 0)
        return;
    if (m_active > 0) {
        setActive(m_active - 1);
        return;
    }
    const int target = m_first + m_active - 1;
    pageLeft();
    setActive(target - m_first);
}

void CMeskThumbnailStrip::moveActiveRight()
{
    if (m_thumbnails.isEmpty() || m_first + m_active >= m_objects.size() - 1)
        return;
    if (m_active < m_thumbnails.size() - 1) {
        setActive(m_active + 1);
        return;
    }
    const int target = m_first + m_active + 1;
    pageRight();
    setActive(target - m_first);
}

void CMeskThumbnailStrip::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Left)
        moveActiveLeft();
    else if (event->key() == Qt::Key_Right)
        moveActiveRight();
    // Every key is consumed here: none reaches the browser.
    event->accept();
}

void CMeskThumbnailStrip::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_objects.isEmpty())
        return;
    if (m_thumbnails.isEmpty()) {
        buildThumbnails();
    } else if (event->size().width() != event->oldSize().width()) {
        clearThumbnails();
        buildThumbnails();
    }
}
